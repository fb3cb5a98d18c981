#pragma once
// Runs a scenario on the real firmware through the headless host, as the
// window would drive it: the device starts off, button 2 switches it on, the
// idle timers dim it and switch it off, and a language change reaches the
// running firmware at its next key wait. Outputs go to a sink as they are
// made, or stay in the result.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "headless_host.h"
#include "pngfile.h"
#include "scenario.h"

// A stored picture that an expect compares with: the text form of a frame
// (colour codes only, as the golden frames are kept) or a PNG of the LCD or
// of the instrument at some zoom, kept as its file's bytes until compared.
struct TExpected {
  std::string file;
  bool text = false;
  TFrame frame;     // text
  std::string png;  // PNG, checked whole
  int zoom = 1;
  bool device = false;
};

// <dir>/<base>.txt, else <dir>/<base>.png; false with the reason. A PNG is
// judged by the size in its header before its pixels are read.
bool LoadExpected(const std::string& dir, const std::string& base, TExpected& e, std::string& why);
// Larger than any picture an expect takes can be as a file.
constexpr std::size_t kMaxPngBytes = 64u << 20;

// Where a run's files go as they are made. Reasons name the file.
class TOutputSink {
 public:
  virtual ~TOutputSink() = default;
  virtual bool Picture(const std::string& file, const TRgbImage& image, std::string& why) = 0;
  // A recording, its bytes as they come; Close(false) drops it.
  virtual bool Open(const std::string& file, std::string& why) = 0;
  virtual bool Append(const std::uint8_t* data, std::size_t size, std::string& why) = 0;
  virtual bool Close(bool keep, std::string& why) = 0;
  // Already written by this program, by this run or an earlier one.
  virtual bool Written(const std::string& file) const = 0;
};

struct TRunSettings {
  std::string lang = "en";  // the language the run starts in
  std::string suffix;       // added to every file name, e.g. "_en"
  std::map<std::string, TExpected> expected;  // by the name in the scenario
  TOutputSink* sink = nullptr;  // none: the outputs stay in the result
};

// The settings of one run of s: its language (forced, or the scenario's,
// else English), the suffix, and every picture its expects need, loaded from
// expectDir. Faults go to errors as "file:line: message".
bool PrepareRun(const TScenario& s, const std::string& expectDir, const std::string& forcedLang,
                const std::string& suffix, TRunSettings& out, std::vector<std::string>& errors);

struct TOutput {
  std::string file;  // name only, in the output folder
  bool isGif = false;
  TRgbImage png;                  // without a sink
  std::vector<std::uint8_t> gif;  // without a sink
};

struct TRunResult {
  std::vector<TOutput> outputs;  // with a sink: the names of the files written
  std::vector<std::string> mismatches;  // failed expects, "file:line: ..."
  std::vector<std::string> problems;    // firmware error boxes and outputs that could not be made
  std::uint32_t virtualMs = 0;
  std::size_t frames = 0;
};

TRunResult RunScenario(const TScenario& s, const TRunSettings& settings);

// The clock the scenario starts with (until a clock command).
constexpr TRtc kScriptClock{2026, 12, 8, 10, 30, 0};
