#include "soak_world.h"

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "devicerules.h"
#include "flash.h"
#include "font.h"
#include "headless_host.h"
#include "keychannel.h"
#include "language.h"
#include "lcd.h"
#include "persist.h"
#include "runscrn.h"
#include "state.h"
#include "strtab.h"
#include "texts.h"
#include "tracelog.h"

void TSoakStats::Add(const TSoakStats& o) {
  events += o.events;
  waits += o.waits;
  frames += o.frames;
  switchOns += o.switchOns;
  restarts += o.restarts;
  languageChanges += o.languageChanges;
  virtualMs += o.virtualMs;
  for (const auto& [k, v] : o.offs) offs[k] += v;
  for (const auto& [k, v] : o.offStates) offStates[k] += v;
  for (const auto& [k, v] : o.waitStates) waitStates[k] += v;
  for (const auto& [k, v] : o.knownFaults) knownFaults[k] += v;
  for (const auto& [k, v] : o.knownFirst) knownFirst.emplace(k, v);
  if (o.slowestStopMs > slowestStopMs) slowestStopMs = o.slowestStopMs;
}

namespace {

// Frames and pauses without a key wait before the firmware counts as stuck.
constexpr std::size_t kBusyLimit = 100000;

// Unwinds the firmware once the run has failed.
struct TAbort {};

std::string Hex(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "0x%04X", v & 0xFFFFu);
  return b;
}

bool KnownScreenState(std::uint16_t m) {
  switch (m) {
    case SCR_MAIN: case SCR_POINT: case 2: case SCR_SETUP: case 4: case SCR_TACHO:
    case SCR_ANALYSIS_POINT: case SCR_ANALYSIS_WATCH: case SCR_CLOCK: case SCR_BAND_MEASURE: case SCR_BAND_WATCH:
      return true;
    default:
      return false;
  }
}

// 1 for each LcdBuf word whose two pixels hold colour codes of the nine.
std::vector<std::uint8_t> WordBytes() {
  std::vector<std::uint8_t> t(65536);
  for (unsigned w = 0; w < 65536; ++w)
    t[w] = IsLcdColour(static_cast<int>(w >> 8)) && IsLcdColour(static_cast<int>(w & 0xFF)) ? 1 : 0;
  return t;
}

// The fields of a that differ from b, as "name saved/read; ...".
std::string InfoDiff(const TInitDeviceInfo& a, const TInitDeviceInfo& b) {
  std::string d;
  const auto field = [&](const char* name, std::int16_t x, std::int16_t y) {
    if (x != y) d += std::string(name) + " " + std::to_string(x) + "/" + std::to_string(y) + "; ";
  };
  field("MenuMode", a.MenuMode, b.MenuMode);
  field("MenuItem", a.MenuItem, b.MenuItem);
  field("CollectMode", a.CollectMode, b.CollectMode);
  field("SelectedPoint", a.SelectedPoint, b.SelectedPoint);
  field("AutoStepEn", a.AutoStepEn, b.AutoStepEn);
  field("TypeParamA", a.TypeParamA, b.TypeParamA);
  field("TypeParamV", a.TypeParamV, b.TypeParamV);
  field("TypeParamS", a.TypeParamS, b.TypeParamS);
  field("HighFrequency", a.HighFrequency, b.HighFrequency);
  field("PhaseDisplay", a.PhaseDisplay, b.PhaseDisplay);
  field("FreqDimension", a.FreqDimension, b.FreqDimension);
  if (a.LanguageName != b.LanguageName) d += "LanguageName \"" + a.LanguageName + "\"/\"" + b.LanguageName + "\"; ";
  return d;
}

