// The built-in demonstration tables hold every documented value.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

#include "demodata.h"

namespace {

// Tolerance of a derived line: 1 %, at least one count for rounding.
double Tolerance(double ref) { return std::max(1.0, 0.01 * ref); }

TEST(DemoData, SpectrumShape) {
  EXPECT_EQ(SpecTab[0], 0);
  EXPECT_EQ(SpecTab[1], 0);
  for (int k = 2; k < SPEC_TAB_LINES; ++k) ASSERT_GT(SpecTab[k], 0) << k;
  EXPECT_EQ(*std::max_element(SpecTab, SpecTab + SPEC_TAB_LINES), 25040);
  const long sum = std::accumulate(SpecTab, SpecTab + SPEC_TAB_LINES, 0L);
  EXPECT_NEAR(static_cast<double>(sum) / SPEC_TAB_LINES, 254.0, 0.5);

  const std::vector<int> head = {0, 0, 149, 218, 335, 233, 205, 117, 787, 841, 584, 402, 450, 533, 1562, 653};
  const std::vector<int> tail = {94, 80, 113, 139, 141, 86, 183, 129, 65, 113};
  EXPECT_EQ(std::vector<int>(SpecTab, SpecTab + 16), head);
  EXPECT_EQ(std::vector<int>(SpecTab + 3190, SpecTab + 3200), tail);
}

TEST(DemoData, StrongestLinesInOrder) {
  const std::vector<std::pair<int, int>> peaks = {{68, 25040}, {137, 21802}, {98, 17847}, {117, 16385},
                                                  {136, 16292}, {129, 12563}, {118, 12053}, {176, 10395},
                                                  {175, 7205},  {116, 6587},  {166, 6437},  {204, 5814}};
  std::vector<int> order(SPEC_TAB_LINES);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [](int a, int b) { return SpecTab[a] > SpecTab[b]; });
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    EXPECT_EQ(order[i], peaks[i].first) << "rank " << i;
    EXPECT_EQ(SpecTab[peaks[i].first], peaks[i].second) << "line " << peaks[i].first;
  }
  // Nothing else is as large as the twelfth.
  EXPECT_LT(SpecTab[order[12]], 5814);

  // The rotation harmonics stand out of the background around them.
  for (int h : {4, 5, 6, 8}) {
    const int k = (h * 6833 + 50) / 100;
    EXPECT_GT(SpecTab[k], 3 * SpecTab[k + 10]) << h;
  }
}

TEST(DemoData, DifferentiatedSpectrum) {
  const std::vector<float> head = {0, 0, 3, 6, 11, 10, 10, 7, 50, 60, 46, 35, 43, 55, 172, 77};
  EXPECT_EQ(std::vector<float>(SpecTabDiff, SpecTabDiff + 16), head);
  EXPECT_EQ(SpecTabDiff[3200], 4228.0f);
  const float* top = std::max_element(SpecTabDiff, SpecTabDiff + SPEC_TAB_LINES + 1);
  EXPECT_EQ(top - SpecTabDiff, 137);
  EXPECT_EQ(*top, 23459.0f);
  EXPECT_EQ(std::count(SpecTabDiff, SpecTabDiff + SPEC_TAB_LINES + 1, 23459.0f), 1);
  // Growing with the line number once: the documented values follow
  // line x 0.00785, not line squared (25040 x 68^2 x 0.00785 would be 908912).
  for (int k = 0; k < SPEC_TAB_LINES; ++k) {
    const double ref = SpecTab[k] * k * 0.00785;
    ASSERT_NEAR(SpecTabDiff[k], ref, Tolerance(ref)) << k;
    ASSERT_EQ(SpecTabDiff[k], static_cast<float>(static_cast<int>(SpecTabDiff[k]))) << k;
  }
}

TEST(DemoData, IntegratedSpectrum) {
  const std::vector<float> head = {0,    0,    6323, 6157, 7105, 3949, 2890, 1419,
                                   8345, 7928, 4955, 3095, 3180, 3477, 9470, 3696};
  EXPECT_EQ(std::vector<float>(SpecTabIntg, SpecTabIntg + 16), head);
  const float* top = std::max_element(SpecTabIntg, SpecTabIntg + SPEC_TAB_LINES);
  EXPECT_EQ(top - SpecTabIntg, 68);
  EXPECT_EQ(*top, 31256.0f);
  EXPECT_EQ(std::count(SpecTabIntg, SpecTabIntg + SPEC_TAB_LINES, 31256.0f), 1);
  for (int k = 2; k < SPEC_TAB_LINES; ++k) {
    const double ref = SpecTab[k] * 85.4 / k;
    ASSERT_NEAR(SpecTabIntg[k], ref, Tolerance(ref)) << k;
    ASSERT_EQ(SpecTabIntg[k], static_cast<float>(static_cast<int>(SpecTabIntg[k]))) << k;
  }
  // Both derived tables fit the 16-bit lines they are copied into.
  EXPECT_LT(*top, 32768.0f);
  EXPECT_GE(*std::min_element(SpecTabIntg, SpecTabIntg + SPEC_TAB_LINES), 0.0f);
}

}  // namespace
