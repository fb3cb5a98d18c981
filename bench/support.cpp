#include "support.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "device.h"
#include "state.h"
#include "strtab.h"

double TSamples::Quantile(double q) const {
  if (ns_.empty()) return 0.0;
  std::vector<double> s = ns_;
  const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(s.size())));
  const std::size_t k = std::clamp<std::size_t>(rank, 1, s.size()) - 1;
  std::nth_element(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(k), s.end());
  return s[k];
}

TBenchDevice::TBenchDevice(std::function<void()> firmware) {
  const TDevice::Config program;
  Init(std::move(firmware), program.powerOffMs, program.backlightMs);
}

TBenchDevice::TBenchDevice(std::function<void()> firmware, int powerOffMs, int backlightMs) {
  Init(std::move(firmware), powerOffMs, backlightMs);
}

void TBenchDevice::Init(std::function<void()> firmware, int powerOffMs, int backlightMs) {
  SetBacklight(0);  // as at program start
  guard_.setSingleShot(true);
  TDevice::Config config;
  config.powerOffMs = powerOffMs;
  config.backlightMs = backlightMs;
  device_ = std::make_unique<TDevice>(
      &image_,
      [this] {
        // On the window thread, while the device thread waits for this copy.
        lastAt_ = TClock::now();
        ++frames_;
        last_.mode = CProgramState.MenuMode;
        last_.item = CProgramState.MenuItem;
      },
      config);
  if (firmware) device_->Firmware = std::move(firmware);
  device_->ShowErrorBox = [](const QString&, const QString&) {};
  // As the window does at start: the texts in the window's language.
  SetThreadLanguage(1033);
  device_->SetLanguage(1033);
}

TBenchDevice::~TBenchDevice() { device_.reset(); }

bool TBenchDevice::WaitFrames(int target, int timeoutMs) {
  guard_.start(timeoutMs);
  while (frames_ < target && guard_.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  guard_.stop();
  return frames_ >= target;
}

bool TBenchDevice::SwitchOn() {
  const int target = frames_ + 1;
  device_->PostKey(Long(2));
  return WaitFrames(target, 5000);
}

std::int64_t TBenchDevice::Key(std::uint16_t code, int timeoutMs) {
  const int target = frames_ + 1;
  guard_.start(timeoutMs);
  const TClock::time_point t0 = TClock::now();
  device_->PostKey(code);
  while (frames_ < target && guard_.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  guard_.stop();
  if (frames_ < target) return -1;
  return std::chrono::duration_cast<std::chrono::nanoseconds>(lastAt_ - t0).count();
}

bool TBenchDevice::KeyUntil(std::uint16_t code, const std::function<bool(const Snapshot&)>& pred, int timeoutMs) {
  const TClock::time_point end = TClock::now() + std::chrono::milliseconds(timeoutMs);
  device_->PostKey(code);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - TClock::now()).count();
    if (left <= 0 || !WaitFrames(frames_ + 1, static_cast<int>(left))) return false;
    if (pred(last_)) return true;
  }
}

bool TBenchDevice::NextFrame(int timeoutMs) { return WaitFrames(frames_ + 1, timeoutMs); }

bool TBenchDevice::Quiet(int ms) { return !WaitFrames(frames_ + 1, ms); }
