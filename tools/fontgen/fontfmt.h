#pragma once
// Layouts of the five LCD font resources and their editable text form.
//
// Text form: a "font <NAME>" line, then one block per glyph: a line
// "glyph <index> [width <w>]" (anything after ';' is a comment) followed by one
// line per row, '#' for a set pixel and '.' for a clear one. Lines starting
// with ';' and blank lines between glyphs are ignored. The proportional font lists only its
// first <width> columns; the rest of its cell is stored as zero.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace fontfmt {

struct Format {
  const char* name;
  int glyphs;
  int columns;
  int rows;
  bool widthWord;  // glyph starts with a signed 16-bit width (proportional font)
  int WordsPerColumn() const { return rows > 8 ? 2 : 1; }
  int GlyphBytes() const { return (widthWord ? 2 : 0) + columns * WordsPerColumn() * 2; }
  std::size_t Bytes() const { return static_cast<std::size_t>(glyphs * GlyphBytes()); }
};

inline constexpr Format kFormats[] = {
    {"FONT1", 258, 6, 8, false},
    {"SMALL_DIGIT_FONT", 13, 5, 8, false},
    {"LARGE_DIGIT_FONT", 12, 8, 15, false},
    {"TAHOMA_REGULAR_12PT", 162, 12, 14, true},
    {"LARGE_ICON_14x14", 6, 14, 14, false},
};

inline const Format* FindFormat(std::string_view name) {
  for (const Format& f : kFormats)
    if (name == f.name) return &f;
  return nullptr;
}

// One glyph as pixels; width is the drawn width (= columns for fixed fonts).
struct Glyph {
  int width = 0;
  std::vector<std::uint8_t> px;  // columns x rows, column-major, 0 or 1
  int columns = 0, rows = 0;
  Glyph() = default;
  Glyph(int cols, int rws) : width(cols), px(static_cast<std::size_t>(cols * rws)), columns(cols), rows(rws) {}
  bool At(int c, int r) const { return px[static_cast<std::size_t>(c * rows + r)] != 0; }
  void Set(int c, int r, bool on) { px[static_cast<std::size_t>(c * rows + r)] = on ? 1 : 0; }
};

inline std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline void PutWord(std::uint8_t* p, std::uint16_t w) {
  p[0] = static_cast<std::uint8_t>(w & 0xFF);
  p[1] = static_cast<std::uint8_t>(w >> 8);
}

// Bits of one column, bit r = row r, whatever the word layout.
inline std::uint32_t ColumnBits(const Format& f, const std::uint8_t* glyph, int col) {
  const std::uint8_t* p = glyph + (f.widthWord ? 2 : 0) + col * f.WordsPerColumn() * 2;
  if (f.WordsPerColumn() == 1) return Word(p);
  return (Word(p) & 0xFFu) | (static_cast<std::uint32_t>(Word(p + 2)) << 8);
}

inline std::vector<Glyph> Decode(const Format& f, const std::vector<std::uint8_t>& bytes) {
  std::vector<Glyph> out;
  for (int g = 0; g < f.glyphs; ++g) {
    const std::uint8_t* p = bytes.data() + g * f.GlyphBytes();
    Glyph gl(f.columns, f.rows);
    if (f.widthWord) gl.width = static_cast<std::int16_t>(Word(p));
    for (int c = 0; c < f.columns; ++c) {
      const std::uint32_t bits = ColumnBits(f, p, c);
      for (int r = 0; r < f.rows; ++r) gl.Set(c, r, (bits >> r) & 1u);
    }
    out.push_back(gl);
  }
  return out;
}

inline std::vector<std::uint8_t> Encode(const Format& f, const std::vector<Glyph>& glyphs) {
  std::vector<std::uint8_t> out(f.Bytes());
  for (int g = 0; g < f.glyphs && g < static_cast<int>(glyphs.size()); ++g) {
    const Glyph& gl = glyphs[static_cast<std::size_t>(g)];
    std::uint8_t* p = out.data() + g * f.GlyphBytes();
    if (f.widthWord) PutWord(p, static_cast<std::uint16_t>(gl.width));
    const int drawn = f.widthWord ? gl.width : f.columns;
    std::uint8_t* col = p + (f.widthWord ? 2 : 0);
    for (int c = 0; c < f.columns; ++c, col += f.WordsPerColumn() * 2) {
      std::uint32_t bits = 0;
      if (c < drawn)
        for (int r = 0; r < f.rows; ++r)
          if (gl.At(c, r)) bits |= 1u << r;
      PutWord(col, static_cast<std::uint16_t>(bits & 0xFFu));
      if (f.WordsPerColumn() == 2) PutWord(col + 2, static_cast<std::uint16_t>(bits >> 8));
    }
  }
  return out;
}

