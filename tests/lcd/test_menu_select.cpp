#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "asktacho.h"
#include "rotation.h"
#include "state.h"
#include "strtab.h"
#include "test_text_support.h"
#include "text.h"

using namespace texttest;

namespace {
char kLine[] = "A";

// Five lines 20 rows apart, linked in a ring; enter leaves, esc goes to the top.
CMenuItem Line(int i, std::int16_t prev, std::int16_t next) {
  return {{kLine, LCD_BLACK, FONT_TEXT, 0, static_cast<std::int16_t>(20 + 20 * i), 16, -1, 0},
          LCD_BLUE,
          prev,
          next,
          -1,
          0};
}

// The selected line of a frame: the one whose letter is yellow.
int SelectedLine(const TFrame& f, int n) {
  int sel = -1;
  for (int i = 0; i < n; ++i)
    if (f.At(3, 20 + 20 * i + 5) == LCD_YELLOW) sel = sel < 0 ? i : -2;
  return sel;
}

class Menu : public SyntheticFont {
 protected:
  void SetUp() override {
    SyntheticFont::SetUp();
    for (int i = 0; i < 5; ++i)
      ring_[i] = Line(i, static_cast<std::int16_t>((i + 4) % 5), static_cast<std::int16_t>((i + 1) % 5));
    savedCursor_ = CProgramState.MenuItem;
    CProgramState.MenuItem = 0;
  }
  void TearDown() override {
    CProgramState.MenuItem = savedCursor_;
    SyntheticFont::TearDown();
  }
  std::vector<int> Selections() const {
    std::vector<int> v;
    for (const TFrame& f : host_.Frames()) v.push_back(SelectedLine(f, 5));
    return v;
  }
  CMenuItem ring_[5];
  std::int16_t savedCursor_ = 0;
};
}  // namespace

TEST_F(Menu, CursorOutsideTheTableStartsAtTheTop) {
  for (std::int16_t start : {std::int16_t{7}, std::int16_t{5}, std::int16_t{-1}}) {
    CProgramState.MenuItem = start;
    host_.Key(0x1004, host_.Now());
    EXPECT_EQ(MenuSelect(ring_, 5), 4) << start;
    EXPECT_EQ(CProgramState.MenuItem, 0) << start;
    EXPECT_EQ(SelectedLine(host_.LastFrame(), 5), 0) << start;
  }
  // A cursor inside the table is kept, so a screen can preset it.
  CProgramState.MenuItem = 3;
  host_.Key(0x1004, host_.Now());
  EXPECT_EQ(MenuSelect(ring_, 5), 4);
  EXPECT_EQ(SelectedLine(host_.LastFrame(), 5), 3);
}

TEST_F(Menu, ButtonsOneAndThreeWalkTheRingShortOrHeld) {
  host_.Keys({0x1001, 0x3001, 0x3001, 0x3001, 0x3001, 0x3001, 0x1003, 0x3003, 0x1004});
  EXPECT_EQ(MenuSelect(ring_, 5), 4);
  // Start, four steps down wrapping to 0 and on to 1, then two steps up.
  EXPECT_EQ(Selections(), (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 0, 4}));
  EXPECT_EQ(CProgramState.MenuItem, 4);
}

TEST_F(Menu, OnlyShortPressesOfTwoAndFourAndNoLongPressesCount) {
  host_.Keys({0x2001, 0x2003, 0x2004, 0x2002, 0x3002, 0x3004, 0x4000, 0x0100, 0x1005, 0x1004});
  EXPECT_EQ(MenuSelect(ring_, 5), 4);
  // Nothing moved and nothing was redrawn for the ignored codes.
  EXPECT_EQ(host_.Frames().size(), 1u);
  EXPECT_EQ(CProgramState.MenuItem, 0);
  EXPECT_EQ(host_.WaitCount(), 10u);
}

