#include "numtext.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

__extension__ typedef unsigned __int128 u128;  // GCC and Clang, wasm included

constexpr int kMaxPrecision = 9;
// The longest %f body: 309 integer digits of DBL_MAX, the point, 9 decimals.
constexpr std::size_t kFixedMax = 309 + 1 + kMaxPrecision;

// Appends to the caller's buffer, never past it, and counts the whole text.
class TOut {
 public:
  TOut(char* buf, std::size_t size) : buf_(buf), size_(size) {}
  void Put(char c) {
    if (len_ + 1 < size_) buf_[len_] = c;
    ++len_;
  }
  void Put(const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) Put(s[i]);
  }
  void Fill(char c, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) Put(c);
  }
  // Sign, body and padding to the width: zeros go between sign and body.
  void Field(const char* sign, const char* body, std::size_t n, std::size_t width, bool left, bool zero) {
    const std::size_t signLen = std::strlen(sign);
    const std::size_t pad = width > signLen + n ? width - signLen - n : 0;
    if (!left && !zero) Fill(' ', pad);
    Put(sign, signLen);
    if (!left && zero) Fill('0', pad);
    Put(body, n);
    if (left) Fill(' ', pad);
  }
  int End() {
    if (size_ > 0) buf_[len_ < size_ ? len_ : size_ - 1] = '\0';
    return static_cast<int>(len_);
  }

 private:
  char* buf_;
  std::size_t size_;
  std::size_t len_ = 0;
};

// Decimal digits of v, most significant first; returns their count.
std::size_t Digits(u128 v, char* out) {
  char tmp[40];
  std::size_t n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v != 0);
  for (std::size_t i = 0; i < n; ++i) out[i] = tmp[n - 1 - i];
  return n;
}

// Decimal digits of m x 2^shift, an integer of up to 1024 bits.
std::size_t BigDigits(std::uint64_t m, int shift, char* out) {
  constexpr int kLimbs = 36;  // 32-bit limbs, least significant first
  std::uint32_t limb[kLimbs] = {};
  limb[shift / 32] = static_cast<std::uint32_t>(m << (shift % 32));
  const std::uint64_t high = shift % 32 == 0 ? m >> 32 : m >> (32 - shift % 32);
  limb[shift / 32 + 1] = static_cast<std::uint32_t>(high);
  limb[shift / 32 + 2] = static_cast<std::uint32_t>(shift % 32 == 0 ? 0 : high >> 32);
  // Groups of nine digits by long division, least significant group first.
  std::uint32_t groups[40];
  int count = 0;
  int top = kLimbs - 1;
  while (top >= 0 && limb[top] == 0) --top;
  while (top >= 0) {
    std::uint64_t rem = 0;
    for (int i = top; i >= 0; --i) {
      const std::uint64_t cur = (rem << 32) | limb[i];
      limb[i] = static_cast<std::uint32_t>(cur / 1000000000u);
      rem = cur % 1000000000u;
    }
    groups[count++] = static_cast<std::uint32_t>(rem);
    while (top >= 0 && limb[top] == 0) --top;
  }
  std::size_t n = Digits(groups[count - 1], out);
  for (int g = count - 2; g >= 0; --g) {
    for (int i = 8; i >= 0; --i) {
      out[n + static_cast<std::size_t>(i)] = static_cast<char>('0' + groups[g] % 10);
      groups[g] /= 10;
    }
    n += 9;
  }
  return n;
}

