// The device ends whatever the firmware is doing: it is closed, or its
// power-off timer fires, in every screen and in every kind of wait, a hundred
// times each, and the settings file is complete afterwards. A close that
// hangs ends the test process through a watchdog rather than hanging CI.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

#include "device.h"
#include "devicerules.h"
#include "flash.h"
#include "host.h"
#include "inifile.h"
#include "keys.h"
#include "persist.h"
#include "runscrn.h"
#include "state.h"
#include "tracelog.h"
#include "watchdog.h"

namespace {

constexpr int kRounds = 100;
// In a key list: wait until the firmware has taken its own auto step and
// waits again, so that the next key does not meet the auto step in the slot.
constexpr std::uint16_t kAfterStep = 0xFFFF;

// Stands between the firmware and the device: tells the test where the
// firmware waits, shortens its pauses, and holds the pause under test until
// the switch-off has been posted, so that the switch-off lands inside it.
class TStressHost : public IDeviceHost {
 public:
  explicit TStressHost(TDevice& d) : dev_(d) {}

  std::atomic<std::int32_t> gatedPauseMs{0};
  std::atomic<bool> switchedOff{false};  // the power-off timer has posted its switch-off

  std::atomic<long> entered{0};  // key waits entered
  std::atomic<bool> inWait{false};
  std::atomic<int> mode{-1};  // MenuMode at the last wait
  std::atomic<std::int32_t> timeout{0};
  std::atomic<std::int32_t> pauseMs{0};  // the pause under way, 0 when none
  std::atomic<long> taken{0};            // codes other than 0x0300 returned
  std::atomic<int> lastTaken{-1};
  std::atomic<long> takenAt{0};  // entered count when the last code was returned

  void FlushKey() override { dev_.FlushKey(); }
  std::uint16_t WaitForKey(std::int32_t t) override {
    mode = CProgramState.MenuMode;
    timeout = t;
    inWait = true;
    ++entered;
    const std::uint16_t r = dev_.WaitForKey(t);
    inWait = false;
    if (r != KEY_NONE) {
      lastTaken = r;
      takenAt = entered.load();
      ++taken;
    }
    return r;
  }
  void SetKey(std::uint16_t code) override { dev_.SetKey(code); }
  void UpdateScreen() override { dev_.UpdateScreen(); }
  void Sleep(std::int32_t ms) override {
    pauseMs = ms;
    if (ms == gatedPauseMs) {
      // Held until the switch-off is in the slot (the close asks the thread to
      // end just before it posts), then a little longer.
      for (int i = 0; i < 5000 && !QThread::currentThread()->isInterruptionRequested() && !switchedOff; ++i)
        QThread::msleep(1);
      QThread::msleep(3);
    } else {
      dev_.Sleep(std::max(1, ms / 500));
    }
    pauseMs = 0;
  }
  std::uint32_t TickCount() override { return dev_.TickCount(); }
  void ReadRtc(TRtc& t) override { dev_.ReadRtc(t); }
  void WriteRtc(const TRtc& t) override { dev_.WriteRtc(t); }
  void Trace(const std::string& line) override { dev_.Trace(line); }
  std::string LoadString(unsigned id) override { return dev_.LoadString(id); }
  bool FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) override {
    return dev_.FindRcData(name, data, size);
  }
  void ErrorBox(const std::string& text) override { dev_.ErrorBox(text); }

 private:
  TDevice& dev_;
};

// Where the firmware is to be when the device goes, and the keys that lead
// there from the main menu of a fresh switch-on.
struct TTarget {
  const char* name;
  std::vector<std::uint16_t> keys;
  int mode;                // MenuMode of the wait, -1 for a pause
  std::int32_t timeout;    // of the wait: -1 key wait, 100 timed wait
  std::int32_t pause = 0;  // the pause under way
};

