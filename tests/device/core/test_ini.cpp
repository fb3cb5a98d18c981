#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>

#include <sys/stat.h>

#include "host.h"
#include "inifile.h"
#include "test_ini_support.h"

namespace {

std::int32_t IntOr(std::string_view text, std::int32_t def) {
  std::int32_t v = def;
  return ParseProfileInt(text, v) ? v : def;
}

std::string Get(const TIniText& t, std::string_view s, std::string_view k) {
  std::string v;
  return t.Find(s, k, v) ? v : std::string("<missing>");
}

}  // namespace

TEST(IniInteger, PrefixesSignsAndLeadingDigits) {
  EXPECT_EQ(IntOr("0x3", -9), 3);
  EXPECT_EQ(IntOr("0X1f", -9), 31);
  EXPECT_EQ(IntOr("$3", -9), 3);
  EXPECT_EQ(IntOr("$fF", -9), 255);
  EXPECT_EQ(IntOr("-$10", -9), -16);
  EXPECT_EQ(IntOr("  \t-12", -9), -12);
  EXPECT_EQ(IntOr("+7", -9), 7);
  EXPECT_EQ(IntOr("12abc", -9), 12);
  EXPECT_EQ(IntOr("0x", -9), 0);  // the leading 0 is a digit; no hex digits follow
  EXPECT_EQ(IntOr("0xg", -9), 0);
  EXPECT_EQ(IntOr("019", -9), 19);  // no octal
}

TEST(IniInteger, NoDigitGivesDefault) {
  for (const char* s : {"", "abc", "-", "+", "$", "$g", "- 7", " ", "x12"}) EXPECT_EQ(IntOr(s, 5), 5) << '"' << s << '"';
}

TEST(IniInteger, OutOfRangeWrapsModulo32Bits) {
  EXPECT_EQ(IntOr("65537", 0), 65537);
  EXPECT_EQ(IntOr("2147483647", 0), 2147483647);
  EXPECT_EQ(IntOr("-2147483648", 0), INT32_MIN);
  EXPECT_EQ(IntOr("4294967295", 0), -1);
  EXPECT_EQ(IntOr("2147483648", 0), INT32_MIN);
  const long long big = 99999999999LL;
  const auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(big & 0xFFFFFFFFLL));
  EXPECT_EQ(IntOr("99999999999", 0), wrapped);
  // the low 16 bits the callers keep are those of the number written
  EXPECT_EQ(static_cast<std::int16_t>(IntOr("99999999999", 0)), static_cast<std::int16_t>(big & 0xFFFF));
  EXPECT_EQ(IntOr("-99999999999", 0), static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(wrapped)));
  // a very long run of digits is still read, in linear time
  EXPECT_EQ(IntOr(std::string(100000, '0') + "42", 0), 42);
  EXPECT_EQ(IntOr("0x" + std::string(1000, 'f'), 0), -1);
}

TEST(IniText, LookupIgnoresCaseAndTrims) {
  const TIniText t(
      "; comment=not a key\r\n"
      "orphan=before any section\r\n"
      "[ DeviceState ]\r\n"
      "  MenuMode  =  3  \r\n"
      "Quoted=\"  padded \"\r\n"
      "Single='x'\r\n"
      "Empty=\r\n"
      "[Other]\r\n"
      "MenuMode=9\r\n");
  EXPECT_EQ(Get(t, "devicestate", "MENUMODE"), "3");
  EXPECT_EQ(Get(t, "DeviceState", "quoted"), "  padded ");
  EXPECT_EQ(Get(t, "DeviceState", "Single"), "x");
  EXPECT_EQ(Get(t, "DeviceState", "Empty"), "");
  EXPECT_EQ(Get(t, "Other", "MenuMode"), "9");
  EXPECT_EQ(Get(t, "DeviceState", "orphan"), "<missing>");
  EXPECT_EQ(Get(t, "DeviceState", "; comment"), "<missing>");
  EXPECT_EQ(Get(t, "Missing", "MenuMode"), "<missing>");
  EXPECT_EQ(Get(t, "Other", "Quoted"), "<missing>");  // keys do not leak across sections
}

