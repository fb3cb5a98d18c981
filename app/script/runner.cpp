#include "runner.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "flash.h"
#include "gif.h"
#include "lcd.h"
#include "persist.h"
#include "picture.h"
#include "runscrn.h"
#include "rotation.h"
#include "state.h"

namespace {

// The host clock runs on from the scenario's date with the virtual clock.
class TScriptHost : public THeadlessHost {
 public:
  using THeadlessHost::THeadlessHost;
  void ReadRtc(TRtc& t) override {
    using namespace std::chrono;
    const sys_days day = year{clock_.year} / month{clock_.month} / std::chrono::day{clock_.day};
    const sys_seconds at = sys_seconds{day} + hours{clock_.hour} + minutes{clock_.minute} +
                           seconds{clock_.second} + seconds{(Now() - clockAt_) / 1000};
    const sys_days today = floor<days>(at);
    const year_month_day ymd{today};
    const hh_mm_ss<seconds> hms{at - today};
    t.year = static_cast<std::uint16_t>(static_cast<int>(ymd.year()));
    t.month = static_cast<std::uint16_t>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<std::uint16_t>(static_cast<unsigned>(ymd.day()));
    t.hour = static_cast<std::uint16_t>(hms.hours().count());
    t.minute = static_cast<std::uint16_t>(hms.minutes().count());
    t.second = static_cast<std::uint16_t>(hms.seconds().count());
  }
  // The device writes no clock chip: setting the clock changes nothing.
  void WriteRtc(const TRtc&) override {}
  void SetClock(const TRtc& t) {
    clock_ = t;
    clockAt_ = Now();
  }

 private:
  TRtc clock_ = kScriptClock;
  std::uint32_t clockAt_ = 0;
};

struct TRecording {
  std::string file;
  int zoom = 1;
  std::vector<TTimedFrame> frames;
};

class TRun {
 public:
  TRun(const TScenario& s, const TRunSettings& settings)
      : s_(s), settings_(settings), host_(LanguageValueOf(settings.lang)) {}
  TRunResult Go();

 private:
  void Schedule();
  void Shot(const TCommand& c);
  void Expect(const TCommand& c);
  void Problem(const TCommand& c, const std::string& what) {
    result_.problems.push_back(s_.path + ":" + std::to_string(c.line) + ": " + what);
  }
  std::string File(const std::string& name, const char* ext) const { return name + settings_.suffix + ext; }

  const TScenario& s_;
  const TRunSettings& settings_;
  TScriptHost host_;
  TFrame shown_;  // what the window shows now
  std::optional<TRecording> rec_;
  TRunResult result_;
};

TRunResult TRun::Go() {
  host_.StopAtMs = UINT32_MAX;
  host_.KeepFrames = false;
  host_.EnableIdleTimers();
  host_.OnSwitchedOff = [] { CopyStateToInitDeviceInfo(); };
  host_.OnFrame = [this](const TFrame& f) {
    shown_ = f;
    ++result_.frames;
    if (rec_) rec_->frames.push_back({f.timeMs, f});
  };
  // The window starts with the blank LCD and applies the chosen language.
  LcdClear();
  host_.UpdateScreen();
  host_.ChangeLanguage(LanguageValueOf(settings_.lang));
  Schedule();
  host_.RunDevice([] { RunScrn(); });
  result_.virtualMs = host_.Now();
  for (const std::string& box : host_.ErrorBoxes()) result_.problems.push_back(s_.path + ": firmware error: " + box);
  return std::move(result_);
}

void TRun::Schedule() {
  std::uint32_t t = 0;
  for (const TCommand& c : s_.commands) {
    switch (c.op) {
      case TOp::Lang: {
        const std::uint32_t value = LanguageValueOf(c.name);
        host_.At(t, [this, value] { host_.ChangeLanguage(value); });
        break;
      }
      case TOp::On:
        host_.Press(2, t);
        host_.Release(t + kLongPressMs);
        t += kLongPressMs + c.gap;
        break;
      case TOp::Off:
        host_.At(t, [this] { host_.SwitchOff(); });
        break;
      case TOp::Press:
        for (int i = 0; i < c.count; ++i) {
          host_.Press(static_cast<std::int16_t>(c.button), t);
          host_.Release(t + kShortPressMs);
          t += kShortPressMs + c.gap;
        }
        break;
      case TOp::Long:
        host_.Press(static_cast<std::int16_t>(c.button), t);
        host_.Release(t + kLongPressMs);
        t += kLongPressMs + c.gap;
        break;
      case TOp::Hold:
        host_.Press(static_cast<std::int16_t>(c.button), t);
        host_.Release(t + c.ms);
        t += c.ms + c.gap;
        break;
      case TOp::Down:
        host_.Press(static_cast<std::int16_t>(c.button), t);
        break;
      case TOp::Up:
        host_.Release(t);
        t += c.gap;
        break;
      case TOp::Chord:
        host_.Press(static_cast<std::int16_t>(c.button), t);
        host_.Press(static_cast<std::int16_t>(c.button2), t + kChordGapMs);
        host_.Release(t + kShortPressMs);
        t += kShortPressMs + c.gap;
        break;
      case TOp::Wait:
        t += c.ms;
        break;
      case TOp::Shot:
        host_.At(t, [this, &c] { Shot(c); });
        break;
      case TOp::Record:
        host_.At(t, [this, &c] {
          rec_ = TRecording{File(c.name, ".gif"), c.zoom, {{host_.Now(), shown_}}};
        });
        break;
      case TOp::Stop:
        host_.At(t, [this, &c] {
          if (!rec_) return;
          TOutput out{rec_->file, true, {}, {}};
          std::string why;
          if (EncodeGif(rec_->frames, host_.Now(), rec_->zoom, out.gif, &why))
            result_.outputs.push_back(std::move(out));
          else
            Problem(c, rec_->file + ": " + why);
          rec_.reset();
        });
        break;
      case TOp::Expect:
        host_.At(t, [this, &c] { Expect(c); });
        break;
      case TOp::Clock:
        host_.At(t, [this, &c] { host_.SetClock(c.clock); });
        break;
      case TOp::Tacho:
        host_.At(t, [&c] {
          RotFreq = c.hz;
          RotRpm = c.hz < 0 ? -1.0f : c.hz * 60.0f;
        });
        break;
      case TOp::Gap:
      case TOp::Zoom:
      case TOp::View:
        break;
    }
  }
  host_.At(t, [this] { host_.Stop(); });
}

void TRun::Shot(const TCommand& c) {
  TOutput out{File(c.name, ".png"), false, {}, {}};
  if (c.device) {
    std::string why;
    if (!DevicePicture(shown_, host_.HeldButtons(), c.zoom, out.png, &why)) {
      Problem(c, out.file + ": " + why);
      return;
    }
  } else {
    out.png = FrameImage(shown_, c.zoom);
  }
  result_.outputs.push_back(std::move(out));
}

void TRun::Expect(const TCommand& c) {
  const auto it = settings_.expected.find(c.name);
  if (it == settings_.expected.end()) {
    Problem(c, "expect " + c.name + ": no stored picture was loaded");
    return;
  }
  const TExpected& e = it->second;
  TRgbImage expected, actual;
  if (e.text) {
    // The text form holds colour codes only: shown with the current backlight.
    TFrame want = e.frame;
    want.backlight = shown_.backlight;
    expected = FrameImage(want, 2);
    actual = FrameImage(shown_, 2);
  } else if (e.device) {
    std::string why;
    if (!DevicePicture(shown_, host_.HeldButtons(), e.zoom, actual, &why)) {
      Problem(c, "expect " + c.name + ": " + why);
      return;
    }
    expected = e.image;
  } else {
    actual = FrameImage(shown_, e.zoom);
    expected = e.image;
  }
  if (expected == actual) return;
  int differing = 0;
  TOutput diff{File(c.name, ".diff.png"), false, DiffPicture(expected, actual, &differing), {}};
  result_.mismatches.push_back(s_.path + ":" + std::to_string(c.line) + ": expect " + c.name + ": " +
                               std::to_string(differing) + " pixels differ from " + e.file + " (see " + diff.file +
                               ")");
  result_.outputs.push_back(std::move(diff));
}

}  // namespace

