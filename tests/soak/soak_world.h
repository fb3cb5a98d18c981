#pragma once
// Runs an event stream against the whole firmware on the headless host. The
// window's half of the device (power and backlight rules, idle timers, the
// language list, the settings file, close and a fresh start) is played on a
// virtual clock; keys go through the real key channel. The instrument's
// invariants are checked at every key wait of the firmware, which is where
// each event has been taken in and the next one is awaited.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "soak_events.h"

struct TSoakOptions {
  // Posts come from a second thread, in lock-step with the firmware, so that
  // a stream gives the same result on one thread or two.
  bool threaded = false;
  // Settings file of the restarts; empty: a private one under the temp folder.
  std::string iniPath;
  // After a switch-off the firmware must have stopped within this much
  // virtual time (the longest pause of a screen is 2 s).
  std::uint32_t stopDeadlineMs = 4000;
  // Failure kinds that are counted but do not end the run: faults known to
  // be open, so that the rest of the stream still gets checked.
  std::set<std::string> known;
  // Called with the number of events taken so far, at every event.
  std::function<void(std::size_t)> progress;
};

struct TSoakStats {
  std::size_t events = 0;  // taken from the source
  std::size_t waits = 0;   // key waits of the firmware
  std::size_t frames = 0;
  std::size_t switchOns = 0;
  std::size_t restarts = 0;  // fresh program starts from the settings file
  std::size_t languageChanges = 0;
  std::uint64_t virtualMs = 0;
  // Switch-offs (power-off timer or close) by what the firmware was doing.
  std::map<std::string, std::size_t> offs;
  // Switch-offs by screen state, and key waits by screen state.
  std::map<int, std::size_t> offStates;
  std::map<int, std::size_t> waitStates;
  // Failures of the known kinds, and the first message of each.
  std::map<std::string, std::size_t> knownFaults;
  std::map<std::string, std::string> knownFirst;
  // The longest time from a switch-off to the stop of the firmware.
  std::uint64_t slowestStopMs = 0;
  void Add(const TSoakStats& o);
};

struct TSoakResult {
  bool ok = true;
  std::string kind;       // the invariant that broke, or how the run ended
  std::size_t event = 0;  // events taken when it broke: the failing prefix
  std::string message;
  TSoakStats stats;
};

TSoakResult RunSoak(const TSoakSource& source, const TSoakOptions& options = {});
