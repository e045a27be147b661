#include <cstdio>
#include <string>

#include "authoring/title_build.h"
#include "cli/args.h"
#include "cli/commands.h"

namespace kova::cli {

namespace {
const char* const kUsage =
    "usage: kova build SRCDIR -o OUTDIR [--embed PLAYER]\n"
    "\n"
    "Compiles every .kss page and kova.kps below SRCDIR, copies the other files, and writes\n"
    "OUTDIR/game.dat with an install.dat beside it. With --embed, writes OUTDIR/<PLAYER's name>:\n"
    "the player with the title appended.";
}  // namespace

int RunBuild(std::span<char* const> argv) {
  Args args(argv, kUsage);
  if (args.WantsHelp()) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  authoring::BuildOptions o;
  const auto out = args.Option("o");
  if (auto embed = args.Option("embed")) o.embedPlayer = *embed;
  o.source = args.Next("SRCDIR");
  args.Done();
  if (!out) throw UsageError("build needs -o OUTDIR");
  o.output = *out;
  const authoring::BuildReport r = authoring::BuildTitle(o);
  std::printf("%d pages, %d project files, %d converted, %d copied -> %s\n", r.pages, r.projects,
              r.converted, r.copied, r.archive.string().c_str());
  return 0;
}

}  // namespace kova::cli
