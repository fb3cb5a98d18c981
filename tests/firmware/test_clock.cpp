#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clock.h"
#include "host.h"
#include "lcd.h"
#include "golden.h"
#include "keys.h"
#include "headless_host.h"
#include "runscrn.h"
#include "state.h"
#include "texts.h"

namespace {
struct Result {
  bool stopped = false;
  std::uint16_t next = 0xFFFF;
};

Result RunClock() {
  Result r;
  try {
    r.next = ClockScrn();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
    r.stopped = true;
  }
  return r;
}

std::vector<std::string> Fields() {
  std::vector<std::string> v;
  for (const CMenuItem& m : ClockFields) v.emplace_back(m.text);
  return v;
}

void SetEdit(int d, int mo, int y, int h, int mi, int s) {
  const int v[CLK_FIELDS] = {d, mo, y, h, mi, s};
  for (int i = 0; i < CLK_FIELDS; ++i) ClockEdit[i] = static_cast<std::int16_t>(v[i]);
}

bool RedInBody(const TFrame& f) {
  for (int y = 15; y < LCD_HEIGHT; ++y)
    for (int x = 0; x < LCD_WIDTH; ++x)
      if (f.At(x, y) == LCD_RED) return true;
  return false;
}

struct ClockTest : ::testing::Test {
  void SetUp() override {
    CProgramState = TProgramState{};
    CProgramState.MenuItem = 3;
    CProgramState.Backlight = 1;
  }
};
}  // namespace

TEST_F(ClockTest, GoldenFramesShowTheHostClock) {
  for (std::uint32_t lang : {1033u, 1049u}) {
    THeadlessHost host(lang);
    InitMenuTexts();
    host.Rtc = TRtc{2007, 3, 5, 4, 5, 6};
    DrawTitle(FwText(TX_SETTINGS));  // the settings title stays above the clock
    EXPECT_TRUE(RunClock().stopped);
    EXPECT_EQ(Fields(), (std::vector<std::string>{"05", "03", "2007", "04", "05", "06"}));
    EXPECT_EQ(CProgramState.MenuItem, 0);
    EXPECT_GOLDEN(host.LastFrame(), lang == 1049 ? "clock_ru" : "clock_en");
  }
}

TEST_F(ClockTest, CheckDateLimitsAndMonthLengths) {
  struct Case {
    int d, mo, y, h, mi, s;
    bool ok;
  };
  for (const Case& c : {Case{29, 2, 2024, 0, 0, 0, true}, Case{29, 2, 2023, 0, 0, 0, false},
                        Case{28, 2, 2023, 0, 0, 0, true}, Case{30, 2, 2024, 0, 0, 0, false},
                        Case{31, 12, 2099, 23, 59, 59, true}, Case{1, 1, 2000, 0, 0, 0, true},
                        Case{31, 4, 2020, 0, 0, 0, false}, Case{30, 4, 2020, 0, 0, 0, true},
                        Case{31, 1, 1999, 0, 0, 0, false}, Case{1, 1, 2100, 0, 0, 0, false},
                        Case{0, 1, 2020, 0, 0, 0, false}, Case{32, 1, 2020, 0, 0, 0, false},
                        Case{1, 0, 2020, 0, 0, 0, false}, Case{1, 13, 2020, 0, 0, 0, false},
                        Case{1, 1, 2020, 24, 0, 0, false}, Case{1, 1, 2020, 0, 60, 0, false},
                        Case{1, 1, 2020, 0, 0, 60, false}, Case{1, 1, 2020, -1, 0, 0, false}}) {
    SetEdit(c.d, c.mo, c.y, c.h, c.mi, c.s);
    EXPECT_EQ(CheckDate(), c.ok) << c.d << "." << c.mo << "." << c.y << " " << c.h << ":" << c.mi << ":" << c.s;
  }
}

TEST_F(ClockTest, HostClockOutsideTheLimitsOpensOnTheFallbackDate) {
  for (const TRtc& t : {TRtc{1999, 12, 31, 23, 59, 59}, TRtc{2100, 1, 1, 0, 0, 0}, TRtc{2023, 2, 29, 1, 2, 3},
                        TRtc{65535, 1, 1, 0, 0, 0}, TRtc{2020, 13, 1, 0, 0, 0}}) {
    THeadlessHost host;
    InitMenuTexts();
    host.Rtc = t;
    RunClock();
    EXPECT_EQ(Fields(), (std::vector<std::string>{"01", "01", "2005", "00", "00", "00"})) << t.year;
  }
}

TEST_F(ClockTest, ButtonsStepAndWrapEachField) {
  THeadlessHost host;
  InitMenuTexts();
  host.Rtc = TRtc{2000, 12, 31, 0, 0, 59};
  // day 31 +1 -> 1, -1 -> 31; month 12 +1 -> 1; year 2000 -1 -> 2099;
  // hour 0 -1 -> 23; minute 0 +1 -> 1; second 59 +1 -> 0
  host.Keys({S(3), S(1), S(4), S(3), S(4), S(1), S(4), S(1), S(4), S(3), S(4), S(3)});
  EXPECT_TRUE(RunClock().stopped);
  EXPECT_EQ(ClockEdit[CLK_DAY], 31);
  EXPECT_EQ(ClockEdit[CLK_MONTH], 1);
  EXPECT_EQ(ClockEdit[CLK_YEAR], 2099);
  EXPECT_EQ(ClockEdit[CLK_HOUR], 23);
  EXPECT_EQ(ClockEdit[CLK_MINUTE], 1);
  EXPECT_EQ(ClockEdit[CLK_SECOND], 0);
  EXPECT_EQ(CProgramState.MenuItem, CLK_SECOND);
  EXPECT_EQ(Fields(), (std::vector<std::string>{"31", "01", "2099", "23", "01", "00"}));
  EXPECT_TRUE(host.RtcWrites.empty());
}

