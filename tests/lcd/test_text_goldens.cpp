// Whole frames with the real fonts and string tables, kept as goldens.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "asktacho.h"
#include "font.h"
#include "lcd.h"
#include "golden.h"
#include "headless_host.h"
#include "rotation.h"
#include "state.h"
#include "strtab.h"
#include "text.h"

namespace {
std::string Str(unsigned id) { return LoadStringTable(id); }

class TextFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& e : host_.ErrorBoxes())
      if (e.find("TAHOMA_REGULAR_12PT") != std::string::npos || e.find("FONT1") != std::string::npos)
        GTEST_SKIP() << "font data missing: " << e;
    if (Str(2409).empty()) GTEST_SKIP() << "string tables missing";
    saved_ = CProgramState;
    freq_ = RotFreq;
    SetBacklight(1);  // pictures in the lit colours
    LcdClear();
  }
  void TearDown() override {
    CProgramState = saved_;
    RotFreq = freq_;
  }
  THeadlessHost host_;
  TProgramState saved_{};
  float freq_ = 0;
};

// First and last column of colour c in row y, or {-1, -1}.
std::pair<int, int> Extent(const TFrame& f, int y, std::uint8_t c) {
  int first = -1, last = -1;
  for (int x = 0; x < 128; ++x)
    if (f.At(x, y) == c) last = x, first = first < 0 ? x : first;
  return {first, last};
}

std::pair<int, int> ExtentInLine(const TFrame& f, int y, std::uint8_t c) {
  int first = 128, last = -1;
  for (int r = y; r < y + 14 && r < 160; ++r) {
    auto [a, b] = Extent(f, r, c);
    if (a >= 0) first = std::min(first, a), last = std::max(last, b);
  }
  return {first, last};
}
}  // namespace

TEST_F(TextFrames, TitleBand) {
  DrawTitle(Str(2409));
  LcdShow();
  const TFrame& f = host_.LastFrame();
  EXPECT_GOLDEN(f, "text_title_measurement");
  // Yellow word from x = 1 within its width, everything else in the band blue
  // (the battery sits on the right of the band).
  const int w = TextWidth("MEASUREMENT");
  auto [first, last] = ExtentInLine(f, 0, LCD_YELLOW);
  EXPECT_GE(first, 1);
  EXPECT_LT(last, 1 + w);
  for (int x = 1 + w; x < 92; ++x)
    for (int y = 0; y < 15; ++y) ASSERT_EQ(f.At(x, y), LCD_BLUE) << x << "," << y;
  EXPECT_EQ(f.At(0, 7), LCD_BLUE);
}

TEST_F(TextFrames, MenuWithSelectionBar) {
  char l0[] = "\x09\x03" "Alpha" "\x09\x65" "1" "\x09\x80";
  char l1[] = "\x09\x03" "Beta" "\x09\x65" "22" "\x09\x80";
  char l2[] = "\x03" "Gamma" "\x04";
  const CMenuItem menu[3] = {
      {{l0, LCD_BLACK, FONT_TEXT, 0, 20, 16, -1, 0}, LCD_BLUE, 2, 1, -1, 0},
      {{l1, LCD_BLACK, FONT_TEXT, 0, 34, 16, -1, 0}, LCD_BLUE, 0, 2, -1, 0},
      {{l2, LCD_RED, FONT_TEXT, 0, 48, 16, -1, 0}, LCD_BLUE, 1, 0, -1, 0},
  };
  static_assert(sizeof menu / sizeof menu[0] == 3);
  CProgramState.MenuItem = 0;
  host_.Keys({0x1001, 0x1004});
  EXPECT_EQ(MenuSelect(menu, 3), 4);
  ASSERT_EQ(host_.Frames().size(), 2u);
  const TFrame& f = host_.Frames()[1];
  EXPECT_GOLDEN(f, "text_menu_selection");
  // The selected line is a full-width bar (its tabs fill in the bar colour),
  // the label from x = 3 and the value from x = 101; the other lines stay white.
  EXPECT_GE(ExtentInLine(f, 34, LCD_YELLOW).first, 3);
  EXPECT_GE(ExtentInLine(f, 34, LCD_YELLOW).second, 101);
  for (int y = 34; y < 48; ++y) {
    EXPECT_EQ(f.At(0, y), LCD_BLUE) << y;
    EXPECT_EQ(f.At(127, y), LCD_BLUE) << y;
  }
  EXPECT_EQ(ExtentInLine(f, 20, LCD_BLUE).second, -1);
  EXPECT_EQ(ExtentInLine(f, 20, LCD_YELLOW).second, -1);
}

