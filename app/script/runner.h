#pragma once
// Runs a scenario on the real firmware through the headless host, as the
// window would drive it: the device starts off, button 2 switches it on, the
// idle timers dim it and switch it off, and a language change reaches the
// running firmware at its next key wait. Outputs stay in memory; the caller
// writes them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "headless_host.h"
#include "pngfile.h"
#include "scenario.h"

// A stored picture that an expect compares with: the text form of a frame
// (colour codes only, as the golden frames are kept) or a PNG of the LCD or
// of the instrument at some zoom.
struct TExpected {
  std::string file;
  bool text = false;
  TFrame frame;     // text
  TRgbImage image;  // PNG
  int zoom = 1;
  bool device = false;
};

// <dir>/<base>.txt, else <dir>/<base>.png; false with the reason.
bool LoadExpected(const std::string& dir, const std::string& base, TExpected& e, std::string& why);

struct TRunSettings {
  std::string lang = "en";  // the language the run starts in
  std::string suffix;       // added to every file name, e.g. "_en"
  std::map<std::string, TExpected> expected;  // by the name in the scenario
};

// The settings of one run of s: its language (forced, or the scenario's,
// else English), the suffix, and every picture its expects need, loaded from
// expectDir. Faults go to errors as "file:line: message".
bool PrepareRun(const TScenario& s, const std::string& expectDir, const std::string& forcedLang,
                const std::string& suffix, TRunSettings& out, std::vector<std::string>& errors);

struct TOutput {
  std::string file;  // name only, in the output folder
  bool isGif = false;
  TRgbImage png;
  std::vector<std::uint8_t> gif;
};

struct TRunResult {
  std::vector<TOutput> outputs;
  std::vector<std::string> mismatches;  // failed expects, "file:line: ..."
  std::vector<std::string> problems;    // firmware error boxes and outputs that could not be made
  std::uint32_t virtualMs = 0;
  std::size_t frames = 0;
};

TRunResult RunScenario(const TScenario& s, const TRunSettings& settings);

// The clock the scenario starts with (until a clock command).
constexpr TRtc kScriptClock{2026, 12, 8, 10, 30, 0};
