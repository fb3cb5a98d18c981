// orb720-soak: seeded random event streams against the whole firmware on the
// headless host, with switch-offs at any moment and restarts through the
// settings file. A failure is reduced to a short replayable event list.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "soak_events.h"
#include "soak_runner.h"
#include "soak_world.h"

namespace {

const char kUsage[] =
    "usage: orb720-soak [--seed LIST] [--events N] [--threads] [--known KINDS]\n"
    "                   [--out DIR] [--no-reduce] [--no-fork] [--progress]\n"
    "       orb720-soak --replay FILE [--threads] [--known KINDS] [--reduce] [--out DIR]\n"
    "  --seed LIST   seeds to run, e.g. 7 or 1-4 or 1,5,9 (default 1)\n"
    "  --events N    events per seed (default 20000)\n"
    "  --threads     keys are posted from a second thread through the key channel\n"
    "  --known KINDS failure kinds to count without stopping (comma-separated)\n"
    "  --out DIR     where reduced repros are written (default .)\n"
    "  --replay FILE run the events of a repro file; exit 1 when it fails\n";

bool ParseSeeds(const std::string& s, std::vector<std::uint64_t>& seeds) {
  std::istringstream in(s);
  for (std::string part; std::getline(in, part, ',');) {
    const std::size_t dash = part.find('-');
    try {
      if (dash == std::string::npos) {
        seeds.push_back(std::stoull(part));
      } else {
        const std::uint64_t a = std::stoull(part.substr(0, dash)), b = std::stoull(part.substr(dash + 1));
        if (b < a || b - a > 1000000) return false;
        for (std::uint64_t x = a; x <= b; ++x) seeds.push_back(x);
      }
    } catch (const std::exception&) {
      return false;
    }
  }
  return !seeds.empty();
}

std::set<std::string> ParseKinds(const std::string& s) {
  std::set<std::string> k;
  std::istringstream in(s);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) k.insert(part);
  return k;
}

void PrintStats(const TSoakStats& s, double seconds) {
  std::printf("  %zu events in %.1f s (%.0f events/s), %zu key waits, %zu frames, %.1f h of virtual time\n", s.events,
              seconds, seconds > 0 ? static_cast<double>(s.events) / seconds : 0.0, s.waits, s.frames,
              static_cast<double>(s.virtualMs) / 3.6e6);
  std::size_t offs = 0;
  for (const auto& [k, v] : s.offs) offs += v;
  std::printf("  %zu switch-ons, %zu switch-offs, %zu restarts from the settings file, %zu language changes\n",
              s.switchOns, offs, s.restarts, s.languageChanges);
  std::printf("  switch-offs met:");
  for (const auto& [k, v] : s.offs) std::printf(" %s %zu;", k.c_str(), v);
  std::printf("\n  switch-offs by screen state:");
  for (const auto& [k, v] : s.offStates) std::printf(" %d:%zu", k, v);
  std::printf("\n  key waits by screen state:");
  for (const auto& [k, v] : s.waitStates) std::printf(" %d:%zu", k, v);
  std::printf("\n  slowest stop after a switch-off: %llu ms (virtual)\n",
              static_cast<unsigned long long>(s.slowestStopMs));
  for (const auto& [k, v] : s.knownFaults) {
    const auto first = s.knownFirst.find(k);
    std::printf("  known open fault \"%s\" met %zu times; first: %s\n", k.c_str(), v,
                first == s.knownFirst.end() ? "" : first->second.c_str());
  }
}

std::string WriteRepro(const std::string& dir, const std::string& name, const std::vector<TSoakEvent>& events,
                       const std::string& header) {
  const std::string path = (dir.empty() ? std::string(".") : dir) + "/" + name;
  std::ofstream(path, std::ios::binary) << FormatEvents(events, header);
  return path;
}

