#pragma once
// The device's single key slot, its manual-reset event and the one re-entrant
// lock that also guards the language value. Qt-free so that it runs under TSan.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class TKeyChannel {
 public:
  using Lock = std::recursive_mutex;

  // Called inside the lock when a wait wakes on KEY_NONE (switch-on, dimming,
  // language change) or is the first since the language value changed:
  // re-applies the language, rebuilds the texts and reloads the fonts.
  std::function<void()> OnRefresh;

  Lock& Mutex() { return lock_; }

  // Raw wait (device thread). timeoutMs < 0 waits for ever. Returns the posted
  // code, KEY_NONE on a time-out. Refreshes LangId and UsUnits. The first wait
  // after a language change runs OnRefresh and returns KEY_NONE; a key posted
  // over the change's refresh is returned by the wait after it.
  std::uint16_t WaitForKey(std::int32_t timeoutMs);
  // slot := code, signal (any thread). A pending KEY_OFF is never replaced;
  // a KEY_NONE posted after it is returned by the wait after the stop.
  void SetKey(std::uint16_t code);
  // A pending KEY_OFF survives; anything else becomes KEY_NONE.
  void FlushKey();

  std::uint32_t LanguageValue();
  void SetLanguageValue(std::uint32_t value);
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
};
