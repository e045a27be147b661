// Lexical pieces shared by the page and project source forms: quoted strings with escapes, hex
// runs, integers, and the error that names a source file and line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/bytes.h"
#include "common/error.h"

namespace kova::authoring {

// An error in a source file: "FILE:LINE: what".
class SourceError : public Error {
 public:
  SourceError(std::string file, int line, const std::string& what)
      : Error(file + ":" + std::to_string(line) + ": " + what),
        file_(std::move(file)),
        line_(line),
        what_(what) {}
  const std::string& File() const { return file_; }
  int Line() const { return line_; }
  const std::string& What() const { return what_; }

 private:
  std::string file_;
  int line_;
  std::string what_;
};

// Reads the pieces of one source line. Failures throw plain Error; the callers add file and line.
class LineScanner {
 public:
  explicit LineScanner(std::string_view s) : s_(s) {}
  void SkipSpace();
  bool AtEnd() {
    SkipSpace();
    return i_ >= s_.size();
  }
  char Peek() {
    SkipSpace();
    return i_ < s_.size() ? s_[i_] : '\0';
  }
  bool Take(std::string_view lit);
  // Letters, digits, '_' and '@'.
  std::string Word();
  // A quoted string (UTF-8 source text with \\ \" \r \n \t \xNN) as CP932 bytes.
  std::string QuotedCp932();
  // Everything between '{' and the matching '}' (string literals of the expression skipped).
  std::string Braced();
  // Everything between '[' and ']'.
  std::string Bracketed();
  // A run of characters up to the next space.
  std::string Bare();
  size_t Pos() const { return i_; }
  std::string_view Rest() const { return s_.substr(i_); }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

// Hex digits (spaces allowed between bytes) to bytes.
Bytes ParseHexBytes(std::string_view text);
std::string HexOf(std::span<const uint8_t> b);

// Decimal with optional sign, or 0x hex. Nothing when malformed or outside [lo, hi].
std::optional<int64_t> ParseInteger(std::string_view text, int64_t lo, int64_t hi);

// CP932 bytes as the body of a quoted source string: characters that convert to UTF-8 and back
// unchanged are written as text, everything else as \xNN.
std::string QuoteCp932(std::string_view cp932);

}  // namespace kova::authoring
