#include "headless_host.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "font.h"
#include "lcd.h"
#include "rcdata.h"
#include "state.h"
#include "strtab.h"

TFrame CaptureLcd(bool backlight) {
  TFrame f;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) f.px[static_cast<std::size_t>(y * 128 + x)] = LcdGetPixel(x, y);
  f.backlight = backlight;
  return f;
}

THeadlessHost::THeadlessHost(std::uint32_t languageValue) : previous_(DeviceHost()), languageValue_(languageValue) {
  SetDeviceHost(this);
  Refresh();
}

THeadlessHost::~THeadlessHost() { SetDeviceHost(previous_); }

void THeadlessHost::Refresh() {
  SetThreadLanguage(static_cast<std::uint16_t>(languageValue_ & 0xFFFF));
  LcdLoadFonts();
  LangId = static_cast<std::uint16_t>(languageValue_ & 0xFFFF);
  UsUnits = static_cast<std::uint16_t>(languageValue_ >> 16);
}

void THeadlessHost::SetLanguage(std::uint32_t languageValue) {
  languageValue_ = languageValue;
  SetThreadLanguage(static_cast<std::uint16_t>(languageValue_ & 0xFFFF));
}

void THeadlessHost::Key(std::uint16_t code, std::uint32_t atMs) {
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
  if (slotSet_ && slot_ != KEY_OFF) slotSet_ = false, slot_ = KEY_NONE;
}

std::uint16_t THeadlessHost::WaitForKey(std::int32_t timeoutMs) {
  ++waits_;
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
  LangId = static_cast<std::uint16_t>(languageValue_ & 0xFFFF);
  UsUnits = static_cast<std::uint16_t>(languageValue_ >> 16);
  return code;
}

void THeadlessHost::SetKey(std::uint16_t code) {
  if (slotSet_ && slot_ == KEY_OFF) return;  // a pending switch-off is never replaced
  slot_ = code;
  slotSet_ = true;
}

void THeadlessHost::UpdateScreen() {
  TFrame f = CaptureLcd(GetBacklight() != 0);
  f.timeMs = now_;
  frames_.push_back(f);
  if (OnFrame) OnFrame(frames_.back());
}

void THeadlessHost::Sleep(std::int32_t ms) {
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
