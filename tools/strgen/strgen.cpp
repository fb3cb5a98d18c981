// strgen: turns the UTF-8 string table source (resources/strings/strings.txt)
// into a C++ file holding the tables in string-table block layout.
//
//   strgen <source.txt> <output.cpp>
//
// Any defect in the source stops the build with file:line, rather than
// silently shipping a wrong byte to the LCD.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct ParseError {
  std::string what;
};

constexpr unsigned kBlockSize = 16;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

unsigned ReadHex(const std::string& s, std::size_t& pos, int digits) {
  unsigned v = 0;
  for (int i = 0; i < digits; ++i) {
    if (pos >= s.size()) throw ParseError{"escape cut short"};
    const int d = HexDigit(s[pos]);
    if (d < 0) throw ParseError{"bad hex digit in escape"};
    v = v * 16 + static_cast<unsigned>(d);
    ++pos;
  }
  return v;
}

// One UTF-8 sequence starting at s[pos]; strict (no overlongs, no surrogates).
char32_t ReadUtf8(const std::string& s, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos++]);
  if (b0 < 0x80) return b0;
  int extra;
  char32_t cp;
  if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1Fu; }
  else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0Fu; }
  else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07u; }
  else throw ParseError{"invalid UTF-8"};
  for (int i = 0; i < extra; ++i) {
    if (pos >= s.size()) throw ParseError{"truncated UTF-8"};
    const auto b = static_cast<unsigned char>(s[pos++]);
    if ((b & 0xC0) != 0x80) throw ParseError{"invalid UTF-8"};
    cp = (cp << 6) | (b & 0x3Fu);
  }
  static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    throw ParseError{"invalid UTF-8"};
  return cp;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// The quoted text starting at s[pos] == '"'; pos ends after the closing quote.
std::u16string ReadQuoted(const std::string& s, std::size_t& pos) {
  if (pos >= s.size() || s[pos] != '"') throw ParseError{"expected '\"'"};
  ++pos;
  std::u16string out;
  for (;;) {
    if (pos >= s.size()) throw ParseError{"missing closing '\"'"};
    const char c = s[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      throw ParseError{"raw control character; write it as \\xHH"};
    if (c != '\\') {
      AppendUtf16(out, ReadUtf8(s, pos));
      continue;
    }
    ++pos;
    if (pos >= s.size()) throw ParseError{"escape cut short"};
    const char e = s[pos++];
    switch (e) {
      case 'n': out.push_back(u'\n'); break;
      case '"': out.push_back(u'"'); break;
      case '\\': out.push_back(u'\\'); break;
      case 'x': {
        const unsigned v = ReadHex(s, pos, 2);
        // Above 0x7F the byte on the LCD depends on the code page; say which
        // character is meant with \uHHHH instead.
        if (v > 0x7F) throw ParseError{"\\x escape above 7F; use \\uHHHH"};
        out.push_back(static_cast<char16_t>(v));
        break;
      }
      case 'u': {
        const unsigned v = ReadHex(s, pos, 4);
        if (v >= 0xD800 && v <= 0xDFFF) throw ParseError{"\\u escape of a surrogate"};
        out.push_back(static_cast<char16_t>(v));
        break;
      }
      default:
        throw ParseError{std::string("unknown escape \\") + e};
    }
  }
}

void SkipBlanks(const std::string& s, std::size_t& pos) {
  while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
}

const std::map<std::string, std::uint16_t> kLanguages = {{"en", 1033}, {"ru", 1049}};

using Table = std::map<std::uint16_t, std::map<std::uint16_t, std::u16string>>;  // lang -> id -> text

void ParseLine(const std::string& line, Table& table) {
  std::size_t pos = 0;
  SkipBlanks(line, pos);
  if (pos == line.size() || line[pos] == '#') return;

  unsigned long id = 0;
  const std::size_t idStart = pos;
  while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
    id = id * 10 + static_cast<unsigned long>(line[pos] - '0');
    if (id > 0xFFFF) throw ParseError{"identifier above 65535"};
    ++pos;
  }
  if (pos == idStart) throw ParseError{"expected an identifier"};
  SkipBlanks(line, pos);

  const std::size_t langStart = pos;
  while (pos < line.size() && line[pos] >= 'a' && line[pos] <= 'z') ++pos;
  const auto lang = kLanguages.find(line.substr(langStart, pos - langStart));
  if (lang == kLanguages.end()) throw ParseError{"expected language en or ru"};
  SkipBlanks(line, pos);

  std::u16string text = ReadQuoted(line, pos);
  SkipBlanks(line, pos);
  if (pos != line.size()) throw ParseError{"text after the closing quote"};
  // A count of 0 already means "no text"; an explicit "" would only hide that.
  if (text.empty()) throw ParseError{"empty text; leave the line out instead"};
  if (text.size() > 0xFFFF) throw ParseError{"text too long"};

  auto& texts = table[lang->second];
  if (!texts.emplace(static_cast<std::uint16_t>(id), std::move(text)).second)
    throw ParseError{"second text for the same identifier and language"};
}

