// orb720-script: runs scripted walks through the instrument's firmware and
// writes screenshots (PNG) and recordings (animated GIF).
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "files.h"
#include "runner.h"
#include "scenario.h"

#ifndef ORB_VERSION
#define ORB_VERSION "0"
#endif

namespace {
namespace fs = std::filesystem;

constexpr int kOk = 0, kMismatch = 1, kBadInput = 2, kFailed = 3;

const char kHelp[] =
    R"(Usage: orb720-script [OPTION]... SCENARIO...
Runs each scenario on the instrument's firmware, on a virtual clock, and
writes its screenshots (PNG) and recordings (animated GIF).

Options:
  -o, --out DIR         folder for the pictures (made if missing; default: .)
  -l, --lang LIST       en, ru, us, a comma-separated list, or all: one run per
                        language, and every file name gets _en, _ru or _us
  -z, --zoom N          zoom 1 to 8 until the scenario's first zoom line
  -d, --view VIEW       lcd (the bare LCD) or device (the LCD in the instrument
                        picture) until the scenario's first view line
  -e, --expect-dir DIR  stored pictures for expect (default: the scenario's folder)
  -c, --check           check the scenarios and the stored pictures only
  -v, --verbose         one line per run: virtual time, frames, time taken
  -h, --help            this text
  -V, --version         the version

Scenario commands, one per line ('#' starts a comment):
  lang en|ru|us          language (before the first key: the one the run starts in;
                         later: a change, as the window's language list makes)
  on                     switch on: long press (500 ms) of button 2
  off                    switch off now, as the 60 s power-off timer does
  press B [COUNT]        short press (100 ms) of button B (1 to 4), COUNT times
  long B                 long press (500 ms)
  hold B DURATION        hold: repeat codes from 1.1 s on, every 50 ms
  down B / up            press and keep the button down / release it
  chord [B B]            two buttons together (default 1 and 3)
  wait DURATION          let virtual time pass (40s dims, 60s switches off)
  gap DURATION           idle time after every later key (default 0)
  shot NAME              NAME.png of what the window shows now
  record NAME ... stop   NAME.gif of the LCD between the two lines
  expect NAME            the LCD must equal NAME.txt (a frame as text) or
                         NAME.png (an earlier shot) in the expect folder
  zoom N                 zoom 1 to 8 of later shots, recordings and expects
  view lcd|device        bare LCD or instrument picture for later shots
  clock YYYY-MM-DD HH:MM[:SS]  the host clock from now on
  tacho none|HZ          the tachometer input: no signal, or a speed in Hz
Durations: 250ms, 2s, 1.5s, 1m. Buttons: 1 lower right (next, YES), 2 upper
left (back, power), 3 lower left (previous, NO), 4 upper right (select).
Keys take virtual time: press 100 ms, long and on 500 ms, hold its duration.
The device starts off with a fresh memory and default settings, and the
clock at 2026-12-08 10:30:00.

Exit status: 0 done; 1 an expect failed (NAME.diff.png shows expected,
actual and their difference); 2 bad input, nothing written; 3 the folder
could not be made, a file could not be written or the firmware reported an
error.
)";

struct TOptions {
  std::string out = ".";
  std::vector<std::string> langs;  // empty: the scenario's own, no suffix
  std::string expectDir;
  bool expectDirSet = false;
  TPictureDefaults pictures;
  bool check = false;
  bool verbose = false;
  std::vector<std::string> files;
};

// A line for the terminal: control bytes, and bytes that are no UTF-8, as \xNN.
std::string Printable(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    for (std::size_t k = 1; n && k < n; ++k)
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) n = 0;
    // C1 controls are two-byte sequences from U+0080 to U+009F.
    const bool control = c < 0x20 || c == 0x7F || (c == 0xC2 && n == 2 && static_cast<unsigned char>(s[i + 1]) < 0xA0);
    if (n && !control) {
      out.append(s, i, n);
      i += n;
      continue;
    }
    for (std::size_t k = 0; k < std::max<std::size_t>(n, 1); ++k) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(s[i + k]));
      out += hex;
    }
    i += std::max<std::size_t>(n, 1);
  }
  return out;
}

void Say(const std::string& line) { std::cerr << Printable(line) << "\n"; }

int Usage(const std::string& msg) {
  Say("orb720-script: " + msg);
  std::cerr << "Try 'orb720-script --help'.\n";
  return kBadInput;
}

