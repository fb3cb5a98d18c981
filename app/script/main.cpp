// orb720-script: runs scripted walks through the instrument's firmware and
// writes screenshots (PNG) and recordings (animated GIF).
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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
actual and their difference); 2 bad input, nothing written; 3 a picture could
not be written or the firmware reported an error.
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

int Usage(const std::string& msg) {
  std::cerr << "orb720-script: " << msg << "\nTry 'orb720-script --help'.\n";
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

// Writes through a temporary name in the same folder, so that a file is
// either whole or absent.
bool WriteOutput(const fs::path& dir, const TOutput& o, std::string& why) {
  const fs::path final = dir / o.file;
  const fs::path tmp = dir / ("." + o.file + ".tmp" + std::to_string(::getpid()));
  bool ok;
  if (o.isGif) {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(o.gif.data()), static_cast<std::streamsize>(o.gif.size()));
    f.close();
    ok = static_cast<bool>(f);
    if (!ok) why = tmp.string() + ": cannot write";
  } else {
    ok = WritePng(tmp.string(), o.png, &why);
  }
  std::error_code ec;
  if (ok) {
    fs::rename(tmp, final, ec);
    if (ec) why = final.string() + ": " + ec.message();
    ok = !ec;
  }
  if (!ok) fs::remove(tmp, ec);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (const int rc = ParseArgs(argc, argv, o); rc >= 0) return rc;

  // Everything is read and checked before anything is written.
  std::vector<std::string> errors;
  std::vector<TScenario> scenarios(o.files.size());
  for (std::size_t i = 0; i < o.files.size(); ++i) {
    std::ifstream in(o.files[i], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in || fs::is_directory(o.files[i])) {
      errors.push_back(o.files[i] + ": cannot read the scenario");
      continue;
    }
    ParseScenario(o.files[i], text.str(), scenarios[i], errors, o.pictures);
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
      for (const TCommand& c : s.commands) {
        if (c.op != TOp::Shot && c.op != TOp::Record) continue;
        const std::string file = c.name + r.settings.suffix + (c.op == TOp::Shot ? ".png" : ".gif");
        const std::string where = s.path + ":" + std::to_string(c.line);
        // Twice in one scenario is the parser's to report.
        auto [it, fresh] = writers.emplace(file, std::make_pair(s.path, where));
        if (!fresh && it->second.first != s.path)
          errors.push_back(where + ": " + file + " is also written by " + it->second.second);
      }
      runs.push_back(std::move(r));
    }
  }
  if (!errors.empty()) {
    for (const std::string& e : errors) std::cerr << e << "\n";
    return kBadInput;
  }
  if (o.check) return kOk;

  std::error_code ec;
  fs::create_directories(o.out, ec);
  if (!fs::is_directory(o.out)) {
    std::cerr << "orb720-script: cannot make the folder " << o.out << "\n";
    return kFailed;
  }
  int status = kOk;
  for (const TPlannedRun& r : runs) {
    const auto started = std::chrono::steady_clock::now();
    const TRunResult result = RunScenario(*r.scenario, r.settings);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    for (const TOutput& out : result.outputs) {
      std::string why;
      if (!WriteOutput(o.out, out, why)) {
        std::cerr << "orb720-script: " << why << "\n";
        status = kFailed;
      }
    }
    for (const std::string& p : result.problems) std::cerr << p << "\n";
    for (const std::string& m : result.mismatches) std::cerr << m << "\n";
    if (!result.problems.empty()) status = kFailed;
    if (!result.mismatches.empty() && status == kOk) status = kMismatch;
    if (o.verbose) {
      char line[200];
      std::snprintf(line, sizeof line, "%s (%s): %.1f s virtual, %zu frames, %zu files, %.3f s", r.scenario->path.c_str(),
                    r.settings.lang.c_str(), result.virtualMs / 1000.0, result.frames, result.outputs.size(), took);
      std::cout << line << "\n";
    }
  }
  return status;
}
