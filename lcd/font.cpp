#include "font.h"

#include <cstring>
#include <string>

#include "host.h"
#include "lcd.h"

std::uint8_t Font6x8[FONT6X8_SIZE];
std::uint8_t FontSmallDigits[FONT_SMALL_DIGITS_SIZE];
std::uint8_t FontLargeDigits[FONT_LARGE_DIGITS_SIZE];
std::uint8_t FontText[FONT_TEXT_SIZE];
std::uint8_t FontIcons[FONT_ICONS_SIZE];

namespace {
std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::int16_t S16(int v) { return static_cast<std::int16_t>(v); }
std::uint16_t Colour(std::int16_t c) { return static_cast<std::uint16_t>(c); }

// Paints rows [firstRow, lastRow] of one column from a bit pattern (bit r = row r).
void PaintColumn(int x, int y, std::uint32_t bits, int firstRow, int lastRow, std::int16_t fg, std::int16_t bg) {
  for (int r = firstRow; r <= lastRow; ++r) {
    if (y + r > 159) continue;
    LcdPixel(S16(x), S16(y + r), (bits >> r) & 1 ? Colour(fg) : Colour(bg), 0);
  }
}

// A column of a two-word font: first word rows 0..7, second word from row 8.
std::uint32_t Column2(const std::uint8_t* p) {
  return (Word(p) & 0xFFu) | (static_cast<std::uint32_t>(Word(p + 2)) << 8);
}
}  // namespace

void LoadFontResource(const char* name, std::uint8_t* dest, std::size_t size) {
  const std::uint8_t* data = nullptr;
  std::size_t found = 0;
  IDeviceHost* host = DeviceHost();
  if (!host) return;
  if (!host->FindRcData(name, &data, &found)) {
    host->ErrorBox(std::string("RCDATA ") + name + " not found");
    return;
  }
  if (found != size) {
    host->ErrorBox(std::string("RCDATA ") + name + " size is incorrect");
    return;
  }
  std::memcpy(dest, data, size);
}

void LcdLoadFonts() {
  LoadFontResource("FONT1", Font6x8, FONT6X8_SIZE);
  LoadFontResource("SMALL_DIGIT_FONT", FontSmallDigits, FONT_SMALL_DIGITS_SIZE);
  LoadFontResource("LARGE_DIGIT_FONT", FontLargeDigits, FONT_LARGE_DIGITS_SIZE);
  LoadFontResource("TAHOMA_REGULAR_12PT", FontText, FONT_TEXT_SIZE);
  LoadFontResource("LARGE_ICON_14x14", FontIcons, FONT_ICONS_SIZE);
}

void LcdChars6x8(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, const char* text) {
  if (!text) return;
  int cx = x;
  for (const char* p = text; *p; ++p) {
    const std::uint8_t* glyph = Font6x8 + 12 * static_cast<std::uint8_t>(*p);
    for (int i = 0; i < 6; ++i) {
      if (cx > 127) return;
      PaintColumn(cx, y, Word(glyph + 2 * i), 0, 7, fg, bg);
      ++cx;
    }
  }
}

void LcdSmallNum(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, const char* text) {
  if (!text) return;
  int cx = x;
  for (const char* p = text; *p; ++p) {
    int glyph = 0, columns = 5;
    if (*p >= '0' && *p <= '9')
      glyph = *p - '0' + 1;
    else if (*p == '%')
      glyph = 11, columns = 10;  // glyphs 11 and 12 side by side
    const std::uint8_t* g = FontSmallDigits + 10 * glyph;
    for (int i = 0; i < columns; ++i) {
      if (cx > 127) return;
      PaintColumn(cx, y, Word(g + 2 * i), 0, 7, fg, bg);
      ++cx;
    }
  }
}

void LcdBigNum(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, const char* text) {
  if (!text) return;
  int cx = x;
  for (const char* p = text; *p; ++p) {
    const char c = *p;
    int glyph, firstCol, lastCol, firstRow, lastRow;
    if (c >= '0' && c <= '9') {
      glyph = c - '0', firstCol = 0, lastCol = 7, firstRow = 0, lastRow = 14;
    } else if (c == '.') {
      glyph = 10, firstCol = 1, lastCol = 2, firstRow = 13, lastRow = 14;
    } else if (c == '-') {
      glyph = 11, firstCol = 3, lastCol = 7, firstRow = 6, lastRow = 7;
    } else if (c == ' ') {
      cx += 10;
      continue;
    } else {
      continue;
    }
    const std::uint8_t* g = FontLargeDigits + 32 * glyph;
    for (int i = firstCol; i <= lastCol; ++i) {
      if (cx > 127) return;
      const std::uint32_t bits = (Word(g + 4 * i) & 0xFFu) | ((Word(g + 4 * i + 2) & 0x7Fu) << 8);
      PaintColumn(cx, y, bits, firstRow, lastRow, fg, bg);
      ++cx;
    }
    cx += 2;
  }
}

void LcdIcon(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, std::int16_t index) {
  if (index < 0 || index > 5) return;
  const std::uint8_t* g = FontIcons + 56 * index;
  int cx = x;
  for (int i = 0; i < 14; ++i) {
    if (cx > 127) return;
    PaintColumn(cx, y, Column2(g + 4 * i) & 0x3FFF, 0, 13, fg, bg);
    ++cx;
  }
}

int TextGlyphIndex(std::uint8_t c) {
  if (c >= 0x20 && c <= 0x81) return c - 0x20;
  if (c >= 0xC0) return c - 0x5E;
  return 0;
}

int TextGlyphWidth(std::uint8_t c) {
  const std::uint8_t* g = FontText + 50 * TextGlyphIndex(c);
  return static_cast<std::int16_t>(Word(g));
}

std::int16_t LcdTextGlyph(std::int16_t x, std::int16_t y, std::int16_t fg, std::int16_t bg, std::uint8_t c) {
  const std::uint8_t* g = FontText + 50 * TextGlyphIndex(c);
  int w = static_cast<std::int16_t>(Word(g));
  if (w > 12) w = 12;  // a damaged width must not read past the glyph
  for (int i = 0; i < w; ++i) PaintColumn(x + i, y, Column2(g + 2 + 4 * i) & 0x3FFF, 0, 13, fg, bg);
  return S16(x + (w > 0 ? w : 0));
}
