// orb_fontgen: makes the five LCD font resources and converts them between the
// binary resource and the editable text form.
//
//   orb_fontgen generate <fonts dir> [fixed.pcf.gz] [sans.ttf]
//       renders every glyph from the free source faces and the text art below,
//       writes <NAME>.txt and <NAME>.bin for all five fonts
//   orb_fontgen bin <NAME.txt> <NAME.bin>     text form -> resource
//   orb_fontgen txt <NAME.bin> <NAME.txt>     resource -> text form
//   orb_fontgen build <fonts dir>             every <NAME>.txt -> <NAME>.bin
//   orb_fontgen check <fonts dir>             both directions reproduce the files
//   orb_fontgen sheet <fonts dir> <out.png> [NAME]
//       every glyph (of one font, if named) at 4x
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "art.h"
#include "fontfmt.h"
#include "pngfile.h"

using fontfmt::Format;
using fontfmt::Glyph;

namespace {

// A white sheet that grows downward as fonts are added.
class TSheet {
 public:
  explicit TSheet(int width) : img_(width, 1) {}
  void Grow(int height) {
    if (height <= img_.height) return;
    img_.px.resize(static_cast<std::size_t>(img_.width) * static_cast<std::size_t>(height), 0xFFFFFF);
    img_.height = height;
  }
  void Fill(int x, int y, int w, int h, std::uint32_t rgb) {
    for (int yy = std::max(0, y); yy < std::min(img_.height, y + h); ++yy)
      for (int xx = std::max(0, x); xx < std::min(img_.width, x + w); ++xx) img_.At(xx, yy) = rgb;
  }
  bool Save(const std::string& path) const {
    std::string error;
    if (WritePng(path, img_, &error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }

 private:
  TRgbImage img_;
};

const char* const kDefaultFixed = "/usr/share/fonts/X11/misc/6x10.pcf.gz";
const char* const kDefaultSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Widths of the proportional face: codes 20..81, then C0..FF.
const int kTextWidths[162] = {
    5, 3, 5, 9, 7, 11, 9, 3, 5, 5, 6, 8, 3, 5, 3, 6,       // 20
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 3, 3, 9, 9, 9, 6,        // 30
    12, 8, 7, 8, 8, 7, 7, 8, 8, 4, 5, 7, 6, 10, 8, 9,      // 40
    7, 9, 8, 8, 8, 8, 8, 12, 8, 8, 7, 5, 6, 5, 10, 8,      // 50
    4, 7, 7, 6, 7, 7, 6, 7, 7, 3, 4, 6, 3, 10, 7, 7,       // 60
    7, 7, 5, 6, 5, 7, 6, 10, 6, 6, 6, 6, 3, 6, 9, 6,       // 70
    5, 7,                                                  // 80
    8, 8, 7, 7, 9, 7, 12, 7, 8, 8, 7, 9, 10, 8, 9, 8,      // C0
    7, 8, 8, 7, 10, 8, 9, 8, 12, 12, 9, 10, 8, 8, 12, 8,   // D0
    7, 7, 7, 4, 7, 7, 10, 6, 7, 7, 7, 7, 8, 7, 7, 7,       // E0
    7, 6, 6, 6, 10, 6, 7, 7, 10, 11, 7, 9, 7, 6, 10, 7,    // F0
};

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

bool WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
  return static_cast<bool>(out);
}

std::string AsString(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }
std::vector<std::uint8_t> AsBytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

// Column bytes of a glyph in a one-word font, for comparing with a listing.
Glyph FromColumns(int rows, std::initializer_list<unsigned> cols) {
  Glyph g(static_cast<int>(cols.size()), rows);
  int c = 0;
  for (unsigned bits : cols) {
    for (int r = 0; r < rows; ++r) g.Set(c, r, (bits >> r) & 1u);
    ++c;
  }
  return g;
}

// ---- rendering from the source faces ----

struct Bitmap {
  int width = 0, rows = 0, left = 0, top = 0;
  std::vector<std::uint8_t> px;  // row-major
  bool At(int c, int r) const { return px[static_cast<std::size_t>(r * width + c)] != 0; }
};

bool Render(FT_Face face, unsigned codepoint, Bitmap& out) {
  const FT_UInt index = FT_Get_Char_Index(face, codepoint);
  if (index == 0) return false;
  if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)) return false;
  const FT_Bitmap& b = face->glyph->bitmap;
  out.width = static_cast<int>(b.width);
  out.rows = static_cast<int>(b.rows);
  out.left = face->glyph->bitmap_left;
  out.top = face->glyph->bitmap_top;
  out.px.assign(static_cast<std::size_t>(out.width * out.rows), 0);
  for (int r = 0; r < out.rows; ++r)
    for (int c = 0; c < out.width; ++c) {
      const unsigned char byte = b.buffer[r * b.pitch + c / 8];
      out.px[static_cast<std::size_t>(r * out.width + c)] = static_cast<std::uint8_t>((byte >> (7 - c % 8)) & 1);
    }
  return true;
}

