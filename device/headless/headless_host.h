#pragma once
// A host that runs firmware code without a window or a device thread, for the
// tests and the tools: keys are queued with virtual times, time-outs and
// pauses advance a virtual clock at once, and every presented frame is captured.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "buttontiming.h"
#include "devicerules.h"
#include "host.h"
#include "keychannel.h"
#include "pngfile.h"

struct TFrame {
  std::array<std::uint8_t, 128 * 160> px{};  // colour codes, row-major
  bool backlight = true;
  std::uint32_t timeMs = 0;  // virtual time when it was presented
  std::uint8_t At(int x, int y) const { return px[static_cast<std::size_t>(y * 128 + x)]; }
  bool operator==(const TFrame& o) const { return px == o.px && backlight == o.backlight; }
};

TFrame CaptureLcd(bool backlight = true);

class THeadlessHost : public IDeviceHost {
 public:
  // Installs itself as the device host, loads the fonts and sets the language;
  // restores the previous host when destroyed.
  explicit THeadlessHost(std::uint32_t languageValue = 1033);
  ~THeadlessHost() override;
  THeadlessHost(const THeadlessHost&) = delete;
  THeadlessHost& operator=(const THeadlessHost&) = delete;

  // Queues a key, delivered once the virtual clock reaches atMs (0 = at once).
  void Key(std::uint16_t code, std::uint32_t atMs = 0);
  void Keys(std::initializer_list<std::uint16_t> codes);
  // Queues a key delayMs after the time of the previous queued key.
  void KeyAfter(std::uint32_t delayMs, std::uint16_t code);
  // A wait with nothing queued past this virtual time switches the device off.
  std::uint32_t StopAtMs = 600000;
  void SetLanguage(std::uint32_t languageValue);

  std::uint32_t Now() const { return now_; }
  void Advance(std::uint32_t ms) { now_ += ms; }
  const std::vector<TFrame>& Frames() const { return frames_; }
  const TFrame& LastFrame() const;
  const std::vector<std::string>& TraceLines() const { return trace_; }
  const std::vector<std::string>& ErrorBoxes() const { return errors_; }
  std::size_t WaitCount() const { return waits_; }
  std::uint16_t Slot() { return window_ ? keys_.PeekSlot() : slot_; }

  // Overrides a resource (for tests of broken data); empty vector = remove it.
  void OverrideRcData(const std::string& name, std::vector<std::uint8_t> bytes);
  TRtc Rtc{2026, 12, 8, 10, 30, 0};
  std::vector<TRtc> RtcWrites;
  // Called at every presented frame (for tests that look at intermediate states).
  std::function<void(const TFrame&)> OnFrame;
  // Off: Frames() keeps only the last frame (long runs that watch OnFrame).
  bool KeepFrames = true;

  // ---- the window side on the virtual clock (off by default) ----
  // By default a queued key goes straight to the firmware's next wait. Any of
  // the calls below switches the host to the window's key channel instead:
  // keys are posted at their virtual times into the one slot (the last one
  // wins, a refresh after a pending switch-off is kept), buttons are timed as
  // the window times them, and, with the idle timers, the power and
  // backlight rules of the window apply to every post.
  struct TIdleTimers {
    std::uint32_t backlightMs = 40000;
    std::uint32_t powerOffMs = 60000;
  };
  // The device starts switched off; it dims backlightMs and switches off
  // powerOffMs after the last accepted key, as the window's timers do.
  void EnableIdleTimers(TIdleTimers timers);
  void EnableIdleTimers() { EnableIdleTimers(TIdleTimers{}); }
  bool WindowMode() const { return window_; }
  // Mouse down on button n / mouse up, at a virtual time (both through the
  // window's button timing: short, long, hold repeats, chord).
  void Press(std::int16_t n, std::uint32_t atMs);
  void Release(std::uint32_t atMs);
  void SetButtonTiming(TButtonTiming::Timing timing);
  // Runs fn at the virtual time atMs on the window side, after everything
  // else due at that time; the firmware has answered all earlier posts unless
  // it is busy (pausing) then.
  void At(std::uint32_t atMs, std::function<void()> fn);
  // Window side, now: a post with the power rules, the language list's
  // change, the power-off timer's switch-off.
  void PostKey(std::uint16_t code);
  void ChangeLanguage(std::uint32_t languageValue);
  void SwitchOff();
  // Ends the run: every later wait of the firmware or the device loop gets
  // the switch-off, and no further window event is processed.
  void Stop() { stopped_ = true; }
  bool Stopped() const { return stopped_; }
  bool IsOn() const { return !idle_ || rules_.IsOn(); }
  // Buttons whose pressed picture the window shows (bit n-1 for button n).
  unsigned HeldButtons() const { return held_; }
  // The device thread's loop: waits for a switch-on, runs firmware until it
  // leaves by an exception (another message than the stop's goes to the
  // error box), blanks and presents the LCD, and waits again, until Stop().
  void RunDevice(const std::function<void()>& firmware);
  // Called after the power-off timer switched the device off (the window
  // saves the state there).
  std::function<void()> OnSwitchedOff;

