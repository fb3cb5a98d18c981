// orb720-script: scenario faults, whole walks against the golden frames,
// expect, the GIF recordings and the program's exit status.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "../device/core/test_ini_support.h"
#include "gif.h"
#include "gif_decode.h"
#include "golden.h"
#include "lcd.h"
#include "runner.h"
#include "scenario.h"

namespace {

const std::string kGoldens = std::string(ORB_SOURCE_DIR) + "/tests/goldens";

TScenario Parse(const std::string& text) {
  TScenario s;
  std::vector<std::string> errors;
  EXPECT_TRUE(ParseScenario("walk.scn", text, s, errors)) << (errors.empty() ? "" : errors[0]);
  return s;
}

TRunResult Walk(const TScenario& s, const std::string& lang = "en", const std::string& suffix = "",
               const std::string& expectDir = kGoldens) {
  TRunSettings settings;
  std::vector<std::string> errors;
  EXPECT_TRUE(PrepareRun(s, expectDir, lang, suffix, settings, errors)) << (errors.empty() ? "" : errors[0]);
  return RunScenario(s, settings);
}

const TOutput* Output(const TRunResult& r, const std::string& file) {
  for (const TOutput& o : r.outputs)
    if (o.file == file) return &o;
  return nullptr;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// Runs the program in dir through the shell, after prefix (shell commands);
// its standard error goes to dir/err.txt.
int Tool(const TTempDir& dir, const std::string& args, const std::string& prefix = "") {
  const std::string cmd =
      "cd '" + dir.Path().string() + "' && " + prefix + std::string(ORB_SCRIPT_EXE) + " " + args + " 2>err.txt";
  const int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::vector<std::string> Listing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(ScenarioFile, EveryFaultIsNamedWithItsFileAndLine) {
  const std::string text =
      "on\n"
      "# a comment, then a blank line\n"
      "\n"
      "jump 2\n"
      "press 5\n"
      "press one\n"
      "wait -2s   # never\n"
      "hold 1 300\n"
      "shot a\n"
      "record a\n"
      "shot a\n"
      "up\n"
      "zoom 0\n"
      "stop\n"
      "stop\n"
      "record b\n";
  TScenario s;
  std::vector<std::string> errors;
  EXPECT_FALSE(ParseScenario("bad.scn", text, s, errors));
  EXPECT_EQ(Joined(errors),
            "bad.scn:4: unknown command 'jump'\n"
            "bad.scn:5: no button 5 (buttons are 1 to 4)\n"
            "bad.scn:6: bad number 'one' (a button is 1 to 4)\n"
            "bad.scn:7: negative duration '-2s'\n"
            "bad.scn:8: duration '300' needs a unit: ms, s or m\n"
            "bad.scn:11: a.png is already written at line 9\n"
            "bad.scn:12: 'up' without a button down\n"
            "bad.scn:13: bad number '0' (a zoom is 1 to 8)\n"
            "bad.scn:15: 'stop' without 'record'\n"
            "bad.scn:16: record b has no 'stop'\n");

  // A stored picture that is not there is found before anything runs.
  const TScenario good = Parse("on\npress 4\nexpect no_such_frame\n");
  TRunSettings settings;
  errors.clear();
  EXPECT_FALSE(PrepareRun(good, kGoldens, "ru", "_ru", settings, errors));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "walk.scn:3: expect no_such_frame: no stored picture no_such_frame_ru.txt or "
                       "no_such_frame_ru.png in " + kGoldens);
}

TEST(ScenarioFile, KeysTakeTheirTimeAndOnlyEarlyLanguageLinesChooseTheStart) {
  const TScenario s = Parse("lang ru\nzoom 3\ngap 200ms\non\npress 1 2\nhold 3 1.5s\nlang us\nwait 1m\nshot x\n");
  EXPECT_EQ(s.startLang, "ru");
  // on 500 + press 2 x 100 + hold 1500, each followed by the 200 ms gap, + 1 min.
  EXPECT_EQ(s.durationMs, 700u + 600u + 1700u + 60000u);
  ASSERT_EQ(s.commands.size(), 6u);
  EXPECT_EQ(s.commands[3].op, TOp::Lang);  // a change in the middle of the walk
  EXPECT_EQ(s.commands[3].name, "us");
  EXPECT_EQ(s.commands[5].zoom, 3);
}

// The walk goes through the real dispatcher from switch-on, including an
// automatic switch-off and a second switch-on that resumes where it was, and
// meets the frames that the screens' own tests keep.
TEST(ScriptRun, WalkThroughTheFirmwareMeetsTheGoldenFrames) {
  const TScenario s = Parse(
      "on\n"
      "expect main_menu_en\n"
      "press 4\n"
      "expect point_route_en\n"
      "wait 60s\n"  // switched off on the route point screen
      "on\n"
      "expect point_route_en\n"
      "press 2\n"
      "press 1 2\n"  // WATCH
      "press 4\n"
      "expect band_watch_en\n"
      "press 2\n"
      "press 1\n"  // TACHOMETER
      "press 4\n"
      "expect tacho_rpm\n"
      "press 2\n"
      "press 1\n"  // SETTINGS
      "press 4\n"
      "press 3\n"  // About
      "press 4\n"
      "expect info_en\n"
      "press 4\n"
      "press 3 7\n"  // Clock setup
      "clock 2007-03-05 04:05:06\n"
      "press 4\n"
      "expect clock_en\n");
  const TRunResult r = Walk(s);
  EXPECT_EQ(Joined(r.mismatches), "");
  EXPECT_EQ(Joined(r.problems), "");
  EXPECT_EQ(r.virtualMs, s.durationMs);

  // The same walk's start in Russian, with the file names of a language run.
  const TRunResult ru = Walk(Parse("on\nexpect main_menu\npress 4\nexpect point_route\n"), "ru", "_ru");
  EXPECT_EQ(Joined(ru.mismatches), "");
}

TEST(ScriptRun, ExpectFailsOnAChangedFrameAndShowsWhere) {
  const TRunResult r = Walk(Parse("on\nexpect main_menu_en\npress 1\nexpect main_menu_en\n"));
  ASSERT_EQ(r.mismatches.size(), 1u);
  EXPECT_EQ(r.mismatches[0].rfind("walk.scn:4: expect main_menu_en: ", 0), 0u) << r.mismatches[0];
  const TOutput* diff = Output(r, "main_menu_en.diff.png");
  ASSERT_NE(diff, nullptr);
  // Expected, actual and difference, each at zoom 2.
  ASSERT_EQ(diff->png.width, 3 * 256);
  ASSERT_EQ(diff->png.height, 320);
  // Only the first two menu lines changed (the selection moved down one).
  int marked = 0;
  for (int y = 0; y < 320; ++y)
    for (int x = 512; x < 768; ++x)
      if (diff->png.At(x, y) == 0xFF00FF) {
        ++marked;
        EXPECT_TRUE(y >= 2 * 44 && y < 2 * 76) << x << "," << y;
      }
  EXPECT_GT(marked, 100);
}

TEST(Recording, GifDecodesToTheRecordedFramesDelaysAndColours) {
  const TScenario s = Parse(
      "zoom 2\n"
      "record r\n"
      "wait 1s\n"        // off: grey
      "on\n"             // main menu at 1.5 s
      "hold 1 1200ms\n"  // hold codes at 2.6, 2.65 and 2.7 s: three entries down
      "shot lit\n"
      "wait 41s\n"       // dims 40 s after the last hold code
      "shot dimmed\n"
      "stop\n");
  const TRunResult r = Walk(s);
  const TOutput* gif = Output(r, "r.gif");
  ASSERT_NE(gif, nullptr);
  const TGifDecoded d = DecodeGif(gif->gif);
  ASSERT_EQ(d.error, "");
  std::vector<int> delays;
  for (const TGifShown& f : d.frames) delays.push_back(f.delay);
  EXPECT_EQ(delays, (std::vector<int>{150, 110, 5, 5, 4000, 100}));

  // One palette holds the nine colours lit and dimmed.
  for (const LcdColour& c : kLcdColours) {
    EXPECT_NE(std::find(d.palette.begin(), d.palette.end(), c.bright), d.palette.end()) << c.code;
    EXPECT_NE(std::find(d.palette.begin(), d.palette.end(), c.dimmed), d.palette.end()) << c.code;
  }
  ASSERT_EQ(d.frames.size(), 6u);
  EXPECT_EQ(d.frames[0].picture, TRgbImage(256, 320, 0x4E4E4E));
  TFrame menu;
  ASSERT_TRUE(TextToFrame(GetFile(kGoldens + "/main_menu_en.txt"), menu));
  EXPECT_TRUE(d.frames[1].picture == FrameImage(menu, 2));
  // Later frames are only the changed rows, the rest left transparent.
  const TOutput* lit = Output(r, "lit.png");
  ASSERT_NE(lit, nullptr);
  EXPECT_TRUE(d.frames[4].picture == lit->png);
  const TOutput* dimmed = Output(r, "dimmed.png");
  ASSERT_NE(dimmed, nullptr);
  EXPECT_TRUE(d.frames[5].picture == dimmed->png);
  EXPECT_EQ(dimmed->png.At(20, 20), 0x00003Fu);  // the title band, dimmed blue
}

// Codes the firmware never draws have no place in the palette, written before
// the first frame: a frame with them carries its own, and the frames around
// it stay exact.
TEST(Recording, FramesWithCodesOutsideThePaletteKeepTheirColours) {
  TFrame plain;
  plain.px.fill(LCD_WHITE);
  TFrame odd = plain;
  for (std::size_t i = 0; i < 256; ++i) odd.px[1000 + i] = static_cast<std::uint8_t>(i);  // every code once
  TFrame after = plain;
  after.px[5] = LCD_BLUE;
  after.backlight = false;
  std::vector<std::uint8_t> bytes;
  TGifRecorder gif(1, [&](const std::uint8_t* data, std::size_t size) {
    bytes.insert(bytes.end(), data, data + size);
    return true;
  });
  gif.Frame(0, plain);
  gif.Frame(100, odd);
  gif.Frame(200, after);
  ASSERT_TRUE(gif.Finish(300));
  const TGifDecoded d = DecodeGif(bytes);
  ASSERT_EQ(d.error, "");
  ASSERT_EQ(d.frames.size(), 3u);
  EXPECT_TRUE(d.frames[0].picture == FrameImage(plain));
  EXPECT_TRUE(d.frames[1].picture == FrameImage(odd));
  EXPECT_TRUE(d.frames[2].picture == FrameImage(after));
}

TEST(CommandLine, BadInputWritesNothingAndAFailedExpectExitsWithOne) {
  TTempDir dir;
  const std::string exe = ORB_SCRIPT_EXE;
  auto run = [&](const std::string& args) {
    const int rc = std::system((exe + " " + args + " 2>" + dir.File("err.txt")).c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  };
  PutFile(dir.File("bad.scn"), "on\npress 5\nshot a\n");
  EXPECT_EQ(run("-o " + dir.File("out") + " " + dir.File("bad.scn")), 2);
  EXPECT_NE(GetFile(dir.File("err.txt")).find("bad.scn:2: no button 5"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out")));

  PutFile(dir.File("menu.scn"), "on\nshot menu\npress 1\nexpect menu\n");
  // Both languages render, the expects then look for the suffixed names...
  EXPECT_EQ(run("--check -o " + dir.File("out") + " -e " + dir.File("out") + " " + dir.File("menu.scn")), 2);
  PutFile(dir.File("shots.scn"), "on\nshot menu\n");
  EXPECT_EQ(run("--lang en,ru -o " + dir.File("out") + " " + dir.File("shots.scn")), 0);
  // ...and the moved cursor fails against the stored shot, in each language;
  // later failures of the same name, in one scenario or another, keep their
  // own pictures.
  PutFile(dir.File("again.scn"), "on\npress 1\nexpect menu\npress 1\nexpect menu\n");
  EXPECT_EQ(run("--lang en,ru -o " + dir.File("out2") + " -e " + dir.File("out") + " " + dir.File("menu.scn") + " " +
                dir.File("again.scn")),
            1);
  const std::string err = GetFile(dir.File("err.txt"));
  EXPECT_NE(err.find("menu.scn:4: expect menu: "), std::string::npos) << err;
  EXPECT_NE(err.find("again.scn:5: expect menu: 3584 pixels differ from " + dir.File("out/menu_ru.png") +
                     " (see menu_ru.3.diff.png)"),
            std::string::npos)
      << err;
  EXPECT_EQ(Listing(dir.Path() / "out2"),
            (std::vector<std::string>{"menu_en.2.diff.png", "menu_en.3.diff.png", "menu_en.diff.png", "menu_en.png",
                                      "menu_ru.2.diff.png", "menu_ru.3.diff.png", "menu_ru.diff.png", "menu_ru.png"}));
  TRgbImage shot;
  ASSERT_TRUE(ReadPng(dir.File("out/menu_ru.png"), shot));
  EXPECT_EQ(shot.width, 128);
}

// A folder that cannot be made or entered is named with the system's reason
// before anything runs, and nothing of it is left.
TEST(CommandLine, AnOutFolderThatCannotBeUsedIsNamedAndNothingOfItStays) {
  TTempDir dir;
  PutFile(dir.File("a.scn"), "on\nshot a\n");
  PutFile(dir.File("file"), "x");
  ASSERT_EQ(::symlink("loop2", dir.File("loop1").c_str()), 0);
  ASSERT_EQ(::symlink("loop1", dir.File("loop2").c_str()), 0);
  std::vector<std::pair<std::string, std::string>> cases = {
      {"file/sub", "Not a directory"},
      {"loop1", "Too many levels of symbolic links"},
      {"loop2/x", "Too many levels of symbolic links"},
      {"new/" + std::string(300, 'n'), "File name too long"},
  };
  // Root may write anywhere: no permission stops it.
  if (::geteuid() != 0) {
    std::filesystem::create_directory(dir.File("locked"));
    std::filesystem::permissions(dir.File("locked"), std::filesystem::perms::owner_read);
    cases.push_back({"locked/sub", "Permission denied"});
    cases.push_back({"locked", "Permission denied"});
  } else {
    std::cout << "[   NOTE   ] run as root: the cases of a folder without permission are left out\n";
  }
  for (const auto& [out, reason] : cases) {
    EXPECT_EQ(Tool(dir, "-o " + out + " a.scn"), 3) << out;
    const std::string err = GetFile(dir.File("err.txt"));
    EXPECT_NE(err.find(" folder " + out + ": " + reason + "\n"), std::string::npos) << err;
  }
  if (::geteuid() != 0) std::filesystem::permissions(dir.File("locked"), std::filesystem::perms::owner_all);
  std::vector<std::string> files = Listing(dir.Path());
  files.erase(std::remove(files.begin(), files.end(), "locked"), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"a.scn", "err.txt", "file", "loop1", "loop2"}));
  EXPECT_EQ(Listing(dir.Path() / "locked"), std::vector<std::string>{});

  // An empty folder is a usage fault; options take the spellings of the
  // scenario's commands.
  EXPECT_EQ(Tool(dir, "--out= a.scn"), 2);
  EXPECT_EQ(Tool(dir, "-o '' a.scn"), 2);
  EXPECT_EQ(Tool(dir, "--lang EN --zoom 08 --view LCD -o out a.scn"), 0) << GetFile(dir.File("err.txt"));
  TRgbImage shot;
  ASSERT_TRUE(ReadPng(dir.File("out/a_en.png"), shot));
  EXPECT_EQ(shot.width, 8 * LCD_WIDTH);
}

// A shot is on disk when taken and a recording grows frame by frame in its
// temporary file while the walk goes on, so memory does not grow with the
// walk; a stop signal leaves no temporary file behind.
TEST(CommandLine, FilesAreWrittenAsTheWalkGoesAndAStopSignalLeavesNoPart) {
  namespace fs = std::filesystem;
  TTempDir dir;
  // Fourteen hours of the tachometer at zoom 4.
  PutFile(dir.File("long.scn"), "on\nshot first\npress 1 3\npress 4\nzoom 4\nrecord tacho\ngap 50s\npress 1 1000\nstop\n");
  for (const int sig : {SIGINT, SIGTERM}) {
    const fs::path out = dir.Path() / ("out" + std::to_string(sig));
    const std::string exe = ORB_SCRIPT_EXE, outArg = out.string(), scenario = dir.File("long.scn");
    char* const argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("-o"), const_cast<char*>(outArg.c_str()),
                          const_cast<char*>(scenario.c_str()), nullptr};
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, &attr, argv, environ), 0);
    posix_spawnattr_destroy(&attr);
    const fs::path temp = out / (".tacho.gif.tmp" + std::to_string(pid));
    bool growing = false;
    for (int i = 0; i < 600 && !growing; ++i) {
      std::error_code ec;
      const auto size = fs::file_size(temp, ec);
      growing = !ec && size > 0 && fs::exists(out / "first.png");
      if (!growing) ::usleep(50000);
    }
    EXPECT_TRUE(growing) << "the shot and the recording did not reach the folder during the walk";
    ::kill(pid, growing ? sig : SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_EQ(Listing(out), std::vector<std::string>{"first.png"});
  }
}

namespace {
std::string Be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
std::string PngChunk(const std::string& type, const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const unsigned char b : type + data) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return Be32(static_cast<std::uint32_t>(data.size())) + type + data + Be32(~crc);
}
}  // namespace

