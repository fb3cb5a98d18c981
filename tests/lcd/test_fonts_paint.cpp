// The glyph painters on the loaded fonts, the loading and its error boxes,
// and the battery indicator.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "font.h"
#include "lcd.h"
#include "golden.h"
#include "headless_host.h"
#include "state.h"

namespace {

constexpr std::int16_t kFg = LCD_BLACK;
constexpr std::int16_t kBg = LCD_BLUE;

std::uint16_t W(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Rows 0..7 of FONT1 glyph g, column c.
std::uint32_t Font1Col(int g, int c) { return W(Font6x8 + 12 * g + 2 * c); }
std::uint32_t SmallCol(int g, int c) { return W(FontSmallDigits + 10 * g + 2 * c); }
std::uint32_t LargeCol(int g, int c) {
  const std::uint8_t* p = FontLargeDigits + 32 * g + 4 * c;
  return (W(p) & 0xFFu) | (static_cast<std::uint32_t>(W(p + 2)) << 8);
}
std::uint32_t IconCol(int k, int c) {
  const std::uint8_t* p = FontIcons + 56 * k + 4 * c;
  return (W(p) & 0xFFu) | (static_cast<std::uint32_t>(W(p + 2)) << 8);
}
std::uint32_t TextCol(int g, int c) {
  const std::uint8_t* p = FontText + 50 * g + 2 + 4 * c;
  return (W(p) & 0xFFu) | (static_cast<std::uint32_t>(W(p + 2)) << 8);
}

// What the screen shows in column x, rows y .. y+rows-1, as fg bits; -1 if a
// pixel there is neither fg nor bg.
long ScreenCol(int x, int y, int rows) {
  long bits = 0;
  for (int r = 0; r < rows; ++r) {
    const std::uint8_t p = LcdGetPixel(x, y + r);
    if (p == kFg) bits |= 1L << r;
    else if (p != kBg) return -1;
  }
  return bits;
}

bool ColumnUntouched(int x) {
  for (int y = 0; y < 160; ++y)
    if (LcdGetPixel(x, y) != LCD_WHITE) return false;
  return true;
}

int CountNotWhite() {
  int n = 0;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) n += LcdGetPixel(x, y) != LCD_WHITE;
  return n;
}

class FontPaint : public ::testing::Test {
 protected:
  void SetUp() override { LcdClear(); }
  THeadlessHost host;
};

}  // namespace

TEST_F(FontPaint, Chars6x8StopsTheTextAtTheRightEdge) {
  LcdChars6x8(120, 20, kFg, kBg, "AB");
  for (int c = 0; c < 6; ++c) EXPECT_EQ(ScreenCol(120 + c, 20, 8), static_cast<long>(Font1Col('A', c))) << c;
  for (int c = 0; c < 2; ++c) EXPECT_EQ(ScreenCol(126 + c, 20, 8), static_cast<long>(Font1Col('B', c))) << c;
  EXPECT_EQ(CountNotWhite(), 8 * 8);  // nothing wrapped onto another row

  // Control codes and unmapped bytes are glyphs too: the dot placeholder.
  LcdClear();
  LcdChars6x8(0, 0, kFg, kBg, "\x01\x90");
  for (int c = 0; c < 12; ++c) EXPECT_EQ(ScreenCol(c, 0, 8), (c % 6 == 2 || c % 6 == 3) ? 0x18 : 0) << c;
  EXPECT_TRUE(ColumnUntouched(12));

  // Rows past the bottom are skipped; the rows above are drawn.
  LcdClear();
  LcdChars6x8(0, 155, kFg, kBg, "0");
  for (int c = 0; c < 6; ++c) EXPECT_EQ(ScreenCol(c, 155, 5), static_cast<long>(Font1Col('0', c) & 0x1F)) << c;
  EXPECT_EQ(CountNotWhite(), 6 * 5);
}

