#pragma once
// The localised string tables (English 1033, Russian 1049) and their loader.
#include <cstdint>
#include <string>

// Each thread has its own language; a new thread starts with 1033.
void SetThreadLanguage(std::uint16_t langId);
std::uint16_t ThreadLanguage();

// Entry id in the calling thread's language, as Windows-1251 bytes; empty when
// the language has no block or no text for it. No fallback to another language.
std::string LoadStringTable(unsigned id);
std::string LoadStringTable(std::uint16_t langId, unsigned id);
