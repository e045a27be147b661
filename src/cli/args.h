// Command-line parsing shared by the subcommands.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

namespace kova::cli {

// A wrong command line: exit code 2.
class UsageError : public Error {
 public:
  using Error::Error;
};

// Options and positional words of one subcommand.
class Args {
 public:
  Args(std::span<char* const> argv, std::string usage);

  const std::string& Usage() const { return usage_; }
  bool WantsHelp() const { return help_; }

  // Takes `--name VALUE` or `--name=VALUE` (`-n VALUE` for one-letter names; the last one
  // wins); nothing when absent.
  std::optional<std::string> Option(std::string_view name);
  // Takes every occurrence, in order.
  std::vector<std::string> Options(std::string_view name);
  // Takes a flag without a value.
  bool Flag(std::string_view name);
  // The next positional word, or a usage error naming `what`.
  std::string Next(std::string_view what);
  std::optional<std::string> NextIf();
  // Fails on anything not taken.
  void Done();

 private:
  std::vector<std::string> words_;
  std::vector<bool> used_;
  std::string usage_;
  bool help_ = false;
};

// Converts text given on the command line (UTF-8) to the engine's CP932.
std::string ArgToCp932(std::string_view utf8, std::string_view what);

}  // namespace kova::cli
