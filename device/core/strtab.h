#pragma once
// The localised string tables (English 1033, Russian 1049) and their loader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Each thread has its own language; a new thread starts with 1033.
void SetThreadLanguage(std::uint16_t langId);
std::uint16_t ThreadLanguage();

// Entry id in the calling thread's language, as Windows-1251 bytes; empty when
// the language has no block or no text for it. No fallback to another language.
std::string LoadStringTable(unsigned id);
std::string LoadStringTable(std::uint16_t langId, unsigned id);

// The same entry as stored, UTF-16 (for window texts that need no 8-bit form).
std::u16string LoadStringTableUtf16(std::uint16_t langId, unsigned id);

// Entry `index` (0..15) of one string-table block of `size` units. A block that
// ends early or whose counts run past its end gives the empty text.
std::u16string StringFromBlock(const std::uint16_t* data, std::size_t size, unsigned index);

// Windows-1251. A character without a byte there becomes '?'.
std::string Utf16ToCp1251(std::u16string_view text);
// The reverse, for showing loaded texts in the windows; 0x98 (unassigned) gives U+FFFD.
std::u16string Cp1251ToUtf16(std::string_view text);
