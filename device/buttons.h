#pragma once
// Press timing of the four push buttons: turns press and release into short,
// long, hold and chord codes. The timing itself is the shared TButtonPad
// (Qt-free, the same in every host); this part gives it the window's repeat
// timer and tick count.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "devicerules.h"
#include "qttimer.h"

class TDeviceButtons : public QObject {
  Q_OBJECT
 public:
  using Timing = TButtonTimes;

  explicit TDeviceButtons(QObject* parent = nullptr);
  TDeviceButtons(Timing timing, QObject* parent = nullptr);

  void Press(std::int16_t n) { pad_.Press(n); }
  void Release() { pad_.Release(); }
  void Reset() { pad_.Reset(); }

  // Posts a code; bound by the device to PostKey.
  std::function<void(std::uint16_t)> KeyHandler;
  // Millisecond tick source; tests inject a virtual one.
  std::function<std::uint32_t()> Clock;

  std::int16_t Button() const { return pad_.Button(); }
  QTimer& RepeatTimer() { return repeatTimer_; }
  int RepeatTag() const { return pad_.RepeatTag(); }
  TButtonPad& Pad() { return pad_; }

 public slots:
  void OnRepeat() { pad_.OnRepeat(); }

 private:
  std::uint32_t Now() const;

  QTimer repeatTimer_;
  TQtTimer repeatPort_{repeatTimer_};
  TButtonPad pad_;
};