TEST_F(TextFrames, MessageWithPressButton) {
  host_.Key(0x1001);
  ShowMsg(Str(1903), 1, LCD_RED);
  ASSERT_EQ(host_.Frames().size(), 2u);
  const TFrame& f = host_.Frames()[0];
  EXPECT_GOLDEN(f, "text_msg_press_button");
  // One empty line, then the centred message; the prompt centred at row 134.
  EXPECT_EQ(ExtentInLine(f, 50, LCD_RED).second, -1);
  const int wm = TextWidth("Memory error!");
  auto [m0, m1] = ExtentInLine(f, 64, LCD_RED);
  EXPECT_GE(m0, (128 - wm) / 2);
  EXPECT_LT(m1, (128 - wm) / 2 + wm);
  const int wp = TextWidth("Press button");
  auto [p0, p1] = ExtentInLine(f, 134, LCD_BLUE);
  EXPECT_GE(p0, (128 - wp) / 2);
  EXPECT_LT(p1, (128 - wp) / 2 + wp);
}

TEST_F(TextFrames, YesNoQuestion) {
  host_.Key(0x1003);
  EXPECT_FALSE(AskYesNo(Str(1906), LCD_BLUE));
  const TFrame& f = host_.Frames()[0];
  EXPECT_GOLDEN(f, "text_yes_no");
  const int w = TextWidth("<- NO YES ->");
  auto [a, b] = ExtentInLine(f, 134, LCD_BLUE);
  EXPECT_GE(a, (128 - w) / 2);
  EXPECT_LT(b, (128 - w) / 2 + w);
}

TEST_F(TextFrames, YesNoQuestionInRussian) {
  host_.SetLanguage(1049);
  host_.Key(0x1001);
  EXPECT_TRUE(AskYesNo(Str(1906), LCD_BLUE));
  EXPECT_GOLDEN(host_.Frames()[0], "text_yes_no_ru");
  host_.SetLanguage(1033);
}

namespace {
class TachoFrames : public TextFrames {
 protected:
  void SetUp() override {
    TextFrames::SetUp();
    if (IsSkipped()) return;
    caption_ = TachoItems[TACHO_CAPTION].text;
    captionText_ = Str(1910);
    TachoItems[TACHO_CAPTION].text = captionText_.data();
  }
  void TearDown() override {
    if (caption_) TachoItems[TACHO_CAPTION].text = caption_;
    TextFrames::TearDown();
  }
  // Asks, answers YES after 250 ms; returns the frame of the first reading.
  TFrame AskOnce() {
    host_.Key(0x1001, host_.Now() + 250);
    EXPECT_TRUE(AskTacho(std::string("\x03" "Use tachometer?" "\x04"), LCD_BLACK));
    EXPECT_EQ(host_.Frames().size(), 5u);  // question, readings at 0, 100 and 200, cleared
    return host_.Frames().size() > 1 ? host_.Frames()[1] : TFrame{};
  }
  char* caption_ = nullptr;
  std::string captionText_;
};
}  // namespace

TEST_F(TachoFrames, Hertz) {
  RotFreq = 32.0f;
  CProgramState.FreqDimension = 201;
  const TFrame f = AskOnce();
  EXPECT_GOLDEN(f, "text_tacho_hz");
  // Large digits in black from x = 25, unit from x = 85.
  auto [a, b] = ExtentInLine(f, 68, LCD_BLACK);
  EXPECT_GE(a, 25);
  EXPECT_GT(b, 85);
}

TEST_F(TachoFrames, Rpm) {
  RotFreq = 32.0f;
  CProgramState.FreqDimension = 202;
  const TFrame f = AskOnce();
  EXPECT_GOLDEN(f, "text_tacho_rpm");
  EXPECT_STREQ(TachoValueText, " 1920");
}

TEST_F(TachoFrames, WaitingForSignal) {
  RotFreq = -1.0f;
  const TFrame f = AskOnce();
  EXPECT_GOLDEN(f, "text_tacho_waiting");
  // Two centred lines under an empty one, blue, above the question.
  EXPECT_EQ(ExtentInLine(f, 36, LCD_BLUE).second, -1);
  EXPECT_NE(ExtentInLine(f, 50, LCD_BLUE).second, -1);
  EXPECT_NE(ExtentInLine(f, 64, LCD_BLUE).second, -1);
  EXPECT_NE(ExtentInLine(f, 92, LCD_BLACK).second, -1);
}
