// Key to presented frame on the real screens, through the real TDevice and
// the real firmware, beside the two floors no screen can beat: the frame copy
// alone and a key round trip through a firmware that draws one band.
//
// Every timed key is one sample, from PostKey on the window thread to the end
// of the copy of the frame it caused; the window thread waits blocked in its
// event loop meanwhile, as the program's own loop does.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "device.h"
#include "lcd.h"
#include "state.h"
#include "support.h"

namespace {
constexpr int kKeys = 5000;      // timed keys per screen
constexpr int kCopies = 20000;  // timed frame copies

// Medians of the floors, measured first in the same run.
double g_copyNs = 0.0;
double g_emptyNs = 0.0;

enum class TKind { Floor, Screen, Mixed };
struct TRow {
  std::string name;
  double p50, p99;
  TKind kind;
};
std::vector<TRow> g_rows;

void Report(benchmark::State& st, const std::string& name, const TSamples& s, TKind kind) {
  const double p50 = s.Median(), p99 = s.Quantile(0.99);
  st.counters["p50_us"] = p50 / 1e3;
  st.counters["p99_us"] = p99 / 1e3;
  if (g_copyNs > 0) st.counters["x_copy"] = p50 / g_copyNs;
  if (g_emptyNs > 0) st.counters["x_empty"] = p50 / g_emptyNs;
  g_rows.push_back({name, p50, p99, kind});
}

// ---- floors ----

void BM_CopyScreen(benchmark::State& st) {
  TBenchDevice d([] {});
  for (int y = 0; y < LCD_HEIGHT; ++y)
    for (int x = 0; x < LCD_WIDTH; ++x)
      LcdPixel(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
               static_cast<std::uint16_t>((x * 7 + y) % 2 ? LCD_BLUE : LCD_YELLOW), 0);
  SetBacklight(1);
  TSamples s;
  s.Reserve(kCopies);
  for (auto _ : st) {
    const auto t0 = TClock::now();
    d.Device().CopyScreen();
    const double ns = static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(TClock::now() - t0).count());
    st.SetIterationTime(ns / 1e9);
    s.Add(ns);
  }
  g_copyNs = s.Median();
  Report(st, "CopyScreen", s, TKind::Floor);
}

// The trivial firmware: one band in a colour that follows the key, then the frame.
void TrivialFirmware() {
  LcdShow();
  for (;;) {
    const std::uint16_t k = GetKey();
    LcdFill(0, 0, 127, 14, static_cast<std::uint16_t>(k & 1 ? LCD_BLUE : LCD_RED));
    LcdShow();
  }
}

void BM_EmptyKeyRoundTrip(benchmark::State& st) {
  TBenchDevice d(TrivialFirmware);
  if (!d.SwitchOn() || !d.Quiet(30)) return st.SkipWithError("trivial firmware did not start");
  TSamples s;
  s.Reserve(kKeys);
  std::int64_t i = 0;
  for (auto _ : st) {
    const std::int64_t ns = d.Key(Short(i++ % 2 ? 3 : 1));
    if (ns < 0) return st.SkipWithError("no frame");
    st.SetIterationTime(static_cast<double>(ns) / 1e9);
    s.Add(static_cast<double>(ns));
  }
  g_emptyNs = s.Median();
  Report(st, "EmptyKeyRoundTrip", s, TKind::Floor);
}

// ---- the screens ----

using TSnap = TBenchDevice::Snapshot;

bool Keys(TBenchDevice& d, std::uint16_t code, int n) {
  for (int i = 0; i < n; ++i)
    if (d.Key(code) < 0) return false;
  return true;
}

bool ToScreen(TBenchDevice& d, std::uint16_t mode) {
  return d.KeyUntil(Short(4), [mode](const TSnap& s) { return s.mode == mode; });
}

// From the main menu on MEASUREMENT: the entry `downs` below it, selected.
bool FromMain(TBenchDevice& d, int downs, std::uint16_t mode) { return Keys(d, Short(1), downs) && ToScreen(d, mode); }

bool ToAnalysis(TBenchDevice& d) {
  // WATCH, the saved band (20 kHz): acceleration, 25 lines a column.
  return FromMain(d, 2, SCR_BAND_WATCH) && ToScreen(d, SCR_ANALYSIS_WATCH);
}

struct TScreenCase {
  std::string name;
  std::function<bool(TBenchDevice&)> reach;         // untimed
  std::function<std::uint16_t(std::int64_t)> key;    // the timed key of sample i
  bool live = false;  // the screen also presents frames of its own
  // Names the kind of sample i when one case times several kinds of key.
  std::function<std::string(std::int64_t)> step;
  int keys = kKeys;
};