// Ink columns of a bitmap: [first, last], or first > last when blank.
void InkColumns(const Bitmap& b, int& first, int& last) {
  first = b.width, last = -1;
  for (int c = 0; c < b.width; ++c)
    for (int r = 0; r < b.rows; ++r)
      if (b.At(c, r)) first = std::min(first, c), last = std::max(last, c);
}

// A code point as warnings name it: U+0426.
std::string CodePoint(unsigned cp) {
  char s[16];
  std::snprintf(s, sizeof s, "U+%04X", cp);
  return s;
}

int g_warnings = 0;
void Warn(const std::string& what) {
  std::fprintf(stderr, "warning: %s\n", what.c_str());
  ++g_warnings;
}

// The fixed 6 x 8 face: cells of the 6 x 10 misc-fixed face without their top
// row and their bottom row, so capitals stand on rows 0..6 and short
// descenders use row 7.
Glyph FixedGlyph(FT_Face face, unsigned codepoint, int ascent) {
  Glyph g(6, 8);
  Bitmap b;
  if (!Render(face, codepoint, b)) {
    Warn("fixed face has no " + CodePoint(codepoint));
    return g;
  }
  for (int r = 0; r < b.rows; ++r)
    for (int c = 0; c < b.width; ++c) {
      if (!b.At(c, r)) continue;
      const int x = b.left + c, y = ascent - b.top + r - 1;
      if (x < 0 || x > 4 || y < 0 || y > 7) {
        Warn("fixed " + CodePoint(codepoint) + " loses a pixel at " + std::to_string(x) + "," + std::to_string(y));
        continue;
      }
      g.Set(x, y, true);
    }
  return g;
}

unsigned Cp1251Letter(int code) { return 0x410u + static_cast<unsigned>(code - 0xC0); }

std::vector<Glyph> MakeFont1(FT_Face face) {
  const int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
  std::vector<Glyph> glyphs(258, Glyph(6, 8));
  const Glyph dot = FromColumns(8, {0x00, 0x00, 0x18, 0x18, 0x00, 0x00});
  for (int code = 0; code < 256; ++code) {
    if (code >= 0x20 && code <= 0x7E)
      glyphs[code] = FixedGlyph(face, static_cast<unsigned>(code >= 0x61 && code <= 0x7A ? code - 0x20 : code), ascent);
    else if (code >= 0xC0)
      glyphs[code] = FixedGlyph(face, Cp1251Letter(code >= 0xE0 ? code - 0x20 : code), ascent);
    else
      glyphs[code] = dot;
  }
  glyphs['0'] = FromColumns(8, {0x3E, 0x51, 0x49, 0x45, 0x3E, 0x00});
  glyphs['A'] = glyphs['a'] = FromColumns(8, {0x7C, 0x12, 0x11, 0x12, 0x7C, 0x00});
  glyphs[0xC0] = glyphs[0xE0] = glyphs['A'];  // the Cyrillic A looks like the Latin one
  glyphs['`'] = FromColumns(8, {0x00, 0x03, 0x00, 0x00, 0x00, 0x00});
  glyphs[256] = FromColumns(8, {0x04, 0x06, 0x07, 0x06, 0x04, 0x00});
  glyphs[257] = FromColumns(8, {0x10, 0x30, 0x70, 0x30, 0x10, 0x00});
  for (const art::Override& o : art::kFont1Overrides) {
    glyphs[o.code] = art::Parse(o.art, 6, 8);
    if (o.code >= 0x41 && o.code <= 0x5A) glyphs[o.code + 0x20] = glyphs[o.code];
    if (o.code >= 0xC0 && o.code <= 0xDF) glyphs[o.code + 0x20] = glyphs[o.code];
  }
  return glyphs;
}

