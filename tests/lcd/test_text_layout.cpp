#include <gtest/gtest.h>

#include <string>

#include "test_text_support.h"
#include "text.h"

using namespace texttest;

namespace {
class TextOut : public SyntheticFont {};

void Out(int x, int y, const std::string& s) {
  LcdTextOut(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), LCD_RED, LCD_BLUE, s.c_str());
}
}  // namespace

TEST_F(TextOut, GlyphsAdvanceByTheirWidthsAndPaintFullLines) {
  Out(3, 20, "AIW");
  EXPECT_EQ(LineColumns(20), Cols(3, 'G') + Glyph(8) + Glyph(3) + Glyph(12) + Cols(128 - 26, 'G'));
  // Rows just above and below the 14-row line stay untouched.
  EXPECT_EQ(LineColumns(6, 0, 127).substr(0, 30).find_first_not_of('G'), std::string::npos);
  for (int x = 0; x < 128; ++x) EXPECT_EQ(LcdGetPixel(x, 34), LCD_GREEN) << x;
}

TEST_F(TextOut, CentredRunUsesWholeScreenWidthAndTruncatingDivision) {
  // 3 x 8 = 24 wide: blank 0..51, text 52..75, then the 0x04 as a 5-column blank.
  Out(0, 0, "\x03" "AAA" "\x04");
  EXPECT_EQ(LineColumns(0), Cols(52, 'B') + Glyph(8) + Glyph(8) + Glyph(8) + Cols(5, 'B') + Cols(128 - 81, 'G'));

  // Odd sum 8 + 8 + 3 = 19: (128 - 19) / 2 = 54.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  Out(0, 0, "\x03" "AAI" "\x04");
  EXPECT_EQ(LineColumns(0), Cols(54, 'B') + Glyph(8) + Glyph(8) + Glyph(3) + Cols(5, 'B') + Cols(128 - 78, 'G'));

  // The centre does not depend on the starting x; only the columns from x on are filled.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  Out(10, 0, "\x03" "AAA" "\x04");
  EXPECT_EQ(LineColumns(0), Cols(10, 'G') + Cols(42, 'B') + Glyph(8) + Glyph(8) + Glyph(8) + Cols(5, 'B') + Cols(47, 'G'));

  // Already right of the centre: the run starts where it is.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  Out(60, 0, "\x03" "A" "\x04");
  EXPECT_EQ(LineColumns(0), Cols(60, 'G') + Glyph(8) + Cols(5, 'B') + Cols(55, 'G'));
}

TEST_F(TextOut, OverwideCentredRunTruncatesTowardZero) {
  // 'I' + 16 x 'A' = 131 wide: (128 - 131) / 2 is -1, not -2. From x = -5 the
  // run starts at -1, so columns 0 and 1 are the solid columns of the 'I' and
  // column 2 is the blank first column of the first 'A'.
  Out(-5, 0, "\x03" "I" + Cols(16, 'A') + "\x04");
  const std::string line = LineColumns(0, 0, 9);
  EXPECT_EQ(line, "RRB" + Cols(7, 'R'));
}

TEST_F(TextOut, UnterminatedCentredRunIsNotDrawn) {
  Out(0, 0, "AA\x03" "AAA");
  EXPECT_EQ(LineColumns(0), Glyph(8) + Glyph(8) + Cols(112, 'G'));
  // A 0x04 on the next line still closes the run: it is measured across the 0x0A.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  Out(0, 0, "\x03" "A\n\x04");
  // Run width 8 + 5 (the newline counts as a space) = 13: centre (128 - 13) / 2 = 57.
  EXPECT_EQ(LineColumns(0), Cols(57, 'B') + Glyph(8) + Cols(63, 'G'));
}

