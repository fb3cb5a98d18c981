#include <gtest/gtest.h>

#include <string>

#include "rcdata.h"

TEST(LanguageListResource, IsThirtyOneBytesOfThreeEntries) {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  ASSERT_TRUE(FindRcData("LANGUAGE_LIST", &data, &size));
  const std::string expected("\x09\x04" "ENG (SI)" "\0" "\x00\x00"
                             "\x09\x04" "ENG (US)" "\0" "\x01\x00"
                             "\x19\x04" "\0" "\x00\x00",
                             31);
  ASSERT_EQ(size, 31u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), expected);
}
