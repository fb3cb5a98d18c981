#pragma once
// The device in a web page. The page has one thread: the firmware runs on it
// and, where the device thread would block, suspends (the browser build turns
// the wait into a promise that a post or a time-out resolves), so that the
// page's own events, the window side, run meanwhile. The rules of both sides
// are the shared ones; this host only brings the page's clock, timer, canvas,
// dialogs and storage, through IWebPage, and compiles natively too.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devicerules.h"
#include "host.h"
#include "keychannel.h"
#include "language.h"
#include "devicepanel.h"

// What the host needs of the page. Texts are UTF-8.
class IWebPage {
 public:
  virtual ~IWebPage() = default;
  // Milliseconds that never go back and go on while the page is hidden.
  virtual std::uint64_t Now() = 0;
  // The device side waits: until Wake() when wakeable, or ms (ms < 0: no
  // time-out). The page's events run meanwhile.
  virtual void Suspend(std::int32_t ms, bool wakeable) = 0;
  // Ends a wakeable Suspend; called by a page event while the device waits.
  virtual void Wake() = 0;
  // The page's one timer: TWebHost::TimersDue at `at` on Now's clock; none
  // cancels it.
  virtual void ArmTimer(std::optional<std::uint64_t> at) = 0;
  // The LCD as shown: 128 x 160 pixels, bytes R, G, B, A each.
  virtual void Present(const std::uint8_t* rgba) = 0;
  // Pressed pictures shown: bit i for button table index i.
  virtual void ShowPressed(unsigned mask) = 0;
  // The error box, shown at once; WaitErrorBox suspends until it is closed.
  virtual void ShowErrorBox(const std::string& title, const std::string& text) = 0;
  virtual void WaitErrorBox() = 0;
  virtual void SetLanguageList(const std::vector<std::string>& names, int selected) = 0;
  // Title (string 300, the page title), the list's label, Overview, About,
  // all in the language langId.
  virtual void SetWindowTexts(const std::string& title, const std::string& label, const std::string& overview,
                              const std::string& about, std::uint16_t langId) = 0;
  // The user's language as the browser names it ("ru-RU").
  virtual std::string UserLocale() = 0;
  virtual void LocalTime(TRtc& t) = 0;
  // The settings text: false when the storage cannot be used (a missing
  // entry is an empty text).
  virtual bool LoadSettings(std::string& text) = 0;
  virtual bool StoreSettings(const std::string& text) = 0;
  // Tells the user, in the page, that the settings cannot be kept.
  virtual void SettingsNotKept() = 0;
};

class TWebHost : public IDeviceHost {
 public:
  explicit TWebHost(IWebPage& page);
  ~TWebHost() override;
  TWebHost(const TWebHost&) = delete;
  TWebHost& operator=(const TWebHost&) = delete;

  // The window's creation: settings, the switched-off LCD, the language list.
  void Start();
  // The device thread's loop; in the browser it returns to the page at the
  // first wait and goes on there. Natively it ends after Stop().
  void Run();
  void Stop();

  // ---- the page's events: the window side ----
  // Primary button or finger down at (x, y) of the instrument picture;
  // true when on the LCD (the page copies its picture to the clipboard).
  bool PointerDown(int pointer, int x, int y);
  void PointerUp(int pointer);
  void CancelPointers();
  void ChangeLanguage(int index);
  // The page's timer fired, or the page became visible again: whatever fell
  // due meanwhile happens now, in order.
  void TimersDue();
  // Hidden or closed: the settings are written and a held button let go.
  void PageHidden();
  // A text of the window's language (the dialogs).
  std::string WindowText(unsigned id) const;
  // Test hook: shorter idle intervals from the next key on.
  void SetIdleTimes(TIdleTimes times) { rules_.SetTimes(times); }

  bool IsOn() const { return rules_.IsOn(); }
  std::uint16_t WindowLanguage() const { return windowLang_; }
  bool WaitingForKey() const { return waitingForKey_; }
  // The settings text as last read or written.
  const std::string& StoredSettings() const { return stored_; }

  // IDeviceHost (the device side)
  void FlushKey() override { keys_.FlushKey(); }
  std::uint16_t WaitForKey(std::int32_t timeoutMs) override;
  void SetKey(std::uint16_t code) override { keys_.SetKey(code); }
  void UpdateScreen() override;
  void Sleep(std::int32_t ms) override;
  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(page_.Now()); }
  void ReadRtc(TRtc& t) override { page_.LocalTime(t); }
  void WriteRtc(const TRtc&) override {}  // no clock chip: the page's clock goes on
  void Trace(const std::string& line) override;
  std::string LoadString(unsigned id) override;
  bool FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) override;
  void ErrorBox(const std::string& text) override;

  // Settings text kept beyond this size is no profile of ours: it is
  // replaced, not carried along.
  static constexpr std::size_t kMaxSettingsText = 64 * 1024;

 private:
  // After every page event: the pressed pictures, a device that a post woke,
  // and the one timer for the next due time.
  void AfterEvent();
  void SaveSettings();
  void NotKept();

  IWebPage& page_;
  TKeyChannel keys_;
  TDueTimers timers_{[this] { return page_.Now(); }};
  TButtonPad buttons_{timers_.repeat, [this] { return static_cast<std::uint32_t>(page_.Now()); }};
  TDeviceRules rules_{keys_, timers_.powerOff, timers_.backlight, buttons_};
  TPanelPointers pointers_{buttons_};
  IDeviceHost* previous_;
  std::vector<TLanguageItem> languages_;
  std::uint16_t windowLang_ = 1033;
  std::string stored_;
  bool notKeptTold_ = false;
  bool waitingForKey_ = false;
  bool stopped_ = false;
  unsigned shown_ = 0;
  std::optional<std::uint64_t> armed_;
  std::array<std::uint8_t, 128 * 160 * 4> rgba_{};
};

// Windows-1251 text as UTF-8.
std::string Cp1251ToUtf8(const std::string& text);
