#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "computing.h"
#include "flash.h"
#include "host.h"
#include "lcd.h"
#include "measpoint.h"
#include "point.h"
#include "golden.h"
#include "keys.h"
#include "headless_host.h"
#include "runscrn.h"
#include "setup.h"
#include "state.h"
#include "texts.h"

// InitMeasVal(CMeasVal&, short, short, short), wrapped at link time: the hook
// ignores its arguments, which only a real acquisition would act on.
namespace {
struct TInitArgs {
  int calls = 0;
  std::int16_t band = -1, velIn = -1, q = -1;
} g_initArgs;
}  // namespace
extern "C" void __real__Z11InitMeasValR8CMeasValsss(CMeasVal& out, std::int16_t band, std::int16_t velIn,
                                                   std::int16_t q);
extern "C" void __wrap__Z11InitMeasValR8CMeasValsss(CMeasVal& out, std::int16_t band, std::int16_t velIn,
                                                   std::int16_t q) {
  g_initArgs = {g_initArgs.calls + 1, band, velIn, q};
  __real__Z11InitMeasValR8CMeasValsss(out, band, velIn, q);
}

namespace {
constexpr std::uint16_t YES = S(1);
constexpr std::uint16_t NO = S(3);

void NewRoute() {
  InitMenuTexts();
  RouteStore.clear();
  OffRouteStore.clear();
  BuildDemoRoute();
  DeviceInfo = CDeviceInfo{2014, 0x0201, 0.281f, 0.658f, 1.0f};
  CProgramState = TProgramState{};
  CProgramState.MenuMode = SCR_POINT;
  CProgramState.MenuItem = 2;
  CProgramState.AutoStepEn = 1;
  CProgramState.HighFrequency = 5;
  CProgramState.PhaseDisplay = 1;
  CProgramState.FreqDimension = 1;
  SetBacklight(1);
}

void Select(std::int16_t n) {
  CProgramState.npnt = n;
  ReadPoint(n);
}

// Does any frame show a pixel of this colour in the message area?
bool ShowedColour(const THeadlessHost& host, std::uint8_t colour) {
  for (const TFrame& f : host.Frames())
    for (int y = 50; y < 110; ++y)
      for (int x = 0; x < 128; ++x)
        if (f.At(x, y) == colour) return true;
  return false;
}

// Runs MeasPoint with the queued answers; false if the script ran out.
bool Measure(THeadlessHost&) {
  try {
    MeasPoint();
    return true;
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
    return false;
  }
}

struct MeasPointTest : ::testing::Test {
  void SetUp() override {
    // The title rows are left as a fresh program has them, whatever ran before.
    std::memset(LcdBuf, 0, sizeof LcdBuf);
    NewRoute();
  }
  THeadlessHost host;
};

// Point 6 keeps no waveform, so it is measured without a question; its empty
// slots take whatever a test puts there.
struct SlotTest : MeasPointTest {
  void SetUp() override {
    MeasPointTest::SetUp();
    Select(6);
  }
  CParam& Slot(int i) {
    std::memset(&CurPoint.par[i], 0, sizeof(CParam));
    return CurPoint.par[i];
  }
  const CPoint& Stored() const { return RouteStore[5]; }
};
}  // namespace

TEST_F(MeasPointTest, RoutePointIsMeasuredStoredAndSteppedOn) {
  Select(1);
  host.Rtc = TRtc{2026, 12, 8, 10, 30, 15};
  host.Keys({YES});  // collect the wave
  ASSERT_TRUE(Measure(host));
  const CPoint& p = RouteStore[0];
  EXPECT_EQ(p.valid, POINT_VALID);
  EXPECT_EQ(p.valid2, POINT_VALID);
  EXPECT_EQ(p.qty, 102);  // flags 3: velocity sensor signal
  EXPECT_FLOAT_EQ(p.val[0], 8.22f);
  EXPECT_FLOAT_EQ(p.val[1], 23.25f);
  EXPECT_FLOAT_EQ(p.phase[0], -1.0f);
  EXPECT_EQ(p.status, 0);  // 8.22 is below warning 10
  const std::uint16_t when[6] = {2026, 12, 8, 10, 30, 15};
  EXPECT_EQ(std::memcmp(p.mtime, when, sizeof when), 0);
  EXPECT_EQ(p.rsv2[0], 0);
  EXPECT_EQ(p.rsv2[1], 0);
  EXPECT_NEAR(p.scale, 0.04577706569 / 0.658, 1e-7);
  EXPECT_NEAR(p.offset, p.scale * -32768.0f, 1e-3);
  EXPECT_FLOAT_EQ(p.rot, 32.0f);
  EXPECT_EQ(p.winfo, 2048000);
  EXPECT_EQ(p.tachoIdx, -1);
  for (std::int32_t e : p.extra) EXPECT_EQ(e, -1);
  EXPECT_EQ(CProgramState.StoreStatus, 0);
  EXPECT_EQ(host.Slot(), KEY_STEP);  // auto step posted
  EXPECT_GE(host.Now(), 1500u);      // "Measuring..." stood for 1.5 s
  EXPECT_FALSE(ShowedColour(host, LCD_RED));
}

