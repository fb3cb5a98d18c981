#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "language.h"
#include "rcdata.h"
#include "state.h"
#include "strtab.h"

namespace {

// Saves the locale variables and restores them after each test.
class LocaleEnv : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* v : kVars) {
      const char* s = std::getenv(v);
      saved_[v] = s ? std::optional<std::string>(s) : std::nullopt;
      unsetenv(v);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    SetThreadLanguage(1033);
  }
  static constexpr const char* kVars[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::map<std::string, std::optional<std::string>> saved_;
};

struct RecordingWindow : ILanguageTarget {
  std::vector<std::string> Calls;
  std::uint32_t Value = 0;
  std::vector<std::string> Texts;
  void SetDeviceLanguage(std::uint32_t v) override {
    Calls.push_back("device");
    Value = v;
  }
  void SetWindowTexts(const std::string& a, const std::string& b, const std::string& c,
                      const std::string& d, const std::string& e) override {
    Calls.push_back("texts");
    Texts = {a, b, c, d, e};
  }
};

std::vector<TLanguageItem> List() { return LoadLanguageList(); }

}  // namespace

TEST(LanguageList, ResourceGivesThreeItemsWithTheirValues) {
  const std::vector<TLanguageItem> items = List();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].Name, "ENG (SI)");
  EXPECT_EQ(items[0].LanguageValue, 1033u);
  EXPECT_EQ(items[1].Name, "ENG (US)");
  EXPECT_EQ(items[1].LanguageValue, 66569u);
  EXPECT_EQ(LangIdOf(items[1].LanguageValue), 1033);
  EXPECT_EQ(UsUnitsOf(items[1].LanguageValue), 1);
  EXPECT_EQ(items[2].Name, "RUS") << "empty name in the resource";
  EXPECT_EQ(items[2].LanguageValue, 1049u);
}

TEST(LanguageList, CutDataKeepsOnlyWholeEntries) {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  ASSERT_TRUE(FindRcData("LANGUAGE_LIST", &data, &size));
  ASSERT_EQ(size, 31u);
  for (std::size_t n = 0; n <= size; ++n) {
    // A copy of exactly n bytes, so that reading past it shows under ASan.
    std::vector<std::uint8_t> cut(data, data + n);
    const std::size_t whole = n >= 31 ? 3 : n >= 26 ? 2 : n >= 13 ? 1 : 0;
    const auto items = ParseLanguageList(cut.data(), cut.size());
    ASSERT_EQ(items.size(), whole) << n << " bytes";
    if (whole >= 1) {
      EXPECT_EQ(items[0].Name, "ENG (SI)");
    }
  }
  // A name without its NUL is not an entry.
  const std::uint8_t noNul[] = {0x09, 0x04, 'E', 'N', 'G'};
  EXPECT_TRUE(ParseLanguageList(noNul, sizeof noNul).empty());
  EXPECT_TRUE(ParseLanguageList(nullptr, 10).empty());
}

TEST(LanguageList, AbbreviatedNamesAreShort) {
  EXPECT_EQ(AbbrevLanguageName(1049), "RUS");
  EXPECT_EQ(AbbrevLanguageName(1033), "ENU");
  for (const std::uint16_t id : {std::uint16_t{0}, std::uint16_t{1031}, std::uint16_t{1049}, std::uint16_t{0xFFFF}}) {
    EXPECT_FALSE(AbbrevLanguageName(id).empty()) << id;
    EXPECT_LE(AbbrevLanguageName(id).size(), 4u) << id;
  }
  EXPECT_NE(AbbrevLanguageName(1031), AbbrevLanguageName(1036));
}

TEST(LanguageChoice, SavedNameWinsInAnyLetterCase) {
  const auto items = List();
  EXPECT_EQ(ChooseInitialLanguage(items, "ENG (US)", 1049), 1);
  EXPECT_EQ(ChooseInitialLanguage(items, "eng (us)", 1049), 1);
  EXPECT_EQ(ChooseInitialLanguage(items, "Eng (uS)", 0), 1);
  EXPECT_EQ(ChooseInitialLanguage(items, "rus", 1033), 2);
  EXPECT_EQ(ChooseInitialLanguage(items, "ENG (US) ", 0), 0) << "no trimming, no prefix match";
  EXPECT_EQ(ChooseInitialLanguage(items, "ENG", 0), 0);
}

TEST(LanguageChoice, FallsBackToTheLocaleThenTheFirstItem) {
  const auto items = List();
  EXPECT_EQ(ChooseInitialLanguage(items, "", 1049), 2);
  EXPECT_EQ(ChooseInitialLanguage(items, "DEU", 1033), 0) << "the first 1033 entry, SI";
  EXPECT_EQ(ChooseInitialLanguage(items, "", 1031), 0);
  EXPECT_EQ(ChooseInitialLanguage(items, "", 0), 0);
  EXPECT_EQ(ChooseInitialLanguage({}, "ENG (SI)", 1033), -1);
  // The LANGID decides, not the units: a US entry listed first is the 1033 match.
  const std::vector<TLanguageItem> usFirst = {{"RUS", 1049}, {"US", 66569}, {"SI", 1033}};
  EXPECT_EQ(ChooseInitialLanguage(usFirst, "", 1033), 1);
}

