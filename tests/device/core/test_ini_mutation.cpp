// Settings files as users, editors, crashes and other programs leave them:
// a seeded mutator makes thousands of them, and each must read without a
// crash or a hang, give defaults or the first value written, and take a save
// after which it reads back exactly what was saved. A save that dies half
// way must leave the old file as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host.h"
#include "inifile.h"
#include "persist.h"
#include "state.h"
#include "test_ini_support.h"
#include "tracelog.h"
#include "watchdog.h"

namespace fs = std::filesystem;

namespace {

// Fewer under the sanitizers, whose interceptors make every file operation slow.
#if defined(__SANITIZE_THREAD__)
constexpr int kFiles = 500;
#elif defined(__SANITIZE_ADDRESS__)
constexpr int kFiles = 1000;
#else
constexpr int kFiles = 3000;
#endif

struct TRng {
  std::uint64_t s;
  std::uint64_t Bits() {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t n) { return n ? static_cast<std::size_t>(Bits() % n) : 0; }
  bool OneIn(std::size_t n) { return Below(n) == 0; }
};

const char* const kKeys[] = {"MenuMode",    "MenuItem",    "CollectMode",   "SelectedPoint", "AutoStepEn",   "TypeParam-A",
                             "TypeParam-V", "TypeParam-S", "HighFrequency", "PhaseDisplay",  "FreqDimension"};
constexpr std::int16_t kDefaults[] = {0, 0, 0, 478, 1, 1, 1, 1, 5, 1, 1};

std::int16_t* Fields(TInitDeviceInfo& d, int i) {
  std::int16_t* f[] = {&d.MenuMode,   &d.MenuItem,   &d.CollectMode,   &d.SelectedPoint, &d.AutoStepEn,    &d.TypeParamA,
                       &d.TypeParamV, &d.TypeParamS, &d.HighFrequency, &d.PhaseDisplay,  &d.FreqDimension};
  return f[i];
}
std::int16_t Field(const TInitDeviceInfo& d, int i) { return *Fields(const_cast<TInitDeviceInfo&>(d), i); }

// Names as the list has them, and as other programs may have written them:
// Windows-1251 and UTF-8 Cyrillic, and one with blanks around it.
const char* const kNames[] = {"ENG (SI)", "ENG (US)", "RUS", "\xD0\xF3\xF1\xF1\xEA\xE8\xE9",
                              "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9", "x=y;z"};

TInitDeviceInfo RandomInfo(TRng& r) {
  TInitDeviceInfo d;
  for (int i = 0; i < 11; ++i) {
    const std::size_t k = r.Below(4);
    *Fields(d, i) = static_cast<std::int16_t>(k == 0 ? r.Below(65536) : k == 1 ? r.Below(8) : k == 2 ? 201 + r.Below(2)
                                                                                                      : r.Below(479));
  }
  d.LanguageName = kNames[r.Below(std::size(kNames))];
  return d;
}

std::string Diff(const TInitDeviceInfo& want, const TInitDeviceInfo& got) {
  std::string d;
  for (int i = 0; i < 11; ++i) {
    const std::int16_t a = Field(want, i), b = Field(got, i);
    if (a != b) d += std::string(kKeys[i]) + " " + std::to_string(a) + "/" + std::to_string(b) + "; ";
  }
  if (want.LanguageName != got.LanguageName) d += "Name \"" + want.LanguageName + "\"/\"" + got.LanguageName + "\"; ";
  return d;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Printable form of a file for a failure message.
std::string Shown(const std::string& t) {
  std::string s;
  for (std::size_t i = 0; i < t.size() && s.size() < 400; ++i) {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    if (c == '\n') s += "\\n";
    else if (c == '\r') s += "\\r";
    else if (c < 32 || c >= 127) s += "\\x" + std::string(1, "0123456789ABCDEF"[c >> 4]) + "0123456789ABCDEF"[c & 15];
    else s += static_cast<char>(c);
  }
  return t.size() > 200 ? s + "... (" + std::to_string(t.size()) + " bytes)" : s;
}

// A scratch folder in memory where there is one: every save replaces the
// file once per key, which on a disk file system waits for the disk.
class TScratch {
 public:
  TScratch() {
    static int n = 0;
    std::error_code ec;
    fs::path base = "/dev/shm";
    if (!fs::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0) base = fs::temp_directory_path();
    dir_ = base / ("orb_ini_mut_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
    fs::remove_all(dir_, ec);
    fs::create_directories(dir_);
  }
  ~TScratch() {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  // Names in the folder other than the given ones (left-over temporary files).
  std::vector<std::string> Others(std::initializer_list<std::string> keep) const {
    std::vector<std::string> v;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir_, ec)) {
      const std::string n = e.path().filename().string();
      if (std::find(keep.begin(), keep.end(), n) == keep.end()) v.push_back(n);
    }
    return v;
  }

 private:
  fs::path dir_;
};

// The file as the program writes it.
std::string Canonical(const TInitDeviceInfo& d, const TScratch& dir) {
  const std::string p = dir.File("canonical.INI");
  std::error_code ec;
  fs::remove(p, ec);
  InitDeviceInfo = d;
  WriteDeviceState(p);
  return GetFile(p);
}

struct TMutated {
  std::string text;
  std::string how;
  bool exact = true;         // the values read are known
  TInitDeviceInfo expected;  // when exact
};

std::vector<std::string> Lines(const std::string& t) {
  std::vector<std::string> v;
  std::size_t b = 0;
  while (b < t.size()) {
    const std::size_t e = t.find('\n', b);
    if (e == std::string::npos) {
      v.push_back(t.substr(b));
      break;
    }
    v.push_back(t.substr(b, e + 1 - b));
    b = e + 1;
  }
  return v;
}
std::string Join(const std::vector<std::string>& v) {
  std::string t;
  for (const std::string& l : v) t += l;
  return t;
}
int KeyIndex(const std::string& line) {
  for (int i = 0; i < 11; ++i)
    if (line.rfind(std::string(kKeys[i]) + "=", 0) == 0) return i;
  return -1;
}
std::string Eol(const std::string& line) {
  return line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0 ? "\r\n" : "\n";
}

// Edits that keep the meaning: the values read are known. Applied in this
// order (structure first, spelling last), so that each finds the lines it
// edits as the program wrote them.
enum TEdit { kMissingKey, kMissingLanguage, kNumberForms, kOrder, kDuplicateKeys, kDuplicateSections, kForeignLines,
             kCase, kBlanks, kLf, kBom, kEdits };
void MutateKeepingMeaning(TMutated& m, TRng& r, int edit) {
  std::vector<std::string> lines = Lines(m.text);
  switch (edit) {
    case kLf: {  // LF line ends
      std::string t;
      for (char c : m.text)
        if (c != '\r') t += c;
      m.text = t;
      m.how += " lf";
      return;
    }
    case kBom:
      m.text = "\xEF\xBB\xBF" + m.text;
      m.how += " bom";
      return;
    case kCase:  // letter case of names
      for (std::string& l : lines) {
        const std::size_t eq = l.find('=');
        const std::size_t end = l[0] == '[' ? l.find(']') : eq;
        for (std::size_t i = 0; i < end && i < l.size(); ++i)
          if (r.OneIn(2)) l[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(l[i])));
      }
      m.how += " case";
      break;
    case kBlanks:  // blanks around names, '=' and values
      for (std::string& l : lines) {
        if (l[0] == '[') {
          l = std::string(r.Below(3), ' ') + "[ " + l.substr(1, l.find(']') - 1) + "\t]" + l.substr(l.find(']') + 1);
        } else if (KeyIndex(l) >= 0) {
          const std::size_t eq = l.find('=');
          l = std::string(r.Below(3), '\t') + l.substr(0, eq) + " = " + l.substr(eq + 1, l.size() - eq - 1 - Eol(l).size()) +
              "  " + Eol(l);
        }
      }
      m.how += " blanks";
      break;
    case kDuplicateKeys: {  // a later copy of a key with another value: the first one counts
      for (std::size_t i = 0; i < lines.size(); ++i) {
        const int k = KeyIndex(lines[i]);
        if (k >= 0 && r.OneIn(3)) {
          lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                       Lower(kKeys[k]) + "=" + std::to_string(r.Below(100)) + Eol(lines[i]));
          ++i;
        }
      }
      m.how += " duplicate-keys";
      break;
    }
    case kDuplicateSections:  // a second section of the same name further down
      lines.push_back("\r\n[devicestate]\r\nMenuMode=9\r\nHighFrequency=2\r\n");
      if (m.text.find("[Language]") != std::string::npos) lines.push_back("[LANGUAGE]\r\nName=other\r\n");
      m.how += " duplicate-sections";
      break;
    case kForeignLines:  // comments, unknown keys, lines without '=', blank lines
      for (std::size_t i = lines.size(); i-- > 0;) {
        if (!r.OneIn(2)) continue;
        const char* extra[] = {"; comment=1\r\n", "Unknown=7\r\n", "no equals sign\r\n", "\r\n", "[Other]\r\nMenuMode=3\r\n"};
        // A foreign section only between sections, where it cannot take keys.
        const std::size_t pick = r.Below(i + 1 < lines.size() && lines[i + 1][0] == '[' ? 5 : 4);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, extra[pick]);
      }
      m.how += " foreign-lines";
      break;
    case kMissingKey: {  // a key missing: its default
      std::vector<std::size_t> keyLines;
      for (std::size_t i = 0; i < lines.size(); ++i)
        if (KeyIndex(lines[i]) >= 0) keyLines.push_back(i);
      const std::size_t i = keyLines[r.Below(keyLines.size())];
      const int k = KeyIndex(lines[i]);
      *Fields(m.expected, k) = kDefaults[k];
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
      m.how += std::string(" missing-") + kKeys[k];
      break;
    }
    case kMissingLanguage: {  // the language section missing
      const auto it = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("[Language]", 0) == 0; });
      if (it != lines.end()) lines.erase(it, lines.end());
      m.expected.LanguageName.clear();
      m.how += " missing-language";
      break;
    }
    case kNumberForms:  // numbers written in hexadecimal, or beyond 16 bits
      for (std::string& l : lines) {
        const int k = KeyIndex(l);
        if (k < 0) continue;
        const auto v = static_cast<std::uint16_t>(*Fields(m.expected, k));
        char b[32];
        if (r.OneIn(2))
          std::snprintf(b, sizeof b, r.OneIn(2) ? "0x%X" : "$%x", v);
        else
          std::snprintf(b, sizeof b, "%lu", static_cast<unsigned long>(v + 65536ul * (1 + r.Below(30000))));
        l = std::string(kKeys[k]) + "=" + b + Eol(l);
      }
      m.how += " number-forms";
      break;
    default:  // kOrder: keys in another order
      for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (KeyIndex(lines[i]) >= 0 && KeyIndex(lines[i + 1]) >= 0 && r.OneIn(2)) std::swap(lines[i], lines[i + 1]);
      m.how += " order";
      break;
  }
  m.text = Join(lines);
}

