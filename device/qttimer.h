#pragma once
// A Qt timer of the window thread as the shared device rules see it.
#include <QTimer>

#include "devicerules.h"

class TQtTimer final : public ITimer {
 public:
  explicit TQtTimer(QTimer& timer) : timer_(timer) {}
  void Start(int ms) override { timer_.start(ms); }
  void Stop() override { timer_.stop(); }
  bool Active() const override { return timer_.isActive(); }

 private:
  QTimer& timer_;
};