unsigned TextCodepoint(int code) {
  if (code == 0x7F) return 0xB0;  // degree
  if (code == 0x80) return 0xB2;  // superscript two
  if (code == 0x81) return 0xB5;  // micro
  if (code >= 0xC0) return Cp1251Letter(code);
  return static_cast<unsigned>(code);
}

// One glyph of the proportional face, fitted to its width: column 0 stays
// blank as letter spacing, the ink is centred in the remaining columns and
// squeezed horizontally when it would not fit. Row 10 is the last row above
// the baseline.
Glyph TextGlyph(FT_Face face, int code, int width, int pixelSize) {
  Glyph g(12, 14);
  g.width = width;
  const unsigned cp = TextCodepoint(code);
  if (cp == 0x20) return g;
  const int avail = width - 1;
  Bitmap b;
  int first = 0, last = -1;
  for (int squeeze = pixelSize; squeeze >= pixelSize / 2; --squeeze) {
    FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(squeeze), static_cast<FT_UInt>(pixelSize));
    if (!Render(face, cp, b)) {
      Warn("sans face has no " + CodePoint(cp));
      return g;
    }
    InkColumns(b, first, last);
    if (last - first + 1 <= avail) break;
  }
  FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(pixelSize), static_cast<FT_UInt>(pixelSize));
  const int ink = last - first + 1;
  if (ink > avail) Warn("sans " + CodePoint(cp) + " does not fit its width");
  const int x0 = 1 + std::max(0, (avail - ink) / 2);
  for (int r = 0; r < b.rows; ++r)
    for (int c = first; c <= last; ++c) {
      if (!b.At(c, r)) continue;
      const int x = x0 + c - first, y = 11 - b.top + r;
      if (x < 1 || x >= width || y < 0 || y > 13) {
        Warn("sans " + CodePoint(cp) + " loses a pixel at " + std::to_string(x) + "," + std::to_string(y));
        continue;
      }
      g.Set(x, y, true);
    }
  return g;
}

std::vector<Glyph> MakeText(FT_Face face, int pixelSize) {
  std::vector<Glyph> glyphs;
  for (int g = 0; g < 162; ++g) {
    const int code = g < 98 ? g + 0x20 : g + 0x5E;
    glyphs.push_back(TextGlyph(face, code, kTextWidths[g], pixelSize));
  }
  // The capital A as listed for the instrument's face.
  Glyph a = FromColumns(14, {0x0000, 0x0600, 0x01C0, 0x0130, 0x010C, 0x0130, 0x01C0, 0x0600});
  Glyph& dst = glyphs[0x41 - 0x20];
  for (int c = 0; c < 8; ++c)
    for (int r = 0; r < 14; ++r) dst.Set(c, r, a.At(c, r));
  glyphs[0xC0 - 0x5E] = dst;  // the Cyrillic capital A has the same width and shape
  for (const art::Override& o : art::kTextOverrides) {
    const int index = o.code < 0xC0 ? o.code - 0x20 : o.code - 0x5E;
    Glyph art = art::Parse(o.art, kTextWidths[index], 14);
    Glyph& t = glyphs[static_cast<std::size_t>(index)];
    t = Glyph(12, 14);
    t.width = kTextWidths[index];
    for (int c = 0; c < t.width; ++c)
      for (int r = 0; r < 14; ++r) t.Set(c, r, art.At(c, r));
  }
  return glyphs;
}

