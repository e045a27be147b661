// Page (.ksb) back to its canonical source form, and a JSON dump of its records.
#pragma once

#include <string>

#include "script/page.h"

namespace kova::authoring {

// Canonical source of a page: compiling it under the same page name gives the same bytes.
// Throws Error for a page of a newer version (the player loads those as empty pages).
std::string DecompilePage(const TPage& page);

// Source text of one stored expression: infix text when it compiles back to the same bytes,
// else the raw form "[hex]".
std::string ExpressionSource(const Bytes& stored);

// Every record of the page with its file offset, as JSON.
std::string DumpPageJson(const TPage& page);

}  // namespace kova::authoring
