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

void TDeviceButtons::Post(std::uint16_t code) {
  if (KeyHandler) KeyHandler(code);
}

void TDeviceButtons::Press(std::int16_t n) {
  if (button_ != 0) {
    if (Now() - pressTime_ < static_cast<std::uint32_t>(timing_.longMs)) {
      button_ = 0;
      // A chord ends the press: no hold code of the first button may follow.
      repeatTimer_.stop();
      Post(0x4000);
    }
    return;
  }
  button_ = n;
  pressTime_ = Now();
  repeatTag_ = 0;
  repeatTimer_.setInterval(timing_.firstRepeatMs);
  repeatTimer_.start();
}

void TDeviceButtons::OnRepeat() {
  if (button_ == 0) {
    repeatTimer_.stop();
    return;
  }
  repeatTag_ = 1;
  repeatTimer_.setInterval(timing_.repeatMs);
  Post(static_cast<std::uint16_t>(0x3000 + button_));
}

void TDeviceButtons::Release() {
  repeatTimer_.stop();
  if (repeatTag_ == 0 && button_ != 0) {
    const bool isShort = Now() - pressTime_ < static_cast<std::uint32_t>(timing_.longMs);
    Post(static_cast<std::uint16_t>((isShort ? 0x1000 : 0x2000) + button_));
  }
  button_ = 0;
}

void TDeviceButtons::Reset() {
  repeatTimer_.stop();
  button_ = 0;
}