// A stored picture is judged by its header and every input is read up to the
// size it can have: a small file that claims a huge picture, an endless
// scenario and an oversized frame text are refused at once.
TEST(CommandLine, InputsAreReadOnlyUpToTheSizeTheyCanHave) {
  TTempDir dir;
  const std::string png = "\x89PNG\r\n\x1A\n" +
                          PngChunk("IHDR", Be32(37837) + Be32(37837) + std::string("\x08\x02\0\0\0", 5)) +
                          PngChunk("IDAT", std::string("\x78\x9C\x63\x60\0\0\0\x02\0\x01\0\0\0", 13)) +
                          PngChunk("IEND", "");
  ASSERT_EQ(png.size(), 70u);
  PutFile(dir.File("huge.png"), png);
  // Four gigabytes, sparse: nothing of it is on the disk.
  PutFile(dir.File("long.txt"), "");
  std::filesystem::resize_file(dir.File("long.txt"), 4ull << 30);
  PutFile(dir.File("x.scn"), "on\nexpect huge\nexpect long\n");
  EXPECT_EQ(Tool(dir, "x.scn"), 2);
  EXPECT_EQ(GetFile(dir.File("err.txt")),
            "x.scn:2: expect huge: huge.png is neither an LCD nor an instrument picture at a zoom of 1 to 8 "
            "(37837 x 37837)\n"
            "x.scn:3: expect long: long.txt is not a frame in text form (160 lines of 128 colour characters)\n");
  EXPECT_EQ(Tool(dir, "/dev/zero"), 2);
  EXPECT_EQ(GetFile(dir.File("err.txt")), "/dev/zero: too large for a scenario (more than 4 MB)\n");
}

