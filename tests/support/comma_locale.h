#pragma once
// A desktop locale with a decimal comma for one test: ru_RU.UTF-8, generated
// with localedef into a private temporary folder that LOCPATH names, so that
// nothing on the machine changes. While a TCommaLocale lives the process runs
// under it (setlocale, as the window's toolkit does at start); it goes back to
// "C" when the object goes.
#include <string>

class TCommaLocale {
 public:
  TCommaLocale();
  ~TCommaLocale();
  TCommaLocale(const TCommaLocale&) = delete;
  TCommaLocale& operator=(const TCommaLocale&) = delete;
  // Empty when the locale is in force and writes 1.5 as "1,5".
  const std::string& Error() const { return error_; }

 private:
  std::string error_;
};
