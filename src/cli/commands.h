// The kova subcommands. Each takes the words after its name and returns the exit code; errors
// are thrown (Error: exit 1, UsageError: exit 2).
#pragma once

#include <span>

namespace kova::cli {

struct Command {
  const char* name;
  const char* summary;
  int (*run)(std::span<char* const> args);
};

std::span<const Command> AllCommands();

int RunArchive(std::span<char* const> args);
int RunPlay(std::span<char* const> args);
int RunFiles(std::span<char* const> args);
int RunInstall(std::span<char* const> args);
int RunEval(std::span<char* const> args);
int RunExpr(std::span<char* const> args);
int RunImage(std::span<char* const> args);
int RunPage(std::span<char* const> args);
int RunProject(std::span<char* const> args);
int RunBuild(std::span<char* const> args);

}  // namespace kova::cli
