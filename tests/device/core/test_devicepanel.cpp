#include <gtest/gtest.h>

#include <vector>

#include "devicepanel.h"
#include "devicerules.h"
#include "host.h"

namespace {
// The window's pointer rules over the shared button timing, on a clock the
// test moves.
struct Panel {
  std::uint64_t now = 0;
  TDueTimers timers{[this] { return now; }};
  TButtonPad buttons{timers.repeat, [this] { return static_cast<std::uint32_t>(now); }};
  TPanelPointers pointers{buttons};
  std::vector<std::uint16_t> codes;
  Panel() {
    buttons.KeyHandler = [this](std::uint16_t c) { codes.push_back(c); };
  }
  void RunUntil(std::uint64_t t) {
    while (timers.repeat.Due() && *timers.repeat.Due() <= t) {
      now = *timers.repeat.Due();
      timers.repeat.Fire(now);
      buttons.OnRepeat();
    }
    now = t;
  }
};

// Centre of button n's rectangle in instrument-picture coordinates.
int X(int n) { return panel::kButtons[n - 1].x - panel::kDevice.x + 24; }
int Y(int n) { return panel::kButtons[n - 1].y - panel::kDevice.y + 28; }
}  // namespace

TEST(DevicePanel, MouseDraggedOffTheButtonStillReleasesItAndTheLcdTakesNoKey) {
  Panel p;
  EXPECT_FALSE(p.pointers.Down(0, X(3), Y(3)));
  EXPECT_EQ(p.pointers.Shown(), 0b0100u);
  p.RunUntil(120);
  p.pointers.Up(0);  // wherever the mouse is now
  EXPECT_EQ(p.codes, std::vector<std::uint16_t>{KEY_SHORT + 3});
  EXPECT_EQ(p.pointers.Shown(), 0u);
  EXPECT_EQ(p.pointers.PressedIndex(), 2) << "the window keeps the index after the release";

  EXPECT_TRUE(p.pointers.Down(0, 50, 65)) << "the LCD's corner";
  EXPECT_TRUE(p.pointers.Down(0, 177, 224));
  p.pointers.Up(0);
  EXPECT_FALSE(p.pointers.Down(0, 178, 224));
  p.pointers.Up(0);
  EXPECT_EQ(p.codes.size(), 1u);
  EXPECT_EQ(p.pointers.PressedIndex(), -1);
  p.pointers.Up(7);  // a pointer that never went down
  EXPECT_EQ(p.codes.size(), 1u);
}

// A second finger that touches the case beside the buttons while the first
// holds the power button: its release must not swallow the first one's, or
// the hold would repeat for ever.
TEST(DevicePanel, FingerBesideTheButtonsLeavesTheHeldButtonItsRelease) {
  Panel p;
  p.pointers.Down(1, X(2), Y(2));
  p.RunUntil(200);
  p.pointers.Down(2, 5, 5);
  p.RunUntil(250);
  p.pointers.Up(2);
  EXPECT_EQ(p.pointers.Shown(), 0b0010u) << "the held button's picture went with the other finger";
  p.RunUntil(1200);
  p.pointers.Up(1);
  EXPECT_EQ(p.codes, (std::vector<std::uint16_t>{KEY_HOLD + 2, KEY_HOLD + 2, KEY_HOLD + 2}));
  EXPECT_FALSE(p.timers.repeat.Active());
  p.RunUntil(5000);
  EXPECT_EQ(p.codes.size(), 3u);
}

TEST(DevicePanel, TwoFingersGiveTheChordAndTheirReleasesNothing) {
  Panel p;
  p.pointers.Down(1, X(1), Y(1));
  p.RunUntil(150);
  p.pointers.Down(2, X(3), Y(3));
  EXPECT_EQ(p.codes, std::vector<std::uint16_t>{KEY_CHORD});
  EXPECT_EQ(p.pointers.Shown(), 0b0101u);
  p.RunUntil(400);
  p.pointers.Up(1);
  EXPECT_EQ(p.pointers.Shown(), 0b0100u);
  p.RunUntil(3000);
  p.pointers.Up(2);
  EXPECT_EQ(p.pointers.Shown(), 0u);
  EXPECT_EQ(p.codes, std::vector<std::uint16_t>{KEY_CHORD}) << "a hold or a release code after the chord";

  // Too late for a chord: the second finger is ignored and the buttons are
  // released when the last finger on one lifts.
  Panel q;
  q.pointers.Down(1, X(4), Y(4));
  q.RunUntil(400);
  q.pointers.Down(2, X(1), Y(1));
  q.RunUntil(500);
  q.pointers.Up(1);
  EXPECT_TRUE(q.codes.empty());
  q.RunUntil(600);
  q.pointers.Up(2);
  EXPECT_EQ(q.codes, std::vector<std::uint16_t>{KEY_LONG + 4});
}

TEST(DevicePanel, LostPointersEndAsReleases) {
  Panel p;
  p.pointers.Down(1, X(4), Y(4));
  p.pointers.Down(2, X(2), Y(2));  // chord
  p.pointers.CancelAll();
  EXPECT_FALSE(p.pointers.AnyDown());
  EXPECT_EQ(p.pointers.Shown(), 0u);
  p.pointers.Down(3, X(4), Y(4));
  p.RunUntil(700);
  p.pointers.CancelAll();
  EXPECT_EQ(p.codes, (std::vector<std::uint16_t>{KEY_CHORD, KEY_LONG + 4}));
  EXPECT_FALSE(p.timers.repeat.Active());
}
