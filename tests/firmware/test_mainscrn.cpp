#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "flash.h"
#include "host.h"
#include "lcd.h"
#include "persist.h"
#include "runscrn.h"
#include "golden.h"
#include "keys.h"
#include "devicerules.h"
#include "headless_host.h"
#include "state.h"
#include "texts.h"

namespace {
// Runs the firmware as one switch-on until the script ends (switch-off).
std::string SwitchOn(THeadlessHost&) {
  InitMenuTexts();
  try {
    RunScrn();
  } catch (const Exception& e) {
    return e.Message;
  }
  ADD_FAILURE() << "RunScrn returned";
  return "?";
}

// Row (y) of the yellow selected text in the main menu, -1 if none.
int SelectedRow(const TFrame& f) {
  for (int item = 0; item < 5; ++item) {
    const int y = 44 + 16 * item;
    if (f.At(0, y + 2) == LCD_BLUE && f.At(127, y + 2) == LCD_BLUE) return item;
  }
  return -1;
}

struct MainMenuTest : ::testing::Test {
  void SetUp() override { NewProgramRun(); }
};
}  // namespace

TEST_F(MainMenuTest, SwitchOnShowsMainMenuOnMeasurement) {
  THeadlessHost host;
  EXPECT_EQ(SwitchOn(host), "");
  ASSERT_FALSE(host.Frames().empty());
  EXPECT_GOLDEN(host.LastFrame(), "main_menu_en");
  EXPECT_EQ(SelectedRow(host.LastFrame()), 0);
  EXPECT_EQ(CProgramState.npnt, 1);
  EXPECT_EQ(RouteStore.size(), 13u);
  EXPECT_EQ(GetBacklight(), 0);  // cleared on the way out
  const auto& t = host.TraceLines();
  ASSERT_GE(t.size(), 3u);
  EXPECT_EQ(t[0], "");
  EXPECT_EQ(t[1], "MainScrn()");
  EXPECT_EQ(t[2], "MainScrn() CProgramState.npnt = 1");
}

TEST_F(MainMenuTest, RussianMainMenu) {
  THeadlessHost host(1049);
  SwitchOn(host);
  EXPECT_GOLDEN(host.LastFrame(), "main_menu_ru");
}

TEST_F(MainMenuTest, CursorWrapsAndBackReturnsToMeasurement) {
  THeadlessHost host;
  std::vector<int> rows;
  host.OnFrame = [&](const TFrame& f) { rows.push_back(SelectedRow(f)); };
  host.Keys({S(3), S(3), S(1), S(1), S(1), S(2), static_cast<std::uint16_t>(KEY_HOLD + 1),
             static_cast<std::uint16_t>(KEY_HOLD + 3)});
  SwitchOn(host);
  EXPECT_EQ(rows, (std::vector<int>{0, 4, 3, 4, 0, 1, 0, 1, 0}));
}

TEST_F(MainMenuTest, LongPressesChordsAndButton4HoldDoNothing) {
  THeadlessHost host;
  host.Keys({static_cast<std::uint16_t>(KEY_LONG + 1), static_cast<std::uint16_t>(KEY_LONG + 3),
             static_cast<std::uint16_t>(KEY_LONG + 4), static_cast<std::uint16_t>(KEY_LONG + 2), KEY_CHORD,
             static_cast<std::uint16_t>(KEY_HOLD + 4), static_cast<std::uint16_t>(KEY_HOLD + 2), KEY_STEP, KEY_NONE});
  SwitchOn(host);
  for (const TFrame& f : host.Frames()) EXPECT_EQ(SelectedRow(f), 0);
  EXPECT_EQ(CProgramState.MenuMode, SCR_MAIN);
}

