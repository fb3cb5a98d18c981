#pragma once
// A synthetic proportional font with known widths, so that layout can be
// checked column by column without the real font data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "font.h"
#include "lcd.h"
#include "headless_host.h"

namespace texttest {

// Column 0 blank (letter spacing), the others solid over all 14 rows, or
// all blank for the space.
inline void SetGlyph(std::uint8_t code, int width, bool solid = true) {
  std::uint8_t* g = FontText + 50 * TextGlyphIndex(code);
  std::memset(g, 0, 50);
  g[0] = static_cast<std::uint8_t>(width);
  for (int i = 1; solid && i < width; ++i) {
    g[2 + 4 * i] = 0xFF;      // rows 0..7
    g[2 + 4 * i + 2] = 0x3F;  // rows 8..13
  }
}

// Per-column summary of the 14 rows of a text line starting at row y:
// the colour's golden character when the column is uniform, '~' otherwise.
inline std::string LineColumns(int y, int x0 = 0, int x1 = 127) {
  std::string s;
  const TFrame f = CaptureLcd();
  const std::string text = FrameToText(f);
  for (int x = x0; x <= x1; ++x) {
    char c = text[static_cast<std::size_t>(y * 129 + x)];
    for (int r = 1; r < 14 && y + r < 160; ++r)
      if (text[static_cast<std::size_t>((y + r) * 129 + x)] != c) c = '~';
    s.push_back(c);
  }
  return s;
}

inline std::string Cols(int n, char c) { return std::string(static_cast<std::size_t>(n), c); }

// Red solid glyph body after one blank spacing column (bg).
inline std::string Glyph(int width, char bg = 'B') { return bg + Cols(width - 1, 'R'); }

// Installs a headless host, then replaces the font buffers by the synthetic
// font: space 5, 'A' 8, 'I' 3, 'W' 12; everything else 0 wide. Restores the
// real fonts afterwards, since other tests of this binary share them.
class SyntheticFont : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memcpy(savedText_, FontText, sizeof FontText);
    std::memcpy(saved6x8_, Font6x8, sizeof Font6x8);
    std::memset(FontText, 0, sizeof FontText);
    SetGlyph(' ', 5, false);
    SetGlyph('A', 8);
    SetGlyph('I', 3);
    SetGlyph('W', 12);
    LcdFill(0, 0, 127, 159, LCD_GREEN);
  }
  void TearDown() override {
    std::memcpy(FontText, savedText_, sizeof FontText);
    std::memcpy(Font6x8, saved6x8_, sizeof Font6x8);
  }
  THeadlessHost host_;

 private:
  std::uint8_t savedText_[FONT_TEXT_SIZE];
  std::uint8_t saved6x8_[FONT6X8_SIZE];
};

}  // namespace texttest
