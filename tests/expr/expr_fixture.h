// A store, a dispatcher and a fixed clock for evaluating expressions in tests.
#pragma once

#include <optional>
#include <string>

#include "common/cp932.h"
#include "expr/datetime.h"
#include "expr/params.h"
#include "expr/parser.h"
#include "expr/sysfunc.h"

namespace kova::test {

class FixedHost : public SysVarHost {
 public:
  long double now = EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 30);
  TCustomParam* result = nullptr;
  std::vector<std::string> params;
  bool keys[258] = {};
  int32_t mouseX = 0;
  long double Now() override { return now; }
  TCustomParam* ResultVar() override { return result; }
  int32_t ReadInt(int index) override {
    if (index == kSysMouseX) return mouseX;
    if (index == kSysParamCount) return static_cast<int32_t>(params.size());
    return SysVarHost::ReadInt(index);
  }
  void WriteInt(int index, int32_t v) override {
    if (index == kSysMouseX) mouseX = v;
  }
  bool KeyState(int index, int k) override { return keys[k]; }
  int ListCount(int index) override {
    return index == kSysParamStr ? static_cast<int>(params.size()) : 0;
  }
  std::string ListItem(int index, int i) override { return params.at(static_cast<size_t>(i)); }
};

struct ExprEnv {
  FixedHost host;
  TParamCollection store{&host};
  TSysFuncMan funcs;
  std::string lastError;

  // The result's text in UTF-8, "<none>", or "!compile: MESSAGE"; the expression is UTF-8 too.
  std::string Eval(const std::string& utf8) {
    TKovaParser p;
    try {
      p = CompileExpression(*cp932::FromUtf8(utf8));
    } catch (const Error& e) {
      return std::string("!compile: ") + e.what();
    }
    p.Evaluate(store, funcs);
    lastError = p.LastError();
    return p.Result() ? cp932::ToUtf8(p.Result()->AsStr()) : "<none>";
  }
  int ResultType(const std::string& utf8) {
    TKovaParser p = CompileExpression(*cp932::FromUtf8(utf8));
    p.Evaluate(store, funcs);
    return p.Result() ? p.Result()->TypeCode() : -1;
  }
  TCustomParam& Var(const std::string& name, int type) {
    return store.NewVariable(name, type, 0).Value();
  }
};

}  // namespace kova::test