const std::vector<TTarget>& Targets() {
  static const std::vector<TTarget> t = {
      {"MainMenu", {}, SCR_MAIN, -1},
      {"RoutePoint", {S(4)}, SCR_POINT, -1},
      {"Settings", {S(3), S(4)}, SCR_SETUP, -1},
      {"ClockSetup", {S(3), S(4), S(1), S(1), S(1), S(4)}, SCR_CLOCK, -1},
      {"DeviceInformation", {S(3), S(4), S(3), S(4)}, SCR_SETUP, -1},
      {"TachometerLoop", {S(1), S(1), S(1), S(4)}, SCR_TACHO, 100},
      {"WatchBandList", {S(1), S(1), S(4)}, SCR_BAND_WATCH, -1},
      {"WatchAnalysis", {S(1), S(1), S(4), S(4)}, SCR_ANALYSIS_WATCH, -1},
      {"MeasurementBandList", {S(4), S(3), S(4), S(4)}, SCR_BAND_MEASURE, -1},
      {"MeasurementTachoQuestion", {S(4), S(4), S(4), S(4)}, SCR_POINT, 100},
      {"MeasuringPause", {S(4), S(4), S(4), S(4), S(1)}, -1, 0, 1500},
      {"AutoStepPause", {S(4), S(4), S(4), S(4), S(1)}, -1, 0, 2000},
      {"YesNoQuestion", {S(3), S(4), S(1), S(1), S(1), S(1), S(4)}, SCR_SETUP, -1},
      {"MessageWaitingForAKey", {S(3), S(4), S(1), S(1), S(1), S(1), S(4), S(1)}, SCR_SETUP, -1},
      {"PointAnalysis",
       {S(4), S(4), S(4), S(4), S(1), kAfterStep, S(2), S(2), S(2), S(1), S(4), S(4), S(4), S(3), S(4)},
       SCR_ANALYSIS_POINT,
       -1},
  };
  return t;
}

std::string SettingsPath() {
  std::error_code ec;
  std::filesystem::path dir = "/dev/shm";
  if (!std::filesystem::is_directory(dir, ec) || ::access(dir.c_str(), W_OK) != 0)
    dir = std::filesystem::temp_directory_path();
  return (dir / ("orb720-stress-" + std::to_string(::getpid()) + ".INI")).string();
}

template <class P>
bool PumpBriefly(P pred, int ms) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents();
    // Short: the device thread is to have the other core.
    QThread::usleep(100);
  }
  return true;
}

struct TFigures {
  int rounds = 0;
  qint64 slowestMs = 0;
};
std::map<std::string, TFigures>& Figures() {
  static std::map<std::string, TFigures> f;
  return f;
}

class ShutdownStress : public ::testing::TestWithParam<std::tuple<int, bool>> {
 protected:
  void SetUp() override { ini_ = SettingsPath(); }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove(ini_, ec);
  }

  // A fresh program run: the firmware starts on the main menu at point 1.
  void Start() {
    NewProgramRun();
    InitDeviceInfo.LanguageName = "ENG (SI)";
    dev_ = std::make_unique<TDevice>(&image_, [] {});
    dev_->ShowErrorBox = [this](const QString&, const QString& text) { boxes_.push_back(text.toStdString()); };
    dev_->Firmware = [this] {
      try {
        RunScrn();
      } catch (const Exception&) {
        ++stops_;
        throw;
      }
    };
    dev_->OnSwitchedOff = [this] {
      SaveDeviceState(ini_);
      host_->switchedOff = true;
    };
    host_ = std::make_unique<TStressHost>(*dev_);
    SetDeviceHost(host_.get());
    dev_->SetLanguage(1033);
    stops_ = 0;
    dev_->PostKey(KEY_LONG + 2);
  }

  // Posts a key and waits until the firmware took it and waits again.
  bool Key(std::uint16_t code, bool last) {
    if (code == kAfterStep)
      return PumpBriefly(
          [&] { return host_->lastTaken == KEY_STEP && host_->inWait && host_->entered > host_->takenAt; }, 5000);
    const long before = host_->taken;
    dev_->PostKey(code);
    if (!PumpBriefly([&] { return host_->taken > before && host_->lastTaken == code; }, 5000)) return false;
    return last || PumpBriefly([&] { return host_->inWait && host_->entered > host_->takenAt; }, 5000);
  }

  bool Reached(const TTarget& t) {
    if (t.pause) return host_->pauseMs == t.pause;
    return host_->inWait && host_->mode == t.mode && host_->timeout == t.timeout;
  }

  // The file holds every key, and reads back what was saved.
  void ExpectSettingsComplete(const TInitDeviceInfo& saved, const std::string& where) {
    std::string text;
    ASSERT_TRUE(ReadWholeFile(ini_, text)) << where;
    const TIniText ini(text);
    std::string v;
    for (const char* key : {"MenuMode", "MenuItem", "CollectMode", "SelectedPoint", "AutoStepEn", "TypeParam-A",
                            "TypeParam-V", "TypeParam-S", "HighFrequency", "PhaseDisplay", "FreqDimension"})
      EXPECT_TRUE(ini.Find("DeviceState", key, v)) << where << ": no " << key;
    EXPECT_TRUE(ini.Find("Language", "Name", v)) << where << ": no language";
    ReadDeviceState(ini_);
    const TInitDeviceInfo& r = InitDeviceInfo;
    EXPECT_TRUE(r.MenuMode == saved.MenuMode && r.MenuItem == saved.MenuItem && r.CollectMode == saved.CollectMode &&
                r.SelectedPoint == saved.SelectedPoint && r.AutoStepEn == saved.AutoStepEn &&
                r.TypeParamA == saved.TypeParamA && r.TypeParamV == saved.TypeParamV &&
                r.TypeParamS == saved.TypeParamS && r.HighFrequency == saved.HighFrequency &&
                r.PhaseDisplay == saved.PhaseDisplay && r.FreqDimension == saved.FreqDimension &&
                r.LanguageName == saved.LanguageName)
        << where << ": the settings file does not give back what was saved";
  }

  bool Grey() { return (image_.pixel(64, 80) & 0xFFFFFF) == 0x4E4E4Eu; }

  QImage image_{128, 160, QImage::Format_RGB32};
  std::unique_ptr<TDevice> dev_;
  std::unique_ptr<TStressHost> host_;
  std::vector<std::string> boxes_;
  std::atomic<int> stops_{0};
  std::string ini_;
  TWatchdog watchdog_;
};

