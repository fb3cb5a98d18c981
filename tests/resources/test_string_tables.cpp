// The compiled string tables against their UTF-8 source, decoded here on its
// own and converted by the C library's iconv, so that neither the generator nor
// the loader's code page table can hide a wrong byte.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "strings/strtab_data.h"
#include "strtab.h"

namespace {

constexpr std::uint16_t kEn = 1033;
constexpr std::uint16_t kRu = 1049;

// Convert UTF-8 to another code page with iconv; false if any character has no byte there.
bool Iconv(const std::string& in, const char* to, std::string& out) {
  iconv_t cd = iconv_open(to, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string src = in;
  std::string dst(in.size() * 4 + 4, '\0');
  char* ip = src.data();
  std::size_t il = src.size();
  char* op = dst.data();
  std::size_t ol = dst.size();
  const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || il != 0) return false;
  dst.resize(dst.size() - ol);
  out = dst;
  return true;
}

void PutUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

struct SourceEntry {
  unsigned Id;
  std::uint16_t Lang;
  std::string Utf8;  // escapes resolved
  int Line;
};

// A deliberately plain reading of strings.txt: <id> <en|ru> "<text>".
std::vector<SourceEntry> ReadSource() {
  std::vector<SourceEntry> entries;
  std::ifstream in(std::string(ORB_SOURCE_DIR) + "/resources/strings/strings.txt");
  EXPECT_TRUE(in.good());
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    const std::size_t sp1 = line.find(' ');
    const std::size_t sp2 = line.find(' ', sp1 + 1);
    const std::size_t q1 = line.find('"');
    const std::size_t q2 = line.rfind('"');
    if (sp1 == std::string::npos || sp2 == std::string::npos || q1 != sp2 + 1 || q2 != line.size() - 1 || q2 <= q1) {
      ADD_FAILURE() << "unreadable line " << lineNo << ": " << line;
      continue;
    }
    SourceEntry e{static_cast<unsigned>(std::stoul(line.substr(0, sp1))), 0, "", lineNo};
    const std::string lang = line.substr(sp1 + 1, sp2 - sp1 - 1);
    e.Lang = lang == "en" ? kEn : lang == "ru" ? kRu : 0;
    EXPECT_NE(e.Lang, 0) << "line " << lineNo;
    const std::string body = line.substr(q1 + 1, q2 - q1 - 1);
    for (std::size_t i = 0; i < body.size(); ++i) {
      if (body[i] != '\\') {
        e.Utf8 += body[i];
        continue;
      }
      const char k = body.at(++i);
      if (k == 'x') {
        e.Utf8 += static_cast<char>(std::stoul(body.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else if (k == 'u') {
        PutUtf8(e.Utf8, static_cast<unsigned>(std::stoul(body.substr(i + 1, 4), nullptr, 16)));
        i += 4;
      } else if (k == 'n') {
        e.Utf8 += '\n';
      } else {
        e.Utf8 += k;  // \" and \\ .
      }
    }
    entries.push_back(e);
  }
  return entries;
}

std::set<unsigned> Ids(std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
  std::set<unsigned> s;
  for (const auto& [a, b] : ranges)
    for (unsigned i = a; i <= b; ++i) s.insert(i);
  return s;
}

std::set<unsigned> PresentIds(std::uint16_t lang) {
  std::set<unsigned> s;
  for (unsigned id = 0; id <= 0xFFFF; ++id)
    if (!LoadStringTable(lang, id).empty()) s.insert(id);
  return s;
}

}  // namespace

TEST(StringTables, EveryTextMatchesTheSourceAsWindows1251) {
  const std::vector<SourceEntry> entries = ReadSource();
  ASSERT_GT(entries.size(), 200u);
  std::map<std::uint16_t, std::set<unsigned>> inSource;
  for (const SourceEntry& e : entries) {
    EXPECT_TRUE(inSource[e.Lang].insert(e.Id).second) << "duplicate at line " << e.Line;
    std::string expected;
    ASSERT_TRUE(Iconv(e.Utf8, "CP1251", expected)) << "not representable in CP1251, line " << e.Line;
    EXPECT_EQ(LoadStringTable(e.Lang, e.Id), expected) << "id " << e.Id << " lang " << e.Lang;
  }
  // And nothing in the tables that the source does not have.
  EXPECT_EQ(PresentIds(kEn), inSource[kEn]);
  EXPECT_EQ(PresentIds(kRu), inSource[kRu]);
}

TEST(StringTables, IdentifiersAndEntryCounts) {
  // Every identifier of both tables; 312-314 and 1100-1117 are shown by nothing and not kept.
  const std::set<unsigned> both = Ids({{108, 109}, {153, 154}, {160, 166}, {179, 182}, {280, 280},
                                       {300, 301}, {303, 304}, {307, 307}, {309, 310}, {400, 402},
                                       {501, 501}, {503, 503}, {506, 506}, {700, 716}, {1550, 1550},
                                       {1667, 1670}, {1700, 1700}, {1800, 1806}, {1901, 1912},
                                       {1920, 1920}, {1930, 1930}, {1940, 1940}, {2100, 2111},
                                       {2200, 2201}, {2301, 2307}, {2400, 2401}, {2403, 2405},
                                       {2407, 2413}, {2500, 2503}, {2510, 2512}, {2520, 2522},
                                       {2600, 2600}});
  const unsigned leftOut = 3 + 18;
  std::set<unsigned> en = both, ru = both;
  en.insert(505);
  ru.insert({403, 502});

  const std::set<unsigned> presentEn = PresentIds(kEn), presentRu = PresentIds(kRu);
  EXPECT_EQ(presentEn, en);
  EXPECT_EQ(presentRu, ru);
  EXPECT_EQ(presentEn.size(), 140u - leftOut);
  EXPECT_EQ(presentRu.size(), 141u - leftOut);
}

TEST(StringTables, SpotChecksAgainstLiteralBytes) {
  struct Case {
    std::uint16_t Lang;
    unsigned Id;
    std::string Bytes;
  };
  const Case cases[] = {
      {kEn, 160, "\x09\x03" "Auto step" "\x09\x65" "---" "\x09\x80"},
      {kRu, 160, "\x09\x03" "\xC0\xE2\xF2\xEE\xEF\xE5\xF0\xE5\xF5\xEE\xE4" "\x09\x5C" "----" "\x09\x80"},
      {kRu, 162, "\x09\x03" "\xD7\xE0\xF1\xF2\xEE\xF2\xE0" "\x09\x52" "------" "\x09\x80"},
      {kEn, 153, "ROUTE                   "},
      {kRu, 153, "\xCC\xC0\xD0\xD8\xD0\xD3\xD2                 "},
      {kEn, 1806, "\x09\x0E" "[Esc] - Quit "},
      {kRu, 1806, "\x09\x0E" "[Esc] - " "\xC2\xFB\xF5\xEE\xE4"},
      {kEn, 2409, "\x03" "MEASUREMENT" "\x04\x09\x80"},
      {kEn, 2410, "\x03" " ANALYSIS " "\x04\x09\x80"},
      {kEn, 400, "Vibration Data Collector\nORB-720 Demo"},
      {kRu, 179, "\xCA\xD3\xD0\xD1\xCE\xD0" "X:      Y:     "},  // a Latin X
      {kEn, 1909, " HR:MIN:SEC"},
      {kRu, 2103, "  \xC3\xF6  "},
      {kRu, 705, "\xD1\xD2-\xC3\xCE\xD0    2"},
      {kEn, 1911, "-2      "},
      {kEn, 2520, "g   "},
      {kEn, 2521, "in/s"},
      {kEn, 2522, "mil "},
      {kRu, 2520, "m/c2"},
      {kRu, 2521, "mm/c"},
      {kRu, 2522, "mkm "},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadStringTable(c.Lang, c.Id), c.Bytes) << c.Lang << "/" << c.Id;
  EXPECT_EQ(LoadStringTable(kEn, 153).size(), 24u);
  EXPECT_EQ(LoadStringTable(kRu, 153).size(), 24u);
  // The Russian unit labels of the US slots repeat the metric ones.
  for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(LoadStringTable(kRu, 2520 + i), LoadStringTable(kRu, 2510 + i));
}

TEST(StringTables, TextsLeftToUsHaveTheirShapes) {
  const std::string web = LoadStringTable(kEn, 310);
  EXPECT_EQ(web.rfind("https://", 0), 0u);
  EXPECT_NE(web.find(".example.com/"), std::string::npos);
  EXPECT_EQ(LoadStringTable(kRu, 310), web);

  const auto count = [](const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
  };
  const std::string bullet = "\x95";  // U+2022 in Windows-1251
  for (std::uint16_t lang : {kEn, kRu}) {
    const std::string d = LoadStringTable(lang, 503);
    EXPECT_EQ(count(d, "\n" + bullet + " "), 6u) << lang;
    EXPECT_NE(d.substr(0, d.find('\n')).size(), 0u) << "paragraph first";
    EXPECT_EQ(count(LoadStringTable(lang, 501), "\n"), 0u) << "one sentence";
    EXPECT_EQ(LoadStringTable(lang, 501).back(), '.');
    EXPECT_NE(LoadStringTable(lang, 402).find('\xA9'), std::string::npos) << "copyright sign";
  }
  const std::string specs = LoadStringTable(kEn, 505);
  EXPECT_EQ(count(specs, bullet + " "), 11u);
  EXPECT_EQ(count(specs, "\n") + 1, 11u);
  EXPECT_EQ(count(LoadStringTable(kEn, 402), "\n"), 1u) << "two lines in English";
  EXPECT_NE(LoadStringTable(kRu, 403).find("@example.com"), std::string::npos);
}

TEST(StringTables, BlocksFollowTheResourceLayout) {
  std::set<std::pair<std::uint16_t, unsigned>> seen;
  for (std::size_t b = 0; b < kStrTabBlockCount; ++b) {
    const StrTabBlock& blk = kStrTabBlocks[b];
    EXPECT_TRUE(seen.insert({blk.LangId, blk.BlockNo}).second) << "duplicate block " << blk.BlockNo;
    EXPECT_TRUE(blk.LangId == kEn || blk.LangId == kRu);
    // Exactly 16 entries filling the block, and at least one with text.
    std::size_t pos = 0;
    int withText = 0;
    for (int i = 0; i < 16; ++i) {
      ASSERT_LT(pos, blk.Size) << "block " << blk.BlockNo << " ends at entry " << i;
      withText += blk.Data[pos] != 0;
      pos += 1u + blk.Data[pos];
    }
    EXPECT_EQ(pos, blk.Size) << "block " << blk.BlockNo;
    EXPECT_GT(withText, 0) << "block " << blk.BlockNo;
  }

  const auto block = [](std::uint16_t lang, unsigned no) -> const StrTabBlock* {
    for (std::size_t b = 0; b < kStrTabBlockCount; ++b)
      if (kStrTabBlocks[b].LangId == lang && kStrTabBlocks[b].BlockNo == no) return &kStrTabBlocks[b];
    return nullptr;
  };
  // 288..303 form block 19 and 304..319 block 20: 303 is the last entry of one, 304 the first of the next.
  const StrTabBlock* b19 = block(kEn, 19);
  const StrTabBlock* b20 = block(kEn, 20);
  ASSERT_NE(b19, nullptr);
  ASSERT_NE(b20, nullptr);
  EXPECT_EQ(StringFromBlock(b19->Data, b19->Size, 15), u"Overview");
  EXPECT_EQ(StringFromBlock(b19->Data, b19->Size, 12), u"ORB-720 Demo");  // 300
  EXPECT_EQ(StringFromBlock(b19->Data, b19->Size, 14), u"");              // 302
  EXPECT_EQ(StringFromBlock(b20->Data, b20->Size, 0), u"About Demo");
  // 2111 closes block 132 (2096..2111); the block of 2112.. does not exist.
  const StrTabBlock* b132 = block(kRu, 132);
  ASSERT_NE(b132, nullptr);
  EXPECT_EQ(StringFromBlock(b132->Data, b132->Size, 15), u"Частота ");
  EXPECT_EQ(block(kRu, 133), nullptr);
  // U+0402 is stored as such; only the loader makes it the byte 0x80.
  const StrTabBlock* b151 = block(kEn, 2409 / 16 + 1);
  ASSERT_NE(b151, nullptr);
  EXPECT_EQ(StringFromBlock(b151->Data, b151->Size, 2409 % 16), u"\x03MEASUREMENT\x04\x09\u0402");
  // No block at all for ids 0..95, nor for the omitted 1100-1117.
  EXPECT_EQ(block(kEn, 50 / 16 + 1), nullptr);
  EXPECT_EQ(block(kEn, 1100 / 16 + 1), nullptr);
  EXPECT_EQ(block(kEn, 1117 / 16 + 1), nullptr);
}
