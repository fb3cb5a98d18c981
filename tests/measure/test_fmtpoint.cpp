#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "flash.h"
#include "fmtpoint.h"
#include "host.h"
#include "lcd.h"
#include "headless_host.h"
#include "runscrn.h"
#include "state.h"
#include "texts.h"

namespace {

struct FmtPointTest : ::testing::Test {
  explicit FmtPointTest(std::uint32_t lang = 1033) : host(lang) {}
  void SetUp() override {
    InitMenuTexts();
    RouteStore.clear();
    OffRouteStore.clear();
    BuildDemoRoute();
    CProgramState = TProgramState{};
    CProgramState.PhaseDisplay = 1;
    Select(1);
  }
  void Select(std::int16_t n) {
    CProgramState.npnt = n;
    ReadPoint(n);
  }
  // Marks CurPoint as measured at 10:30 on 8 Dec 2026 with the given values.
  void Measured(float v0, float v1, std::uint16_t status = 0) {
    CurPoint.valid = POINT_VALID;
    const std::uint16_t t[6] = {2026, 12, 8, 10, 30, 0};
    std::memcpy(CurPoint.mtime, t, sizeof t);
    CurPoint.val[0] = v0;
    CurPoint.val[1] = v1;
    CurPoint.status = status;
  }
  THeadlessHost host;
};

struct FmtPointRuTest : FmtPointTest {
  FmtPointRuTest() : FmtPointTest(1049) {}
};
}  // namespace

TEST_F(FmtPointTest, UnmeasuredRoutePointShowsItsSetUp) {
  FmtPoint();
  EXPECT_STREQ(TxtRoute(), "ORB-720 Route\x09\x80");
  EXPECT_STREQ(TxtMachine(), "machine 1\x09\x80");
  EXPECT_STREQ(txtPoint, "H Low-HOR\x09\x80");
  EXPECT_STREQ(txtMode, "Wave  1k");
  EXPECT_STREQ(txtSpeed, "--- RPM");
  EXPECT_STREQ(txtLabel1, "RMS 10-1000");
  EXPECT_STREQ(txtValue1, "----");
  EXPECT_STREQ(txtUnit1, "mm/s");
  EXPECT_STREQ(txtLabel2, "P-P ");
  EXPECT_STREQ(txtValue2, "----");
  EXPECT_STREQ(txtUnit2, "mm/s");
  EXPECT_EQ(colValue1, LCD_WHITE);  // levels, but nothing measured
  EXPECT_EQ(colValue2, LCD_WHITE);
  EXPECT_STREQ(txtTime, "");
}

TEST_F(FmtPointTest, OrientationAndModeFollowThePoint) {
  Select(3);  // axial, 2000 Hz
  FmtPoint();
  EXPECT_STREQ(txtPoint, "A Front-AXLE\x09\x80");
  EXPECT_STREQ(txtMode, "Wave  2k");
  Select(7);  // vertical, no waveform kept
  FmtPoint();
  EXPECT_STREQ(txtPoint, "V Bearing-VERT\x09\x80");
  EXPECT_STREQ(txtSpeed, "");
  EXPECT_STREQ(txtLabel1, "");
  EXPECT_STREQ(txtValue1, "");
  Select(11);
  FmtPoint();
  EXPECT_STREQ(txtMode, "Wave 20k");
  CurPoint.env = 1;
  FmtPoint();
  EXPECT_STREQ(txtMode, "Envelope 5-20k[1k]");
}

TEST_F(FmtPointTest, ValuesAreCutToFiveCharacters) {
  Measured(123.456f, 1234.5f);
  FmtPoint();
  EXPECT_STREQ(txtValue1, "123.4");
  EXPECT_STREQ(txtValue2, "1234.");
  Measured(-1.0f, 0.0f);
  FmtPoint();
  EXPECT_STREQ(txtValue1, "----");
  EXPECT_STREQ(txtValue2, "0.00");
  Measured(1e30f, std::nanf(""));
  FmtPoint();
  EXPECT_EQ(std::strlen(txtValue1), 5u);
  EXPECT_STREQ(txtValue2, "----");
  EXPECT_STREQ(txtTime, "10:30   08.12.26");
}

