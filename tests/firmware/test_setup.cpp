#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "flash.h"
#include "host.h"
#include "lcd.h"
#include "golden.h"
#include "keys.h"
#include "headless_host.h"
#include "runscrn.h"
#include "setup.h"
#include "state.h"
#include "texts.h"

namespace {

struct Result {
  bool stopped = false;
  std::uint16_t next = 0xFFFF;
};

// Runs the settings screen until it returns or the script ends (switch-off).
Result RunSetup() {
  Result r;
  try {
    r.next = SetupScrn();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
    r.stopped = true;
  }
  return r;
}

// Does the body of f (above the message footer) show text in colour, as the
// message boxes draw it?
bool ShowsMessage(const TFrame& f, unsigned id, std::int16_t colour) {
  LcdErase(0, 15, 127, 159);
  const std::string text = LoadStr(id);
  LcdStr(0, 50, false, text.c_str(), colour);
  const TFrame ref = CaptureLcd();
  for (int y = 15; y < 134; ++y)
    for (int x = 0; x < LCD_WIDTH; ++x)
      if (f.At(x, y) != ref.At(x, y)) return false;
  return true;
}

bool AnyShowsMessage(const std::vector<TFrame>& frames, unsigned id, std::int16_t colour) {
  for (const TFrame& f : frames)
    if (ShowsMessage(f, id, colour)) return true;
  return false;
}

// Row of the selected (blue band) entry of the upper list, -1 if none.
int SelectedAt(const TFrame& f) {
  for (int i = 0; i < SETUP_MENU_ITEMS; ++i) {
    const CMenuItem& m = SetupMenu[i];
    if (f.At(m.x + 1, m.y + 2) == LCD_BLUE && f.At(m.x + 1, m.y + 4) == LCD_BLUE) return i;
  }
  return -1;
}

struct SetupTest : ::testing::Test {
  void SetUp() override {
    RouteStore.clear();
    OffRouteStore.clear();
    CProgramState = TProgramState{};
    CProgramState.AutoStepEn = 1;
    CProgramState.PhaseDisplay = 0;
    CProgramState.FreqDimension = 1;  // the saved default: shown as RPM
    CProgramState.TypeParamA = 0;
    CProgramState.TypeParamV = 1;
    CProgramState.TypeParamS = 2;
    CProgramState.Backlight = 1;
  }
  // After the host: texts and route in the host's language.
  void Prepare() {
    InitMenuTexts();
    BuildDemoRoute();
    CProgramState.npnt = 1;
    ReadPoint(1);
  }
};

std::string Text(TFwText t) { return std::string(FwText(t), FwTextLen(t)); }

// The template with count characters at pos replaced by value.
std::string Edited(unsigned id, std::size_t pos, std::size_t count, const std::string& value) {
  std::string s = LoadStr(id);
  s.replace(pos, count, value.substr(0, count));
  return s;
}
}  // namespace

TEST_F(SetupTest, MenuGoldenEnglishAndRussian) {
  for (std::uint32_t lang : {1033u, 1049u}) {
    THeadlessHost host(lang);
    Prepare();
    const Result r = RunSetup();
    EXPECT_TRUE(r.stopped);
    ASSERT_FALSE(host.Frames().empty());
    EXPECT_GOLDEN(host.LastFrame(), lang == 1049 ? "setup_menu_ru" : "setup_menu_en");
    EXPECT_EQ(SelectedAt(host.LastFrame()), 0);
  }
}

