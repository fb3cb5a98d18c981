#pragma once
// What every host of the device does around the firmware, written once: the
// window's power and backlight rules for posted keys, the idle timers, the
// push buttons' press timing, the language change, the device thread's loop
// and the start of a new program run. A host brings its timers (ITimer), its
// way of waiting and of showing frames (IDeviceHost) and its clock.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "buttontiming.h"
#include "host.h"
#include "keychannel.h"

// One of the window's timers, as a host has it: a Qt timer, a deadline on a
// virtual clock, a browser time-out.
class ITimer {
 public:
  virtual ~ITimer() = default;
  // (Re)starts a full interval from now; a running timer fires every
  // interval until stopped.
  virtual void Start(int ms) = 0;
  virtual void Stop() = 0;
  virtual bool Active() const = 0;
};

// A timer on a host's own millisecond clock; the host fires it when due.
class TDueTimer final : public ITimer {
 public:
  explicit TDueTimer(std::function<std::uint64_t()> clock) : clock_(std::move(clock)) {}
  void Start(int ms) override;
  void Stop() override { due_.reset(); }
  bool Active() const override { return due_.has_value(); }
  std::optional<std::uint64_t> Due() const { return due_; }
  // Due at now: moves on by one interval, as a periodic timer does, and
  // returns true for the host to run the handler.
  bool Fire(std::uint64_t now);

 private:
  std::function<std::uint64_t()> clock_;
  std::optional<std::uint64_t> due_;
  int interval_ = 0;
};

// The four push buttons: TButtonTiming driven by the host's repeat timer and
// millisecond ticks; the codes go to KeyHandler.
class TButtonPad {
 public:
  TButtonPad(ITimer& repeat, std::function<std::uint32_t()> ticks, TButtonTimes times = {});
  std::function<void(std::uint16_t)> KeyHandler;

  void Press(std::int16_t n);
  void Release();
  void Reset();
  void OnRepeat();  // the repeat timer fired
  void SetTimes(TButtonTimes times);

  std::int16_t Button() const { return timing_.Button(); }
  int RepeatTag() const { return timing_.RepeatTag(); }
  const TButtonTimes& Times() const { return timing_.Times(); }

 private:
  // The timer first, then the code: a code that switches the device on
  // resets the buttons, and that must stop the timer for good.
  void Apply(const TButtonStep& step);

  ITimer& repeat_;
  std::function<std::uint32_t()> ticks_;
  TButtonTiming timing_;
};

struct TIdleTimes {
  int powerOffMs = 60000;
  int backlightMs = 40000;
};

// The window side of the device: every code from the buttons and the timers
// goes through PostKey. The device is on exactly while the power-off timer
// runs.
class TDeviceRules {
 public:
  TDeviceRules(TKeyChannel& keys, ITimer& powerOff, ITimer& backlight, TButtonPad& buttons, TIdleTimes times = {});

  // Off: only 0x2002 and 0x3002 are taken, and switch it on (as KEY_NONE,
  // the holding press reset). Any accepted code but KEY_NONE restarts both
  // idle timers and lights the screen. False when the code was dropped.
  bool PostKey(std::uint16_t code);
  // The power-off timer: switch-off, then OnSwitchedOff (the state is saved).
  void OnOffTimer();
  // The backlight timer: dimmed, and the firmware redraws.
  void OnBacklightTimer();
  // The language list's change: the device's value and texts, then a refresh.
  void SetLanguage(std::uint32_t value);
  bool IsOn() const { return powerOff_.Active(); }
  const TIdleTimes& Times() const { return times_; }
  void SetTimes(TIdleTimes times) { times_ = times; }

  std::function<void(const std::string&)> Trace;
  std::function<void()> OnSwitchedOff;

 private:
  TKeyChannel& keys_;
  ITimer& powerOff_;
  ITimer& backlight_;
  TButtonPad& buttons_;
  TIdleTimes times_;
};

// For a host whose window and firmware share one thread, over a language
// change: a running firmware keeps its thread language until its next wait
// takes the change over, as the device thread does.
class TOneThreadLanguage {
 public:
  explicit TOneThreadLanguage(TKeyChannel& keys);
  ~TOneThreadLanguage();
  TOneThreadLanguage(const TOneThreadLanguage&) = delete;
  TOneThreadLanguage& operator=(const TOneThreadLanguage&) = delete;

 private:
  bool running_;
  std::uint16_t language_;
};

// The three timers of a host that fires them itself.
struct TDueTimers {
  explicit TDueTimers(const std::function<std::uint64_t()>& clock) : powerOff(clock), backlight(clock), repeat(clock) {}
  TDueTimer powerOff, backlight, repeat;
  std::optional<std::uint64_t> NextDue() const;
  // Runs the handler of the timer due first at now (at equal times the
  // button repeat, the backlight, then the power-off); false when none is due.
  bool FireOne(std::uint64_t now, TDeviceRules& rules, TButtonPad& buttons);
};

// The device thread's loop: waits for a switch-on, runs the firmware until it
// leaves by an exception (any message but the stop's goes to the error box),
// blanks and presents the LCD, and waits again, until stop() says so after a
// wait. The firmware runs with the channel told so.
void RunDeviceLoop(IDeviceHost& host, TKeyChannel& keys, const std::function<void()>& firmware,
                   const std::function<bool()>& stop);

// The instrument as a new program run finds it: nothing switched on yet in
// this run, empty memory, the settings as from a missing settings file, the
// demonstration rotation speed, a blank LCD and an empty trace log.
void NewProgramRun();