// Files from editors elsewhere: a byte-order mark, CR LF and lone CR line
// ends count the lines as the editor shows them; a long list of faults is cut
// short.
TEST(ScenarioFile, ByteOrderMarkAndOtherLineEndsAreReadAndLongFaultListsAreCut) {
  TScenario s;
  std::vector<std::string> errors;
  EXPECT_FALSE(ParseScenario("crlf.scn", "\xEF\xBB\xBFon\r\npress 4\rpress 9\r\n\rzoom 08\nshot a\n", s, errors));
  EXPECT_EQ(Joined(errors), "crlf.scn:3: no button 9 (buttons are 1 to 4)\n");
  ASSERT_EQ(s.commands.size(), 3u);
  EXPECT_EQ(s.commands[2].line, 6);
  EXPECT_EQ(s.commands[2].zoom, 8);

  std::string many;
  for (int i = 0; i < 25; ++i) many += "jump\n";
  errors.clear();
  EXPECT_FALSE(ParseScenario("many.scn", many, s, errors));
  ASSERT_EQ(errors.size(), 21u);
  EXPECT_EQ(errors[19], "many.scn:20: unknown command 'jump'");
  EXPECT_EQ(errors[20], "many.scn: and 5 more errors");
}

// What the program says names the file asked for and the system's reason,
// shows control bytes escaped and is never cut.
TEST(CommandLine, MessagesNameTheFileAndTheReasonShowControlBytesEscapedAndAreWhole) {
  TTempDir dir;
  PutFile(dir.File("esc.scn"), "on\njump\x1B]0;title\x07\n");
  EXPECT_EQ(Tool(dir, "esc.scn"), 2);
  EXPECT_EQ(GetFile(dir.File("err.txt")), "esc.scn:2: unknown command 'jump\\x1B]0;title\\x07'\n");

  // A full disk, here a limit of one kilobyte a file.
  PutFile(dir.File("big.scn"), "zoom 8\nrecord r\non\nwait 2s\nstop\nview device\nshot big\n");
  EXPECT_EQ(Tool(dir, "-o out big.scn", "ulimit -f 2; "), 3);
  EXPECT_EQ(GetFile(dir.File("err.txt")),
            "big.scn:5: out/r.gif: cannot write: File too large\n"
            "big.scn:7: out/big.png: cannot write: File too large\n");
  EXPECT_EQ(Listing(dir.Path() / "out"), std::vector<std::string>{});
  PutFile(dir.File("a.scn"), "on\n");
  EXPECT_EQ(Tool(dir, "--verbose a.scn >/dev/full"), 3);
  EXPECT_EQ(GetFile(dir.File("err.txt")), "orb720-script: standard output: cannot write: No space left on device\n");

  const std::string deep = std::string(240, 'd');
  std::filesystem::create_directory(dir.File(deep));
  PutFile(dir.File(deep + "/a.scn"), "on\n");
  EXPECT_EQ(Tool(dir, "--verbose " + deep + "/a.scn >out.txt"), 0);
  const std::string line = GetFile(dir.File("out.txt"));
  EXPECT_EQ(line.rfind(deep + "/a.scn (en): 0.5 s virtual, ", 0), 0u) << line;
  EXPECT_NE(line.find(" frames, 0 files, "), std::string::npos) << line;
}
