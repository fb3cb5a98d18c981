#include "webhost.h"

#include <exception>

#include "lcd.h"
#include "persist.h"
#include "rcdata.h"
#include "runscrn.h"
#include "state.h"
#include "strtab.h"
#include "tracelog.h"

namespace {
void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) AppendUtf8(out, c);  // the tables hold no surrogates
  return out;
}

class TPageLanguage : public ILanguageTarget {
 public:
  TPageLanguage(IWebPage& page, TDeviceRules& rules) : page_(page), rules_(rules) {}
  void SetDeviceLanguage(std::uint32_t value) override { rules_.SetLanguage(value); }
  void SetWindowTexts(const std::string& caption, const std::string& label, const std::string& overview,
                      const std::string& about, const std::string&) override {
    // No Exit: a page is closed by its browser.
    // Loaded in the window's language, which the change has just set.
    page_.SetWindowTexts(Cp1251ToUtf8(caption), Cp1251ToUtf8(label), Cp1251ToUtf8(overview),
                         Cp1251ToUtf8(about), ThreadLanguage());
  }

 private:
  IWebPage& page_;
  TDeviceRules& rules_;
};
}  // namespace

std::string Cp1251ToUtf8(const std::string& text) { return Utf16ToUtf8(Cp1251ToUtf16(text)); }

TWebHost::TWebHost(IWebPage& page) : page_(page), previous_(DeviceHost()) {
  SetDeviceHost(this);
  buttons_.KeyHandler = [this](std::uint16_t code) { rules_.PostKey(code); };
  rules_.Trace = [this](const std::string& line) { Trace(line); };
  rules_.OnSwitchedOff = [this] { SaveSettings(); };
}

TWebHost::~TWebHost() { SetDeviceHost(previous_); }

void TWebHost::Start() {
  TraceLog().Add("TForm()");
  std::string text;
  if (!page_.LoadSettings(text)) {
    text.clear();
    NotKept();
  }
  stored_ = text;
  ReadDeviceStateText(text);
  LcdClear();
  UpdateScreen();
  languages_ = LoadLanguageList();
  std::vector<std::string> names;
  for (const TLanguageItem& item : languages_) names.push_back(Cp1251ToUtf8(item.Name));
  std::string locale = page_.UserLocale();
  for (char& c : locale)
    if (c == '-') c = '_';  // a browser's tag as a locale name
  const int initial = ChooseInitialLanguage(languages_, InitDeviceInfo.LanguageName, LangIdFromLocaleName(locale.c_str()));
  page_.SetLanguageList(names, initial);
  ChangeLanguage(initial);
}

void TWebHost::Run() {
  RunDeviceLoop(*this, keys_, [] { RunScrn(); }, [this] { return stopped_; });
}

void TWebHost::Stop() {
  stopped_ = true;
  keys_.SetKey(KEY_OFF);
  AfterEvent();
}

// ---- the window side ----

void TWebHost::AfterEvent() {
  if (pointers_.Shown() != shown_) {
    shown_ = pointers_.Shown();
    page_.ShowPressed(shown_);
  }
  if (waitingForKey_ && keys_.Signalled()) page_.Wake();
  const std::optional<std::uint64_t> due = timers_.NextDue();
  if (due != armed_) {
    armed_ = due;
    page_.ArmTimer(due);
  }
}

bool TWebHost::PointerDown(int pointer, int x, int y) {
  const bool onLcd = pointers_.Down(pointer, x, y);
  AfterEvent();
  return onLcd;
}

void TWebHost::PointerUp(int pointer) {
  pointers_.Up(pointer);
  AfterEvent();
}

void TWebHost::CancelPointers() {
  pointers_.CancelAll();
  AfterEvent();
}

void TWebHost::ChangeLanguage(int index) {
  {
    TOneThreadLanguage firmwareKeepsItsOwn(keys_);
    TPageLanguage target(page_, rules_);
    if (ApplyLanguageChange(languages_, index, InitDeviceInfo, target))
      windowLang_ = LangIdOf(languages_[static_cast<std::size_t>(index)].LanguageValue);
  }
  AfterEvent();
}

void TWebHost::TimersDue() {
  armed_.reset();  // the page's timer has fired, or is to be set anew
  const std::uint64_t now = page_.Now();
  while (timers_.FireOne(now, rules_, buttons_)) {
  }
  AfterEvent();
}

void TWebHost::PageHidden() {
  pointers_.CancelAll();
  SaveSettings();
  AfterEvent();
}

std::string TWebHost::WindowText(unsigned id) const { return Utf16ToUtf8(LoadStringTableUtf16(windowLang_, id)); }

void TWebHost::SaveSettings() {
  CopyStateToInitDeviceInfo();
  const std::string previous = stored_.size() <= kMaxSettingsText ? stored_ : std::string();
  const std::string text = DeviceStateText(previous);
  if (page_.StoreSettings(text))
    stored_ = text;
  else
    NotKept();
}

void TWebHost::NotKept() {
  if (notKeptTold_) return;
  notKeptTold_ = true;
  page_.SettingsNotKept();
}

// ---- the device side ----

std::uint16_t TWebHost::WaitForKey(std::int32_t timeoutMs) {
  if (stopped_) return KEY_OFF;
  if (!keys_.Signalled()) {
    waitingForKey_ = true;
    page_.Suspend(timeoutMs, true);
    waitingForKey_ = false;
  }
  if (stopped_) return KEY_OFF;
  // As the event's timed wait: a post that came by the time-out counts.
  return keys_.Take(keys_.Signalled());
}

void TWebHost::Sleep(std::int32_t ms) {
  // Keys meanwhile wait in the slot, as on the device thread.
  if (ms > 0 && !stopped_) page_.Suspend(ms, false);
}

void TWebHost::UpdateScreen() {
  const std::uint32_t* column = LcdColourColumn(GetBacklight() != 0);
  std::uint8_t* out = rgba_.data();
  for (int y = 0; y < LCD_HEIGHT; ++y) {
    for (int x = 0; x < LCD_WIDTH; ++x) {
      const std::uint32_t c = column[LcdGetPixel(x, y)];
      *out++ = static_cast<std::uint8_t>(c >> 16);
      *out++ = static_cast<std::uint8_t>(c >> 8);
      *out++ = static_cast<std::uint8_t>(c);
      *out++ = 0xFF;
    }
  }
  page_.Present(rgba_.data());
}

void TWebHost::Trace(const std::string& line) { TraceLog().Add(line); }

std::string TWebHost::LoadString(unsigned id) { return LoadStringTable(id); }

bool TWebHost::FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) {
  return ::FindRcData(name, data, size);
}

void TWebHost::ErrorBox(const std::string& text) {
  page_.ShowErrorBox(WindowText(300), text);
  page_.WaitErrorBox();
}
