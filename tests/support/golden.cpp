#include "golden.h"

#include <cstdlib>

#ifndef ORB_SOURCE_DIR
#define ORB_SOURCE_DIR "."
#endif

std::string CompareWithGolden(const TFrame& f, const std::string& name) {
  const char* update = std::getenv("ORB_UPDATE_GOLDENS");
  const std::string verdict = CompareWithGoldenFile(f, std::string(ORB_SOURCE_DIR) + "/tests/goldens/" + name,
                                                    update && *update && *update != '0');
  if (verdict.empty()) return {};
  if (verdict.rfind("no golden", 0) == 0) return verdict + " (run with ORB_UPDATE_GOLDENS=1)";
  return name + ": " + verdict;
}
