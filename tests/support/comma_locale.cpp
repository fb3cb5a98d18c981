#include "comma_locale.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// Made once per process, removed at its end.
struct TLocaleFolder {
  fs::path dir;
  std::string error;
  TLocaleFolder() {
    std::error_code ec;
    std::string templ = (fs::temp_directory_path(ec) / "orb-locale-XXXXXX").string();
    if (ec || !::mkdtemp(templ.data())) {
      error = "no temporary folder for the locale";
      return;
    }
    dir = templ;
    const std::string cmd =
        "localedef -i ru_RU -f UTF-8 '" + (dir / "ru_RU.UTF-8").string() + "' >'" + (dir / "log").string() + "' 2>&1";
    if (std::system(cmd.c_str()) != 0 || !fs::exists(dir / "ru_RU.UTF-8" / "LC_NUMERIC"))
      error = "localedef could not make ru_RU.UTF-8 in " + dir.string() + " (its sources come with the locales package)";
  }
  ~TLocaleFolder() {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
};

TLocaleFolder& Folder() {
  static TLocaleFolder f;
  return f;
}
}  // namespace

TCommaLocale::TCommaLocale() {
  const TLocaleFolder& f = Folder();
  if (!f.error.empty()) {
    error_ = f.error;
    return;
  }
  ::setenv("LOCPATH", f.dir.c_str(), 1);
  if (!std::setlocale(LC_ALL, "ru_RU.UTF-8")) {
    error_ = "setlocale(LC_ALL, \"ru_RU.UTF-8\") failed with LOCPATH=" + f.dir.string();
    return;
  }
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  if (std::string(probe) != "1,5") error_ = std::string("the locale writes 1.5 as ") + probe;
}

TCommaLocale::~TCommaLocale() {
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
}
