// The band list through the headless host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "band.h"
#include "flash.h"
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
void Prepare(std::uint16_t state) {
  InitMenuTexts();
  RouteStore.clear();
  OffRouteStore.clear();
  BuildDemoRoute();
  DeviceInfo = CDeviceInfo{2014, 0x0201, 0.281f, 0.658f, 1.0f};
  CProgramState = TProgramState{};
  CProgramState.MenuMode = state;
  CProgramState.MenuItem = 2;
  CProgramState.HighFrequency = 5;
  CProgramState.TypeParamA = CProgramState.TypeParamV = CProgramState.TypeParamS = 1;
  DrawTitle(FwText(state == SCR_BAND_MEASURE ? TX_MEASUREMENT : TX_WATCH));
}

// A new off-route point set up as the route point screen leaves it.
void OffRoutePoint(std::int16_t band) {
  CProgramState.HighFrequency = band;
  CProgramState.npnt = MAX_POINTS;
  NewOffRoutePoint(1);
  SetPointBand();
}

int RunBand() {
  try {
    return BandScrn();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
    return -1;
  }
}
}  // namespace

TEST(BandList, WatchOpensOnTheBandAndMovesRound) {
  THeadlessHost host;
  Prepare(SCR_BAND_WATCH);
  std::vector<int> sel;
  host.OnFrame = [&](const TFrame&) { sel.push_back(CProgramState.MenuItem); };
  host.Keys({S(3), S(3), S(3), S(3), S(3), S(3), S(1), S(1)});
  EXPECT_EQ(RunBand(), -1);
  EXPECT_EQ(sel, (std::vector<int>{5, 4, 3, 2, 1, 0, 6, 0, 1}));
  EXPECT_EQ(CProgramState.HighFrequency, 5);  // nothing chosen
}

TEST(BandList, ChoosingABandSetsTheWatchSettings) {
  struct Case {
    int presses;  // button 3 from band 5
    std::int16_t band;
    std::uint16_t low, env;
  };
  for (const Case& c : {Case{6, 6, 0, 1}, Case{4, 1, 1, 0}, Case{5, 0, 1, 0}, Case{2, 3, 0, 0}, Case{0, 5, 0, 0}}) {
    THeadlessHost host;
    Prepare(SCR_BAND_WATCH);
    for (int i = 0; i < c.presses; ++i) host.Keys({S(3)});
    host.Keys({S(4)});
    EXPECT_EQ(RunBand(), SCR_ANALYSIS_WATCH) << c.band;
    EXPECT_EQ(CProgramState.HighFrequency, c.band);
    EXPECT_EQ(CProgramState.LowBand, c.low) << c.band;
    EXPECT_EQ(CProgramState.EnvMode, c.env) << c.band;
    EXPECT_EQ(CProgramState.MenuItem, c.band);
    EXPECT_TRUE(OffRouteStore.empty() || OffRouteStore[0].valid != POINT_VALID);
  }
}

TEST(BandList, BackLeavesWithoutMeasuring) {
  {
    THeadlessHost host;
    Prepare(SCR_BAND_WATCH);
    host.Keys({S(1), S(2)});
    EXPECT_EQ(RunBand(), SCR_MAIN);
    EXPECT_EQ(CProgramState.MenuItem, 2);
    EXPECT_EQ(CProgramState.HighFrequency, 5);
  }
  THeadlessHost host;
  Prepare(SCR_BAND_MEASURE);
  OffRoutePoint(3);
  CProgramState.HighFrequency = 4;
  host.Keys({S(3), S(2)});
  EXPECT_EQ(RunBand(), SCR_POINT);
  EXPECT_EQ(CProgramState.MenuItem, 2);
  EXPECT_EQ(CProgramState.HighFrequency, 4);
  for (const CPoint& p : OffRouteStore) EXPECT_NE(p.valid, POINT_VALID);
}

TEST(BandList, MeasurementOpensOnThePointsBandAndStores) {
  THeadlessHost host;
  Prepare(SCR_BAND_MEASURE);
  OffRoutePoint(3);
  std::vector<int> sel;
  host.OnFrame = [&](const TFrame&) {
    if (sel.empty()) sel.push_back(CProgramState.MenuItem);
  };
  host.Keys({S(1), S(4)});    // band 4, 10000 Hz
  host.KeyAfter(100, S(1));   // yes, collect the waveform
  const int r = RunBand();
  ASSERT_EQ(sel.size(), 1u);
  EXPECT_EQ(sel[0], 3);
  EXPECT_EQ(r, SCR_POINT);
  EXPECT_EQ(CProgramState.MenuItem, 2);
  EXPECT_EQ(CProgramState.HighFrequency, 4);
  ASSERT_FALSE(OffRouteStore.empty());
  EXPECT_EQ(OffRouteStore[0].valid, POINT_VALID);
  EXPECT_EQ(OffRouteStore[0].range, 4);
  EXPECT_EQ(OffRouteStore[0].fmax, 10000);
}

TEST(BandList, MemoryErrorReturnsToTheMainMenu) {
  THeadlessHost host;
  Prepare(SCR_BAND_MEASURE);
  OffRoutePoint(6);        // envelope: no question before measuring
  CProgramState.npnt = 0;  // a number the store refuses
  host.Keys({S(4)});
  host.KeyAfter(3000, S(4));  // closes the error message
  EXPECT_EQ(RunBand(), SCR_MAIN);
  EXPECT_EQ(CProgramState.StoreStatus, FLASH_ERROR);
  EXPECT_EQ(CProgramState.MenuItem, 0);
}

TEST(BandList, GoldenFramesOfBothTitles) {
  struct Case {
    std::uint32_t lang;
    std::uint16_t state;
    const char* name;
  };
  for (const Case& c : {Case{1033u, SCR_BAND_WATCH, "band_watch_en"}, Case{1033u, SCR_BAND_MEASURE, "band_measure_en"},
                        Case{1049u, SCR_BAND_WATCH, "band_watch_ru"}, Case{1049u, SCR_BAND_MEASURE, "band_measure_ru"}}) {
    THeadlessHost host(c.lang);
    Prepare(c.state);
    if (c.state == SCR_BAND_MEASURE) OffRoutePoint(2);
    RunBand();
    ASSERT_FALSE(host.Frames().empty());
    EXPECT_GOLDEN(host.LastFrame(), c.name);
  }
}

TEST(BandList, LanguageChangeRedrawsTitleAndLabels) {
  THeadlessHost host;
  Prepare(SCR_BAND_WATCH);
  host.OnFrame = [&](const TFrame&) {
    if (host.Frames().size() == 1) {
      host.SetLanguage(1049);
      InitMenuTexts();
      host.Key(KEY_NONE);
    }
  };
  RunBand();
  ASSERT_EQ(host.Frames().size(), 2u);
  THeadlessHost ru(1049);
  Prepare(SCR_BAND_WATCH);
  RunBand();
  EXPECT_EQ(host.LastFrame(), ru.LastFrame());
}

TEST(BandList, StopExceptionPassesThrough) {
  THeadlessHost host;
  Prepare(SCR_BAND_WATCH);
  host.Keys({S(1)});
  try {
    BandScrn();
    FAIL() << "returned without a key to leave";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
  }
  EXPECT_EQ(CProgramState.MenuItem, 6);
}
