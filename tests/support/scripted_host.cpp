#include "scripted_host.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "font.h"
#include "lcd.h"
#include "rcdata.h"
#include "state.h"
#include "strtab.h"

#ifndef ORB_SOURCE_DIR
#define ORB_SOURCE_DIR "."
#endif

TFrame CaptureLcd(bool backlight) {
  TFrame f;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 128; ++x) f.px[static_cast<std::size_t>(y * 128 + x)] = LcdGetPixel(x, y);
  f.backlight = backlight;
  return f;
}

TScriptedHost::TScriptedHost(std::uint32_t languageValue) : previous_(DeviceHost()), languageValue_(languageValue) {
  SetDeviceHost(this);
  Refresh();
}

TScriptedHost::~TScriptedHost() { SetDeviceHost(previous_); }

void TScriptedHost::Refresh() {
  SetThreadLanguage(static_cast<std::uint16_t>(languageValue_ & 0xFFFF));
  LcdLoadFonts();
  LangId = static_cast<std::uint16_t>(languageValue_ & 0xFFFF);
  UsUnits = static_cast<std::uint16_t>(languageValue_ >> 16);
}

void TScriptedHost::SetLanguage(std::uint32_t languageValue) {
  languageValue_ = languageValue;
  SetThreadLanguage(static_cast<std::uint16_t>(languageValue_ & 0xFFFF));
}

void TScriptedHost::Key(std::uint16_t code, std::uint32_t atMs) {
  queue_.push_back({code, atMs});
  lastKeyAt_ = atMs > lastKeyAt_ ? atMs : lastKeyAt_;
}

void TScriptedHost::Keys(std::initializer_list<std::uint16_t> codes) {
  for (std::uint16_t c : codes) Key(c, lastKeyAt_);
}

void TScriptedHost::KeyAfter(std::uint32_t delayMs, std::uint16_t code) { Key(code, lastKeyAt_ + delayMs); }

const TFrame& TScriptedHost::LastFrame() const {
  static const TFrame empty{};
  return frames_.empty() ? empty : frames_.back();
}

void TScriptedHost::OverrideRcData(const std::string& name, std::vector<std::uint8_t> bytes) {
  overrides_[name] = std::move(bytes);
}

void TScriptedHost::FlushKey() {
  if (slotSet_ && slot_ != KEY_OFF) slotSet_ = false, slot_ = KEY_NONE;
}

std::uint16_t TScriptedHost::WaitForKey(std::int32_t timeoutMs) {
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

void TScriptedHost::SetKey(std::uint16_t code) {
  if (slotSet_ && slot_ == KEY_OFF) return;  // a pending switch-off is never replaced
  slot_ = code;
  slotSet_ = true;
}

void TScriptedHost::UpdateScreen() {
  TFrame f = CaptureLcd(GetBacklight() != 0);
  f.timeMs = now_;
  frames_.push_back(f);
  if (OnFrame) OnFrame(frames_.back());
}

void TScriptedHost::Sleep(std::int32_t ms) {
  if (ms > 0) now_ += static_cast<std::uint32_t>(ms);
}

std::string TScriptedHost::LoadString(unsigned id) { return LoadStringTable(id); }

bool TScriptedHost::FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) {
  auto it = overrides_.find(name);
  if (it != overrides_.end()) {
    if (it->second.empty()) return false;
    *data = it->second.data();
    *size = it->second.size();
    return true;
  }
  return ::FindRcData(name, data, size);
}

// ---- golden frames ----

namespace {
char CodeChar(std::uint8_t c) {
  switch (c) {
    case 0: return 'K';
    case 3: return 'B';
    case 28: return 'G';
    case 125: return 'g';
    case 224: return 'R';
    case 237: return 'r';
    case 252: return 'Y';
    case 253: return 'y';
    case 255: return '.';
    default: return '?';
  }
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0xFFFFFFFFu) {
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

void Be32(std::string& s, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Be32(out, static_cast<std::uint32_t>(data.size()));
  std::string td = std::string(type, 4) + data;
  out += td;
  Be32(out, ~Crc32(reinterpret_cast<const std::uint8_t*>(td.data()), td.size()));
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

bool SavePng(const TFrame& f, const std::string& path, int scale) {
  const int w = 128 * scale, h = 160 * scale;
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t rgb = LcdColourRgb(f.At(x / scale, y / scale), f.backlight);
      raw.push_back(static_cast<char>(rgb >> 16));
      raw.push_back(static_cast<char>(rgb >> 8));
      raw.push_back(static_cast<char>(rgb));
    }
  }
  // zlib stream of stored blocks: no compressor needed.
  std::string z = "\x78\x01";
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
    const bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  Be32(z, (b << 16) | a);

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  Be32(ihdr, static_cast<std::uint32_t>(w));
  Be32(ihdr, static_cast<std::uint32_t>(h));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  std::ofstream out(path, std::ios::binary);
  out << png;
  return static_cast<bool>(out);
}

std::string CompareWithGolden(const TFrame& f, const std::string& name) {
  const std::string base = std::string(ORB_SOURCE_DIR) + "/tests/goldens/" + name;
  const std::string actual = FrameToText(f);
  const char* update = std::getenv("ORB_UPDATE_GOLDENS");
  if (update && *update && *update != '0') {
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
  if (expected.empty()) return "no golden " + base + ".txt (run with ORB_UPDATE_GOLDENS=1)";
  std::ostringstream msg;
  int shown = 0, diffs = 0;
  for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
    if (actual[i] == expected[i]) continue;
    ++diffs;
    if (shown++ < 8)
      msg << " (" << i % 129 << "," << i / 129 << ") expected '" << expected[i] << "' got '" << actual[i] << "';";
  }
  return name + ": " + std::to_string(diffs) + " pixels differ:" + msg.str() + " see " + base + ".actual.png";
}