TEST_P(ShutdownStress, EndsInTimeWithTheSettingsComplete) {
  const TTarget& target = Targets()[static_cast<std::size_t>(std::get<0>(GetParam()))];
  const bool powerOff = std::get<1>(GetParam());
  const std::string label = std::string(powerOff ? "power-off in " : "close in ") + target.name;
  TFigures& fig = Figures()[label];
  for (int round = 0; round < kRounds; ++round) {
    const std::string where = label + ", round " + std::to_string(round);
    watchdog_.Arm(where + " (reaching it)", 30);
    Start();
    ASSERT_TRUE(PumpBriefly([&] { return host_->inWait && host_->mode == SCR_MAIN; }, 5000)) << where;
    host_->gatedPauseMs = target.pause;
    for (std::size_t k = 0; k < target.keys.size(); ++k)
      ASSERT_TRUE(Key(target.keys[k], k + 1 == target.keys.size())) << where << ": key " << k;
    ASSERT_TRUE(PumpBriefly([&] { return Reached(target); }, 5000))
        << where << ": the firmware waits in state " << host_->mode << " with time-out " << host_->timeout;
    // Vary the moment a little: a timed wait may be in any part of its 100 ms.
    if (target.timeout > 0) QThread::msleep(static_cast<unsigned long>(round % 4) * 7);

    QElapsedTimer t;
    t.start();
    if (powerOff) {
      watchdog_.Arm(where + " (stopping)", 10);
      dev_->PowerOffTimer().start(1);
      ASSERT_TRUE(PumpBriefly([&] { return stops_ == 1 && Grey(); }, 5000)) << where << ": the firmware did not stop";
      EXPECT_FALSE(dev_->IsOn()) << where;
      const qint64 took = t.elapsed();
      fig.slowestMs = std::max(fig.slowestMs, took);
      EXPECT_LT(took, 2000) << where;
      const TInitDeviceInfo saved = InitDeviceInfo;
      ExpectSettingsComplete(saved, where);
      dev_.reset();
    } else {
      // As the main window closes: save, then destroy the device.
      SaveDeviceState(ini_);
      const TInitDeviceInfo saved = InitDeviceInfo;
      watchdog_.Arm(where + " (closing)", 10);
      dev_.reset();
      const qint64 took = t.elapsed();
      fig.slowestMs = std::max(fig.slowestMs, took);
      EXPECT_LT(took, 2000) << where;
      EXPECT_EQ(stops_, 1) << where << ": the firmware did not unwind";
      EXPECT_TRUE(Grey()) << where << ": the blank LCD was not presented";
      ExpectSettingsComplete(saved, where);
    }
    watchdog_.Disarm();
    SetDeviceHost(nullptr);
    host_.reset();
    EXPECT_TRUE(boxes_.empty()) << where << ": " << (boxes_.empty() ? "" : boxes_.front());
    const auto lines = TraceLog().Lines();
    for (const std::string& l : lines) EXPECT_EQ(l.rfind("Error at close", 0), std::string::npos) << where << ": " << l;
    ++fig.rounds;
    if (HasFatalFailure() || HasFailure()) break;
  }
  std::cout << label << ": " << fig.rounds << " rounds, slowest " << fig.slowestMs << " ms\n";
}

INSTANTIATE_TEST_SUITE_P(EveryState, ShutdownStress,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(Targets().size())),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<int, bool>>& p) {
                           return std::string(std::get<1>(p.param) ? "PowerOff_" : "Close_") +
                                  Targets()[static_cast<std::size_t>(std::get<0>(p.param))].name;
                         });

}  // namespace
