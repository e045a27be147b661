#include <algorithm>
#include <cstdio>
#include <deque>

#include "cli/args.h"
#include "cli/commands.h"
#include "common/cp932.h"
#include "platform/discs.h"
#include "platform/scripted_prompt.h"
#include "vfs/file_manager.h"

namespace kova::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFilesUsage =
    "usage: kova files [--base DIR] [--archive FILE]... [--disc-root DIR]... [--answer "
    "ok|cancel]...\n"
    "                  exists|cat|realpath|folder NAME\n"
    "\n"
    "Runs one file operation exactly as the player would. NAME uses \\ or / between folders.\n"
    "  exists    prints TRUE or FALSE\n"
    "  cat       writes the file's bytes to standard output\n"
    "  realpath  prints the path the player would hand to a decoder (work files are removed\n"
    "            when the command ends)\n"
    "  folder    prints the folder part of NAME";

constexpr const char* kInstallUsage =
    "usage: kova install show FILE\n"
    "\n"
    "Prints the fields of an install.dat.";

std::deque<PromptAnswer> Answers(Args& args) {
  std::deque<PromptAnswer> answers;
  for (const auto& a : args.Options("answer")) {
    if (a == "ok")
      answers.push_back(PromptAnswer::kOk);
    else if (a == "cancel")
      answers.push_back(PromptAnswer::kCancel);
    else
      throw UsageError("--answer takes ok or cancel");
  }
  return answers;
}

std::string TitleName(std::string utf8) {
  std::replace(utf8.begin(), utf8.end(), '/', '\\');
  return ArgToCp932(utf8, "NAME");
}

}  // namespace

int RunFiles(std::span<char* const> argv) {
  Args args(argv, kFilesUsage);
  if (args.WantsHelp()) return std::puts(kFilesUsage), 0;
  const auto base = args.Option("base");
  const auto archives = args.Options("archive");
  std::vector<fs::path> roots;
  for (const auto& r : args.Options("disc-root"))
    roots.emplace_back(r);
  ScriptedPrompt prompt(Answers(args), stderr);
  const std::string op = args.Next("operation (exists, cat, realpath or folder)");
  const std::string name = TitleName(args.Next("NAME"));
  args.Done();

  MountedDiscs discs(roots);
  TVrFileManager files(prompt, discs);
  files.AddArchive("");  // the memory collection comes first, as in the player
  if (base) files.SetBaseFolder(*base);
  for (const auto& a : archives) {
    if (!fs::is_regular_file(a)) throw Error("cannot open " + a + ": no such file");
    files.AddArchive(a);
  }

  if (op == "exists") {
    std::puts(files.Exists(name) ? "TRUE" : "FALSE");
  } else if (op == "cat") {
    const Bytes data = files.Load(name);
    std::fwrite(data.data(), 1, data.size(), stdout);
  } else if (op == "realpath") {
    std::puts(files.GetRealPath(name).c_str());
  } else if (op == "folder") {
    std::puts(cp932::ToUtf8(TVrFileManager::ExtractFolder(name)).c_str());
  } else {
    throw UsageError("unknown operation: " + op);
  }
  return 0;
}

int RunInstall(std::span<char* const> argv) {
  Args args(argv, kInstallUsage);
  if (args.WantsHelp()) return std::puts(kInstallUsage), 0;
  const std::string sub = args.Next("subcommand (show)");
  if (sub != "show") throw UsageError("unknown subcommand: " + sub);
  const fs::path file = args.Next("FILE");
  args.Done();
  const Bytes data = ReadWholeFile(file);
  TKovaInstallSet s;
  ByteReader r(data, file.string());
  try {
    s.Read(r);
  } catch (const FormatError& e) {
    throw Error(std::string("install data is damaged: ") + e.what());
  }
  auto text = [](const std::string& t) { return cp932::ToUtf8(t); };
  std::printf("version: %d\n", s.version);
  std::printf("disc index: %d\n", s.discIndex);
  std::printf("title: %s\n", text(s.title).c_str());
  std::printf("complete: %d\n", s.complete);
  std::printf("created files: %zu\n", s.createdFiles.size());
  for (const auto& f : s.createdFiles)
    std::printf("  %s\n", text(f).c_str());
  std::printf("installer texts:");
  for (const auto* t : {&s.texts4[0], &s.texts4[1], &s.texts4[2], &s.text8, &s.text11,
                        &s.texts15[0], &s.texts15[1], &s.text25})
    std::printf(" \"%s\"", text(*t).c_str());
  std::printf("\ninstaller table: %zu rows\n", s.table.size());
  for (const auto& row : s.table)
    std::printf("  %lld %lld %lld %lld\n", static_cast<long long>(row[0]),
                static_cast<long long>(row[1]), static_cast<long long>(row[2]),
                static_cast<long long>(row[3]));
  std::printf("installer list: %zu\n", s.list24.size());
  for (const auto& f : s.list24)
    std::printf("  %s\n", text(f).c_str());
  return 0;
}

}  // namespace kova::cli