// -1 when the options are good, else the exit status.
int ParseArgs(int argc, char** argv, TOptions& o) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i], value;
    bool hasValue = false;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      value = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      hasValue = true;
    }
    auto take = [&](std::string& v) {
      if (hasValue) return v = value, true;
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "-h" || a == "--help") {
      std::cout << kHelp;
      return kOk;
    } else if (a == "-V" || a == "--version") {
      std::cout << "orb720-script " << ORB_VERSION << "\n";
      return kOk;
    } else if (a == "-o" || a == "--out") {
      if (!take(o.out) || o.out.empty()) return Usage(a + " needs a folder");
    } else if (a == "-e" || a == "--expect-dir") {
      if (!take(o.expectDir) || o.expectDir.empty()) return Usage(a + " needs a folder");
      o.expectDirSet = true;
    } else if (a == "-l" || a == "--lang") {
      if (!take(v)) return Usage(a + " needs en, ru, us, a list or all");
      std::istringstream in(v);
      for (std::string word; std::getline(in, word, ',');) {
        std::string lower = word;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const std::vector<std::string> named =
            lower == "all" ? std::vector<std::string>{"en", "ru", "us"} : std::vector<std::string>{LanguageOf(word)};
        if (named[0].empty()) return Usage("unknown language '" + word + "' (en, ru, us or all)");
        for (const std::string& l : named) {
          for (const std::string& seen : o.langs)
            if (seen == l) return Usage("language '" + l + "' given twice");
          o.langs.push_back(l);
        }
      }
      if (o.langs.empty()) return Usage(a + " needs en, ru, us, a list or all");
    } else if (a == "-z" || a == "--zoom") {
      if (!take(v)) return Usage(a + " needs a number");
      if (!ParseZoom(v, o.pictures.zoom)) return Usage("bad zoom '" + v + "' (1 to 8)");
    } else if (a == "-d" || a == "--view") {
      if (!take(v) || !ParseView(v, o.pictures.device)) return Usage("the view is lcd or device");
    } else if (a == "-c" || a == "--check") {
      o.check = true;
    } else if (a == "-v" || a == "--verbose") {
      o.verbose = true;
    } else if (a == "--") {
      o.files.insert(o.files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else {
      o.files.push_back(a);
    }
  }
  if (o.files.empty()) return Usage("no scenario given");
  return -1;
}

struct TPlannedRun {
  const TScenario* scenario;
  TRunSettings settings;
};

// Standard output that could not be written (a full disk, a closed pipe)
// is a failure like any other file.
int Finished(int status) {
  errno = 0;
  if (std::cout.flush()) return status;
  Say(std::string("orb720-script: standard output: cannot write: ") + std::strerror(errno ? errno : EIO));
  return kFailed;
}

int Main(int argc, char** argv) {
  TOptions o;
  if (const int rc = ParseArgs(argc, argv, o); rc >= 0) return rc;

  // Everything is read and checked before anything is written.
  std::vector<std::string> errors;
  std::vector<TScenario> scenarios(o.files.size());
  for (std::size_t i = 0; i < o.files.size(); ++i) {
    std::string text, why;
    switch (ReadUpTo(o.files[i], kMaxScenarioBytes, text, why)) {
      case TRead::Ok:
        ParseScenario(o.files[i], text, scenarios[i], errors, o.pictures);
        break;
      case TRead::Failed:
        errors.push_back(o.files[i] + ": cannot read the scenario: " + why);
        break;
      case TRead::TooLarge:
        errors.push_back(o.files[i] + ": too large for a scenario (more than " +
                         std::to_string(kMaxScenarioBytes >> 20) + " MB)");
        break;
    }
  }
  std::vector<TPlannedRun> runs;
  std::map<std::string, std::pair<std::string, std::string>> writers;  // file -> scenario, line
  for (const TScenario& s : scenarios) {
    if (s.path.empty()) continue;
    const std::string expectDir =
        o.expectDirSet ? o.expectDir : fs::path(s.path).parent_path().string();
    const std::vector<std::string> langs = o.langs.empty() ? std::vector<std::string>{""} : o.langs;
    for (const std::string& lang : langs) {
      TPlannedRun r{&s, {}};
      PrepareRun(s, expectDir, lang, lang.empty() ? "" : "_" + lang, r.settings, errors);
      TErrorList clashes(errors, s.path);
      for (const TCommand& c : s.commands) {
        if (c.op != TOp::Shot && c.op != TOp::Record) continue;
        const std::string file = c.name + r.settings.suffix + (c.op == TOp::Shot ? ".png" : ".gif");
        const std::string where = s.path + ":" + std::to_string(c.line);
        // Twice in one scenario is the parser's to report.
        auto [it, fresh] = writers.emplace(file, std::make_pair(s.path, where));
        if (!fresh && it->second.first != s.path)
          clashes.Add(where + ": " + file + " is also written by " + it->second.second);
      }
      clashes.Finish();
      runs.push_back(std::move(r));
    }
  }
  if (!errors.empty()) {
    for (const std::string& e : errors) Say(e);
    return kBadInput;
  }
  if (o.check) return kOk;

  InstallStopHandlers();
  TOutFolder folder;
  if (std::string why; !folder.Open(o.out, why)) {
    Say("orb720-script: " + why);
    return kFailed;
  }
  TFolderSink sink(folder);
  int status = kOk;
  for (TPlannedRun& r : runs) {
    const auto started = std::chrono::steady_clock::now();
    r.settings.sink = &sink;
    const TRunResult result = RunScenario(*r.scenario, r.settings);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    for (const std::string& p : result.problems) Say(p);
    for (const std::string& m : result.mismatches) Say(m);
    if (!result.problems.empty()) status = kFailed;
    if (!result.mismatches.empty() && status == kOk) status = kMismatch;
    if (o.verbose) {
      char figures[160];
      std::snprintf(figures, sizeof figures, "%.1f s virtual, %zu frames, %zu files, %.3f s", result.virtualMs / 1000.0,
                    result.frames, result.outputs.size(), took);
      std::cout << Printable(r.scenario->path + " (" + r.settings.lang + "): " + figures) << "\n";
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) { return Finished(Main(argc, argv)); }
