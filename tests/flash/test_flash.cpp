#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "flash.h"
#include "headless_host.h"

namespace {

// Field readers over raw record bytes, independent of the struct, so that a
// wrong member offset fails here.
std::uint16_t U16(const std::uint8_t* b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::int16_t S16(const std::uint8_t* b, std::size_t at) { return static_cast<std::int16_t>(U16(b, at)); }
std::uint32_t U32(const std::uint8_t* b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
float F32(const std::uint8_t* b, std::size_t at) {
  const std::uint32_t u = U32(b, at);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
std::string Str(const std::uint8_t* b, std::size_t at) {
  const char* p = reinterpret_cast<const char*>(b + at);
  return std::string(p, strnlen(p, 32));
}
const std::uint8_t* Bytes(const CPoint& p) { return reinterpret_cast<const std::uint8_t*>(&p); }

bool AllBytes(const std::uint8_t* b, std::size_t from, std::size_t to, std::uint8_t v) {
  for (std::size_t i = from; i < to; ++i)
    if (b[i] != v) return false;
  return true;
}

class FlashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RouteStore.clear();
    OffRouteStore.clear();
    std::memset(&CurPoint, 0, sizeof CurPoint);
  }
  void TearDown() override { SetUp(); }
  std::int16_t Counts(int i) {
    std::int16_t c[2] = {-7, -7};
    GetPointCounts(c);
    return c[i];
  }
  CPoint Measured(std::int16_t num) {
    CPoint p;
    std::memset(&p, 0, sizeof p);
    p.num = num;
    p.valid = POINT_VALID;
    return p;
  }
  THeadlessHost host_;
};

}  // namespace

TEST_F(FlashTest, DemoRouteCountsAndFirstPoint) {
  BuildDemoRoute();
  EXPECT_EQ(Counts(0), 0);
  EXPECT_EQ(Counts(1), 13);
  EXPECT_TRUE(OffRouteStore.empty());
  const CPoint* p = ReadPoint(1);
  EXPECT_EQ(p, &CurPoint);
  EXPECT_STREQ(p->machine, "machine 1");
  EXPECT_STREQ(p->name, "Low-HOR");
  EXPECT_EQ(p->valid, 0);
  EXPECT_STREQ(ReadPoint(6)->machine, "machine 2");
  EXPECT_STREQ(ReadPoint(13)->name, "Coupl-HOR");
  for (std::int16_t n = 1; n <= 13; ++n) {
    EXPECT_EQ(RouteStore[static_cast<std::size_t>(n - 1)].num, n);
    char m[32];
    EXPECT_EQ(PointMachine(n, m), 0);
    EXPECT_STREQ(m, RouteStore[static_cast<std::size_t>(n - 1)].machine);
  }
  // a second build starts over instead of keeping an old route in front
  RouteStore[0].num = 99;
  BuildDemoRoute();
  EXPECT_EQ(Counts(1), 13);
  EXPECT_EQ(RouteStore[0].num, 1);
  // It ends by setting the counts: off-route data stays, a trailing free slot
  // goes, as with every other count setting.
  AddOffRouteSlot();
  ASSERT_EQ(WritePoint(MAX_POINTS), 0);
  AddOffRouteSlot();
  ASSERT_EQ(OffRouteStore.size(), 2u);
  BuildDemoRoute();
  EXPECT_EQ(Counts(0), 1);
  EXPECT_EQ(Counts(1), 13);
  ASSERT_EQ(OffRouteStore.size(), 1u);
  EXPECT_EQ(OffRouteStore[0].valid, POINT_VALID);
}

TEST_F(FlashTest, DemoRouteInRussian) {
  host_.SetLanguage(1049);
  BuildDemoRoute();
  // Windows-1251: "Агрегат 1"
  EXPECT_STREQ(ReadPoint(1)->machine, "\xC0\xE3\xF0\xE5\xE3\xE0\xF2 1");
  EXPECT_STREQ(ReadPoint(13)->name, "\xCF\xD0\xCE-\xC3\xCE\xD0  13");  // "ПРО-ГОР  13"
  EXPECT_STREQ(ReadPoint(6)->machine, "\xC0\xE3\xF0\xE5\xE3\xE0\xF2 2");
}

TEST_F(FlashTest, DemoPointTwoAndFourAtTheirOffsets) {
  BuildDemoRoute(1.0f);
  const std::uint8_t* b = Bytes(RouteStore[1]);
  EXPECT_EQ(U16(b, 0), 0);
  EXPECT_EQ(U16(b, 2), 0);
  EXPECT_TRUE(AllBytes(b, 4, 84, 0));
  EXPECT_EQ(Str(b, 84), "machine 1");
  EXPECT_EQ(Str(b, 116), "High-HOR");
  EXPECT_TRUE(AllBytes(b, 148, 180, 0));
  EXPECT_EQ(S16(b, 180), 2);
  EXPECT_EQ(S16(b, 182), 0);
  EXPECT_EQ(F32(b, 184), 1.0f);
  EXPECT_EQ(S16(b, 188), 101);
  EXPECT_EQ(S16(b, 190), 0);
  EXPECT_EQ(U16(b, 192), 3);
  EXPECT_EQ(U16(b, 194), 1000);
  EXPECT_EQ(S16(b, 196), 1);
  EXPECT_EQ(S16(b, 198), 1);
  // par[0]: band 10..1000 Hz, warn 5, alarm 10
  EXPECT_EQ(U16(b, 200), 6);
  EXPECT_EQ(U16(b, 202), 102);
  EXPECT_EQ(F32(b, 204), 10.0f);
  EXPECT_EQ(F32(b, 208), 1000.0f);
  EXPECT_EQ(F32(b, 212), 5.0f);
  EXPECT_EQ(F32(b, 216), 10.0f);
  // par[1]: harmonic, flo 10, order 1
  EXPECT_EQ(U16(b, 220), 10);
  EXPECT_EQ(U16(b, 222), 102);
  EXPECT_EQ(F32(b, 224), 10.0f);
  EXPECT_EQ(F32(b, 228), 1.0f);
  EXPECT_EQ(F32(b, 232), 0.0f);
  EXPECT_EQ(F32(b, 236), 0.0f);
  EXPECT_TRUE(AllBytes(b, 240, 384, 0));  // par[2] empty, nothing measured

  const std::uint8_t* d = Bytes(RouteStore[3]);
  EXPECT_EQ(Str(d, 84), "machine 1");
  EXPECT_EQ(Str(d, 116), "Coupl-VERT");
  EXPECT_EQ(S16(d, 180), 4);
  EXPECT_EQ(S16(d, 182), 1);
  EXPECT_EQ(U16(d, 192), 0);
  EXPECT_EQ(U16(d, 194), 4000);
  EXPECT_EQ(S16(d, 196), 1);
  // par[0] without levels
  EXPECT_EQ(U16(d, 200), 6);
  EXPECT_EQ(F32(d, 204), 10.0f);
  EXPECT_EQ(F32(d, 208), 1000.0f);
  EXPECT_EQ(U32(d, 212), 0u);
  EXPECT_EQ(U32(d, 216), 0u);
  // par[1]: a unit code in the first two bytes, zero in the rest of the slot
  EXPECT_EQ(U16(d, 220), 2);
  EXPECT_EQ(U16(d, 222), 101);
  EXPECT_EQ(U16(d, 224), 101);
  EXPECT_TRUE(AllBytes(d, 226, 240, 0));

  // the struct's names agree with the bytes
  EXPECT_EQ(RouteStore[3].par[1].unit, 101);
  EXPECT_EQ(RouteStore[1].par[1].order, 1.0f);
  EXPECT_EQ(RouteStore[8].par[1].warn, 10.0f);
  EXPECT_EQ(RouteStore[5].par[0].kind, 0);
  EXPECT_EQ(RouteStore[10].fmax, 20000);
}

TEST_F(FlashTest, OffRoutePointsShowTheirRunningNumber) {
  BuildDemoRoute();
  AddOffRouteSlot();
  std::strcpy(OffRouteStore[0].machine, "whatever");
  OffRouteStore[0].orient = 2;
  OffRouteStore[0].num = 5;
  const CPoint* p = ReadPoint(478);
  EXPECT_STREQ(p->machine, "Off-route");
  EXPECT_STREQ(p->name, "POINT   1");
  EXPECT_EQ(p->orient, 0);
  EXPECT_EQ(p->num, 5);  // the rest comes from the record
  EXPECT_EQ(OffRouteStore[0].orient, 2);  // the stored record is not changed

  CPoint m = Measured(1);
  CurPoint = m;
  ASSERT_EQ(WritePoint(478), 0);
  std::int16_t c[2] = {2, 13};
  ASSERT_EQ(SetPointCounts(c), 0);
  EXPECT_STREQ(ReadPoint(477)->name, "POINT   2");
  EXPECT_EQ(CurPoint.valid, 0xFFFF);
}

TEST_F(FlashTest, OffRouteSlots) {
  AddOffRouteSlot();
  AddOffRouteSlot();
  ASSERT_EQ(OffRouteStore.size(), 1u);
  EXPECT_EQ(OffRouteStore[0].valid, 0xFFFF);
  EXPECT_EQ(Counts(0), 0);  // the unused slot is not counted

  ReadPoint(478);
  ASSERT_EQ(WritePoint(478), 0);
  EXPECT_EQ(Counts(0), 1);
  AddOffRouteSlot();
  ASSERT_EQ(OffRouteStore.size(), 2u);
  EXPECT_EQ(OffRouteStore[0].valid, POINT_VALID);
  EXPECT_EQ(OffRouteStore[1].valid, 0xFFFF);
  AddOffRouteSlot();
  EXPECT_EQ(OffRouteStore.size(), 2u);
}

TEST_F(FlashTest, CountsAndDeletes) {
  BuildDemoRoute();
  OffRouteStore = {Measured(1), Measured(2)};
  AddOffRouteSlot();  // [data, data, blank]
  EXPECT_EQ(Counts(0), 2);
  EXPECT_EQ(Counts(1), 13);
  ASSERT_EQ(DeleteRoute(), 0);
  EXPECT_EQ(Counts(1), 0);
  ASSERT_EQ(OffRouteStore.size(), 2u);  // the blank slot went with the route
  EXPECT_EQ(OffRouteStore[0].num, 1);
  EXPECT_EQ(OffRouteStore[1].num, 2);
  // with no route every number from 1 up is off-route, and only 478, 477 exist
  EXPECT_STREQ(ReadPoint(477)->name, "POINT   2");
  ASSERT_EQ(DeleteOffRoute(), 0);
  EXPECT_TRUE(OffRouteStore.empty());
  EXPECT_EQ(Counts(0), 0);
}

TEST_F(FlashTest, ResizingKeepsTheFirstAndAppendsBlanks) {
  BuildDemoRoute();
  std::int16_t c[2] = {3, 15};
  ASSERT_EQ(SetPointCounts(c), 0);
  ASSERT_EQ(RouteStore.size(), 15u);
  EXPECT_EQ(ReadPoint(14)->valid, 0xFFFF);
  EXPECT_TRUE(AllBytes(Bytes(RouteStore[14]), 0, 384, 0xFF));
  EXPECT_STREQ(RouteStore[12].name, "Coupl-HOR");
  ASSERT_EQ(OffRouteStore.size(), 3u);
  EXPECT_TRUE(AllBytes(Bytes(OffRouteStore[2]), 0, 384, 0xFF));
  // a blank record's machine has no terminator: the copy stops at 31 bytes
  char m[40];
  std::memset(m, 'x', sizeof m);
  ASSERT_EQ(PointMachine(15, m), 0);
  EXPECT_EQ(std::strlen(m), 31u);
  c[1] = 2;
  ASSERT_EQ(SetPointCounts(c), 0);
  ASSERT_EQ(RouteStore.size(), 2u);
  EXPECT_STREQ(RouteStore[1].name, "High-HOR");
}

TEST_F(FlashTest, WriteMarksBothValidityWords) {
  BuildDemoRoute();
  ReadPoint(3);
  CurPoint.val[0] = 1.5f;
  ASSERT_EQ(WritePoint(3), 0);
  const std::uint8_t* b = Bytes(RouteStore[2]);
  EXPECT_EQ(b[0], 0xAA);
  EXPECT_EQ(b[1], 0x0A);
  EXPECT_EQ(b[368], 0xAA);
  EXPECT_EQ(b[369], 0x0A);
  EXPECT_EQ(F32(b, 304), 1.5f);
  EXPECT_EQ(CurPoint.valid, POINT_VALID);
  EXPECT_EQ(RouteStore[1].valid, 0);  // neighbours untouched
  EXPECT_EQ(RouteStore[3].valid, 0);
}

TEST_F(FlashTest, NumbersWithoutARecordAreRefused) {
  BuildDemoRoute();
  AddOffRouteSlot();  // one off-route record: 478
  ReadPoint(2);
  const CPoint before = CurPoint;
  const std::vector<CPoint> route = RouteStore, off = OffRouteStore;
  for (const std::int16_t n : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{14}, std::int16_t{477},
                               std::int16_t{479}, std::int16_t{-32768}, std::int16_t{32767}}) {
    EXPECT_EQ(ReadPoint(n), &CurPoint) << n;
    EXPECT_EQ(std::memcmp(&CurPoint, &before, sizeof before), 0) << n;
    EXPECT_EQ(WritePoint(n), FLASH_ERROR) << n;
    EXPECT_EQ(CurPoint.valid, before.valid) << n;  // not even marked
    char m[32] = "junk";
    EXPECT_EQ(PointMachine(n, m), FLASH_ERROR) << n;
    EXPECT_STREQ(m, "") << n;
  }
  EXPECT_EQ(PointMachine(478, nullptr), FLASH_ERROR);
  ASSERT_EQ(RouteStore.size(), route.size());
  ASSERT_EQ(OffRouteStore.size(), off.size());
  EXPECT_EQ(std::memcmp(RouteStore.data(), route.data(), route.size() * sizeof(CPoint)), 0);
  EXPECT_EQ(std::memcmp(OffRouteStore.data(), off.data(), off.size() * sizeof(CPoint)), 0);

  // counts that cannot be addressed are refused whole
  std::int16_t neg[2] = {-1, 5};
  EXPECT_EQ(SetPointCounts(neg), FLASH_ERROR);
  std::int16_t meet[2] = {466, 13};
  EXPECT_EQ(SetPointCounts(meet), FLASH_ERROR);
  EXPECT_EQ(Counts(1), 13);
  EXPECT_EQ(OffRouteStore.size(), 1u);
  std::int16_t full[2] = {465, 13};
  ASSERT_EQ(SetPointCounts(full), 0);
  // a full memory gets no further slot
  OffRouteStore.back().valid = POINT_VALID;
  AddOffRouteSlot();
  EXPECT_EQ(OffRouteStore.size(), 465u);
  EXPECT_EQ(ReadPoint(14), &CurPoint);  // 478 - 464: the last off-route record
  EXPECT_EQ(CurPoint.valid, POINT_VALID);
}
