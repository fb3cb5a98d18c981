#pragma once
// Runs soak streams in a child process, so that a crash, a sanitizer report
// or a hang ends in a result like a broken invariant does, and reduces a
// failing stream to a short one that still fails the same way.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "soak_events.h"
#include "soak_world.h"

struct TIsolation {
  bool fork = true;
  bool quiet = false;           // the child's stderr goes nowhere (reduction runs)
  unsigned stallSeconds = 20;   // no new event for this long counts as a hang
};

// Kinds of the results that did not come from an invariant: "hang",
// "signal-<n>" and "exit-<code>" (a sanitizer report ends with exit code 1).
TSoakResult RunIsolated(const TSoakSource& source, const TSoakOptions& options, const TIsolation& isolation);

struct TReduction {
  std::vector<TSoakEvent> events;
  bool reproduced = false;  // the stream given failed with the kind at all
  std::size_t runs = 0;
  double seconds = 0;
  TSoakResult result;  // of the last failing run
};

// Delta debugging: removes chunks of events, then simplifies the ones left
// (gaps, press lengths, repeats), keeping each change only while the stream
// still fails with the same kind. Stops early at maxRuns or maxSeconds.
TReduction ReduceEvents(const std::vector<TSoakEvent>& events, const std::string& kind, const TSoakOptions& options,
                        const TIsolation& isolation, std::size_t maxRuns = 5000, double maxSeconds = 600,
                        const std::function<void(const std::string&)>& log = {});
