#include <gtest/gtest.h>
#include <iconv.h>

#include <atomic>
#include <latch>
#include <string>
#include <thread>

#include "strtab.h"

namespace {
constexpr std::uint16_t kEn = 1033;
constexpr std::uint16_t kRu = 1049;

class StrTab : public ::testing::Test {
 protected:
  void TearDown() override { SetThreadLanguage(kEn); }
};

// One Windows-1251 byte to UTF-16 by the C library; false where it assigns nothing.
bool IconvByte(unsigned char b, char16_t& out) {
  iconv_t cd = iconv_open("UTF-16LE", "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char in[1] = {static_cast<char>(b)};
  unsigned char res[8] = {};
  char* ip = in;
  std::size_t il = 1;
  char* op = reinterpret_cast<char*>(res);
  std::size_t ol = sizeof res;
  const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || sizeof res - ol != 2) return false;
  out = static_cast<char16_t>(res[0] | (res[1] << 8));
  return true;
}
}  // namespace

TEST_F(StrTab, LanguageLabelFollowsTheThreadLanguage) {
  SetThreadLanguage(kEn);
  EXPECT_EQ(LoadStringTable(301), "Language");
  SetThreadLanguage(kRu);
  EXPECT_EQ(ThreadLanguage(), kRu);
  EXPECT_EQ(LoadStringTable(301), "\xDF\xE7\xFB\xEA");  // "Язык"
  EXPECT_EQ(LoadStringTable(300), "\xC8\xEC\xE8\xF2\xE0\xF2\xEE\xF0 \xEF\xF0\xE8\xE1\xEE\xF0\xE0 ORB-720");
  // A language with no table at all gives nothing, not English.
  SetThreadLanguage(1031);
  EXPECT_EQ(LoadStringTable(301), "");
}

TEST_F(StrTab, MenuArrowBecomesByte80) {
  SetThreadLanguage(kEn);
  const std::string t = LoadStringTable(2409);
  EXPECT_EQ(t, std::string("\x03" "MEASUREMENT" "\x04\x09\x80"));
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(static_cast<unsigned char>(t.back()), 0x80);
  for (unsigned id : {160u, 161u, 162u, 163u, 164u, 165u, 166u, 1670u, 2410u, 2411u, 2412u, 2413u}) {
    for (std::uint16_t lang : {kEn, kRu}) {
      const std::string s = LoadStringTable(lang, id);
      ASSERT_GE(s.size(), 2u) << id;
      EXPECT_EQ(s.substr(s.size() - 2), "\x09\x80") << id << "/" << lang;
    }
  }
}

TEST_F(StrTab, MissingEntriesAreEmptyWithoutFallback) {
  for (std::uint16_t lang : {kEn, kRu}) {
    EXPECT_EQ(LoadStringTable(lang, 302), "") << "existing block, no text";
    EXPECT_EQ(LoadStringTable(lang, 50), "") << "no block";
    EXPECT_EQ(LoadStringTable(lang, 312), "");
    EXPECT_EQ(LoadStringTable(lang, 65535), "");
  }
  EXPECT_EQ(LoadStringTable(kEn, 403), "");
  EXPECT_EQ(LoadStringTable(kEn, 502), "");
  EXPECT_EQ(LoadStringTable(kRu, 505), "");
  EXPECT_NE(LoadStringTable(kRu, 403), "");
  EXPECT_NE(LoadStringTable(kEn, 505), "");
  // Identifiers are 16-bit: 65536 + 301 must not alias 301.
  EXPECT_EQ(LoadStringTable(kEn, 65536u + 301u), "");
}

