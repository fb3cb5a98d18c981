#pragma once
// What the soak does to the instrument: a stream of user and timer events,
// seeded, and kept as text so that a failing stream can be replayed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class TSoakKind : std::uint8_t {
  Short,     // press and release of a button within 300 ms
  Long,      // released after 300..1099 ms
  Hold,      // held: repeat codes from 1100 ms on, every 50 ms
  Chord,     // a second button within 300 ms of the first
  Step,      // 0x0200 posted from outside
  Refresh,   // 0x0300 posted from outside
  Language,  // a pick in the language list
  PowerOff,  // the power-off timer fires now
  Dim,       // the backlight timer fires now
  Close,     // the window closes; the program starts again from its settings file
};

struct TSoakEvent {
  TSoakKind kind = TSoakKind::Short;
  std::uint32_t gap = 0;     // ms from the end of the previous event
  std::uint16_t button = 1;  // presses: 1..4; chord: the first button
  std::uint16_t second = 0;  // chord: the second button
  std::uint32_t arg = 0;     // press or chord ms, hold repeats, language index
  bool operator==(const TSoakEvent&) const = default;
};

// Hands out the next event; false at the end of the stream.
using TSoakSource = std::function<bool(TSoakEvent&)>;

// The same seed gives the same stream on every build (no library
// distributions, whose results differ between implementations).
class TSoakGenerator {
 public:
  explicit TSoakGenerator(std::uint64_t seed) : state_(seed) {}
  TSoakEvent Next();

 private:
  std::uint64_t Bits();
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Bits() % n); }
  std::uint32_t Between(std::uint32_t lo, std::uint32_t hi) { return lo + Below(hi - lo + 1); }
  std::uint32_t Gap();
  std::uint16_t Button();
  std::uint64_t state_;
};

std::vector<TSoakEvent> GenerateEvents(std::uint64_t seed, std::size_t count);
TSoakSource GeneratorSource(std::uint64_t seed, std::size_t count);
TSoakSource ListSource(const std::vector<TSoakEvent>& events);

// One line per event: "<gap ms> <kind> [arguments]"; '#' starts a comment.
std::string FormatEvent(const TSoakEvent& e);
bool ParseEvent(const std::string& line, TSoakEvent& e, std::string& error);
std::string FormatEvents(const std::vector<TSoakEvent>& events, const std::string& header);
// False with the line number in error for a line that is no event.
bool ParseEvents(const std::string& text, std::vector<TSoakEvent>& events, std::string& error);
