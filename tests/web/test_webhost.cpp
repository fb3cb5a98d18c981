#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devicerules.h"
#include "lcd.h"
#include "state.h"
#include "strtab.h"
#include "tracelog.h"
#include "webhost.h"

namespace {

// The page on a virtual clock: its events run at their times while the
// device side is suspended, its one timer fires unless the page is hidden
// (a hidden tab's timers may not run at all), and what the host shows is
// recorded.
class TFakePage : public IWebPage {
 public:
  TWebHost* host = nullptr;
  std::uint64_t now = 0;
  std::multimap<std::uint64_t, std::function<void()>> events;
  std::optional<std::uint64_t> armed;
  bool hidden = false;
  bool woken = false;
  std::optional<std::string> storage = std::string();  // none: blocked
  bool storageFull = false;
  int stores = 0, notKept = 0;
  std::string title;
  struct Frame {
    std::vector<std::uint8_t> rgba;
    std::uint16_t threadLang, langId;
  };
  std::vector<Frame> frames;

  void At(std::uint64_t t, std::function<void()> fn) { events.emplace(t, std::move(fn)); }
  void Press(std::uint64_t t, int n, std::uint64_t ms) {
    At(t, [this, n] { host->PointerDown(1, panel::kButtons[n - 1].x - panel::kDevice.x + 20, panel::kButtons[n - 1].y - panel::kDevice.y + 20); });
    At(t + ms, [this] { host->PointerUp(1); });
  }

  // Runs the page until the device waits at or after t with nothing due.
  void RunEvents(std::optional<std::uint64_t> until, bool wakeable) {
    for (;;) {
      if (wakeable && woken) return;
      std::optional<std::uint64_t> next;
      if (!events.empty()) next = events.begin()->first;
      if (armed && !hidden && (!next || *armed < *next)) next = armed;
      if (!next || (until && *next > *until)) break;
      now = std::max(now, *next);
      if (armed && !hidden && *armed == *next) {
        armed.reset();
        host->TimersDue();
      } else {
        auto fn = std::move(events.begin()->second);
        events.erase(events.begin());
        fn();
      }
    }
    if (until) {
      now = std::max(now, *until);
    } else if (!(wakeable && woken)) {
      host->Stop();  // nothing left that could wake it: the run is over
    }
  }

  std::uint64_t Now() override { return now; }
  void Suspend(std::int32_t ms, bool wakeable) override {
    woken = false;
    RunEvents(ms < 0 ? std::nullopt : std::optional<std::uint64_t>(now + static_cast<std::uint64_t>(ms)), wakeable);
  }
  void Wake() override { woken = true; }
  void ArmTimer(std::optional<std::uint64_t> at) override { armed = at; }
  void Present(const std::uint8_t* rgba) override {
    frames.push_back({std::vector<std::uint8_t>(rgba, rgba + 128 * 160 * 4), ThreadLanguage(), LangId});
  }
  void ShowPressed(unsigned) override {}
  void ShowErrorBox(const std::string&, const std::string&) override {}
  void WaitErrorBox() override {}
  void SetLanguageList(const std::vector<std::string>&, int) override {}
  void SetWindowTexts(const std::string& t, const std::string&, const std::string&, const std::string&,
                      std::uint16_t) override {
    title = t;
  }
  std::string UserLocale() override { return "en-GB"; }
  void LocalTime(TRtc& t) override { t = {2026, 12, 8, 10, 30, 0}; }
  bool LoadSettings(std::string& text) override {
    if (!storage) return false;
    text = *storage;
    return true;
  }
  bool StoreSettings(const std::string& text) override {
    ++stores;
    if (!storage || storageFull) return false;
    storage = text;
    return true;
  }
  void SettingsNotKept() override { ++notKept; }

  // Grey: the switched-off LCD.
  bool LastFrameGrey() const {
    const auto& f = frames.back().rgba;
    for (std::size_t i = 0; i < f.size(); i += 4)
      if (f[i] != 0x4E || f[i + 1] != 0x4E || f[i + 2] != 0x4E) return false;
    return true;
  }
};

class WebHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NewProgramRun();
    SetThreadLanguage(1033);
  }
  void Run(TWebHost& host) {
    page.host = &host;
    host.Start();
    host.Run();
  }
  // Holds the power button long enough to switch on at t.
  void SwitchOn(std::uint64_t t) { page.Press(t, 2, 500); }
  // From the main menu down to route point 1 and YES to the speed question,
  // a key every 200 ms after t; the time of the YES.
  std::uint64_t MeasurePointOne(std::uint64_t t) {
    for (int n : {4, 4, 4, 4, 1}) page.Press(t += 200, n, 50);
    return t;
  }
  TFakePage page;
};