TEST_F(MeasPointTest, DecliningAQuestionLeavesTheStoreAlone) {
  Select(1);
  host.Keys({NO});
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(RouteStore[0].valid, 0);
  EXPECT_NE(host.Slot(), KEY_STEP);

  // A point with data asks first; NO changes nothing and shows nothing more.
  host.Keys({YES});
  ASSERT_TRUE(Measure(host));
  const CPoint before = RouteStore[0];
  const std::size_t frames = host.Frames().size();
  host.Keys({NO});
  Select(1);
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(std::memcmp(&before, &RouteStore[0], sizeof before), 0);
  EXPECT_EQ(host.Frames().size(), frames + 2);  // the question and its clearing
}

TEST_F(SlotTest, ValuesByKind) {
  // Input quantity of point 6 is acceleration (flags 0).
  CParam& a = Slot(0);
  a.kind = 7;
  a.qty = 101;
  CParam& b = Slot(1);
  b.kind = 8;
  b.qty = 103;
  CParam& c = Slot(2);
  c.kind = 9;
  c.unit = 502;
  ASSERT_TRUE(Measure(host));
  EXPECT_FLOAT_EQ(Stored().val[0], 2.59f);
  EXPECT_FLOAT_EQ(Stored().val[1], 5.0f);
  EXPECT_NEAR(Stored().val[2], 70.47f, 0.01f);
  EXPECT_EQ(Stored().qty, 101);

  host.Keys({YES});  // delete existing data
  Slot(0).kind = 6;
  CurPoint.par[0].qty = 102;
  Slot(1).kind = 2;
  CurPoint.par[1].unit = 101;
  Slot(2).kind = 9;
  CurPoint.par[2].unit = 501;
  ASSERT_TRUE(Measure(host));
  EXPECT_FLOAT_EQ(Stored().val[0], 8.22f);
  EXPECT_FLOAT_EQ(Stored().val[1], 1.83f);
  EXPECT_FLOAT_EQ(Stored().val[2], 1.23f);

  host.Keys({YES});
  Slot(0).kind = 11;
  CurPoint.par[0].qty = 102;
  CurPoint.par[0].order = 1.0f;
  Slot(1).kind = 5;
  CurPoint.par[1].unit = 101;
  Slot(2).kind = 1;
  CurPoint.par[2].unit = 101;
  ASSERT_TRUE(Measure(host));
  EXPECT_FLOAT_EQ(Stored().val[0], 11.63f);
  EXPECT_FLOAT_EQ(Stored().phase[0], 1.23f);
  EXPECT_FLOAT_EQ(Stored().phase[1], -1.0f);
  EXPECT_FLOAT_EQ(Stored().val[1], 2.13f);
  EXPECT_FLOAT_EQ(Stored().val[2], 0.0f);
}

TEST_F(SlotTest, ValuesNotMeasured) {
  CParam& a = Slot(0);
  a.kind = 2;
  a.unit = 102;  // not the input quantity
  a.warn = -5.0f;
  a.alarm = 1.0f;
  CParam& b = Slot(1);
  b.kind = 13;
  b.unit = 202;
  b.order = 2.0f;
  CParam& c = Slot(2);
  c.kind = 13;
  c.unit = 201;
  c.warn = 0.5f;
  CurPoint.val[2] = 99.0f;
  ASSERT_TRUE(Measure(host));
  EXPECT_FLOAT_EQ(Stored().val[0], -1.0f);
  EXPECT_FLOAT_EQ(Stored().val[1], -120.0f);  // -1 Hz in RPM, times the order
  EXPECT_FLOAT_EQ(Stored().val[2], -1.0f);
  EXPECT_EQ(Stored().status & 0x3F, 0x01);  // only slot 0's warning (-1 > -5)

  host.Keys({YES});
  Slot(0).kind = 0;
  CurPoint.val[0] = 42.0f;  // an empty slot keeps its value
  ASSERT_TRUE(Measure(host));
  EXPECT_FLOAT_EQ(Stored().val[0], 42.0f);
  EXPECT_EQ(Stored().status, 0);
}

