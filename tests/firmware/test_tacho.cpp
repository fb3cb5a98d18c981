// The tachometer screen through the headless host.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host.h"
#include "lcd.h"
#include "golden.h"
#include "keys.h"
#include "headless_host.h"
#include "rotation.h"
#include "runscrn.h"
#include "state.h"
#include "tacho.h"
#include "texts.h"

namespace {
struct TachoTest : ::testing::Test {
  void SetUp() override {
    CProgramState = TProgramState{};
    CProgramState.MenuMode = SCR_TACHO;
    CProgramState.MenuItem = 3;
    CProgramState.Backlight = 1;
    RotFreq = 32.0f;
    RotRpm = 1920.0f;
  }
  void TearDown() override {
    RotFreq = 32.0f;
    RotRpm = 1920.0f;
  }

  // Runs the screen; returns its result, or -1 when it was switched off.
  static int Run() {
    InitMenuTexts();
    try {
      return TachoScrn();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "");
      return -1;
    }
  }
};

// Columns that hold a dark (non-white) pixel anywhere in rows y0..y1.
std::vector<int> InkColumns(const TFrame& f, int y0, int y1) {
  std::vector<int> cols;
  for (int x = 0; x < 128; ++x)
    for (int y = y0; y <= y1; ++y)
      if (f.At(x, y) != LCD_WHITE) {
        cols.push_back(x);
        break;
      }
  return cols;
}

bool BodyBlank(const TFrame& f, int y0, int y1) { return InkColumns(f, y0, y1).empty(); }

}  // namespace

TEST_F(TachoTest, HertzReading) {
  THeadlessHost host;
  CProgramState.FreqDimension = 201;
  host.Key(S(2), 250);
  EXPECT_EQ(Run(), SCR_MAIN);
  EXPECT_STREQ(TachoValueText, "32.00");
  EXPECT_STREQ(TachoUnitText, "Hz ");
  EXPECT_EQ(TachoItems[TACHO_UNIT].x, 70);
  ASSERT_FALSE(host.Frames().empty());
  EXPECT_GOLDEN(host.LastFrame(), "tacho_hz");
}

TEST_F(TachoTest, RpmReadingForAnyOtherDimension) {
  for (std::uint16_t dim : {std::uint16_t{1}, std::uint16_t{202}, std::uint16_t{0}}) {
    THeadlessHost host;
    CProgramState.FreqDimension = dim;
    host.Key(S(2), 150);
    EXPECT_EQ(Run(), SCR_MAIN) << dim;
    EXPECT_STREQ(TachoValueText, " 1920") << dim;
    EXPECT_STREQ(TachoUnitText, "RPM") << dim;
    EXPECT_EQ(TachoItems[TACHO_UNIT].x, 78) << dim;
    ASSERT_FALSE(host.Frames().empty());
    EXPECT_GOLDEN(host.LastFrame(), "tacho_rpm");
  }
}

TEST_F(TachoTest, UnitMovesWithTheDimension) {
  // Same rows, unit drawn further right for RPM than for Hz.
  THeadlessHost host;
  CProgramState.FreqDimension = 201;
  host.Key(S(2), 50);
  Run();
  const std::vector<int> hz = InkColumns(host.LastFrame(), 70, 83);
  THeadlessHost host2;
  CProgramState.FreqDimension = 202;
  host2.Key(S(2), 50);
  Run();
  const std::vector<int> rpm = InkColumns(host2.LastFrame(), 70, 83);
  ASSERT_FALSE(hz.empty());
  ASSERT_FALSE(rpm.empty());
  EXPECT_NE(hz, rpm);
  // Caption and footer are the localised texts in their colours.
  const TFrame& f = host2.LastFrame();
  EXPECT_FALSE(BodyBlank(f, 40, 52));
  bool blueFooter = false;
  for (int x = 0; x < 128 && !blueFooter; ++x)
    for (int y = 134; y < 148; ++y) blueFooter = blueFooter || f.At(x, y) == LCD_BLUE;
  EXPECT_TRUE(blueFooter);
}

TEST_F(TachoTest, RedrawsEveryHundredMilliseconds) {
  THeadlessHost host;
  CProgramState.FreqDimension = 201;
  host.Key(S(2), 1050);
  EXPECT_EQ(Run(), SCR_MAIN);
  const auto& frames = host.Frames();
  ASSERT_EQ(frames.size(), 11u);  // at 0, 100, ..., 1000
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].timeMs, 100 * i) << i;
    EXPECT_EQ(frames[i], frames[0]) << i;
  }
}

