#include "devicerules.h"

#include <cstring>
#include <exception>

#include "flash.h"
#include "lcd.h"
#include "rotation.h"
#include "state.h"
#include "strtab.h"
#include "tracelog.h"

void TDueTimer::Start(int ms) {
  interval_ = ms;
  due_ = clock_() + static_cast<std::uint64_t>(ms > 0 ? ms : 0);
}

bool TDueTimer::Fire(std::uint64_t now) {
  if (!due_ || *due_ > now) return false;
  // Never twice for one instant, even for an interval of 0.
  due_ = *due_ + static_cast<std::uint64_t>(interval_ > 0 ? interval_ : 1);
  return true;
}

TButtonPad::TButtonPad(ITimer& repeat, std::function<std::uint32_t()> ticks, TButtonTimes times)
    : repeat_(repeat), ticks_(std::move(ticks)), timing_(times) {}

void TButtonPad::Apply(const TButtonStep& step) {
  if (step.timer == TButtonStep::Timer::Start)
    repeat_.Start(step.intervalMs);
  else if (step.timer == TButtonStep::Timer::Stop)
    repeat_.Stop();
  if (step.post && KeyHandler) KeyHandler(step.code);
}

void TButtonPad::Press(std::int16_t n) { Apply(timing_.Press(n, ticks_())); }
void TButtonPad::Release() { Apply(timing_.Release(ticks_())); }
void TButtonPad::Reset() { Apply(timing_.Reset()); }
void TButtonPad::OnRepeat() { Apply(timing_.Repeat()); }

void TButtonPad::SetTimes(TButtonTimes times) {
  repeat_.Stop();
  timing_ = TButtonTiming(times);
}

TDeviceRules::TDeviceRules(TKeyChannel& keys, ITimer& powerOff, ITimer& backlight, TButtonPad& buttons,
                           TIdleTimes times)
    : keys_(keys), powerOff_(powerOff), backlight_(backlight), buttons_(buttons), times_(times) {}

bool TDeviceRules::PostKey(std::uint16_t code) {
  bool switchOn = false;
  if (!IsOn()) {
    if (code != KEY_LONG + 2 && code != KEY_HOLD + 2) return false;
    buttons_.Reset();  // the holding press sends no further codes
    code = KEY_NONE;
    switchOn = true;
  }
  if (switchOn || code != KEY_NONE) {
    powerOff_.Stop();
    powerOff_.Start(times_.powerOffMs);
    backlight_.Stop();
    backlight_.Start(times_.backlightMs);
    SetBacklight(1);
  }
  keys_.SetKey(code);
  return true;
}

void TDeviceRules::OnOffTimer() {
  if (!IsOn()) return;
  if (Trace) {
    Trace("");
    Trace("OnOffTimer()");
  }
  PostKey(KEY_OFF);
  powerOff_.Stop();
  if (OnSwitchedOff) OnSwitchedOff();
}

void TDeviceRules::OnBacklightTimer() {
  if (Trace) {
    Trace("");
    Trace("OnBacklightTimer()");
  }
  backlight_.Stop();
  SetBacklight(0);
  PostKey(KEY_NONE);
}

void TDeviceRules::SetLanguage(std::uint32_t value) {
  keys_.SetLanguage(value);
  PostKey(KEY_NONE);
}

TOneThreadLanguage::TOneThreadLanguage(TKeyChannel& keys)
    : running_(keys.FirmwareRunning()), language_(ThreadLanguage()) {}

TOneThreadLanguage::~TOneThreadLanguage() {
  if (running_) SetThreadLanguage(language_);
}

std::optional<std::uint64_t> TDueTimers::NextDue() const {
  std::optional<std::uint64_t> t;
  for (const TDueTimer* timer : {&repeat, &backlight, &powerOff})
    if (timer->Due() && (!t || *timer->Due() < *t)) t = timer->Due();
  return t;
}

bool TDueTimers::FireOne(std::uint64_t now, TDeviceRules& rules, TButtonPad& buttons) {
  const std::optional<std::uint64_t> due = NextDue();
  if (!due || *due > now) return false;
  if (repeat.Due() == due && repeat.Fire(now))
    buttons.OnRepeat();
  else if (backlight.Due() == due && backlight.Fire(now))
    rules.OnBacklightTimer();
  else if (powerOff.Fire(now))
    rules.OnOffTimer();
  return true;
}

void RunDeviceLoop(IDeviceHost& host, TKeyChannel& keys, const std::function<void()>& firmware,
                   const std::function<bool()>& stop) {
  while (!stop()) {
    host.WaitForKey(kWaitForever);
    if (stop()) break;
    keys.SetFirmwareRunning(true);
    try {
      firmware();
    } catch (const Exception& e) {
      if (!e.Message.empty()) host.ErrorBox(e.Message);
    } catch (const std::exception& e) {
      // Not the firmware's error type, but the device must survive it too.
      host.ErrorBox(e.what());
    }
    keys.SetFirmwareRunning(false);
    LcdClear();
    host.UpdateScreen();
  }
}

void NewProgramRun() {
  FirstStart = 1;
  InitDeviceInfo = TInitDeviceInfo{};
  CProgramState = TProgramState{};
  RouteStore.clear();
  OffRouteStore.clear();
  std::memset(&CurPoint, 0, sizeof CurPoint);
  RotFreq = kDemoRotFreq;
  RotRpm = kDemoRotRpm;
  TachoPeriod = 0.0f;
  LcdClear();
  TraceLog().Clear();
}
