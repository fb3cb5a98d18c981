#include "language.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rcdata.h"
#include "state.h"
#include "strtab.h"

namespace {
constexpr std::size_t kMaxAbbrevChars = 4;  // a 5-character buffer with its NUL

std::uint16_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// "ru", "ru_RU.UTF-8", "ru@x" name Russian; "rus" or "rue" do not.
bool HasLanguage(const char* name, const char* code) {
  const std::size_t n = std::strlen(code);
  if (std::strncmp(name, code, n) != 0) return false;
  const char next = name[n];
  return next == '\0' || next == '_' || next == '.' || next == '@';
}
}  // namespace

std::vector<TLanguageItem> ParseLanguageList(const std::uint8_t* data, std::size_t size) {
  std::vector<TLanguageItem> items;
  if (!data) return items;
  std::size_t pos = 0;
  while (pos < size) {
    if (size - pos < 2) break;
    const std::uint16_t langId = ReadLe16(data + pos);
    pos += 2;
    std::string name;
    while (pos < size && data[pos] != 0) name.push_back(static_cast<char>(data[pos++]));
    if (pos >= size) break;  // no NUL: the entry has no units flag either
    ++pos;
    if (size - pos < 2) break;
    const std::uint16_t units = ReadLe16(data + pos);
    pos += 2;
    if (name.empty()) name = AbbrevLanguageName(langId);
    items.push_back({name, static_cast<std::uint32_t>(langId) + 65536u * units});
  }
  return items;
}

std::vector<TLanguageItem> LoadLanguageList() {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  if (!FindRcData("LANGUAGE_LIST", &data, &size)) return {};
  return ParseLanguageList(data, size);
}

std::string AbbrevLanguageName(std::uint16_t langId) {
  struct Abbrev {
    std::uint16_t LangId;
    const char* Name;
  };
  static constexpr Abbrev kNames[] = {{1033, "ENU"}, {1049, "RUS"}};
  std::string name;
  for (const Abbrev& a : kNames)
    if (a.LangId == langId) name = a.Name;
  if (name.empty()) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(langId));
    name = buf;
  }
  return name.substr(0, kMaxAbbrevChars);
}

std::uint16_t LangIdFromLocaleName(const char* name) {
  if (!name) return 0;
  if (HasLanguage(name, "ru")) return 1049;
  if (HasLanguage(name, "en")) return 1033;
  return 0;
}

std::uint16_t UserDefaultLangId() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return LangIdFromLocaleName(value);
  }
  return 0;
}

int ChooseInitialLanguage(const std::vector<TLanguageItem>& items, const std::string& savedName,
                          std::uint16_t userLangId) {
  if (items.empty()) return -1;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (SameIgnoringCase(items[i].Name, savedName)) return static_cast<int>(i);
  if (userLangId != 0) {
    for (std::size_t i = 0; i < items.size(); ++i)
      if (LangIdOf(items[i].LanguageValue) == userLangId) return static_cast<int>(i);
  }
  return 0;
}

bool ApplyLanguageChange(const std::vector<TLanguageItem>& items, int selected,
                         TInitDeviceInfo& info, ILanguageTarget& target) {
  if (selected < 0 || static_cast<std::size_t>(selected) >= items.size()) return false;
  const TLanguageItem& item = items[static_cast<std::size_t>(selected)];
  info.LanguageName = item.Name;
  SetThreadLanguage(LangIdOf(item.LanguageValue));
  target.SetDeviceLanguage(item.LanguageValue);
  target.SetWindowTexts(LoadStringTable(300), LoadStringTable(301), LoadStringTable(303),
                        LoadStringTable(304), LoadStringTable(307));
  return true;
}