TEST_F(MainMenuTest, SelectingEntriesSetsStateAndCursor) {
  struct Case {
    int downs;
    std::uint16_t mode;
    std::int16_t item;
    std::uint16_t collect;
  };
  for (const Case& c : {Case{0, SCR_POINT, 0, 0}, Case{1, SCR_POINT, 0, 1}, Case{2, SCR_BAND_WATCH, 5, 0},
                        Case{3, SCR_TACHO, 3, 0}, Case{4, SCR_SETUP, 0, 0}}) {
    NewProgramRun();
    THeadlessHost host;
    for (int i = 0; i < c.downs; ++i) host.Key(S(1));
    host.Key(S(4));
    // The state, cursor and mode as the next screen draws its first frame
    // (the band list puts its cursor on the saved band, 5).
    bool seen = false;
    std::uint16_t mode = 0, collect = 0;
    std::int16_t item = -1;
    host.OnFrame = [&](const TFrame&) {
      if (!seen && CProgramState.MenuMode != SCR_MAIN) {
        seen = true;
        mode = CProgramState.MenuMode, item = CProgramState.MenuItem, collect = CProgramState.CollectMode;
      }
    };
    SwitchOn(host);
    ASSERT_TRUE(seen) << c.downs;
    EXPECT_EQ(mode, c.mode) << c.downs;
    EXPECT_EQ(item, c.item) << c.downs;
    EXPECT_EQ(collect, c.collect) << c.downs;
  }
}

TEST_F(MainMenuTest, FirstSwitchOnIgnoresSavedPositionButTakesSettings) {
  InitDeviceInfo.MenuMode = SCR_SETUP;
  InitDeviceInfo.MenuItem = 3;
  InitDeviceInfo.SelectedPoint = 7;
  InitDeviceInfo.HighFrequency = 2;
  InitDeviceInfo.AutoStepEn = 0;
  InitDeviceInfo.FreqDimension = 201;
  THeadlessHost host;
  SwitchOn(host);
  EXPECT_EQ(SelectedRow(host.Frames().front()), 0);
  EXPECT_EQ(CProgramState.npnt, 1);
  EXPECT_EQ(CProgramState.HighFrequency, 2);
  EXPECT_EQ(CProgramState.AutoStepEn, 0);
  EXPECT_EQ(CProgramState.FreqDimension, 201);
  EXPECT_EQ(FirstStart, 0);
  EXPECT_EQ(DeviceInfo.SerialNo, 2014);
  EXPECT_EQ(DeviceInfo.HwVersion, 0x0201);
}

TEST_F(MainMenuTest, LaterSwitchOnResumesByTheRule) {
  {
    THeadlessHost first;
    SwitchOn(first);  // the run's first switch-on builds the route
  }
  struct Case {
    std::int16_t mode, item;
    std::uint16_t wantMode;
    std::int16_t wantItem;
  };
  for (const Case& c : {Case{SCR_BAND_WATCH, 3, 2, 0}, Case{SCR_POINT, 2, 1, 2}, Case{SCR_ANALYSIS_POINT, 2, 1, 0},
                        Case{SCR_CLOCK, 4, 4, 0}, Case{7, 1, 7, 1}}) {
    InitDeviceInfo.MenuMode = c.mode;
    InitDeviceInfo.MenuItem = c.item;
    InitDeviceInfo.SelectedPoint = 3;
    THeadlessHost host;
    std::uint16_t modeAtFirstFrame = 0xFFFF;
    std::int16_t itemAtFirstFrame = -99;
    host.OnFrame = [&](const TFrame&) {
      if (modeAtFirstFrame == 0xFFFF) modeAtFirstFrame = CProgramState.MenuMode, itemAtFirstFrame = CProgramState.MenuItem;
    };
    SwitchOn(host);
    EXPECT_EQ(modeAtFirstFrame, c.wantMode) << c.mode;
    EXPECT_EQ(CProgramState.npnt, 3) << c.mode;
    const bool mainMenu = !host.TraceLines().empty() && host.TraceLines().size() > 2 &&
                          host.TraceLines()[1] == "MainScrn()";
    // 1 is the route point screen; the others resume on the main menu.
    EXPECT_EQ(mainMenu, c.wantMode != SCR_POINT) << c.mode;
    if (mainMenu) {
      EXPECT_EQ(host.TraceLines()[2], "MainScrn() CProgramState.npnt = 3") << c.mode;
    }
    EXPECT_EQ(itemAtFirstFrame, c.wantItem) << c.mode;
  }
  EXPECT_EQ(RouteStore.size(), 13u);  // not rebuilt
}