  // IDeviceHost
  void FlushKey() override;
  std::uint16_t WaitForKey(std::int32_t timeoutMs) override;
  void SetKey(std::uint16_t code) override;
  void UpdateScreen() override;
  void Sleep(std::int32_t ms) override;
  std::uint32_t TickCount() override { return now_; }
  void ReadRtc(TRtc& t) override { t = Rtc; }
  void WriteRtc(const TRtc& t) override { RtcWrites.push_back(t); }
  void Trace(const std::string& line) override { trace_.push_back(line); }
  std::string LoadString(unsigned id) override;
  bool FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) override;
  void ErrorBox(const std::string& text) override { errors_.push_back(text); }

 private:
  struct Pending {
    std::uint16_t code;
    std::uint32_t at;
  };
  void Refresh();
  // Window mode.
  struct WindowEvent {
    enum Kind : std::uint8_t { Post, Press, Release, Call } kind;
    std::uint16_t arg = 0;
    std::function<void()> fn;
  };
  void Schedule(std::uint32_t atMs, WindowEvent e);
  void EnterWindowMode();
  // Time of the next window event (timers before scheduled events), if any.
  std::optional<std::uint32_t> NextEventTime() const;
  // Runs the next window event; now_ must already be its time.
  void RunNextEvent();
  std::uint16_t WindowWait(std::int32_t timeoutMs);
  void WindowSleep(std::int32_t ms);

  bool window_ = false;
  bool idle_ = false;  // the idle timers and the power rules apply
  bool stopped_ = false;
  unsigned held_ = 0;
  std::uint32_t now_ = 0;  // the virtual clock
  // The window side, as every host has it, on the virtual clock.
  TKeyChannel keys_;
  TDueTimers timers_{[this] { return std::uint64_t{now_}; }};
  TButtonPad buttons_{timers_.repeat, [this] { return now_; }};
  TDeviceRules rules_{keys_, timers_.powerOff, timers_.backlight, buttons_};
  std::map<std::pair<std::uint32_t, std::uint64_t>, WindowEvent> events_;
  std::uint64_t seq_ = 0;

  IDeviceHost* previous_;
  std::deque<Pending> queue_;
  std::uint16_t slot_ = KEY_NONE;
  bool slotSet_ = false;
  std::uint32_t lastKeyAt_ = 0;
  std::vector<TFrame> frames_;
  std::vector<std::string> trace_;
  std::vector<std::string> errors_;
  std::map<std::string, std::vector<std::uint8_t>> overrides_;
  std::size_t waits_ = 0;
};

// Frames as text, one character per colour code (. white, K black, B blue,
// G green, g light green, R red, r light red, Y yellow, y light yellow), one
// line per pixel row: the form golden frames are kept in.
std::string FrameToText(const TFrame& f);
// The reverse; false for a text of another shape or with unknown characters.
bool TextToFrame(const std::string& text, TFrame& f);
// The frame in its lit or dimmed colours, each pixel scale x scale.
TRgbImage FrameImage(const TFrame& f, int scale = 1);
bool SavePng(const TFrame& f, const std::string& path, int scale = 1);
// Empty when the two frame texts are equal, else the count and the first of
// the differing pixels.
std::string CompareFrameText(const std::string& expected, const std::string& actual);
// Compares f with the golden <base>.txt and returns CompareFrameText's verdict
// (naming a missing golden). A mismatch writes <base>.actual.txt and .png
// beside it; update rewrites the golden and its PNG instead.
std::string CompareWithGoldenFile(const TFrame& f, const std::string& base, bool update);