TEST(IniText, FirstSectionAndFirstKeyWin) {
  const TIniText t("[A]\nk=1\nk=2\n[B]\nk=3\n[a]\nk=4\nonly=5\n");
  EXPECT_EQ(Get(t, "A", "k"), "1");
  EXPECT_EQ(Get(t, "B", "k"), "3");
  EXPECT_EQ(Get(t, "A", "only"), "<missing>");
}

TEST(IniText, MalformedLinesAreSkipped) {
  const TIniText t(
      "[Broken\n"
      "no equals sign\n"
      "=value without key\n"
      "[S]\n"
      "garbage line\n"
      "]]]\n"
      "k=v=w\n"
      "[S2");  // truncated header at the end
  EXPECT_EQ(Get(t, "Broken", "no equals sign"), "<missing>");
  EXPECT_EQ(Get(t, "S", "k"), "v=w");
  EXPECT_EQ(Get(t, "S", ""), "<missing>");
}

TEST(IniText, NulBytesAndLongValues) {
  std::string text = "[S]\nnul=ab";
  text.push_back('\0');
  text += "cd\nlong=" + std::string(5000, 'x') + "\nafter=1";  // last line without newline
  text.push_back('\0');
  const TIniText t(text);
  EXPECT_EQ(Get(t, "S", "nul"), "ab");
  EXPECT_EQ(Get(t, "S", "long"), std::string(TIniText::kMaxValue, 'x'));
  EXPECT_EQ(Get(t, "S", "after"), "1");
}

TEST(IniText, SetReplacesInPlaceAndKeepsEverythingElse) {
  const std::string before =
      "; settings\r\n"
      "\r\n"
      "[devicestate]\r\n"
      "menumode = 3 ; not a comment for us\r\n"
      "MenuItem=7\r\n"
      "\r\n"
      "[Window]\r\n"
      "Left=10\r\n";
  TIniText t(before);
  t.Set("DeviceState", "MenuMode", "5");
  EXPECT_EQ(t.Text(),
            "; settings\r\n"
            "\r\n"
            "[devicestate]\r\n"
            "menumode = 5\r\n"
            "MenuItem=7\r\n"
            "\r\n"
            "[Window]\r\n"
            "Left=10\r\n");
  // a new key goes after the section's last key, before the blank line
  t.Set("DeviceState", "CollectMode", "-1");
  EXPECT_NE(t.Text().find("MenuItem=7\r\nCollectMode=-1\r\n\r\n[Window]"), std::string::npos) << t.Text();
  // a new section goes to the end, after a blank line
  t.Set("Language", "Name", "English");
  EXPECT_TRUE(t.Text().ends_with("Left=10\r\n\r\n[Language]\r\nName=English\r\n")) << t.Text();
  EXPECT_EQ(Get(t, "devicestate", "collectmode"), "-1");
  EXPECT_EQ(t.Text().find("[DeviceState]"), std::string::npos);
}

TEST(IniText, SetKeepsOrderLineEndsAndLastLine) {
  TIniText t;
  for (const char* k : {"B", "A", "C"}) t.Set("S", k, k);
  EXPECT_EQ(t.Text(), "[S]\r\nB=B\r\nA=A\r\nC=C\r\n");

  TIniText lf("[S]\nx=1");  // LF file whose last line has no terminator
  lf.Set("S", "y", "2");
  EXPECT_EQ(lf.Text(), "[S]\nx=1\ny=2");
  lf.Set("T", "z", "3");
  EXPECT_EQ(lf.Text(), "[S]\nx=1\ny=2\n\n[T]\nz=3\n");

  TIniText empty("[S]\n");
  empty.Set("S", "k", "");
  empty.Set("S", "k", "again");
  EXPECT_EQ(empty.Text(), "[S]\nk=again\n");
}

TEST(IniText, ValueCannotPlantLines) {
  TIniText t("[S]\nk=1\n");
  t.Set("S", "k", "evil\n[S]\nk=2");
  EXPECT_EQ(t.Text(), "[S]\nk=evil\n");
}

