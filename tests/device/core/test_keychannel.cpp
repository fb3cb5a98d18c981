#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "host.h"
#include "keychannel.h"

using namespace std::chrono;

TEST(KeyChannel, TimeoutPendingAndLastKeyWins) {
  TKeyChannel k;
  const auto t0 = steady_clock::now();
  EXPECT_EQ(k.WaitForKey(60), KEY_NONE);
  EXPECT_GE(duration_cast<milliseconds>(steady_clock::now() - t0).count(), 55);

  k.SetKey(0x1001);
  k.SetKey(0x1003);  // overwrites: the last one wins
  const auto t1 = steady_clock::now();
  EXPECT_EQ(k.WaitForKey(5000), 0x1003);
  EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - t1).count(), 1000);
  // The wait consumed it and reset the event.
  EXPECT_EQ(k.WaitForKey(10), KEY_NONE);
}

TEST(KeyChannel, FlushKeepsOnlySwitchOff) {
  TKeyChannel k;
  k.SetKey(0x1004);
  k.FlushKey();
  EXPECT_EQ(k.PeekSlot(), KEY_NONE);
  k.SetKey(KEY_OFF);
  k.FlushKey();
  EXPECT_EQ(k.PeekSlot(), KEY_OFF);
  EXPECT_EQ(k.WaitForKey(10), KEY_OFF);
}

// A switch-off that meets a busy firmware stays until a wait has taken it:
// the firmware's own auto step, a key or a refresh posted later must not
// hide it, or the device thread never stops.
TEST(KeyChannel, PendingSwitchOffSurvivesLaterPosts) {
  for (std::uint16_t later : {KEY_STEP, std::uint16_t{0x1004}, std::uint16_t{0x3001}}) {
    TKeyChannel k;
    k.SetKey(KEY_OFF);
    k.SetKey(later);
    k.FlushKey();
    k.SetKey(later);
    EXPECT_EQ(k.WaitForKey(10), KEY_OFF) << later;
    // Taken: nothing of what came after it is left.
    EXPECT_EQ(k.WaitForKey(5), KEY_NONE) << later;
  }
  // A refresh after it is the switch-on that follows the switch-off: the wait
  // after the stop returns it at once instead of losing it.
  TKeyChannel k;
  int refreshes = 0;
  k.OnRefresh = [&] { ++refreshes; };
  k.SetKey(KEY_OFF);
  k.SetKey(KEY_NONE);
  k.SetKey(KEY_STEP);
  EXPECT_EQ(k.WaitForKey(10), KEY_OFF);
  const auto t0 = steady_clock::now();
  EXPECT_EQ(k.WaitForKey(5000), KEY_NONE);
  EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - t0).count(), 1000);
  EXPECT_EQ(refreshes, 1);
  // After that the slot takes keys as before.
  k.SetKey(0x1002);
  EXPECT_EQ(k.WaitForKey(10), 0x1002);
}

TEST(KeyChannel, RefreshOnlyWhenWokenWithNone) {
  TKeyChannel k;
  int refreshes = 0;
  k.OnRefresh = [&] { ++refreshes; };
  k.WaitForKey(5);  // time-out: not woken
  EXPECT_EQ(refreshes, 0);
  k.SetKey(0x1001);
  k.WaitForKey(5);
  EXPECT_EQ(refreshes, 0);
  k.SetKey(KEY_NONE);
  EXPECT_EQ(k.WaitForKey(5), KEY_NONE);
  EXPECT_EQ(refreshes, 1);
}

TEST(KeyChannel, LanguageChangeArrivesAsARefreshBeforeAKeyPostedOverIt) {
  TKeyChannel k;
  int refreshes = 0;
  std::uint16_t langAtRefresh = 0;
  k.OnRefresh = [&] { ++refreshes, langAtRefresh = static_cast<std::uint16_t>(k.LanguageValue()); };
  k.SetLanguageValue(1049);
  k.SetKey(KEY_NONE);
  k.SetKey(0x1001);  // over the change's refresh
  EXPECT_EQ(k.WaitForKey(10), KEY_NONE);
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(langAtRefresh, 1049);
  EXPECT_EQ(LangId, 1049);
  const auto t0 = steady_clock::now();
  EXPECT_EQ(k.WaitForKey(5000), 0x1001);
  EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - t0).count(), 1000);
  EXPECT_EQ(refreshes, 1);
  // The same value again is no change; a switch-off is never held back.
  k.SetLanguageValue(1049);
  k.SetKey(0x1002);
  EXPECT_EQ(k.WaitForKey(10), 0x1002);
  k.SetLanguageValue(1033);
  k.SetKey(KEY_OFF);
  EXPECT_EQ(k.WaitForKey(10), KEY_OFF);
  EXPECT_EQ(LangId, 1033);
}

TEST(KeyChannel, LanguageReachesFirmwareGlobalsAtTheWait) {
  TKeyChannel k;
  k.SetLanguageValue(1033 + 65536);
  k.WaitForKey(0);
  EXPECT_EQ(LangId, 1033);
  EXPECT_EQ(UsUnits, 1);
  k.SetLanguageValue(1049);
  k.WaitForKey(0);
  EXPECT_EQ(LangId, 1049);
  EXPECT_EQ(UsUnits, 0);
}

// A poster and a waiter on two threads: every posted key is either returned
// or overwritten by a later one, none appears twice, and the final stop is
// never lost.
TEST(KeyChannel, TwoThreadsNoLostStop) {
  for (int round = 0; round < 20; ++round) {
    TKeyChannel k;
    std::atomic<bool> done{false};
    std::vector<std::uint16_t> seen;
    std::thread waiter([&] {
      for (;;) {
        const std::uint16_t c = k.WaitForKey(kWaitForever);
        if (c == KEY_OFF) break;
        // A key flushed after it was signalled wakes the next wait with
        // KEY_NONE, as a refresh does: not a key, so not counted.
        if (c != KEY_NONE) seen.push_back(c);
        k.FlushKey();
      }
      done = true;
    });
    for (std::uint16_t i = 1; i <= 200; ++i) k.SetKey(static_cast<std::uint16_t>(0x1000 + i));
    k.SetKey(KEY_OFF);
    waiter.join();
    EXPECT_TRUE(done);
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_LT(seen[i - 1], seen[i]);
  }
}

TEST(KeyChannel, LockIsReentrantForRefresh) {
  TKeyChannel k;
  bool ran = false;
  k.OnRefresh = [&] {
    std::lock_guard<TKeyChannel::Lock> g(k.Mutex());  // as LoadFonts does
    ran = true;
  };
  k.SetKey(KEY_NONE);
  k.WaitForKey(10);
  EXPECT_TRUE(ran);
}
