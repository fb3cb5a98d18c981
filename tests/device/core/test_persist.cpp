#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "host.h"
#include "persist.h"
#include "state.h"
#include "test_ini_support.h"
#include "tracelog.h"

namespace {

const char* const kOrder[] = {"MenuMode", "MenuItem", "CollectMode", "SelectedPoint", "AutoStepEn", "TypeParam-A",
                              "TypeParam-V", "TypeParam-S", "HighFrequency", "PhaseDisplay", "FreqDimension"};

// The globals are shared by every test of the executable; each test starts clean.
class PersistTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFirst_ = FirstStart;
    InitDeviceInfo = TInitDeviceInfo{};
    std::memset(&CProgramState, 0, sizeof CProgramState);
    TraceLog().Clear();
    path_ = dir_.File("ORB720.INI");
  }
  void TearDown() override {
    FirstStart = savedFirst_;
    InitDeviceInfo = TInitDeviceInfo{};
  }
  void FillInit(std::int16_t base) {
    std::int16_t v = base;
    for (auto* f : {&InitDeviceInfo.MenuMode, &InitDeviceInfo.MenuItem, &InitDeviceInfo.CollectMode,
                    &InitDeviceInfo.SelectedPoint, &InitDeviceInfo.AutoStepEn, &InitDeviceInfo.TypeParamA,
                    &InitDeviceInfo.TypeParamV, &InitDeviceInfo.TypeParamS, &InitDeviceInfo.HighFrequency,
                    &InitDeviceInfo.PhaseDisplay, &InitDeviceInfo.FreqDimension})
      *f = v++;
  }
  std::int16_t Field(int i) const {
    const std::int16_t* f[] = {&InitDeviceInfo.MenuMode, &InitDeviceInfo.MenuItem, &InitDeviceInfo.CollectMode,
                               &InitDeviceInfo.SelectedPoint, &InitDeviceInfo.AutoStepEn, &InitDeviceInfo.TypeParamA,
                               &InitDeviceInfo.TypeParamV, &InitDeviceInfo.TypeParamS, &InitDeviceInfo.HighFrequency,
                               &InitDeviceInfo.PhaseDisplay, &InitDeviceInfo.FreqDimension};
    return *f[i];
  }
  TTempDir dir_;
  std::string path_;
  std::uint16_t savedFirst_ = 1;
};

std::int16_t HighFrequencyFrom(const std::string& path, const std::string& value) {
  PutFile(path, "[DeviceState]\nHighFrequency=" + value + "\n");
  ReadDeviceState(path);
  return InitDeviceInfo.HighFrequency;
}

}  // namespace

TEST(IniFileName, ReplacesOrAppendsTheExtension) {
  EXPECT_EQ(IniFileName("/opt/orb/ORB720Demo.exe"), "/opt/orb/ORB720Demo.INI");
  EXPECT_EQ(IniFileName("/opt/orb/ORB720Demo"), "/opt/orb/ORB720Demo.INI");
  EXPECT_EQ(IniFileName("/opt/orb.d/demo"), "/opt/orb.d/demo.INI");  // a dot in a directory is no extension
  EXPECT_EQ(IniFileName("/opt/a.tar.gz"), "/opt/a.tar.INI");
}

TEST_F(PersistTest, NoFileGivesDefaultsAndTracesHighFrequency) {
  FillInit(77);  // must all be overwritten
  InitDeviceInfo.LanguageName = "stale";
  ReadDeviceState(path_);
  const std::int16_t want[] = {0, 0, 0, 478, 1, 1, 1, 1, 5, 1, 1};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(Field(i), want[i]) << kOrder[i];
  EXPECT_EQ(InitDeviceInfo.LanguageName, "");
  const auto lines = TraceLog().Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "TForm() InitDeviceInfo.HighFrequency = 5"), 1);
}

TEST_F(PersistTest, NumberForms) {
  EXPECT_EQ(HighFrequencyFrom(path_, "0x3"), 3);
  EXPECT_EQ(HighFrequencyFrom(path_, "$3"), 3);
  EXPECT_EQ(HighFrequencyFrom(path_, "abc"), 5);
  EXPECT_EQ(HighFrequencyFrom(path_, ""), 5);
  EXPECT_EQ(HighFrequencyFrom(path_, "65537"), 1);
  EXPECT_EQ(HighFrequencyFrom(path_, "-1"), -1);
  EXPECT_EQ(HighFrequencyFrom(path_, "99999999999"), static_cast<std::int16_t>(99999999999LL & 0xFFFF));
  const auto lines = TraceLog().Lines();
  EXPECT_EQ(lines.back(), "TForm() InitDeviceInfo.HighFrequency = " + std::to_string(static_cast<std::int16_t>(99999999999LL & 0xFFFF)));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "TForm() InitDeviceInfo.HighFrequency = 3"), lines.end());
}

