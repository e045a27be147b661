// Runs the kova program as a user would, capturing what it prints.
#pragma once

#include <string>
#include <vector>

namespace kova::test {

struct RunResult {
  int code = -1;
  std::string out, err;
};

// `kova ARGS...`; the program is the one this build made.
RunResult RunKova(const std::vector<std::string>& args);

}  // namespace kova::test