std::vector<Glyph> FromArt(const char* const* arts, int count, int columns, int rows) {
  std::vector<Glyph> glyphs;
  for (int i = 0; i < count; ++i) glyphs.push_back(art::Parse(arts[i], columns, rows));
  return glyphs;
}

// The listed glyph bytes; generation fails if any drifts.
bool CheckExamples(const std::vector<std::uint8_t>* bins) {
  struct Example {
    int font, offset;
    std::vector<std::uint8_t> bytes;
  };
  auto words = [](std::initializer_list<unsigned> w) {
    std::vector<std::uint8_t> v;
    for (unsigned x : w) v.push_back(static_cast<std::uint8_t>(x)), v.push_back(static_cast<std::uint8_t>(x >> 8));
    return v;
  };
  const Example examples[] = {
      {0, 12 * '0', words({0x3E, 0x51, 0x49, 0x45, 0x3E, 0x00})},
      {0, 12 * 'A', words({0x7C, 0x12, 0x11, 0x12, 0x7C, 0x00})},
      {0, 12 * 0x60, words({0x00, 0x03, 0x00, 0x00, 0x00, 0x00})},
      {0, 12 * 256, words({0x04, 0x06, 0x07, 0x06, 0x04, 0x00})},
      {0, 12 * 257, words({0x10, 0x30, 0x70, 0x30, 0x10, 0x00})},
      {1, 10, words({0x7E, 0x81, 0x81, 0x81, 0x7E})},
      {1, 110, words({0x06, 0x09, 0x09, 0xC6, 0x30, 0x0C, 0x63, 0x90, 0x90, 0x60})},
      {2, 0, words({0xFC, 0x1F, 0xFE, 0x3F, 0x07, 0x70, 0x03, 0x60, 0x03, 0x60, 0x07, 0x70, 0xFE, 0x3F, 0xFC, 0x1F})},
      {3, 50 * 0x21, words({8, 0x00, 0x00, 0x00, 0x06, 0xC0, 0x01, 0x30, 0x01, 0x0C, 0x01, 0x30, 0x01, 0xC0, 0x01, 0x00, 0x06})},
      {4, 56 * 3, words({0x00, 0x00, 0x0C, 0x00, 0x02, 0x00, 0x01, 0x00, 0x02, 0x00, 0x0C, 0x00, 0x30, 0x00,
                         0xC0, 0x00, 0x00, 0x03, 0x00, 0x04, 0x00, 0x08, 0x00, 0x04, 0x00, 0x03, 0x00, 0x00})},
  };
  bool ok = true;
  for (const Example& e : examples) {
    const std::vector<std::uint8_t>& b = bins[e.font];
    if (!std::equal(e.bytes.begin(), e.bytes.end(), b.begin() + e.offset)) {
      std::fprintf(stderr, "error: %s differs from its listing at byte %d\n", fontfmt::kFormats[e.font].name,
                   e.offset);
      ok = false;
    }
  }
  return ok;
}

int Generate(const std::string& dir, const char* fixedPath, const char* sansPath) {
  FT_Library lib;
  if (FT_Init_FreeType(&lib)) return 1;
  FT_Face fixed, sans;
  if (FT_New_Face(lib, fixedPath, 0, &fixed)) {
    std::fprintf(stderr, "cannot open %s\n", fixedPath);
    return 1;
  }
  if (fixed->num_fixed_sizes > 0) FT_Select_Size(fixed, 0);
  if (FT_New_Face(lib, sansPath, 0, &sans)) {
    std::fprintf(stderr, "cannot open %s\n", sansPath);
    return 1;
  }
  std::vector<std::vector<Glyph>> fonts = {
      MakeFont1(fixed),
      FromArt(art::kSmallDigits, 13, 5, 8),
      FromArt(art::kLargeDigits, 12, 8, 15),
      MakeText(sans, art::kTextPixelSize),
      FromArt(art::kIcons, 6, 14, 14),
  };
  std::vector<std::uint8_t> bins[5];
  for (int i = 0; i < 5; ++i) bins[i] = fontfmt::Encode(fontfmt::kFormats[i], fonts[static_cast<std::size_t>(i)]);
  if (!CheckExamples(bins)) return 1;
  for (int i = 0; i < 5; ++i) {
    const Format& f = fontfmt::kFormats[i];
    if (!WriteFile(dir + "/" + f.name + ".bin", AsString(bins[i])) ||
        !WriteFile(dir + "/" + f.name + ".txt", fontfmt::ToText(f, bins[i]))) {
      std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
      return 1;
    }
  }
  FT_Done_Face(fixed);
  FT_Done_Face(sans);
  FT_Done_FreeType(lib);
  std::fprintf(stderr, "%d warnings\n", g_warnings);
  return 0;
}