TEST_F(PersistTest, WriteThenReadRoundTripsInTableOrder) {
  FillInit(-3);  // -3 .. 7: negatives written sign-extended
  InitDeviceInfo.FreqDimension = static_cast<std::int16_t>(0xFFFF);
  InitDeviceInfo.LanguageName = "English (United States)";
  WriteDeviceState(path_);
  std::string want = "[DeviceState]\r\n";
  for (int i = 0; i < 11; ++i) want += std::string(kOrder[i]) + "=" + std::to_string(Field(i)) + "\r\n";
  want += "\r\n[Language]\r\nName=English (United States)\r\n";
  EXPECT_EQ(GetFile(path_), want);
  EXPECT_NE(GetFile(path_).find("FreqDimension=-1\r\n"), std::string::npos);

  const TInitDeviceInfo written = InitDeviceInfo;
  InitDeviceInfo = TInitDeviceInfo{};
  ReadDeviceState(path_);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(Field(i), i < 10 ? -3 + i : -1) << kOrder[i];
  EXPECT_EQ(InitDeviceInfo.FreqDimension, written.FreqDimension);
  EXPECT_EQ(InitDeviceInfo.LanguageName, written.LanguageName);
}

TEST_F(PersistTest, ExistingSpellingAndOtherContentAreKept) {
  PutFile(path_,
          "; written by hand\n"
          "[Window]\n"
          "Left=100\n"
          "\n"
          "[devicestate]\n"
          "menumode=3\n"
          "highfrequency=2\n"
          "Unknown=keep me\n"
          "\n"
          "[Other]\n"
          "x=y\n");
  ReadDeviceState(path_);
  EXPECT_EQ(InitDeviceInfo.MenuMode, 3);
  EXPECT_EQ(InitDeviceInfo.HighFrequency, 2);
  EXPECT_EQ(InitDeviceInfo.SelectedPoint, 478);

  InitDeviceInfo.MenuMode = 1;
  InitDeviceInfo.LanguageName = "Russian";
  WriteDeviceState(path_);
  const std::string text = GetFile(path_);
  EXPECT_TRUE(text.starts_with("; written by hand\n[Window]\nLeft=100\n\n[devicestate]\nmenumode=1\nhighfrequency=2\nUnknown=keep me\nMenuItem=0\n"))
      << text;
  EXPECT_EQ(text.find("[DeviceState]"), std::string::npos);
  EXPECT_NE(text.find("\n[Other]\nx=y\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("[Language]\nName=Russian\n")) << text;
  // appended keys follow the table's order
  std::size_t at = 0;
  for (const char* k : {"MenuItem=", "CollectMode=", "SelectedPoint=", "AutoStepEn=", "TypeParam-A=", "TypeParam-V=",
                        "TypeParam-S=", "PhaseDisplay=", "FreqDimension="}) {
    const std::size_t p = text.find(k);
    ASSERT_NE(p, std::string::npos) << k;
    EXPECT_GT(p, at) << k;
    at = p;
  }
  EXPECT_LT(at, text.find("[Other]"));
}

TEST_F(PersistTest, WriteFailureNamesThePath) {
  for (const std::string& bad : {dir_.File("no/such/dir/ORB720.INI"), dir_.File("adir.INI")}) {
    if (bad.ends_with("adir.INI")) std::filesystem::create_directory(bad);
    try {
      WriteDeviceState(bad);
      ADD_FAILURE() << "no exception for " << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "Unable to write to " + bad);
    }
  }
}

TEST_F(PersistTest, FailureAtALaterKeyKeepsTheKeysBefore) {
  PutFile(path_, "[DeviceState]\r\nMenuMode=9\r\nAutoStepEn=9\r\n");
  FillInit(20);
  int calls = 0;
  // The fifth key write (AutoStepEn) fails, as a disk that fills up would.
  auto writer = [&calls](const std::string& p, const std::string& text) {
    return ++calls < 5 && WriteFileReplacing(p, text);
  };
  try {
    WriteDeviceState(path_, writer);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Unable to write to " + path_);
  }
  EXPECT_EQ(calls, 5);  // stopped at the failing key
  InitDeviceInfo = TInitDeviceInfo{};
  ReadDeviceState(path_);
  EXPECT_EQ(InitDeviceInfo.MenuMode, 20);
  EXPECT_EQ(InitDeviceInfo.MenuItem, 21);
  EXPECT_EQ(InitDeviceInfo.CollectMode, 22);
  EXPECT_EQ(InitDeviceInfo.SelectedPoint, 23);
  EXPECT_EQ(InitDeviceInfo.AutoStepEn, 9);      // the failing key keeps the old value
  EXPECT_EQ(InitDeviceInfo.TypeParamA, 1);      // later keys were not written
  EXPECT_EQ(GetFile(path_).find("TypeParam-A"), std::string::npos);
}

TEST_F(PersistTest, SaveBeforeTheFirstSwitchOnKeepsTheReadValues) {
  PutFile(path_, "[DeviceState]\nAutoStepEn=0\nHighFrequency=3\nSelectedPoint=12\n[Language]\nName=Russian\n");
  ReadDeviceState(path_);
  FirstStart = 1;  // never switched on: CProgramState is all zeros
  SaveDeviceState(path_);
  InitDeviceInfo = TInitDeviceInfo{};
  ReadDeviceState(path_);
  EXPECT_EQ(InitDeviceInfo.AutoStepEn, 0);
  EXPECT_EQ(InitDeviceInfo.HighFrequency, 3);
  EXPECT_EQ(InitDeviceInfo.SelectedPoint, 12);
  EXPECT_EQ(InitDeviceInfo.TypeParamA, 1);
  EXPECT_EQ(InitDeviceInfo.FreqDimension, 1);
  EXPECT_EQ(InitDeviceInfo.LanguageName, "Russian");
}

TEST_F(PersistTest, SaveAfterSwitchOnCopiesTheLiveState) {
  FirstStart = 0;
  CProgramState.MenuMode = 17;
  CProgramState.MenuItem = -2;
  CProgramState.CollectMode = 1;
  CProgramState.npnt = 477;
  CProgramState.StoreStatus = -100;  // not saved
  CProgramState.AutoStepEn = 0;
  CProgramState.TypeParamA = 0;
  CProgramState.TypeParamV = 2;
  CProgramState.TypeParamS = 1;
  CProgramState.HighFrequency = 6;
  CProgramState.PhaseDisplay = 0;
  CProgramState.FreqDimension = 201;
  InitDeviceInfo.LanguageName = "English";
  SaveDeviceState(path_);
  InitDeviceInfo = TInitDeviceInfo{};
  ReadDeviceState(path_);
  const std::int16_t want[] = {17, -2, 1, 477, 0, 0, 2, 1, 6, 0, 201};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(Field(i), want[i]) << kOrder[i];
  EXPECT_EQ(InitDeviceInfo.LanguageName, "English");
  EXPECT_EQ(GetFile(path_).find("StoreStatus"), std::string::npos);
}

TEST_F(PersistTest, BadFilesGiveDefaultsOrFirstValues) {
  struct Case {
    std::string text;
    std::int16_t menuMode, highFrequency;
  };
  const Case cases[] = {
      {std::string("\0\0\0\xff\xfe[DeviceState]\0=\0", 17), 0, 5},
      {"[DeviceState]\nMenuMode=2\nHighFreq", 2, 5},
      {"[DeviceState]\nMenuMode=2\n[DeviceState]\nMenuMode=3\nHighFrequency=4\n", 2, 5},
      {"[DeviceState]\nMenuMode=2\nMENUMODE=3\nHighFrequency\nHighFrequency 4\n", 2, 5},
      {"DeviceState]\nMenuMode=2\n[DeviceState\nHighFrequency=4\n", 0, 5},
      {"[DeviceState]\nMenuMode=12abc\nHighFrequency= 0x6 \n", 12, 6},
  };
  for (const Case& c : cases) {
    PutFile(path_, c.text);
    ReadDeviceState(path_);
    EXPECT_EQ(InitDeviceInfo.MenuMode, c.menuMode) << c.text;
    EXPECT_EQ(InitDeviceInfo.HighFrequency, c.highFrequency) << c.text;
    EXPECT_EQ(InitDeviceInfo.SelectedPoint, 478) << c.text;
  }
}

// Where the file goes. These run as root in CI, where every folder passes
// access(): the folder's mode bits decide for a portable copy.
namespace {
constexpr const char* kMark = "../share/applications/orb.desktop";
}  // namespace

TEST(SettingsLocation, PortableBesideItselfUnlessItsFolderIsReadOnly) {
  TTempDir dir;
  namespace fs = std::filesystem;
  const fs::path portable = dir.Path() / "portable", readOnly = dir.Path() / "ro", config = dir.Path() / "cfg/sub";
  fs::create_directories(portable);
  fs::create_directories(readOnly);
  int asked = 0;
  const auto configFolder = [&] {
    ++asked;
    return config.string();
  };

  EXPECT_EQ(SettingsFilePath((portable / "ORB720Demo").string(), kMark, configFolder),
            (portable / "ORB720Demo.INI").string());
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(fs::exists(config));

  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(SettingsFilePath((readOnly / "ORB720Demo").string(), kMark, configFolder),
            (config / "ORB720Demo.INI").string());
  EXPECT_TRUE(fs::is_directory(config)) << "the configuration folder is made";
  // A renamed copy keeps its own name there too.
  EXPECT_EQ(SettingsFilePath((readOnly / "demo2").string(), kMark, configFolder), (config / "demo2.INI").string());

  // A settings file already beside it wins, even in a read-only folder.
  fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::add);
  PutFile((readOnly / "ORB720Demo.INI").string(), "[Language]\nName=RUS\n");
  fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(SettingsFilePath((readOnly / "ORB720Demo").string(), kMark, configFolder),
            (readOnly / "ORB720Demo.INI").string());
  fs::permissions(readOnly, fs::perms::owner_all);
}

