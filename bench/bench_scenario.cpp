// The scenario runner's throughput: virtual seconds of a scenario per wall
// second, for each scenario in bench/scenarios, beside its floor, the same
// walk on the headless host with nothing recorded (its shots, recordings and
// expects left out). The ratio is what recording costs over running the
// firmware alone. Everything stays in memory; nothing is written.
//
//   orb_bench_scenario [google benchmark flags]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "runner.h"
#include "scenario.h"

namespace {
struct TCase {
  std::string name;
  TScenario full, bare;
};

bool Load(const std::string& path, TCase& c) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> errors;
  if (!in || !ParseScenario(path, text.str(), c.full, errors)) {
    for (const std::string& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
    if (errors.empty()) std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
    return false;
  }
  c.bare = c.full;
  std::erase_if(c.bare.commands, [](const TCommand& k) {
    return k.op == TOp::Shot || k.op == TOp::Record || k.op == TOp::Stop || k.op == TOp::Expect;
  });
  return true;
}

std::map<std::string, double> g_rate;  // virtual s per wall s, by row name, from the reporter

void Run(benchmark::State& st, const TScenario& s) {
  TRunSettings settings;
  std::vector<std::string> errors;
  if (!PrepareRun(s, "", "", "", settings, errors)) {
    st.SkipWithError(errors.empty() ? "cannot prepare" : errors.front().c_str());
    return;
  }
  std::uint64_t virtualMs = 0;
  std::size_t frames = 0, outputs = 0;
  for (auto _ : st) {
    const TRunResult r = RunScenario(s, settings);
    if (!r.problems.empty()) {
      st.SkipWithError(r.problems.front().c_str());
      return;
    }
    virtualMs += r.virtualMs;
    frames = r.frames;
    outputs = r.outputs.size();
    benchmark::DoNotOptimize(r.outputs.data());
  }
  st.counters["virtual_s_per_s"] = benchmark::Counter(static_cast<double>(virtualMs) / 1000.0, benchmark::Counter::kIsRate);
  st.counters["frames"] = static_cast<double>(frames);
  st.counters["outputs"] = static_cast<double>(outputs);
}

// Keeps each row's rate for the summary printed after the runs.
class TReporter : public benchmark::ConsoleReporter {
 public:
  TReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const auto it = r.counters.find("virtual_s_per_s");
      if (it != r.counters.end() && !r.error_occurred) g_rate[r.run_name.function_name] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};
}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string dir = ORB_BENCH_SCENARIOS;
  std::vector<TCase> cases;
  for (const char* name : {"tacho_minute", "walk_minute"}) {
    TCase c;
    c.name = name;
    if (!Load(dir + "/" + name + ".scn", c)) return 2;
    cases.push_back(std::move(c));
  }
  for (const TCase& c : cases) {
    benchmark::RegisterBenchmark((c.name + "/recorded").c_str(),
                                 [&c](benchmark::State& st) { Run(st, c.full); })
        ->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
    benchmark::RegisterBenchmark((c.name + "/bare (floor)").c_str(),
                                 [&c](benchmark::State& st) { Run(st, c.bare); })
        ->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
  }
  TReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n%-16s %14s %14s %8s\n", "scenario", "recorded", "bare (floor)", "ratio");
  for (const TCase& c : cases) {
    const double rec = g_rate[c.name + "/recorded"], bare = g_rate[c.name + "/bare (floor)"];
    std::printf("%-16s %10.0f v/s %10.0f v/s %7.2fx\n", c.name.c_str(), rec, bare, rec > 0 ? bare / rec : 0.0);
  }
  return 0;
}
