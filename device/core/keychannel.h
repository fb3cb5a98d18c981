#pragma once
// The device's single key slot, its manual-reset event and the one re-entrant
// lock that also guards the language value and the firmware's texts. Every
// host keeps its keys here; only the blocking wait is the threaded hosts'
// own: a host with another way to wait (a virtual clock, the browser's event
// loop) waits its way, then lets Take decide what the wait returns.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class TKeyChannel {
 public:
  using Lock = std::recursive_mutex;

  TKeyChannel();

  // Called inside the lock when a wait wakes on KEY_NONE (switch-on, dimming,
  // language change) or is the first since the language value changed.
  // RefreshLanguage unless a host wraps it.
  std::function<void()> OnRefresh;

  Lock& Mutex() { return lock_; }

  // The threaded wait (device thread). timeoutMs < 0 waits for ever. Blocks
  // on the event outside the lock, then returns Take(woken).
  std::uint16_t WaitForKey(std::int32_t timeoutMs);
  // What a wait returns once it woke on the event (woke) or timed out: the
  // posted code, else KEY_NONE. Refreshes LangId and UsUnits. The first wait
  // after a language change runs OnRefresh and returns KEY_NONE; a key posted
  // over the change's refresh is left for the wait after it.
  std::uint16_t Take(bool woke);
  // slot := code, signal (any thread). A pending KEY_OFF is never replaced;
  // a KEY_NONE posted after it is returned by the wait after the stop.
  void SetKey(std::uint16_t code);
  // A pending KEY_OFF survives; anything else becomes KEY_NONE.
  void FlushKey();

  std::uint32_t LanguageValue();
  void SetLanguageValue(std::uint32_t value);
  // The language list's change (window side): the new value, and the texts
  // rebuilt in the calling thread's language now when no firmware runs, else
  // by the firmware's own thread at its next refresh (it draws from them
  // without the lock).
  void SetLanguage(std::uint32_t value);
  void SetFirmwareRunning(bool running);
  bool FirmwareRunning();
  // The device side of a refresh: the thread's language, the texts if a
  // change left them to it, and the fonts. Inside the lock.
  void RefreshLanguage();

  std::uint16_t PeekSlot();
  // Whether a wait would return at once: something was posted since the last
  // wait took the slot (a flushed key leaves the event set).
  bool Signalled();

 private:
  Lock lock_;
  std::condition_variable_any event_;
  std::mutex eventMutex_;  // only pairs with the condition variable
  bool signalled_ = false;
  std::uint16_t slot_ = 0x0300;
  bool refreshAfterOff_ = false;
  std::uint32_t languageValue_ = 1033;
  std::uint32_t published_ = 1033;  // the value LangId and UsUnits were last given
  bool firmwareRunning_ = false;
  bool textsDirty_ = false;
};
