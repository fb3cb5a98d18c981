#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "device.h"
#include "host.h"
#include "lcd.h"
#include "state.h"
#include "strtab.h"
#include "texts.h"
#include "tracelog.h"

namespace {

// Runs the window thread's event loop until pred holds or ms pass.
template <class P>
bool Pump(P pred, int ms = 3000) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

struct DeviceFixture : ::testing::Test {
  QImage image{128, 160, QImage::Format_RGB32};
  std::atomic<int> copies{0};
  std::unique_ptr<TDevice> dev;
  std::vector<QString> boxes;
  std::atomic<int> firmwareRuns{0};
  std::atomic<int> lastKey{-1};

  void Make(std::function<void()> firmware, TDevice::Config cfg = {}) {
    SetBacklight(0);  // as at program start, whatever an earlier test left
    dev = std::make_unique<TDevice>(&image, [this] { ++copies; }, cfg);
    dev->ShowErrorBox = [this](const QString&, const QString& text) { boxes.push_back(text); };
    dev->Firmware = [this, firmware] {
      ++firmwareRuns;
      SetBacklight(1);
      try {
        firmware();
      } catch (const Exception&) {
        SetBacklight(0);  // as the dispatcher does
        throw;
      }
    };
  }
  void SwitchOn() {
    const int runs = firmwareRuns;
    dev->PostKey(0x2002);
    ASSERT_TRUE(Pump([&] { return firmwareRuns > runs; }));
  }
  void TearDown() override { dev.reset(); }
};

// A screen that shows a frame and records every key it gets.
auto KeyLoop(DeviceFixture* f) {
  return [f] {
    for (;;) {
      LcdClear();
      LcdFill(0, 0, 127, 14, LCD_BLUE);
      LcdShow();
      f->lastKey = GetKey();
    }
  };
}
}  // namespace

TEST_F(DeviceFixture, StartsOffGreyAndIgnoresAllButPowerCodes) {
  Make(KeyLoop(this));
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0x4E4E4Eu);
  EXPECT_EQ(image.pixel(127, 159) & 0xFFFFFF, 0x4E4E4Eu);
  for (int c : {0x1002, 0x2001, 0x2003, 0x2004, 0x3001, 0x0300, 0x4000, 0x1001}) dev->PostKey(static_cast<std::uint16_t>(c));
  QTest::qWait(50);
  EXPECT_FALSE(dev->IsOn());
  EXPECT_EQ(firmwareRuns, 0);
  dev->PostKey(0x3002);
  ASSERT_TRUE(Pump([&] { return firmwareRuns == 1; }));
  EXPECT_TRUE(dev->IsOn());
  EXPECT_TRUE(dev->BacklightTimer().isActive());
  // The switch-on code itself does not reach the screen.
  ASSERT_TRUE(Pump([&] { return copies >= 2; }));
  QTest::qWait(20);
  EXPECT_EQ(lastKey, -1);
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(DeviceFixture, KeysRelightAndNoneDoesNot) {
  Make(KeyLoop(this));
  SwitchOn();
  SetBacklight(0);
  dev->PostKey(KEY_NONE);
  QTest::qWait(20);
  EXPECT_EQ(GetBacklight(), 0);
  dev->PostKey(0x1001);
  ASSERT_TRUE(Pump([&] { return lastKey == 0x1001; }));
  EXPECT_EQ(GetBacklight(), 1);
}

TEST_F(DeviceFixture, DimsThenSwitchesOffAndSaves) {
  TraceLog().Clear();
  TDevice::Config cfg;
  cfg.powerOffMs = 300;
  cfg.backlightMs = 150;
  Make(KeyLoop(this), cfg);
  int saves = 0;
  dev->OnSwitchedOff = [&] { ++saves; };
  SwitchOn();
  ASSERT_TRUE(Pump([&] { return GetBacklight() == 0 && dev->IsOn(); }, 2000));
  // The page is redrawn dimmed: blue shows as dark blue.
  ASSERT_TRUE(Pump([&] { return (image.pixel(0, 0) & 0xFFFFFF) == 0x00003Fu; }));
  ASSERT_TRUE(Pump([&] { return !dev->IsOn(); }, 2000));
  EXPECT_EQ(saves, 1);
  ASSERT_TRUE(Pump([&] { return (image.pixel(0, 0) & 0xFFFFFF) == 0x4E4E4Eu; }));
  const auto lines = TraceLog().Lines();
  auto find = [&](const std::string& s) { return std::find(lines.begin(), lines.end(), s) != lines.end(); };
  EXPECT_TRUE(find("OnBacklightTimer()"));
  EXPECT_TRUE(find("OnOffTimer()"));
  // Off: a short press does not start the firmware again; a long press of 2 does.
  dev->PostKey(0x1002);
  QTest::qWait(30);
  EXPECT_EQ(firmwareRuns, 1);
  SwitchOn();
  EXPECT_EQ(firmwareRuns, 2);
}

