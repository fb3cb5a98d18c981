#include "scenario.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <sstream>

namespace {

struct TSpec {
  const char* word;
  TOp op;
  int minArgs, maxArgs;
  const char* usage;
};

constexpr TSpec kSpecs[] = {
    {"lang", TOp::Lang, 1, 1, "lang en|ru|us"},
    {"on", TOp::On, 0, 0, "on"},
    {"off", TOp::Off, 0, 0, "off"},
    {"press", TOp::Press, 1, 2, "press BUTTON [COUNT]"},
    {"long", TOp::Long, 1, 1, "long BUTTON"},
    {"hold", TOp::Hold, 2, 2, "hold BUTTON DURATION"},
    {"down", TOp::Down, 1, 1, "down BUTTON"},
    {"up", TOp::Up, 0, 0, "up"},
    {"chord", TOp::Chord, 0, 2, "chord [BUTTON BUTTON]"},
    {"wait", TOp::Wait, 1, 1, "wait DURATION"},
    {"gap", TOp::Gap, 1, 1, "gap DURATION"},
    {"shot", TOp::Shot, 1, 1, "shot NAME"},
    {"record", TOp::Record, 1, 1, "record NAME"},
    {"stop", TOp::Stop, 0, 0, "stop"},
    {"expect", TOp::Expect, 1, 1, "expect NAME"},
    {"zoom", TOp::Zoom, 1, 1, "zoom 1..8"},
    {"view", TOp::View, 1, 1, "view lcd|device"},
    {"clock", TOp::Clock, 2, 2, "clock YYYY-MM-DD HH:MM[:SS]"},
    {"tacho", TOp::Tacho, 1, 1, "tacho none|HZ"},
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool ParseInt(const std::string& w, int& v) {
  const char* end = w.data() + w.size();
  auto [p, ec] = std::from_chars(w.data(), end, v);
  return ec == std::errc() && p == end;
}

// Non-negative decimal number: digits with at most one point.
bool ParseDecimal(const std::string& w, double& v) {
  if (w.empty() || w.front() == '.' || w.back() == '.') return false;
  int points = 0;
  for (char c : w) {
    if (c == '.')
      ++points;
    else if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
  }
  if (points > 1 || w.size() > 12) return false;
  v = std::strtod(w.c_str(), nullptr);
  return true;
}

bool ValidName(const std::string& n) {
  if (n.empty() || n.size() > 64) return false;
  return std::all_of(n.begin(), n.end(), [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '-'; });
}

// Splits "a-b-c" style fields into numbers.
bool Fields(const std::string& w, char sep, std::vector<int>& out) {
  out.clear();
  std::string part;
  std::istringstream in(w);
  while (std::getline(in, part, sep)) {
    int v = 0;
    if (part.empty() || !ParseInt(part, v)) return false;
    out.push_back(v);
  }
  return !w.empty() && w.back() != sep;
}

bool ValidDate(int y, int m, int d) {
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1970 || y > 2099 || m < 1 || m > 12 || d < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= (m == 2 && !leap ? 28 : kDays[m - 1]);
}

class TParser {
 public:
  TParser(const std::string& path, TScenario& out, std::vector<std::string>& errors, TPictureDefaults d)
      : path_(path), out_(out), errors_(errors, path), zoom_(d.zoom), device_(d.device) {}

  void Line(int line, const std::string& raw);
  void Finish();
  bool Failed() const { return errors_.Any(); }

 private:
  void Error(int line, const std::string& msg) { errors_.Add(path_ + ":" + std::to_string(line) + ": " + msg); }
  bool Button(int line, const std::string& w, int& b);
  bool Duration(int line, const std::string& w, std::uint32_t& ms);
  void Advance(int line, std::uint64_t ms);
  void Output(int line, const std::string& file);

  std::string path_;
  TScenario& out_;
  TErrorList errors_;
  bool acted_ = false;
  std::uint64_t time_ = 0;
  bool tooLong_ = false;
  int zoom_;
  bool device_;
  std::uint32_t gap_ = 0;
  int recordLine_ = 0;
  std::string recordName_;
  int downLine_ = 0;
  int downButton_ = 0;
  std::map<std::string, int> outputs_;
};

bool TParser::Button(int line, const std::string& w, int& b) {
  if (!ParseInt(w, b)) {
    Error(line, "bad number '" + w + "' (a button is 1 to 4)");
    return false;
  }
  if (b < 1 || b > 4) {
    Error(line, "no button " + w + " (buttons are 1 to 4)");
    return false;
  }
  return true;
}

bool TParser::Duration(int line, const std::string& w, std::uint32_t& ms) {
  std::string why;
  if (ParseDuration(w, ms, why)) return true;
  Error(line, why);
  return false;
}

void TParser::Advance(int line, std::uint64_t ms) {
  time_ += ms;
  if (time_ > kMaxScenarioMs && !tooLong_) {
    tooLong_ = true;
    Error(line, "the scenario runs past 24 hours of virtual time");
  }
}

void TParser::Output(int line, const std::string& file) {
  auto [it, fresh] = outputs_.emplace(file, line);
  if (!fresh) Error(line, file + " is already written at line " + std::to_string(it->second));
}

void TParser::Line(int line, const std::string& raw) {
  std::string text = raw.substr(0, raw.find('#'));
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if (words.empty()) return;
  const std::string word = Lower(words[0]);
  const TSpec* spec = nullptr;
  for (const TSpec& s : kSpecs)
    if (word == s.word) spec = &s;
  if (!spec) {
    Error(line, "unknown command '" + words[0] + "'");
    return;
  }
  const int args = static_cast<int>(words.size()) - 1;
  if (args < spec->minArgs || args > spec->maxArgs) {
    Error(line, std::string("usage: ") + spec->usage);
    return;
  }
  TCommand c;
  c.op = spec->op;
  c.line = line;
  c.zoom = zoom_;
  c.device = device_;
  c.gap = gap_;

  const bool keyCommand = c.op == TOp::On || c.op == TOp::Off || c.op == TOp::Press || c.op == TOp::Long ||
                          c.op == TOp::Hold || c.op == TOp::Down || c.op == TOp::Chord;
  if (downButton_ && keyCommand) {
    Error(line, "button " + std::to_string(downButton_) + " is still down (line " + std::to_string(downLine_) +
                    "): 'up' first");
    return;
  }

  switch (c.op) {
    case TOp::Lang:
      c.name = LanguageOf(words[1]);
      if (c.name.empty()) {
        Error(line, "unknown language '" + words[1] + "' (en, ru or us)");
        return;
      }
      if (!acted_) {
        out_.startLang = c.name;
        return;
      }
      break;
    case TOp::On:
      Advance(line, kLongPressMs + gap_);
      break;
    case TOp::Off:
      break;
    case TOp::Press:
      if (!Button(line, words[1], c.button)) return;
      if (args == 2 && (!ParseInt(words[2], c.count) || c.count < 1 || c.count > 1000)) {
        Error(line, "bad number '" + words[2] + "' (a count is 1 to 1000)");
        return;
      }
      Advance(line, std::uint64_t{kShortPressMs + gap_} * static_cast<std::uint64_t>(c.count));
      break;
    case TOp::Long:
      if (!Button(line, words[1], c.button)) return;
      Advance(line, kLongPressMs + gap_);
      break;
    case TOp::Hold:
      if (!Button(line, words[1], c.button) || !Duration(line, words[2], c.ms)) return;
      Advance(line, std::uint64_t{c.ms} + gap_);
      break;
    case TOp::Down:
      if (!Button(line, words[1], c.button)) return;
      downButton_ = c.button;
      downLine_ = line;
      break;
    case TOp::Up:
      if (!downButton_) {
        Error(line, "'up' without a button down");
        return;
      }
      downButton_ = 0;
      Advance(line, gap_);
      break;
    case TOp::Chord:
      c.button = 1;
      c.button2 = 3;
      if (args == 1) {
        Error(line, "usage: chord [BUTTON BUTTON]");
        return;
      }
      if (args == 2 && (!Button(line, words[1], c.button) || !Button(line, words[2], c.button2))) return;
      if (c.button == c.button2) {
        Error(line, "a chord needs two different buttons");
        return;
      }
      Advance(line, kShortPressMs + gap_);
      break;
    case TOp::Wait:
      if (!Duration(line, words[1], c.ms)) return;
      Advance(line, c.ms);
      break;
    case TOp::Gap:
      if (!Duration(line, words[1], gap_)) return;
      if (gap_ > 60000) {
        Error(line, "a gap is at most 1m");
        return;
      }
      return;
    case TOp::Shot:
    case TOp::Record:
    case TOp::Expect:
      c.name = words[1];
      if (!ValidName(c.name)) {
        Error(line, "bad name '" + c.name + "' (letters, digits, '_' and '-', at most 64)");
        return;
      }
      if (c.op == TOp::Shot) Output(line, c.name + ".png");
      if (c.op == TOp::Record) {
        if (!recordName_.empty()) {
          Error(line, "already recording " + recordName_ + " (line " + std::to_string(recordLine_) + ")");
          return;
        }
        recordName_ = c.name;
        recordLine_ = line;
        Output(line, c.name + ".gif");
      }
      break;
    case TOp::Stop:
      if (recordName_.empty()) {
        Error(line, "'stop' without 'record'");
        return;
      }
      c.name = recordName_;
      recordName_.clear();
      break;
    case TOp::Zoom:
      if (!ParseZoom(words[1], zoom_)) {
        Error(line, "bad number '" + words[1] + "' (a zoom is 1 to 8)");
        zoom_ = 1;
      }
      return;
    case TOp::View:
      if (!ParseView(words[1], device_)) Error(line, "unknown view '" + words[1] + "' (lcd or device)");
      return;
    case TOp::Clock: {
      std::vector<int> d, t;
      if (!Fields(words[1], '-', d) || d.size() != 3 || !Fields(words[2], ':', t) || t.size() < 2 || t.size() > 3 ||
          !ValidDate(d[0], d[1], d[2]) || t[0] < 0 || t[0] > 23 || t[1] < 0 || t[1] > 59 ||
          (t.size() == 3 && (t[2] < 0 || t[2] > 59))) {
        Error(line, "bad date or time '" + words[1] + " " + words[2] + "' (YYYY-MM-DD HH:MM[:SS], years 1970 to 2099)");
        return;
      }
      c.clock = TRtc{static_cast<std::uint16_t>(d[0]), static_cast<std::uint16_t>(d[1]),
                     static_cast<std::uint16_t>(d[2]), static_cast<std::uint16_t>(t[0]),
                     static_cast<std::uint16_t>(t[1]), static_cast<std::uint16_t>(t.size() == 3 ? t[2] : 0)};
      break;
    }
    case TOp::Tacho: {
      double hz = 0;
      if (Lower(words[1]) == "none") {
        c.hz = -1.0f;
      } else if (ParseDecimal(words[1], hz) && hz > 0 && hz <= 1000) {
        c.hz = static_cast<float>(hz);
      } else {
        Error(line, "bad number '" + words[1] + "' (none, or a frequency above 0 and up to 1000 Hz)");
        return;
      }
      break;
    }
  }
  if (c.op != TOp::Clock && c.op != TOp::Tacho) acted_ = true;
  out_.commands.push_back(c);
}

void TParser::Finish() {
  if (!recordName_.empty()) Error(recordLine_, "record " + recordName_ + " has no 'stop'");
  if (downButton_) Error(downLine_, "button " + std::to_string(downButton_) + " is never released ('up')");
  errors_.Finish();
  out_.durationMs = static_cast<std::uint32_t>(std::min<std::uint64_t>(time_, kMaxScenarioMs));
}

}  // namespace

void TErrorList::Add(const std::string& message) {
  if (count_++ < kMaxErrors) errors_.push_back(message);
}

void TErrorList::Finish() {
  if (count_ > kMaxErrors) errors_.push_back(source_ + ": and " + std::to_string(count_ - kMaxErrors) + " more errors");
  count_ = std::min(count_, kMaxErrors);  // a second Finish adds nothing
}

std::string UnixLines(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  const std::size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (std::size_t i = start; i < bytes.size(); ++i) {
    if (bytes[i] != '\r')
      text += bytes[i];
    else if (i + 1 == bytes.size() || bytes[i + 1] != '\n')
      text += '\n';
  }
  return text;
}

std::string LanguageOf(const std::string& word) {
  const std::string lang = Lower(word);
  return LanguageValueOf(lang) ? lang : std::string();
}

bool ParseZoom(const std::string& word, int& zoom) {
  int z = 0;
  if (!ParseInt(word, z) || z < 1 || z > 8) return false;
  zoom = z;
  return true;
}

bool ParseView(const std::string& word, bool& device) {
  const std::string view = Lower(word);
  if (view != "lcd" && view != "device") return false;
  device = view == "device";
  return true;
}

std::uint32_t LanguageValueOf(const std::string& lang) {
  if (lang == "en") return 1033;
  if (lang == "ru") return 1049;
  if (lang == "us") return 1033u | 1u << 16;
  return 0;
}

bool ParseDuration(const std::string& word, std::uint32_t& ms, std::string& why) {
  std::string w = Lower(word);
  if (!w.empty() && w[0] == '-') {
    why = "negative duration '" + word + "'";
    return false;
  }
  std::size_t digits = 0;
  while (digits < w.size() && (std::isdigit(static_cast<unsigned char>(w[digits])) || w[digits] == '.')) ++digits;
  const std::string number = w.substr(0, digits), unit = w.substr(digits);
  double v = 0;
  if (!ParseDecimal(number, v)) {
    why = "bad number '" + word + "' (a duration is like 250ms, 2s, 1.5s or 1m)";
    return false;
  }
  double factor = 0;
  if (unit == "ms")
    factor = 1;
  else if (unit == "s")
    factor = 1000;
  else if (unit == "m")
    factor = 60000;
  if (factor == 0) {
    why = unit.empty() ? "duration '" + word + "' needs a unit: ms, s or m"
                       : "unknown unit '" + unit + "' in '" + word + "' (ms, s or m)";
    return false;
  }
  const double total = std::round(v * factor);
  if (total > kMaxScenarioMs) {
    why = "duration '" + word + "' is longer than 24 hours";
    return false;
  }
  ms = static_cast<std::uint32_t>(total);
  return true;
}

bool ParseScenario(const std::string& path, const std::string& text, TScenario& out,
                   std::vector<std::string>& errors, TPictureDefaults defaults) {
  out = TScenario{};
  out.path = path;
  TParser p(path, out, errors, defaults);
  std::istringstream in(UnixLines(text));
  int line = 0;
  for (std::string raw; std::getline(in, raw);) p.Line(++line, raw);
  p.Finish();
  return !p.Failed();
}