TEST(IniFile, WritesThroughTheFileAndRereads) {
  TTempDir dir;
  const std::string path = dir.File("a.INI");
  TIniFile w(path);
  w.WriteInteger("S", "n", -1);
  w.WriteString("S", "t", "hello");
  EXPECT_EQ(w.ReadInteger("S", "n", 0), -1);  // its own writes are visible
  const TIniFile r(path);
  EXPECT_EQ(r.ReadInteger("s", "N", 0), -1);
  EXPECT_EQ(r.ReadString("S", "t", "def"), "hello");
  EXPECT_EQ(r.ReadString("S", "missing", "def"), "def");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(IniFile, FailedWritesAreReported) {
  TTempDir dir;
  const std::string noDir = dir.File("missing/sub/a.INI");
  TIniFile a(noDir);
  try {
    a.WriteInteger("S", "k", 1);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Unable to write to " + noDir);
  }

  const std::string isDir = dir.File("dir.INI");
  std::filesystem::create_directory(isDir);
  std::filesystem::create_directory(isDir + "/keep");
  TIniFile b(isDir);
  EXPECT_EQ(b.ReadInteger("S", "k", 7), 7);
  try {
    b.WriteString("S", "k", "1");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Unable to write to " + isDir);
  }
  EXPECT_TRUE(std::filesystem::is_directory(isDir + "/keep"));

  // an injected writer that refuses
  const std::string path = dir.File("c.INI");
  PutFile(path, "[S]\nk=1\n");
  TIniFile c(path, [](const std::string&, const std::string&) { return false; });
  EXPECT_THROW(c.WriteInteger("S", "k", 2), Exception);
  EXPECT_EQ(GetFile(path), "[S]\nk=1\n");
  EXPECT_EQ(c.ReadInteger("S", "k", 0), 1);  // the failed value is not pretended
}

TEST(IniText, ByteOrderMarkDoesNotHideTheFirstSection) {
  const std::string bom = "\xEF\xBB\xBF";
  TIniText t(bom + "[DeviceState]\r\nMenuMode=3\r\n\r\n[Language]\r\nName=RUS\r\n");
  EXPECT_EQ(Get(t, "DeviceState", "MenuMode"), "3");
  t.Set("DeviceState", "MenuMode", "4");
  t.Set("DeviceState", "MenuItem", "1");
  EXPECT_EQ(t.Text(), bom + "[DeviceState]\r\nMenuMode=4\r\nMenuItem=1\r\n\r\n[Language]\r\nName=RUS\r\n");

  TIniText only(bom);  // a file that holds nothing but the mark
  only.Set("S", "k", "1");
  EXPECT_EQ(only.Text(), bom + "[S]\r\nk=1\r\n");
  // Only at the very start is it a mark; elsewhere it is part of a name.
  const TIniText later("[A]\nk=1\n" + bom + "[B]\nk=2\n");
  EXPECT_EQ(Get(later, "B", "k"), "<missing>");
}

// Runs as root in CI, where the mode bits do not stop a write: the writer must
// look at them itself.
TEST(IniFile, ReadOnlyFileStaysUntouched) {
  TTempDir dir;
  const std::string path = dir.File("ro.INI");
  const std::string before = "[DeviceState]\r\nMenuMode=3\r\n";
  PutFile(path, before);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  TIniFile ini(path);
  try {
    ini.WriteInteger("DeviceState", "MenuMode", 4);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Unable to write to " + path);
  }
  EXPECT_EQ(GetFile(path), before);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  EXPECT_EQ(ini.ReadInteger("DeviceState", "MenuMode", 0), 3);
}

TEST(IniFile, WritingThroughALinkKeepsTheLinkAndTheTargetsMode) {
  TTempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  const std::string target = dir.File("real/settings.INI");
  const std::string link = dir.File("ORB720Demo.INI");
  const std::string chain = dir.File("chain.INI");
  PutFile(target, "[DeviceState]\nMenuMode=3\n");
  std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::create_symlink("real/settings.INI", link);  // relative, as users make them
  std::filesystem::create_symlink("ORB720Demo.INI", chain);

  TIniFile ini(chain);
  EXPECT_EQ(ini.ReadInteger("DeviceState", "MenuMode", 0), 3);
  ini.WriteInteger("DeviceState", "MenuMode", 5);
  ini.WriteString("Language", "Name", "RUS");
  EXPECT_TRUE(std::filesystem::is_symlink(chain));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link), "real/settings.INI");
  EXPECT_EQ(GetFile(target), "[DeviceState]\nMenuMode=5\n\n[Language]\nName=RUS\n");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));

  // A link whose target does not exist yet gets it created.
  const std::string dangling = dir.File("new.INI");
  std::filesystem::create_symlink("real/new.INI", dangling);
  TIniFile fresh(dangling);
  fresh.WriteInteger("S", "k", 1);
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(GetFile(dir.File("real/new.INI")), "[S]\r\nk=1\r\n");

  // A loop of links has no file to write.
  const std::string a = dir.File("a.INI"), b = dir.File("b.INI");
  std::filesystem::create_symlink("b.INI", a);
  std::filesystem::create_symlink("a.INI", b);
  TIniFile loop(a);
  EXPECT_THROW(loop.WriteInteger("S", "k", 1), Exception);
  EXPECT_TRUE(std::filesystem::is_symlink(a));
}

