#include "headless_host.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>

#include "font.h"
#include "language.h"
#include "lcd.h"
#include "rcdata.h"
#include "runscrn.h"
#include "state.h"
#include "strtab.h"

TFrame CaptureLcd(bool backlight) {
  TFrame f;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) f.px[static_cast<std::size_t>(y * 128 + x)] = LcdGetPixel(x, y);
  f.backlight = backlight;
  return f;
}

THeadlessHost::THeadlessHost(std::uint32_t languageValue) : previous_(DeviceHost()) {
  SetDeviceHost(this);
  keys_.SetLanguageValue(languageValue);
  buttons_.KeyHandler = [this](std::uint16_t code) { PostKey(code); };
  rules_.Trace = [this](const std::string& line) { Trace(line); };
  rules_.OnSwitchedOff = [this] {
    if (OnSwitchedOff) OnSwitchedOff();
  };
  Refresh();
}

THeadlessHost::~THeadlessHost() { SetDeviceHost(previous_); }

void THeadlessHost::Refresh() {
  keys_.RefreshLanguage();
  const std::uint32_t v = keys_.LanguageValue();
  LangId = LangIdOf(v);
  UsUnits = UsUnitsOf(v);
}

void THeadlessHost::SetLanguage(std::uint32_t languageValue) {
  keys_.SetLanguageValue(languageValue);
  SetThreadLanguage(LangIdOf(languageValue));
}

void THeadlessHost::Key(std::uint16_t code, std::uint32_t atMs) {
  if (window_)
    Schedule(atMs, {WindowEvent::Post, code, {}});
  else
    queue_.push_back({code, atMs});
  lastKeyAt_ = atMs > lastKeyAt_ ? atMs : lastKeyAt_;
}

void THeadlessHost::Keys(std::initializer_list<std::uint16_t> codes) {
  for (std::uint16_t c : codes) Key(c, lastKeyAt_);
}

void THeadlessHost::KeyAfter(std::uint32_t delayMs, std::uint16_t code) { Key(code, lastKeyAt_ + delayMs); }

const TFrame& THeadlessHost::LastFrame() const {
  static const TFrame empty{};
  return frames_.empty() ? empty : frames_.back();
}

void THeadlessHost::OverrideRcData(const std::string& name, std::vector<std::uint8_t> bytes) {
  overrides_[name] = std::move(bytes);
}

void THeadlessHost::FlushKey() {
  if (window_) return keys_.FlushKey();
  if (slotSet_ && slot_ != KEY_OFF) slotSet_ = false, slot_ = KEY_NONE;
}

std::uint16_t THeadlessHost::WaitForKey(std::int32_t timeoutMs) {
  ++waits_;
  if (window_) return WindowWait(timeoutMs);
  std::uint16_t code = KEY_NONE;
  bool woke = false;
  if (slotSet_) {
    code = slot_;
    slotSet_ = false;
    slot_ = KEY_NONE;
    woke = true;
  } else if (!queue_.empty() && (timeoutMs < 0 || queue_.front().at <= now_ + static_cast<std::uint32_t>(timeoutMs))) {
    if (queue_.front().at > now_) now_ = queue_.front().at;
    code = queue_.front().code;
    queue_.pop_front();
    woke = true;
  } else if (timeoutMs < 0 || now_ + static_cast<std::uint32_t>(timeoutMs) > StopAtMs) {
    // The script is over: switch the device off so the firmware unwinds.
    return KEY_OFF;
  } else {
    now_ += static_cast<std::uint32_t>(timeoutMs);
  }
  if (woke && code == KEY_NONE) Refresh();
  const std::uint32_t v = keys_.LanguageValue();
  LangId = LangIdOf(v);
  UsUnits = UsUnitsOf(v);
  return code;
}

void THeadlessHost::SetKey(std::uint16_t code) {
  if (window_) return keys_.SetKey(code);
  if (slotSet_ && slot_ == KEY_OFF) return;  // a pending switch-off is never replaced
  slot_ = code;
  slotSet_ = true;
}

void THeadlessHost::UpdateScreen() {
  TFrame f = CaptureLcd(GetBacklight() != 0);
  f.timeMs = now_;
  if (!KeepFrames) frames_.clear();
  frames_.push_back(f);
  if (OnFrame) OnFrame(frames_.back());
}