TEST_F(MainMenuTest, ErrorLeavingAScreenKeepsItsMessageAndDimsTheLcd) {
  THeadlessHost host;
  host.Key(S(1));
  int frames = 0;
  host.OnFrame = [&](const TFrame&) {
    if (++frames == 2) throw Exception("Flash write failed");
  };
  EXPECT_EQ(SwitchOn(host), "Flash write failed");
  EXPECT_EQ(GetBacklight(), 0);
}

// Every entry of the main menu leads to its screen and back to the main menu
// with that entry selected again.
TEST_F(MainMenuTest, EveryScreenIsReachedAndLeadsBack) {
  struct Case {
    const char* name;
    std::vector<std::uint16_t> keys;
    std::vector<std::uint16_t> modes;  // screen states seen, in order
    std::int16_t itemBack;
  };
  const std::vector<Case> cases = {
      {"measurement", {S(4), S(2)}, {SCR_MAIN, SCR_POINT, SCR_MAIN}, 0},
      {"watch", {S(1), S(1), S(4), S(4), S(2)}, {SCR_MAIN, SCR_BAND_WATCH, SCR_ANALYSIS_WATCH, SCR_MAIN}, 2},
      {"watch back", {S(1), S(1), S(4), S(2)}, {SCR_MAIN, SCR_BAND_WATCH, SCR_MAIN}, 2},
      {"tachometer", {S(3), S(3), S(4), S(2)}, {SCR_MAIN, SCR_TACHO, SCR_MAIN}, 3},
      {"settings", {S(3), S(4), S(2)}, {SCR_MAIN, SCR_SETUP, SCR_MAIN}, 4},
  };
  for (const Case& c : cases) {
    NewProgramRun();
    THeadlessHost host;
    for (std::uint16_t k : c.keys) host.Key(k);
    std::vector<std::uint16_t> modes;
    host.OnFrame = [&](const TFrame&) {
      if (modes.empty() || modes.back() != CProgramState.MenuMode) modes.push_back(CProgramState.MenuMode);
    };
    EXPECT_EQ(SwitchOn(host), "") << c.name;
    EXPECT_EQ(modes, c.modes) << c.name;
    EXPECT_EQ(CProgramState.MenuItem, c.itemBack) << c.name;
    EXPECT_EQ(SelectedRow(host.LastFrame()), c.itemBack % 5) << c.name;
  }
}

// Found in use: "Delete route", YES, and the device switched off while "Route
// is deleted" waits for its key. The next switch-on must find a point that
// exists, and measuring it must store, not report a memory error.
TEST_F(MainMenuTest, SwitchOffWhileRouteDeletedWaitsLeavesAMeasurablePoint) {
  {
    THeadlessHost host;
    // SETTINGS, down to "Delete route", YES; the script ends on the message.
    host.Keys({S(3), S(4), S(1), S(1), S(1), S(1), S(4), S(1)});
    EXPECT_EQ(SwitchOn(host), "");
  }
  ASSERT_TRUE(RouteStore.empty());
  EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
  CopyStateToInitDeviceInfo();  // as the power-off timer saves it
  THeadlessHost host;
  // Back to the main menu, MEASUREMENT, point row, band list, YES to the speed.
  host.Keys({S(2), S(1), S(4), S(4), S(4), S(4), S(1)});
  EXPECT_EQ(SwitchOn(host), "");
  EXPECT_NE(CProgramState.StoreStatus, FLASH_ERROR);
  ASSERT_FALSE(OffRouteStore.empty());
  EXPECT_EQ(OffRouteStore.front().valid, POINT_VALID);
}