TEST(IniFile, BadFilesGiveDefaultsWithoutHanging) {
  TTempDir dir;
  const std::string path = dir.File("bad.INI");

  std::mt19937 rng(1234);
  std::string noise(1 << 16, '\0');
  for (char& c : noise) c = static_cast<char>(rng() & 0xFF);
  PutFile(path, noise);
  const TIniFile random(path);
  EXPECT_EQ(random.ReadInteger("DeviceState", "MenuMode", 42), 42);

  PutFile(path, std::string("[DeviceState]\nMenuMode=1\0\0\0\x01\xff[x\n\0MenuItem=2\n", 33));
  const TIniFile binary(path);
  EXPECT_EQ(binary.ReadInteger("DeviceState", "MenuMode", 0), 1);

  PutFile(path, "[DeviceState]\nMenuMode=1\nMenuIt");
  const TIniFile truncated(path);
  EXPECT_EQ(truncated.ReadInteger("DeviceState", "MenuMode", 0), 1);
  EXPECT_EQ(truncated.ReadInteger("DeviceState", "MenuIt", 9), 9);

  // a FIFO would block a naive reader for ever
  const std::string fifo = dir.File("fifo.INI");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const TIniFile pipe(fifo);
  EXPECT_EQ(pipe.ReadInteger("S", "k", 3), 3);
  TIniFile pipeW(fifo);
  EXPECT_THROW(pipeW.WriteInteger("S", "k", 1), Exception);
}

TEST(IniFile, TenMegabytesReadQuickly) {
  TTempDir dir;
  const std::string path = dir.File("big.INI");
  // the worst shape: millions of tiny keys inside the section looked up
  std::string text = "[DeviceState]\n";
  while (text.size() < 10u << 20) text += "a=b\n";
  text += "MenuMode=4\n[Language]\nName=English\n";
  PutFile(path, text);
  const auto t0 = std::chrono::steady_clock::now();
  const TIniFile ini(path);
  std::int32_t sum = 0;
  for (int i = 0; i < 11; ++i) sum += ini.ReadInteger("DeviceState", "MenuMode", 0);
  const std::string name = ini.ReadString("Language", "Name", "");
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(sum, 44);
  EXPECT_EQ(name, "English");
  EXPECT_LT(ms, 1000);
  RecordProperty("read_ms", static_cast<int>(ms));

  // a single 10 MB line
  PutFile(path, "[S]\nk=" + std::string(10u << 20, '7') + "\n");
  const auto t1 = std::chrono::steady_clock::now();
  const TIniFile one(path);
  EXPECT_EQ(one.ReadString("S", "k", "").size(), TIniText::kMaxValue);
  one.ReadInteger("S", "k", 0);  // wraps, must not be undefined
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t1).count(), 1000);
}