TEST_F(FmtPointTest, ColoursFollowLevelsAndStatusBits) {
  // Point 1: slot 0 has levels, slot 1 none.
  Measured(5.0f, 5.0f);
  FmtPoint();
  EXPECT_EQ(colValue1, LCD_LIGHT_GREEN);
  EXPECT_EQ(colValue2, LCD_WHITE);
  Measured(15.0f, 5.0f, 0x0001);
  FmtPoint();
  EXPECT_EQ(colValue1, LCD_LIGHT_YELLOW);
  Measured(25.0f, 5.0f, 0x0003);
  FmtPoint();
  EXPECT_EQ(colValue1, LCD_LIGHT_RED);  // the alarm wins over the warning
  Measured(25.0f, 5.0f, 0x0002);
  FmtPoint();
  EXPECT_EQ(colValue1, LCD_LIGHT_RED);
  // Slot 1 reads bits 2 and 3, not bits 0 and 1.
  Select(9);
  Measured(5.0f, 15.0f, 0x0004);
  FmtPoint();
  EXPECT_EQ(colValue1, LCD_WHITE);
  EXPECT_EQ(colValue2, LCD_LIGHT_YELLOW);
  Measured(5.0f, 25.0f, 0x000C);
  FmtPoint();
  EXPECT_EQ(colValue2, LCD_LIGHT_RED);
  // A value not measured stays white whatever the bits say.
  Measured(-1.0f, -1.0f, 0x000F);
  FmtPoint();
  EXPECT_EQ(colValue1, LCD_WHITE);
  EXPECT_EQ(colValue2, LCD_WHITE);
}

TEST_F(FmtPointTest, LabelsAndUnitsByKind) {
  CParam& p = CurPoint.par[1];
  std::memset(&p, 0, sizeof p);
  p.kind = 5;
  p.unit = 101;
  FmtPoint();
  EXPECT_STREQ(txtLabel2, "CF ");
  EXPECT_STREQ(txtUnit2, "");  // a crest factor has no unit
  p.kind = 13;
  p.unit = 202;
  p.order = 2.0f;
  FmtPoint();
  EXPECT_STREQ(txtLabel2, "Frequency x2.0");
  EXPECT_STREQ(txtUnit2, "RPM");
  p.kind = 9;
  p.unit = 502;
  FmtPoint();
  EXPECT_STREQ(txtLabel2, "Phase x2.0");
  EXPECT_STREQ(txtUnit2, "deg");
  p.kind = 7;
  p.qty = 101;
  p.flo = 5.0f;
  p.fhi = 2000.0f;
  FmtPoint();
  EXPECT_STREQ(txtLabel2, "Pk   5-2000");
  EXPECT_STREQ(txtUnit2, "m/s\x80");
  p.kind = 8;
  p.qty = 103;
  FmtPoint();
  EXPECT_STREQ(txtUnit2, "\x81m");
  p.kind = 1;
  p.unit = 201;
  FmtPoint();
  EXPECT_STREQ(txtLabel2, "Average ");
  EXPECT_STREQ(txtUnit2, "Hz ");
  p.kind = 0;
  FmtPoint();
  EXPECT_STREQ(txtLabel2, "");
  EXPECT_STREQ(txtUnit2, "");
  EXPECT_STREQ(txtValue2, "");
  EXPECT_EQ(ParamUnitIndex(6, 999, 101), 0);
  EXPECT_EQ(ParamUnitIndex(2, 101, 501), 6);
}

TEST_F(FmtPointTest, HarmonicPhaseInDegrees) {
  Select(2);  // slot 1: RMS of velocity at order 1, with phase
  FmtPoint();
  EXPECT_STREQ(txtLabel2, "RMS x1.0 ");
  EXPECT_STREQ(txtPhase2, "-- \x7F");
  Measured(3.0f, 4.0f);
  CurPoint.phase[1] = 1.23f;
  FmtPoint();
  EXPECT_STREQ(txtPhase2, "70\x7F");
  EXPECT_STREQ(txtPhase1, "");  // a band value has no phase
  CProgramState.PhaseDisplay = 0;
  FmtPoint();
  EXPECT_STREQ(txtPhase2, "");
}

TEST_F(FmtPointTest, RotationSpeedInHzAndRpm) {
  Measured(1.0f, 1.0f);
  CurPoint.rot = 32.0f;
  FmtPoint();
  EXPECT_STREQ(txtSpeed, "1920\x02RPM");
  CProgramState.FreqDimension = 201;
  FmtPoint();
  EXPECT_STREQ(txtSpeed, "32.00 Hz ");
  CurPoint.rot = -1.0f;
  FmtPoint();
  EXPECT_STREQ(txtSpeed, "--- Hz ");
  CurPoint.rot = 3e38f;  // fits the line cut, never past it
  FmtPoint();
  EXPECT_LT(std::strlen(txtSpeed), TXT_SPEED_SIZE);
  CProgramState.FreqDimension = 202;
  FmtPoint();
  EXPECT_LT(std::strlen(txtSpeed), TXT_SPEED_SIZE);
}

