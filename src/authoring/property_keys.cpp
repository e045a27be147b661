#include "authoring/property_keys.h"

#include <map>
#include <vector>

#include "scene/props.h"
#include "script/command_schema.h"

namespace kova::authoring {

struct PropertyKeys::Impl {
  std::map<std::string, int, std::less<>> byName;
  std::vector<std::string> byCode = std::vector<std::string>(kPropertyCount);
};

PropertyKeys::PropertyKeys() : impl_(new Impl) {
  // The catalogue's names: "PR_LEFT" is written "left".
  for (int code = 0; code < kPropertyCount; ++code) {
    std::string name = PropInfoOf(code).name;
    if (name.rfind("PR_", 0) == 0) name.erase(0, 3);
    for (char& c : name)
      c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    Register(std::move(name), code);
  }
}

PropertyKeys& PropertyKeys::Instance() {
  static PropertyKeys* keys = new PropertyKeys();
  return *keys;
}

void PropertyKeys::Register(std::string name, int code) {
  if (code < 0 || code >= kPropertyCount) return;
  impl_->byCode[static_cast<size_t>(code)] = name;
  impl_->byName[std::move(name)] = code;
}

std::optional<int> PropertyKeys::Find(std::string_view key) const {
  if (key.size() >= 2 && key.size() <= 4 && key[0] == 'p') {
    int v = 0;
    bool digits = true;
    for (char c : key.substr(1)) {
      if (c < '0' || c > '9') digits = false;
      v = v * 10 + (c - '0');
    }
    // "p07" would be a second spelling of p7: one spelling per property keeps sources canonical.
    if (digits && !(key.size() > 2 && key[1] == '0') && v < kPropertyCount) return v;
  }
  auto it = impl_->byName.find(key);
  if (it != impl_->byName.end()) return it->second;
  return std::nullopt;
}

std::string PropertyKeys::KeyOf(int code) const {
  if (code >= 0 && code < kPropertyCount && !impl_->byCode[static_cast<size_t>(code)].empty())
    return impl_->byCode[static_cast<size_t>(code)];
  return "p" + std::to_string(code);
}

}  // namespace kova::authoring
