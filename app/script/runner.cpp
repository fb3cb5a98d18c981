#include "runner.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>

#include "files.h"
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

// Keeps the outputs in the result, pictures and all.
class TMemorySink final : public TOutputSink {
 public:
  explicit TMemorySink(std::vector<TOutput>& outputs) : outputs_(outputs) {}
  bool Picture(const std::string& file, const TRgbImage& image, std::string&) override {
    outputs_.push_back({file, false, image, {}});
    return true;
  }
  bool Open(const std::string& file, std::string&) override {
    open_ = outputs_.size();
    outputs_.push_back({file, true, {}, {}});
    return true;
  }
  bool Append(const std::uint8_t* data, std::size_t size, std::string&) override {
    std::vector<std::uint8_t>& gif = outputs_[open_].gif;
    gif.insert(gif.end(), data, data + size);
    return true;
  }
  bool Close(bool keep, std::string&) override {
    if (!keep) outputs_.erase(outputs_.begin() + static_cast<std::ptrdiff_t>(open_));
    return true;
  }
  bool Written(const std::string& file) const override {
    return std::any_of(outputs_.begin(), outputs_.end(), [&](const TOutput& o) { return o.file == file; });
  }

 private:
  std::vector<TOutput>& outputs_;
  std::size_t open_ = 0;
};

struct TRecording {
  std::string file;
  std::string failure;  // the sink's reason once a write failed
  std::unique_ptr<TGifRecorder> gif;
};

class TRun {
 public:
  TRun(const TScenario& s, const TRunSettings& settings)
      : s_(s),
        settings_(settings),
        host_(LanguageValueOf(settings.lang)),
        memory_(result_.outputs),
        sink_(settings.sink ? *settings.sink : memory_) {}
  TRunResult Go();

 private:
  void Schedule();
  void Shot(const TCommand& c);
  void Expect(const TCommand& c);
  void Record(const TCommand& c);
  void Stop(const TCommand& c);
  void Write(const TCommand& c, const std::string& file, const TRgbImage& image);
  void Problem(const TCommand& c, const std::string& what) {
    result_.problems.push_back(s_.path + ":" + std::to_string(c.line) + ": " + what);
  }
  std::string File(const std::string& name, const char* ext) const { return name + settings_.suffix + ext; }

  const TScenario& s_;
  const TRunSettings& settings_;
  TScriptHost host_;
  TFrame shown_;  // what the window shows now
  std::unique_ptr<TRecording> rec_;
  TRunResult result_;
  TMemorySink memory_;
  TOutputSink& sink_;
};

TRunResult TRun::Go() {
  host_.StopAtMs = UINT32_MAX;
  host_.KeepFrames = false;
  host_.EnableIdleTimers();
  host_.OnSwitchedOff = [] { CopyStateToInitDeviceInfo(); };
  host_.OnFrame = [this](const TFrame& f) {
    shown_ = f;
    ++result_.frames;
    if (rec_) rec_->gif->Frame(f.timeMs, f);
  };
  // The window starts with the blank LCD and applies the chosen language.
  LcdClear();
  host_.UpdateScreen();
  host_.ChangeLanguage(LanguageValueOf(settings_.lang));
  Schedule();
  host_.RunDevice([] { RunScrn(); });
  if (rec_) {
    std::string why;
    rec_.reset();
    sink_.Close(false, why);
  }
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
        host_.At(t, [this, &c] { Record(c); });
        break;
      case TOp::Stop:
        host_.At(t, [this, &c] { Stop(c); });
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

void TRun::Write(const TCommand& c, const std::string& file, const TRgbImage& image) {
  std::string why;
  if (!sink_.Picture(file, image, why))
    Problem(c, why);
  else if (settings_.sink)
    result_.outputs.push_back({file, false, {}, {}});
}

void TRun::Shot(const TCommand& c) {
  const std::string file = File(c.name, ".png");
  TRgbImage png;
  if (c.device) {
    std::string why;
    if (!DevicePicture(shown_, host_.HeldButtons(), c.zoom, png, &why)) {
      Problem(c, file + ": " + why);
      return;
    }
  } else {
    png = FrameImage(shown_, c.zoom);
  }
  Write(c, file, png);
}

void TRun::Record(const TCommand& c) {
  auto rec = std::make_unique<TRecording>();
  rec->file = File(c.name, ".gif");
  std::string why;
  if (!sink_.Open(rec->file, why)) {
    Problem(c, why);
    return;
  }
  rec_ = std::move(rec);
  rec_->gif = std::make_unique<TGifRecorder>(c.zoom, [this](const std::uint8_t* data, std::size_t size) {
    return sink_.Append(data, size, rec_->failure);
  });
  rec_->gif->Frame(host_.Now(), shown_);
}

void TRun::Stop(const TCommand& c) {
  if (!rec_) return;
  std::string gifWhy, why;
  const bool made = rec_->gif->Finish(host_.Now(), &gifWhy);
  if (!rec_->failure.empty() || !made) {
    sink_.Close(false, why);
    Problem(c, !rec_->failure.empty() ? rec_->failure : rec_->file + ": " + gifWhy);
  } else if (!sink_.Close(true, why)) {
    Problem(c, why);
  } else if (settings_.sink) {
    result_.outputs.push_back({rec_->file, true, {}, {}});
  }
  rec_.reset();
}

void TRun::Expect(const TCommand& c) {
  const auto it = settings_.expected.find(c.name);
  if (it == settings_.expected.end()) {
    Problem(c, "expect " + c.name + ": no stored picture was loaded");
    return;
  }
  const TExpected& e = it->second;
  TRgbImage expected, actual;
  std::string why;
  if (e.text) {
    // The text form holds colour codes only: shown with the current backlight.
    TFrame want = e.frame;
    want.backlight = shown_.backlight;
    expected = FrameImage(want, 2);
    actual = FrameImage(shown_, 2);
  } else if (!ReadPngData(reinterpret_cast<const std::uint8_t*>(e.png.data()), e.png.size(), expected, &why)) {
    Problem(c, "expect " + c.name + ": " + e.file + ": " + why);
    return;
  } else if (e.device) {
    if (!DevicePicture(shown_, host_.HeldButtons(), e.zoom, actual, &why)) {
      Problem(c, "expect " + c.name + ": " + why);
      return;
    }
  } else {
    actual = FrameImage(shown_, e.zoom);
  }
  if (expected == actual) return;
  // A later failure of the same name keeps its own picture.
  std::string file = File(c.name, ".diff.png");
  for (int n = 2; sink_.Written(file); ++n) file = c.name + settings_.suffix + "." + std::to_string(n) + ".diff.png";
  int differing = 0;
  const TRgbImage diff = DiffPicture(expected, actual, &differing);
  result_.mismatches.push_back(s_.path + ":" + std::to_string(c.line) + ": expect " + c.name + ": " +
                               std::to_string(differing) + " pixels differ from " + e.file + " (see " + file + ")");
  Write(c, file, diff);
}

}  // namespace

