#include <cstdio>
#include <string>

#include "authoring/project_source.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "vfs/file_stream.h"

namespace kova::cli {

namespace {
const char* const kUsage =
    "usage: kova project compile kova.kps -o kova.kpb\n"
    "       kova project decompile kova.kpb";
}  // namespace

int RunProject(std::span<char* const> argv) {
  Args args(argv, kUsage);
  if (args.WantsHelp()) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  const std::string verb = args.Next("compile or decompile");
  if (verb == "compile") {
    const auto out = args.Option("o");
    const std::filesystem::path src = args.Next("kova.kps");
    args.Done();
    if (!out) throw UsageError("compile needs -o kova.kpb");
    const Bytes text = ReadWholeFile(src);
    WriteFileAtomic(*out, authoring::CompileProjectSource(AsText(text), src.string()).Write());
    return 0;
  }
  if (verb == "decompile") {
    const std::filesystem::path in = args.Next("kova.kpb");
    args.Done();
    const Bytes data = ReadWholeFile(in);
    ByteReader r(data, in.string());
    ProjectFile p;
    p.Read(r);
    if (!r.AtEnd()) r.Fail("unexpected bytes after the folder list");
    const std::string text = authoring::DecompileProject(p);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  throw UsageError("unknown verb '" + verb + "' (compile or decompile)");
}

}  // namespace kova::cli