// Edits that damage: only properties of the result are known.
void Damage(TMutated& m, TRng& r) {
  m.exact = false;
  std::string& t = m.text;
  const char structural[] = {'[', ']', '=', '\n', '\r', '\0', ' ', '\t', '\xFF', '\xEF', '"', ';', '0', '-', 'x'};
  switch (r.Below(8)) {
    case 0:
      t.resize(r.Below(t.size() + 1));
      m.how += " truncated";
      break;
    case 1:
      for (std::size_t n = 1 + r.Below(8); n-- > 0;) {
        const std::size_t at = r.Below(t.size() + 1);
        const char c = r.OneIn(2) ? structural[r.Below(sizeof structural)] : static_cast<char>(r.Bits() & 0xFF);
        const std::size_t op = r.Below(3);
        if (op == 0 || at == t.size()) t.insert(at, 1, c);
        else if (op == 1) t[at] = c;
        else t.erase(at, 1);
      }
      m.how += " noise";
      break;
    case 2:
      t.insert(r.Below(t.size() + 1), std::string(20000 + r.Below(40000), static_cast<char>('a' + r.Below(26))));
      m.how += " long-line";
      break;
    case 3: {
      const std::size_t eq = t.find('=', r.Below(t.size()));
      if (eq != std::string::npos) t.insert(eq + 1, std::string(3000 + r.Below(8000), r.OneIn(2) ? '9' : 'z'));
      m.how += " long-value";
      break;
    }
    case 4: {
      const std::size_t eq = t.find('=', r.Below(t.size()));
      const char* huge[] = {"99999999999999999999", "-2147483649", "0xFFFFFFFFFFFF", "$", "0x", "--5", "+-1", "1e9"};
      if (eq != std::string::npos) t.insert(eq + 1, huge[r.Below(std::size(huge))]);
      m.how += " odd-number";
      break;
    }
    case 5: {  // saved by an editor as UTF-16
      std::string u = "\xFF\xFE";
      for (char c : t) u += c, u += '\0';
      t = u;
      m.how += " utf16";
      break;
    }
    case 6: {
      std::string u;
      for (char c : t)
        if (c != '\n') u += c;
      t = u;
      m.how += " cr-only";
      break;
    }
    default:
      for (std::size_t n = 1 + r.Below(4); n-- > 0;) t.insert(r.Below(t.size() + 1), 1, '\0');
      m.how += " nul";
      break;
  }
}

