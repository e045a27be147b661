// Source keys of the properties of component commands. "p<code>" always works; the subsystem
// that defines the property catalogue registers the readable names ("left", "width", ...).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kova::authoring {

class PropertyKeys {
 public:
  static PropertyKeys& Instance();
  // `name` in lower case, without the "PR_" prefix.
  void Register(std::string name, int code);
  // "p12" or a registered name; nothing when unknown.
  std::optional<int> Find(std::string_view key) const;
  // The registered name of a code, else "p<code>".
  std::string KeyOf(int code) const;

 private:
  PropertyKeys();
  struct Impl;
  Impl* impl_;
};

}  // namespace kova::authoring
