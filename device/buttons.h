#pragma once
// Press timing of the four push buttons: turns press and release into short,
// long, hold and chord codes.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

class TDeviceButtons : public QObject {
  Q_OBJECT
 public:
  struct Timing {
    int longMs = 300;          // short/long limit, also the chord window
    int firstRepeatMs = 1100;  // first hold code
    int repeatMs = 50;         // further hold codes
  };

  explicit TDeviceButtons(QObject* parent = nullptr);
  TDeviceButtons(Timing timing, QObject* parent = nullptr);

  void Press(std::int16_t n);
  void Release();
  void Reset();

  // Posts a code; bound by the device to PostKey.
  std::function<void(std::uint16_t)> KeyHandler;
  // Millisecond tick source; tests inject a virtual one.
  std::function<std::uint32_t()> Clock;

  std::int16_t Button() const { return button_; }
  QTimer& RepeatTimer() { return repeatTimer_; }
  int RepeatTag() const { return repeatTag_; }

 public slots:
  void OnRepeat();

 private:
  void Post(std::uint16_t code);
  std::uint32_t Now() const;

  Timing timing_;
  QTimer repeatTimer_;
  int repeatTag_ = 0;  // 1 once a hold code was sent for this press
  std::uint32_t pressTime_ = 0;
  std::int16_t button_ = 0;
};