bool LoadExpected(const std::string& dir, const std::string& base, TExpected& e, std::string& why) {
  namespace fs = std::filesystem;
  e = TExpected{};
  const fs::path txt = fs::path(dir) / (base + ".txt"), png = fs::path(dir) / (base + ".png");
  std::error_code ec;
  std::string bytes, readWhy;
  if (fs::is_regular_file(txt, ec)) {
    e.file = txt.string();
    e.text = true;
    // One size: 160 lines of 128, with CR LF line ends and a byte-order mark at most.
    const TRead read = ReadUpTo(e.file, 3 + LCD_HEIGHT * (LCD_WIDTH + 2), bytes, readWhy);
    if (read == TRead::Failed) {
      why = e.file + ": " + readWhy;
      return false;
    }
    if (read == TRead::TooLarge || !TextToFrame(UnixLines(bytes), e.frame)) {
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
  switch (ReadUpTo(e.file, kMaxPngBytes, e.png, readWhy)) {
    case TRead::Ok:
      break;
    case TRead::Failed:
      why = e.file + ": " + readWhy;
      return false;
    case TRead::TooLarge:
      why = e.file + " is too large for a picture of the LCD or the instrument";
      return false;
  }
  // Its size first, from the header: a picture of any other size is never read.
  const auto* data = reinterpret_cast<const std::uint8_t*>(e.png.data());
  int w = 0, h = 0;
  if (!ReadPngSize(data, e.png.size(), w, h, &readWhy)) {
    why = e.file + ": " + readWhy;
    return false;
  }
  bool known = false;
  for (int z = 1; z <= 8 && !known; ++z) {
    e.zoom = z;
    e.device = w == kDevicePictureWidth * z && h == kDevicePictureHeight * z;
    known = e.device || (w == LCD_WIDTH * z && h == LCD_HEIGHT * z);
  }
  if (!known) {
    why = e.file + " is neither an LCD nor an instrument picture at a zoom of 1 to 8 (" + std::to_string(w) + " x " +
          std::to_string(h) + ")";
    return false;
  }
  // The whole of it is checked now; its pixels are read again when compared.
  TRgbImage image;
  if (!ReadPngData(data, e.png.size(), image, &readWhy)) {
    why = e.file + ": " + readWhy;
    return false;
  }
  return true;
}

bool PrepareRun(const TScenario& s, const std::string& expectDir, const std::string& forcedLang,
                const std::string& suffix, TRunSettings& out, std::vector<std::string>& errors) {
  out = TRunSettings{};
  out.lang = !forcedLang.empty() ? forcedLang : (!s.startLang.empty() ? s.startLang : "en");
  out.suffix = suffix;
  TErrorList faults(errors, s.path);
  std::set<std::string> tried;
  for (const TCommand& c : s.commands) {
    if (c.op != TOp::Expect || !tried.insert(c.name).second) continue;
    TExpected e;
    std::string why;
    if (!LoadExpected(expectDir, c.name + suffix, e, why)) {
      faults.Add(s.path + ":" + std::to_string(c.line) + ": expect " + c.name + ": " + why);
      continue;
    }
    out.expected.emplace(c.name, std::move(e));
  }
  faults.Finish();
  return !faults.Any();
}

TRunResult RunScenario(const TScenario& s, const TRunSettings& settings) {
  NewProgramRun();  // a program run of its own
  TRun run(s, settings);
  return run.Go();
}
