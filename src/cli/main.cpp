#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"

namespace kova::cli {

namespace {
const Command kCommands[] = {
    {"play", "play a title", RunPlay},
    {"archive", "list, extract, pack and append title archives", RunArchive},
    {"files", "look up a title file as the player would", RunFiles},
    {"install", "show an install.dat", RunInstall},
    {"eval", "compile and evaluate script expressions", RunEval},
    {"expr", "compile an expression to its stored form, or dump one", RunExpr},
    {"image", "inspect layered pictures and convert them to and from PNG", RunImage},
    {"page", "compile, decompile or dump a script page", RunPage},
    {"project", "compile or decompile a project file", RunProject},
    {"build", "build a title from its source folder", RunBuild},
};

void PrintHelp() {
  std::printf("usage: kova COMMAND [ARGS...]\n\ncommands:\n");
  for (const Command& c : kCommands)
    std::printf("  %-10s %s\n", c.name, c.summary);
  std::printf("\n'kova COMMAND --help' describes one command.\n");
}
}  // namespace

std::span<const Command> AllCommands() {
  return kCommands;
}

}  // namespace kova::cli

int main(int argc, char** argv) {
  using namespace kova::cli;
  // With no command, or only options, the program plays: a player with its title appended is
  // started just like that.
  const bool playOnly = argc < 2 || (argv[1][0] == '-' && std::strcmp(argv[1], "--help") != 0 &&
                                     std::strcmp(argv[1], "-h") != 0);
  if (playOnly) {
    try {
      return RunPlay({argv + 1, static_cast<size_t>(argc - 1)});
    } catch (const UsageError& e) {
      std::fprintf(stderr, "kova play: %s (see 'kova play --help')\n", e.what());
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kova play: %s\n", e.what());
      return 1;
    }
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintHelp();
    return 0;
  }
  const std::string name = argv[1];
  for (const Command& c : AllCommands()) {
    if (name != c.name) continue;
    try {
      return c.run({argv + 2, static_cast<size_t>(argc - 2)});
    } catch (const UsageError& e) {
      std::fprintf(stderr, "kova %s: %s (see 'kova %s --help')\n", c.name, e.what(), c.name);
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kova %s: %s\n", c.name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "kova: unknown command '%s' (see 'kova --help')\n", name.c_str());
  return 2;
}
