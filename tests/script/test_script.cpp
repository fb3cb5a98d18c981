// orb720-script: scenario faults, whole walks against the golden frames,
// expect, the GIF recordings and the program's exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "../device/core/test_ini_support.h"
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
  // ...and the moved cursor fails against the stored shot, in each language.
  EXPECT_EQ(run("--lang en,ru -o " + dir.File("out2") + " -e " + dir.File("out") + " " + dir.File("menu.scn")), 1);
  const std::string err = GetFile(dir.File("err.txt"));
  EXPECT_NE(err.find("menu.scn:4: expect menu: "), std::string::npos) << err;
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path() / "out2")) files.push_back(e.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"menu_en.diff.png", "menu_en.png", "menu_ru.diff.png", "menu_ru.png"}));
  TRgbImage shot;
  ASSERT_TRUE(ReadPng(dir.File("out/menu_ru.png"), shot));
  EXPECT_EQ(shot.width, 128);
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
