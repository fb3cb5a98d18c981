// The committed font resources: sizes, listed glyphs, width table, inventory
// rules, and the text forms they are edited in.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../../tools/fontgen/fontfmt.h"
#include "rcdata.h"

namespace {

std::string ReadSource(const std::string& rel) {
  std::ifstream in(std::string(ORB_SOURCE_DIR) + "/" + rel, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::uint8_t> Bin(const char* name) {
  const std::string s = ReadSource(std::string("lcd/fonts/") + name + ".bin");
  return std::vector<std::uint8_t>(s.begin(), s.end());
}

std::vector<std::uint8_t> Words(std::initializer_list<unsigned> words) {
  std::vector<std::uint8_t> v;
  for (unsigned w : words) v.push_back(static_cast<std::uint8_t>(w & 0xFF)), v.push_back(static_cast<std::uint8_t>(w >> 8));
  return v;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n) {
  if (at + n > b.size()) return {};
  return std::vector<std::uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(at),
                                   b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

const fontfmt::Format& Fmt(const char* name) { return *fontfmt::FindFormat(name); }

// Column c of glyph g as row bits, straight from the bytes.
std::uint32_t Col(const char* font, const std::vector<std::uint8_t>& b, int g, int c) {
  const fontfmt::Format& f = Fmt(font);
  return fontfmt::ColumnBits(f, b.data() + g * f.GlyphBytes(), c);
}

// The width table of the proportional face: codes 20..81, then C0..FF.
const int kWidths[162] = {
    5, 3, 5, 9, 7, 11, 9, 3, 5, 5, 6, 8, 3, 5, 3, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 3, 3, 9, 9, 9, 6,
    12, 8, 7, 8, 8, 7, 7, 8, 8, 4, 5, 7, 6, 10, 8, 9, 7, 9, 8, 8, 8, 8, 8, 12, 8, 8, 7, 5, 6, 5, 10, 8,
    4, 7, 7, 6, 7, 7, 6, 7, 7, 3, 4, 6, 3, 10, 7, 7, 7, 7, 5, 6, 5, 7, 6, 10, 6, 6, 6, 6, 3, 6, 9, 6,
    5, 7,
    8, 8, 7, 7, 9, 7, 12, 7, 8, 8, 7, 9, 10, 8, 9, 8, 7, 8, 8, 7, 10, 8, 9, 8, 12, 12, 9, 10, 8, 8, 12, 8,
    7, 7, 7, 4, 7, 7, 10, 6, 7, 7, 7, 7, 8, 7, 7, 7, 7, 6, 6, 6, 10, 6, 7, 7, 10, 11, 7, 9, 7, 6, 10, 7,
};

}  // namespace

TEST(FontFiles, SizesAndEmbeddedCopies) {
  const std::pair<const char*, std::size_t> sizes[] = {{"FONT1", 3096},
                                                       {"SMALL_DIGIT_FONT", 130},
                                                       {"LARGE_DIGIT_FONT", 384},
                                                       {"TAHOMA_REGULAR_12PT", 8100},
                                                       {"LARGE_ICON_14x14", 336}};
  for (const auto& [name, size] : sizes) {
    const std::vector<std::uint8_t> file = Bin(name);
    EXPECT_EQ(file.size(), size) << name;
    EXPECT_EQ(Fmt(name).Bytes(), size) << name;
    const std::uint8_t* data = nullptr;
    std::size_t n = 0;
    ASSERT_TRUE(FindRcData(name, &data, &n)) << name << " is not embedded";
    EXPECT_EQ(std::vector<std::uint8_t>(data, data + n), file) << name << " embedded copy differs from the file";
  }
}

TEST(FontFiles, ListedGlyphsByteForByte) {
  const auto font1 = Bin("FONT1"), small = Bin("SMALL_DIGIT_FONT"), large = Bin("LARGE_DIGIT_FONT"),
             text = Bin("TAHOMA_REGULAR_12PT"), icons = Bin("LARGE_ICON_14x14");
  EXPECT_EQ(Slice(font1, 12 * 0x30, 12), Words({0x3E, 0x51, 0x49, 0x45, 0x3E, 0x00}));
  EXPECT_EQ(Slice(font1, 12 * 0x41, 12), Words({0x7C, 0x12, 0x11, 0x12, 0x7C, 0x00}));
  EXPECT_EQ(Slice(font1, 12 * 0x60, 12), Words({0x00, 0x03, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Slice(font1, 12 * 256, 12), Words({0x04, 0x06, 0x07, 0x06, 0x04, 0x00}));
  EXPECT_EQ(Slice(font1, 12 * 257, 12), Words({0x10, 0x30, 0x70, 0x30, 0x10, 0x00}));
  EXPECT_EQ(Slice(small, 0, 10), Words({0, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(small, 10, 10), Words({0x7E, 0x81, 0x81, 0x81, 0x7E}));
  EXPECT_EQ(Slice(small, 110, 20), Words({0x06, 0x09, 0x09, 0xC6, 0x30, 0x0C, 0x63, 0x90, 0x90, 0x60}));
  EXPECT_EQ(Slice(large, 0, 32), Words({0xFC, 0x1F, 0xFE, 0x3F, 0x07, 0x70, 0x03, 0x60, 0x03, 0x60, 0x07, 0x70,
                                        0xFE, 0x3F, 0xFC, 0x1F}));
  // Point: columns 1 and 2, rows 13 and 14; minus: columns 3..7, rows 6 and 7.
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(Col("LARGE_DIGIT_FONT", large, 10, c), (c == 1 || c == 2) ? 0x6000u : 0u) << "point column " << c;
    EXPECT_EQ(Col("LARGE_DIGIT_FONT", large, 11, c), c >= 3 ? 0xC0u : 0u) << "minus column " << c;
  }
  EXPECT_EQ(Slice(text, 50 * 0x21, 34), Words({8, 0x00, 0x00, 0x00, 0x06, 0xC0, 0x01, 0x30, 0x01, 0x0C, 0x01, 0x30,
                                               0x01, 0xC0, 0x01, 0x00, 0x06}));
  EXPECT_EQ(Slice(icons, 56 * 3, 56), Words({0x00, 0x00, 0x0C, 0x00, 0x02, 0x00, 0x01, 0x00, 0x02, 0x00, 0x0C, 0x00,
                                             0x30, 0x00, 0xC0, 0x00, 0x00, 0x03, 0x00, 0x04, 0x00, 0x08, 0x00, 0x04,
                                             0x00, 0x03, 0x00, 0x00}));
}

TEST(FontFiles, ProportionalWidthTable) {
  const auto text = Bin("TAHOMA_REGULAR_12PT");
  ASSERT_EQ(text.size(), 8100u);
  for (int g = 0; g < 162; ++g) {
    const int w = static_cast<std::int16_t>(fontfmt::Word(text.data() + 50 * g));
    EXPECT_EQ(w, kWidths[g]) << "glyph " << g;
    // Columns past the width are never drawn and are stored as zero.
    for (int c = w; c < 12; ++c) EXPECT_EQ(Col("TAHOMA_REGULAR_12PT", text, g, c), 0u) << "glyph " << g << " col " << c;
  }
  // The space is blank.
  for (int c = 0; c < 12; ++c) EXPECT_EQ(Col("TAHOMA_REGULAR_12PT", text, 0, c), 0u);
}

TEST(FontFiles, Font1Inventory) {
  const auto font1 = Bin("FONT1");
  ASSERT_EQ(font1.size(), 3096u);
  auto glyph = [&](int g) { return Slice(font1, static_cast<std::size_t>(12 * g), 12); };
  const auto dot = Words({0x00, 0x00, 0x18, 0x18, 0x00, 0x00});
  for (int code = 0; code < 256; ++code) {
    const bool printable = (code >= 0x20 && code <= 0x7E) || code >= 0xC0;
    if (!printable) {
      EXPECT_EQ(glyph(code), dot) << "placeholder " << code;
    } else {
      EXPECT_EQ(Col("FONT1", font1, code, 5), 0u) << "column 5 of " << code;
    }
    if (printable && code != 0x20) {
      std::uint32_t ink = 0;
      for (int c = 0; c < 6; ++c) ink |= Col("FONT1", font1, code, c);
      EXPECT_NE(ink, 0u) << "blank glyph " << code;
    }
  }
  for (int code = 0x61; code <= 0x7A; ++code) EXPECT_EQ(glyph(code), glyph(code - 0x20)) << code;
  for (int code = 0xE0; code <= 0xFF; ++code) EXPECT_EQ(glyph(code), glyph(code - 0x20)) << code;
  for (int c = 0; c < 6; ++c) EXPECT_EQ(Col("FONT1", font1, 0x20, c), 0u);
}

// The dots of ".", ":" and ";" are the square 2 x 2 dots of a 5 x 7 LCD face,
// so "1:25" and "3.192" read as punctuation beside the one-pixel strokes.
TEST(FontFiles, Font1DotsAreSquare) {
  const auto font1 = Bin("FONT1");
  ASSERT_EQ(font1.size(), 3096u);
  // Set pixels of a glyph as (column, row).
  auto ink = [&](int code) {
    std::set<std::pair<int, int>> px;
    for (int c = 0; c < 6; ++c)
      for (int r = 0; r < 8; ++r)
        if ((Col("FONT1", font1, code, c) >> r) & 1u) px.insert({c, r});
    return px;
  };
  auto square = [](int c, int r) {  // 2 x 2 dot with its top left at (c, r)
    return std::set<std::pair<int, int>>{{c, r}, {c + 1, r}, {c, r + 1}, {c + 1, r + 1}};
  };
  // The digits stand on one baseline, with one middle row.
  int top = 8, base = -1;
  for (int d = '0'; d <= '9'; ++d)
    for (auto [c, r] : ink(d)) top = std::min(top, r), base = std::max(base, r);
  ASSERT_EQ((base - top) % 2, 0);
  const int middle = (top + base) / 2;

  const auto period = ink('.');
  ASSERT_EQ(period.size(), 4u);
  const int c0 = period.begin()->first;
  EXPECT_EQ(period, square(c0, base - 1));
  // The colon: that dot twice, one blank row either side of the middle row.
  auto colon = square(c0, middle - 2);
  colon.merge(square(c0, middle + 1));
  EXPECT_EQ(ink(':'), colon);
  // The semicolon: the colon's upper dot, and below it a tail that reaches
  // the baseline and leans no further than one column left.
  auto semi = ink(';');
  for (auto p : square(c0, middle - 2)) EXPECT_EQ(semi.erase(p), 1u) << p.first << "," << p.second;
  int lowest = -1;
  for (auto [c, r] : semi) {
    EXPECT_GE(r, middle + 1);
    EXPECT_GE(c, c0 - 1);
    EXPECT_LE(c, c0 + 1);
    lowest = std::max(lowest, r);
  }
  EXPECT_EQ(lowest, base);
}

TEST(FontFiles, NoBitsBelowTheCell) {
  // Every word only uses the bits of its rows: 8 per first word, the rest of
  // the height in the second.
  for (const fontfmt::Format& f : fontfmt::kFormats) {
    const auto b = Bin(f.name);
    ASSERT_EQ(b.size(), f.Bytes()) << f.name;
    for (int g = 0; g < f.glyphs; ++g) {
      const std::uint8_t* p = b.data() + g * f.GlyphBytes() + (f.widthWord ? 2 : 0);
      for (int c = 0; c < f.columns; ++c) {
        const std::uint8_t* col = p + c * f.WordsPerColumn() * 2;
        EXPECT_EQ(fontfmt::Word(col) & 0xFF00u, 0u) << f.name << " glyph " << g << " col " << c;
        if (f.WordsPerColumn() == 2) {
          EXPECT_EQ(fontfmt::Word(col + 2) >> (f.rows - 8), 0u) << f.name << " glyph " << g << " col " << c;
        }
      }
    }
  }
}

TEST(FontFiles, ProportionalFaceStandsOnRowTen) {
  const auto text = Bin("TAHOMA_REGULAR_12PT");
  auto rowsOf = [&](int code) {
    const int g = code < 0xC0 ? code - 0x20 : code - 0x5E;
    std::uint32_t bits = 0;
    for (int c = 0; c < kWidths[g]; ++c) bits |= Col("TAHOMA_REGULAR_12PT", text, g, c);
    return bits;
  };
  auto lowest = [](std::uint32_t bits) {
    int r = -1;
    for (int i = 0; i < 14; ++i)
      if ((bits >> i) & 1u) r = i;
    return r;
  };
  for (int code : std::initializer_list<int>{'A', 'B', 'E', 'H', 'I', 'L', 'M', 'Z', 'a', 'e', 'm', 'x', '1', '8', 0xC1, 0xC8, 0xD8, 0xE8})
    EXPECT_EQ(lowest(rowsOf(code)), 10) << "code " << code;
  for (int code : std::initializer_list<int>{'g', 'j', 'p', 'q', 'y', 0xF0, 0xF3})
    EXPECT_GT(lowest(rowsOf(code)), 10) << "descender of " << code;
  for (int code : std::initializer_list<int>{'H', 'E', 'T', 0xC1, 0xCF}) EXPECT_EQ(rowsOf(code) & 0x3u, 0u) << "capital " << code << " above row 2";
  // Everything printable has ink; most glyphs keep column 0 as letter spacing.
  int blankFirst = 0;
  for (int g = 1; g < 162; ++g) {
    std::uint32_t ink = 0;
    for (int c = 0; c < kWidths[g]; ++c) ink |= Col("TAHOMA_REGULAR_12PT", text, g, c);
    EXPECT_NE(ink, 0u) << "blank glyph " << g;
    blankFirst += Col("TAHOMA_REGULAR_12PT", text, g, 0) == 0;
  }
  EXPECT_GT(blankFirst, 140);
}

TEST(FontTextForm, CommittedFilesRoundTrip) {
  for (const fontfmt::Format& f : fontfmt::kFormats) {
    const std::string text = ReadSource(std::string("lcd/fonts/") + f.name + ".txt");
    const auto bin = Bin(f.name);
    std::vector<std::uint8_t> parsed;
    std::string error;
    ASSERT_TRUE(fontfmt::FromText(f, text, parsed, error)) << f.name << ": " << error;
    EXPECT_EQ(parsed, bin) << f.name << ".txt does not make " << f.name << ".bin";
    EXPECT_EQ(fontfmt::ToText(f, bin), text) << f.name << ".bin does not make " << f.name << ".txt";
  }
}

TEST(FontTextForm, RejectsDamagedText) {
  const fontfmt::Format& f = Fmt("SMALL_DIGIT_FONT");
  const std::string good = ReadSource("lcd/fonts/SMALL_DIGIT_FONT.txt");
  std::vector<std::uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(fontfmt::FromText(f, good, bytes, error)) << error;

  auto rejects = [&](std::string text, const char* why) {
    std::vector<std::uint8_t> out{1, 2, 3};
    std::string e;
    EXPECT_FALSE(fontfmt::FromText(f, text, out, e)) << why;
    EXPECT_FALSE(e.empty()) << why;
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3})) << why << ": output touched on failure";
  };
  const std::size_t row = good.find("\n.###.\n") + 1;  // first row of "0"
  ASSERT_NE(row, std::string::npos + 1);
  std::string shortRow = good;
  shortRow.erase(row, 1);
  rejects(shortRow, "short row");
  std::string badPixel = good;
  badPixel[row] = 'x';
  rejects(badPixel, "bad pixel character");
  rejects(good.substr(0, good.rfind("glyph 12")), "missing last glyph");
  rejects(good.substr(0, good.size() - 7), "glyph cut short");
  std::string renumbered = good;
  renumbered.replace(renumbered.find("glyph 3"), 7, "glyph 4");
  rejects(renumbered, "glyph out of order");
  std::string otherFont = good;
  otherFont.replace(otherFont.find("font SMALL_DIGIT_FONT"), 21, "font LARGE_DIGIT_FONT");
  rejects(otherFont, "another font's header");

  // A hand edit lands in the right bit: row 7 of column 2 of glyph 1 is bit 7 of word 2.
  std::string edited = good;
  const std::size_t g1 = good.find("glyph 1 ");
  std::size_t p = good.find('\n', g1) + 1;
  for (int r = 0; r < 7; ++r) p = good.find('\n', p) + 1;
  edited[p + 2] = edited[p + 2] == '#' ? '.' : '#';
  std::vector<std::uint8_t> changed;
  ASSERT_TRUE(fontfmt::FromText(f, edited, changed, error)) << error;
  ASSERT_EQ(changed.size(), bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i)
    EXPECT_EQ(changed[i] ^ bytes[i], i == 10 + 2 * 2 ? 0x80 : 0) << "byte " << i;
}

TEST(FontTextForm, ProportionalWidthsInText) {
  const fontfmt::Format& f = Fmt("TAHOMA_REGULAR_12PT");
  const std::string good = ReadSource("lcd/fonts/TAHOMA_REGULAR_12PT.txt");
  // The exclamation mark is 3 wide; claiming 4 makes its rows too short.
  std::string wider = good;
  const std::size_t at = wider.find("glyph 1 width 3");
  ASSERT_NE(at, std::string::npos);
  wider.replace(at, 15, "glyph 1 width 4");
  std::vector<std::uint8_t> out;
  std::string error;
  EXPECT_FALSE(fontfmt::FromText(f, wider, out, error));
  std::string tooWide = good;
  tooWide.replace(at, 15, "glyph 1 width 13");
  EXPECT_FALSE(fontfmt::FromText(f, tooWide, out, error));
}