std::string Hex4(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", v & 0xFFFFu);
  return buf;
}

std::string Generate(const Table& table) {
  std::ostringstream os;
  os << "// Generated by tools/strgen from resources/strings/strings.txt. Do not edit.\n"
        "#include \"strings/strtab_data.h\"\n\nnamespace {\n";
  std::vector<std::pair<std::uint16_t, unsigned>> blocks;  // (lang, block number)
  for (const auto& [lang, texts] : table) {
    std::map<unsigned, int> seen;
    for (const auto& entry : texts) seen[entry.first / kBlockSize + 1] = 1;
    for (const auto& blockEntry : seen) {
      const unsigned block = blockEntry.first;
      blocks.emplace_back(lang, block);
      os << "const std::uint16_t kB" << lang << "_" << block << "[] = {\n";
      for (unsigned i = 0; i < kBlockSize; ++i) {
        const unsigned id = (block - 1) * kBlockSize + i;
        const auto it = id <= 0xFFFF ? texts.find(static_cast<std::uint16_t>(id)) : texts.end();
        os << "  /* " << id << " */ ";
        if (it == texts.end()) {
          os << "0,\n";
          continue;
        }
        os << it->second.size() << ",";
        for (const char16_t u : it->second) os << " " << Hex4(u) << ",";
        os << "\n";
      }
      os << "};\n";
    }
  }
  os << "}  // namespace\n\nconst StrTabBlock kStrTabBlocks[] = {\n";
  for (const auto& [lang, block] : blocks) {
    const std::string name = "kB" + std::to_string(lang) + "_" + std::to_string(block);
    os << "  {" << lang << ", " << block << ", " << name << ", sizeof " << name << " / sizeof " << name
       << "[0]},\n";
  }
  if (blocks.empty()) os << "  {0, 0, nullptr, 0},\n";  // no zero-length arrays
  os << "};\nconst std::size_t kStrTabBlockCount = " << blocks.size() << ";\n";
  return os.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: strgen <source.txt> <output.cpp>\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << argv[1] << ": cannot open\n";
    return 1;
  }
  Table table;
  std::string line;
  unsigned lineNo = 0;
  bool ok = true;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    try {
      ParseLine(line, table);
    } catch (const ParseError& e) {
      std::cerr << argv[1] << ":" << lineNo << ": " << e.what << "\n";
      ok = false;
    }
  }
  if (!ok) return 1;

  const std::string tmp = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << Generate(table);
    if (!out.flush()) {
      std::cerr << tmp << ": cannot write\n";
      return 1;
    }
  }
  if (std::rename(tmp.c_str(), argv[2]) != 0) {
    std::cerr << argv[2] << ": cannot replace\n";
    return 1;
  }
  return 0;
}
