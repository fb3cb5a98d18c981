#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <memory>
#include <vector>

#include "buttons.h"
#include "device.h"
#include "headless_host.h"
#include "host.h"
#include "lcd.h"

namespace {
// Drives TDeviceButtons on a virtual clock: the repeat timer "fires" when the
// virtual time reaches its interval, exactly as a precise timer would.
struct VirtualButtons {
  TDeviceButtons b;
  std::uint32_t now = 100000;
  std::uint32_t nextFire = 0;
  std::vector<std::pair<std::uint32_t, std::uint16_t>> posted;

  VirtualButtons() {
    b.Clock = [this] { return now; };
    b.KeyHandler = [this](std::uint16_t c) { posted.push_back({now, c}); };
  }
  void Press(std::int16_t n) {
    b.Press(n);
    nextFire = now + static_cast<std::uint32_t>(b.RepeatTimer().interval());
  }
  void Advance(std::uint32_t ms) {
    const std::uint32_t end = now + ms;
    while (b.RepeatTimer().isActive() && nextFire <= end) {
      now = nextFire;
      b.OnRepeat();
      nextFire = now + static_cast<std::uint32_t>(b.RepeatTimer().interval());
    }
    now = end;
  }
  std::vector<std::uint16_t> Codes() const {
    std::vector<std::uint16_t> v;
    for (auto& p : posted) v.push_back(p.second);
    return v;
  }
};
}  // namespace

TEST(Buttons, ShortAndLongPresses) {
  VirtualButtons v;
  v.Press(4);
  v.Advance(299);
  v.b.Release();
  v.Press(4);
  v.Advance(300);
  v.b.Release();
  v.Press(1);
  v.Advance(1099);
  v.b.Release();
  EXPECT_EQ(v.Codes(), (std::vector<std::uint16_t>{0x1004, 0x2004, 0x2001}));
}

TEST(Buttons, HoldRepeatsEvery50msAfter1100AndReleaseSendsNothing) {
  VirtualButtons v;
  const std::uint32_t t0 = v.now;
  v.Press(3);
  v.Advance(2000);
  v.b.Release();
  ASSERT_EQ(v.posted.size(), 19u);
  for (std::size_t i = 0; i < v.posted.size(); ++i) {
    EXPECT_EQ(v.posted[i].second, 0x3003);
    EXPECT_EQ(v.posted[i].first - t0, 1100u + 50u * i);
  }
  EXPECT_FALSE(v.b.RepeatTimer().isActive());
  EXPECT_EQ(v.b.RepeatTimer().timerType(), Qt::PreciseTimer);
}

TEST(Buttons, ChordWithin300msAndLaterSecondPressIgnored) {
  VirtualButtons v;
  v.Press(1);
  v.Advance(200);
  v.Press(3);
  EXPECT_EQ(v.Codes(), (std::vector<std::uint16_t>{0x4000}));
  v.Advance(2000);  // no hold codes of the first button after the chord
  v.b.Release();
  EXPECT_EQ(v.Codes(), (std::vector<std::uint16_t>{0x4000}));

  VirtualButtons w;
  w.Press(1);
  w.Advance(400);
  w.Press(3);  // too late for a chord: ignored
  EXPECT_TRUE(w.Codes().empty());
  w.b.Release();
  EXPECT_EQ(w.Codes(), (std::vector<std::uint16_t>{0x2001}));
}

TEST(Buttons, ResetDropsTheHeldPress) {
  VirtualButtons v;
  v.Press(2);
  v.b.Reset();
  v.Advance(3000);
  v.b.Release();
  EXPECT_TRUE(v.Codes().empty());
}

// The headless host (and so orb720-script) times presses with the same
// TButtonTiming: for the same mouse downs and ups it must post the same
// codes at the same times as the window's buttons with their repeat timer.
TEST(Buttons, HeadlessHostPostsTheWindowsCodesAtTheWindowsTimes) {
  struct Step {
    std::uint32_t at;
    std::int16_t press;  // 0: release
  };
  const std::vector<std::vector<Step>> cases = {
      {{0, 4}, {299, 0}},                       // short
      {{0, 4}, {300, 0}},                       // long from the limit on
      {{0, 1}, {1099, 0}},                      // still long
      {{0, 1}, {1100, 0}},                      // the first hold code comes before the release
      {{0, 3}, {2000, 0}},                      // 19 hold codes, nothing at the release
      {{0, 1}, {200, 3}, {2000, 0}},            // chord: no hold code of the first button
      {{0, 1}, {400, 3}, {900, 0}},             // a second press too late is ignored
      {{0, 2}, {150, 0}, {150, 2}, {1700, 0}},  // up and down again at one instant
  };
  using TCodes = std::vector<std::pair<std::uint32_t, std::uint16_t>>;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    VirtualButtons window;
    const std::uint32_t t0 = window.now;
    THeadlessHost host;
    for (const Step& s : cases[k]) {
      window.Advance(t0 + s.at - window.now);
      if (s.press)
        window.Press(s.press), host.Press(s.press, s.at);
      else
        window.b.Release(), host.Release(s.at);
    }
    window.Advance(3000);
    host.At(cases[k].back().at + 3000, [&] { host.Stop(); });
    TCodes fromWindow, fromHost;
    for (const auto& [at, code] : window.posted) fromWindow.push_back({at - t0, code});
    for (;;) {
      const std::uint16_t code = host.WaitForKey(kWaitForever);
      if (host.Stopped()) break;
      fromHost.push_back({host.Now(), code});
    }
    EXPECT_EQ(fromHost, fromWindow) << "case " << k;
    EXPECT_FALSE(fromWindow.empty()) << "case " << k;
  }
}

TEST(Buttons, RealTimerRepeatsWhileHeld) {
  TDeviceButtons b(TDeviceButtons::Timing{50, 100, 20});
  std::vector<std::uint16_t> codes;
  b.KeyHandler = [&](std::uint16_t c) { codes.push_back(c); };
  b.Press(1);
  QTest::qWait(250);
  b.Release();
  ASSERT_GE(codes.size(), 2u);
  for (auto c : codes) EXPECT_EQ(c, 0x3001);
}

TEST(Buttons, HoldingPowerWhileOffSwitchesOnAt1100WithNoFurtherCodes) {
  QImage image(128, 160, QImage::Format_RGB32);
  std::atomic<int> keys{0}, runs{0};
  auto dev = std::make_unique<TDevice>(&image, [] {});
  dev->Firmware = [&] {
    ++runs;
    for (;;) {
      LcdShow();
      GetKey();
      ++keys;
    }
  };
  std::uint32_t now = 5000;
  dev->Buttons().Clock = [&] { return now; };
  dev->Buttons().Press(2);
  EXPECT_FALSE(dev->IsOn());
  now += 1100;
  dev->Buttons().OnRepeat();  // the first hold code
  EXPECT_TRUE(dev->IsOn());
  EXPECT_FALSE(dev->Buttons().RepeatTimer().isActive());
  EXPECT_EQ(dev->Buttons().Button(), 0);
  now += 500;
  dev->Buttons().Release();
  QElapsedTimer t;
  t.start();
  while (runs == 0 && t.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  QTest::qWait(50);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(keys, 0);
  dev.reset();
}