// A saved point number that names no record (a route deleted meanwhile, an
// edited settings file) is mended at switch-on rather than read as a stale
// working copy.
TEST_F(MainMenuTest, ASavedPointWithoutARecordIsMendedAtSwitchOn) {
  {
    THeadlessHost first;
    SwitchOn(first);
  }
  InitDeviceInfo.MenuMode = SCR_MAIN;
  auto switchOnAt = [](std::int16_t saved) {
    InitDeviceInfo.SelectedPoint = saved;
    std::memset(&CurPoint, 0x55, sizeof CurPoint);  // what an earlier screen left
    THeadlessHost host;
    SwitchOn(host);
  };
  for (std::int16_t saved : {std::int16_t{0}, std::int16_t{-3}, std::int16_t{14}, std::int16_t{470},
                             std::int16_t{600}}) {
    switchOnAt(saved);
    EXPECT_EQ(CProgramState.npnt, 1) << saved;
    EXPECT_EQ(std::memcmp(&CurPoint, &RouteStore[0], sizeof CurPoint), 0) << saved;
  }
  // Existing points stay as saved.
  switchOnAt(13);
  EXPECT_EQ(CProgramState.npnt, 13);
  EXPECT_EQ(CurPoint.num, 13);

  // The free off-route slot after the stored points is the new point there.
  AddOffRouteSlot();
  CPoint stored{};
  stored.val[0] = 4.5f;
  ASSERT_EQ(WritePoint(MAX_POINTS, &stored), 0);
  AddOffRouteSlot();
  switchOnAt(MAX_POINTS - 1);
  EXPECT_EQ(CProgramState.npnt, MAX_POINTS - 1);
  EXPECT_EQ(CurPoint.valid, 0);
  EXPECT_EQ(CurPoint.num, 2);
  EXPECT_EQ(CurPoint.par[0].kind, 6);  // set up from the band
  EXPECT_EQ(OffRouteStore.size(), 2u);

  // Without a route: the first off-route point, read or made.
  RouteStore.clear();
  switchOnAt(1);
  EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
  EXPECT_EQ(CurPoint.val[0], 4.5f);
  OffRouteStore.clear();
  switchOnAt(1);
  EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
  EXPECT_EQ(CurPoint.num, 1);
  THeadlessHost host;
  EXPECT_EQ(std::string(CurPoint.machine), LoadStr(2110));
  EXPECT_EQ(OffRouteStore.size(), 1u);  // its slot
}

// The window thread saves the state (closing, power-off timer) while the
// first switch-on prepares it. It must find the saved copy untouched or the
// whole prepared state, never the cleared record in between: that would
// write zeros for every setting and feed them back into the start.
TEST_F(MainMenuTest, SavingDuringTheFirstStartNeverTakesAHalfBuiltState) {
  THeadlessHost host;
  for (int round = 0; round < 40; ++round) {
    NewProgramRun();
    InitDeviceInfo.TypeParamA = 2;
    InitDeviceInfo.HighFrequency = 3;
    InitDeviceInfo.FreqDimension = 201;
    std::atomic<bool> done{false};
    std::thread device([&] {
      InitProgState();
      done = true;
    });
    while (!done) CopyStateToInitDeviceInfo();
    device.join();
    CopyStateToInitDeviceInfo();
    EXPECT_EQ(CProgramState.HighFrequency, 3) << round;
    EXPECT_EQ(InitDeviceInfo.HighFrequency, 3) << round;
    EXPECT_EQ(InitDeviceInfo.TypeParamA, 2) << round;
    EXPECT_EQ(InitDeviceInfo.FreqDimension, 201) << round;
    EXPECT_EQ(InitDeviceInfo.AutoStepEn, 1) << round;
    EXPECT_EQ(InitDeviceInfo.SelectedPoint, 1) << round;
    if (HasFailure()) break;
  }
}