// Every save replaces the file twelve times (once per key); on a disk file
// system each replacement waits for the data, so a memory one is preferred.
std::string TempIniPath() {
  static std::atomic<int> serial{0};
  std::error_code ec;
  auto dir = std::filesystem::path("/dev/shm");
  if (!std::filesystem::is_directory(dir, ec) || ::access(dir.c_str(), W_OK) != 0)
    dir = std::filesystem::temp_directory_path();
  return (dir / ("orb720-soak-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".INI")).string();
}

class TSoakWorld final : public THeadlessHost, public ILanguageTarget {
 public:
  TSoakWorld(TSoakSource source, TSoakOptions options)
      : source_(std::move(source)), opt_(std::move(options)), ownIni_(opt_.iniPath.empty()),
        ini_(ownIni_ ? TempIniPath() : opt_.iniPath) {}
  ~TSoakWorld() override {
    std::error_code ec;
    if (ownIni_) std::filesystem::remove(ini_, ec);
  }

  TSoakResult Run();

  // ---- device side (the firmware's thread) ----
  void FlushKey() override { channel_->FlushKey(); }
  std::uint16_t WaitForKey(std::int32_t timeoutMs) override;
  void SetKey(std::uint16_t code) override { channel_->SetKey(code); }
  void UpdateScreen() override;
  void Sleep(std::int32_t ms) override;
  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(now_); }
  void Trace(const std::string&) override {}
  void WriteRtc(const TRtc&) override {}
  void ErrorBox(const std::string& text) override { DeviceFail("error-box", text); }

  // ---- window side: the language list's target ----
  void SetDeviceLanguage(std::uint32_t value) override;
  void SetWindowTexts(const std::string&, const std::string&, const std::string&, const std::string&,
                      const std::string&) override {}

 private:
  enum class TAsk { Wait, Sleep, Exit };
  struct TRequest {
    TAsk type = TAsk::Exit;
    std::uint64_t until = 0;  // virtual time the wait or pause ends
    bool forever = false;     // a wait without a time-out
    std::int32_t ms = 0;
  };
  enum class TReply { Timeout, WillPost, Done, Abort };
  enum class TAct { Post, Language, PowerOff, Dim, Close, TimerOff, TimerDim, End };
  struct TAction {
    std::uint64_t at = 0;
    TAct type = TAct::End;
    std::uint16_t code = 0;
    std::uint32_t arg = 0;
    bool burst = false;  // a repeat code of a held button
  };

  // Device side.
  void DeviceThread();
  void DeviceLoop();
  void Firmware();
  void AfterStop();
  void CheckAtWait();
  void CheckStore(std::int16_t off, std::int16_t route);
  void CheckPoint(std::int16_t off, std::int16_t route);
  void CheckTexts();
  void Busy();
  void DeviceFail(const std::string& kind, const std::string& message);

  // Between the sides.
  TReply Ask(const TRequest& q);
  void Poster();

  // Window side.
  void StartProgram(bool restart);
  TReply Serve(const TRequest& q);
  bool Peek(TAction& a);
  void Pop(const TAction& a);
  void Expand();
  bool WillSignal(const TAction& a) const;
  void Apply(const TAction& a);
  void FormClose(bool end);
  void SaveSettings();
  void NoteSwitchOff();
  bool IsOn() const { return rules_->IsOn(); }

  void Fail(const std::string& kind, const std::string& message, TSoakStats& stats);

  // In one thread the window's and the firmware's thread languages take turns.
  struct TWindowScope {
    TSoakWorld& w;
    std::uint16_t device;
    explicit TWindowScope(TSoakWorld& world) : w(world), device(ThreadLanguage()) {
      if (!w.opt_.threaded) SetThreadLanguage(w.windowLang_);
    }
    ~TWindowScope() {
      if (w.opt_.threaded) return;
      w.windowLang_ = ThreadLanguage();
      SetThreadLanguage(device);
    }
  };

  TSoakSource source_;
  TSoakOptions opt_;
  bool ownIni_;
  std::string ini_;
  std::vector<TLanguageItem> languages_;
  std::unique_ptr<TKeyChannel> channel_;
  std::uint64_t now_ = 0;
  // The window side, as the device has it; the soak posts hold codes itself,
  // so the buttons stay idle.
  std::unique_ptr<TDueTimers> timers_;
  std::unique_ptr<TButtonPad> buttons_;
  std::unique_ptr<TDeviceRules> rules_;

  // Failure (either side).
  std::mutex failMutex_;
  std::atomic<bool> failed_{false};
  TSoakResult result_;

  std::atomic<bool> terminate_{false};

  // Device side only.
  bool running_ = false;
  std::size_t busy_ = 0;
  TSoakStats devStats_;
  const std::vector<std::uint8_t> wordOk_ = WordBytes();

  // Switch-off bookkeeping: set by the window before it posts the switch-off,
  // cleared by the device once the firmware has stopped.
  bool offPending_ = false;
  std::uint64_t offAt_ = 0;

  // Window side only.
  std::uint16_t windowLang_ = 1033;
  std::deque<TAction> pending_;
  std::uint64_t lastEnd_ = 0;
  bool sourceDone_ = false;
  bool ended_ = false;
  TRequest serving_;
  TAction willPost_;
  TInitDeviceInfo saved_;
  bool savedAtClose_ = false;
  std::atomic<std::size_t> consumed_{0};
  TSoakStats winStats_;

  // Lock-step hand-over between the threads.
  std::mutex hsMutex_;
  std::condition_variable hsCv_;
  bool asked_ = false, answered_ = false;
  TRequest hsReq_;
  TReply hsRep_ = TReply::Done;
};

// ---------------------------------------------------------------------------
// Running

TSoakResult TSoakWorld::Run() {
  std::error_code ec;
  std::filesystem::remove(ini_, ec);
  languages_ = LoadLanguageList();
  if (languages_.empty()) {
    result_.ok = false;
    result_.kind = "setup";
    result_.message = "no language list";
    return result_;
  }
  bool restart = false;
  while (!failed_ && !ended_) {
    StartProgram(restart);
    if (failed_) break;
    if (opt_.threaded) {
      std::thread device([this] { DeviceThread(); });
      Poster();
      device.join();
    } else {
      DeviceThread();
    }
    restart = true;
  }
  result_.stats = devStats_;
  result_.stats.Add(winStats_);
  result_.stats.events = consumed_;
  result_.stats.virtualMs = now_;
  if (result_.ok) result_.event = consumed_;
  return result_;
}

// As a fresh process: empty memory, the settings and the language from the file.
void TSoakWorld::StartProgram(bool restart) {
  NewProgramRun();
  ReadDeviceState(ini_);
  if (restart && savedAtClose_) {
    const std::string diff = InfoDiff(saved_, InitDeviceInfo);
    if (!diff.empty())
      Fail("settings", "the settings file did not give back what the close saved (saved/read): " + diff, winStats_);
  }
  if (restart) ++winStats_.restarts;
  rules_.reset();
  channel_ = std::make_unique<TKeyChannel>();
  timers_ = std::make_unique<TDueTimers>([this] { return now_; });
  buttons_ = std::make_unique<TButtonPad>(timers_->repeat, [this] { return static_cast<std::uint32_t>(now_); });
  rules_ = std::make_unique<TDeviceRules>(*channel_, timers_->powerOff, timers_->backlight, *buttons_);
  rules_->OnSwitchedOff = [this] { SaveSettings(); };
  terminate_ = false;
  offPending_ = false;
  savedAtClose_ = false;
  // The new device thread starts in the default language.
  SetThreadLanguage(1033);
  windowLang_ = 1033;
  TWindowScope w(*this);
  const int pick = ChooseInitialLanguage(languages_, InitDeviceInfo.LanguageName, 0);
  ApplyLanguageChange(languages_, pick, InitDeviceInfo, *this);
}

void TSoakWorld::DeviceThread() {
  DeviceLoop();
  Ask({TAsk::Exit});
}

// The device's Execute, as every host runs it.
void TSoakWorld::DeviceLoop() {
  try {
    RunDeviceLoop(*this, *channel_, [this] { Firmware(); }, [this] { return terminate_ || failed_; });
  } catch (const TAbort&) {
  }
}

void TSoakWorld::Firmware() {
  running_ = true;
  try {
    RunScrn();
    DeviceFail("stop", "RunScrn returned");
  } catch (const Exception& e) {
    running_ = false;
    // Another message is the error box's failure, reported by the loop.
    if (e.Message.empty() && !failed_) AfterStop();
    throw;
  } catch (...) {
    running_ = false;
    throw;
  }
  running_ = false;
}

std::uint16_t TSoakWorld::WaitForKey(std::int32_t timeoutMs) {
  if (running_) CheckAtWait();
  busy_ = 0;
  std::uint16_t r = KEY_NONE;
  if (channel_->Signalled()) {
    // Whatever is pending is taken at once.
    r = channel_->WaitForKey(0);
  } else {
    TRequest q;
    q.type = TAsk::Wait;
    q.forever = timeoutMs < 0;
    q.ms = timeoutMs;
    q.until = q.forever ? ~std::uint64_t{0} : now_ + static_cast<std::uint64_t>(timeoutMs);
    const TReply rep = Ask(q);
    if (rep == TReply::Abort) throw TAbort{};
    if (rep == TReply::WillPost) {
      r = channel_->WaitForKey(kWaitForever);
    } else {
      // Timed out on the virtual clock; the channel's own time-out would cost
      // a real one. Nothing was posted, so its slot is empty: only the
      // language is handed over, as at every wait.
      const std::uint32_t v = channel_->LanguageValue();
      LangId = LangIdOf(v);
      UsUnits = UsUnitsOf(v);
    }
  }
  if (running_) {
    ++devStats_.waits;
    if (offPending_ && r != KEY_OFF) {
      DeviceFail("stop", "the first key wait after the switch-off at " + std::to_string(offAt_) + " ms returned " +
                             Hex(r) + ": the firmware runs on and the device would never end");
    }
    if (failed_) throw TAbort{};
  }
  return r;
}

void TSoakWorld::Sleep(std::int32_t ms) {
  if (ms <= 0) return;
  Busy();
  TRequest q;
  q.type = TAsk::Sleep;
  q.ms = ms;
  q.until = now_ + static_cast<std::uint64_t>(ms);
  if (Ask(q) == TReply::Abort) throw TAbort{};
}

void TSoakWorld::UpdateScreen() {
  ++devStats_.frames;
  // Every frame is checked, so this is the soak's hottest loop.
  const std::uint8_t* ok = wordOk_.data();
  const std::uint16_t* words = &LcdBuf[0][0];
  for (std::size_t i = 0; i < LCD_HEIGHT * LCD_WORDS_PER_ROW; ++i) {
    if (ok[words[i]]) continue;
    const int y = static_cast<int>(i / LCD_WORDS_PER_ROW), x = static_cast<int>(2 * (i % LCD_WORDS_PER_ROW));
    const unsigned code = IsLcdColour(words[i] >> 8) ? words[i] & 0xFFu : words[i] >> 8u;
    DeviceFail("pixel", "pixel (" + std::to_string(IsLcdColour(words[i] >> 8) ? x + 1 : x) + "," + std::to_string(y) +
                            ") has colour code " + std::to_string(code) + ", not one of the nine");
    if (running_) throw TAbort{};
    return;
  }
  if (running_) Busy();
}

void TSoakWorld::Busy() {
  if (++busy_ > kBusyLimit) {
    DeviceFail("busy", "the firmware drew or paused " + std::to_string(kBusyLimit) + " times without a key wait");
    throw TAbort{};
  }
}

void TSoakWorld::AfterStop() {
  if (!offPending_) {
    DeviceFail("stop", "the firmware stopped without a switch-off");
    return;
  }
  const std::uint64_t took = now_ - offAt_;
  if (took > devStats_.slowestStopMs) devStats_.slowestStopMs = took;
  if (took > opt_.stopDeadlineMs)
    DeviceFail("stop", "the firmware took " + std::to_string(took) + " ms (virtual) to stop after the switch-off");
  if (GetBacklight() != 0) DeviceFail("stop", "the backlight is still on after the firmware stopped");
  offPending_ = false;
}

// ---------------------------------------------------------------------------
// Invariants at a key wait of the firmware

void TSoakWorld::CheckAtWait() {
  if (offPending_ && now_ - offAt_ > opt_.stopDeadlineMs)
    DeviceFail("stop", "still running " + std::to_string(now_ - offAt_) + " ms (virtual) after the switch-off");
  const std::uint16_t mode = CProgramState.MenuMode;
  ++devStats_.waitStates[mode];
  if (!KnownScreenState(mode)) DeviceFail("state", "MenuMode " + std::to_string(mode) + " is no screen state");
  std::int16_t c[2];
  GetPointCounts(c);
  CheckStore(c[0], c[1]);
  CheckPoint(c[0], c[1]);
  CheckTexts();
  if (failed_) throw TAbort{};
}

// The route and off-route counts agree with the records: route points numbered
// 1..R in order, off-route points 1..k each holding data, at most one blank
// slot and only at the end.
void TSoakWorld::CheckStore(std::int16_t off, std::int16_t route) {
  if (route != static_cast<std::int32_t>(RouteStore.size()) || off < 0 || off + route > MAX_POINTS) {
    DeviceFail("store", "counts " + std::to_string(off) + "/" + std::to_string(route) + " for " +
                            std::to_string(OffRouteStore.size()) + "/" + std::to_string(RouteStore.size()) + " records");
    return;
  }
  for (std::size_t i = 0; i < RouteStore.size(); ++i) {
    const CPoint& p = RouteStore[i];
    if ((p.valid != 0 && p.valid != POINT_VALID) || p.num != static_cast<std::int32_t>(i + 1)) {
      DeviceFail("store", "route record " + std::to_string(i + 1) + " has valid " + Hex(p.valid) + " and number " +
                              std::to_string(p.num));
      return;
    }
  }
  for (std::size_t k = 0; k < OffRouteStore.size(); ++k) {
    const CPoint& p = OffRouteStore[k];
    const bool data = static_cast<std::int32_t>(k) < off;
    if (data ? (p.valid != POINT_VALID || p.num != static_cast<std::int32_t>(k + 1))
             : (k + 1 != OffRouteStore.size() || p.valid == POINT_VALID)) {
      DeviceFail("store", "off-route record " + std::to_string(k + 1) + " of " + std::to_string(OffRouteStore.size()) +
                              " has valid " + Hex(p.valid) + " and number " + std::to_string(p.num) + " (" +
                              std::to_string(off) + " holding data)");
      return;
    }
  }
}

// npnt names a record or the free off-route slot, and CurPoint is its copy.
void TSoakWorld::CheckPoint(std::int16_t off, std::int16_t route) {
  const std::int16_t n = CProgramState.npnt;
  const CPoint& cur = CurPoint;
  const CPoint* rec = nullptr;
  bool routePoint = false;
  if (n >= 1 && n <= route) {
    rec = &RouteStore[static_cast<std::size_t>(n - 1)];
    routePoint = true;
  } else if (n > MAX_POINTS - off && n <= MAX_POINTS) {
    rec = &OffRouteStore[static_cast<std::size_t>(MAX_POINTS - n)];
  } else if (n == MAX_POINTS - off && off + route < MAX_POINTS) {
    // Its blank record may be gone (deleting the route drops it); measuring
    // the point sets it up again before anything is stored.
    if (cur.valid == POINT_VALID || cur.num != off + 1)
      DeviceFail("point", "npnt " + std::to_string(n) + " is the free off-route slot, but the current point is number " +
                              std::to_string(cur.num) + " with valid " + Hex(cur.valid));
    return;
  } else {
    DeviceFail("point", "npnt " + std::to_string(n) + " names no record (" + std::to_string(route) + " route, " +
                            std::to_string(off) + " off-route points)");
    return;
  }
  const bool same = cur.valid == rec->valid && cur.num == rec->num && cur.status == rec->status &&
                    std::memcmp(cur.val, rec->val, sizeof cur.val) == 0 &&
                    std::memcmp(cur.mtime, rec->mtime, sizeof cur.mtime) == 0 &&
                    (!routePoint || (std::memcmp(cur.machine, rec->machine, sizeof cur.machine) == 0 &&
                                     std::memcmp(cur.name, rec->name, sizeof cur.name) == 0));
  if (!same)
    DeviceFail("point", "the current point is not a copy of record npnt " + std::to_string(n) + " (number " +
                            std::to_string(cur.num) + " for " + std::to_string(rec->num) + ", valid " + Hex(cur.valid) +
                            " for " + Hex(rec->valid) + ")");
}

// The firmware's texts are those of the language it was told at its last wait.
void TSoakWorld::CheckTexts() {
  const std::string want = LoadStringTable(LangId, kFwTextIds[TX_MEASUREMENT]);
  if (want != FwText(TX_MEASUREMENT))
    DeviceFail("texts", "the firmware's texts are not in language " + std::to_string(LangId) +
                            ", which the last key wait handed over");
}

// ---------------------------------------------------------------------------
// Failures

void TSoakWorld::DeviceFail(const std::string& kind, const std::string& message) { Fail(kind, message, devStats_); }

void TSoakWorld::Fail(const std::string& kind, const std::string& message, TSoakStats& stats) {
  if (opt_.known.count(kind)) {
    ++stats.knownFaults[kind];
    stats.knownFirst.emplace(kind, message + " (event " + std::to_string(consumed_) + ")");
    return;
  }
  std::lock_guard<std::mutex> g(failMutex_);
  if (failed_) return;
  result_.ok = false;
  result_.kind = kind;
  result_.message = message;
  result_.event = consumed_;
  failed_ = true;
}

// ---------------------------------------------------------------------------
// The hand-over between the firmware and the window

TSoakWorld::TReply TSoakWorld::Ask(const TRequest& q) {
  if (!opt_.threaded) {
    TWindowScope w(*this);
    const TReply r = Serve(q);
    if (r == TReply::WillPost) Apply(willPost_);
    return r;
  }
  std::unique_lock<std::mutex> lk(hsMutex_);
  hsReq_ = q;
  asked_ = true;
  answered_ = false;
  hsCv_.notify_all();
  hsCv_.wait(lk, [this] { return answered_; });
  answered_ = false;
  return hsRep_;
}

// The window thread: serves one request at a time; a post that will wake the
// firmware is made after the answer, while the firmware enters its wait.
void TSoakWorld::Poster() {
  for (;;) {
    TRequest q;
    {
      std::unique_lock<std::mutex> lk(hsMutex_);
      hsCv_.wait(lk, [this] { return asked_; });
      asked_ = false;
      q = hsReq_;
    }
    const TReply r = Serve(q);
    {
      std::lock_guard<std::mutex> lk(hsMutex_);
      hsRep_ = r;
      answered_ = true;
    }
    hsCv_.notify_all();
    if (r == TReply::WillPost) Apply(willPost_);
    if (q.type == TAsk::Exit) return;
  }
}

TSoakWorld::TReply TSoakWorld::Serve(const TRequest& q) {
  if (q.type == TAsk::Exit) return TReply::Done;
  if (failed_) return TReply::Abort;
  serving_ = q;
  if (terminate_) {
    // The window is closing: it waits for the device and takes no events
    // until the program has started again.
    if (!q.forever && q.until > now_) now_ = q.until;
    return q.type == TAsk::Sleep ? TReply::Done : TReply::Timeout;
  }
  TAction a;
  if (q.type == TAsk::Sleep) {
    while (!terminate_ && Peek(a) && a.at <= q.until) {
      if (a.at > now_) now_ = a.at;
      Pop(a);
      Apply(a);
      if (failed_) return TReply::Abort;
    }
    if (q.until > now_) now_ = q.until;
    return TReply::Done;
  }
  for (;;) {
    if (!Peek(a)) {
      // The stream ended with a close: the first wait after it must stop.
      Fail("stop", "the firmware waits for a key after the final close", winStats_);
      return TReply::Abort;
    }
    if (!q.forever && a.at > q.until) {
      if (q.until > now_) now_ = q.until;
      return TReply::Timeout;
    }
    if (a.at > now_) now_ = a.at;
    Pop(a);
    if (WillSignal(a)) {
      willPost_ = a;
      return TReply::WillPost;
    }
    Apply(a);
    if (failed_) return TReply::Abort;
  }
}

// ---------------------------------------------------------------------------
// The window side: events become timed posts, timer firings and closes

bool TSoakWorld::Peek(TAction& a) {
  if (ended_) return false;
  if (pending_.empty()) Expand();
  a = pending_.front();
  const std::optional<std::uint64_t> off = timers_->powerOff.Due(), dim = timers_->backlight.Due();
  if (off && *off <= a.at && (!dim || *off <= *dim)) {
    a = TAction{*off, TAct::TimerOff};
  } else if (dim && *dim <= a.at) {
    a = TAction{*dim, TAct::TimerDim};
  }
  return true;
}

void TSoakWorld::Pop(const TAction& a) {
  if (a.type != TAct::TimerOff && a.type != TAct::TimerDim) pending_.pop_front();
}

void TSoakWorld::Expand() {
  TSoakEvent e;
  if (sourceDone_ || !source_(e)) {
    sourceDone_ = true;
    pending_.push_back(TAction{lastEnd_ > now_ ? lastEnd_ : now_, TAct::End});
    return;
  }
  const std::size_t n = ++consumed_;
  if (opt_.progress) opt_.progress(n);
  const std::uint64_t base = lastEnd_ + e.gap;
  const auto post = [&](std::uint64_t at, std::uint16_t code, bool burst = false) {
    TAction a{at, TAct::Post, code};
    a.burst = burst;
    pending_.push_back(a);
    lastEnd_ = at;
  };
  switch (e.kind) {
    case TSoakKind::Short:
      post(base + e.arg, static_cast<std::uint16_t>(KEY_SHORT + e.button));
      break;
    case TSoakKind::Long:
      post(base + e.arg, static_cast<std::uint16_t>(KEY_LONG + e.button));
      break;
    case TSoakKind::Hold:
      for (std::uint32_t k = 0; k < e.arg; ++k)
        post(base + 1100 + 50ull * k, static_cast<std::uint16_t>(KEY_HOLD + e.button), true);
      lastEnd_ += 20;  // released before the next repeat
      break;
    case TSoakKind::Chord:
      post(base + e.arg, KEY_CHORD);
      lastEnd_ += 40;
      break;
    case TSoakKind::Step:
      post(base, KEY_STEP);
      break;
    case TSoakKind::Refresh:
      post(base, KEY_NONE);
      break;
    case TSoakKind::Language:
      pending_.push_back(TAction{base, TAct::Language, 0, e.arg});
      lastEnd_ = base;
      break;
    case TSoakKind::PowerOff:
      pending_.push_back(TAction{base, TAct::PowerOff});
      lastEnd_ = base;
      break;
    case TSoakKind::Dim:
      pending_.push_back(TAction{base, TAct::Dim});
      lastEnd_ = base;
      break;
    case TSoakKind::Close:
      pending_.push_back(TAction{base, TAct::Close});
      lastEnd_ = base;
      break;
  }
}

// Whether applying a wakes the device thread; the threaded poster answers
// the firmware's wait before it posts.
bool TSoakWorld::WillSignal(const TAction& a) const {
  switch (a.type) {
    case TAct::Post:
      return IsOn() || a.code == KEY_LONG + 2 || a.code == KEY_HOLD + 2;
    case TAct::Language:
    case TAct::PowerOff:
    case TAct::TimerOff:
    case TAct::TimerDim:
      return IsOn();
    case TAct::Dim:
      return IsOn() && timers_->backlight.Active();
    case TAct::Close:
    case TAct::End:
      return true;
  }
  return false;
}

void TSoakWorld::Apply(const TAction& a) {
  switch (a.type) {
    case TAct::Post: {
      const bool wasOn = IsOn();
      // The switch-on resets the buttons: the holding press sends no more.
      if (rules_->PostKey(a.code) && !wasOn) {
        ++winStats_.switchOns;
        std::erase_if(pending_, [](const TAction& p) { return p.burst; });
      }
      break;
    }
    case TAct::Language: {
      ++winStats_.languageChanges;
      const int pick = static_cast<int>(a.arg % languages_.size());
      ApplyLanguageChange(languages_, pick, InitDeviceInfo, *this);
      break;
    }
    case TAct::PowerOff:
    case TAct::TimerOff:
      if (!IsOn()) break;
      NoteSwitchOff();
      rules_->OnOffTimer();
      break;
    case TAct::Dim:
      if (timers_->backlight.Active()) rules_->OnBacklightTimer();
      break;
    case TAct::TimerDim:
      rules_->OnBacklightTimer();
      break;
    case TAct::Close:
      FormClose(false);
      break;
    case TAct::End:
      FormClose(true);
      break;
  }
}

void TSoakWorld::SetDeviceLanguage(std::uint32_t value) { rules_->SetLanguage(value); }

// The main window's close: save, then the device's destructor posts the
// switch-off past PostKey. Unless the stream is over, the program then
// starts again from its settings file.
void TSoakWorld::FormClose(bool end) {
  SaveSettings();
  saved_ = InitDeviceInfo;
  savedAtClose_ = true;
  NoteSwitchOff();
  terminate_ = true;
  if (end) ended_ = true;
  channel_->SetKey(KEY_OFF);
}

void TSoakWorld::SaveSettings() {
  try {
    SaveDeviceState(ini_);
  } catch (const Exception& e) {
    Fail("settings", e.Message, winStats_);
  }
}

void TSoakWorld::NoteSwitchOff() {
  if (!channel_->FirmwareRunning()) {
    ++winStats_.offs["device off"];
    return;
  }
  if (offPending_) return;  // the first one counts
  offPending_ = true;
  offAt_ = now_;
  std::string where;
  if (serving_.type == TAsk::Sleep) {
    where = serving_.ms == 1500 ? "Measuring... pause" : serving_.ms == 2000 ? "auto-step pause" : "other pause";
  } else {
    where = serving_.forever ? "key wait" : "timed wait (100 ms loop)";
  }
  ++winStats_.offs[where];
  ++winStats_.offStates[CProgramState.MenuMode];
}

}  // namespace

TSoakResult RunSoak(const TSoakSource& source, const TSoakOptions& options) {
  TSoakWorld world(source, options);
  return world.Run();
}
