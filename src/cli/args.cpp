#include "cli/args.h"

#include "common/cp932.h"

namespace kova::cli {

Args::Args(std::span<char* const> argv, std::string usage) : usage_(std::move(usage)) {
  for (char* a : argv) {
    std::string_view w = a;
    if (w == "--help" || w == "-h")
      help_ = true;
    else
      words_.emplace_back(w);
  }
  used_.assign(words_.size(), false);
}

std::vector<std::string> Args::Options(std::string_view name) {
  std::vector<std::string> values;
  // One-letter options take a single dash ("-o OUT").
  const std::string flag = (name.size() == 1 ? "-" : "--") + std::string(name);
  for (size_t i = 0; i < words_.size(); ++i) {
    if (words_[i] == "--") break;  // no options after "--"
    if (used_[i]) continue;
    const std::string& w = words_[i];
    if (w == flag) {
      if (i + 1 >= words_.size()) throw UsageError(flag + " needs a value");
      used_[i] = used_[i + 1] = true;
      values.push_back(words_[++i]);
    } else if (w.size() > flag.size() && w.compare(0, flag.size(), flag) == 0 &&
               w[flag.size()] == '=') {
      used_[i] = true;
      values.push_back(w.substr(flag.size() + 1));
    }
  }
  return values;
}

std::optional<std::string> Args::Option(std::string_view name) {
  auto all = Options(name);
  if (all.empty()) return std::nullopt;
  return all.back();
}

bool Args::Flag(std::string_view name) {
  const std::string flag = (name.size() == 1 ? "-" : "--") + std::string(name);
  bool found = false;
  for (size_t i = 0; i < words_.size() && words_[i] != "--"; ++i)
    if (!used_[i] && words_[i] == flag) used_[i] = true, found = true;
  return found;
}

std::optional<std::string> Args::NextIf() {
  bool afterDashes = false;
  for (size_t i = 0; i < words_.size(); ++i) {
    if (!afterDashes && words_[i] == "--") {
      // "--" ends the options: every later word is positional, even one that begins with '-'.
      used_[i] = true;
      afterDashes = true;
      continue;
    }
    if (used_[i]) continue;
    // A lone "-" is a positional word.
    if (!afterDashes && words_[i].size() > 1 && words_[i][0] == '-') continue;
    used_[i] = true;
    return words_[i];
  }
  return std::nullopt;
}

std::string Args::Next(std::string_view what) {
  auto w = NextIf();
  if (!w) throw UsageError("missing " + std::string(what));
  return *w;
}

void Args::Done() {
  for (size_t i = 0; i < words_.size(); ++i)
    if (!used_[i]) throw UsageError("unexpected argument: " + words_[i]);
}

std::string ArgToCp932(std::string_view utf8, std::string_view what) {
  auto s = cp932::FromUtf8(utf8);
  if (!s)
    throw UsageError(std::string(what) +
                     " has characters that CP932 cannot hold: " + std::string(utf8));
  return *s;
}

}  // namespace kova::cli