// The file is as before, and nothing of a save is left beside it.
void ExpectUntouched(const std::string& path, const std::string& before, const TScratch& dir, const std::string& why) {
  EXPECT_EQ(GetFile(path), before) << why << ": the old file was changed";
  EXPECT_EQ(dir.Others({"settings.INI", "canonical.INI"}), std::vector<std::string>{}) << why;
}

struct IniMutation : ::testing::Test {
  void TearDown() override {
    InitDeviceInfo = TInitDeviceInfo{};
    TraceLog().Clear();
  }
  TWatchdog watchdog_;
};

// Runs a save in a child whose file size limit is half the old file: the
// save dies (the limit's signal) at its first write of a whole file.
void SaveThatDies(const std::string& path, const std::string& before) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit lim{before.size() / 2, before.size() / 2};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    try {
      WriteDeviceState(path);
    } catch (const Exception&) {
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
}

}  // namespace

TEST_F(IniMutation, ThousandsOfFilesReadSafelyAndTakeASave) {
  TScratch dir;
  const std::string path = dir.File("settings.INI");
  TRng r{20261208};
  int exact = 0, damaged = 0, diedDuringSave = 0;
  for (int n = 0; n < kFiles; ++n) {
    const TInitDeviceInfo orig = RandomInfo(r);
    TMutated m;
    m.text = Canonical(orig, dir);
    m.expected = orig;
    for (int edit = 0; edit < kEdits; ++edit)
      if (r.OneIn(4)) MutateKeepingMeaning(m, r, edit);
    if (r.OneIn(2)) Damage(m, r);
    (m.exact ? exact : damaged)++;
    const std::string why = "file " + std::to_string(n) + " (" + m.how + "): " + Shown(m.text);
    PutFile(path, m.text);

    watchdog_.Arm(why + " read", 20);
    InitDeviceInfo = TInitDeviceInfo{};
    TraceLog().Clear();
    ReadDeviceState(path);
    const TInitDeviceInfo got = InitDeviceInfo;
    if (m.exact) {
      EXPECT_EQ(Diff(m.expected, got), "") << why;
    } else {
      // A value other than the default comes from a line that names its key;
      // a name read is bytes of the file.
      const std::string lower = Lower(m.text);
      for (int i = 0; i < 11; ++i) {
        if (Field(got, i) != kDefaults[i]) {
          EXPECT_NE(lower.find(Lower(kKeys[i])), std::string::npos) << why << ": " << kKeys[i];
        }
      }
      EXPECT_NE(m.text.find(got.LanguageName), std::string::npos) << why;
    }

    // A save over whatever is there reads back as saved.
    const TInitDeviceInfo next = RandomInfo(r);
    InitDeviceInfo = next;
    watchdog_.Arm(why + " save", 20);
    EXPECT_NO_THROW(WriteDeviceState(path)) << why;
    InitDeviceInfo = TInitDeviceInfo{};
    ReadDeviceState(path);
    EXPECT_EQ(Diff(next, InitDeviceInfo), "") << why << " after a save: " << Shown(GetFile(path));

    // Now and then the program dies half way through a save (here: its file
    // size limit is reached): the file keeps its old bytes.
    if (n % (kFiles / 30) == 7) {
      const std::string before = GetFile(path);
      InitDeviceInfo = RandomInfo(r);
      SaveThatDies(path, before);
      ++diedDuringSave;
      EXPECT_EQ(GetFile(path), before) << why << ": a save that died half way changed the file";
      // What a dead save leaves may be cleared; the next save must work.
      for (const std::string& other : dir.Others({"settings.INI", "canonical.INI"})) fs::remove(dir.File(other));
    }
    watchdog_.Disarm();
    if (HasFailure()) break;
  }
  std::cout << kFiles << " mutated files: " << exact << " with known values, " << damaged << " damaged, "
            << diedDuringSave << " saves that died half way\n";
  RecordProperty("files", kFiles);
}