// ORB_BENCH_FRAMES=<folder> keeps each screen's LCD as it was reached and as
// the last sample left it, to check that the keys land where they should.
void SaveFrame(const TBenchDevice& d, const std::string& name, const char* when) {
  const QByteArray dir = qgetenv("ORB_BENCH_FRAMES");
  if (dir.isEmpty()) return;
  std::string file = name + "_" + when + ".png";
  for (char& ch : file)
    if (ch == '/' || ch == ':') ch = '_';
  d.Image().save(QString::fromStdString(dir.toStdString() + "/" + file));
}

void RunScreen(benchmark::State& st, const TScreenCase& c) {
  // Every case starts on the main menu with route point 1 current.
  InitDeviceInfo = TInitDeviceInfo{};
  InitDeviceInfo.SelectedPoint = 1;
  TBenchDevice d;
  if (!d.SwitchOn()) return st.SkipWithError("no main menu");
  if (!c.reach(d)) return st.SkipWithError("screen not reached");
  SaveFrame(d, c.name, "reached");
  if (!c.live && !d.Quiet(30)) return st.SkipWithError("screen does not settle");
  TSamples s;
  s.Reserve(static_cast<std::size_t>(c.keys));
  std::vector<std::pair<std::string, TSamples>> steps;
  std::int64_t i = 0;
  for (auto _ : st) {
    // A live screen refreshes itself every 100 ms: post only well inside
    // that interval, so that the frame timed is the key's own.
    if (c.live && TClock::now() - d.LastFrameAt() > std::chrono::milliseconds(50) && !d.NextFrame())
      return st.SkipWithError("live screen stopped");
    const std::int64_t ns = d.Key(c.key(i));
    if (ns < 0) return st.SkipWithError("no frame");
    st.SetIterationTime(static_cast<double>(ns) / 1e9);
    s.Add(static_cast<double>(ns));
    if (c.step) {
      const std::string name = c.step(i);
      auto it = std::find_if(steps.begin(), steps.end(), [&](const auto& e) { return e.first == name; });
      if (it == steps.end()) it = steps.insert(steps.end(), {name, TSamples{}});
      it->second.Add(static_cast<double>(ns));
    }
    ++i;
  }
  SaveFrame(d, c.name, "last");
  Report(st, c.name, s, c.step ? TKind::Mixed : TKind::Screen);
  for (const auto& [name, samples] : steps)
    g_rows.push_back({name, samples.Median(), samples.Quantile(0.99), TKind::Screen});
}

TScreenCase Case(std::string name, std::function<bool(TBenchDevice&)> reach,
                 std::function<std::uint16_t(std::int64_t)> key) {
  TScreenCase c;
  c.name = std::move(name);
  c.reach = std::move(reach);
  c.key = std::move(key);
  return c;
}

std::uint16_t Alternate(std::int64_t i) { return Short(i % 2 ? 3 : 1); }

// One round of x zoom steps on the 20 kHz spectrum: in to the most expanded
// view, then out to the most compressed one (which zooming in never returns
// to: 1:25 halves to 1:12, 1:12 doubles to 1:24).
constexpr int kZoomIn[] = {25, 12, 6, 3, -1, -2, -4, -8};
constexpr int kZoomOut[] = {-8, -4, -2, -1, 2, 4, 8, 16, 25};
constexpr int kZoomInSteps = 7, kZoomRound = 15;

std::string ScaleName(int s) { return s > 0 ? "1:" + std::to_string(s) : std::to_string(-s) + ":1"; }

std::string ZoomStep(std::int64_t i) {
  const int j = static_cast<int>(i % kZoomRound);
  const int from = j < kZoomInSteps ? kZoomIn[j] : kZoomOut[j - kZoomInSteps];
  const int to = j < kZoomInSteps ? kZoomIn[j + 1] : kZoomOut[j - kZoomInSteps + 1];
  return "AnalysisZoomX " + ScaleName(from) + ">" + ScaleName(to);
}

