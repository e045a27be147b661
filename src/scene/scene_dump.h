// The scene as JSON for tests and debugging: every registered object with its type, name,
// parent and each property its type supports, names and strings in UTF-8.
#pragma once

#include <string>

namespace kova {

class TKovaBaseList;

std::string SceneJson(TKovaBaseList& scene);

}  // namespace kova
