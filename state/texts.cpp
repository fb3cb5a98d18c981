#include "texts.h"

#include <array>
#include <string>

#include "host.h"

const unsigned kFwTextIds[TX_COUNT] = {2409, 2410, 2411, 2413, 2412, 153,  154,  160,  161,  162,  163, 164,
                                       165,  166,  1667, 1668, 1669, 1670, 1700, 1908, 1909, 1920, 1930, 1800,
                                       1801, 1802, 1803, 1804, 1805, 1806, 1910, 1911, 1912, 1806};

namespace {
std::array<std::string, TX_COUNT> g_texts;
char g_empty[1] = {0};
}  // namespace

char* FwText(TFwText t) {
  std::string& s = g_texts[static_cast<std::size_t>(t)];
  return s.empty() ? g_empty : s.data();
}

std::size_t FwTextLen(TFwText t) { return g_texts[static_cast<std::size_t>(t)].size(); }

void LoadFwTexts() {
  for (int i = 0; i < TX_COUNT; ++i) LoadStr(kFwTextIds[i], g_texts[static_cast<std::size_t>(i)]);
}