// Things at the settings path that are no file of ours.
TEST_F(IniMutation, WhatIsNoPlainFileStaysAsItWas) {
  TScratch dir;
  const std::string path = dir.File("settings.INI");
  TRng r{7};
  const TInitDeviceInfo orig = RandomInfo(r);
  const std::string text = Canonical(orig, dir);
  const auto readsDefaults = [&](const std::string& why) {
    InitDeviceInfo = orig;
    watchdog_.Arm(why, 20);
    ReadDeviceState(path);
    watchdog_.Disarm();
    EXPECT_EQ(Diff(TInitDeviceInfo{}, InitDeviceInfo), "") << why;
  };
  const auto saveFails = [&](const std::string& why) {
    InitDeviceInfo = RandomInfo(r);
    watchdog_.Arm(why, 20);
    try {
      WriteDeviceState(path);
      ADD_FAILURE() << why << ": the save reported success";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "Unable to write to " + path) << why;
    }
    watchdog_.Disarm();
  };

  // A folder.
  fs::create_directory(path);
  readsDefaults("a folder");
  saveFails("a folder");
  EXPECT_TRUE(fs::is_directory(path) && fs::is_empty(path));
  fs::remove(path);

  // A named pipe: a reader that opened it would wait for a writer for ever.
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  readsDefaults("a named pipe");
  saveFails("a named pipe");
  EXPECT_TRUE(fs::is_fifo(path));
  fs::remove(path);

  // A read-only file: read, never replaced.
  PutFile(path, text);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  InitDeviceInfo = TInitDeviceInfo{};
  ReadDeviceState(path);
  EXPECT_EQ(Diff(orig, InitDeviceInfo), "");
  saveFails("a read-only file");
  ExpectUntouched(path, text, dir, "a read-only file");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(path, fs::perms::owner_all);
  fs::remove(path);

  // A link to a file: both read and saved through; it stays a link.
  const std::string target = dir.File("target.INI");
  PutFile(target, text);
  fs::create_symlink("target.INI", path);
  InitDeviceInfo = TInitDeviceInfo{};
  ReadDeviceState(path);
  EXPECT_EQ(Diff(orig, InitDeviceInfo), "");
  const TInitDeviceInfo next = RandomInfo(r);
  InitDeviceInfo = next;
  EXPECT_NO_THROW(WriteDeviceState(path));
  EXPECT_TRUE(fs::is_symlink(path));
  InitDeviceInfo = TInitDeviceInfo{};
  ReadDeviceState(target);
  EXPECT_EQ(Diff(next, InitDeviceInfo), "");
  fs::remove(path);
  fs::remove(target);

  // A link to nothing yet: the save makes the file it names.
  fs::create_symlink("made.INI", path);
  readsDefaults("a dangling link");
  InitDeviceInfo = next;
  EXPECT_NO_THROW(WriteDeviceState(path));
  EXPECT_TRUE(fs::is_symlink(path) && fs::is_regular_file(dir.File("made.INI")));
  fs::remove(path);
  fs::remove(dir.File("made.INI"));

  // A loop of links, and a link to a folder.
  fs::create_symlink("loop.INI", path);
  fs::create_symlink("settings.INI", dir.File("loop.INI"));
  readsDefaults("a loop of links");
  saveFails("a loop of links");
  EXPECT_TRUE(fs::is_symlink(path) && fs::is_symlink(dir.File("loop.INI")));
  fs::remove(path);
  fs::remove(dir.File("loop.INI"));
  fs::create_directory(dir.File("folder"));
  fs::create_symlink("folder", path);
  readsDefaults("a link to a folder");
  saveFails("a link to a folder");
  EXPECT_TRUE(fs::is_symlink(path) && fs::is_empty(dir.File("folder")));
  fs::remove(path);
  fs::remove(dir.File("folder"));

  // Larger than any settings file: not read, not replaced (sparse, so cheap).
  {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(TIniText::kMaxFile + 1)), 0);
    ::close(fd);
  }
  readsDefaults("a huge file");
  saveFails("a huge file");
  EXPECT_EQ(fs::file_size(path), TIniText::kMaxFile + 1);
  fs::remove(path);

  // A folder that is not there.
  const std::string missing = dir.File("no-such-folder") + "/settings.INI";
  InitDeviceInfo = next;
  EXPECT_THROW(WriteDeviceState(missing), Exception);
  EXPECT_FALSE(fs::exists(dir.File("no-such-folder")));
}

