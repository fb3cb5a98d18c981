#pragma once
// Press timing of the four push buttons: turns press and release into short,
// long, hold and chord codes. The timing itself is TButtonTiming (Qt-free,
// shared with the headless host); this part gives it the window's repeat timer
// and tick count.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "buttontiming.h"

class TDeviceButtons : public QObject {
  Q_OBJECT
 public:
  using Timing = TButtonTiming::Timing;

  explicit TDeviceButtons(QObject* parent = nullptr);
  TDeviceButtons(Timing timing, QObject* parent = nullptr);

  void Press(std::int16_t n);
  void Release();
  void Reset();

  // Posts a code; bound by the device to PostKey.
  std::function<void(std::uint16_t)> KeyHandler;
  // Millisecond tick source; tests inject a virtual one.
  std::function<std::uint32_t()> Clock;

  std::int16_t Button() const { return timing_.Button(); }
  QTimer& RepeatTimer() { return repeatTimer_; }
  int RepeatTag() const { return timing_.RepeatTag(); }

 public slots:
  void OnRepeat();

 private:
  // The timer first, then the code: a code that switches the device on
  // resets the buttons, and that must stop the timer for good.
  void Apply(const TButtonStep& step);
  std::uint32_t Now() const;

  TButtonTiming timing_;
  QTimer repeatTimer_;
};