TEST_F(SetupTest, ValuesReplaceTheDashesAtEachLanguagesPositions) {
  struct Pos {
    std::size_t autoStep, phase, freq, onCount, freqCount;
  };
  for (std::uint32_t lang : {1033u, 1049u}) {
    const Pos p = lang == 1049 ? Pos{15, 8, 11, 4, 6} : Pos{13, 9, 13, 3, 3};
    THeadlessHost host(lang);
    Prepare();
    for (int onInt : {0, 1}) {
      const auto on = static_cast<std::uint16_t>(onInt);
      for (int freqInt : {1, 201, 202}) {
        const auto freq = static_cast<std::uint16_t>(freqInt);
        CProgramState.AutoStepEn = on;
        CProgramState.PhaseDisplay = static_cast<std::uint16_t>(1 - on);
        CProgramState.FreqDimension = freq;
        SetupTexts();
        EXPECT_EQ(Text(TX_AUTOSTEP), Edited(160, p.autoStep, p.onCount, LoadStr(on == 1 ? 2105 : 2106))) << lang;
        EXPECT_EQ(Text(TX_PHASE), Edited(161, p.phase, p.onCount, LoadStr(on == 1 ? 2106 : 2105))) << lang;
        EXPECT_EQ(Text(TX_FREQUENCY), Edited(162, p.freq, p.freqCount, LoadStr(freq == 201 ? 2103 : 2104)))
            << lang << " " << freq;
      }
    }
    // Every kind, and values outside 0..2 shown as the first kind.
    for (int kindInt : {0, 1, 2, -1, 3, 200}) {
      const auto kind = static_cast<std::int16_t>(kindInt);
      CProgramState.TypeParamA = kind;
      CProgramState.TypeParamV = kind;
      CProgramState.TypeParamS = kind;
      SetupTexts();
      const std::string want = LoadStr(kind == 1 ? 2501 : kind == 2 ? 2502 : 2500);
      for (TFwText t : {TX_PARAM_A, TX_PARAM_V, TX_PARAM_S}) EXPECT_STREQ(FwText(t), want.c_str()) << kind;
    }
  }
  // The edits ride on the dashes after the tab: x = 101 in English.
  THeadlessHost host(1033);
  Prepare();
  SetupTexts();
  EXPECT_EQ(std::string(FwText(TX_AUTOSTEP) + 11, 2), "\x09\x65");
}

TEST_F(SetupTest, EditsStayInsideTemplatesTooShortForTheirPosition) {
  // English templates edited at the Russian positions with the Russian values:
  // "Auto step" is 18 bytes long and would take 4 bytes at 15.
  THeadlessHost host(1049);
  host.SetLanguage(1033);
  Prepare();
  host.SetLanguage(1049);
  ASSERT_EQ(LangId, 1049);
  const std::size_t len = FwTextLen(TX_AUTOSTEP);
  ASSERT_EQ(len, 18u);
  SetupTexts();
  EXPECT_EQ(FwTextLen(TX_AUTOSTEP), len);
  EXPECT_EQ(std::strlen(FwText(TX_AUTOSTEP)), len);
  EXPECT_EQ(Text(TX_AUTOSTEP).substr(15), LoadStr(2105).substr(0, 3));
  for (TFwText t : {TX_PHASE, TX_FREQUENCY, TX_PARAM_A}) EXPECT_EQ(std::strlen(FwText(t)), FwTextLen(t)) << t;
}

TEST_F(SetupTest, TogglesChangeTheStateAndTheText) {
  THeadlessHost host;
  Prepare();
  std::vector<std::string> freq;
  host.OnFrame = [&](const TFrame&) { freq.push_back(std::string(FwText(TX_FREQUENCY) + 13, 3)); };
  host.Keys({S(4), S(1), S(4), S(1), S(4), S(4), S(4)});
  EXPECT_TRUE(RunSetup().stopped);
  EXPECT_EQ(CProgramState.AutoStepEn, 0);
  EXPECT_EQ(CProgramState.PhaseDisplay, 1);
  // 1 -> 201 -> 202 -> 201
  EXPECT_EQ(CProgramState.FreqDimension, 201);
  EXPECT_EQ(freq.front(), "RPM");
  EXPECT_EQ(freq.back(), "Hz ");
  EXPECT_EQ(std::string(FwText(TX_AUTOSTEP) + 13, 3), "OFF");
  EXPECT_EQ(std::string(FwText(TX_PHASE) + 9, 3), "ON ");
  EXPECT_EQ(CProgramState.MenuItem, 2);
}

TEST_F(SetupTest, OnePressOnFrequencyFromTheSavedDefaultGives201) {
  THeadlessHost host;
  Prepare();
  host.Keys({S(1), S(1), S(4)});
  RunSetup();
  EXPECT_EQ(CProgramState.FreqDimension, 201);
  CProgramState.FreqDimension = 201;
  THeadlessHost again;
  again.Keys({S(4)});
  CProgramState.MenuItem = 2;
  RunSetup();
  EXPECT_EQ(CProgramState.FreqDimension, 202);
}

