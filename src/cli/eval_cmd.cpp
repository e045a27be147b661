#include <cstdio>
#include <optional>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "common/cp932.h"
#include "expr/convert.h"
#include "expr/datetime.h"
#include "expr/params.h"
#include "expr/parser.h"
#include "expr/sysfunc.h"
#include "platform/discs.h"
#include "platform/scripted_prompt.h"
#include "vfs/file_manager.h"

namespace kova::cli {

namespace {

const char* const kUsage =
    "usage: kova eval [--var NAME:TYPE[=TEXT]]... [--typed] [--now YYYY-MM-DDTHH:MM:SS]\n"
    "                 [--seed N] [--base DIR] EXPR...\n"
    "Compiles and evaluates each expression in order against one variable store and prints one\n"
    "line per expression: its value, <none>, or !compile: MESSAGE. TYPE is int, float, bool or\n"
    "str. Use -- before an expression that begins with '-'.";

// A player without a scene: the defaults, with a fixed clock when one is given.
class EvalHost : public SysVarHost {
 public:
  std::optional<long double> now;
  long double Now() override { return now ? *now : SysVarHost::Now(); }
};

long double ParseNow(const std::string& s) {
  int y, mo, d, h, mi, se;
  char tail;
  if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d%c", &y, &mo, &d, &h, &mi, &se, &tail) != 6)
    throw UsageError("--now needs YYYY-MM-DDTHH:MM:SS");
  long double date, time;
  if (!TryEncodeDate(y, mo, d, date) || !TryEncodeTime(h, mi, se, 0, time))
    throw UsageError("--now is not a valid date and time: " + s);
  return date + time;
}

int TypeOf(const std::string& t) {
  if (t == "int") return kTypeInt;
  if (t == "float") return kTypeFloat;
  if (t == "bool") return kTypeFlag;
  if (t == "str") return kTypeStr;
  throw UsageError("unknown variable type '" + t + "' (int, float, bool or str)");
}

const char* TypePrefix(int t) {
  switch (t) {
    case kTypeInt:
      return "int:";
    case kTypeFloat:
      return "float:";
    case kTypeFlag:
      return "bool:";
    default:
      return "str:";
  }
}

}  // namespace

int RunEval(std::span<char* const> argv) {
  Args args(argv, kUsage);
  if (args.WantsHelp()) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  const auto vars = args.Options("var");
  const bool typed = args.Flag("typed");
  const auto now = args.Option("now");
  const auto seed = args.Option("seed");
  const auto base = args.Option("base");
  std::vector<std::string> exprs;
  while (auto e = args.NextIf())
    exprs.push_back(*e);
  args.Done();
  if (exprs.empty()) throw UsageError("no expression given");

  EvalHost host;
  if (now) host.now = ParseNow(*now);
  TParamCollection store(&host);
  TSysFuncMan funcs;
  if (seed) {
    auto s = TextToIntOpt(*seed);
    if (!s) throw UsageError("--seed needs an integer");
    funcs.SetRandomSeed(static_cast<uint32_t>(*s));
  }
  // Files are found exactly as the player finds them, below the base folder.
  ScriptedPrompt prompt;
  MountedDiscs discs;
  TVrFileManager files(prompt, discs);
  files.AddArchive("");
  if (base) {
    files.SetBaseFolder(*base);
    funcs.SetFileAccess(&files);
  }

  for (const std::string& v : vars) {
    const size_t colon = v.find(':');
    if (colon == std::string::npos) throw UsageError("--var needs NAME:TYPE[=TEXT]: " + v);
    const size_t eq = v.find('=', colon);
    const std::string name = ArgToCp932(v.substr(0, colon), "variable name");
    const int type =
        TypeOf(v.substr(colon + 1, eq == std::string::npos ? std::string::npos : eq - colon - 1));
    TParamCollectionItem* item;
    try {
      item = &store.NewVariable(name, type, 0);
    } catch (const Error& e) {
      throw UsageError(e.what());
    }
    if (eq != std::string::npos) item->Value().SetStr(ArgToCp932(v.substr(eq + 1), "value"));
  }

  for (const std::string& e : exprs) {
    const std::string text = ArgToCp932(e, "expression");
    TKovaParser p;
    try {
      p = CompileExpression(text);
    } catch (const Error& err) {
      std::printf("!compile: %s\n", err.what());
      continue;
    }
    p.Evaluate(store, funcs);
    const TCustomParam* r = p.Result();
    if (!r) {
      std::printf("<none>\n");
      continue;
    }
    std::printf("%s%s\n", typed ? TypePrefix(r->TypeCode()) : "",
                cp932::ToUtf8(r->AsStr()).c_str());
  }
  return 0;
}

}  // namespace kova::cli
