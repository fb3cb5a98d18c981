#include "soak_events.h"

#include <memory>
#include <sstream>

namespace {

struct TKindName {
  TSoakKind kind;
  const char* name;
  int args;  // numbers after the name
};
constexpr TKindName kNames[] = {
    {TSoakKind::Short, "short", 2},     {TSoakKind::Long, "long", 2},         {TSoakKind::Hold, "hold", 2},
    {TSoakKind::Chord, "chord", 3},     {TSoakKind::Step, "step", 0},         {TSoakKind::Refresh, "refresh", 0},
    {TSoakKind::Language, "lang", 1},   {TSoakKind::PowerOff, "poweroff", 0}, {TSoakKind::Dim, "dim", 0},
    {TSoakKind::Close, "close", 0},
};

const TKindName& Name(TSoakKind k) {
  for (const TKindName& n : kNames)
    if (n.kind == k) return n;
  return kNames[0];
}

}  // namespace

std::uint64_t TSoakGenerator::Bits() {
  // splitmix64
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Mostly quick presses, often within a pause of the firmware (the longest is
// 2 s), now and then long enough for the idle timers to fire.
std::uint32_t TSoakGenerator::Gap() {
  const std::uint32_t r = Below(100);
  if (r < 45) return Below(150);
  if (r < 75) return Between(150, 800);
  if (r < 92) return Between(800, 2500);
  if (r < 99) return Between(2500, 8000);
  return Between(30000, 70000);
}

// Select and next lead into the screens, back leads out of them.
std::uint16_t TSoakGenerator::Button() {
  const std::uint32_t r = Below(100);
  return static_cast<std::uint16_t>(r < 32 ? 4 : r < 62 ? 1 : r < 84 ? 3 : 2);
}

TSoakEvent TSoakGenerator::Next() {
  TSoakEvent e;
  e.gap = Gap();
  const std::uint32_t r = Below(1000);
  // A close starts the memory afresh, so it is rare enough for measured
  // points to live on into the analysis.
  if (r < 664) {
    e.kind = TSoakKind::Short;
    e.button = Button();
    e.arg = Between(30, 299);
  } else if (r < 744) {
    e.kind = TSoakKind::Long;
    e.button = Button();
    e.arg = Between(300, 1099);
  } else if (r < 814) {
    // Switch-on: a long press or a hold of button 2.
    const bool hold = Below(3) == 0;
    e.kind = hold ? TSoakKind::Hold : TSoakKind::Long;
    e.button = 2;
    e.arg = hold ? Between(1, 6) : Between(300, 1099);
  } else if (r < 874) {
    e.kind = TSoakKind::Hold;
    e.button = Button();
    e.arg = Below(4) == 0 ? Between(13, 60) : Between(1, 12);
  } else if (r < 892) {
    e.kind = TSoakKind::Chord;
    e.button = Button();
    e.second = static_cast<std::uint16_t>(1 + (e.button + Below(3)) % 4);
    e.arg = Between(0, 299);
  } else if (r < 904) {
    e.kind = TSoakKind::Step;
  } else if (r < 916) {
    e.kind = TSoakKind::Refresh;
  } else if (r < 948) {
    e.kind = TSoakKind::Language;
    e.arg = Below(3);
  } else if (r < 978) {
    e.kind = TSoakKind::PowerOff;
    // Half of the switch-offs come soon after a key, while it may still be at work.
    if (Below(2) == 0) e.gap = Below(2200);
  } else if (r < 992) {
    e.kind = TSoakKind::Dim;
  } else {
    e.kind = TSoakKind::Close;
    if (Below(2) == 0) e.gap = Below(2200);
  }
  return e;
}

std::vector<TSoakEvent> GenerateEvents(std::uint64_t seed, std::size_t count) {
  TSoakGenerator g(seed);
  std::vector<TSoakEvent> v;
  v.reserve(count);
  for (std::size_t i = 0; i < count; ++i) v.push_back(g.Next());
  return v;
}

TSoakSource GeneratorSource(std::uint64_t seed, std::size_t count) {
  auto g = std::make_shared<TSoakGenerator>(seed);
  auto left = std::make_shared<std::size_t>(count);
  return [g, left](TSoakEvent& e) {
    if (*left == 0) return false;
    --*left;
    e = g->Next();
    return true;
  };
}

TSoakSource ListSource(const std::vector<TSoakEvent>& events) {
  auto v = std::make_shared<std::vector<TSoakEvent>>(events);
  auto i = std::make_shared<std::size_t>(0);
  return [v, i](TSoakEvent& e) {
    if (*i >= v->size()) return false;
    e = (*v)[(*i)++];
    return true;
  };
}

std::string FormatEvent(const TSoakEvent& e) {
  const TKindName& n = Name(e.kind);
  std::ostringstream s;
  s << e.gap << ' ' << n.name;
  if (n.args >= 2 && e.kind != TSoakKind::Chord) s << ' ' << e.button << ' ' << e.arg;
  if (e.kind == TSoakKind::Chord) s << ' ' << e.button << ' ' << e.second << ' ' << e.arg;
  if (e.kind == TSoakKind::Language) s << ' ' << e.arg;
  return s.str();
}

bool ParseEvent(const std::string& line, TSoakEvent& e, std::string& error) {
  std::istringstream s(line);
  std::string word;
  long long gap = -1;
  if (!(s >> gap) || gap < 0 || gap > 0xFFFFFFFFll || !(s >> word)) {
    error = "expected \"<gap ms> <event>\"";
    return false;
  }
  const TKindName* found = nullptr;
  for (const TKindName& n : kNames)
    if (word == n.name) found = &n;
  if (!found) {
    error = "unknown event \"" + word + "\"";
    return false;
  }
  long long a[3] = {0, 0, 0};
  for (int i = 0; i < found->args; ++i) {
    if (!(s >> a[i]) || a[i] < 0 || a[i] > 0xFFFFFFFFll) {
      error = std::string("\"") + found->name + "\" needs " + std::to_string(found->args) + " numbers";
      return false;
    }
  }
  if (s >> word) {
    error = "unexpected \"" + word + "\"";
    return false;
  }
  e = TSoakEvent{};
  e.kind = found->kind;
  e.gap = static_cast<std::uint32_t>(gap);
  const auto button = [&](long long b) { return b >= 1 && b <= 4; };
  switch (e.kind) {
    case TSoakKind::Short:
    case TSoakKind::Long:
    case TSoakKind::Hold:
      if (!button(a[0])) {
        error = "button must be 1..4";
        return false;
      }
      e.button = static_cast<std::uint16_t>(a[0]);
      e.arg = static_cast<std::uint32_t>(a[1]);
      break;
    case TSoakKind::Chord:
      if (!button(a[0]) || !button(a[1])) {
        error = "buttons must be 1..4";
        return false;
      }
      e.button = static_cast<std::uint16_t>(a[0]);
      e.second = static_cast<std::uint16_t>(a[1]);
      e.arg = static_cast<std::uint32_t>(a[2]);
      break;
    case TSoakKind::Language:
      e.arg = static_cast<std::uint32_t>(a[0]);
      break;
    default:
      break;
  }
  // Lengths outside a kind's range would stand for another kind of press.
  if ((e.kind == TSoakKind::Short && e.arg >= 300) || (e.kind == TSoakKind::Long && (e.arg < 300 || e.arg >= 1100)) ||
      (e.kind == TSoakKind::Hold && (e.arg < 1 || e.arg > 100000)) || (e.kind == TSoakKind::Chord && e.arg >= 300)) {
    error = "press length out of range for \"" + std::string(found->name) + "\"";
    return false;
  }
  return true;
}

std::string FormatEvents(const std::vector<TSoakEvent>& events, const std::string& header) {
  std::ostringstream s;
  std::istringstream h(header);
  for (std::string line; std::getline(h, line);) s << "# " << line << '\n';
  for (const TSoakEvent& e : events) s << FormatEvent(e) << '\n';
  return s.str();
}

bool ParseEvents(const std::string& text, std::vector<TSoakEvent>& events, std::string& error) {
  events.clear();
  std::istringstream s(text);
  int number = 0;
  for (std::string line; std::getline(s, line);) {
    ++number;
    const std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    TSoakEvent e;
    std::string why;
    if (!ParseEvent(line, e, why)) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    events.push_back(e);
  }
  return true;
}