TEST_F(SetupTest, ParameterKindsCycle) {
  THeadlessHost host;
  Prepare();
  CProgramState.TypeParamA = 2;
  CProgramState.TypeParamV = 0;
  CProgramState.TypeParamS = 7;  // out of range, shown as "Pk "
  CProgramState.MenuItem = 7;
  std::vector<std::int16_t> a;
  host.OnFrame = [&](const TFrame&) { a.push_back(CProgramState.TypeParamA); };
  host.Keys({S(4), S(4), S(4), S(1), S(4), S(1), S(4)});
  RunSetup();
  EXPECT_EQ(a, (std::vector<std::int16_t>{2, 0, 1, 2, 2, 2, 2, 2}));
  EXPECT_EQ(CProgramState.TypeParamV, 1);
  EXPECT_EQ(CProgramState.TypeParamS, 1);  // steps on from the kind it showed
  EXPECT_STREQ(FwText(TX_PARAM_S), "RMS");
}

TEST_F(SetupTest, RingNavigationAndExits) {
  {
    THeadlessHost host;
    Prepare();
    std::vector<int> rows;
    host.OnFrame = [&](const TFrame&) { rows.push_back(CProgramState.MenuItem); };
    host.Keys({S(3), S(1), S(1), S(3)});
    RunSetup();
    EXPECT_EQ(rows, (std::vector<int>{0, 10, 0, 1, 0}));
  }
  for (int start : {0, 5, 10}) {
    THeadlessHost host;
    CProgramState.MenuItem = static_cast<std::int16_t>(start);
    host.Keys({S(2)});
    const Result r = RunSetup();
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(r.next, SCR_MAIN);
    EXPECT_EQ(CProgramState.MenuItem, 4);
  }
  THeadlessHost host;
  CProgramState.MenuItem = 3;
  host.Keys({S(4)});
  const Result r = RunSetup();
  EXPECT_EQ(r.next, SCR_CLOCK);
  EXPECT_EQ(CProgramState.MenuItem, 3);
}

TEST_F(SetupTest, OtherKeysAreIgnored) {
  THeadlessHost host;
  Prepare();
  const TProgramState before = CProgramState;
  host.Keys({static_cast<std::uint16_t>(KEY_LONG + 1), static_cast<std::uint16_t>(KEY_LONG + 2),
             static_cast<std::uint16_t>(KEY_LONG + 3), static_cast<std::uint16_t>(KEY_LONG + 4), KEY_CHORD,
             static_cast<std::uint16_t>(KEY_HOLD + 2), static_cast<std::uint16_t>(KEY_HOLD + 4), KEY_STEP, KEY_NONE});
  EXPECT_TRUE(RunSetup().stopped);
  EXPECT_EQ(std::memcmp(&before, &CProgramState, sizeof before), 0);
  for (const TFrame& f : host.Frames()) EXPECT_EQ(f, host.Frames().front());
}

TEST_F(SetupTest, DeleteRouteYesNoAndIgnoredKeys) {
  {  // NO, after keys the question ignores
    THeadlessHost host;
    Prepare();
    CProgramState.MenuItem = 4;
    host.Keys({S(4), S(2), S(4), static_cast<std::uint16_t>(KEY_LONG + 1), S(3)});
    EXPECT_TRUE(RunSetup().stopped);
    EXPECT_EQ(RouteStore.size(), 13u);
    EXPECT_EQ(CProgramState.npnt, 1);
    EXPECT_EQ(CProgramState.MenuItem, 4);
    EXPECT_TRUE(AnyShowsMessage(host.Frames(), 1906, LCD_BLUE));
    EXPECT_FALSE(AnyShowsMessage(host.Frames(), 1907, LCD_BLUE));
  }
  {  // YES with a route point current and no off-route data: a new off-route point 1
    THeadlessHost host;
    Prepare();
    CProgramState.MenuItem = 4;
    host.Keys({S(4), S(1), S(4)});
    EXPECT_TRUE(RunSetup().stopped);
    EXPECT_TRUE(RouteStore.empty());
    EXPECT_EQ(CProgramState.StoreStatus, 0);
    EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
    EXPECT_EQ(CurPoint.num, 1);
    EXPECT_STREQ(CurPoint.machine, LoadStr(2110).c_str());
    EXPECT_EQ(OffRouteStore.size(), 1u);  // the free slot for it
    EXPECT_TRUE(AnyShowsMessage(host.Frames(), 1907, LCD_BLUE));
    EXPECT_EQ(CProgramState.MenuItem, 4);
  }
}

