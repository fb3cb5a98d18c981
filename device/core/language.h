#pragma once
// The language list (resource LANGUAGE_LIST) and the window-independent half of
// the language drop-down: filling it, the initial choice, and the change.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TInitDeviceInfo;

struct TLanguageItem {
  std::string Name;             // as shown in the list and saved in the INI file
  std::uint32_t LanguageValue;  // LANGID + 65536 x units flag (1 = US customary)
};

inline std::uint16_t LangIdOf(std::uint32_t languageValue) {
  return static_cast<std::uint16_t>(languageValue & 0xFFFF);
}
inline std::uint16_t UsUnitsOf(std::uint32_t languageValue) {
  return static_cast<std::uint16_t>(languageValue >> 16);
}

// Walks raw LANGUAGE_LIST data: per entry LANGID (LE16), name, NUL, units flag
// (LE16). An entry cut short by the end of the data is dropped, not guessed at.
std::vector<TLanguageItem> ParseLanguageList(const std::uint8_t* data, std::size_t size);
// The program's own LANGUAGE_LIST resource; empty list when it is missing.
std::vector<TLanguageItem> LoadLanguageList();

// Abbreviated language name (at most 4 characters): "ENU" for 1033, "RUS" for
// 1049; other LANGIDs give their four hex digits.
std::string AbbrevLanguageName(std::uint16_t langId);

// LANGID of a POSIX locale name: "ru..." 1049, "en..." 1033, else 0 (matches nothing).
std::uint16_t LangIdFromLocaleName(const char* name);
// The user's default locale from LC_ALL, LC_MESSAGES, LANG (first one set and non-empty).
std::uint16_t UserDefaultLangId();

// Index of the initial item: the saved name (any letter case), else the first
// item of userLangId, else 0; -1 for an empty list.
int ChooseInitialLanguage(const std::vector<TLanguageItem>& items, const std::string& savedName,
                          std::uint16_t userLangId);

// What the main window does with a language change; texts are Windows-1251.
class ILanguageTarget {
 public:
  virtual ~ILanguageTarget() = default;
  virtual void SetDeviceLanguage(std::uint32_t languageValue) = 0;
  virtual void SetWindowTexts(const std::string& caption300, const std::string& label301,
                              const std::string& overview303, const std::string& about304,
                              const std::string& exit307) = 0;
};

// ComboBoxLanguageChange without the window: records the name in info, sets the
// calling (window) thread's language, hands the value to the device and the
// reloaded window texts to the window. Nothing happens for an index outside
// the list. Returns whether a language was applied.
bool ApplyLanguageChange(const std::vector<TLanguageItem>& items, int selected,
                         TInitDeviceInfo& info, ILanguageTarget& target);
