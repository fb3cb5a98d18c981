#include "keychannel.h"

#include <chrono>

#include "font.h"
#include "host.h"
#include "strtab.h"
#include "runscrn.h"

TKeyChannel::TKeyChannel() : OnRefresh([this] { RefreshLanguage(); }) {}

std::uint16_t TKeyChannel::WaitForKey(std::int32_t timeoutMs) {
  bool woke;
  {
    // The event is waited on outside the device lock.
    std::unique_lock<std::mutex> ev(eventMutex_);
    if (timeoutMs < 0) {
      event_.wait(ev, [this] { return signalled_; });
      woke = true;
    } else {
      woke = event_.wait_for(ev, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; });
    }
  }
  return Take(woke);
}

std::uint16_t TKeyChannel::Take(bool woke) {
  std::lock_guard<Lock> guard(lock_);
  // A language change reaches the firmware as a refresh even when a key was
  // posted over it: the texts are rebuilt at the same wait that hands out the
  // new LangId and UsUnits, and the screen redraws its whole page before the
  // key, kept in the slot for the next wait, acts on it.
  const bool newLanguage = languageValue_ != published_;
  const bool keyWaits = newLanguage && slot_ != KEY_OFF && slot_ != KEY_NONE;
  if (((woke && slot_ == KEY_NONE) || newLanguage) && OnRefresh) OnRefresh();
  published_ = languageValue_;
  LangId = static_cast<std::uint16_t>(languageValue_ & 0xFFFF);
  UsUnits = static_cast<std::uint16_t>(languageValue_ >> 16);
  if (keyWaits) return KEY_NONE;  // the event stays signalled for the key
  const std::uint16_t result = slot_;
  slot_ = KEY_NONE;
  // A switch-on that came after the switch-off is served by the next wait.
  const bool again = result == KEY_OFF && refreshAfterOff_;
  refreshAfterOff_ = false;
  {
    std::lock_guard<std::mutex> ev(eventMutex_);
    signalled_ = again;
  }
  return result;
}

void TKeyChannel::SetKey(std::uint16_t code) {
  std::lock_guard<Lock> guard(lock_);
  // A pending switch-off stays until a wait has taken it: a key or the
  // firmware's auto step posted meanwhile would leave the firmware waiting
  // for ever. Only a refresh (the switch-on after it) is kept for later.
  if (slot_ != KEY_OFF)
    slot_ = code;
  else if (code == KEY_NONE)
    refreshAfterOff_ = true;
  {
    std::lock_guard<std::mutex> ev(eventMutex_);
    signalled_ = true;
  }
  event_.notify_all();
}

void TKeyChannel::FlushKey() {
  std::lock_guard<Lock> guard(lock_);
  if (slot_ != KEY_OFF) slot_ = KEY_NONE;
}

std::uint32_t TKeyChannel::LanguageValue() {
  std::lock_guard<Lock> guard(lock_);
  return languageValue_;
}

void TKeyChannel::SetLanguageValue(std::uint32_t value) {
  std::lock_guard<Lock> guard(lock_);
  languageValue_ = value;
}

void TKeyChannel::SetLanguage(std::uint32_t value) {
  std::lock_guard<Lock> guard(lock_);
  languageValue_ = value;
  if (firmwareRunning_)
    textsDirty_ = true;
  else
    InitMenuTexts();
}

void TKeyChannel::SetFirmwareRunning(bool running) {
  std::lock_guard<Lock> guard(lock_);
  firmwareRunning_ = running;
}

bool TKeyChannel::FirmwareRunning() {
  std::lock_guard<Lock> guard(lock_);
  return firmwareRunning_;
}

void TKeyChannel::RefreshLanguage() {
  std::lock_guard<Lock> guard(lock_);
  SetThreadLanguage(static_cast<std::uint16_t>(languageValue_ & 0xFFFF));
  if (textsDirty_) {
    textsDirty_ = false;
    InitMenuTexts();
  }
  LcdLoadFonts();
}

std::uint16_t TKeyChannel::PeekSlot() {
  std::lock_guard<Lock> guard(lock_);
  return slot_;
}

bool TKeyChannel::Signalled() {
  std::lock_guard<std::mutex> ev(eventMutex_);
  return signalled_;
}
