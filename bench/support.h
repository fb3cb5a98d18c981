#pragma once
// What the benchmarks share: a sample of durations with its quantiles and
// the real device driven from the window thread.
#include <QImage>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "procstat.h"

class TDevice;

using TClock = std::chrono::steady_clock;

// Durations in nanoseconds; quantiles by nearest rank.
class TSamples {
 public:
  void Reserve(std::size_t n) { ns_.reserve(n); }
  void Add(double ns) { ns_.push_back(ns); }
  std::size_t Size() const { return ns_.size(); }
  double Quantile(double q) const;
  double Median() const { return Quantile(0.5); }

 private:
  std::vector<double> ns_;
};

// The real TDevice with an LCD image of its own, worked from the calling
// (window) thread. Every wait runs the window's event loop blocked, as the
// program's own loop is, so a key's time includes both thread hand-overs.
class TBenchDevice {
 public:
  // The screen state the firmware had when a frame was presented (read on
  // the window thread while the device thread waits for the copy).
  struct Snapshot {
    std::uint16_t mode = 0;
    std::int16_t item = 0;
  };

  // firmware: a stand-in for RunScrn; empty for the real firmware. Idle
  // intervals other than the program's own only where a case says so.
  explicit TBenchDevice(std::function<void()> firmware = {});
  TBenchDevice(std::function<void()> firmware, int powerOffMs, int backlightMs);
  ~TBenchDevice();
  TBenchDevice(const TBenchDevice&) = delete;
  TBenchDevice& operator=(const TBenchDevice&) = delete;

  TDevice& Device() { return *device_; }
  const QImage& Image() const { return image_; }
  int Frames() const { return frames_; }
  Snapshot Last() const { return last_; }
  TClock::time_point LastFrameAt() const { return lastAt_; }

  // Long press of button 2; true once the firmware's first frame is shown.
  bool SwitchOn();
  // Posts code and waits for the next frame; nanoseconds from the post to
  // the end of that frame's copy, or -1 after timeoutMs without one.
  std::int64_t Key(std::uint16_t code, int timeoutMs = 2000);
  // Posts code and waits for a frame whose snapshot satisfies pred.
  bool KeyUntil(std::uint16_t code, const std::function<bool(const Snapshot&)>& pred, int timeoutMs = 5000);
  // Waits for the next frame without posting anything.
  bool NextFrame(int timeoutMs = 2000);
  // True when no frame is presented within ms.
  bool Quiet(int ms);

 private:
  bool WaitFrames(int target, int timeoutMs);
  void Init(std::function<void()> firmware, int powerOffMs, int backlightMs);

  QImage image_{128, 160, QImage::Format_RGB32};
  std::unique_ptr<TDevice> device_;
  QTimer guard_;
  int frames_ = 0;
  Snapshot last_;
  TClock::time_point lastAt_{};
};

// Short press, long press and hold codes of button n.
constexpr std::uint16_t Short(int n) { return static_cast<std::uint16_t>(0x1000 + n); }
constexpr std::uint16_t Long(int n) { return static_cast<std::uint16_t>(0x2000 + n); }