TEST_F(TachoTest, OnlyAShortPressOfButtonTwoLeaves) {
  THeadlessHost host;
  CProgramState.FreqDimension = 202;
  const std::vector<std::uint16_t> ignored = {
      static_cast<std::uint16_t>(KEY_LONG + 2), static_cast<std::uint16_t>(KEY_HOLD + 2), S(1), S(3), S(4),
      static_cast<std::uint16_t>(KEY_LONG + 4), static_cast<std::uint16_t>(KEY_HOLD + 1), KEY_CHORD, KEY_STEP,
      KEY_NONE};
  std::uint32_t at = 30;
  for (std::uint16_t k : ignored) {
    host.Key(k, at);
    at += 30;
  }
  const std::uint32_t leaveAt = at + 200;
  host.Key(S(2), leaveAt);
  EXPECT_EQ(Run(), SCR_MAIN);
  EXPECT_EQ(host.Now(), leaveAt);
  EXPECT_EQ(CProgramState.MenuItem, 3);  // TACHOMETER stays selected
  EXPECT_GE(host.Frames().size(), ignored.size());
  EXPECT_EQ(host.LastFrame(), host.Frames().front());
}

TEST_F(TachoTest, KeyPressedBeforeTheScreenIsDiscarded) {
  THeadlessHost host;
  PutKey(S(2));  // already in the slot when the screen starts: cleared
  host.Key(S(2), 300);
  EXPECT_EQ(Run(), SCR_MAIN);
  EXPECT_EQ(host.Now(), 300u);
}

TEST_F(TachoTest, SwitchOffUnwindsTheScreen) {
  THeadlessHost host;
  host.Key(S(1), 100);
  host.Key(KEY_OFF, 400);
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(CProgramState.MenuItem, 3);
}

TEST_F(TachoTest, WaitingMessageWithoutSignal) {
  THeadlessHost host;
  RotFreq = -1.0f;
  CProgramState.FreqDimension = 201;
  host.Key(S(2), 450);
  EXPECT_EQ(Run(), SCR_MAIN);
  const auto& frames = host.Frames();
  ASSERT_EQ(frames.size(), 5u);
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].timeMs, 100 * i) << i;
  EXPECT_GOLDEN(host.LastFrame(), "tacho_wait");
  // Only the message: no reading row, no footer.
  EXPECT_TRUE(BodyBlank(host.LastFrame(), 95, 159));
}

TEST_F(TachoTest, SignalLostAndFoundWhileShown) {
  // Reading first, then the signal goes away, then comes back.
  THeadlessHost waitHost;
  RotFreq = -1.0f;
  waitHost.Key(S(2), 50);
  Run();
  const TFrame waiting = waitHost.LastFrame();

  RotFreq = 32.0f;
  THeadlessHost host;
  CProgramState.FreqDimension = 201;
  int n = 0;
  host.OnFrame = [&](const TFrame&) {
    ++n;
    if (n == 2) RotFreq = -1.0f;
    if (n == 4) RotFreq = 32.0f;
  };
  host.Key(S(2), 450);
  EXPECT_EQ(Run(), SCR_MAIN);
  const auto& frames = host.Frames();
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0], frames[1]);
  EXPECT_EQ(frames[2], waiting);  // no stale reading under the message
  EXPECT_EQ(frames[3], waiting);
  EXPECT_EQ(frames[4], frames[0]);
}

TEST_F(TachoTest, ExtremeSpeedsStayInTheirBuffers) {
  for (float rpm : {1e12f, -1e12f, 123456789.0f}) {
    THeadlessHost host;
    RotRpm = rpm;
    CProgramState.FreqDimension = 202;
    host.Key(S(2), 50);
    EXPECT_EQ(Run(), SCR_MAIN);
    EXPECT_LE(std::strlen(TachoValueText), 8u);
  }
  THeadlessHost host;
  RotFreq = 3.0e9f;
  CProgramState.FreqDimension = 201;
  host.Key(S(2), 50);
  EXPECT_EQ(Run(), SCR_MAIN);
  EXPECT_EQ(std::string(TachoValueText), std::string("30000000"));  // cut to 8 characters
  RotFreq = 1234.5f;
  host.Key(S(2), 150);
  EXPECT_EQ(Run(), SCR_MAIN);
  EXPECT_STREQ(TachoValueText, "1234.50");
}

TEST_F(TachoTest, RussianUnits) {
  THeadlessHost host(1049);
  CProgramState.FreqDimension = 201;
  host.Key(S(2), 50);
  EXPECT_EQ(Run(), SCR_MAIN);
  std::string hz;
  LoadStr(2103, hz);
  EXPECT_EQ(std::string(TachoUnitText), hz.substr(0, 8));
  EXPECT_NE(std::string(TachoUnitText), "Hz ");
  EXPECT_GOLDEN(host.LastFrame(), "tacho_hz_ru");
}
