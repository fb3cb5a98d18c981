#include "persist.h"

#include <cstdint>
#include <filesystem>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "state.h"
#include "tracelog.h"

namespace {

constexpr const char* kStateSection = "DeviceState";

struct TKeyDef {
  const char* key;
  std::int16_t TInitDeviceInfo::*field;
  std::int16_t def;
};

// Read and written in this order.
constexpr TKeyDef kKeys[] = {
    {"MenuMode", &TInitDeviceInfo::MenuMode, 0},
    {"MenuItem", &TInitDeviceInfo::MenuItem, 0},
    {"CollectMode", &TInitDeviceInfo::CollectMode, 0},
    {"SelectedPoint", &TInitDeviceInfo::SelectedPoint, 478},
    {"AutoStepEn", &TInitDeviceInfo::AutoStepEn, 1},
    {"TypeParam-A", &TInitDeviceInfo::TypeParamA, 1},
    {"TypeParam-V", &TInitDeviceInfo::TypeParamV, 1},
    {"TypeParam-S", &TInitDeviceInfo::TypeParamS, 1},
    {"HighFrequency", &TInitDeviceInfo::HighFrequency, 5},
    {"PhaseDisplay", &TInitDeviceInfo::PhaseDisplay, 1},
    {"FreqDimension", &TInitDeviceInfo::FreqDimension, 1},
};

// TIniText read and written as TIniFile is.
class TIniTextProfile {
 public:
  explicit TIniTextProfile(std::string text) : text_(std::move(text)) {}
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
    std::string v;
    std::int32_t result = def;
    return text_.Find(section, key, v) && ParseProfileInt(v, result) ? result : def;
  }
  std::string ReadString(std::string_view section, std::string_view key, const std::string& def) const {
    std::string v;
    return text_.Find(section, key, v) ? v : def;
  }
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    text_.Set(section, key, std::to_string(value));
  }
  void WriteString(std::string_view section, std::string_view key, std::string_view value) {
    text_.Set(section, key, value);
  }
  const std::string& Text() const { return text_.Text(); }

 private:
  TIniText text_;
};

template <class Profile>
void ReadDeviceStateFrom(const Profile& ini) {
  for (const TKeyDef& k : kKeys) {
    // Out-of-range values keep their low 16 bits, as the instrument would.
    InitDeviceInfo.*k.field = static_cast<std::int16_t>(ini.ReadInteger(kStateSection, k.key, k.def));
    if (k.field == &TInitDeviceInfo::HighFrequency)
      TraceLog().Add("TForm() InitDeviceInfo.HighFrequency = " + std::to_string(InitDeviceInfo.HighFrequency));
  }
  InitDeviceInfo.LanguageName = ini.ReadString("Language", "Name", "");
}

template <class Profile>
void WriteDeviceStateTo(Profile& ini) {
  for (const TKeyDef& k : kKeys) ini.WriteInteger(kStateSection, k.key, InitDeviceInfo.*k.field);
  ini.WriteString("Language", "Name", InitDeviceInfo.LanguageName);
}

}  // namespace

std::string IniFileName(const std::string& executablePath) {
  std::filesystem::path p(executablePath);
  p.replace_extension(".INI");
  return p.string();
}

bool FolderWritable(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return false;
  mode_t bit = S_IWOTH;
  if (st.st_uid == ::geteuid()) {
    bit = S_IWUSR;
  } else {
    bool member = st.st_gid == ::getegid();
    const int n = ::getgroups(0, nullptr);
    if (!member && n > 0) {
      std::vector<gid_t> groups(static_cast<std::size_t>(n));
      const int got = ::getgroups(n, groups.data());
      for (int i = 0; i < got && !member; ++i) member = groups[static_cast<std::size_t>(i)] == st.st_gid;
    }
    if (member) bit = S_IWGRP;
  }
  return (st.st_mode & bit) != 0;
}

bool InstalledCopy(const std::string& executablePath, const std::string& installMark) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path exe = fs::absolute(executablePath, ec);
  const fs::path canonical = fs::weakly_canonical(exe, ec);
  exe = ec ? exe.lexically_normal() : canonical;
  const std::string folder = exe.parent_path().string() + "/";
  for (const char* system : {"/usr/", "/opt/", "/bin/", "/sbin/"})
    if (folder.starts_with(system)) return true;
  return !installMark.empty() && fs::exists(exe.parent_path() / installMark, ec);
}

std::string SettingsFilePath(const std::string& executablePath, const std::string& installMark,
                             const std::function<std::string()>& configFolder) {
  namespace fs = std::filesystem;
  const fs::path beside(IniFileName(executablePath));
  std::error_code ec;
  const bool installed = InstalledCopy(executablePath, installMark);
  if (!installed) {
    const fs::path folder = beside.has_parent_path() ? beside.parent_path() : fs::path(".");
    if (fs::exists(fs::symlink_status(beside, ec)) || FolderWritable(folder.string())) return beside.string();
  }
  const fs::path config(configFolder());
  if (config.empty()) {
    // A portable copy's write error will name the path beside it; an
    // installed one has no place: nothing is read, a save reports failure.
    return installed ? std::string() : beside.string();
  }
  // A folder that cannot be made shows up as the write error naming this path.
  fs::create_directories(config, ec);
  return (config / beside.filename()).string();
}

void ReadDeviceState(const std::string& path) { ReadDeviceStateFrom(TIniFile(path)); }

void ReadDeviceStateText(const std::string& text) { ReadDeviceStateFrom(TIniTextProfile(text)); }

void CopyStateToInitDeviceInfo() {
  if (FirstStart) return;
  const TProgramState& s = CProgramState;
  TInitDeviceInfo& d = InitDeviceInfo;
  d.MenuMode = static_cast<std::int16_t>(s.MenuMode);
  d.MenuItem = s.MenuItem;
  d.CollectMode = static_cast<std::int16_t>(s.CollectMode);
  d.SelectedPoint = s.npnt;
  d.AutoStepEn = static_cast<std::int16_t>(s.AutoStepEn);
  d.TypeParamA = s.TypeParamA;
  d.TypeParamV = s.TypeParamV;
  d.TypeParamS = s.TypeParamS;
  d.HighFrequency = s.HighFrequency;
  d.PhaseDisplay = static_cast<std::int16_t>(s.PhaseDisplay);
  d.FreqDimension = static_cast<std::int16_t>(s.FreqDimension);
}

void WriteDeviceState(const std::string& path, const TIniWriteFn& writer) {
  TIniFile ini(path, writer);
  WriteDeviceStateTo(ini);
}

std::string DeviceStateText(const std::string& previous) {
  TIniTextProfile ini(previous);
  WriteDeviceStateTo(ini);
  return ini.Text();
}

void SaveDeviceState(const std::string& path) {
  CopyStateToInitDeviceInfo();
  WriteDeviceState(path);
}