TEST_F(TextOut, TabsFillForwardOnlyAndZeroEndsTheText) {
  Out(0, 0, "A\x09\x14" "A");
  EXPECT_EQ(LineColumns(0), Glyph(8) + Cols(12, 'B') + Glyph(8) + Cols(100, 'G'));

  // Tab to 5 from x = 24: no effect.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  Out(0, 0, "AAA\x09\x05" "A");
  EXPECT_EQ(LineColumns(0), Glyph(8) + Glyph(8) + Glyph(8) + Glyph(8) + Cols(96, 'G'));

  // 0x09 0x80 fills the rest of the line.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  Out(0, 0, "A\x09\x80");
  EXPECT_EQ(LineColumns(0), Glyph(8) + Cols(120, 'B'));

  // 0x09 0x00 ends the text; so does a tab as the last byte.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  const char stop[] = {'A', 0x09, 0x00, 'A', 'A', 0x00};
  LcdTextOut(0, 0, LCD_RED, LCD_BLUE, stop);
  EXPECT_EQ(LineColumns(0), Glyph(8) + Cols(120, 'G'));
  Out(0, 20, "A\x09");
  EXPECT_EQ(LineColumns(20), Glyph(8) + Cols(120, 'G'));
}

TEST_F(TextOut, NarrowGapAndControlBytesAsBlanks) {
  Out(0, 0, "A\x02" "A");
  EXPECT_EQ(LineColumns(0), Glyph(8) + "BB" + Glyph(8) + Cols(110, 'G'));
  // A stray 0x04, an unused control code and a letter outside the font all draw the space.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  Out(0, 0, "\x04\x01\xA8" "A");
  EXPECT_EQ(LineColumns(0), Cols(15, 'B') + Glyph(8) + Cols(105, 'G'));
}

TEST_F(TextOut, NewLinesReturnToStartXAndClipAtTheBottom) {
  Out(10, 20, "A\n\nA");
  EXPECT_EQ(LineColumns(20, 10, 17), Glyph(8));
  for (int y = 34; y < 48; ++y)
    for (int x = 0; x < 128; ++x) ASSERT_EQ(LcdGetPixel(x, y), LCD_GREEN) << x << "," << y;
  EXPECT_EQ(LineColumns(48, 10, 17), Glyph(8));

  // From y = 150 only rows 150..159 exist; nothing wraps to the top.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  Out(0, 150, "AW\x09\x80\nAAAA");
  for (int x = 0; x < 128; ++x) {
    EXPECT_EQ(LcdGetPixel(x, 159), x == 0 || x == 8 ? LCD_BLUE : (x < 20 ? LCD_RED : LCD_BLUE)) << x;
    for (int y = 0; y < 150; ++y) ASSERT_EQ(LcdGetPixel(x, y), LCD_GREEN) << x << "," << y;
  }
}

TEST_F(TextOut, RunawayTextsStayOffScreen) {
  // Far more columns than 16 bits hold: nothing may wrap back onto the screen.
  Out(200, 0, Cols(9000, 'W'));
  Out(-100, 20, Cols(9000, 'W') + "\x09\x10");
  std::string lines(200, '\n');
  Out(0, 140, lines + "AAAA");
  LcdTextOut(0, 0, LCD_RED, LCD_BLUE, nullptr);
  for (int y = 0; y < 160; ++y) {
    if (y >= 20 && y < 34) continue;
    for (int x = 0; x < 128; ++x) ASSERT_EQ(LcdGetPixel(x, y), LCD_GREEN) << x << "," << y;
  }
  // The second line is solid glyphs from its start, never refilled by the tab.
  EXPECT_EQ(LineColumns(20).find_first_of("G"), std::string::npos);
}

