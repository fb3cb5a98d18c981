// The committed screen gallery is exactly what its scenarios render now:
// a firmware change that alters a screen fails here until
// tools/gallery/render.sh has been run and its pictures looked at.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "gif_decode.h"
#include "runner.h"
#include "scenario.h"

namespace fs = std::filesystem;

TEST(Gallery, CommittedPicturesAreWhatTheScenariosRender) {
  const fs::path root = ORB_SOURCE_DIR;
  const fs::path gallery = root / "docs/gallery";
  // The languages as tools/gallery/render.sh renders them.
  const std::pair<fs::path, std::vector<std::string>> sets[] = {{root / "docs/scenarios", {"en", "ru"}},
                                                                {root / "docs/scenarios/us", {"us"}}};
  std::set<std::string> rendered;
  for (const auto& [dir, langs] : sets) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().extension() == ".scn") files.push_back(e.path());
    ASSERT_FALSE(files.empty()) << dir;
    for (const fs::path& file : files) {
      std::ifstream in(file);
      std::stringstream text;
      text << in.rdbuf();
      TScenario s;
      std::vector<std::string> errors;
      ASSERT_TRUE(ParseScenario(file.filename().string(), text.str(), s, errors)) << errors[0];
      for (const std::string& lang : langs) {
        TRunSettings settings;
        ASSERT_TRUE(PrepareRun(s, dir.string(), lang, "_" + lang, settings, errors));
        const TRunResult r = RunScenario(s, settings);
        EXPECT_TRUE(r.problems.empty() && r.mismatches.empty()) << file << " " << lang;
        for (const TOutput& o : r.outputs) {
          rendered.insert(o.file);
          const fs::path committed = gallery / o.file;
          if (o.isGif) {
            std::ifstream g(committed, std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(g), std::istreambuf_iterator<char>()};
            const TGifDecoded want = DecodeGif(bytes), got = DecodeGif(o.gif);
            ASSERT_EQ(got.error, "") << o.file;
            bool same = want.error.empty() && want.frames.size() == got.frames.size();
            for (std::size_t i = 0; same && i < got.frames.size(); ++i)
              same = want.frames[i].delay == got.frames[i].delay && want.frames[i].picture == got.frames[i].picture;
            EXPECT_TRUE(same) << committed << " differs from what " << file.filename() << " renders; run "
                              << "tools/gallery/render.sh";
          } else {
            TRgbImage png;
            EXPECT_TRUE(ReadPng(committed.string(), png) && png == o.png)
                << committed << " differs from what " << file.filename() << " renders; run tools/gallery/render.sh";
          }
        }
      }
    }
  }
  // Nothing stale is left beside them.
  for (const auto& e : fs::directory_iterator(gallery))
    EXPECT_TRUE(rendered.count(e.path().filename().string())) << e.path() << " is rendered by no scenario";
  EXPECT_TRUE(rendered.count("main_menu_en.png") && rendered.count("point_route_en.png") &&
              rendered.count("analy_zoom_en.png"));
}