TEST_F(SetupTest, DeleteRouteKeepsOrSelectsOffRoutePoints) {
  auto storeOffRoute = [](int n) {
    for (int i = 0; i < n; ++i) {
      AddOffRouteSlot();
      CPoint p{};
      p.num = static_cast<std::int16_t>(i + 1);
      p.val[0] = static_cast<float>(i + 1);
      ASSERT_EQ(WritePoint(static_cast<std::int16_t>(MAX_POINTS - i), &p), 0);
    }
  };
  {  // route point current, two off-route points stored: the first is read
    THeadlessHost host;
    Prepare();
    storeOffRoute(2);
    CProgramState.npnt = 5;
    ReadPoint(5);
    CProgramState.MenuItem = 4;
    host.Keys({S(4), S(1), S(4)});
    RunSetup();
    EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
    EXPECT_EQ(CurPoint.val[0], 1.0f);
    EXPECT_EQ(OffRouteStore.size(), 2u);
  }
  {  // off-route point 2 current: kept
    THeadlessHost host;
    Prepare();
    storeOffRoute(2);
    CProgramState.npnt = MAX_POINTS - 1;
    ReadPoint(MAX_POINTS - 1);
    CProgramState.MenuItem = 4;
    host.Keys({S(4), S(1), S(4)});
    RunSetup();
    EXPECT_EQ(CProgramState.npnt, MAX_POINTS - 1);
    EXPECT_EQ(CurPoint.val[0], 2.0f);
  }
}

TEST_F(SetupTest, DeleteOffRouteYesAndNo) {
  auto setup = [](std::int16_t npnt) {
    AddOffRouteSlot();
    CPoint p{};
    p.val[0] = 9.0f;
    WritePoint(MAX_POINTS, &p);
    CProgramState.npnt = npnt;
    ReadPoint(npnt);
    CProgramState.MenuItem = 5;
  };
  {
    THeadlessHost host;
    Prepare();
    setup(MAX_POINTS);
    host.Keys({S(4), S(3)});
    RunSetup();
    std::int16_t c[2];
    GetPointCounts(c);
    EXPECT_EQ(c[0], 1);
    EXPECT_TRUE(AnyShowsMessage(host.Frames(), 1904, LCD_BLUE));
  }
  {  // YES with the off-route point current: a fresh off-route point 1
    THeadlessHost host;
    Prepare();
    setup(MAX_POINTS);
    host.Keys({S(4), S(1), S(1)});
    RunSetup();
    std::int16_t c[2];
    GetPointCounts(c);
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c[1], 13);
    EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
    EXPECT_EQ(CurPoint.val[0], 0.0f);
    EXPECT_EQ(CurPoint.num, 1);
    EXPECT_TRUE(AnyShowsMessage(host.Frames(), 1905, LCD_BLUE));
  }
  {  // YES with a route point current: it stays
    THeadlessHost host;
    Prepare();
    setup(7);
    host.Keys({S(4), S(1), S(1)});
    RunSetup();
    EXPECT_EQ(CProgramState.npnt, 7);
    EXPECT_EQ(CurPoint.num, RouteStore[6].num);
  }
}