TEST_F(DeviceFixture, NonEmptyErrorIsShownAndDeviceStaysOn) {
  Make([] {
    LcdClear();
    LcdShow();
    GetKey();
    throw Exception("Flash failure 17");
  });
  SwitchOn();
  dev->PostKey(0x1001);
  ASSERT_TRUE(Pump([&] { return !boxes.empty(); }));
  EXPECT_EQ(boxes[0], "Flash failure 17");
  EXPECT_TRUE(dev->IsOn());
  // The next key starts the firmware again.
  dev->PostKey(0x1003);
  ASSERT_TRUE(Pump([&] { return firmwareRuns == 2; }));
}

TEST_F(DeviceFixture, TimedWaitTimesOutOrReturnsPendingAtOnce) {
  std::atomic<int> timedOut{-1}, elapsed{-1}, pendingMs{-1}, pendingCode{-1};
  Make([&] {
    LcdShow();
    auto t0 = std::chrono::steady_clock::now();
    timedOut = GetKeyTm(100);
    elapsed = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
    PutKey(0x0200);
    t0 = std::chrono::steady_clock::now();
    pendingCode = GetKeyTm(5000);
    pendingMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
    GetKey();
  });
  SwitchOn();
  ASSERT_TRUE(Pump([&] { return pendingMs >= 0; }));
  EXPECT_EQ(timedOut, KEY_NONE);
  EXPECT_GE(elapsed, 95);
  EXPECT_LT(elapsed, 1000);
  EXPECT_EQ(pendingCode, 0x0200);
  EXPECT_LT(pendingMs, 50);
}

TEST_F(DeviceFixture, LanguageChangeRedrawsWithoutRestartingTimers) {
  Make(KeyLoop(this));
  SwitchOn();
  QTest::qWait(30);
  const int remaining = dev->PowerOffTimer().remainingTime();
  QTest::qWait(30);
  lastKey = -1;
  dev->SetLanguage(1049);
  ASSERT_TRUE(Pump([&] { return lastKey == KEY_NONE; }));
  EXPECT_EQ(LangId, 1049);
  EXPECT_LT(dev->PowerOffTimer().remainingTime(), remaining);
}

// A language change meets a busy firmware, and a key (the user's, or the
// firmware's own auto step) is posted over its refresh before the next wait.
// The texts must change at the same wait as LangId and UsUnits, and the
// overwriting key must still arrive.
TEST_F(DeviceFixture, LanguageChangeOverwrittenByAKeyStillChangesTextsWithLangId) {
  struct Seen {
    std::uint16_t key, lang, us;
    std::string title;
  };
  std::mutex m;
  std::vector<Seen> seen;
  std::atomic<int> go{0};
  Make([&] {
    for (;;) {
      LcdShow();
      const std::uint16_t k = GetKey();
      {
        std::lock_guard<std::mutex> g(m);
        seen.push_back({k, LangId, UsUnits, FwText(TX_MEASUREMENT)});
      }
      if (k == 0x1001 || k == 0x1002) {
        const int want = k == 0x1001 ? 1 : 2;
        while (go < want) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (k == 0x1002) PutKey(KEY_STEP);  // as a measurement queues the auto step
      }
    }
  });
  dev->SetLanguage(1033);
  SwitchOn();
  auto count = [&] {
    std::lock_guard<std::mutex> g(m);
    return seen.size();
  };
  auto last = [&] {
    std::lock_guard<std::mutex> g(m);
    return seen.back();
  };
  // A user key over the refresh.
  dev->PostKey(0x1001);
  ASSERT_TRUE(Pump([&] { return count() == 1; }));
  dev->SetLanguage(1049);
  dev->PostKey(0x1003);
  go = 1;
  ASSERT_TRUE(Pump([&] { return count() > 1 && last().key == 0x1003; }));
  // The auto step over the refresh, to English with US units.
  dev->PostKey(0x1002);
  ASSERT_TRUE(Pump([&] { return last().key == 0x1002; }));
  dev->SetLanguage(1033 + 65536);
  go = 2;
  ASSERT_TRUE(Pump([&] { return last().key == KEY_STEP; }));
  std::lock_guard<std::mutex> g(m);
  for (const Seen& s : seen) {
    EXPECT_EQ(s.title, LoadStringTable(s.lang, 2409)) << "key " << s.key << " lang " << s.lang;
  }
  const Seen& step = seen.back();
  EXPECT_EQ(step.lang, 1033);
  EXPECT_EQ(step.us, 1);
}