TEST_F(ClockTest, Button4WalksTheFieldsAndSetsOnTheSeconds) {
  THeadlessHost host;
  InitMenuTexts();
  host.Rtc = TRtc{2024, 2, 29, 13, 14, 15};
  std::vector<int> cursor;
  host.OnFrame = [&](const TFrame&) { cursor.push_back(CProgramState.MenuItem); };
  host.Keys({S(4), S(4), S(4), S(4), S(4), S(1), S(4)});
  const Result r = RunClock();
  ASSERT_FALSE(r.stopped);
  EXPECT_EQ(r.next, 4);
  EXPECT_EQ(CProgramState.MenuItem, 4);
  ASSERT_EQ(host.RtcWrites.size(), 1u);
  const TRtc& w = host.RtcWrites[0];
  EXPECT_EQ(w.year, 2024);
  EXPECT_EQ(w.month, 2);
  EXPECT_EQ(w.day, 29);
  EXPECT_EQ(w.hour, 13);
  EXPECT_EQ(w.minute, 14);
  EXPECT_EQ(w.second, 14);
  EXPECT_GE(host.Now(), 1000u);  // "Setting..." stays a second
  ASSERT_GE(cursor.size(), 7u);
  EXPECT_EQ(std::vector<int>(cursor.begin(), cursor.begin() + 7), (std::vector<int>{0, 1, 2, 3, 4, 5, 5}));
  // The last frame is the blue "Setting..." message, no red.
  EXPECT_FALSE(RedInBody(host.LastFrame()));
}

TEST_F(ClockTest, WrongDateIsRefusedAndTheScreenStaysOnTheDay) {
  THeadlessHost host;
  InitMenuTexts();
  host.Rtc = TRtc{2023, 2, 28, 10, 0, 0};
  std::vector<bool> red;
  host.OnFrame = [&](const TFrame& f) { red.push_back(RedInBody(f)); };
  // 29.02.2023, then button 4 through to the seconds and once more.
  host.Keys({S(3), S(4), S(4), S(4), S(4), S(4), S(4), S(1)});
  EXPECT_TRUE(RunClock().stopped);
  EXPECT_TRUE(host.RtcWrites.empty());
  EXPECT_EQ(CProgramState.MenuItem, CLK_DAY);
  EXPECT_EQ(ClockEdit[CLK_DAY], 29);
  bool sawRed = false;
  for (bool b : red) sawRed = sawRed || b;
  EXPECT_TRUE(sawRed);
  EXPECT_FALSE(red.back());  // the key closed the message, the fields are back
  // Button 2 then leaves without setting.
  THeadlessHost again;
  again.Keys({S(2)});
  const Result r = RunClock();
  EXPECT_EQ(r.next, 4);
  EXPECT_EQ(CProgramState.MenuItem, 4);
  EXPECT_TRUE(again.RtcWrites.empty());
}

TEST_F(ClockTest, OtherKeysChangeNothing) {
  THeadlessHost host;
  InitMenuTexts();
  DrawTitle(FwText(TX_SETTINGS));  // as the settings screen leaves it
  host.Rtc = TRtc{2010, 6, 15, 12, 30, 45};
  host.Keys({static_cast<std::uint16_t>(KEY_LONG + 1), static_cast<std::uint16_t>(KEY_LONG + 2),
             static_cast<std::uint16_t>(KEY_LONG + 3), static_cast<std::uint16_t>(KEY_LONG + 4), KEY_CHORD,
             static_cast<std::uint16_t>(KEY_HOLD + 2), static_cast<std::uint16_t>(KEY_HOLD + 4), KEY_STEP, KEY_NONE});
  EXPECT_TRUE(RunClock().stopped);
  EXPECT_EQ(Fields(), (std::vector<std::string>{"15", "06", "2010", "12", "30", "45"}));
  EXPECT_EQ(CProgramState.MenuItem, 0);
  for (const TFrame& f : host.Frames()) EXPECT_EQ(f, host.Frames().front());
}

TEST_F(ClockTest, SwitchOffDuringTheWrongDateMessageUnwinds) {
  THeadlessHost host;
  InitMenuTexts();
  host.Rtc = TRtc{2021, 4, 30, 0, 0, 0};
  host.Keys({S(3), S(4), S(4), S(4), S(4), S(4), S(4)});  // 31.04 and set
  EXPECT_TRUE(RunClock().stopped);
  EXPECT_TRUE(RedInBody(host.LastFrame()));
  EXPECT_TRUE(host.RtcWrites.empty());
}

// The clock page sits under the settings title; a language change redraws
// both in the new language.
TEST_F(ClockTest, LanguageChangeRedrawsTheTitleAndLabels) {
  TFrame russian;
  {
    THeadlessHost ru(1049);
    InitMenuTexts();
    DrawTitle(FwText(TX_SETTINGS));
    RunClock();
    russian = ru.LastFrame();
  }
  CProgramState.MenuItem = 3;
  THeadlessHost host;
  InitMenuTexts();
  DrawTitle(FwText(TX_SETTINGS));
  host.OnFrame = [&](const TFrame&) {
    if (host.Frames().size() != 1) return;
    host.SetLanguage(1049);
    InitMenuTexts();
    host.Key(KEY_NONE);
  };
  RunClock();
  ASSERT_EQ(host.Frames().size(), 2u);
  int diff = 0;
  for (int y = 0; y < LCD_HEIGHT; ++y)
    for (int x = 0; x < LCD_WIDTH; ++x) diff += host.LastFrame().At(x, y) != russian.At(x, y);
  EXPECT_EQ(diff, 0);
}