TEST_F(Menu, NegativeLinksLeaveWithTheButtonAndKeepTheCursor) {
  ring_[2].next = -1;
  ring_[2].prev = -3;
  ring_[2].esc = -1;
  CProgramState.MenuItem = 2;
  host_.Key(0x1001);
  EXPECT_EQ(MenuSelect(ring_, 5), 1);
  EXPECT_EQ(CProgramState.MenuItem, 2);
  host_.Key(0x3003, host_.Now());
  EXPECT_EQ(MenuSelect(ring_, 5), 3);
  host_.Key(0x1002, host_.Now());
  EXPECT_EQ(MenuSelect(ring_, 5), 2);
  EXPECT_EQ(CProgramState.MenuItem, 2);
  EXPECT_EQ(host_.Frames().size(), 3u);  // one frame per call, no move
}

TEST_F(Menu, EnterAndEscFollowTheirLinks) {
  ring_[0].enter = 3;
  ring_[3].esc = 0;
  ring_[0].esc = -1;
  host_.Keys({0x1004, 0x1002, 0x1002});
  EXPECT_EQ(MenuSelect(ring_, 5), 2);
  EXPECT_EQ(Selections(), (std::vector<int>{0, 3, 0}));
}

TEST_F(Menu, StepAndRefreshCodesAreReturned) {
  host_.Key(KEY_STEP);
  EXPECT_EQ(MenuSelect(ring_, 5), 512);
  host_.Key(KEY_NONE, host_.Now());
  EXPECT_EQ(MenuSelect(ring_, 5), 768);
}

TEST_F(Menu, LinkBeyondTheTableWrapsToTheTop) {
  ring_[1].next = 9;
  CProgramState.MenuItem = 1;
  host_.Keys({0x1001, 0x1004});
  EXPECT_EQ(MenuSelect(ring_, 5), 4);
  EXPECT_EQ(Selections(), (std::vector<int>{1, 0}));
}

TEST_F(Menu, EmptyTableLeavesOnAnyButton) {
  host_.Keys({0x1001});
  EXPECT_EQ(MenuSelect(ring_, 0), 1);
  host_.Key(0x1004, host_.Now());
  EXPECT_EQ(MenuSelect(nullptr, 3), 4);
  EXPECT_EQ(CProgramState.MenuItem, 0);
}

TEST_F(Menu, SwitchOffPassesThroughUnchanged) {
  host_.Keys({0x1001, 0x1001});
  try {
    MenuSelect(ring_, 5);
    FAIL() << "the empty script must switch the device off";
  } catch (const Exception& e) {
    EXPECT_TRUE(e.Message.empty());
  }
  // The position survives for the saved state.
  EXPECT_EQ(CProgramState.MenuItem, 2);
}

// ---- messages and questions ----

namespace {
class Boxes : public SyntheticFont {};

bool BodyWhite(const TFrame& f) {
  for (int y = 15; y < 160; ++y)
    for (int x = 0; x < 128; ++x)
      if (f.At(x, y) != LCD_WHITE) return false;
  return true;
}
}  // namespace

TEST_F(Boxes, ShowMsgWithoutWaitLeavesTheMessage) {
  ShowMsg("A", 0, LCD_RED);
  ASSERT_EQ(host_.Frames().size(), 1u);
  EXPECT_EQ(host_.WaitCount(), 0u);
  EXPECT_EQ(host_.LastFrame().At(3, 55), LCD_RED);
  EXPECT_EQ(host_.LastFrame().At(3, 45), LCD_WHITE);
}

TEST_F(Boxes, ShowMsgWaitsForAFreshKeyThenClears) {
  host_.SetKey(0x1001);  // pressed before the message: dropped
  host_.Key(0x2004, 250);
  ShowMsg(std::string("A"), 1, LCD_RED);
  ASSERT_EQ(host_.Frames().size(), 2u);
  EXPECT_EQ(host_.Frames()[0].At(3, 55), LCD_RED);
  EXPECT_EQ(host_.Frames()[0].timeMs, 0u);
  EXPECT_TRUE(BodyWhite(host_.Frames()[1]));
  EXPECT_EQ(host_.Frames()[1].timeMs, 250u);
  EXPECT_EQ(host_.WaitCount(), 1u);
}