TEST_F(DeviceFixture, CopyConvertsEveryPixelThroughTheBacklightColumn) {
  Make(KeyLoop(this));
  LcdClear();
  LcdPixel(0, 0, LCD_RED, 0);
  LcdPixel(127, 159, LCD_LIGHT_GREEN, 0);
  LcdPixel(1, 0, LCD_BLUE, 0);
  SetBacklight(1);
  dev->CopyScreen();
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(image.pixel(1, 0) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(image.pixel(127, 159) & 0xFFFFFF, 0x10F810u);
  EXPECT_EQ(image.pixel(64, 80) & 0xFFFFFF, 0xF0F0FFu);
  SetBacklight(0);
  dev->CopyScreen();
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0x3F0000u);
  EXPECT_EQ(image.pixel(127, 159) & 0xFFFFFF, 0x003F00u);
  EXPECT_EQ(image.pixel(64, 80) & 0xFFFFFF, 0x4E4E4Eu);
}

// Closing must never hang, whatever the firmware is doing at that moment.
TEST_F(DeviceFixture, DestructorNeverHangs) {
  const int rounds = 300;
  for (int i = 0; i < rounds; ++i) {
    const int mode = i % 4;
    Make([mode] {
      for (;;) {
        if (mode == 0) {  // waits for a key
          LcdShow();
          GetKey();
        } else if (mode == 1) {  // presents frames back to back
          LcdShow();
          GetKeyTm(0);
        } else if (mode == 2) {  // busy, then waits with a time-out
          volatile unsigned x = 0;
          for (unsigned k = 0; k < 200000; ++k) x = x + k;
          GetKeyTm(1);
        } else {  // in a pause longer than a close may take, as "Measuring..." is
          LcdShow();
          Pause(5000);
          GetKey();
        }
      }
    });
    SwitchOn();
    if (i % 2) QTest::qWait(i % 7);
    QElapsedTimer t;
    t.start();
    dev.reset();
    EXPECT_LT(t.elapsed(), 2000) << "round " << i;
    // The unwinding firmware's last frame, the blank LCD, reached the image.
    EXPECT_EQ(image.pixel(10, 10) & 0xFFFFFF, 0x4E4E4Eu) << "round " << i;
  }
}

// The firmware is busy (a measurement pause) when the switch-off arrives and
// then queues its auto step: the next wait must still raise the stop.
TEST_F(DeviceFixture, SwitchOffDuringAPauseSurvivesTheAutoStep) {
  // By the power-off timer: the device ends switched off and grey.
  {
    TDevice::Config cfg;
    cfg.powerOffMs = 200;
    std::atomic<bool> switchedOff{false};
    std::atomic<int> afterStep{-1};
    Make([&] {
      LcdFill(0, 0, 127, 14, LCD_BLUE);
      LcdShow();
      while (!switchedOff) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      PutKey(KEY_STEP);
      for (;;) afterStep = GetKeyTm(50);  // records what the stop should have pre-empted
    }, cfg);
    dev->OnSwitchedOff = [&] { switchedOff = true; };
    SwitchOn();
    ASSERT_TRUE(Pump([&] { return switchedOff.load(); }, 3000));
    EXPECT_TRUE(Pump([&] { return (image.pixel(64, 80) & 0xFFFFFF) == 0x4E4E4Eu; }, 1000));
    EXPECT_EQ(afterStep, -1) << "the auto step replaced the switch-off";
    EXPECT_FALSE(dev->IsOn());
    dev.reset();
  }
  // By closing: the destructor's switch-off meets the same pause.
  std::atomic<int> firstWait{-1};
  Make([&] {
    LcdShow();
    while (!QThread::currentThread()->isInterruptionRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the switch-off lands first
    PutKey(KEY_STEP);
    firstWait = -2;
    firstWait = GetKeyTm(50);
    for (int i = 0; i < 20; ++i) GetKeyTm(50);  // bounded: a broken stop fails, it does not hang
  });
  SwitchOn();
  QElapsedTimer t;
  t.start();
  dev.reset();
  EXPECT_EQ(firstWait, -2) << "the first wait returned instead of raising the stop";
  EXPECT_LT(t.elapsed(), 500);
}

TEST_F(DeviceFixture, ErrorBoxAtCloseIsAnsweredWithoutAModalLoop) {
  std::atomic<bool> inFirmware{false};
  Make([&] {
    inFirmware = true;
    try {
      GetKey();
    } catch (const Exception&) {
      throw Exception("late error");  // an error raised while the device stops
    }
  });
  SwitchOn();
  ASSERT_TRUE(Pump([&] { return inFirmware.load(); }));
  QElapsedTimer t;
  t.start();
  TraceLog().Clear();
  dev.reset();
  EXPECT_LT(t.elapsed(), 2000);
  EXPECT_TRUE(boxes.empty());
  const auto lines = TraceLog().Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Error at close: late error"), lines.end());
}

int main(int argc, char** argv) {
  // Never the user's display: also when ctest lists the tests.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
