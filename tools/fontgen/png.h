#pragma once
// A minimal RGB PNG writer (stored deflate blocks, no compressor needed).
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace png {

inline std::uint32_t Crc32(const std::string& s) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char ch : s) {
    crc ^= ch;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void Be32(std::string& s, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void Chunk(std::string& out, const char* type, const std::string& data) {
  Be32(out, static_cast<std::uint32_t>(data.size()));
  const std::string td = std::string(type, 4) + data;
  out += td;
  Be32(out, Crc32(td));
}

class Image {
 public:
  Image(int width, int height, std::uint32_t background)
      : width_(width), height_(height), background_(background),
        px_(static_cast<std::size_t>(width * height), background) {}
  void Grow(int height) {
    if (height <= height_) return;
    px_.resize(static_cast<std::size_t>(width_ * height), background_);
    height_ = height;
  }
  void Fill(int x, int y, int w, int h, std::uint32_t rgb) {
    for (int yy = std::max(0, y); yy < std::min(height_, y + h); ++yy)
      for (int xx = std::max(0, x); xx < std::min(width_, x + w); ++xx)
        px_[static_cast<std::size_t>(yy * width_ + xx)] = rgb;
  }
  bool Save(const std::string& path) const {
    std::string raw;
    for (int y = 0; y < height_; ++y) {
      raw.push_back(0);
      for (int x = 0; x < width_; ++x) {
        const std::uint32_t rgb = px_[static_cast<std::size_t>(y * width_ + x)];
        raw.push_back(static_cast<char>(rgb >> 16));
        raw.push_back(static_cast<char>(rgb >> 8));
        raw.push_back(static_cast<char>(rgb));
      }
    }
    std::string z = "\x78\x01";
    std::size_t pos = 0;
    do {
      const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
      z.push_back(pos + n == raw.size() ? 1 : 0);
      z.push_back(static_cast<char>(n & 0xFF));
      z.push_back(static_cast<char>(n >> 8));
      z.push_back(static_cast<char>(~n & 0xFF));
      z.push_back(static_cast<char>((~n >> 8) & 0xFF));
      z.append(raw, pos, n);
      pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    Be32(z, (b << 16) | a);
    std::string out = "\x89PNG\r\n\x1a\n";
    std::string ihdr;
    Be32(ihdr, static_cast<std::uint32_t>(width_));
    Be32(ihdr, static_cast<std::uint32_t>(height_));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    Chunk(out, "IHDR", ihdr);
    Chunk(out, "IDAT", z);
    Chunk(out, "IEND", "");
    std::ofstream f(path, std::ios::binary);
    f << out;
    return static_cast<bool>(f);
  }

 private:
  int width_, height_;
  std::uint32_t background_;
  std::vector<std::uint32_t> px_;
};

}  // namespace png
