#include "inifile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host.h"

namespace {

// Editors on other systems put a UTF-8 byte-order mark before the first line.
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

int DigitValue(char c, unsigned base) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
  else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
  return d;
}

// A value must stay on its line, or it would plant keys of its own.
std::string_view OneLine(std::string_view value) {
  const std::size_t cut = value.find_first_of(std::string_view("\r\n\0", 3));
  return cut == std::string_view::npos ? value : value.substr(0, cut);
}

}  // namespace

bool ParseProfileInt(std::string_view t, std::int32_t& value) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  unsigned base = 10;
  if (i + 2 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X') && DigitValue(t[i + 2], 16) >= 0) {
    base = 16;
    i += 2;
  } else if (i + 1 < t.size() && t[i] == '$' && DigitValue(t[i + 1], 16) >= 0) {
    base = 16;
    i += 1;
  }
  std::uint32_t acc = 0;  // unsigned: overflow wraps instead of being undefined
  std::size_t digits = 0;
  for (; i < t.size(); ++i, ++digits) {
    const int d = DigitValue(t[i], base);
    if (d < 0) break;
    acc = acc * base + static_cast<std::uint32_t>(d);
  }
  if (digits == 0) return false;
  if (negative) acc = 0u - acc;
  value = static_cast<std::int32_t>(acc);
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  std::error_code ec;
  // Not a regular file (missing, a directory, a FIFO that would block): nothing to read.
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > TIniText::kMaxFile) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.resize(static_cast<std::size_t>(size));
  in.read(text.data(), static_cast<std::streamsize>(size));
  // The file may have shrunk since its size was taken.
  text.resize(static_cast<std::size_t>(in.gcount()));
  return !in.bad();
}

namespace {

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A new file of its own beside target, made exclusively: whatever a crashed
// save or another program left under the name (a file, a folder, a link to
// elsewhere) is neither reused nor written through. -1 when the folder takes
// no new file.
int MakeTemp(const std::string& target, std::string& name) {
  for (int n = 0; n < 100; ++n) {
    name = target + ".tmp" + (n ? std::to_string(n) : std::string());
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// For a folder that takes no new file: the file is overwritten, not cut off
// first, and its old bytes are put back when the write fails, so that a
// failed save leaves it as it was.
bool WriteInPlace(const std::string& target, const std::string& text) {
  std::string old;
  if (!ReadWholeFile(target, old)) return false;
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, text) && ::ftruncate(fd, static_cast<off_t>(text.size())) == 0;
  if (!ok && ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, old))
    static_cast<void>(::ftruncate(fd, static_cast<off_t>(old.size())));
  return ::close(fd) == 0 && ok;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& text) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // Through a link its target is written, so the link stays what the user made.
  // A link to a file not made yet names the file to make.
  fs::path resolved = path;
  for (int hops = 0; fs::is_symlink(fs::symlink_status(resolved, ec)); ++hops) {
    if (hops == 40) return false;  // a loop of links
    const fs::path next = fs::read_symlink(resolved, ec);
    if (ec) return false;
    resolved = next.is_absolute() ? next : resolved.parent_path() / next;
  }
  const std::string target = resolved.lexically_normal().string();
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return false;
    // Root passes access() for every file, so the mode bits are checked too:
    // a file the user made read-only is left as it is.
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
  }
  std::string temp;
  const int fd = MakeTemp(target, temp);
  if (fd < 0) {
    // A folder we may not write, holding a file we may: edit it in place.
    return exists && WriteInPlace(target, text);
  }
  const bool written = WriteAll(fd, text);
  if (::close(fd) != 0 || !written) {
    ::unlink(temp.c_str());
    return false;
  }
  // The new file keeps the old one's permissions (a private 0600 stays so).
  if (exists) ::chmod(temp.c_str(), st.st_mode & 07777);
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------

TIniText::TIniText(std::string text) : text_(std::move(text)) {}

bool TIniText::LineStart(std::size_t p) const {
  while (p > 0 && (text_[p - 1] == ' ' || text_[p - 1] == '\t')) --p;
  return p == 0 || text_[p - 1] == '\n' || (p == kBom.size() && text_.starts_with(kBom));
}

bool TIniText::Header(std::size_t p, std::string_view& name, std::size_t& next) const {
  const char* base = text_.data();
  const std::size_t n = text_.size();
  const void* nl = std::memchr(base + p, '\n', n - p);
  const std::size_t stop = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - base) : n;
  next = nl ? stop + 1 : n;
  // "[name" without the bracket is just a malformed line.
  const void* close = std::memchr(base + p + 1, ']', stop - p - 1);
  if (!close) return false;
  std::size_t nb = p + 1, ne = static_cast<std::size_t>(static_cast<const char*>(close) - base);
  while (nb < ne && IsBlank(base[nb])) ++nb;
  while (ne > nb && IsBlank(base[ne - 1])) --ne;
  name = std::string_view(text_).substr(nb, ne - nb);
  return true;
}

std::size_t TIniText::NextHeader(std::size_t from) const {
  const char* base = text_.data();
  const std::size_t n = text_.size();
  for (std::size_t pos = from; pos < n;) {
    const void* hit = std::memchr(base + pos, '[', n - pos);
    if (!hit) break;
    std::size_t q = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    std::string_view name;
    std::size_t next;
    if (LineStart(q) && Header(q, name, next)) {
      while (q > from && text_[q - 1] != '\n') --q;
      return q;
    }
    pos = q + 1;
  }
  return n;
}