// Root may write /usr/bin: an installed copy is known by where it lies, and
// then neither a writable folder nor a file beside it counts.
TEST(SettingsLocation, AnInstalledCopyUsesTheConfigFolderWhoeverRunsIt) {
  TTempDir dir;
  namespace fs = std::filesystem;
  const fs::path bin = dir.Path() / "prefix/bin", config = dir.Path() / "cfg";
  fs::create_directories(bin);
  const std::string exe = (bin / "ORB720Demo").string();
  PutFile(exe, "");
  PutFile((bin / "ORB720Demo.INI").string(), "[Language]\nName=RUS\n");
  const auto configFolder = [&] { return config.string(); };
  EXPECT_FALSE(InstalledCopy(exe, kMark));
  EXPECT_EQ(SettingsFilePath(exe, kMark, configFolder), (bin / "ORB720Demo.INI").string());

  fs::create_directories(dir.Path() / "prefix/share/applications");
  PutFile((dir.Path() / "prefix/share/applications/orb.desktop").string(), "");
  EXPECT_TRUE(InstalledCopy(exe, kMark));
  EXPECT_EQ(SettingsFilePath(exe, kMark, configFolder), (config / "ORB720Demo.INI").string());
  EXPECT_EQ(GetFile((bin / "ORB720Demo.INI").string()), "[Language]\nName=RUS\n");
  // Reached through a link, or named with dots, it is the same copy.
  fs::create_directories(dir.Path() / "elsewhere");
  fs::create_symlink(exe, dir.Path() / "elsewhere/ORB720Demo");
  EXPECT_TRUE(InstalledCopy((dir.Path() / "elsewhere/ORB720Demo").string(), kMark));
  EXPECT_TRUE(InstalledCopy((bin / "../bin/./ORB720Demo").string(), kMark));
  EXPECT_FALSE(InstalledCopy(exe, "")) << "no mark, no system folder";

  // System folders need no mark, and are not fooled by their names' look.
  for (const char* path : {"/usr/bin/ORB720Demo", "/usr/local/bin/ORB720Demo", "/usr/games/ORB720Demo",
                           "/opt/orb720/bin/ORB720Demo", "/bin/ORB720Demo"})
    EXPECT_TRUE(InstalledCopy(path, "")) << path;
  for (const char* path : {"/usrx/bin/ORB720Demo", "/usr/../srv/ORB720Demo", "/ORB720Demo", "/home/usr/ORB720Demo"})
    EXPECT_FALSE(InstalledCopy(path, "")) << path;
}

