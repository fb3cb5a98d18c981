// PNG files and the text form of frames, as the tests and the tools keep them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../core/test_ini_support.h"
#include "headless_host.h"
#include "pngfile.h"

namespace {

TEST(PngFile, WritesCompressedAndReadsEveryPixelBack) {
  TTempDir dir;
  // Odd sizes and all three channels varied, so a swapped channel or a wrong
  // row stride shows; a large flat area, as in an LCD frame, must compress.
  TRgbImage img(37, 160, 0xF8F8F8);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < img.width; ++x)
      img.At(x, y) = static_cast<std::uint32_t>((x * 7) << 16 | (y * 11) << 8 | ((x + y) * 5 & 0xFF));
  const std::string path = dir.File("a.png");
  std::string error;
  ASSERT_TRUE(WritePng(path, img, &error)) << error;
  EXPECT_LT(std::filesystem::file_size(path), static_cast<std::uintmax_t>(img.width * img.height * 3 / 4));
  TRgbImage back;
  ASSERT_TRUE(ReadPng(path, back, &error)) << error;
  EXPECT_EQ(back.width, 37);
  EXPECT_EQ(back.height, 160);
  EXPECT_TRUE(back == img);
}

TEST(PngFile, RefusesMissingDamagedAndUnwritableFiles) {
  TTempDir dir;
  TRgbImage img(4, 4, 0x123456);
  std::string error;
  TRgbImage back;
  EXPECT_FALSE(ReadPng(dir.File("none.png"), back, &error));
  EXPECT_NE(error.find("none.png"), std::string::npos);

  ASSERT_TRUE(WritePng(dir.File("good.png"), img));
  const std::string good = GetFile(dir.File("good.png"));
  PutFile(dir.File("cut.png"), good.substr(0, good.size() / 2));
  EXPECT_FALSE(ReadPng(dir.File("cut.png"), back, &error));
  PutFile(dir.File("text.png"), "not a picture");
  EXPECT_FALSE(ReadPng(dir.File("text.png"), back, &error));

  EXPECT_FALSE(WritePng(dir.File("no/such/dir.png"), img, &error));
  EXPECT_FALSE(WritePng(dir.File("empty.png"), TRgbImage{}, &error));
}

// Every golden picture shows exactly its text, lit or dimmed: a picture left
// behind by a changed golden, or a writer fault, fails here.
TEST(GoldenFrames, PicturesShowTheirText) {
  int pairs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(ORB_SOURCE_DIR) + "/tests/goldens")) {
    const std::filesystem::path txt = entry.path();
    if (txt.extension() != ".txt" || txt.stem().extension() == ".actual") continue;
    SCOPED_TRACE(txt.filename().string());
    const std::string text = GetFile(txt.string());
    TFrame f;
    ASSERT_TRUE(TextToFrame(text, f));
    EXPECT_EQ(FrameToText(f), text);
    TRgbImage picture;
    std::string error;
    ASSERT_TRUE(ReadPng(std::filesystem::path(txt).replace_extension(".png").string(), picture, &error)) << error;
    f.backlight = true;
    const bool lit = picture == FrameImage(f, 2);
    f.backlight = false;
    EXPECT_TRUE(lit || picture == FrameImage(f, 2));
    ++pairs;
  }
  EXPECT_GT(pairs, 30);
}

TEST(GoldenFrames, TextOfAnotherShapeOrAlphabetIsRefused) {
  TFrame f;
  std::string text = FrameToText(f);
  ASSERT_TRUE(TextToFrame(text, f));
  text[5] = '?';
  EXPECT_FALSE(TextToFrame(text, f));
  EXPECT_FALSE(TextToFrame(text.substr(0, text.size() - 1), f));
  text = FrameToText(TFrame{});
  std::swap(text[127], text[128]);  // a row one character short, the next one long
  EXPECT_FALSE(TextToFrame(text, f));
}

}  // namespace
