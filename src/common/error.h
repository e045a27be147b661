// Exceptions of the engine. Messages are display text in UTF-8: names taken from title data
// (CP932) are converted when the message is built, so every front end can print them as is.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kova {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A binary file that breaks its format: names the file, the offset and what was wrong.
class FormatError : public Error {
 public:
  FormatError(std::string file, uint64_t offset, std::string what);

  const std::string& File() const { return file_; }
  uint64_t Offset() const { return offset_; }
  const std::string& What() const { return what_; }

 private:
  std::string file_;
  uint64_t offset_;
  std::string what_;
};

}  // namespace kova