// A crashed save can leave its temporary file behind, or another program a
// thing of that name. The next save must neither fail for it, nor write
// through it, nor leave the settings half written when it dies itself.
TEST_F(IniMutation, LeftOversOfASaveDoNotMisleadTheNext) {
  TScratch dir;
  const std::string path = dir.File("settings.INI");
  TRng r{99};
  const TInitDeviceInfo orig = RandomInfo(r);
  const std::string text = Canonical(orig, dir);
  const std::string victim = dir.File("victim.txt");
  const auto save = [&](const std::string& why) {
    const TInitDeviceInfo next = RandomInfo(r);
    InitDeviceInfo = next;
    watchdog_.Arm(why, 20);
    EXPECT_NO_THROW(WriteDeviceState(path)) << why;
    watchdog_.Disarm();
    InitDeviceInfo = TInitDeviceInfo{};
    ReadDeviceState(path);
    EXPECT_EQ(Diff(next, InitDeviceInfo), "") << why;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path))) << why;
  };
  for (const char* left : {"file", "folder", "link"}) {
    PutFile(path, text);
    PutFile(victim, "not yours\n");
    const std::string tmp = path + ".tmp";
    if (std::string(left) == "file") PutFile(tmp, "half of an old sa");
    if (std::string(left) == "folder") fs::create_directory(tmp);
    if (std::string(left) == "link") fs::create_symlink("victim.txt", tmp);
    save(std::string("a left-over ") + left);
    EXPECT_EQ(GetFile(victim), "not yours\n") << "a left-over link: the save wrote through it";

    // And a save that dies half way beside the left-over keeps the old file.
    const std::string before = GetFile(path);
    InitDeviceInfo = RandomInfo(r);
    SaveThatDies(path, before);
    EXPECT_EQ(GetFile(path), before) << "beside a left-over " << left << ": a save that died half way changed the file";
    EXPECT_EQ(GetFile(victim), "not yours\n");
    std::error_code ec;
    fs::remove_all(tmp, ec);
    for (const std::string& other : dir.Others({"settings.INI", "canonical.INI", "victim.txt"}))
      fs::remove_all(dir.File(other), ec);
  }
}

