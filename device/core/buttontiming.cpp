#include "buttontiming.h"

namespace {
TButtonStep Post(TButtonStep s, std::uint16_t code) {
  s.post = true;
  s.code = code;
  return s;
}
TButtonStep Stop() { return {TButtonStep::Timer::Stop}; }
}  // namespace

TButtonStep TButtonTiming::Press(std::int16_t n, std::uint32_t now) {
  if (button_ != 0) {
    if (now - pressTime_ < static_cast<std::uint32_t>(timing_.longMs)) {
      button_ = 0;
      // A chord ends the press: no hold code of the first button may follow.
      return Post(Stop(), 0x4000);
    }
    return {};
  }
  button_ = n;
  pressTime_ = now;
  repeatTag_ = 0;
  return {TButtonStep::Timer::Start, timing_.firstRepeatMs};
}

TButtonStep TButtonTiming::Repeat() {
  if (button_ == 0) return Stop();
  repeatTag_ = 1;
  return Post({TButtonStep::Timer::Start, timing_.repeatMs}, static_cast<std::uint16_t>(0x3000 + button_));
}

TButtonStep TButtonTiming::Release(std::uint32_t now) {
  TButtonStep s = Stop();
  if (repeatTag_ == 0 && button_ != 0) {
    const bool isShort = now - pressTime_ < static_cast<std::uint32_t>(timing_.longMs);
    s = Post(s, static_cast<std::uint16_t>((isShort ? 0x1000 : 0x2000) + button_));
  }
  button_ = 0;
  return s;
}

TButtonStep TButtonTiming::Reset() {
  button_ = 0;
  return Stop();
}