// A readable name for a glyph, used only in the comment of its text block.
inline std::string GlyphLabel(const Format& f, int g) {
  int code = -1;
  if (std::string_view(f.name) == "FONT1") code = g < 256 ? g : -1;
  else if (f.widthWord) code = g < 98 ? g + 0x20 : g + 0x5E;
  else if (std::string_view(f.name) == "SMALL_DIGIT_FONT") {
    if (g >= 1 && g <= 10) return std::string("\"") + static_cast<char>('0' + g - 1) + "\"";
    return g == 0 ? "blank" : (g == 11 ? "left half of %" : "right half of %");
  } else if (std::string_view(f.name) == "LARGE_DIGIT_FONT") {
    if (g <= 9) return std::string("\"") + static_cast<char>('0' + g) + "\"";
    return g == 10 ? "point" : "minus";
  } else {
    static const char* const icons[] = {"hand", "sun", "ring with dot", "sine", "circle with mark", "clock"};
    return icons[g];
  }
  if (code < 0) return g == 256 ? "up triangle" : "down triangle";
  char hex[8];
  static const char digits[] = "0123456789ABCDEF";
  hex[0] = '0', hex[1] = 'x', hex[2] = digits[code >> 4], hex[3] = digits[code & 15], hex[4] = 0;
  std::string s = hex;
  if (code > 0x20 && code < 0x7F) {
    s += ' ';
    s += static_cast<char>(code);
  } else if (code >= 0xC0) {  // code page 1251 letter as UTF-8
    const unsigned u = 0x410u + static_cast<unsigned>(code - 0xC0);
    s += ' ';
    s += static_cast<char>(0xC0 | (u >> 6));
    s += static_cast<char>(0x80 | (u & 0x3F));
  }
  return s;
}

inline std::string ToText(const Format& f, const std::vector<std::uint8_t>& bytes) {
  std::string s = "; ";
  s += f.name;
  s += ": " + std::to_string(f.glyphs) + " glyphs, " + std::to_string(f.columns) + " columns x " +
       std::to_string(f.rows) + " rows. '#' set, '.' clear.\n";
  s += "; Rebuild the .bin with: orb_fontgen bin <this file> <NAME>.bin\n";
  s += "font ";
  s += f.name;
  s += "\n";
  const std::vector<Glyph> glyphs = Decode(f, bytes);
  for (int g = 0; g < f.glyphs; ++g) {
    const Glyph& gl = glyphs[static_cast<std::size_t>(g)];
    s += "\nglyph " + std::to_string(g);
    if (f.widthWord) s += " width " + std::to_string(gl.width);
    s += " ; " + GlyphLabel(f, g) + "\n";
    const int drawn = f.widthWord ? (gl.width < 0 ? 0 : (gl.width > f.columns ? f.columns : gl.width)) : f.columns;
    for (int r = 0; r < f.rows; ++r) {
      for (int c = 0; c < drawn; ++c) s += gl.At(c, r) ? '#' : '.';
      s += '\n';
    }
  }
  return s;
}

// Parses the text form; on failure returns false with a message naming the line.
inline bool FromText(const Format& f, std::string_view text, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::vector<Glyph> glyphs;
  bool haveHeader = false;
  int lineNo = 0, rowsLeft = 0;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (rowsLeft > 0) {
      Glyph& gl = glyphs.back();
      const int drawn = f.widthWord ? gl.width : f.columns;
      if (static_cast<int>(line.size()) != drawn)
        return fail("expected " + std::to_string(drawn) + " pixels, found " + std::to_string(line.size()));
      const int r = f.rows - rowsLeft;
      for (int c = 0; c < drawn; ++c) {
        const char ch = line[static_cast<std::size_t>(c)];
        if (ch != '#' && ch != '.') return fail("pixel is neither '#' nor '.'");
        gl.Set(c, r, ch == '#');
      }
      --rowsLeft;
      continue;
    }
    if (const std::size_t semi = line.find(';'); semi != std::string_view::npos) line = line.substr(0, semi);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.empty()) continue;
    if (!haveHeader) {
      if (line != std::string("font ") + f.name) return fail(std::string("expected \"font ") + f.name + "\"");
      haveHeader = true;
      continue;
    }
    const std::string s(line);
    int index = -1, width = -1, used = 0;
    if (f.widthWord) {
      if (std::sscanf(s.c_str(), "glyph %d width %d%n", &index, &width, &used) != 2) return fail("bad glyph line");
    } else if (std::sscanf(s.c_str(), "glyph %d%n", &index, &used) != 1) {
      return fail("bad glyph line");
    }
    if (used != static_cast<int>(s.size())) return fail("unexpected text after the glyph header");
    if (index != static_cast<int>(glyphs.size())) return fail("glyph " + std::to_string(glyphs.size()) + " expected");
    if (index >= f.glyphs) return fail("too many glyphs");
    Glyph gl(f.columns, f.rows);
    if (f.widthWord) {
      if (width < 0 || width > f.columns) return fail("width out of range");
      gl.width = width;
    }
    glyphs.push_back(gl);
    rowsLeft = f.rows;
  }
  if (!haveHeader) return fail("no font header");
  if (rowsLeft > 0) return fail("glyph cut short");
  if (static_cast<int>(glyphs.size()) != f.glyphs)
    return fail(std::to_string(glyphs.size()) + " glyphs, expected " + std::to_string(f.glyphs));
  bytes = Encode(f, glyphs);
  return true;
}

}  // namespace fontfmt