TEST_F(SlotTest, LevelsAreStrictAndNeedALevel) {
  CParam& a = Slot(0);
  a.kind = 2;
  a.unit = 101;  // 1.83
  a.warn = 1.83f;  // exactly the value: no warning
  a.alarm = 3.0f;
  CParam& b = Slot(1);
  b.kind = 3;
  b.unit = 101;  // 2.59
  b.warn = 0.0f;
  b.alarm = 2.0f;
  CParam& c = Slot(2);
  c.kind = 4;
  c.unit = 101;  // 5.18, no levels
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(Stored().status, 0x0004 | 0x0008);

  host.Keys({YES});
  CurPoint.par[0].warn = 1.0f;
  CurPoint.par[1].alarm = 5.0f;
  host.Key(S(4), 0);
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(Stored().status, 0x0001 | 0x0004);
}

TEST_F(MeasPointTest, LastRoutePointSaysRoutePassedWithoutAutoStep) {
  Select(13);
  TFrame passed;
  host.OnFrame = [&](const TFrame& f) {
    if (f.At(64, 2) == LCD_BLUE && host.Frames().size() > 3) passed = f;
  };
  host.Keys({YES});
  host.Key(S(2), 1800);  // closes "Route passed"
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(RouteStore[12].valid, POINT_VALID);
  EXPECT_NE(host.Slot(), KEY_STEP);
  EXPECT_EQ(host.Now(), 1500u + 300u);
  ASSERT_GE(host.Frames().size(), 3u);
  EXPECT_GOLDEN(host.Frames()[host.Frames().size() - 3], "meas_route_passed_en");
}

TEST_F(MeasPointTest, AutoStepOffPostsNothing) {
  CProgramState.AutoStepEn = 0;
  Select(6);
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(RouteStore[5].valid, POINT_VALID);
  EXPECT_NE(host.Slot(), KEY_STEP);
}

TEST_F(MeasPointTest, MemoryErrorIsReportedAndRemembered) {
  // A point number without a record: the store refuses it.
  Select(6);
  CProgramState.npnt = 0;
  CProgramState.MenuItem = 2;
  host.KeyAfter(100, S(4));  // closes the message
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(CProgramState.StoreStatus, FLASH_ERROR);
  EXPECT_EQ(CProgramState.MenuItem, 0);
  EXPECT_NE(host.Slot(), KEY_STEP);
  EXPECT_TRUE(ShowedColour(host, LCD_RED));
  ASSERT_GE(host.Frames().size(), 3u);
  EXPECT_GOLDEN(host.Frames()[host.Frames().size() - 2], "meas_memory_error_en");
  for (const CPoint& p : RouteStore) EXPECT_NE(p.valid, POINT_VALID);

  // The next good measurement is not taken for a failure.
  Select(7);
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(CProgramState.StoreStatus, 0);
}

// An earlier memory error stays through a measurement the user declines, so
// that "Erase memory" still takes it on instead of refusing.
TEST_F(MeasPointTest, DecliningAfterAMemoryErrorKeepsItForErase) {
  Select(1);
  host.Keys({YES});
  ASSERT_TRUE(Measure(host));
  CProgramState.StoreStatus = FLASH_ERROR;
  Select(1);
  host.Keys({NO});  // keep the existing data
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(CProgramState.StoreStatus, FLASH_ERROR);
  Select(2);
  host.Keys({NO});  // do not collect the wave
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(CProgramState.StoreStatus, FLASH_ERROR);
  host.Keys({S(4)});  // would close a refusal
  EraseMem();
  EXPECT_EQ(CProgramState.StoreStatus, 0);
  EXPECT_TRUE(RouteStore.empty());
  EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
}