TEST_F(FontPaint, SmallNumCoversItsColumns) {
  LcdSmallNum(10, 30, kFg, kBg, " 70%");
  for (int c = 0; c < 5; ++c) EXPECT_EQ(ScreenCol(10 + c, 30, 8), 0) << "blank cell " << c;
  for (int c = 0; c < 5; ++c) EXPECT_EQ(ScreenCol(15 + c, 30, 8), static_cast<long>(SmallCol(8, c))) << "7 col " << c;
  for (int c = 0; c < 5; ++c) EXPECT_EQ(ScreenCol(20 + c, 30, 8), static_cast<long>(SmallCol(1, c))) << "0 col " << c;
  for (int c = 0; c < 10; ++c) EXPECT_EQ(ScreenCol(25 + c, 30, 8), static_cast<long>(SmallCol(11, c))) << "% col " << c;
  EXPECT_TRUE(ColumnUntouched(9));
  EXPECT_TRUE(ColumnUntouched(35));
  EXPECT_EQ(CountNotWhite(), 25 * 8);

  // A character outside the set paints a blank cell; x > 127 ends the text.
  LcdClear();
  LcdSmallNum(120, 0, kFg, kBg, "x%");
  for (int c = 0; c < 5; ++c) EXPECT_EQ(ScreenCol(120 + c, 0, 8), 0);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(ScreenCol(125 + c, 0, 8), static_cast<long>(SmallCol(11, c)));
  EXPECT_EQ(CountNotWhite(), 8 * 8);
}

TEST_F(FontPaint, BigNumAdvancesAndPaintsOnlyItsParts) {
  // minus (7), 1 (10), point (4), 5 (10), then an 8 to see where the text ended up.
  LcdBigNum(0, 40, kFg, kBg, "-1.58");
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(ScreenCol(c, 46, 2), 3) << "minus col " << c;
    for (int y : {40, 45, 48, 54}) EXPECT_EQ(LcdGetPixel(c, y), LCD_WHITE) << "minus touched row " << y - 40;
  }
  for (int c = 0; c < 8; ++c) EXPECT_EQ(ScreenCol(7 + c, 40, 15), static_cast<long>(LargeCol(1, c))) << "1 col " << c;
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(ScreenCol(17 + c, 53, 2), 3) << "point col " << c;
    for (int y = 40; y < 53; ++y) EXPECT_EQ(LcdGetPixel(17 + c, y), LCD_WHITE) << "point touched row " << y - 40;
  }
  for (int c = 0; c < 8; ++c) EXPECT_EQ(ScreenCol(21 + c, 40, 15), static_cast<long>(LargeCol(5, c))) << "5 col " << c;
  for (int c = 0; c < 8; ++c) EXPECT_EQ(ScreenCol(31 + c, 40, 15), static_cast<long>(LargeCol(8, c))) << "8 col " << c;
  for (int x : {5, 6, 15, 16, 19, 20, 29, 30, 39, 40}) EXPECT_TRUE(ColumnUntouched(x)) << x;
  EXPECT_EQ(CountNotWhite(), 5 * 2 + 8 * 15 + 2 * 2 + 8 * 15 + 8 * 15);
}

TEST_F(FontPaint, BigNumSpaceAndOtherCharacters) {
  LcdBigNum(0, 0, kFg, kBg, "1 2");
  for (int x = 8; x < 20; ++x) EXPECT_TRUE(ColumnUntouched(x)) << x;
  for (int c = 0; c < 8; ++c) EXPECT_EQ(ScreenCol(20 + c, 0, 15), static_cast<long>(LargeCol(2, c))) << c;

  // Anything else is skipped without an advance.
  LcdClear();
  LcdBigNum(0, 0, kFg, kBg, "3x+7");
  for (int c = 0; c < 8; ++c) EXPECT_EQ(ScreenCol(10 + c, 0, 15), static_cast<long>(LargeCol(7, c))) << c;
  EXPECT_EQ(CountNotWhite(), 2 * 8 * 15);

  // A column past x = 127 ends the whole text, spaces included.
  LcdClear();
  LcdBigNum(100, 0, kFg, kBg, "4  9");
  EXPECT_EQ(CountNotWhite(), 8 * 15);
  LcdClear();
  LcdBigNum(124, 0, kFg, kBg, "88");
  EXPECT_EQ(CountNotWhite(), 4 * 15);
}

