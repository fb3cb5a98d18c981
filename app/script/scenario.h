#pragma once
// Scenario files of orb720-script: one command per line, '#' starts a
// comment, blank lines are ignored. The whole file is parsed and checked
// before anything runs, and every fault is reported as "file:line: message".
#include <cstdint>
#include <string>
#include <vector>

#include "host.h"

enum class TOp : std::uint8_t {
  Lang, On, Off, Press, Long, Hold, Down, Up, Chord, Wait, Gap,
  Shot, Record, Stop, Expect, Zoom, View, Clock, Tacho
};

struct TCommand {
  TOp op = TOp::Wait;
  int line = 0;
  int button = 0, button2 = 0;  // press, long, hold, down, chord
  int count = 1;                // press
  std::uint32_t ms = 0;         // hold, wait
  std::uint32_t gap = 0;        // key commands: idle time after each key (the gap in force)
  std::string name;             // shot, record, expect; lang: en, ru or us
  int zoom = 1;                 // zoom; shot, record and expect carry the one in force
  bool device = false;          // view; shot and expect carry the one in force
  TRtc clock{};                 // clock
  float hz = 0.0f;              // tacho; negative: no signal
};

struct TScenario {
  std::string path;
  // Language lines before the first command that acts or takes time: the
  // language the run starts in (empty: English). Later ones are changes.
  std::string startLang;
  std::vector<TCommand> commands;
  std::uint32_t durationMs = 0;  // virtual time the walk takes
};

// Fixed press lengths of the commands, in milliseconds.
constexpr std::uint32_t kShortPressMs = 100;
constexpr std::uint32_t kLongPressMs = 500;
constexpr std::uint32_t kChordGapMs = 50;  // second button after the first
constexpr std::uint32_t kMaxScenarioMs = 24u * 3600u * 1000u;

// LANGID plus the units flag of a language name (en, ru, us); 0 if unknown.
std::uint32_t LanguageValueOf(const std::string& lang);

// Words that options and scenario lines share, in any case and with leading
// zeros: the language name (en, ru or us; empty if none), a zoom of 1 to 8,
// a view (lcd or device).
std::string LanguageOf(const std::string& word);
bool ParseZoom(const std::string& word, int& zoom);
bool ParseView(const std::string& word, bool& device);

// Text as an editor on any system may have saved it, with lines ending in
// '\n' only: a UTF-8 byte-order mark is dropped, CR LF and a lone CR end a
// line.
std::string UnixLines(const std::string& bytes);
// The largest scenario file read.
constexpr std::size_t kMaxScenarioBytes = 4u << 20;

// Faults of one source (a scenario, a run) past the first kMaxErrors are
// only counted; Finish adds "<source>: and N more errors".
class TErrorList {
 public:
  static constexpr std::size_t kMaxErrors = 20;
  TErrorList(std::vector<std::string>& errors, std::string source) : errors_(errors), source_(std::move(source)) {}
  void Add(const std::string& message);
  void Finish();
  bool Any() const { return count_ > 0; }

 private:
  std::vector<std::string>& errors_;
  std::string source_;
  std::size_t count_ = 0;
};

// Zoom and view in force before the first zoom or view line.
struct TPictureDefaults {
  int zoom = 1;
  bool device = false;
};

// Parses text (the contents of path). Faults go to errors as
// "path:line: message"; false if there was any.
bool ParseScenario(const std::string& path, const std::string& text, TScenario& out,
                   std::vector<std::string>& errors, TPictureDefaults defaults = {});

// A duration such as 250ms, 2s, 1.5s or 1m; false with the reason otherwise.
bool ParseDuration(const std::string& word, std::uint32_t& ms, std::string& why);
