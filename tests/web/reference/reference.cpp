// What the page must show, rendered by the headless host: for key codes given
// in hex, the frame the firmware has settled on before each key is taken
// (the first after the switch-on, the last after the last key), as golden
// frame text; and the LCD's colour table, to read the page's canvas by.
//
//   orb_web_reference [--lang 1033|1049|66569] KEY...
// prints JSON: {"colours": [[code, lit RGB, dimmed RGB], ...], "frames": [...]}
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "devicerules.h"
#include "headless_host.h"
#include "lcd.h"
#include "runscrn.h"
#include "state.h"
#include "texts.h"

namespace {
std::string Json(const std::string& s) {
  std::string out = "\"";
  for (char c : s) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out + "\"";
}

std::string Settled(const std::vector<std::uint16_t>& keys, std::uint32_t language) {
  NewProgramRun();
  THeadlessHost host(language);
  for (std::uint16_t k : keys) host.Key(k, 0);
  InitMenuTexts();
  try {
    RunScrn();
  } catch (const Exception&) {
    // the keys are used up: switched off
  }
  return FrameToText(host.LastFrame());
}
}  // namespace

int main(int argc, char** argv) {
  std::uint32_t language = 1033;
  std::vector<std::uint16_t> keys;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--lang" && i + 1 < argc)
      language = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    else
      keys.push_back(static_cast<std::uint16_t>(std::strtoul(a.c_str(), nullptr, 16)));
  }
  std::printf("{\"colours\": [");
  for (std::size_t i = 0; i < std::size(kLcdColours); ++i)
    std::printf("%s[%u, %u, %u]", i ? ", " : "", kLcdColours[i].code, kLcdColours[i].bright, kLcdColours[i].dimmed);
  std::printf("],\n\"frames\": [");
  for (std::size_t n = 0; n <= keys.size(); ++n) {
    const std::vector<std::uint16_t> prefix(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(n));
    std::printf("%s%s", n ? ",\n" : "", Json(Settled(prefix, language)).c_str());
  }
  std::printf("]}\n");
  return 0;
}