TEST_F(FontPaint, IconsInRangeOnly) {
  LcdIcon(0, 20, kFg, kBg, 6);
  LcdIcon(0, 20, kFg, kBg, -1);
  LcdIcon(0, 20, kFg, kBg, 32767);
  EXPECT_EQ(CountNotWhite(), 0);
  for (std::int16_t k = 0; k < 6; ++k) {
    LcdClear();
    LcdIcon(0, 20, kFg, kBg, k);
    for (int c = 0; c < 14; ++c) EXPECT_EQ(ScreenCol(c, 20, 14), static_cast<long>(IconCol(k, c))) << k << "/" << c;
    EXPECT_EQ(CountNotWhite(), 14 * 14);
  }
  LcdClear();
  LcdIcon(120, 150, kFg, kBg, 3);
  EXPECT_EQ(CountNotWhite(), 8 * 10);
}

TEST_F(FontPaint, ProportionalGlyphs) {
  EXPECT_EQ(TextGlyphIndex(0x20), 0);
  EXPECT_EQ(TextGlyphIndex(0x81), 97);
  EXPECT_EQ(TextGlyphIndex(0xC0), 98);
  EXPECT_EQ(TextGlyphIndex(0xFF), 161);
  for (int c : {0x00, 0x09, 0x1F, 0x82, 0xA8, 0xB8, 0xBF}) EXPECT_EQ(TextGlyphIndex(static_cast<std::uint8_t>(c)), 0) << c;
  EXPECT_EQ(TextGlyphWidth('A'), 8);
  EXPECT_EQ(TextGlyphWidth(0xFF), 7);

  // 0xA8 is outside the inventory: the 5-column blank space, painted in bg.
  EXPECT_EQ(LcdTextGlyph(10, 30, kFg, kBg, 0xA8), 15);
  for (int x = 10; x < 15; ++x) EXPECT_EQ(ScreenCol(x, 30, 14), 0) << x;
  EXPECT_EQ(CountNotWhite(), 5 * 14);

  LcdClear();
  EXPECT_EQ(LcdTextGlyph(0, 0, kFg, kBg, 'A'), 8);
  for (int c = 0; c < 8; ++c) EXPECT_EQ(ScreenCol(c, 0, 14), static_cast<long>(TextCol(0x21, c))) << c;
  EXPECT_TRUE(ColumnUntouched(8));

  // No test on x: the columns past 127 are dropped, the advance is full.
  LcdClear();
  EXPECT_EQ(LcdTextGlyph(124, 0, kFg, kBg, 'W'), 136);
  EXPECT_EQ(CountNotWhite(), 4 * 14);
}

TEST_F(FontPaint, DamagedWidthNeverReadsPastTheGlyph) {
  std::uint8_t saved[50];
  std::uint8_t* g = FontText + 50 * TextGlyphIndex('M');
  std::memcpy(saved, g, 50);
  g[0] = 40, g[1] = 0;
  EXPECT_EQ(LcdTextGlyph(0, 0, kFg, kBg, 'M'), 12);
  EXPECT_EQ(CountNotWhite(), 12 * 14);
  LcdClear();
  g[0] = 0xFF, g[1] = 0xFF;  // -1
  EXPECT_EQ(LcdTextGlyph(5, 0, kFg, kBg, 'M'), 5);
  EXPECT_EQ(CountNotWhite(), 0);
  std::memcpy(g, saved, 50);
}