TEST_F(TextOut, TitleBandSkipsLeadingMarkup) {
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  DrawTitle("\x03" "AA" "\x04\x09\x80");
  std::string yellow = "B" + Cols(7, 'Y') + "B" + Cols(7, 'Y');
  EXPECT_EQ(LineColumns(0), "B" + yellow + Cols(128 - 17, 'B'));
  for (int x = 0; x < 128; ++x) {
    EXPECT_EQ(LcdGetPixel(x, 14), LCD_BLUE) << x;
    for (int y = 15; y < 160; ++y) ASSERT_EQ(LcdGetPixel(x, y), LCD_WHITE) << x << "," << y;
  }
  // Blanks, centring marks and tabs with their position are all skipped.
  DrawTitle(" \x09\x40\x03 AA");
  EXPECT_EQ(LineColumns(0), "B" + yellow + Cols(128 - 17, 'B'));
  // A tab without a position must not step over the end of the text.
  DrawTitle("\x09");
  EXPECT_EQ(LineColumns(0), Cols(128, 'B'));
  DrawTitle(nullptr);
  EXPECT_EQ(LineColumns(0), Cols(128, 'B'));
}

TEST_F(TextOut, StrVariantsPickSelectionColours) {
  LcdStr(0, 0, false, "A", LCD_BLACK, LCD_RED);
  EXPECT_EQ(LineColumns(0, 0, 7), "." + Cols(7, 'K'));
  LcdStr(0, 20, true, "A", LCD_BLACK, LCD_RED);
  EXPECT_EQ(LineColumns(20, 0, 7), "R" + Cols(7, 'Y'));

  // FONT1 cell: every byte a glyph, no markup; a solid glyph for 0x03.
  std::uint8_t* g = Font6x8 + 12 * 3;
  for (int i = 0; i < 6; ++i) g[2 * i] = i < 5 ? 0xFF : 0x00, g[2 * i + 1] = 0;
  const char s[] = {0x03, 0x00};
  LcdStr6x8(0, 40, false, s, LCD_BLUE, LCD_RED);
  LcdStr6x8(0, 50, true, s, LCD_BLUE, LCD_RED);
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(LcdGetPixel(x, 40), x < 5 ? LCD_BLUE : LCD_WHITE) << x;
    EXPECT_EQ(LcdGetPixel(x, 50), x < 5 ? LCD_WHITE : LCD_RED) << x;
    EXPECT_EQ(LcdGetPixel(x, 48), LCD_GREEN) << x;
  }
}

TEST_F(TextOut, ItemCopiesFollowTheFontPitch) {
  char a[] = "A";
  DrawItem(a, LCD_BLACK, FONT_TEXT, 0, 20, 16, 2, 0, false, 0);
  // Three copies 13 rows apart; each later copy overdraws the last row of the previous one.
  for (int y : {20, 33, 46}) EXPECT_EQ(LineColumns(y, 0, 7), "." + Cols(7, 'K')) << y;
  EXPECT_EQ(LcdGetPixel(3, 60), LCD_GREEN);

  for (std::int16_t lines : {std::int16_t{-1}, std::int16_t{0}}) {
    LcdFill(0, 0, 127, 159, LCD_GREEN);
    DrawItem(a, LCD_BLACK, FONT_TEXT, 0, 20, 16, lines, 0, false, 0);
    EXPECT_EQ(LineColumns(20, 0, 7), "." + Cols(7, 'K'));
    EXPECT_EQ(LcdGetPixel(3, 34), LCD_GREEN) << lines;
  }

  // Unknown fonts draw nothing; huge copy counts finish and clip.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  DrawItem(a, LCD_BLACK, 3, 0, 20, 16, -1, 0, false, 0);
  DrawItem(nullptr, LCD_BLACK, FONT_TEXT, 0, 60, 16, -1, 0, true, LCD_RED);
  EXPECT_EQ(LineColumns(20), Cols(128, 'G'));
  EXPECT_EQ(LineColumns(60), Cols(128, 'G'));
  DrawItem(a, LCD_BLACK, FONT_TEXT, 0, 100, 16, 32767, 0, false, 0);
  EXPECT_EQ(LcdGetPixel(3, 159), LCD_BLACK);
  EXPECT_EQ(LcdGetPixel(3, 99), LCD_GREEN);
}