TEST_F(StrTab, TwoThreadsInTwoLanguagesGetTheirOwnTexts) {
  constexpr int kRounds = 3000;
  std::latch start(2);
  std::atomic<int> wrongEn{0}, wrongRu{0};
  std::uint16_t initialLang = 0;
  std::thread en([&] {
    initialLang = ThreadLanguage();
    start.arrive_and_wait();
    for (int i = 0; i < kRounds; ++i)
      if (LoadStringTable(301) != "Language" || LoadStringTable(307) != "Exit") ++wrongEn;
  });
  std::thread ru([&] {
    SetThreadLanguage(kRu);
    start.arrive_and_wait();
    for (int i = 0; i < kRounds; ++i)
      if (LoadStringTable(301) != "\xDF\xE7\xFB\xEA" || LoadStringTable(307) != "\xC2\xFB\xF5\xEE\xE4") ++wrongRu;
  });
  en.join();
  ru.join();
  EXPECT_EQ(initialLang, kEn) << "a new thread starts in English";
  EXPECT_EQ(wrongEn.load(), 0);
  EXPECT_EQ(wrongRu.load(), 0);
  EXPECT_EQ(ThreadLanguage(), kEn) << "other threads leave this one alone";
}

TEST(Cp1251, TableAgreesWithTheCLibraryForEveryHighByte) {
  int assigned = 0;
  for (unsigned b = 0x80; b <= 0xFF; ++b) {
    const std::string byte(1, static_cast<char>(b));
    char16_t ref = 0;
    if (IconvByte(static_cast<unsigned char>(b), ref)) {
      ++assigned;
      EXPECT_EQ(Cp1251ToUtf16(byte), std::u16string(1, ref)) << std::hex << b;
      EXPECT_EQ(Utf16ToCp1251(std::u16string(1, ref)), byte) << std::hex << b;
    } else {
      EXPECT_EQ(Cp1251ToUtf16(byte), u"\uFFFD") << std::hex << b;
    }
  }
  EXPECT_GE(assigned, 127);
  for (unsigned c = 0; c < 0x80; ++c)
    EXPECT_EQ(Utf16ToCp1251(std::u16string(1, static_cast<char16_t>(c))), std::string(1, static_cast<char>(c)));
}

TEST(Cp1251, UnmappableCharactersBecomeOneQuestionMarkEach) {
  EXPECT_EQ(Utf16ToCp1251(u"a\u4E2Db"), "a?b");
  EXPECT_EQ(Utf16ToCp1251(u"\u0080\u00E9\u20BD"), "???");  // C1 control, e-acute, rouble sign
  EXPECT_EQ(Utf16ToCp1251(u"x\U0001F600y"), "x?y");       // a pair is one character
  EXPECT_EQ(Utf16ToCp1251(std::u16string{u'x', char16_t(0xD800), u'y'}), "x?y");
  EXPECT_EQ(Utf16ToCp1251(std::u16string{char16_t(0xDC00)}), "?");
  EXPECT_EQ(Utf16ToCp1251(u"\u0402\u00A9\u2022\u0401\u0451"), "\x80\xA9\x95\xA8\xB8");
  EXPECT_EQ(Utf16ToCp1251(u"\uFFFD"), "?");
}

TEST(StringBlock, WalksCountsAndRefusesToRunPastTheEnd) {
  // Two texts, then an entry whose count runs past the end.
  const std::uint16_t data[] = {1, u'x', 0, 2, u'y', u'z', 9, u'q'};
  const std::size_t n = sizeof data / sizeof data[0];
  EXPECT_EQ(StringFromBlock(data, n, 0), u"x");
  EXPECT_EQ(StringFromBlock(data, n, 1), u"");
  EXPECT_EQ(StringFromBlock(data, n, 2), u"yz");
  EXPECT_EQ(StringFromBlock(data, n, 3), u"") << "count 9 with one unit left";
  EXPECT_EQ(StringFromBlock(data, n, 4), u"") << "beyond a bad count";
  EXPECT_EQ(StringFromBlock(data, 5, 2), u"") << "text cut off by the block's end";
  EXPECT_EQ(StringFromBlock(data, n, 16), u"") << "a block has 16 entries";
  EXPECT_EQ(StringFromBlock(nullptr, 0, 0), u"");
}