namespace {
}  // namespace

// A folder this user may not write, holding a settings file it may: the save
// edits the file in place, and a write that fails there (the file size limit,
// as when the disk is full) puts the old bytes back. Root may write every
// folder, so a child acts as another user.
TEST_F(IniMutation, InPlaceEditInAFolderThatTakesNoNewFile) {
  TScratch dir;
  const std::string path = dir.File("settings.INI");
  TRng r{5};
  const TInitDeviceInfo orig = RandomInfo(r);
  const std::string before = Canonical(orig, dir);
  fs::remove(dir.File("canonical.INI"));
  PutFile(path, before);
  const std::string folder = fs::path(path).parent_path().string();
  const uid_t other = 65534;
  if (::geteuid() == 0)
    ASSERT_EQ(::chown(path.c_str(), other, static_cast<gid_t>(-1)), 0);
  else
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  const TInitDeviceInfo next = RandomInfo(r);
  // 0: the save worked, 1: it reported the failure, 2: the wrong outcome.
  const auto inChild = [&](bool limited) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::geteuid() == 0 && ::setuid(other) != 0) ::_exit(3);
      if (limited) {
        std::signal(SIGXFSZ, SIG_IGN);  // the write reports the error
        const rlimit lim{before.size() / 2, before.size() / 2};
        ::setrlimit(RLIMIT_FSIZE, &lim);
      }
      InitDeviceInfo = next;
      try {
        WriteDeviceState(path);
      } catch (const Exception&) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
  };
  EXPECT_EQ(inChild(true), 1) << "the failed save was not reported";
  EXPECT_EQ(GetFile(path), before) << "a failed save left the file changed";
  EXPECT_EQ(inChild(false), 0);
  InitDeviceInfo = TInitDeviceInfo{};
  ReadDeviceState(path);
  EXPECT_EQ(Diff(next, InitDeviceInfo), "");
  EXPECT_EQ(dir.Others({"settings.INI"}), std::vector<std::string>{});
  fs::permissions(folder, fs::perms::owner_all);
}