TEST_F(TextOut, DrawMenuSelectsOneLineWithItsOwnBar) {
  char a[] = "A";
  const CMenuItem menu[3] = {
      {{a, LCD_BLACK, FONT_TEXT, 0, 20, 16, -1, 0}, LCD_BLUE, 2, 1, -1, 0},
      {{a, LCD_BLACK, FONT_TEXT, 0, 40, 16, -1, 0}, LCD_RED, 0, 2, -1, 0},
      {{a, LCD_BLACK, FONT_TEXT, 0, 60, 16, -1, 0}, LCD_BLUE, 1, 0, -1, 0},
  };
  DrawMenu(menu, 3, 1);
  EXPECT_EQ(LineColumns(20, 0, 7), "." + Cols(7, 'K'));
  EXPECT_EQ(LineColumns(40, 0, 7), "R" + Cols(7, 'Y'));
  EXPECT_EQ(LineColumns(60, 0, 7), "." + Cols(7, 'K'));
  // Drawn as plain items, a menu keeps its own stride: all three lines, none selected.
  LcdFill(0, 0, 127, 159, LCD_GREEN);
  DrawItems(menu, 3);
  for (int y : {20, 40, 60}) EXPECT_EQ(LineColumns(y, 0, 7), "." + Cols(7, 'K')) << y;
  EXPECT_TRUE(ValidItems(menu, 3));
}

namespace {
char kBlank[] = " ";
constexpr CItem kGoodItems[2] = {
    {kBlank, LCD_BLACK, FONT_6X8, 0, 0, 16, -1, 0},
    {kBlank, LCD_BLUE, FONT_BIG, 127, 159, 8, 1, 7},
};
static_assert(ValidItems(kGoodItems, 2));
constexpr CMenuItem kGoodMenu[2] = {
    {{kBlank, LCD_BLACK, FONT_TEXT, 0, 20, 16, -1, 0}, LCD_BLUE, 1, 1, -1, 0},
    {{kBlank, LCD_BLACK, FONT_TEXT, 0, 34, 16, -1, 0}, LCD_BLUE, 0, 0, -1, -5},
};
static_assert(ValidMenu(kGoodMenu, 2));
}  // namespace

TEST(TextTables, ValidatorsRejectBrokenLayouts) {
  EXPECT_TRUE(ValidItems(kGoodItems, 2));
  EXPECT_FALSE(ValidItems(kGoodItems, 0));
  EXPECT_FALSE(ValidItems(static_cast<const CItem*>(nullptr), 1));
  auto itemWith = [](auto change) {
    CItem it = kGoodItems[0];
    change(it);
    return ValidItems(&it, 1);
  };
  EXPECT_FALSE(itemWith([](CItem& it) { it.x = 128; }));
  EXPECT_FALSE(itemWith([](CItem& it) { it.x = -1; }));
  EXPECT_FALSE(itemWith([](CItem& it) { it.y = 160; }));
  EXPECT_FALSE(itemWith([](CItem& it) { it.font = 2; }));
  EXPECT_FALSE(itemWith([](CItem& it) { it.colour = 7; }));
  EXPECT_FALSE(itemWith([](CItem& it) { it.lines = -2; }));

  EXPECT_TRUE(ValidMenu(kGoodMenu, 2));
  auto menuWith = [](auto change) {
    CMenuItem m[2] = {kGoodMenu[0], kGoodMenu[1]};
    change(m[1]);
    return ValidMenu(m, 2);
  };
  EXPECT_FALSE(menuWith([](CMenuItem& m) { m.next = 2; }));
  EXPECT_FALSE(menuWith([](CMenuItem& m) { m.prev = 2; }));
  EXPECT_FALSE(menuWith([](CMenuItem& m) { m.enter = 9; }));
  EXPECT_FALSE(menuWith([](CMenuItem& m) { m.esc = 2; }));
  EXPECT_FALSE(menuWith([](CMenuItem& m) { m.selBg = 1; }));
  EXPECT_FALSE(menuWith([](CMenuItem& m) { m.y = 200; }));
  // The same table is valid once it is read as the longer table it was meant for.
  EXPECT_TRUE(menuWith([](CMenuItem& m) { m.next = -1; }));
}