const Format* FormatOfPath(const std::string& path) {
  std::string base = path.substr(path.find_last_of('/') + 1);
  base = base.substr(0, base.find('.'));
  const Format* f = fontfmt::FindFormat(base);
  if (!f) std::fprintf(stderr, "%s: the file name does not name one of the five fonts\n", path.c_str());
  return f;
}

int TextToBin(const std::string& txt, const std::string& bin) {
  const Format* f = FormatOfPath(txt);
  std::string text;
  if (!f || !ReadFile(txt, text)) return 1;
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!fontfmt::FromText(*f, text, bytes, error)) {
    std::fprintf(stderr, "%s: %s\n", txt.c_str(), error.c_str());
    return 1;
  }
  return WriteFile(bin, AsString(bytes)) ? 0 : 1;
}

int BinToText(const std::string& bin, const std::string& txt) {
  const Format* f = FormatOfPath(bin);
  std::string data;
  if (!f || !ReadFile(bin, data)) return 1;
  if (data.size() != f->Bytes()) {
    std::fprintf(stderr, "%s: %zu bytes, expected %zu\n", bin.c_str(), data.size(), f->Bytes());
    return 1;
  }
  return WriteFile(txt, fontfmt::ToText(*f, AsBytes(data))) ? 0 : 1;
}

int Build(const std::string& dir) {
  for (const Format& f : fontfmt::kFormats)
    if (int rc = TextToBin(dir + "/" + f.name + ".txt", dir + "/" + f.name + ".bin")) return rc;
  return 0;
}

int Check(const std::string& dir) {
  int bad = 0;
  for (const Format& f : fontfmt::kFormats) {
    std::string text, data, error;
    std::vector<std::uint8_t> bytes;
    if (!ReadFile(dir + "/" + f.name + ".txt", text) || !ReadFile(dir + "/" + f.name + ".bin", data)) {
      std::fprintf(stderr, "%s: missing\n", f.name);
      ++bad;
      continue;
    }
    if (!fontfmt::FromText(f, text, bytes, error)) {
      std::fprintf(stderr, "%s.txt: %s\n", f.name, error.c_str());
      ++bad;
    } else if (AsString(bytes) != data) {
      std::fprintf(stderr, "%s: the text form does not make the .bin\n", f.name);
      ++bad;
    } else if (fontfmt::ToText(f, AsBytes(data)) != text) {
      std::fprintf(stderr, "%s: the .bin does not make the text form\n", f.name);
      ++bad;
    }
  }
  return bad ? 1 : 0;
}

