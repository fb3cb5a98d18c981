#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "flash.h"
#include "host.h"
#include "info.h"
#include "lcd.h"
#include "golden.h"
#include "keys.h"
#include "headless_host.h"
#include "runscrn.h"
#include "setup.h"
#include "state.h"
#include "texts.h"

namespace {
struct InfoTest : ::testing::Test {
  void SetUp() override {
    CProgramState = TProgramState{};
    CProgramState.Backlight = 1;
    DeviceInfo = CDeviceInfo{2014, 0x0201, 0.281f, 0.658f, 1.0f};
  }
};

bool RunInfo() {
  try {
    InfoScrn();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
    return true;
  }
  return false;
}
}  // namespace

TEST_F(InfoTest, GoldenPagesAndValues) {
  for (std::uint32_t lang : {1033u, 1049u}) {
    THeadlessHost host(lang);
    InitMenuTexts();
    DrawTitle(FwText(TX_SETTINGS));
    EXPECT_TRUE(RunInfo());
    EXPECT_STREQ(FwText(TX_SERIAL), " 2014");
    EXPECT_STREQ(FwText(TX_HW), "2.1");
    EXPECT_STREQ(FwText(TX_FW), "2.6.1316");
    ASSERT_EQ(host.Frames().size(), 1u);
    EXPECT_GOLDEN(host.LastFrame(), lang == 1049 ? "info_ru" : "info_en");
  }
}

TEST_F(InfoTest, AnyKeyEndsThePage) {
  for (std::uint16_t key : {S(1), S(2), S(3), S(4), KEY_NONE, KEY_STEP, static_cast<std::uint16_t>(KEY_LONG + 4),
                            KEY_CHORD}) {
    THeadlessHost host;
    InitMenuTexts();
    host.Keys({key});
    EXPECT_FALSE(RunInfo()) << key;
    EXPECT_EQ(host.Frames().size(), 1u);
  }
}

TEST_F(InfoTest, WideValuesAreCutToTheirTemplates) {
  THeadlessHost host;
  InitMenuTexts();
  DeviceInfo.SerialNo = 1234567;
  DeviceInfo.HwVersion = 0x0F0F;  // 15.15 does not fit "*.*"
  const std::size_t serial = FwTextLen(TX_SERIAL), hw = FwTextLen(TX_HW);
  host.Keys({S(2)});
  RunInfo();
  EXPECT_STREQ(FwText(TX_SERIAL), "12345");
  EXPECT_STREQ(FwText(TX_HW), "15.");
  EXPECT_EQ(FwTextLen(TX_SERIAL), serial);
  EXPECT_EQ(FwTextLen(TX_HW), hw);
  // A narrower value ends at its own terminator.
  DeviceInfo.SerialNo = 7;
  THeadlessHost again;
  again.Keys({S(2)});
  RunInfo();
  EXPECT_STREQ(FwText(TX_SERIAL), "    7");
}

TEST_F(InfoTest, AboutEntryShowsThePageAndReturnsToTheList) {
  THeadlessHost host;
  InitMenuTexts();
  BuildDemoRoute();
  CProgramState.FreqDimension = 201;
  CProgramState.MenuItem = 10;
  host.Keys({S(4), S(1)});
  try {
    SetupScrn();
    ADD_FAILURE() << "SetupScrn returned";
  } catch (const Exception&) {
  }
  // list, page, list again (the key closed the page, nothing else happened)
  ASSERT_EQ(host.Frames().size(), 3u);
  EXPECT_EQ(host.Frames()[0], host.Frames()[2]);
  EXPECT_NE(host.Frames()[0], host.Frames()[1]);
  EXPECT_EQ(CProgramState.MenuItem, 10);
  EXPECT_STREQ(FwText(TX_HW), "2.1");
}