TEST_F(Boxes, ShowMsgTopKeepsTheLowerBody) {
  LcdFill(0, 15, 127, 159, LCD_GREEN);
  ShowMsgTop("A", LCD_BLUE);
  const TFrame& f = host_.LastFrame();
  EXPECT_EQ(f.At(3, 40), LCD_BLUE);
  EXPECT_EQ(f.At(60, 20), LCD_WHITE);
  EXPECT_EQ(f.At(60, 90), LCD_WHITE);
  EXPECT_EQ(f.At(60, 91), LCD_GREEN);
  EXPECT_EQ(host_.WaitCount(), 0u);
}

TEST_F(Boxes, AskYesNoAnswersOnlyShortOrHeldOneAndThree) {
  host_.SetKey(0x1003);  // stale NO: must not answer
  host_.Keys({0x1004, 0x1002, 0x2001, 0x2003, 0x4000, 0x3002, 0x3001});
  EXPECT_TRUE(AskYesNo("A", LCD_BLUE));
  EXPECT_EQ(host_.WaitCount(), 7u);
  ASSERT_EQ(host_.Frames().size(), 2u);
  EXPECT_EQ(host_.Frames()[0].At(3, 55), LCD_BLUE);
  EXPECT_TRUE(BodyWhite(host_.Frames()[1]));

  for (std::uint16_t no : {std::uint16_t{0x1003}, std::uint16_t{0x3003}}) {
    host_.Key(no, host_.Now());
    EXPECT_FALSE(AskYesNo(std::string("A"), LCD_BLUE)) << no;
  }
  host_.Key(0x1001, host_.Now());
  EXPECT_TRUE(AskYesNo("A", LCD_BLUE));
}

TEST_F(Boxes, SwitchOffIsNeverLostByTheQuestions) {
  host_.SetKey(KEY_OFF);
  host_.Key(0x1001);
  EXPECT_THROW(AskYesNo("A", LCD_BLUE), Exception);
  host_.SetKey(KEY_OFF);
  EXPECT_THROW(ShowMsg("A", 1, LCD_RED), Exception);
}

// ---- rotation speed question ----

namespace {
class Tacho : public Boxes {
 protected:
  void SetUp() override {
    Boxes::SetUp();
    freq_ = RotFreq, rpm_ = RotRpm, dim_ = CProgramState.FreqDimension;
    std::memcpy(value_, TachoValueText, sizeof value_);
    std::memcpy(unit_, TachoUnitText, sizeof unit_);
    x_ = TachoItems[TACHO_UNIT].x;
  }
  void TearDown() override {
    RotFreq = freq_, RotRpm = rpm_, CProgramState.FreqDimension = dim_;
    std::memcpy(TachoValueText, value_, sizeof value_);
    std::memcpy(TachoUnitText, unit_, sizeof unit_);
    TachoItems[TACHO_UNIT].x = x_;
    Boxes::TearDown();
  }
  std::vector<std::uint32_t> FrameTimes() const {
    std::vector<std::uint32_t> t;
    for (const TFrame& f : host_.Frames()) t.push_back(f.timeMs);
    return t;
  }

 private:
  float freq_ = 0, rpm_ = 0;
  std::uint16_t dim_ = 0;
  char value_[TACHO_TEXT_CHARS + 1]{}, unit_[TACHO_TEXT_CHARS + 1]{};
  std::int16_t x_ = 0;
};
}  // namespace

TEST(TachoTable, LayoutOfTheFourItems) {
  EXPECT_TRUE(ValidItems(TachoItems, 4));
  EXPECT_EQ(TachoItems[TACHO_VALUE].text, TachoValueText);
  EXPECT_EQ(TachoItems[TACHO_UNIT].text, TachoUnitText);
  EXPECT_EQ(TachoItems[TACHO_VALUE].font, FONT_BIG);
  EXPECT_EQ(TachoItems[TACHO_FOOTER].colour, LCD_BLUE);
  for (const CItem& it : TachoItems) {
    EXPECT_EQ(it.len, 16);
    EXPECT_EQ(it.lines, -1);
    ASSERT_NE(it.text, nullptr);
  }
}