// |v| (finite) with prec decimals, rounded half to even on its exact value.
std::size_t FixedBody(double v, int prec, char* out) {
  int exp = 0;
  const double fr = std::frexp(std::fabs(v), &exp);  // |v| = fr x 2^exp, 0.5 <= fr < 1
  const auto m = static_cast<std::uint64_t>(std::ldexp(fr, 53));
  const int e2 = exp - 53;  // |v| = m x 2^e2 exactly
  u128 pow10 = 1;
  for (int i = 0; i < prec; ++i) pow10 *= 10;
  std::size_t n;
  u128 frac = 0;
  if (m != 0 && e2 >= 0) {
    n = BigDigits(m, e2, out);  // a whole number: the decimals are zeros
  } else {
    // m x 10^prec < 2^83: a shift of 84 or more leaves less than half.
    const int k = -e2;
    const u128 x = static_cast<u128>(m) * pow10;
    u128 q = 0;
    if (m != 0 && k < 84) {
      q = x >> k;
      const u128 r = x & ((static_cast<u128>(1) << k) - 1);
      const u128 half = static_cast<u128>(1) << (k - 1);
      if (r > half || (r == half && (q & 1) != 0)) ++q;
    }
    n = Digits(q / pow10, out);
    frac = q % pow10;
  }
  if (prec > 0) {
    out[n++] = '.';
    for (int i = prec - 1; i >= 0; --i) {
      out[n + static_cast<std::size_t>(i)] = static_cast<char>('0' + static_cast<int>(frac % 10));
      frac /= 10;
    }
    n += static_cast<std::size_t>(prec);
  }
  return n;
}

}  // namespace

int VFmtStr(char* buf, std::size_t size, const char* fmt, va_list ap) {
  TOut out(buf, size);
  const char* p = fmt;
  while (*p) {
    if (*p != '%') {
      out.Put(*p++);
      continue;
    }
    ++p;
    if (*p == '%') {
      out.Put(*p++);
      continue;
    }
    bool left = false, zero = false;
    for (;; ++p) {
      if (*p == '-')
        left = true;
      else if (*p == '0')
        zero = true;
      else
        break;
    }
    std::size_t width = 0;
    while (*p >= '0' && *p <= '9' && width < 4096) width = width * 10 + static_cast<std::size_t>(*p++ - '0');
    int prec = -1;
    if (*p == '.') {
      ++p;
      prec = 0;
      while (*p >= '0' && *p <= '9' && prec < 4096) prec = prec * 10 + (*p++ - '0');
    }
    int longs = 0;
    while (*p == 'l' && longs < 3) ++longs, ++p;
    const char conv = longs <= 2 ? *p : '\0';
    char body[kFixedMax + 8];
    const char* sign = "";
    if ((conv == 'd' || conv == 'i' || conv == 'u') && prec <= 64) {
      unsigned long long u;
      if (conv == 'u') {
        u = longs == 0 ? va_arg(ap, unsigned) : longs == 1 ? va_arg(ap, unsigned long) : va_arg(ap, unsigned long long);
      } else {
        const long long v = longs == 0 ? va_arg(ap, int) : longs == 1 ? va_arg(ap, long) : va_arg(ap, long long);
        u = v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        if (v < 0) sign = "-";
      }
      std::size_t n = prec == 0 && u == 0 ? 0 : Digits(u, body);
      if (prec > 0 && n < static_cast<std::size_t>(prec)) {  // at least prec digits
        const std::size_t lead = static_cast<std::size_t>(prec) - n;
        std::memmove(body + lead, body, n);
        std::memset(body, '0', lead);
        n += lead;
      }
      out.Field(sign, body, n, width, left, zero && prec < 0);
    } else if (conv == 'f' && prec <= kMaxPrecision) {
      const double v = va_arg(ap, double);
      if (std::signbit(v)) sign = "-";
      if (std::isnan(v) || std::isinf(v))
        out.Field(sign, std::isnan(v) ? "nan" : "inf", 3, width, left, false);
      else
        out.Field(sign, body, FixedBody(v, prec < 0 ? 6 : prec, body), width, left, zero);
    } else if (conv == 's' && longs == 0) {
      const char* s = va_arg(ap, const char*);
      if (!s) s = "(null)";
      out.Field("", s, prec < 0 ? std::strlen(s) : strnlen(s, static_cast<std::size_t>(prec)), width, left, false);
    } else if (conv == 'c' && longs == 0) {
      body[0] = static_cast<char>(va_arg(ap, int));
      out.Field("", body, 1, width, left, false);
    } else {
      out.End();
      return -1;  // not a conversion the firmware uses
    }
    ++p;
  }
  return out.End();
}

int FmtStr(char* buf, std::size_t size, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const int n = VFmtStr(buf, size, fmt, ap);
  va_end(ap);
  return n;
}