void THeadlessHost::Sleep(std::int32_t ms) {
  if (window_) return WindowSleep(ms);
  if (ms > 0) now_ += static_cast<std::uint32_t>(ms);
}

std::string THeadlessHost::LoadString(unsigned id) { return LoadStringTable(id); }

bool THeadlessHost::FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) {
  auto it = overrides_.find(name);
  if (it != overrides_.end()) {
    if (it->second.empty()) return false;
    *data = it->second.data();
    *size = it->second.size();
    return true;
  }
  return ::FindRcData(name, data, size);
}

// ---- the window side on the virtual clock ----

void THeadlessHost::EnterWindowMode() {
  if (window_) return;
  window_ = true;
  // Keys queued so far become posts at their times.
  for (const Pending& p : queue_) Schedule(p.at, {WindowEvent::Post, p.code, {}});
  queue_.clear();
  if (slotSet_) keys_.SetKey(slot_);
  slotSet_ = false;
}

void THeadlessHost::EnableIdleTimers(TIdleTimers timers) {
  EnterWindowMode();
  idle_ = true;
  rules_.SetTimes({static_cast<int>(timers.powerOffMs), static_cast<int>(timers.backlightMs)});
  timers_.powerOff.Stop();
  timers_.backlight.Stop();
}

void THeadlessHost::SetButtonTiming(TButtonTiming::Timing timing) {
  EnterWindowMode();
  buttons_.SetTimes(timing);
}

void THeadlessHost::Schedule(std::uint32_t atMs, WindowEvent e) {
  EnterWindowMode();
  events_.emplace(std::make_pair(atMs, seq_++), std::move(e));
}

void THeadlessHost::Press(std::int16_t n, std::uint32_t atMs) { Schedule(atMs, {WindowEvent::Press, static_cast<std::uint16_t>(n), {}}); }

void THeadlessHost::Release(std::uint32_t atMs) { Schedule(atMs, {WindowEvent::Release, 0, {}}); }

void THeadlessHost::At(std::uint32_t atMs, std::function<void()> fn) {
  Schedule(atMs, {WindowEvent::Call, 0, std::move(fn)});
}

std::optional<std::uint32_t> THeadlessHost::NextEventTime() const {
  std::optional<std::uint32_t> t;
  if (const auto due = timers_.NextDue()) t = static_cast<std::uint32_t>(*due);
  if (!events_.empty() && (!t || events_.begin()->first.first < *t)) t = events_.begin()->first.first;
  return t;
}

void THeadlessHost::RunNextEvent() {
  // At equal times the timers go first, then the scheduled events in the
  // order they were scheduled.
  if (timers_.FireOne(now_, rules_, buttons_)) return;
  if (events_.empty()) return;
  WindowEvent e = std::move(events_.begin()->second);
  events_.erase(events_.begin());
  switch (e.kind) {
    case WindowEvent::Post:
      PostKey(e.arg);
      break;
    case WindowEvent::Press:
      held_ |= 1u << (e.arg - 1);
      buttons_.Press(static_cast<std::int16_t>(e.arg));
      break;
    case WindowEvent::Release:
      held_ = 0;  // the mouse-up hides every pressed picture
      buttons_.Release();
      break;
    case WindowEvent::Call:
      if (e.fn) e.fn();
      break;
  }
}

void THeadlessHost::PostKey(std::uint16_t code) {
  EnterWindowMode();
  if (idle_)
    rules_.PostKey(code);
  else
    keys_.SetKey(code);
}

void THeadlessHost::SwitchOff() {
  EnterWindowMode();
  if (idle_) return rules_.OnOffTimer();
  PostKey(KEY_OFF);
  if (OnSwitchedOff) OnSwitchedOff();
}

void THeadlessHost::ChangeLanguage(std::uint32_t languageValue) {
  EnterWindowMode();
  TOneThreadLanguage firmwareKeepsItsOwn(keys_);
  SetThreadLanguage(LangIdOf(languageValue));  // the window's
  if (idle_) return rules_.SetLanguage(languageValue);
  keys_.SetLanguage(languageValue);
  keys_.SetKey(KEY_NONE);
}