TEST_F(SetupTest, AfterAMemoryErrorDeletesDoNothingAndEraseClearsTheStore) {
  {
    THeadlessHost host;
    Prepare();
    CProgramState.StoreStatus = FLASH_ERROR;
    CProgramState.MenuItem = 4;
    // No question: the second key already moves the cursor.
    host.Keys({S(4), S(1), S(4), S(1)});
    RunSetup();
    EXPECT_EQ(CProgramState.MenuItem, 6);
    EXPECT_EQ(RouteStore.size(), 13u);
    EXPECT_FALSE(AnyShowsMessage(host.Frames(), 1906, LCD_BLUE));
    EXPECT_FALSE(AnyShowsMessage(host.Frames(), 1904, LCD_BLUE));
  }
  {  // erase without an error refuses, in red, and waits
    THeadlessHost host;
    Prepare();
    CProgramState.StoreStatus = 0;
    CProgramState.MenuItem = 6;
    host.Keys({S(4), S(1)});
    RunSetup();
    EXPECT_TRUE(AnyShowsMessage(host.Frames(), 1901, LCD_RED));
    EXPECT_EQ(RouteStore.size(), 13u);
    EXPECT_EQ(CProgramState.MenuItem, 6);  // the key closed the message
    EXPECT_EQ(CProgramState.npnt, 1);
  }
  {  // erase after an error empties the store and clears the error
    THeadlessHost host;
    Prepare();
    CProgramState.StoreStatus = FLASH_ERROR;
    CProgramState.npnt = 3;
    CProgramState.MenuItem = 6;
    host.Keys({S(4)});
    RunSetup();
    EXPECT_TRUE(AnyShowsMessage(host.Frames(), 1902, LCD_BLUE));
    EXPECT_FALSE(AnyShowsMessage(host.Frames(), 1903, LCD_RED));
    EXPECT_EQ(CProgramState.StoreStatus, 0);
    EXPECT_TRUE(RouteStore.empty());
    EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
    EXPECT_EQ(CurPoint.num, 1);
  }
}

TEST_F(SetupTest, SwitchOffUnwindsFromTheListTheQuestionAndTheMessages) {
  // The script ends while the list, a question, a waiting message is shown.
  for (int item : {0, 4, 5, 6}) {
    THeadlessHost host;
    Prepare();
    CProgramState.MenuItem = static_cast<std::int16_t>(item);
    if (item != 0) host.Keys({S(4)});
    const Result r = RunSetup();
    EXPECT_TRUE(r.stopped) << item;
    EXPECT_EQ(RouteStore.size(), 13u) << item;
  }
  {  // after YES, on "Route is deleted": the point has already moved off the route
    THeadlessHost host;
    Prepare();
    CProgramState.MenuItem = 4;
    host.Keys({S(4), S(1)});
    EXPECT_TRUE(RunSetup().stopped);
    EXPECT_TRUE(ShowsMessage(host.LastFrame(), 1907, LCD_BLUE));
    EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
    EXPECT_EQ(CurPoint.num, 1);
    EXPECT_EQ(OffRouteStore.size(), 1u);
  }
  // On "Off-route points are deleted" with off-route point 1 current.
  THeadlessHost host;
  Prepare();
  AddOffRouteSlot();
  CPoint p{};
  p.val[0] = 9.0f;
  ASSERT_EQ(WritePoint(MAX_POINTS, &p), 0);
  CProgramState.npnt = MAX_POINTS;
  ReadPoint(MAX_POINTS);
  CProgramState.MenuItem = 5;
  host.Keys({S(4), S(1)});
  EXPECT_TRUE(RunSetup().stopped);
  EXPECT_TRUE(ShowsMessage(host.LastFrame(), 1905, LCD_BLUE));
  EXPECT_EQ(CProgramState.npnt, MAX_POINTS);
  EXPECT_EQ(CurPoint.val[0], 0.0f);
  EXPECT_EQ(OffRouteStore.size(), 1u);  // the new point's free slot
}

TEST_F(SetupTest, LanguageChangeRedrawsTheListWithValuesFilledIn) {
  TFrame russian;
  {
    THeadlessHost host(1049);
    Prepare();
    RunSetup();
    russian = host.LastFrame();
  }
  THeadlessHost host(1033);
  Prepare();
  bool switched = false;
  host.OnFrame = [&](const TFrame&) {
    if (switched) return;
    switched = true;
    host.SetLanguage(1049);
    InitMenuTexts();  // as the window thread does, then KEY_NONE
  };
  host.Keys({KEY_NONE});
  EXPECT_TRUE(RunSetup().stopped);
  ASSERT_EQ(host.Frames().size(), 2u);
  int title = 0, body = 0;
  for (int y = 0; y < LCD_HEIGHT; ++y)
    for (int x = 0; x < LCD_WIDTH; ++x) (y < 15 ? title : body) += host.LastFrame().At(x, y) != russian.At(x, y);
  EXPECT_EQ(title, 0);
  EXPECT_EQ(body, 0);
  EXPECT_EQ(Text(TX_AUTOSTEP).substr(15, 4), LoadStr(2105));
}