// Every glyph at 4x on a grid, each font below the previous one, and a line
// of sample text in the proportional face.
int Sheet(const std::string& dir, const std::string& out, const std::string& only) {
  const int scale = 4, perRow = 16, pad = 2;
  TSheet img(perRow * (14 + pad) * scale + 8);
  std::vector<std::vector<Glyph>> fonts;
  int y = 4;
  std::vector<std::uint8_t> text;
  for (const Format& f : fontfmt::kFormats) {
    std::string data;
    if (!ReadFile(dir + "/" + std::string(f.name) + ".bin", data) || data.size() != f.Bytes()) {
      std::fprintf(stderr, "%s: missing or of the wrong size\n", f.name);
      return 1;
    }
    if (f.widthWord) text = AsBytes(data);
    if (!only.empty() && only != f.name) continue;
    const std::vector<Glyph> glyphs = fontfmt::Decode(f, AsBytes(data));
    const int cellW = f.columns + pad, cellH = f.rows + pad;
    const int lines = (f.glyphs + perRow - 1) / perRow;
    img.Grow(y + lines * cellH * scale + 8 * scale);
    for (int g = 0; g < f.glyphs; ++g) {
      const Glyph& gl = glyphs[static_cast<std::size_t>(g)];
      const int ox = 4 + (g % perRow) * cellW * scale, oy = y + (g / perRow) * cellH * scale;
      const int drawn = f.widthWord ? gl.width : f.columns;
      for (int c = 0; c < f.columns; ++c)
        for (int r = 0; r < f.rows; ++r) {
          std::uint32_t colour = c < drawn ? 0xE8E8F0 : 0xF8F8F8;
          if (f.widthWord && r == 10 && c < drawn) colour = 0xD0E8D0;  // last row above the baseline
          if (c < drawn && gl.At(c, r)) colour = 0x000000;
          img.Fill(ox + c * scale, oy + r * scale, scale - 1, scale - 1, colour);
        }
    }
    y += lines * cellH * scale + 6 * scale;
  }
  // Sample lines through the proportional painter's rules (width columns each).
  const char* samples[] = {"Route 12  Point 3  Vel 4.71 mm/s", "ABCDEFGHIJKLM abcdefghijklm 0123456789",
                           "\xCC\xE0\xF8\xE8\xED\xE0 1 \xD2\xEE\xF7\xEA\xE0 3 \xD1\xEA\xEE\xF0\xEE\xF1\xF2\xFC",
                           "\xDE\xCB\xC6\xD9 \xFE\xEB\xE6\xF9 \xC0\xC1\xC2\xC3\xC4\xC5\xC7\xC8\xC9\xCA \xE0\xE1\xE2\xE3\xE4"};
  for (const char* s : samples) {
    if (!only.empty()) break;
    img.Grow(y + 16 * scale);
    int x = 4;
    for (const char* p = s; *p; ++p) {
      const int c = static_cast<std::uint8_t>(*p);
      const int g = (c >= 0x20 && c <= 0x81) ? c - 0x20 : (c >= 0xC0 ? c - 0x5E : 0);
      const std::uint8_t* gp = text.data() + 50 * g;
      const int w = static_cast<std::int16_t>(fontfmt::Word(gp));
      for (int col = 0; col < w; ++col) {
        const std::uint32_t bits = fontfmt::ColumnBits(fontfmt::kFormats[3], gp, col);
        for (int r = 0; r < 14; ++r)
          if ((bits >> r) & 1u) img.Fill(x + col * scale, y + r * scale, scale, scale, 0x0000FF);
      }
      x += w * scale;
    }
    y += 16 * scale;
  }
  return img.Save(out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "generate" && argc >= 3)
    return Generate(argv[2], argc > 3 ? argv[3] : kDefaultFixed, argc > 4 ? argv[4] : kDefaultSans);
  if (cmd == "bin" && argc == 4) return TextToBin(argv[2], argv[3]);
  if (cmd == "txt" && argc == 4) return BinToText(argv[2], argv[3]);
  if (cmd == "build" && argc == 3) return Build(argv[2]);
  if (cmd == "check" && argc == 3) return Check(argv[2]);
  if (cmd == "sheet" && (argc == 4 || argc == 5)) return Sheet(argv[2], argv[3], argc == 5 ? argv[4] : "");
  std::fprintf(stderr,
               "usage: orb_fontgen generate <dir> [fixed.pcf.gz] [sans.ttf] | bin <txt> <bin> | txt <bin> <txt> |\n"
               "       build <dir> | check <dir> | sheet <dir> <out.png> [NAME]\n");
  return 2;
}