TEST_F(FmtPointTest, TimeOutOfRangeShowsPlaceholders) {
  Measured(1.0f, 1.0f);
  CurPoint.mtime[3] = 25;
  FmtPoint();
  EXPECT_STREQ(txtTime, "xx:xx   08.12.26");
  CurPoint.mtime[3] = 24;
  CurPoint.mtime[4] = 60;
  FmtPoint();
  EXPECT_STREQ(txtTime, "xx:xx   08.12.26");
  CurPoint.mtime[4] = 5;
  CurPoint.mtime[1] = 13;
  FmtPoint();
  EXPECT_STREQ(txtTime, "24:05   xx.xx.xx");
  CurPoint.mtime[1] = 1;
  CurPoint.mtime[0] = 2100;
  FmtPoint();
  EXPECT_STREQ(txtTime, "24:05   xx.xx.xx");
  CurPoint.mtime[0] = 1999;  // no negative year on the screen
  FmtPoint();
  EXPECT_STREQ(txtTime, "24:05   xx.xx.xx");
  CurPoint.mtime[0] = 2099;
  CurPoint.mtime[2] = 31;
  FmtPoint();
  EXPECT_STREQ(txtTime, "24:05   31.01.99");
}

TEST_F(FmtPointTest, EmptyOffRoutePoint) {
  CProgramState.HighFrequency = 5;
  AddOffRouteSlot();
  Select(478);
  CurPoint.valid = 0xFFFF;
  CurPoint.par[0].kind = 6;
  CurPoint.par[0].qty = 102;
  CurPoint.par[1].kind = 6;
  CurPoint.par[1].qty = 101;
  FmtPoint();
  EXPECT_STREQ(TxtRoute(), "Off-route\x09\x80");
  EXPECT_STREQ(TxtMachine(), "");
  EXPECT_STREQ(txtPoint, "H POINT   1\x09\x80");
  EXPECT_STREQ(txtMode, " ---");
  EXPECT_STREQ(txtValue1, "----");
  EXPECT_STREQ(txtValue2, "----");
  EXPECT_EQ(colValue1, LCD_WHITE);
  EXPECT_EQ(colValue2, LCD_WHITE);
  EXPECT_STREQ(txtTime, "");
  // Once measured it shows its band like a route point.
  Measured(1.0f, 1.0f);
  CurPoint.env = 0;
  CurPoint.fmax = 20000;
  FmtPoint();
  EXPECT_STREQ(txtMode, "Wave 20k");
}

TEST_F(FmtPointTest, OverlongRecordTextsStayInsideTheirBuffers) {
  // A blank record: every name byte 0xFF, no terminator.
  std::memset(CurPoint.machine, 'M', sizeof CurPoint.machine);
  std::memset(CurPoint.name, 'N', sizeof CurPoint.name);
  CurPoint.orient = 7;  // no such orientation: no prefix
  CurPoint.par[0].flo = -3e38f;
  CurPoint.par[0].fhi = 3e38f;
  CurPoint.par[1].kind = 13;
  CurPoint.par[1].order = 3e38f;
  Measured(1.0f, 1.0f);
  FmtPoint();
  const std::string machine = TxtMachine();
  ASSERT_LE(machine.size(), POINT_ROW_CHARS);
  EXPECT_EQ(machine.substr(machine.size() - 2), "\x09\x80");  // the band still reaches the edge
  EXPECT_EQ(machine.substr(0, 22), std::string(22, 'M'));
  const std::string point = txtPoint;
  EXPECT_EQ(point, std::string(32, 'N').substr(0, 32) + "\x09\x80");
  EXPECT_LT(std::strlen(txtLabel1), TXT_LABEL_SIZE);
  EXPECT_LT(std::strlen(txtLabel2), TXT_LABEL_SIZE);
}

TEST_F(FmtPointRuTest, RussianTexts) {
  Measured(1.0f, 1.0f);
  CurPoint.rot = 32.0f;
  FmtPoint();
  EXPECT_EQ(std::string(TxtRoute()), LoadStr(700) + "\x09\x80");
  EXPECT_EQ(std::string(txtSpeed), "1920 " + LoadStr(2104));  // a blank, not the narrow gap
  EXPECT_EQ(std::string(txtLabel1), LoadStr(2302) + "10-1000");
  EXPECT_EQ(std::string(txtPoint), LoadStr(2107) + LoadStr(704) + "\x09\x80");
  CProgramState.FreqDimension = 201;
  FmtPoint();
  EXPECT_EQ(std::string(txtSpeed), "32.00 " + LoadStr(2103));
}
