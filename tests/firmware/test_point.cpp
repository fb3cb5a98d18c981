#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "flash.h"
#include "fmtpoint.h"
#include "host.h"
#include "lcd.h"
#include "measpoint.h"
#include "point.h"
#include "golden.h"
#include "keys.h"
#include "headless_host.h"
#include "runscrn.h"
#include "state.h"
#include "texts.h"

namespace {
// The demonstration route, nothing off-route, the settings' defaults.
void NewRoute() {
  InitMenuTexts();
  RouteStore.clear();
  OffRouteStore.clear();
  BuildDemoRoute();
  DeviceInfo = CDeviceInfo{2014, 0x0201, 0.281f, 0.658f, 1.0f};
  CProgramState = TProgramState{};
  CProgramState.MenuMode = SCR_POINT;
  CProgramState.AutoStepEn = 1;
  CProgramState.HighFrequency = 5;
  CProgramState.PhaseDisplay = 1;
  CProgramState.FreqDimension = 1;
  SetBacklight(1);
  CProgramState.npnt = 1;
  ReadPoint(1);
}

// The screen's result, or nothing when the script ran out (switch-off).
std::optional<std::uint16_t> RunPoint(THeadlessHost&) {
  try {
    return PointScrn();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
    return std::nullopt;
  }
}

// Selected row of a frame: the selection band reaches the right edge.
int SelectedPointRow(const TFrame& f) {
  for (int row = 0; row < 3; ++row)
    if (f.At(127, 16 + 13 * row + 2) == LCD_BLUE) return row;
  return -1;
}

struct TPos {
  std::int16_t npnt;
  std::int16_t row;
  bool operator==(const TPos&) const = default;
};
std::ostream& operator<<(std::ostream& o, const TPos& p) { return o << "{" << p.npnt << "," << p.row << "}"; }

// Point and row shown by every frame of the point view.
std::vector<TPos> Walk(THeadlessHost& host, std::initializer_list<std::uint16_t> keys) {
  std::vector<TPos> seen;
  host.OnFrame = [&](const TFrame& f) {
    seen.push_back({CProgramState.npnt, static_cast<std::int16_t>(SelectedPointRow(f))});
  };
  host.Keys(keys);
  EXPECT_FALSE(RunPoint(host).has_value());
  host.OnFrame = nullptr;
  return seen;
}

void StoreMeasured(std::int16_t n, float v0, float v1, std::uint16_t status) {
  ReadPoint(n);
  CurPoint.val[0] = v0;
  CurPoint.val[1] = v1;
  CurPoint.phase[1] = 1.23f;
  CurPoint.status = status;
  CurPoint.rot = 32.0f;
  CurPoint.qty = 102;
  const std::uint16_t t[6] = {2026, 12, 8, 10, 30, 0};
  std::memcpy(CurPoint.mtime, t, sizeof t);
  ASSERT_EQ(WritePoint(n), 0);
}

struct PointScreenTest : ::testing::Test {
  void SetUp() override { NewRoute(); }
  THeadlessHost base;  // texts for the set-up; tests run under their own host
};
}  // namespace

TEST_F(PointScreenTest, RoutePointGoldenBothLanguages) {
  {
    THeadlessHost host;
    NewRoute();
    RunPoint(host);
    EXPECT_GOLDEN(host.LastFrame(), "point_route_en");
    EXPECT_EQ(SelectedPointRow(host.LastFrame()), 0);
  }
  {
    THeadlessHost host(1049);
    NewRoute();
    RunPoint(host);
    EXPECT_GOLDEN(host.LastFrame(), "point_route_ru");
  }
}