bool TIniText::FindSection(std::string_view section, Range& body) const {
  std::string lower(section);
  for (char& c : lower) c = Lower(c);
  for (const auto& [name, range] : sections_)
    if (name == lower) {
      body = range;
      return range.begin != std::string::npos;
    }
  Range found{std::string::npos, std::string::npos};
  const char* base = text_.data();
  const std::size_t n = text_.size();
  for (std::size_t pos = 0; pos < n;) {
    const void* hit = std::memchr(base + pos, '[', n - pos);
    if (!hit) break;
    const std::size_t q = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    std::string_view name;
    std::size_t next;
    if (LineStart(q) && Header(q, name, next) && SameName(name, section)) {
      found = {next, NextHeader(next)};
      break;
    }
    pos = q + 1;
  }
  sections_.emplace_back(std::move(lower), found);
  body = found;
  return found.begin != std::string::npos;
}

bool TIniText::FindKey(const Range& body, std::string_view key, KeyLine& line) const {
  if (key.empty()) return false;
  const char* base = text_.data();
  // The key's first letter in either case; both are followed in text order.
  const char c0 = Lower(key[0]);
  const char c1 = (c0 >= 'a' && c0 <= 'z') ? static_cast<char>(c0 - 'a' + 'A') : c0;
  const auto seek = [&](char c, std::size_t from) {
    const void* hit = from < body.end ? std::memchr(base + from, c, body.end - from) : nullptr;
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - base) : body.end;
  };
  std::size_t lo = seek(c0, body.begin), up = c1 == c0 ? body.end : seek(c1, body.begin);
  while (lo < body.end || up < body.end) {
    const std::size_t p = std::min(lo, up);
    if (p == lo) lo = seek(c0, p + 1);
    if (p == up && c1 != c0) up = seek(c1, p + 1);
    if (p + key.size() > body.end || !LineStart(p) || !SameName(std::string_view(text_).substr(p, key.size()), key))
      continue;
    std::size_t q = p + key.size();
    while (q < body.end && (text_[q] == ' ' || text_[q] == '\t')) ++q;
    if (q >= body.end || text_[q] != '=') continue;
    const void* nl = std::memchr(base + q, '\n', body.end - q);
    std::size_t e = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - base) : body.end;
    std::size_t vb = q + 1;
    while (vb < e && IsBlank(base[vb])) ++vb;
    while (e > vb && IsBlank(base[e - 1])) --e;
    line = {vb, e};
    return true;
  }
  return false;
}

std::string_view TIniText::Eol() const {
  const std::size_t nl = text_.find('\n');
  if (nl != std::string::npos && (nl == 0 || text_[nl - 1] != '\r')) return "\n";
  return "\r\n";
}

bool TIniText::Find(std::string_view section, std::string_view key, std::string& value) const {
  Range body;
  KeyLine l;
  if (!FindSection(section, body) || !FindKey(body, key, l)) return false;
  std::string_view v = std::string_view(text_).substr(l.valueBegin, l.valueEnd - l.valueBegin);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  const std::size_t nul = v.find('\0');
  if (nul != std::string_view::npos) v = v.substr(0, nul);
  if (v.size() > kMaxValue) v = v.substr(0, kMaxValue);
  value.assign(v);
  return true;
}

void TIniText::Set(std::string_view section, std::string_view key, std::string_view rawValue) {
  const std::string_view value = OneLine(rawValue);
  const std::string eol(Eol());
  Range body;
  KeyLine l;
  if (FindSection(section, body)) {
    if (FindKey(body, key, l)) {
      text_.replace(l.valueBegin, l.valueEnd - l.valueBegin, value);
    } else {
      // After the section's last non-blank line, so that blank lines before
      // the next section stay where they are.
      std::size_t p = body.end;
      while (p > body.begin && (IsBlank(text_[p - 1]) || text_[p - 1] == '\n')) --p;
      std::size_t at = body.begin;
      if (p > body.begin) {
        const std::size_t nl = text_.find('\n', p);
        at = nl == std::string::npos ? text_.size() : nl + 1;
      }
      std::string add(key);
      add.append("=").append(value);
      if (at > 0 && text_[at - 1] != '\n') {
        text_.insert(at, eol + add);  // only at the end: the last line had no terminator
      } else {
        text_.insert(at, add + eol);
      }
    }
  } else {
    if (!text_.empty() && text_ != kBom) {
      if (text_.back() != '\n') text_.append(eol);
      // A blank line between sections, unless there is one already.
      if (!text_.ends_with("\n\n") && !text_.ends_with("\n\r\n")) text_.append(eol);
    }
    text_.append("[").append(section).append("]").append(eol);
    text_.append(key).append("=").append(value).append(eol);
  }
  sections_.clear();
}

// ---------------------------------------------------------------------------

TIniFile::TIniFile(std::string path, TIniWriteFn writer) : path_(std::move(path)), writer_(std::move(writer)) {
  std::string text;
  if (ReadWholeFile(path_, text)) snapshot_ = TIniText(std::move(text));
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
  std::string v;
  std::int32_t result = def;
  if (snapshot_.Find(section, key, v) && ParseProfileInt(v, result)) return result;
  return def;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, const std::string& def) const {
  std::string v;
  return snapshot_.Find(section, key, v) ? v : def;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string text;
  std::error_code ec;
  // Through a link: the file it leads to (none yet for a fresh link).
  const bool exists = std::filesystem::exists(std::filesystem::status(path_, ec));
  // An existing file that cannot be read (a directory, a FIFO, too large) is
  // not replaced by one holding only this key.
  if (!ReadWholeFile(path_, text) && exists) throw Exception("Unable to write to " + path_);
  TIniText next(std::move(text));
  next.Set(section, key, value);
  if (!writer_ || !writer_(path_, next.Text())) throw Exception("Unable to write to " + path_);
  snapshot_ = std::move(next);
}
