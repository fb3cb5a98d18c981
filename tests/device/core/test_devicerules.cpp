#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "devicerules.h"
#include "headless_host.h"
#include "runscrn.h"
#include "state.h"
#include "texts.h"

// The window's rules on a virtual clock, as the headless host and the page run
// them: a whole idle day of the instrument from a held power button.
TEST(DeviceRules, HeldPowerButtonThenIdleDimsAndSwitchesOff) {
  std::uint64_t now = 0;
  TKeyChannel keys;
  keys.OnRefresh = [] {};
  TDueTimers timers([&] { return now; });
  TButtonPad buttons(timers.repeat, [&] { return static_cast<std::uint32_t>(now); });
  TDeviceRules rules(keys, timers.powerOff, timers.backlight, buttons);
  std::vector<std::string> trace;
  int saves = 0;
  rules.Trace = [&](const std::string& l) { trace.push_back(l); };
  rules.OnSwitchedOff = [&] { ++saves; };
  buttons.KeyHandler = [&](std::uint16_t c) { rules.PostKey(c); };
  const auto runUntil = [&](std::uint64_t t) {
    while (timers.NextDue() && *timers.NextDue() <= t) {
      now = *timers.NextDue();
      timers.FireOne(now, rules, buttons);
    }
    now = t;
  };
  SetBacklight(0);

  buttons.Press(4);  // off: nothing but the power button counts
  buttons.Release();
  EXPECT_FALSE(rules.IsOn());
  EXPECT_FALSE(keys.Signalled());

  buttons.Press(2);
  runUntil(1100);  // the first hold code switches it on
  ASSERT_TRUE(rules.IsOn());
  EXPECT_FALSE(timers.repeat.Active()) << "the holding press goes on repeating";
  EXPECT_EQ(keys.Take(true), KEY_NONE);
  EXPECT_EQ(GetBacklight(), 1);
  runUntil(3000);
  buttons.Release();
  EXPECT_FALSE(keys.Signalled()) << "the release of the holding press posted a code";

  now = 10000;
  buttons.Press(4);
  runUntil(10100);
  buttons.Release();
  EXPECT_EQ(keys.Take(true), KEY_SHORT + 4);
  runUntil(50099);
  EXPECT_EQ(GetBacklight(), 1);
  runUntil(50100);  // 40 s after the last key
  EXPECT_EQ(GetBacklight(), 0);
  EXPECT_EQ(keys.Take(true), KEY_NONE);
  runUntil(70099);
  EXPECT_TRUE(rules.IsOn()) << "the dimming restarted the power-off interval";
  runUntil(70100);
  EXPECT_FALSE(rules.IsOn());
  EXPECT_EQ(saves, 1);
  // Whatever comes after the switch-off, the firmware's next wait stops it.
  EXPECT_FALSE(rules.PostKey(KEY_SHORT + 1));
  keys.SetKey(KEY_STEP);
  runUntil(200000);  // the backlight timer's last 0x0300 is dropped
  EXPECT_EQ(keys.Take(true), KEY_OFF);
  EXPECT_FALSE(keys.Signalled());
  EXPECT_EQ(trace, (std::vector<std::string>{"", "OnBacklightTimer()", "", "OnOffTimer()", "", "OnBacklightTimer()"}));
}

// A language change meets a running firmware and a key lands on its refresh
// in the same instant. The firmware must first redraw with the new texts and
// only then get the key; the headless host once handed the key over with the
// old texts still in place.
TEST(DeviceRules, KeyOverALanguageChangeWaitsForTheRedrawInTheNewLanguage) {
  THeadlessHost host(1033);
  InitMenuTexts();
  const std::string english = FwText(TX_MEASUREMENT);
  host.EnableIdleTimers();
  host.Press(2, 0);
  host.Release(500);
  host.At(2000, [&] {
    host.ChangeLanguage(1049);
    host.PostKey(KEY_SHORT + 4);
  });
  host.At(3000, [&] { host.Stop(); });
  std::vector<std::pair<std::uint16_t, std::string>> seen;
  host.RunDevice([&] {
    for (;;) {
      const std::uint16_t code = GetKey();
      seen.emplace_back(code, FwText(TX_MEASUREMENT));
    }
  });
  const std::string russian = FwText(TX_MEASUREMENT);
  ASSERT_NE(russian, english);
  const std::vector<std::pair<std::uint16_t, std::string>> want{{KEY_NONE, russian}, {KEY_SHORT + 4, russian}};
  EXPECT_EQ(seen, want);
  EXPECT_EQ(LangId, 1049);
  host.ChangeLanguage(1033);
}
