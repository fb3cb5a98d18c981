#pragma once
// Press timing of the four push buttons without a timer of its own: each
// operation says what the repeat timer must do and which code to post. The
// window's buttons drive it with a Qt timer and the tick count, the headless
// host with its virtual clock, so both produce the same codes at the same times.
#include <cstdint>

struct TButtonStep {
  enum class Timer : std::uint8_t { Keep, Start, Stop };
  Timer timer = Timer::Keep;
  int intervalMs = 0;  // with Start: (re)start the repeat timer with this interval
  bool post = false;
  std::uint16_t code = 0;
};

struct TButtonTimes {
  int longMs = 300;          // short/long limit, also the chord window
  int firstRepeatMs = 1100;  // first hold code
  int repeatMs = 50;         // further hold codes
};

class TButtonTiming {
 public:
  using Timing = TButtonTimes;

  explicit TButtonTiming(Timing timing = {}) : timing_(timing) {}

  // A button goes down at now (millisecond ticks; differences wrap).
  TButtonStep Press(std::int16_t n, std::uint32_t now);
  // The repeat timer fired.
  TButtonStep Repeat();
  // The button (or the mouse) comes up at now.
  TButtonStep Release(std::uint32_t now);
  // Forget the held press: its release and further repeats post nothing.
  TButtonStep Reset();

  std::int16_t Button() const { return button_; }
  int RepeatTag() const { return repeatTag_; }
  const Timing& Times() const { return timing_; }

 private:
  Timing timing_;
  int repeatTag_ = 0;  // 1 once a hold code was sent for this press
  std::uint32_t pressTime_ = 0;
  std::int16_t button_ = 0;
};