TEST_F(LocaleEnv, UserLocaleComesFromTheFirstSetVariable) {
  EXPECT_EQ(UserDefaultLangId(), 0) << "nothing set";
  setenv("LANG", "ru_RU.UTF-8", 1);
  EXPECT_EQ(UserDefaultLangId(), 1049);
  setenv("LC_MESSAGES", "en_US.UTF-8", 1);
  EXPECT_EQ(UserDefaultLangId(), 1033) << "LC_MESSAGES before LANG";
  setenv("LC_ALL", "ru", 1);
  EXPECT_EQ(UserDefaultLangId(), 1049) << "LC_ALL before both";
  setenv("LC_ALL", "", 1);
  EXPECT_EQ(UserDefaultLangId(), 1033) << "an empty variable counts as unset";
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(UserDefaultLangId(), 0) << "a set C locale matches nothing, LANG is not consulted";
  unsetenv("LC_ALL");
  setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
  EXPECT_EQ(UserDefaultLangId(), 0);

  EXPECT_EQ(LangIdFromLocaleName("en"), 1033);
  EXPECT_EQ(LangIdFromLocaleName("en_GB@euro"), 1033);
  EXPECT_EQ(LangIdFromLocaleName("ru_UA.KOI8-U"), 1049);
  EXPECT_EQ(LangIdFromLocaleName("rue_UA"), 0) << "another language whose code starts with ru";
  EXPECT_EQ(LangIdFromLocaleName("POSIX"), 0);
  EXPECT_EQ(LangIdFromLocaleName(""), 0);
  EXPECT_EQ(LangIdFromLocaleName(nullptr), 0);
}

TEST_F(LocaleEnv, RussianSystemWithoutSavedNameStartsInRussian) {
  setenv("LANG", "ru_RU.UTF-8", 1);
  const auto items = List();
  TInitDeviceInfo info;
  RecordingWindow window;
  const int index = ChooseInitialLanguage(items, info.LanguageName, UserDefaultLangId());
  ASSERT_TRUE(ApplyLanguageChange(items, index, info, window));
  EXPECT_EQ(info.LanguageName, "RUS");
  EXPECT_EQ(ThreadLanguage(), 1049);
  EXPECT_EQ(window.Value, 1049u);
  EXPECT_EQ(window.Calls, (std::vector<std::string>{"device", "texts"}));
  ASSERT_EQ(window.Texts.size(), 5u);
  EXPECT_EQ(window.Texts[0], "\xC8\xEC\xE8\xF2\xE0\xF2\xEE\xF0 \xEF\xF0\xE8\xE1\xEE\xF0\xE0 ORB-720");
  EXPECT_EQ(window.Texts[1], "\xDF\xE7\xFB\xEA");
  EXPECT_EQ(window.Texts[4], "\xC2\xFB\xF5\xEE\xE4");
}

TEST_F(LocaleEnv, SavedUsEntryGivesEnglishTextsAndUsUnits) {
  setenv("LANG", "ru_RU.UTF-8", 1);  // the saved name must beat the locale
  const auto items = List();
  TInitDeviceInfo info;
  info.LanguageName = "eng (us)";
  SetThreadLanguage(1049);
  RecordingWindow window;
  ASSERT_TRUE(ApplyLanguageChange(items, ChooseInitialLanguage(items, info.LanguageName, UserDefaultLangId()),
                                  info, window));
  EXPECT_EQ(info.LanguageName, "ENG (US)") << "the list's spelling is what gets saved";
  EXPECT_EQ(window.Value, 66569u);
  EXPECT_EQ(UsUnitsOf(window.Value), 1);
  EXPECT_EQ(ThreadLanguage(), 1033);
  EXPECT_EQ(window.Texts, (std::vector<std::string>{"ORB-720 Demo", "Language", "Overview", "About Demo", "Exit"}));
}

TEST_F(LocaleEnv, NoSelectionChangesNothing) {
  const auto items = List();
  TInitDeviceInfo info;
  info.LanguageName = "kept";
  SetThreadLanguage(1049);
  RecordingWindow window;
  EXPECT_FALSE(ApplyLanguageChange(items, -1, info, window));
  EXPECT_FALSE(ApplyLanguageChange(items, 3, info, window));
  EXPECT_FALSE(ApplyLanguageChange({}, 0, info, window));
  EXPECT_TRUE(window.Calls.empty());
  EXPECT_EQ(info.LanguageName, "kept");
  EXPECT_EQ(ThreadLanguage(), 1049);
}