std::string Value(const std::string& ini, const std::string& key) {
  const auto at = ini.find(key + "=");
  if (at == std::string::npos) return "?";
  return ini.substr(at + key.size() + 1, ini.find_first_of("\r\n", at) - at - key.size() - 1);
}

}  // namespace

// The power-off interval ends while the firmware pauses on "Measuring...":
// the firmware must unwind at its next wait and the page switch on again.
// The auto step queued after the measurement must not cover the switch-off.
TEST_F(WebHostTest, SwitchOffDuringMeasuringEndsTheFirmwareAndItSwitchesOnAgain) {
  TWebHost host(page);
  host.SetIdleTimes({1000, 800});
  SwitchOn(0);
  const std::uint64_t t = MeasurePointOne(1000);  // the pause runs to t + 1550
  page.At(t + 1200, [&] { EXPECT_FALSE(host.IsOn()) << "the power-off interval did not end in the pause"; });
  page.At(t + 1300, [&] { EXPECT_EQ(Value(page.storage.value_or(""), "MenuMode"), "1"); });
  SwitchOn(t + 6000);
  page.At(t + 7000, [&] {
    EXPECT_TRUE(host.IsOn());
    EXPECT_FALSE(page.LastFrameGrey()) << "the second switch-on shows nothing";
  });
  Run(host);
  bool greyBetween = false;
  for (const auto& f : page.frames) {
    bool grey = true;
    for (std::size_t i = 0; i < f.rgba.size() && grey; i += 4) grey = f.rgba[i] == 0x4E && f.rgba[i + 2] == 0x4E;
    greyBetween = greyBetween || (grey && &f != &page.frames.front());
  }
  EXPECT_TRUE(greyBetween) << "the firmware never unwound to the switched-off LCD";
  EXPECT_TRUE(page.events.empty());
}

// The same in the pause of the auto step, and the power button held again
// before that pause is over: the firmware must still unwind first, and the
// switch-on that came after the switch-off must not be lost.
TEST_F(WebHostTest, SwitchOnWhileTheSwitchedOffFirmwareStillPausesIsServedAfterIt) {
  TWebHost host(page);
  host.SetIdleTimes({2500, 2400});
  SwitchOn(0);
  MeasurePointOne(1000);  // YES let go at 2050: measuring to 3550, auto-step pause to 5550
  page.At(4600, [&] { EXPECT_FALSE(host.IsOn()) << "no switch-off in the auto-step pause"; });
  page.Press(4700, 2, 500);  // switched on at 5200, in the pause
  std::size_t framesAtSwitchOn = 0;
  page.At(5300, [&] {
    EXPECT_TRUE(host.IsOn());
    framesAtSwitchOn = page.frames.size();
  });
  page.At(6500, [&] {
    ASSERT_GT(page.frames.size(), framesAtSwitchOn + 2);
    bool grey = false;
    for (std::size_t i = framesAtSwitchOn; i < page.frames.size(); ++i) {
      const auto& f = page.frames[i].rgba;
      grey = grey || (f[0] == 0x4E && f[4000] == 0x4E && f[80000] == 0x4E);
    }
    EXPECT_TRUE(grey) << "the firmware did not unwind after its pause";
    EXPECT_FALSE(page.LastFrameGrey()) << "the switch-on in the pause was lost";
    EXPECT_EQ(Value(*page.storage, "MenuMode"), "1");
  });
  Run(host);
  EXPECT_TRUE(page.events.empty());
}

