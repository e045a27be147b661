// The expression compiler (source text to a flat list of three-address operations), the stored
// form of compiled expressions, and the evaluator that runs them against the variable store.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "expr/params.h"

namespace kova {

class TSysFuncMan;

enum OpCode : uint8_t {
  kOpAssign = 1,
  kOpAdd,
  kOpSub,
  kOpMul,
  kOpDiv,
  kOpMod,
  kOpOr,
  kOpAnd,
  kOpXor,
  kOpDim,
  kOpCall,
  kOpEq,
  kOpGt,
  kOpLt,
  kOpGe,
  kOpLe,
  kOpShl,
  kOpShr,
  kOpConcat,
  kOpNe,
  kOpLast = kOpNe
};
// The name of an operation code in messages ("+", "dim", ...; "" for 0, 1 and 11).
std::string OpName(int code);

inline constexpr int kMaxCompileDepth = 256;

struct TBuildOpeData {
  uint8_t code = 0;
  std::string dest;
  // For code 11 the first text is the function name.
  std::vector<std::string> operands;
};

class TBuildKovaParser {
 public:
  // Throws Error with one of the compile error texts.
  void Compile(const std::string& text);
  // The stored form; refuses unknown function names and wrong argument counts.
  void SaveToStream(ByteWriter& w) const;
  Bytes Save() const {
    ByteWriter w;
    SaveToStream(w);
    return w.Take();
  }
  const std::vector<TBuildOpeData>& Ops() const { return ops_; }
  void Clear() { ops_.clear(), counter_ = 0; }

 private:
  void CompileText(std::u16string text, int depth);
  std::u16string ProcessArgument(std::u16string arg, int depth);
  void Reduce(std::vector<std::u16string> tokens, const std::u16string& whole);
  std::u16string NewTemp();
  std::u16string NewElementTemp();
  void Emit(uint8_t code, const std::u16string& dest, const std::vector<std::u16string>& operands);
  void RemoveRedundantCopies();

  std::vector<TBuildOpeData> ops_;
  int counter_ = 0;
};

struct TOpeData {
  uint8_t code = 0;
  std::string dest;
  uint8_t func = 0;
  // Constants (TParamInt/Float/Flag/Str) or reference operands (TParamVar naming a variable).
  std::vector<std::unique_ptr<TCustomParam>> operands;
  bool destIsTemp = false;
};

class TKovaParser {
 public:
  TKovaParser() = default;
  TKovaParser(const TKovaParser& other) { Assign(other); }
  TKovaParser& operator=(const TKovaParser& other) {
    if (this != &other) Assign(other);
    return *this;
  }

  // Clears and reads the stored form; every count, code and kind is checked.
  void LoadFromStream(ByteReader& r);
  void Load(std::span<const uint8_t> data, const std::string& name = "expression") {
    ByteReader r(data, name);
    LoadFromStream(r);
  }
  void SaveToStream(ByteWriter& w) const;
  void Assign(const TKovaParser& other);

  // Runs the operations; a failure stops the run silently (LastError tells which). Afterwards
  // Result() is the value of a plain expression, or none.
  void Evaluate(TParamCollection& store, TSysFuncMan& funcs);
  const TCustomParam* Result() const { return result_.get(); }
  const std::string& LastError() const { return lastError_; }
  const std::vector<TOpeData>& Ops() const { return ops_; }

 private:
  std::vector<TOpeData> ops_;
  std::unique_ptr<TCustomParam> result_;
  std::string lastError_;
};

// Compiles text through the stored form, as callers that compile at run time do.
TKovaParser CompileExpression(const std::string& text);

}  // namespace kova
