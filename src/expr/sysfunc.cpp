#include "expr/sysfunc.h"

#include "common/cp932.h"
#include "common/error.h"
#include "expr/convert.h"

namespace kova {

namespace {

constexpr int S = kTypeStr, I = kTypeInt, F = kTypeFloat, B = kTypeFlag, A = kFuncAny;

const FunctionInfo kTable[kFunctionCount] = {
    {"IntToStr", 1, 2, S},
    {"IntToHex", 2, 2, S},
    {"GetProp", 2, 2, S},
    {"SetProp", 3, 3, S},
    {"GetArraySize", 1, 2, I},
    {"Length", 1, 1, I},
    {"JLength", 1, 1, I},
    {"Copy", 2, 3, S},
    {"JCopy", 2, 3, S},
    {"Delete", 2, 3, S},
    {"JDelete", 2, 3, S},
    {"Insert", 3, 3, S},
    {"JInsert", 3, 3, S},
    {"CompareStr", 2, 2, I},
    {"CompareText", 2, 2, I},
    {"Pos", 2, 2, I},
    {"JPos", 2, 2, I},
    {"Trim", 1, 1, S},
    {"JTrim", 1, 1, S},
    {"Exists", 1, 1, B},
    {"Not", 1, 1, B},
    {"SetArray", 2, A, I},
    {"FillMem", 2, 2, I},
    {"CopyMem", 2, 2, I},
    {"GetCheck", 2, 2, B},
    {"SetCheck", 3, 3, I},
    {"Random", 1, 1, I},
    {"GetSaveCaption", 1, 1, S},
    {"ArrayToString", 1, 2, S},
    {"StringToArray", 2, 3, I},
    {"IndexOfStr", 2, 4, I},
    {"SortStr", 1, 1, I},
    {"ListCompo", 1, 3, I},
    {"ToClientX", 2, 2, I},
    {"ToClientY", 2, 2, I},
    {"ToScreenX", 2, 2, I},
    {"ToScreenY", 2, 2, I},
    {"Int", 1, 1, I},
    {"Float", 1, 1, F},
    {"Sin", 1, 1, F},
    {"Cos", 1, 1, F},
    {"Tan", 1, 1, F},
    {"ArcSin", 1, 1, F},
    {"ArcCos", 1, 1, F},
    {"ArcTan", 1, 1, F},
    {"ArcTan2", 2, 2, F},
    {"Hypot", 2, 2, F},
    {"IndexOfMenu", 2, 2, I},
    {"Abs", 1, 1, I},
    {"Fabs", 1, 1, F},
    {"VarExists", 1, 1, B},
    {"EncodeDate", 3, 3, F},
    {"EncodeTime", 3, 3, F},
    {"DecodeDate", 4, 4, I},
    {"DecodeTime", 4, 4, I},
    {"GetYear", 1, 1, I},
    {"GetMonth", 1, 1, I},
    {"GetDay", 1, 1, I},
    {"GetHour", 1, 1, I},
    {"GetMin", 1, 1, I},
    {"GetSec", 1, 1, I},
    {"GetWeek", 1, 1, I},
    {"GetWeekStr", 1, 1, S},
    {"GetWeekJStr", 1, 1, S},
    {"FixStr", 1, 1, S},
    {"GetDisplayMode", 5, 5, B},
    {"AddArray", 2, 2, I},
    {"InsertArray", 3, 3, I},
    {"DeleteArray", 3, 3, I},
    {"InPrimary", 1, 1, B},
    {"CopyArray", 2, 2, B},
    {"FileExists", 1, 1, B},
    {"LoadTextFile", 2, 2, B},
    {"LowerCase", 1, 1, S},
    {"UpperCase", 1, 1, S},
    {"ExtractFilePath", 1, 1, S},
    {"ExtractFileName", 1, 1, S},
    {"ExtractFileExt", 1, 1, S},
    {"IsPathDelimiter", 2, 2, B},
    {"AddBackSlash", 1, 1, S},
    {"ChangeFileExt", 2, 2, S},
    {"IsDelimiter", 3, 3, B},
    {"StringOfChar", 2, 2, S},
    {"StringReplace", 3, 5, S},
    {"AssignTemp", 1, 1, B},
    {"HanToZen", 1, 1, S},
    {"ZenToHan", 1, 1, S},
    {"DBCreateTable", 2, 2, B},
    {"DBSetActive", 1, 1, B},
    {"DBAddField", 2, 3, B},
    {"DBSetRecNo", 1, 1, B},
    {"DBInsert", 0, A, B},
    {"DBDelete", 0, 0, B},
    {"DBGetInt", 1, 1, I},
    {"DBSetInt", 2, 2, B},
    {"DBGetFloat", 1, 1, F},
    {"DBSetFloat", 2, 2, B},
    {"DBGetBool", 1, 1, B},
    {"DBSetBool", 2, 2, B},
    {"DBGetStr", 1, 1, S},
    {"DBSetStr", 2, 2, B},
    {"DBRecordCount", 0, 1, I},
    {"DBFindFirst", 0, 0, B},
    {"DBFindLast", 0, 0, B},
    {"DBFindNext", 0, 0, B},
    {"DBFindPrior", 0, 0, B},
    {"DBLocate", 2, 4, B},
    {"DBLoadTsvFile", 1, 1, B},
    {"DBDirectGetInt", 7, 7, I},
    {"DBDirectSetInt", 7, 7, B},
    {"DBDirectGetFloat", 7, 7, F},
    {"DBDirectSetFloat", 7, 7, B},
    {"DBDirectGetBool", 7, 7, B},
    {"DBDirectSetBool", 7, 7, B},
    {"DBDirectGetStr", 7, 7, S},
    {"DBDirectSetStr", 7, 7, B},
    {"DBCopyTable", 1, 5, B},
    {"DBDeleteTable", 0, 1, B},
    {"DBInsertTable", 1, 5, B},
    {"DBCopy", 1, 1, B},
    {"DBClearTable", 0, 0, B},
    {"DBSort", 2, 2, B},
    {"DBGetActive", 0, 0, S},
    {"DBGetRecNo", 0, 1, I},
    {"DBClearRecord", 0, 1, B},
    {"SetWallPaper", 2, 2, B},
    {"Min", 2, 2, I},
    {"Max", 2, 2, I},
    {"Fmin", 2, 2, F},
    {"Fmax", 2, 2, F},
    {"GetVarType", 1, 1, I},
    {"GetEnabled", 2, 2, B},
    {"SetEnabled", 3, 3, I},
    {"AddDelimiter", 2, 2, S},
    {"ListSaveCaption", 0, 2, I},
    {"OpenUrl", 1, 1, B},
    {"Calc", 1, 1, S},
    {"SaveScreen", 1, 5, B},
    {"StrToIntDef", 2, 2, I},
    {"StrToFloatDef", 2, 2, F},
    {"GetVisible", 2, 2, B},
    {"SetVisible", 3, 3, B},
    {"DeleteStack", 1, 1, B},
};

}  // namespace

const FunctionInfo& FunctionTable(int index) {
  if (index < 0 || index >= kFunctionCount) throw Error("内部エラー");
  return kTable[index];
}

int FindFunction(std::string_view name) {
  for (int i = 0; i < kFunctionCount; ++i)
    if (name == kTable[i].name) return i;
  return -1;
}

TCustomParam& FuncCall::Arg(int i) const {
  if (i < 0 || i >= Count()) throw Error(std::string(kTable[index].name) + " 引数の数が不正です");
  return *args_[static_cast<size_t>(i)];
}

TParamCollectionItem* FuncCall::ItemOf(int i) const {
  auto* ref = dynamic_cast<TParamVar*>(&Arg(i));
  return ref ? ref->Target() : nullptr;
}

TCustomParam& FuncCall::Var(int i, const char* error) {
  if (TParamCollectionItem* item = ItemOf(i)) return item->Value();
  if (error) throw Error(error);
  scratch_.push_back(Arg(i).Clone());
  return *scratch_.back();
}

TSysFuncMan::TSysFuncMan() : impl_(kFunctionCount) {
  RegisterCoreFunctions(*this);
}

void TSysFuncMan::Register(int index, FuncImpl fn) {
  if (index < 0 || index >= kFunctionCount) throw Error("内部エラー");
  impl_[static_cast<size_t>(index)] = std::move(fn);
}

bool TSysFuncMan::IsAvailable(int index) const {
  return index >= 0 && index < kFunctionCount && impl_[static_cast<size_t>(index)] != nullptr;
}

void TSysFuncMan::Call(FuncCall& call) {
  if (call.index < 0 || call.index >= kFunctionCount) return;
  const FunctionInfo& f = kTable[call.index];
  if (call.Count() < f.min || (f.max != kFuncAny && call.Count() > f.max))
    throw Error(std::string(f.name) + " 引数の数が不正です");
  const FuncImpl& fn = impl_[static_cast<size_t>(call.index)];
  if (!fn) throw Error(std::string(f.name) + ": not available yet");
  fn(call);
}

int TSysFuncMan::ResultType(int index, const std::vector<TCustomParam*>& args) const {
  if (index < 0 || index >= kFunctionCount) return kTypeInt;
  if (index == kFnGetProp) {
    const int id = args.size() >= 2 ? args[1]->AsInt() : 0;
    if (id > 161) throw Error("GetPropの引数が違います");
    return propType_ ? propType_(id) : kTypeStr;
  }
  return kTable[index].result;
}

int32_t TSysFuncMan::Random(int32_t n) {
  seed_ = seed_ * 0x08088405u + 1u;
  if (n <= 0) return 0;
  return static_cast<int32_t>((static_cast<uint64_t>(seed_) * static_cast<uint32_t>(n)) >> 32);
}

}  // namespace kova
