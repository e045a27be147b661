#include "cli/args.h"
#include "cli/commands.h"

namespace kova::cli {

int RunArchive(std::span<char* const> argv) {
  Args args(argv, "usage: kova archive list|cat|extract|pack|append ...");
  throw UsageError("not built yet");
}

}  // namespace kova::cli
