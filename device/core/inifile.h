#pragma once
// Reader and writer of the Windows profile (INI) text format: "[Section]"
// headers, "key=value" lines, names compared without regard to ASCII case.
// Like the platform's profile functions, every write is a read-modify-write of
// the whole file, so a failure at one key leaves the keys written before it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Puts the complete new file text at path; false when it could not.
using TIniWriteFn = std::function<bool(const std::string& path, const std::string& text)>;

// The default writer: a temporary file in the same directory renamed over the
// target, so a crash never leaves half a file behind; it keeps the target's
// mode. Through a symbolic link it writes the link's target. A file without
// any write bit is refused (also for root); in a folder it may not write, an
// existing writable file is rewritten in place.
bool WriteFileReplacing(const std::string& path, const std::string& text);

// One profile text, looked up and edited in memory.
class TIniText {
 public:
  TIniText() = default;
  explicit TIniText(std::string text);

  const std::string& Text() const { return text_; }

  // Value of the first matching key in the first matching section, blanks
  // trimmed, one pair of enclosing quotes removed, cut at a NUL byte and at
  // kMaxValue bytes. False when the section or the key is missing.
  bool Find(std::string_view section, std::string_view key, std::string& value) const;

  // Replaces the key's value in place, or appends the key to its section, or
  // appends the section at the end. Other lines stay byte for byte.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  static constexpr std::size_t kMaxValue = 2047;
  // A larger file is not a profile of ours: it reads as empty and is not
  // rewritten (the write reports failure).
  static constexpr std::size_t kMaxFile = 64u << 20;

 private:
  // No per-line index: a 10 MB file of "a=b" lines has millions of them.
  // Lookups jump with memchr to the candidate characters instead.
  struct Range {
    std::size_t begin, end;  // a section's body: after its header to the next header
  };
  struct KeyLine {
    std::size_t valueBegin, valueEnd;  // trimmed
  };
  bool LineStart(std::size_t p) const;
  // At a '[' that starts a line: the trimmed name and the start of the next line.
  bool Header(std::size_t p, std::string_view& name, std::size_t& next) const;
  // Start of the first header line at or after from, or the text's end.
  std::size_t NextHeader(std::size_t from) const;
  bool FindSection(std::string_view section, Range& body) const;
  bool FindKey(const Range& body, std::string_view key, KeyLine& line) const;
  std::string_view Eol() const;

  std::string text_;
  // Bodies of the sections looked up so far (lower-case name); cleared
  // whenever text_ changes.
  mutable std::vector<std::pair<std::string, Range>> sections_;
};

// Integer reading in the manner of the platform's profile functions: optional
// blanks, optional sign, "0x"/"0X"/"$" for hexadecimal, then as many digits as
// there are ("12abc" is 12). No digit at all gives false. Values
// beyond 32 bits wrap modulo 2^32, so the low 16 bits that the callers keep
// are those of the number written.
bool ParseProfileInt(std::string_view text, std::int32_t& value);

class TIniFile {
 public:
  // Reads the file once; a missing or unreadable file reads as empty.
  explicit TIniFile(std::string path, TIniWriteFn writer = WriteFileReplacing);

  const std::string& Path() const { return path_; }

  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
  std::string ReadString(std::string_view section, std::string_view key, const std::string& def) const;

  // Each write re-reads the file, changes the one key and writes the file
  // back; raises Exception("Unable to write to " + path) when that fails.
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string path_;
  TIniWriteFn writer_;
  TIniText snapshot_;
};

// Whole file as bytes; false when it is missing, a directory or unreadable.
bool ReadWholeFile(const std::string& path, std::string& text);