// Reduces a failing stream, writes it and prints it.
void Reduce(const std::vector<TSoakEvent>& events, const TSoakResult& failure, const TSoakOptions& opt,
            const TIsolation& iso, const std::string& dir, const std::string& name, const std::string& origin) {
  std::printf("  reducing %zu events...\n", events.size());
  std::fflush(stdout);
  const TReduction red = ReduceEvents(events, failure.kind, opt, iso, 5000, 900, [](const std::string& line) {
    std::printf("    %s\n", line.c_str());
    std::fflush(stdout);
  });
  if (!red.reproduced) {
    std::printf("  the failure did not come back in a separate run; not reduced\n");
    return;
  }
  std::ostringstream h;
  h << "orb720-soak replay: one event per line, \"<gap ms> <event> [arguments]\"\n"
    << origin << ", reduced to " << red.events.size() << " events in " << red.runs << " runs\n"
    << "failure: " << red.result.kind << ": " << red.result.message << "\n";
  const std::string path = WriteRepro(dir, name, red.events, h.str());
  std::printf("  reduced repro (%zu events) in %s; replay: orb720-soak --replay %s\n", red.events.size(), path.c_str(),
              path.c_str());
  std::printf("%s", FormatEvents(red.events, h.str()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::uint64_t> seeds;
  std::size_t events = 20000;
  std::string replay, outDir = ".";
  bool reduce = true, reduceReplay = false, progress = false;
  TSoakOptions opt;
  TIsolation iso;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n%s", a.c_str(), kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--seed") {
      if (!ParseSeeds(value(), seeds)) {
        std::fprintf(stderr, "bad seed list\n%s", kUsage);
        return 2;
      }
    } else if (a == "--events") {
      try {
        events = std::stoull(value());
      } catch (const std::exception&) {
        std::fprintf(stderr, "bad event count\n%s", kUsage);
        return 2;
      }
    } else if (a == "--replay") {
      replay = value();
    } else if (a == "--threads") {
      opt.threaded = true;
    } else if (a == "--known") {
      opt.known = ParseKinds(value());
    } else if (a == "--out") {
      outDir = value();
    } else if (a == "--no-reduce") {
      reduce = false;
    } else if (a == "--reduce") {
      reduceReplay = true;
    } else if (a == "--no-fork") {
      iso.fork = false;
    } else if (a == "--progress") {
      progress = true;
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return a == "--help" || a == "-h" ? 0 : 2;
    }
  }
  if (seeds.empty()) seeds.push_back(1);

  using Clock = std::chrono::steady_clock;
  if (!replay.empty()) {
    std::ifstream in(replay, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::vector<TSoakEvent> list;
    std::string error;
    if (!in || !ParseEvents(ss.str(), list, error)) {
      std::fprintf(stderr, "%s: %s\n", replay.c_str(), in ? error.c_str() : "cannot read");
      return 2;
    }
    const auto t0 = Clock::now();
    const TSoakResult r = RunIsolated(ListSource(list), opt, iso);
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("replay %s: %zu events: %s\n", replay.c_str(), list.size(),
                r.ok ? "ok" : ("FAILED at event " + std::to_string(r.event) + ": " + r.kind + ": " + r.message).c_str());
    PrintStats(r.stats, secs);
    if (!r.ok && reduceReplay)
      Reduce(list, r, opt, iso, outDir, "soak-replay-reduced.txt", "replay of " + replay);
    return r.ok ? 0 : 1;
  }

  bool allOk = true;
  TSoakStats total;
  double totalSecs = 0;
  for (const std::uint64_t seed : seeds) {
    if (progress) {
      opt.progress = [seed, t0 = Clock::now()](std::size_t n) {
        if (n % 1000000 == 0) {
          const double s = std::chrono::duration<double>(Clock::now() - t0).count();
          std::printf("  seed %llu: %zu events, %.0f s\n", static_cast<unsigned long long>(seed), n, s);
          std::fflush(stdout);
        }
      };
    }
    const auto t0 = Clock::now();
    const TSoakResult r = RunIsolated(GeneratorSource(seed, events), opt, iso);
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    totalSecs += secs;
    total.Add(r.stats);
    if (r.ok) {
      std::printf("seed %llu: ok\n", static_cast<unsigned long long>(seed));
      PrintStats(r.stats, secs);
      continue;
    }
    allOk = false;
    std::printf("seed %llu: FAILED at event %zu: %s: %s\n", static_cast<unsigned long long>(seed), r.event,
                r.kind.c_str(), r.message.c_str());
    PrintStats(r.stats, secs);
    if (reduce) {
      const std::vector<TSoakEvent> prefix = GenerateEvents(seed, std::min(events, r.event));
      Reduce(prefix, r, opt, iso, outDir, "soak-seed" + std::to_string(seed) + "-" + r.kind + ".txt",
             "seed " + std::to_string(seed) + ", events 1.." + std::to_string(prefix.size()));
    }
    std::fflush(stdout);
  }
  if (seeds.size() > 1) {
    std::printf("all %zu seeds: %s\n", seeds.size(), allOk ? "ok" : "FAILED");
    PrintStats(total, totalSecs);
  }
  return allOk ? 0 : 1;
}