TEST(SettingsLocation, AConfigFolderThatCannotBeMadeStillNamesThePathUsed) {
  TTempDir dir;
  namespace fs = std::filesystem;
  const fs::path readOnly = dir.Path() / "bin";
  fs::create_directories(readOnly);
  PutFile(dir.File("file"), "");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
  const std::string config = dir.File("file/cfg");  // under a file: cannot be made
  const std::string path = SettingsFilePath((readOnly / "ORB720Demo").string(), "", [&] { return config; });
  EXPECT_EQ(path, config + "/ORB720Demo.INI");
  // Without a known configuration folder a portable copy's path stays beside
  // it; an installed copy has none.
  EXPECT_EQ(SettingsFilePath((readOnly / "ORB720Demo").string(), "", [] { return std::string(); }),
            (readOnly / "ORB720Demo.INI").string());
  EXPECT_EQ(SettingsFilePath("/usr/bin/ORB720Demo", "", [] { return std::string(); }), "");
  InitDeviceInfo = TInitDeviceInfo{};
  for (const std::string& p : {path, std::string()}) {
    try {
      WriteDeviceState(p);
      ADD_FAILURE() << "no exception for \"" << p << '"';
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "Unable to write to " + p);
    }
  }
  fs::permissions(readOnly, fs::perms::owner_all);
}
