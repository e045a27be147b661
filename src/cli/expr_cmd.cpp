#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "common/cp932.h"
#include "expr/convert.h"
#include "expr/parser.h"
#include "expr/sysfunc.h"

namespace kova::cli {

namespace {

const char* const kUsage =
    "usage: kova expr compile EXPR   print the stored form of an expression in hex\n"
    "       kova expr dump HEX       print a stored form one operation per line";

std::string Operand(const TCustomParam& o) {
  if (auto* ref = dynamic_cast<const TParamVar*>(&o)) return cp932::ToUtf8(ref->TargetName());
  switch (o.TypeCode()) {
    case kTypeInt:
      return IntToText(o.AsInt());
    case kTypeFloat:
      return FloatToText(o.AsFloat());
    case kTypeFlag:
      return o.AsBool() ? "TRUE" : "FALSE";
    default: {
      std::string s = "\"";
      for (char c : cp932::ToUtf8(o.AsStr())) {
        if (c == '"' || c == '\\') s += '\\';
        if (c == '\r') {
          s += "\\r";
        } else if (c == '\n') {
          s += "\\n";
        } else {
          s += c;
        }
      }
      return s + "\"";
    }
  }
}

Bytes ParseHex(const std::string& text) {
  Bytes out;
  int hi = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else if (c == ' ' || c == '\n' || c == '\t')
      continue;
    else
      throw UsageError("not hexadecimal: " + text);
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<uint8_t>(hi * 16 + v));
      hi = -1;
    }
  }
  if (hi >= 0) throw UsageError("odd number of hex digits");
  return out;
}

}  // namespace

int RunExpr(std::span<char* const> argv) {
  Args args(argv, kUsage);
  if (args.WantsHelp()) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  const std::string verb = args.Next("compile or dump");
  const std::string arg = args.Next(verb == "dump" ? "HEX" : "EXPR");
  args.Done();
  if (verb == "compile") {
    TBuildKovaParser b;
    b.Compile(ArgToCp932(arg, "expression"));
    for (uint8_t byte : b.Save())
      std::printf("%02x", byte);
    std::printf("\n");
    return 0;
  }
  if (verb != "dump") throw UsageError("unknown verb '" + verb + "' (compile or dump)");
  TKovaParser p;
  p.Load(ParseHex(arg), "HEX");
  int i = 0;
  for (const TOpeData& op : p.Ops()) {
    std::string line = "[" + std::to_string(i++) + "] " + cp932::ToUtf8(op.dest) + " := ";
    auto operand = [&](size_t k) { return Operand(*op.operands[k]); };
    if (op.code == kOpAssign && op.operands.size() == 1) {
      line += operand(0);
    } else if (op.code == kOpCall) {
      line += std::string(FunctionTable(op.func).name) + "(";
      for (size_t k = 0; k < op.operands.size(); ++k)
        line += (k ? ", " : "") + operand(k);
      line += ")";
    } else if (op.code == kOpDim && !op.operands.empty()) {
      line += operand(0) + "[";
      for (size_t k = 1; k < op.operands.size(); ++k)
        line += (k > 1 ? ", " : "") + operand(k);
      line += "]";
    } else if (op.operands.size() == 2) {
      line += operand(0) + " " + OpName(op.code) + " " + operand(1);
    } else {
      line += "op" + std::to_string(op.code) + "(";
      for (size_t k = 0; k < op.operands.size(); ++k)
        line += (k ? ", " : "") + operand(k);
      line += ")";
    }
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

}  // namespace kova::cli