TEST_F(MeasPointTest, MemoryErrorOnThePointScreenReturnsToTheMainMenu) {
  THeadlessHost ru(1049);
  NewRoute();
  Select(6);
  CProgramState.npnt = 0;
  CProgramState.MenuItem = 2;
  ru.Keys({S(4)});
  ru.KeyAfter(100, S(1));
  EXPECT_EQ(PointScrn(), SCR_MAIN);
  EXPECT_EQ(CProgramState.MenuItem, 0);
  EXPECT_GOLDEN(ru.Frames()[ru.Frames().size() - 2], "meas_memory_error_ru");
}

TEST_F(MeasPointTest, NewestOffRouteSlotMakesRoomForTheNext) {
  CProgramState.HighFrequency = 6;  // envelope: no wave, no question
  CProgramState.npnt = 478;
  NewOffRoutePoint(1);
  ASSERT_EQ(OffRouteStore.size(), 1u);
  ASSERT_TRUE(Measure(host));
  std::int16_t c[2];
  GetPointCounts(c);
  EXPECT_EQ(c[0], 1);
  ASSERT_EQ(OffRouteStore.size(), 2u);
  EXPECT_EQ(OffRouteStore[1].valid, 0xFFFF);  // the next, blank slot
  const CPoint& p = OffRouteStore[0];
  EXPECT_EQ(p.env, 1);
  EXPECT_EQ(p.range, 6);
  EXPECT_EQ(p.winfo, 0);
  EXPECT_FLOAT_EQ(p.val[0], 2.13f);  // crest factor
  EXPECT_EQ(host.Slot(), KEY_STEP);

  // Measuring it again does not add another slot.
  host.Keys({YES});
  ReadPoint(478);
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(OffRouteStore.size(), 2u);
}

TEST_F(MeasPointTest, OffRoutePointTakesTheBandOfTheSetting) {
  CProgramState.HighFrequency = 0;
  CProgramState.npnt = 478;
  NewOffRoutePoint(1);
  CProgramState.HighFrequency = 1;  // chosen in the band list since
  host.Keys({YES});
  ASSERT_TRUE(Measure(host));
  const CPoint& p = OffRouteStore[0];
  EXPECT_EQ(p.fmax, 2000);
  EXPECT_EQ(p.qty, 102);
  EXPECT_FLOAT_EQ(p.val[0], 8.22f);
  EXPECT_FLOAT_EQ(p.val[1], 8.22f);  // velocity in the second band too
}

TEST_F(MeasPointTest, FullMemoryStillStoresTheLastOffRoutePoint) {
  std::int16_t c[2] = {0, MAX_POINTS - 1};
  ASSERT_EQ(SetPointCounts(c), 0);
  CProgramState.HighFrequency = 6;
  CProgramState.npnt = 478;
  NewOffRoutePoint(1);
  ASSERT_TRUE(Measure(host));
  EXPECT_EQ(CProgramState.StoreStatus, 0);
  EXPECT_EQ(OffRouteStore.size(), 1u);
  EXPECT_EQ(OffRouteStore[0].valid, POINT_VALID);
}

TEST_F(MeasPointTest, StopExceptionPassesThrough) {
  Select(1);  // the question waits for a key that never comes
  host.StopAtMs = 5000;
  bool stopped = false;
  try {
    MeasPoint();
  } catch (const Exception& e) {
    stopped = e.Message.empty();
  }
  EXPECT_TRUE(stopped);
  EXPECT_NE(RouteStore[0].valid, POINT_VALID);
}

TEST_F(MeasPointTest, WatchAsksTheLowBandsForVelocity) {
  for (std::int16_t band = 0; band <= 6; ++band) {
    const int calls = g_initArgs.calls;
    MeasVal = CMeasVal{};
    WatchMeas(band);
    EXPECT_FLOAT_EQ(MeasVal[1 + MV_RMS], 8.22f);  // still the demonstration values
    ASSERT_EQ(g_initArgs.calls, calls + 1) << band;
    EXPECT_EQ(g_initArgs.band, band);
    EXPECT_EQ(g_initArgs.velIn, band < 2 ? 1 : 0) << band;
    EXPECT_EQ(g_initArgs.q, band < 2 ? 102 : 101) << band;
  }
}

TEST_F(MeasPointTest, WatchStartsALiveMeasurement) {
  WatchMeas(6);
  EXPECT_EQ(CProgramState.HighFrequency, 6);
  EXPECT_EQ(host.Now(), 1500u);
  WatchMeas(-3);  // not a band of the list
  EXPECT_EQ(CProgramState.HighFrequency, 5);
  for (const CPoint& p : RouteStore) EXPECT_NE(p.valid, POINT_VALID);
}