std::uint16_t THeadlessHost::WindowWait(std::int32_t timeoutMs) {
  if (stopped_) return KEY_OFF;
  const bool forever = timeoutMs < 0;
  const std::uint64_t deadline = forever ? 0 : std::uint64_t{now_} + static_cast<std::uint64_t>(timeoutMs);
  while (!keys_.Signalled()) {
    const std::optional<std::uint32_t> next = NextEventTime();
    // The firmware's own time-out goes before an event due at the same time.
    if (next && (forever || *next < deadline)) {
      if (*next > now_) now_ = *next;
      RunNextEvent();
      if (stopped_) return KEY_OFF;
      continue;
    }
    if (forever || deadline > StopAtMs) {
      // Nothing is left that could ever wake it, or the script is over.
      stopped_ = true;
      return KEY_OFF;
    }
    now_ = static_cast<std::uint32_t>(deadline);
    return keys_.Take(false);
  }
  return keys_.Take(true);
}

void THeadlessHost::WindowSleep(std::int32_t ms) {
  if (ms <= 0) return;
  const std::uint64_t end = std::uint64_t{now_} + static_cast<std::uint64_t>(ms);
  // The firmware is busy meanwhile: posts wait in the slot, the window goes on.
  for (std::optional<std::uint32_t> next = NextEventTime(); !stopped_ && next && *next < end; next = NextEventTime()) {
    if (*next > now_) now_ = *next;
    RunNextEvent();
  }
  now_ = static_cast<std::uint32_t>(end);
}

void THeadlessHost::RunDevice(const std::function<void()>& firmware) {
  EnterWindowMode();
  RunDeviceLoop(*this, keys_, firmware, [this] { return stopped_; });
}

// ---- frames as text and pictures ----

namespace {
// Colour code and its character in the text form.
constexpr struct {
  std::uint8_t code;
  char ch;
} kCodeChars[] = {{0, 'K'},   {3, 'B'},   {28, 'G'},  {125, 'g'}, {224, 'R'},
                  {237, 'r'}, {252, 'Y'}, {253, 'y'}, {255, '.'}};

char CodeChar(std::uint8_t c) {
  for (const auto& e : kCodeChars)
    if (e.code == c) return e.ch;
  return '?';
}
}  // namespace

std::string FrameToText(const TFrame& f) {
  std::string s;
  s.reserve(129 * 160);
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 128; ++x) s.push_back(CodeChar(f.At(x, y)));
    s.push_back('\n');
  }
  return s;
}

bool TextToFrame(const std::string& text, TFrame& f) {
  if (text.size() != 129 * 160) return false;
  for (int y = 0; y < 160; ++y) {
    if (text[static_cast<std::size_t>(y * 129 + 128)] != '\n') return false;
    for (int x = 0; x < 128; ++x) {
      const char ch = text[static_cast<std::size_t>(y * 129 + x)];
      bool known = false;
      for (const auto& e : kCodeChars)
        if (e.ch == ch) f.px[static_cast<std::size_t>(y * 128 + x)] = e.code, known = true;
      if (!known) return false;
    }
  }
  return true;
}

TRgbImage FrameImage(const TFrame& f, int scale) {
  TRgbImage img(128 * scale, 160 * scale);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) img.At(x, y) = LcdColourRgb(f.At(x / scale, y / scale), f.backlight);
  return img;
}

bool SavePng(const TFrame& f, const std::string& path, int scale) { return WritePng(path, FrameImage(f, scale)); }

std::string CompareFrameText(const std::string& expected, const std::string& actual) {
  if (expected == actual) return {};
  std::ostringstream msg;
  int shown = 0, diffs = 0;
  for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
    if (actual[i] == expected[i]) continue;
    ++diffs;
    if (shown++ < 8)
      msg << " (" << i % 129 << "," << i / 129 << ") expected '" << expected[i] << "' got '" << actual[i] << "';";
  }
  return std::to_string(diffs) + " pixels differ:" + msg.str();
}

std::string CompareWithGoldenFile(const TFrame& f, const std::string& base, bool update) {
  const std::string actual = FrameToText(f);
  if (update) {
    std::ofstream(base + ".txt", std::ios::binary) << actual;
    SavePng(f, base + ".png", 2);
    return {};
  }
  std::ifstream in(base + ".txt", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string expected = ss.str();
  if (expected == actual) {
    std::remove((base + ".actual.txt").c_str());
    std::remove((base + ".actual.png").c_str());
    return {};
  }
  std::ofstream(base + ".actual.txt", std::ios::binary) << actual;
  SavePng(f, base + ".actual.png", 2);
  if (expected.empty()) return "no golden " + base + ".txt";
  return CompareFrameText(expected, actual) + " see " + base + ".actual.png";
}
