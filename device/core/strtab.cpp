#include "strtab.h"

#include <array>

#include "strings/strtab_data.h"

namespace {
thread_local std::uint16_t t_lang = 1033;

constexpr unsigned kBlockEntries = 16;

// Unicode of the Windows-1251 bytes 0x80..0xFF; 0 marks the one unassigned byte.
constexpr std::array<char16_t, 128> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

char Cp1251Byte(char16_t u) {
  if (u < 0x80) return static_cast<char>(u);
  // The Cyrillic main alphabet is contiguous in both; the rest is a short scan.
  if (u >= 0x0410 && u <= 0x044F) return static_cast<char>(0xC0 + (u - 0x0410));
  for (std::size_t i = 0; i < kCp1251High.size(); ++i)
    if (kCp1251High[i] == u && u != 0) return static_cast<char>(0x80 + i);
  return '?';
}

const StrTabBlock* FindBlock(std::uint16_t langId, unsigned blockNo) {
  for (std::size_t i = 0; i < kStrTabBlockCount; ++i) {
    const StrTabBlock& b = kStrTabBlocks[i];
    if (b.LangId == langId && b.BlockNo == blockNo && b.Data) return &b;
  }
  return nullptr;
}
}  // namespace

void SetThreadLanguage(std::uint16_t langId) { t_lang = langId; }
std::uint16_t ThreadLanguage() { return t_lang; }

std::u16string StringFromBlock(const std::uint16_t* data, std::size_t size, unsigned index) {
  if (!data || index >= kBlockEntries) return {};
  std::size_t pos = 0;
  for (unsigned i = 0; i < index; ++i) {
    if (pos >= size) return {};
    const std::size_t count = data[pos];
    if (count > size - pos - 1) return {};
    pos += 1 + count;
  }
  if (pos >= size) return {};
  const std::size_t count = data[pos];
  if (count > size - pos - 1) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(data + pos + 1), count);
}

std::u16string LoadStringTableUtf16(std::uint16_t langId, unsigned id) {
  if (id > 0xFFFF) return {};  // identifiers are 16-bit; no wrap onto another entry
  const StrTabBlock* block = FindBlock(langId, id / kBlockEntries + 1);
  if (!block) return {};
  return StringFromBlock(block->Data, block->Size, id % kBlockEntries);
}

std::string LoadStringTable(unsigned id) { return LoadStringTable(t_lang, id); }

std::string LoadStringTable(std::uint16_t langId, unsigned id) {
  return Utf16ToCp1251(LoadStringTableUtf16(langId, id));
}

std::string Utf16ToCp1251(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    // A surrogate pair is one character and so one '?', not two.
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      ++i;
    out.push_back(Cp1251Byte(u));
  }
  return out;
}

std::u16string Cp1251ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(static_cast<char16_t>(b));
    } else {
      const char16_t u = kCp1251High[b - 0x80];
      out.push_back(u ? u : u'\uFFFD');
    }
  }
  return out;
}