TEST(FontLoad, WrongSizeKeepsTheBufferAndLoadingGoesOn) {
  THeadlessHost host;
  ASSERT_TRUE(host.ErrorBoxes().empty());
  std::vector<std::uint8_t> before(Font6x8, Font6x8 + FONT6X8_SIZE);
  host.OverrideRcData("FONT1", std::vector<std::uint8_t>(3095, 0xAA));
  std::memset(FontIcons, 0, FONT_ICONS_SIZE);  // reloaded after the refused one
  LcdLoadFonts();
  ASSERT_EQ(host.ErrorBoxes().size(), 1u);
  EXPECT_EQ(host.ErrorBoxes()[0], "RCDATA FONT1 size is incorrect");
  EXPECT_EQ(std::vector<std::uint8_t>(Font6x8, Font6x8 + FONT6X8_SIZE), before);
  EXPECT_EQ(IconCol(3, 1), 0x0Cu);

  // Longer is refused the same way.
  host.OverrideRcData("FONT1", std::vector<std::uint8_t>(3097, 0xAA));
  LcdLoadFonts();
  ASSERT_EQ(host.ErrorBoxes().size(), 2u);
  EXPECT_EQ(host.ErrorBoxes()[1], "RCDATA FONT1 size is incorrect");
  EXPECT_EQ(std::vector<std::uint8_t>(Font6x8, Font6x8 + FONT6X8_SIZE), before);

  // A right-sized replacement is taken as it is.
  std::vector<std::uint8_t> other(FONT6X8_SIZE, 0x01);
  host.OverrideRcData("FONT1", other);
  LcdLoadFonts();
  EXPECT_EQ(host.ErrorBoxes().size(), 2u);
  EXPECT_EQ(std::vector<std::uint8_t>(Font6x8, Font6x8 + FONT6X8_SIZE), other);
  host.OverrideRcData("FONT1", before);
  LcdLoadFonts();
}

TEST(FontLoad, MissingResourceIsReportedAndLoadingGoesOn) {
  THeadlessHost host;
  host.OverrideRcData("LARGE_DIGIT_FONT", {});
  host.OverrideRcData("LARGE_ICON_14x14", {});
  std::vector<std::uint8_t> large(FontLargeDigits, FontLargeDigits + FONT_LARGE_DIGITS_SIZE);
  std::memset(FontText, 0, FONT_TEXT_SIZE);
  LcdLoadFonts();
  ASSERT_EQ(host.ErrorBoxes().size(), 2u);
  EXPECT_EQ(host.ErrorBoxes()[0], "RCDATA LARGE_DIGIT_FONT not found");
  EXPECT_EQ(host.ErrorBoxes()[1], "RCDATA LARGE_ICON_14x14 not found");
  EXPECT_EQ(std::vector<std::uint8_t>(FontLargeDigits, FontLargeDigits + FONT_LARGE_DIGITS_SIZE), large);
  EXPECT_EQ(TextGlyphWidth('A'), 8);  // the font after the missing one was loaded
}

TEST(Battery, IndicatorAfterShowOnAClearedScreen) {
  THeadlessHost host;
  const std::uint16_t backlight = GetBacklight();
  SetBacklight(1);
  LcdClear();
  LcdShow();
  ASSERT_FALSE(host.Frames().empty());
  const TFrame frame = host.LastFrame();
  EXPECT_GOLDEN(frame, "battery");
  // Only the indicator's rectangle changed: body 95..125 x 2..11, tip 92..94 x 4..8.
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) {
      const bool body = x >= 95 && x <= 125 && y >= 2 && y <= 11;
      const bool tip = x >= 92 && x <= 94 && y >= 4 && y <= 8;
      if (!body && !tip) ASSERT_EQ(frame.At(x, y), LCD_WHITE) << x << "," << y;
      else ASSERT_TRUE(frame.At(x, y) == LCD_GREEN || frame.At(x, y) == LCD_WHITE) << x << "," << y;
    }
  // White digits on green: " 70%" from x = 97 over 25 columns, rows 3..10.
  int white = 0;
  for (int y = 3; y <= 10; ++y)
    for (int x = 102; x < 122; ++x) white += frame.At(x, y) == LCD_WHITE;
  EXPECT_GT(white, 20);
  for (int y = 2; y <= 11; ++y) {
    EXPECT_EQ(frame.At(95, y), LCD_GREEN);
    EXPECT_EQ(frame.At(125, y), LCD_GREEN);
  }

  // Whatever was drawn there before is covered.
  LcdFill(95, 2, 125, 11, LCD_RED);
  LcdFill(92, 4, 94, 8, LCD_BLACK);
  LcdShow();
  EXPECT_EQ(host.LastFrame(), frame);
  SetBacklight(backlight);
}
