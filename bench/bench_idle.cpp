// What the program costs while nobody presses a key: CPU time and wake-ups
// per second of the device thread and of the window thread, with the device
// off, waiting on a menu, and in the tachometer (which redraws every 100 ms).
//
// The kernel's own accounting, read before and after a quiet interval:
// schedstat's time on a processor, and voluntary context switches, each of
// which is the thread blocking and so, once it runs again, one wake-up. The
// window thread spends the interval in its event loop; the one timer that
// ends the interval is its only wake-up of the benchmark's making and is not
// counted, and the baseline row shows the CPU that this wake-up costs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "device.h"
#include "state.h"
#include "support.h"

namespace {
constexpr int kQuietMs = 10000;

struct TThreadCost {
  double wakeups = 0, cpuUs = 0;  // per second
};
struct TIdleRow {
  std::string name;
  TThreadCost device, window, other;
};
std::vector<TIdleRow> g_rows;

bool IsDeviceThread(const TTaskStats& t) { return t.name == "TDevice"; }

// Runs the window's event loop for ms and returns what every thread cost.
TIdleRow Measure(const std::string& name, int ms) {
  const pid_t pid = getpid();
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  const std::vector<TTaskStats> before = ReadTasks(pid);
  const TTaskStats windowBefore = ReadTask(pid, pid);
  const auto t0 = TClock::now();
  loop.exec();
  const auto t1 = TClock::now();
  const TTaskStats windowAfter = ReadTask(pid, pid);
  const std::vector<TTaskStats> after = ReadTasks(pid);
  const double s = std::chrono::duration<double>(t1 - t0).count();
  TIdleRow row{name, {}, {}, {}};
  for (const TTaskStats& a : after) {
    const TTaskStats* b = nullptr;
    for (const TTaskStats& x : before)
      if (x.tid == a.tid) b = &x;
    const double wake = static_cast<double>(a.voluntary - (b ? b->voluntary : 0));
    const double cpu = static_cast<double>(a.cpuNs - (b ? b->cpuNs : 0)) / 1e3;
    if (a.tid == pid) continue;
    TThreadCost& c = IsDeviceThread(a) ? row.device : row.other;
    c.wakeups += wake;
    c.cpuUs += cpu;
  }
  // The window thread only over its event loop, not over these readings.
  row.window.wakeups = static_cast<double>(windowAfter.voluntary - windowBefore.voluntary);
  row.window.cpuUs = static_cast<double>(windowAfter.cpuNs - windowBefore.cpuNs) / 1e3;
  row.window.wakeups = std::max(0.0, row.window.wakeups - 1.0);  // the interval's own timer
  for (TThreadCost* c : {&row.device, &row.window, &row.other}) {
    c->wakeups /= s;
    c->cpuUs /= s;
  }
  return row;
}

void Report(benchmark::State& st, const TIdleRow& row) {
  st.counters["dev_wake_s"] = row.device.wakeups;
  st.counters["dev_cpu_us_s"] = row.device.cpuUs;
  st.counters["win_wake_s"] = row.window.wakeups;
  st.counters["win_cpu_us_s"] = row.window.cpuUs;
  st.counters["other_wake_s"] = row.other.wakeups;
  g_rows.push_back(row);
}

void Run(benchmark::State& st, const std::string& name, TBenchDevice& d) {
  for (auto _ : st) {
    const TIdleRow row = Measure(name, kQuietMs);
    st.SetIterationTime(kQuietMs / 1e3);
    Report(st, row);
  }
  (void)d;
}

// No device at all: what the measuring itself costs the window thread (its
// event loop, the timer that ends the interval and the wake-up it brings).
void BM_Baseline(benchmark::State& st) {
  for (auto _ : st) {
    const TIdleRow row = Measure("no device (measuring only)", kQuietMs);
    st.SetIterationTime(kQuietMs / 1e3);
    Report(st, row);
  }
}

// Never switched on: the device thread waits for a switch-on without a time-out.
void BM_Off(benchmark::State& st) {
  TBenchDevice d;
  d.Quiet(500);  // the device thread starts and reaches its wait
  Run(st, "off, never switched on", d);
}

// Switched off by its own timer after use. Short idle intervals bring the
// switch-off about within a second; the backlight timer's last firing, which
// comes once after the switch-off, is over before the interval starts.
void BM_OffAfterUse(benchmark::State& st) {
  InitDeviceInfo = TInitDeviceInfo{};
  TBenchDevice d({}, 400, 300);
  if (!d.SwitchOn()) return st.SkipWithError("no switch-on");
  QElapsedTimer t;
  t.start();
  while (d.Device().IsOn() && t.elapsed() < 5000) d.NextFrame(100);
  if (d.Device().IsOn()) return st.SkipWithError("did not switch off");
  // The firmware unwinds and presents the blank screen; then two quiet seconds.
  while (!d.Quiet(2000)) {
  }
  Run(st, "off, after a switch-off", d);
}

void BM_MainMenuWaits(benchmark::State& st) {
  InitDeviceInfo = TInitDeviceInfo{};
  TBenchDevice d;
  if (!d.SwitchOn() || !d.Quiet(50)) return st.SkipWithError("no main menu");
  Run(st, "main menu waits", d);
}

void BM_Tachometer(benchmark::State& st) {
  InitDeviceInfo = TInitDeviceInfo{};
  TBenchDevice d;
  if (!d.SwitchOn()) return st.SkipWithError("no main menu");
  for (int i = 0; i < 3; ++i) d.Key(Short(1));
  if (!d.KeyUntil(Short(4), [](const TBenchDevice::Snapshot& s) { return s.mode == SCR_TACHO; }))
    return st.SkipWithError("no tachometer");
  Run(st, "tachometer", d);
}

void PrintSummary() {
  std::printf("\n%-26s %12s %14s %12s %14s %12s\n", "idle", "device wk/s", "device cpu us/s", "window wk/s",
              "window cpu us/s", "other wk/s");
  for (const TIdleRow& r : g_rows)
    std::printf("%-26s %12.2f %14.1f %12.2f %14.1f %12.2f\n", r.name.c_str(), r.device.wakeups, r.device.cpuUs,
                r.window.wakeups, r.window.cpuUs, r.other.wakeups);
}
}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  for (auto* b : {benchmark::RegisterBenchmark("Baseline", BM_Baseline), benchmark::RegisterBenchmark("Off", BM_Off), benchmark::RegisterBenchmark("OffAfterUse", BM_OffAfterUse),
                  benchmark::RegisterBenchmark("MainMenuWaits", BM_MainMenuWaits),
                  benchmark::RegisterBenchmark("Tachometer", BM_Tachometer)})
    b->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