TEST_F(Tacho, HertzRefreshesEveryHundredMilliseconds) {
  RotFreq = 32.0f;
  CProgramState.FreqDimension = 201;
  host_.Key(0x1004, 130);  // ignored, but ends that wait early
  host_.Key(0x1001, 350);
  EXPECT_TRUE(AskTacho("A", LCD_BLUE));
  // Question, a reading at once, one per wait, and the cleared body.
  EXPECT_EQ(FrameTimes(), (std::vector<std::uint32_t>{0, 0, 100, 130, 230, 330, 350}));
  EXPECT_STREQ(TachoValueText, "32.00");
  EXPECT_EQ(std::string(TachoUnitText), LoadStringTable(2103).substr(0, TACHO_TEXT_CHARS));
  EXPECT_EQ(TachoItems[TACHO_UNIT].x, 85);
  EXPECT_EQ(host_.Frames()[0].At(3, 97), LCD_BLUE);  // the question at y = 92
  EXPECT_TRUE(BodyWhite(host_.LastFrame()));
}

TEST_F(Tacho, RpmTruncatesAndRightAligns) {
  RotFreq = 32.0f;
  RotRpm = 1920.9f;
  CProgramState.FreqDimension = 202;
  host_.Key(0x3003, 40);
  EXPECT_FALSE(AskTacho("A", LCD_BLUE));
  EXPECT_STREQ(TachoValueText, " 1920");
  EXPECT_EQ(std::string(TachoUnitText), LoadStringTable(2104).substr(0, TACHO_TEXT_CHARS));
  EXPECT_EQ(TachoItems[TACHO_UNIT].x, 78);
  EXPECT_EQ(FrameTimes(), (std::vector<std::uint32_t>{0, 0, 40}));
}

TEST_F(Tacho, HugeReadingsStayInsideTheBuffers) {
  RotFreq = 1.0e9f;
  CProgramState.FreqDimension = 201;
  host_.Key(0x1001, 10);
  EXPECT_TRUE(AskTacho("A", LCD_BLUE));
  EXPECT_EQ(std::strlen(TachoValueText), static_cast<std::size_t>(TACHO_TEXT_CHARS));
  EXPECT_EQ(std::string(TachoValueText), "10000000");

  RotRpm = 3.0e12f;
  CProgramState.FreqDimension = 202;
  host_.Key(0x1001, host_.Now() + 10);
  EXPECT_TRUE(AskTacho("A", LCD_BLUE));
  EXPECT_EQ(std::string(TachoValueText), "21474836");
}

TEST_F(Tacho, NoSignalShowsTheWaitingMessageInstead) {
  for (float freq : {-1.0f, std::nanf("")}) {
    std::strcpy(TachoValueText, "unset");
    RotFreq = freq;
    CProgramState.FreqDimension = 201;
    host_.Key(0x1003, host_.Now() + 250);
    const std::size_t before = host_.Frames().size();
    const std::uint32_t t0 = host_.Now();
    EXPECT_FALSE(AskTacho("A", LCD_BLUE));
    EXPECT_STREQ(TachoValueText, "unset");
    const std::vector<std::uint32_t> all = FrameTimes();
    const std::vector<std::uint32_t> times(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    EXPECT_EQ(times, (std::vector<std::uint32_t>{t0, t0, t0 + 100, t0 + 200, t0 + 250}));
    // The question below row 90 stays while the message refreshes above it.
    EXPECT_EQ(host_.Frames()[before + 3].At(3, 97), LCD_BLUE);
  }
}

TEST_F(Tacho, SwitchOffEndsTheWait) {
  RotFreq = 32.0f;
  host_.StopAtMs = 1000;
  EXPECT_THROW(AskTacho("A", LCD_BLUE), Exception);
  EXPECT_GE(host_.Frames().size(), 10u);
}
