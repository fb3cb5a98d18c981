// Memory over an hour of use: the resident set of the real main window after
// start, and again after an hour of virtual use, beside the bare window of
// the same size on the same platform.
//
// The hour runs on the headless host's virtual clock, in this process and on
// the window thread, with the window's own device switched off: keys at
// random virtual intervals of 0.2 to 2.5 s (seeded, so every run presses the
// same keys), chosen for the screen they land on, in switch-on periods of 2 to
// 10 minutes, each ended by a switch-off that saves the settings as the
// program does. Every frame goes through the window's CopyScreen into its LCD
// image, and the firmware's trace lines into the program's trace log, so that
// what the program keeps over an hour is what is measured here.
//
//   orb_bench_soak [virtual minutes]      (60 unless given)
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "device.h"
#include "font.h"
#include "headless_host.h"
#include "host.h"
#include "lcd.h"
#include "mainwindow.h"
#include "persist.h"
#include "procstat.h"
#include "runscrn.h"
#include "state.h"
#include "tracelog.h"

namespace {
void RunEvents(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The headless host's key queue and virtual clock, with the window's LCD and
// trace log in place of its frame and trace captures (which would grow for
// the whole hour). One key is queued at a time, chosen when the firmware
// waits, so that it suits the screen it lands on.
class TSoakHost : public THeadlessHost {
 public:
  TSoakHost(TDevice& device, std::uint32_t seed) : device_(device), rng_(seed) {}

  std::uint32_t PeriodEnd = 0;
  long Frames = 0, KeysPressed = 0, ErrorsShown = 0;
  std::map<int, long> ScreenFrames;  // by screen state

  std::uint16_t WaitForKey(std::int32_t timeoutMs) override {
    // Mirrors the order in which the base serves a wait: the slot first, then
    // the queued key once it is due; past PeriodEnd the base switches off.
    if (!slot_ && !queued_ && Now() < PeriodEnd) QueueNext();
    const bool fromSlot = slot_;
    const bool fromQueue = !fromSlot && queued_ && (timeoutMs < 0 || queuedAt_ <= Now() + static_cast<std::uint32_t>(timeoutMs));
    const std::uint16_t code = THeadlessHost::WaitForKey(timeoutMs);
    if (fromSlot) slot_ = false;
    if (fromQueue) queued_ = false;
    return code;
  }
  void SetKey(std::uint16_t code) override {
    THeadlessHost::SetKey(code);
    slot_ = true;
  }
  void FlushKey() override {
    THeadlessHost::FlushKey();
    slot_ = false;  // a pending switch-off never arises here: the base makes it itself
  }
  void UpdateScreen() override {
    ++ScreenFrames[CProgramState.MenuMode & 0x3F];
    device_.CopyScreen();
    if (++Frames % 128 == 0) QCoreApplication::processEvents();
  }
  void Trace(const std::string& line) override { TraceLog().Add(line); }
  void ErrorBox(const std::string&) override { ++ErrorsShown; }

 private:
  std::uint16_t Choose() {
    const int r = std::uniform_int_distribution<int>(0, 99)(rng_);
    int button = r < 35 ? 1 : r < 65 ? 3 : r < 85 ? 4 : 2;
    // The store commands would empty the demonstration route within minutes;
    // the settings toggles, the clock and the information page stay in.
    if (CProgramState.MenuMode == SCR_SETUP && CProgramState.MenuItem >= 4 && CProgramState.MenuItem <= 6 &&
        button == 4)
      button = 1;
    const int kind = std::uniform_int_distribution<int>(0, 99)(rng_);
    return static_cast<std::uint16_t>((kind < 4 ? KEY_LONG : kind < 7 ? KEY_HOLD : KEY_SHORT) + button);
  }
  void QueueNext() {
    queuedAt_ = Now() + std::uniform_int_distribution<std::uint32_t>(200, 2500)(rng_);
    Key(Choose(), queuedAt_);
    queued_ = true;
    ++KeysPressed;
  }

  TDevice& device_;
  std::mt19937 rng_;
  bool slot_ = false, queued_ = false;
  std::uint32_t queuedAt_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  TFormORB720DemoMain::Options options;
  options.iniPath = dir.filePath("ORB720Demo.INI").toStdString();
  TFormORB720DemoMain form(options);
  form.show();
  RunEvents(1000);
  const long rssStart = ReadStatusKb(getpid(), "VmRSS");

  QElapsedTimer wall;
  wall.start();
  long periods = 0;
  const std::uint32_t endMs = static_cast<std::uint32_t>(minutes) * 60000u;
  std::mt19937 periodRng(720);
  TSoakHost host(*form.Device(), 2026);
  while (host.Now() < endMs) {
    host.PeriodEnd = std::min(endMs, host.Now() + std::uniform_int_distribution<std::uint32_t>(120000, 600000)(periodRng));
    host.StopAtMs = host.PeriodEnd;
    // A switch-on as the device thread makes it: the language applied, the
    // fonts loaded, the firmware run until the switch-off unwinds it.
    LcdLoadFonts();
    try {
      InitMenuTexts();
      RunScrn();
    } catch (const Exception& e) {
      if (!e.Message.empty()) host.ErrorBox(e.Message);
    }
    LcdClear();
    host.UpdateScreen();
    if (form.Device()->OnSwitchedOff) form.Device()->OnSwitchedOff();
    ++periods;
    host.Advance(5000);  // off for a moment before the next switch-on
  }
  const double wallS = static_cast<double>(wall.elapsed()) / 1e3;
  RunEvents(1000);
  const long rssSoak = ReadStatusKb(getpid(), "VmRSS");
  const long hwm = ReadStatusKb(getpid(), "VmHWM");
  // The bare window, on this process's platform, once its first paint is done.
  const long rssBare = ResidentWhenReady(ExecutableDir() + "orb_bench_bare_window", "shown", 1000);

  std::printf("virtual soak: %d min in %ld switch-on periods, %ld keys, %ld frames, %ld error boxes, %.1f s wall "
              "(%.0f virtual s per wall s)\n",
              minutes, periods, host.KeysPressed, host.Frames, host.ErrorsShown, wallS,
              static_cast<double>(host.Now()) / 1e3 / wallS);
  std::printf("frames by screen state:");
  for (const auto& [mode, n] : host.ScreenFrames) std::printf(" %d:%ld", mode, n);
  std::printf("\ntrace log: %zu lines kept\n\n", TraceLog().Lines().size());
  std::printf("%-40s %9s %9s\n", "resident set", "MiB", "x bare");
  const auto row = [&](const char* name, long kb) {
    std::printf("%-40s %9.1f %9.2f\n", name, static_cast<double>(kb) / 1024,
                rssBare > 0 ? static_cast<double>(kb) / static_cast<double>(rssBare) : 0.0);
  };
  row("bare window, after start", rssBare);
  row("simulator window, after start", rssStart);
  row("simulator window, after the soak", rssSoak);
  row("simulator window, peak", hwm);
  return 0;
}