TEST_F(PointScreenTest, StoredValuesWithAlarmColours) {
  THeadlessHost host;
  // Point 2: band RMS over its alarm, harmonic RMS with phase; point 9: the
  // second box over its warning level.
  StoreMeasured(2, 12.5f, 4.25f, 0x0003);
  StoreMeasured(9, 3.0f, 11.0f, 0x0004);
  CProgramState.npnt = 2;
  ReadPoint(2);
  CProgramState.MenuItem = 2;
  RunPoint(host);
  const TFrame& f = host.LastFrame();
  EXPECT_GOLDEN(f, "point_alarm_en");
  EXPECT_EQ(f.At(120, 90), LCD_LIGHT_RED);
  EXPECT_EQ(f.At(120, 140), LCD_WHITE);  // no levels on the harmonic slot
  EXPECT_EQ(SelectedPointRow(f), 2);

  THeadlessHost ru(1049);
  NewRoute();
  StoreMeasured(9, 3.0f, 11.0f, 0x0004);
  CProgramState.npnt = 9;
  ReadPoint(9);
  RunPoint(ru);
  EXPECT_GOLDEN(ru.LastFrame(), "point_warning_ru");
  EXPECT_EQ(ru.LastFrame().At(120, 90), LCD_WHITE);  // no levels on the first slot
  EXPECT_EQ(ru.LastFrame().At(120, 140), LCD_LIGHT_YELLOW);
}

TEST_F(PointScreenTest, PointWithoutParametersSaysWhetherDataIsCollected) {
  THeadlessHost host;
  CProgramState.npnt = 6;
  ReadPoint(6);
  RunPoint(host);
  const TFrame notCollected = host.LastFrame();
  EXPECT_GOLDEN(notCollected, "point_not_collected_en");
  StoreMeasured(6, 0.0f, 0.0f, 0);
  RunPoint(host);
  const TFrame collected = host.LastFrame();
  // Only the message between the lines changes, and a time line appears.
  int changedInBody = 0, changedAbove = 0;
  for (int y = 15; y < 145; ++y)
    for (int x = 0; x < 128; ++x)
      if (notCollected.At(x, y) != collected.At(x, y)) ++(y > 81 ? changedInBody : changedAbove);
  EXPECT_GT(changedInBody, 0);
  EXPECT_EQ(changedAbove, 0);
  EXPECT_EQ(notCollected.At(3, 150), LCD_WHITE);  // no clock icon without data
  EXPECT_NE(collected, notCollected);
  bool clock = false;
  for (int y = 147; y < 160; ++y)
    for (int x = 0; x < 14; ++x) clock = clock || collected.At(x, y) == LCD_BLACK;
  EXPECT_TRUE(clock);
}

TEST_F(PointScreenTest, RouteRowTogglesToANewOffRoutePointAndBack) {
  THeadlessHost host;
  CProgramState.HighFrequency = 2;  // 4000 Hz for a new off-route point
  std::vector<std::string> machines;
  host.OnFrame = [&](const TFrame&) { machines.push_back(CurPoint.machine); };
  host.Keys({S(1), S(3)});
  RunPoint(host);
  ASSERT_EQ(machines.size(), 3u);
  EXPECT_EQ(machines[0], "machine 1");
  EXPECT_EQ(machines[1], "Off-route");
  EXPECT_EQ(machines[2], "machine 1");
  EXPECT_EQ(CProgramState.npnt, 1);
  // The off-route point had the band of the setting and a slot to go to.
  ASSERT_EQ(OffRouteStore.size(), 1u);
  host.Keys({S(1)});
  RunPoint(host);
  EXPECT_EQ(CProgramState.npnt, 478);
  EXPECT_STREQ(CurPoint.name, "POINT   1");
  EXPECT_EQ(CurPoint.fmax, 4000);
  EXPECT_EQ(CurPoint.range, 2);
  EXPECT_GOLDEN(host.LastFrame(), "point_offroute_en");
}

TEST_F(PointScreenTest, RowButtonsMoveBetweenRows) {
  THeadlessHost host;
  // Route point: 4 on row 0 -> row 1; 4 on row 1 -> row 2; 2 on row 2 ->
  // row 1; 2 on row 1 -> row 0.
  const auto seen = Walk(host, {S(4), S(4), S(2), S(2)});
  const std::vector<TPos> want{{1, 0}, {1, 1}, {1, 2}, {1, 1}, {1, 0}};
  EXPECT_EQ(seen, want);

  // Off-route point: 4 on row 0 goes straight to the point row, 2 back to 0.
  THeadlessHost off;
  NewRoute();
  CProgramState.npnt = 478;
  NewOffRoutePoint(1);
  const auto seen2 = Walk(off, {S(4), S(2)});
  EXPECT_EQ(seen2, (std::vector<TPos>{{478, 0}, {478, 2}, {478, 0}}));
}