std::vector<TScreenCase> ScreenCases() {
  std::vector<TScreenCase> v;
  v.push_back(Case("MainMenu", [](TBenchDevice&) { return true; }, [](std::int64_t) { return Short(1); }));
  // Rows 0 -> 1 -> 2 -> 1 -> 0: two redraw the whole point, two only the menu.
  v.push_back(Case("PointRowMove", [](TBenchDevice& d) { return ToScreen(d, SCR_POINT); },
                   [](std::int64_t i) { return Short(i % 4 < 2 ? 4 : 2); }));
  v.push_back(Case("PointStep", [](TBenchDevice& d) { return ToScreen(d, SCR_POINT) && Keys(d, Short(4), 2); },
                   [](std::int64_t) { return Short(1); }));
  // Right across 60 columns, then back.
  v.push_back(Case("AnalysisCursor", ToAnalysis, [](std::int64_t i) { return Short((i / 60) % 2 ? 3 : 1); }));
  // With the cursor on column 4, among the low-frequency peaks, so that the
  // expanded views have something to draw.
  TScreenCase zoom =
      Case("AnalysisZoomX", [](TBenchDevice& d) { return ToAnalysis(d) && Keys(d, Short(1), 4) && Keys(d, Short(4), 1); },
           [](std::int64_t i) { return Short(i % kZoomRound < kZoomInSteps ? 1 : 3); });
  zoom.step = ZoomStep;
  zoom.keys = kZoomRound * 1000;
  v.push_back(zoom);
  // Zoom in, then out again.
  v.push_back(Case("AnalysisZoomY", [](TBenchDevice& d) { return ToAnalysis(d) && Keys(d, Short(4), 2); },
                   [](std::int64_t i) { return Short(i % 2 ? 1 : 3); }));
  // Acceleration, velocity, displacement, round again.
  v.push_back(Case("AnalysisUnit", [](TBenchDevice& d) { return ToAnalysis(d) && Keys(d, Short(4), 3); },
                   [](std::int64_t) { return Short(1); }));
  v.push_back(Case("SettingsList", [](TBenchDevice& d) { return FromMain(d, 4, SCR_SETUP); },
                   [](std::int64_t) { return Short(1); }));
  v.push_back(Case("BandList", [](TBenchDevice& d) { return FromMain(d, 2, SCR_BAND_WATCH); },
                   [](std::int64_t) { return Short(1); }));
  // The day one down, one up.
  v.push_back(Case(
      "ClockField",
      [](TBenchDevice& d) { return FromMain(d, 4, SCR_SETUP) && Keys(d, Short(1), 3) && ToScreen(d, SCR_CLOCK); },
      Alternate));
  // A key redraws the reading at once, as the 100 ms time-out does.
  TScreenCase tacho =
      Case("TachoRefresh", [](TBenchDevice& d) { return FromMain(d, 3, SCR_TACHO); }, [](std::int64_t) { return Short(1); });
  tacho.live = true;
  v.push_back(tacho);
  return v;
}

void PrintSummary() {
  std::printf("\n%-28s %10s %10s %8s %8s  %s\n", "key to frame", "median us", "p99 us", "x copy", "x empty",
              "goal (10x copy, p99 < 1 ms)");
  if (g_copyNs <= 0 || g_emptyNs <= 0) std::printf("(ratios need both floors in the same run)\n");
  for (const TRow& r : g_rows) {
    char xc[16] = "n/a", xe[16] = "n/a";
    if (g_copyNs > 0) std::snprintf(xc, sizeof xc, "%.2f", r.p50 / g_copyNs);
    if (g_emptyNs > 0) std::snprintf(xe, sizeof xe, "%.2f", r.p50 / g_emptyNs);
    const char* verdict = r.kind == TKind::Floor   ? "floor"
                          : r.kind == TKind::Mixed ? "all steps below"
                          : g_copyNs <= 0          ? "?"
                          : (r.p50 <= 10.0 * g_copyNs && r.p99 <= 1e6) ? "met"
                                                                       : "MISSED";
    std::printf("%-28s %10.1f %10.1f %8s %8s  %s\n", r.name.c_str(), r.p50 / 1e3, r.p99 / 1e3, xc, xe, verdict);
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  // Floors first: every screen's ratio is to the floors of the same run.
  benchmark::RegisterBenchmark("CopyScreen", BM_CopyScreen)
      ->UseManualTime()->Iterations(kCopies)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("EmptyKeyRoundTrip", BM_EmptyKeyRoundTrip)
      ->UseManualTime()->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
  for (const TScreenCase& c : ScreenCases())
    benchmark::RegisterBenchmark(c.name.c_str(), [c](benchmark::State& st) { RunScreen(st, c); })
        ->UseManualTime()->Iterations(c.keys)->Unit(benchmark::kMicrosecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
