#include <cstdio>
#include <string>

#include "authoring/page_decompile.h"
#include "authoring/page_source.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "vfs/file_stream.h"

namespace kova::cli {

namespace {

const char* const kUsage =
    "usage: kova page compile SRC.kss -o OUT.ksb [--name PAGE]\n"
    "       kova page decompile IN.ksb [--name PAGE]\n"
    "       kova page dump IN.ksb\n"
    "\n"
    "PAGE is the page's name in the title (default: the file name of OUT.ksb or IN.ksb); a\n"
    "Jump or Call without page= targets it.";

std::string PageName(const std::optional<std::string>& option, const std::filesystem::path& file) {
  return ArgToCp932(option ? *option : file.filename().string(), "page name");
}

}  // namespace

int RunPage(std::span<char* const> argv) {
  Args args(argv, kUsage);
  if (args.WantsHelp()) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  const std::string verb = args.Next("compile, decompile or dump");
  if (verb == "compile") {
    const auto out = args.Option("o");
    const auto name = args.Option("name");
    const std::filesystem::path src = args.Next("SRC.kss");
    args.Done();
    if (!out) throw UsageError("compile needs -o OUT.ksb");
    const Bytes text = ReadWholeFile(src);
    auto page = authoring::CompilePageSource(AsText(text), PageName(name, *out), src.string());
    WriteFileAtomic(*out, page->Save());
    return 0;
  }
  if (verb == "decompile" || verb == "dump") {
    const auto name = verb == "decompile" ? args.Option("name") : std::nullopt;
    const std::filesystem::path in = args.Next("IN.ksb");
    args.Done();
    const Bytes data = ReadWholeFile(in);
    TPage page(PageName(name, in));
    page.Load(data);
    const std::string text =
        verb == "dump" ? authoring::DumpPageJson(page) : authoring::DecompilePage(page);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  throw UsageError("unknown verb '" + verb + "' (compile, decompile or dump)");
}

}  // namespace kova::cli