TEST_F(PointScreenTest, BackOnRouteRowReturnsToMainMenuOnItsEntry) {
  for (std::uint16_t mode : {std::uint16_t{0}, std::uint16_t{1}}) {
    THeadlessHost host;
    NewRoute();
    CProgramState.CollectMode = mode;
    host.Keys({S(2)});
    EXPECT_EQ(RunPoint(host), std::optional<std::uint16_t>(SCR_MAIN));
    EXPECT_EQ(CProgramState.MenuItem, mode);
  }
}

TEST_F(PointScreenTest, PointRowCyclesInsideTheMachine) {
  THeadlessHost host;
  CProgramState.MenuItem = 2;
  CProgramState.npnt = 4;
  ReadPoint(4);
  const auto seen = Walk(host, {S(1), S(1), S(1), S(3), S(3)});
  std::vector<std::int16_t> points;
  for (const TPos& p : seen) points.push_back(p.npnt);
  EXPECT_EQ(points, (std::vector<std::int16_t>{4, 5, 1, 2, 1, 5}));

  // The last route point wraps to the first of its own machine.
  THeadlessHost last;
  NewRoute();
  CProgramState.MenuItem = 2;
  CProgramState.npnt = 13;
  ReadPoint(13);
  Walk(last, {S(1)});
  EXPECT_EQ(CProgramState.npnt, 9);
}

TEST_F(PointScreenTest, MachineRowStepsBetweenMachines) {
  THeadlessHost host;
  CProgramState.MenuItem = 1;
  CProgramState.npnt = 3;
  ReadPoint(3);
  const auto seen = Walk(host, {S(1), S(1), S(1), S(3), S(3), S(3)});
  std::vector<std::int16_t> points;
  for (const TPos& p : seen) points.push_back(p.npnt);
  EXPECT_EQ(points, (std::vector<std::int16_t>{3, 6, 9, 1, 9, 6, 1}));
  EXPECT_STREQ(CurPoint.machine, "machine 1");
}

TEST_F(PointScreenTest, AutoStepWaitsTwoSecondsAndCrossesMachines) {
  THeadlessHost host;
  CProgramState.MenuItem = 2;
  CProgramState.npnt = 5;
  ReadPoint(5);
  std::vector<std::uint32_t> times;
  host.OnFrame = [&](const TFrame&) { times.push_back(host.Now()); };
  PutKey(KEY_STEP);
  RunPoint(host);
  EXPECT_EQ(CProgramState.npnt, 6);
  EXPECT_STREQ(CurPoint.machine, "machine 2");
  ASSERT_EQ(times.size(), 2u);
  EXPECT_EQ(times[1] - times[0], 2000u);
  EXPECT_EQ(CProgramState.MenuItem, 2);
}

TEST_F(PointScreenTest, AnalysisModeNeedsStoredData) {
  THeadlessHost host;
  CProgramState.CollectMode = 1;
  CProgramState.MenuItem = 2;
  host.Keys({S(4)});
  EXPECT_FALSE(RunPoint(host).has_value());  // nothing stored: stays on the screen
  EXPECT_EQ(CProgramState.npnt, 1);

  StoreMeasured(1, 1.0f, 1.0f, 0);
  host.Keys({S(4)});
  EXPECT_EQ(RunPoint(host), std::optional<std::uint16_t>(SCR_ANALYSIS_POINT));
  EXPECT_EQ(CProgramState.MenuItem, 2);
  EXPECT_EQ(CurPoint.range, 0);  // 1000 Hz
}

TEST_F(PointScreenTest, OverloadedDataWarnsBeforeAnalysis) {
  THeadlessHost host;
  StoreMeasured(1, 1.0f, 1.0f, 0x8000);
  CProgramState.CollectMode = 1;
  CProgramState.MenuItem = 2;
  TFrame warning;
  host.OnFrame = [&](const TFrame& f) {
    for (int y = 50; y < 100; ++y)
      for (int x = 0; x < 128; ++x)
        if (f.At(x, y) == LCD_RED) warning = f;
  };
  host.Keys({S(4)});
  host.KeyAfter(500, S(3));  // any key closes the message
  EXPECT_EQ(RunPoint(host), std::optional<std::uint16_t>(SCR_ANALYSIS_POINT));
  EXPECT_GOLDEN(warning, "point_overload_en");
  EXPECT_EQ(host.Now(), 500u);  // it waited for the key
}