// A hidden tab may get no timer at all. When it is shown again, the dimming
// and the switch-off that fell due meanwhile have happened, in their order,
// and the position is kept.
TEST_F(WebHostTest, SwitchOffThatFellDueWhileHiddenHasHappenedWhenShown) {
  TWebHost host(page);
  TraceLog().Clear();
  SwitchOn(0);
  page.Press(2000, 4, 50);  // the route point screen
  page.At(5000, [&] {
    page.hidden = true;
    host.PageHidden();
  });
  page.At(300000, [&] {
    page.hidden = false;
    host.TimersDue();
    EXPECT_FALSE(host.IsOn());
  });
  Run(host);
  EXPECT_TRUE(page.LastFrameGrey());
  EXPECT_EQ(Value(*page.storage, "MenuMode"), "1");
  std::vector<std::string> timers;
  for (const std::string& l : TraceLog().Lines())
    if (l.find("Timer") != std::string::npos) timers.push_back(l);
  EXPECT_EQ(timers, (std::vector<std::string>{"OnBacklightTimer()", "OnOffTimer()", "OnBacklightTimer()"}));
  EXPECT_FALSE(page.armed) << "a timer is left armed while nothing is due";
}

// The page changes the language while the firmware pauses: every frame must
// still be drawn in one language, the firmware's, until its next wait takes
// the change over; the page title follows at once.
TEST_F(WebHostTest, LanguageChangeInAPauseReachesTheFirmwareAtItsNextWait) {
  TWebHost host(page);
  SwitchOn(0);
  const std::uint64_t t = MeasurePointOne(1000);
  page.At(t + 600, [&] {
    host.ChangeLanguage(2);  // RUS, in the "Measuring..." pause
    EXPECT_EQ(page.title, Cp1251ToUtf8(LoadStringTable(1049, 300)));
    EXPECT_EQ(ThreadLanguage(), 1033) << "the suspended firmware's language changed under it";
  });
  page.At(t + 8000, [&] { host.Stop(); });
  Run(host);
  ASSERT_GT(page.frames.size(), 8u);
  for (const auto& f : page.frames) EXPECT_EQ(f.threadLang, f.langId) << "a frame drawn in two languages";
  EXPECT_EQ(page.frames.back().threadLang, 1049);
  EXPECT_EQ(InitDeviceInfo.LanguageName, "RUS");
}

// Stored settings as the browser may hold them: the desktop's file text,
// text that is no profile, text of another version, a blocked or full
// storage. The page always runs, and says once that settings are not kept.
TEST_F(WebHostTest, StoredSettingsOfAnyKindGiveAWorkingPage) {
  struct Case {
    std::optional<std::string> stored;
    bool full;
    std::int16_t highFrequency;
    std::string language;
    int notKept;
  };
  const std::string big(TWebHost::kMaxSettingsText + 1, 'x');
  static const char kGarbage[] = "\0\xff\xfe garbage [[[ =\n=\n";
  const Case cases[] = {
      {"[DeviceState]\r\nHighFrequency=3\r\nAutoStepEn=0\r\n[Language]\r\nName=rus\r\n", false, 3, "RUS", 0},
      {std::string(kGarbage, sizeof kGarbage - 1), false, 5, "ENG (SI)", 0},
      {"{\"version\": 1, \"HighFrequency\": 2}", false, 5, "ENG (SI)", 0},
      {"[DeviceState]\nHighFrequency=abc\nMenuMode=99999\n", false, 5, "ENG (SI)", 0},
      {big, false, 5, "ENG (SI)", 0},
      {std::nullopt, false, 5, "ENG (SI)", 1},
      {"", true, 5, "ENG (SI)", 1},
  };
  for (const Case& c : cases) {
    NewProgramRun();
    SetThreadLanguage(1033);
    TFakePage p;
    p.storage = c.stored;
    p.storageFull = c.full;
    TWebHost host(p);
    p.host = &host;
    p.Press(0, 2, 500);
    p.Press(2000, 4, 50);
    p.At(3000, [&] { host.PageHidden(); });
    p.At(4000, [&] { host.PageHidden(); });
    host.Start();
    EXPECT_EQ(InitDeviceInfo.HighFrequency, c.highFrequency);
    host.Run();
    EXPECT_EQ(InitDeviceInfo.LanguageName, c.language);
    EXPECT_EQ(p.notKept, c.notKept) << "told " << p.notKept << " times";
    EXPECT_EQ(p.stores, 3) << "switch-off at the end and two hides";
    if (p.storage && !c.full) {
      EXPECT_EQ(Value(*p.storage, "MenuMode"), "1");
      EXPECT_EQ(Value(*p.storage, "HighFrequency"), std::to_string(c.highFrequency));
      EXPECT_LE(p.storage->size(), 2048u) << "kept a text that is no profile of ours";
    }
    EXPECT_FALSE(p.frames.empty());
  }
}
