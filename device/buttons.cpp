#include "buttons.h"

#include <chrono>

TDeviceButtons::TDeviceButtons(QObject* parent) : TDeviceButtons(Timing{}, parent) {}

TDeviceButtons::TDeviceButtons(Timing timing, QObject* parent) : QObject(parent), timing_(timing) {
  // A coarse timer may fire 5 % late, which would stretch the hold rate.
  repeatTimer_.setTimerType(Qt::PreciseTimer);
  connect(&repeatTimer_, &QTimer::timeout, this, &TDeviceButtons::OnRepeat);
  Reset();
}

std::uint32_t TDeviceButtons::Now() const {
  if (Clock) return Clock();
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TDeviceButtons::Apply(const TButtonStep& step) {
  if (step.timer == TButtonStep::Timer::Start)
    repeatTimer_.start(step.intervalMs);
  else if (step.timer == TButtonStep::Timer::Stop)
    repeatTimer_.stop();
  if (step.post && KeyHandler) KeyHandler(step.code);
}

void TDeviceButtons::Press(std::int16_t n) { Apply(timing_.Press(n, Now())); }

void TDeviceButtons::OnRepeat() { Apply(timing_.Repeat()); }

void TDeviceButtons::Release() { Apply(timing_.Release(Now())); }

void TDeviceButtons::Reset() { Apply(timing_.Reset()); }