TEST_F(PointScreenTest, MeasuringOffRoutePointAsksForTheBand) {
  THeadlessHost host;
  CProgramState.npnt = 478;
  NewOffRoutePoint(1);
  CProgramState.MenuItem = 2;
  host.Keys({S(4)});
  EXPECT_EQ(RunPoint(host), std::optional<std::uint16_t>(SCR_BAND_MEASURE));
  EXPECT_EQ(CProgramState.MenuItem, 2);
  EXPECT_EQ(CurPoint.range, 5);  // nothing stored off-route: the setting's band
}

TEST_F(PointScreenTest, StopExceptionPassesThrough) {
  THeadlessHost host;
  host.Keys({S(4), S(4)});
  bool stopped = false;
  try {
    PointScrn();
  } catch (const Exception& e) {
    stopped = e.Message.empty();
  }
  EXPECT_TRUE(stopped);
  EXPECT_EQ(CProgramState.MenuItem, 2);  // the position is kept for the resume
}

// ---- navigation operations ----

TEST_F(PointScreenTest, FindPointByNameFindsTheEdgesOfAMachine) {
  THeadlessHost host;
  EXPECT_EQ(FindPointByName(3, "machine 1", 1), 1);
  EXPECT_EQ(FindPointByName(3, "machine 1", 0), 5);
  EXPECT_EQ(FindPointByName(7, "machine 2", 1), 6);
  EXPECT_EQ(FindPointByName(7, "machine 2", 0), 8);
  EXPECT_EQ(FindPointByName(13, "machine 3", 1), 9);
  EXPECT_EQ(FindPointByName(9, "machine 3", 0), 13);
  // Off-route numbers: the lowest one in use, or 478.
  EXPECT_EQ(FindPointByName(478, "Off-route", 1), 478);
  EXPECT_EQ(FindPointByName(478, "Off-route", 0), 478);
}

TEST_F(PointScreenTest, OffRoutePointsFormARingWithOneNewPoint) {
  THeadlessHost host;
  for (int i = 0; i < 2; ++i) {
    NewOffRoutePoint(static_cast<std::int16_t>(i + 1));
    ASSERT_EQ(WritePoint(static_cast<std::int16_t>(478 - i)), 0);
  }
  CProgramState.npnt = 478;
  ReadPoint(478);
  std::vector<std::int16_t> fwd;
  for (int i = 0; i < 4; ++i) {
    StepPoint(0, 0);
    fwd.push_back(CProgramState.npnt);
  }
  EXPECT_EQ(fwd, (std::vector<std::int16_t>{477, 476, 478, 477}));
  std::vector<std::int16_t> back;
  for (int i = 0; i < 3; ++i) {
    StepPoint(1, 0);
    back.push_back(CProgramState.npnt);
  }
  EXPECT_EQ(back, (std::vector<std::int16_t>{478, 476, 477}));
  StepPoint(0, 0);
  EXPECT_EQ(CProgramState.npnt, 476);
  EXPECT_STREQ(CurPoint.name, "POINT   3");
  EXPECT_NE(CurPoint.valid, POINT_VALID);
}

TEST_F(PointScreenTest, FullOrEmptyRoutesLeaveRouteAndMachineAlone) {
  THeadlessHost host;
  // 478 route points of one machine: neither toggling nor machine steps move.
  std::int16_t c[2] = {0, MAX_POINTS};
  ASSERT_EQ(SetPointCounts(c), 0);
  for (CPoint& p : RouteStore) std::strcpy(p.machine, "machine 1");
  CProgramState.npnt = 20;
  ReadPoint(20);
  ToggleRoute();
  StepMachine(0);
  StepMachine(1);
  EXPECT_EQ(CProgramState.npnt, 20);

  // No route at all: only the off-route ring works.
  ASSERT_EQ(DeleteRoute(), 0);
  CProgramState.npnt = 478;
  NewOffRoutePoint(1);
  ToggleRoute();
  StepMachine(0);
  EXPECT_EQ(CProgramState.npnt, 478);
  StepPoint(0, 0);
  EXPECT_EQ(CProgramState.npnt, 478);  // the one new point
}

