// The project source form (kova.kps): `key = value` lines for the fields of kova.kpb, `var`
// lines for the global variables and `disc` lines for the folder-to-disc list.
#pragma once

#include <string>
#include <string_view>

#include "script/project_file.h"

namespace kova::authoring {

// Throws SourceError naming `file` and the line.
ProjectFile CompileProjectSource(std::string_view source, const std::string& file);
// Canonical source: compiling it gives the same kova.kpb bytes.
std::string DecompileProject(const ProjectFile& project);

}  // namespace kova::authoring
