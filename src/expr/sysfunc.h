// The system functions scripts call by name: the fixed table of 143 entries and the dispatcher.
// Functions that need the scene, media, saves, the screen or the tables are registered by the
// layers that own those, at start-up; until then they fail with "not available yet".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "common/title_files.h"
#include "expr/params.h"

namespace kova {

inline constexpr int kFunctionCount = 143;
inline constexpr int kFuncAny = -1;

struct FunctionInfo {
  const char* name;
  int min;
  int max;  // kFuncAny: no maximum
  int result;
};
const FunctionInfo& FunctionTable(int index);
// Case-sensitive; -1 when the name is not in the table.
int FindFunction(std::string_view name);

enum FuncIndex : int {
  kFnIntToStr = 0,
  kFnGetProp = 2,
  kFnSetProp = 3,
  kFnCalc = 136,
  kFnLoadTextFile = 72,
  kFnFileExists = 71
};

// How the functions reach title files. The player installs its file manager; without one the
// file functions find nothing.

class TSysFuncMan;

// One call: the destination, the evaluated arguments and, for arguments that name a variable,
// that variable.
class FuncCall {
 public:
  FuncCall(TSysFuncMan& man, TParamCollection& store, TParamCollectionItem& dest, int index,
           std::vector<TCustomParam*> args)
      : man(man), store(store), dest(dest), index(index), args_(std::move(args)) {}

  TSysFuncMan& man;
  TParamCollection& store;
  TParamCollectionItem& dest;
  const int index;

  TCustomParam& D() const { return dest.Value(); }
  int Count() const { return static_cast<int>(args_.size()); }
  bool Has(int i) const { return i < Count(); }
  TCustomParam& Arg(int i) const;
  // The variable a "var" argument names (a whole array). A constant is refused with `error`,
  // or, when `error` is null, replaced by a scratch copy so the compiled constant never changes.
  TCustomParam& Var(int i, const char* error = nullptr);
  // The variable item an argument names, or none for a constant.
  TParamCollectionItem* ItemOf(int i) const;

 private:
  std::vector<TCustomParam*> args_;
  std::vector<std::unique_ptr<TCustomParam>> scratch_;
};

using FuncImpl = std::function<void(FuncCall&)>;

class TSysFuncMan {
 public:
  TSysFuncMan();

  // Installs (or replaces) the implementation of one table entry.
  void Register(int index, FuncImpl fn);
  bool IsAvailable(int index) const;
  // Runs a function; an index of 143 or more does nothing. Argument counts were checked by the
  // compiler; a stored form that breaks them is refused here.
  void Call(FuncCall& call);
  // The type of the temporary that receives a call's result.
  int ResultType(int index, const std::vector<TCustomParam*>& args) const;
  // The property type of a property id (the scene layer installs it; strings until then).
  void SetPropertyTypes(std::function<int(int)> fn) { propType_ = std::move(fn); }

  void SetFileAccess(TitleFiles* files) { files_ = files; }
  TitleFiles* Files() const { return files_; }

  // The generator behind Random: seed := seed * 0x08088405 + 1; the result is the high half of
  // seed * n.
  void SetRandomSeed(uint32_t seed) { seed_ = seed; }
  uint32_t RandomSeed() const { return seed_; }
  int32_t Random(int32_t n);

  // Nesting of Calc inside Calc.
  int calcDepth = 0;
  static constexpr int kMaxCalcDepth = 16;

 private:
  std::vector<FuncImpl> impl_;
  std::function<int(int)> propType_;
  TitleFiles* files_ = nullptr;
  uint32_t seed_ = 0;
};

// Registers the built-in implementations (called by the constructor).
void RegisterCoreFunctions(TSysFuncMan& man);

}  // namespace kova
