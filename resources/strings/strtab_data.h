#pragma once
// The compiled string tables, generated at build time from strings.txt by
// tools/strgen. Laid out like a string-table resource: per language, blocks of
// 16 consecutive identifiers, block number = id / 16 + 1; a block is 16 entries
// one after another, each a code-unit count followed by that many UTF-16 units
// (count 0 = no text).
#include <cstddef>
#include <cstdint>

struct StrTabBlock {
  std::uint16_t LangId;
  std::uint16_t BlockNo;
  const std::uint16_t* Data;
  std::size_t Size;  // in 16-bit units
};

extern const StrTabBlock kStrTabBlocks[];
extern const std::size_t kStrTabBlockCount;
