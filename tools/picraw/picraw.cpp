// A build step of the window: one PNG picture as premultiplied 0xAARRGGBB
// words in a C++ array, with an optional key colour made transparent, so the
// window draws it at start without decoding anything.
//
//   picraw NAME IN.png KEY OUT.cpp      KEY: RRGGBB, or - for none
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pngfile.h"

namespace {
// The painter's own premultiplication, to the bit, so the window looks the
// same as when it converted the pictures itself.
std::uint32_t Premultiply(std::uint32_t x) {
  const std::uint32_t a = x >> 24;
  std::uint32_t t = (x & 0xff00ff) * a;
  t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
  t &= 0xff00ff;
  x = ((x >> 8) & 0xff) * a;
  x = (x + ((x >> 8) & 0xff) + 0x80);
  x &= 0xff00;
  return x | t | (a << 24);
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "picraw: %s\n", what.c_str());
  return 1;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return Fail("usage: picraw NAME IN.png KEY OUT.cpp");
  const std::string name = argv[1], in = argv[2], keyArg = argv[3], out = argv[4];
  std::ifstream f(in, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (!f && !f.eof()) return Fail(in + ": cannot be read");
  TRgbImage img;
  std::string error;
  if (!ReadPngArgbData(bytes.data(), bytes.size(), img, &error)) return Fail(in + ": " + error);
  const bool keyed = keyArg != "-";
  const std::uint32_t key = keyed ? 0xFF000000u | static_cast<std::uint32_t>(std::strtoul(keyArg.c_str(), nullptr, 16)) : 0;

  std::string text = "// Generated from " + in + "; do not edit.\n#include \"picture_data.h\"\n\nnamespace {\n" +
                     "alignas(16) const std::uint32_t kPixels[] = {";
  char word[16];
  for (std::size_t i = 0; i < img.px.size(); ++i) {
    const std::uint32_t p = img.px[i];
    std::snprintf(word, sizeof word, "%s0x%x,", i % 12 ? "" : "\n", keyed && (p | 0xFF000000u) == key ? 0u : Premultiply(p));
    text += word;
  }
  text += "\n};\n}  // namespace\n\nextern const TEmbeddedPicture pic_" + name + ";\nconst TEmbeddedPicture pic_" + name +
          "{\"" + name + "\", " + std::to_string(img.width) + ", " + std::to_string(img.height) + ", kPixels};\n";
  const std::string tmp = out + ".tmp";
  std::ofstream o(tmp, std::ios::binary | std::ios::trunc);
  o << text;
  o.close();
  if (!o) return Fail(tmp + ": cannot be written");
  if (std::rename(tmp.c_str(), out.c_str()) != 0) return Fail(out + ": cannot be written");
  return 0;
}
