#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "soak_events.h"
#include "soak_runner.h"
#include "soak_world.h"

namespace {

std::string ReplayDir() {
  const char* env = std::getenv("ORB_SOURCE_DIR");
  return std::string(env && *env ? env : ORB_SOURCE_DIR) + "/tests/soak/replays";
}

std::vector<std::string> ReplayNames() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(ReplayDir(), ec))
    if (e.path().extension() == ".txt") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// "# open: <kind>" marks a fault that is known and being mended elsewhere.
std::set<std::string> OpenKinds(const std::string& text) {
  std::set<std::string> kinds;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("# open: ", 0) == 0) kinds.insert(line.substr(8));
  return kinds;
}

bool SameRun(const TSoakStats& a, const TSoakStats& b) {
  return a.events == b.events && a.waits == b.waits && a.frames == b.frames && a.switchOns == b.switchOns &&
         a.restarts == b.restarts && a.virtualMs == b.virtualMs && a.offs == b.offs && a.waitStates == b.waitStates &&
         a.knownFaults == b.knownFaults;
}

}  // namespace

// Every reduced repro the soak has found runs clean, on one thread and on
// two. An open fault may still show, but nothing else may.
class SoakReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(SoakReplay, RunsCleanOnOneAndTwoThreads) {
  const std::string text = ReadText(ReplayDir() + "/" + GetParam() + ".txt");
  std::vector<TSoakEvent> events;
  std::string error;
  ASSERT_TRUE(ParseEvents(text, events, error)) << error;
  ASSERT_FALSE(events.empty());
  TSoakOptions opt;
  opt.known = OpenKinds(text);
  for (const bool threaded : {false, true}) {
    opt.threaded = threaded;
    const TSoakResult r = RunIsolated(ListSource(events), opt, TIsolation{});
    EXPECT_TRUE(r.ok) << (threaded ? "two threads: " : "one thread: ") << r.kind << " at event " << r.event << ": "
                      << r.message;
    EXPECT_EQ(r.stats.events, events.size());
    for (const std::string& kind : opt.known)
      if (r.stats.knownFaults.count(kind) == 0)
        std::cout << GetParam() << ": the open fault \"" << kind << "\" no longer shows; drop its open mark\n";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SoakReplay, ::testing::ValuesIn(ReplayNames()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                           std::string n = p.param;
                           for (char& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

TEST(SoakStream, TextFormRoundTripsAndRejectsWhatIsNoEvent) {
  const std::vector<TSoakEvent> events = GenerateEvents(11, 5000);
  std::vector<TSoakEvent> back;
  std::string error;
  ASSERT_TRUE(ParseEvents(FormatEvents(events, "header\nsecond line"), back, error)) << error;
  EXPECT_EQ(back, events);
  // Every kind shows up in a stream of this length.
  std::set<TSoakKind> kinds;
  for (const TSoakEvent& e : events) kinds.insert(e.kind);
  EXPECT_EQ(kinds.size(), 10u);

  ASSERT_TRUE(ParseEvents("  # comment\n\n12 short 4 80  # trailing\r\n0 chord 1 3 0\n", back, error)) << error;
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].gap, 12u);
  EXPECT_EQ(back[1].second, 3);
  for (const char* bad : {"12 short 5 100", "x short 1 100", "10 short 1 300", "10 long 1 1100", "10 hold 1 0",
                          "10 wiggle", "10 short 1", "10 step 3", "-1 step", "10 chord 1 2 300"}) {
    EXPECT_FALSE(ParseEvents(std::string("0 step\n") + bad + "\n", back, error)) << bad;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
}

// A replay is only worth something if a stream always runs the same way: on
// one thread or with the posts coming from a second one, and again.
TEST(Soak, SameStreamRunsTheSameOnOneThreadOrTwo) {
  TSoakOptions opt;
  opt.known = {"texts"};
  const TSoakResult one = RunIsolated(GeneratorSource(7, 1500), opt, TIsolation{});
  opt.threaded = true;
  const TSoakResult two = RunIsolated(GeneratorSource(7, 1500), opt, TIsolation{});
  ASSERT_TRUE(one.ok) << one.kind << ": " << one.message;
  ASSERT_TRUE(two.ok) << two.kind << ": " << two.message;
  EXPECT_TRUE(SameRun(one.stats, two.stats));
  EXPECT_EQ(one.stats.events, 1500u);
  // The stream reached the switch-offs it is there for.
  EXPECT_GT(one.stats.offs.count("key wait"), 0u);
  EXPECT_GT(one.stats.restarts, 0u);
  opt.threaded = false;
  const TSoakResult again = RunIsolated(ListSource(GenerateEvents(7, 1500)), opt, TIsolation{});
  EXPECT_TRUE(SameRun(one.stats, again.stats));
}

// With a stop deadline shorter than the measurement's pause, a switch-off
// during that pause is a failure; the reduction must keep the few events that
// lead there and drop the rest.
TEST(Soak, ReductionKeepsWhatLeadsToTheFailure) {
  TSoakOptions opt;
  opt.known = {"texts"};
  opt.stopDeadlineMs = 100;
  const std::vector<TSoakEvent> stream = GenerateEvents(1, 4000);
  const TSoakResult first = RunIsolated(ListSource(stream), opt, TIsolation{});
  ASSERT_FALSE(first.ok);
  ASSERT_EQ(first.kind, "stop") << first.message;
  const std::vector<TSoakEvent> prefix(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(first.event));
  // In this process: a fork per candidate costs much under the sanitizers.
  TIsolation inProcess;
  inProcess.fork = false;
  const TReduction red = ReduceEvents(prefix, "stop", opt, inProcess, 400, 120);
  ASSERT_TRUE(red.reproduced);
  EXPECT_LE(red.events.size(), 10u) << FormatEvents(red.events, "");
  EXPECT_LT(red.events.size(), prefix.size());
  const TSoakResult again = RunIsolated(ListSource(red.events), opt, TIsolation{});
  EXPECT_EQ(again.kind, "stop");
}

// A crash or a hang of the run is a result with the number of events it got
// to, not the end of the soak.
TEST(Soak, CrashAndHangOfARunAreResults) {
  const TSoakSource crashing = [n = 0](TSoakEvent& e) mutable {
    if (++n == 5) std::abort();
    e = TSoakEvent{};
    return true;
  };
  TIsolation iso;
  iso.quiet = true;
  const TSoakResult crash = RunIsolated(crashing, TSoakOptions{}, iso);
  EXPECT_FALSE(crash.ok);
  EXPECT_EQ(crash.kind, "signal-6");
  EXPECT_EQ(crash.event, 4u);

  const TSoakSource stuck = [n = 0](TSoakEvent& e) mutable {
    if (++n == 3)
      for (;;) ::pause();
    e = TSoakEvent{};
    return true;
  };
  iso.stallSeconds = 1;
  const TSoakResult hang = RunIsolated(stuck, TSoakOptions{}, iso);
  EXPECT_FALSE(hang.ok);
  EXPECT_EQ(hang.kind, "hang");
  EXPECT_EQ(hang.event, 2u);
}