TEST_F(PointScreenTest, SetPointBandFollowsTheSetting) {
  THeadlessHost host;
  CProgramState.HighFrequency = 0;
  NewOffRoutePoint(1);
  EXPECT_EQ(CurPoint.flags, 3);
  EXPECT_EQ(CurPoint.fmax, 1000);
  EXPECT_EQ(CurPoint.wave, 1);
  EXPECT_EQ(CurPoint.par[1].qty, 102);
  EXPECT_FLOAT_EQ(CurPoint.par[1].flo, 5.0f);
  EXPECT_FLOAT_EQ(CurPoint.gain, 1.0f);
  EXPECT_EQ(CurPoint.sensor, 101);

  CProgramState.HighFrequency = 3;
  SetPointBand();
  EXPECT_EQ(CurPoint.flags, 0);
  EXPECT_EQ(CurPoint.fmax, 5000);
  EXPECT_EQ(CurPoint.par[0].kind, 6);
  EXPECT_FLOAT_EQ(CurPoint.par[0].fhi, 1000.0f);
  EXPECT_EQ(CurPoint.par[1].qty, 101);
  EXPECT_FLOAT_EQ(CurPoint.par[1].flo, 3.125f);
  EXPECT_FLOAT_EQ(CurPoint.par[1].fhi, 5000.0f);

  CProgramState.HighFrequency = 6;
  SetPointBand();
  EXPECT_EQ(CurPoint.env, 1);
  EXPECT_EQ(CurPoint.wave, 0);
  EXPECT_EQ(CurPoint.fmax, 1000);
  EXPECT_EQ(CurPoint.par[0].kind, 5);
  EXPECT_EQ(CurPoint.par[0].unit, 101);
  EXPECT_EQ(CurPoint.par[1].kind, 0);
  EXPECT_EQ(CurPoint.range, 6);

  // A band index from a damaged settings file does not read past the tables.
  CProgramState.HighFrequency = 40;
  SetPointBand();
  EXPECT_EQ(CurPoint.fmax, 20000);
  EXPECT_EQ(CurPoint.range, 5);
  // Only one free slot however often the band is set.
  EXPECT_EQ(OffRouteStore.size(), 1u);
}

// A language change while the point is shown redraws the title band and every
// text of the page in the new language, as if the screen had been entered in
// it (the records keep the language they were stored in).
TEST_F(PointScreenTest, LanguageChangeRedrawsTheTitleAndEveryText) {
  auto onPoint2 = [] {  // the harmonic slot shows the phase label
    CProgramState.npnt = 2;
    ReadPoint(2);
    CProgramState.MenuItem = 2;
  };
  for (std::uint16_t mode : {std::uint16_t{0}, std::uint16_t{1}}) {
    TFrame russian;
    {
      THeadlessHost ru(1049);
      InitMenuTexts();
      onPoint2();
      CProgramState.CollectMode = mode;
      RunPoint(ru);
      russian = ru.LastFrame();
    }
    THeadlessHost host;
    InitMenuTexts();
    onPoint2();
    CProgramState.CollectMode = mode;
    host.OnFrame = [&](const TFrame&) {
      if (host.Frames().size() != 1) return;
      host.SetLanguage(1049);
      InitMenuTexts();  // as the device does at the wait, before the refresh
      host.Key(KEY_NONE);
    };
    RunPoint(host);
    ASSERT_EQ(host.Frames().size(), 2u);
    int title = 0, body = 0;
    for (int y = 0; y < LCD_HEIGHT; ++y)
      for (int x = 0; x < LCD_WIDTH; ++x) (y < 15 ? title : body) += host.LastFrame().At(x, y) != russian.At(x, y);
    EXPECT_EQ(title, 0) << "collect mode " << mode;
    EXPECT_EQ(body, 0) << "collect mode " << mode;
  }
}
