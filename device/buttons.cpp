#include "buttons.h"

#include <chrono>

TDeviceButtons::TDeviceButtons(QObject* parent) : TDeviceButtons(Timing{}, parent) {}

TDeviceButtons::TDeviceButtons(Timing timing, QObject* parent)
    : QObject(parent), pad_(repeatPort_, [this] { return Now(); }, timing) {
  // A coarse timer may fire 5 % late, which would stretch the hold rate.
  repeatTimer_.setTimerType(Qt::PreciseTimer);
  connect(&repeatTimer_, &QTimer::timeout, this, &TDeviceButtons::OnRepeat);
  pad_.KeyHandler = [this](std::uint16_t code) {
    if (KeyHandler) KeyHandler(code);
  };
  Reset();
}

std::uint32_t TDeviceButtons::Now() const {
  if (Clock) return Clock();
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