bool LoadExpected(const std::string& dir, const std::string& base, TExpected& e, std::string& why) {
  namespace fs = std::filesystem;
  e = TExpected{};
  const fs::path txt = fs::path(dir) / (base + ".txt"), png = fs::path(dir) / (base + ".png");
  std::error_code ec;
  if (fs::is_regular_file(txt, ec)) {
    e.file = txt.string();
    e.text = true;
    std::ifstream in(txt, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    if (!in || !TextToFrame(ss.str(), e.frame)) {
      why = e.file + " is not a frame in text form (160 lines of 128 colour characters)";
      return false;
    }
    return true;
  }
  if (!fs::is_regular_file(png, ec)) {
    why = "no stored picture " + base + ".txt or " + base + ".png in " + (dir.empty() ? "." : dir);
    return false;
  }
  e.file = png.string();
  if (!ReadPng(e.file, e.image, &why)) return false;
  const int w = e.image.width, h = e.image.height;
  for (int z = 1; z <= 8; ++z) {
    if (w == LCD_WIDTH * z && h == LCD_HEIGHT * z) {
      e.zoom = z;
      return true;
    }
    if (w == kDevicePictureWidth * z && h == kDevicePictureHeight * z) {
      e.zoom = z;
      e.device = true;
      return true;
    }
  }
  why = e.file + " is neither an LCD nor an instrument picture at a zoom of 1 to 8 (" + std::to_string(w) + " x " +
        std::to_string(h) + ")";
  return false;
}

bool PrepareRun(const TScenario& s, const std::string& expectDir, const std::string& forcedLang,
                const std::string& suffix, TRunSettings& out, std::vector<std::string>& errors) {
  out = TRunSettings{};
  out.lang = !forcedLang.empty() ? forcedLang : (!s.startLang.empty() ? s.startLang : "en");
  out.suffix = suffix;
  bool ok = true;
  for (const TCommand& c : s.commands) {
    if (c.op != TOp::Expect || out.expected.count(c.name)) continue;
    TExpected e;
    std::string why;
    if (!LoadExpected(expectDir, c.name + suffix, e, why)) {
      errors.push_back(s.path + ":" + std::to_string(c.line) + ": expect " + c.name + ": " + why);
      ok = false;
      continue;
    }
    out.expected.emplace(c.name, std::move(e));
  }
  return ok;
}

TRunResult RunScenario(const TScenario& s, const TRunSettings& settings) {
  NewProgramRun();  // a program run of its own
  TRun run(s, settings);
  return run.Go();
}
