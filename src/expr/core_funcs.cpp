// The system functions that need nothing but the variable store, the files and the clock.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/cp932.h"
#include "common/error.h"
#include "expr/convert.h"
#include "expr/datetime.h"
#include "expr/jstring.h"
#include "expr/parser.h"
#include "expr/sysfunc.h"

namespace kova {

namespace {

// Longest text a function builds; beyond it the call fails instead of exhausting memory.
constexpr size_t kMaxText = 64u << 20;

void CheckTextSize(uint64_t n) {
  if (n > kMaxText) throw Error("文字列が長すぎます");
}

std::string Str(FuncCall& c, int i) {
  return c.Arg(i).AsStr();
}
int32_t Int(FuncCall& c, int i) {
  return c.Arg(i).AsInt();
}
long double Flt(FuncCall& c, int i) {
  return c.Arg(i).AsFloat();
}
bool Bool(FuncCall& c, int i) {
  return c.Arg(i).AsBool();
}

// Byte-wise Copy: positions below 1 start at 1, a negative count copies nothing.
std::string ByteCopy(const std::string& s, int32_t from, int64_t count) {
  if (from < 1) from = 1;
  if (count <= 0 || static_cast<size_t>(from) > s.size()) return {};
  return s.substr(static_cast<size_t>(from) - 1, static_cast<size_t>(count));
}

void ByteDelete(std::string& s, int32_t from, int64_t count) {
  if (from < 1 || static_cast<size_t>(from) > s.size() || count <= 0) return;
  s.erase(static_cast<size_t>(from) - 1, static_cast<size_t>(count));
}

void ByteInsert(const std::string& sub, std::string& s, int32_t index) {
  CheckTextSize(static_cast<uint64_t>(s.size()) + sub.size());
  size_t at = index < 1 ? 0 : static_cast<size_t>(index) - 1;
  if (at > s.size()) at = s.size();
  s.insert(at, sub);
}

int CompareBytes(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i]);
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

// Position (0-based) of the last byte of s that is one of `set` and not a trail byte, or npos.
size_t LastDelimiter(const std::string& s, std::string_view set) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < s.size(); i += cp932::CharLen(s, i))
    if (cp932::CharLen(s, i) == 1 && set.find(s[i]) != std::string_view::npos) found = i;
  return found;
}

std::string ExtractFilePath(const std::string& s) {
  const size_t p = LastDelimiter(s, "\\:");
  return p == std::string::npos ? std::string() : s.substr(0, p + 1);
}
std::string ExtractFileName(const std::string& s) {
  const size_t p = LastDelimiter(s, "\\:");
  return p == std::string::npos ? s : s.substr(p + 1);
}
std::string ExtractFileExt(const std::string& s) {
  const size_t p = LastDelimiter(s, ".\\:");
  return p != std::string::npos && s[p] == '.' ? s.substr(p) : std::string();
}
std::string ChangeFileExt(const std::string& s, const std::string& ext) {
  const size_t p = LastDelimiter(s, ".\\:");
  const size_t cut = p != std::string::npos && s[p] == '.' ? p : s.size();
  return s.substr(0, cut) + ext;
}

// Byte i (1-based) is a single-byte character.
bool IsSingleByteAt(const std::string& s, int32_t i) {
  if (i < 1 || static_cast<size_t>(i) > s.size()) return false;
  const size_t k = static_cast<size_t>(i) - 1;
  return !cp932::IsTrailAt(s, k) && cp932::CharLen(s, k) == 1 &&
         !cp932::IsLead(static_cast<uint8_t>(s[k]));
}

// Lines of a text: breaks are CR LF, CR or LF; a break at the very end adds no empty line.
std::vector<std::string> SplitLines(const std::string& s) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\r' && s[i] != '\n') continue;
    out.push_back(s.substr(start, i - start));
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < s.size()) out.push_back(s.substr(start));
  return out;
}

// Splits at every occurrence of a delimiter that starts on a character boundary.
std::vector<std::string> SplitAt(const std::string& s, const std::string& delim) {
  std::vector<std::string> out;
  if (s.empty()) return out;
  size_t start = 0;
  for (size_t i = 0; i < s.size();) {
    if (s.compare(i, delim.size(), delim) == 0) {
      out.push_back(s.substr(start, i - start));
      i += delim.size();
      start = i;
    } else {
      i += cp932::CharLen(s, i);
    }
  }
  out.push_back(s.substr(start));
  return out;
}

// Makes the variable argument i a one-dimensional string array of `parts` (an empty scalar
// string when there are none). A plain variable becomes a string variable; a reference or a
// system variable receives the texts converted.
void StoreStringArray(FuncCall& c, int i, const std::vector<std::string>& parts) {
  TParamStr v;
  if (!parts.empty()) {
    v.Resize1D(static_cast<int>(parts.size()));
    for (size_t k = 0; k < parts.size(); ++k)
      v.SetStrAt(static_cast<int>(k), parts[k]);
  }
  TParamCollectionItem* item = c.ItemOf(i);
  if (item && NewStorageParam(item->Value().TypeCode()) &&
      dynamic_cast<TParamVar*>(&item->Value()) == nullptr && !item->IsSystem()) {
    item->SetValue(std::make_unique<TParamStr>(std::move(v)));
    return;
  }
  c.Var(i).AssignConverted(v);
}

void CopyElement(TCustomParam& dst, int di, const TCustomParam& src, int si) {
  switch (dst.TypeCode()) {
    case kTypeInt:
      dst.SetIntAt(di, src.GetIntAt(si));
      break;
    case kTypeFloat:
      dst.SetFloatAt(di, src.GetFloatAt(si));
      break;
    case kTypeFlag:
      dst.SetBoolAt(di, src.GetBoolAt(si));
      break;
    default:
      dst.SetStrAt(di, src.GetStrAt(si));
      break;
  }
}

bool OneDim(const TCustomParam& v) {
  return v.Dims().size() <= 1;
}

// b's elements converted to a's type, taken before a changes (a and b may be one variable).
std::unique_ptr<TCustomParam> ConvertedCopy(const TCustomParam& a, const TCustomParam& b) {
  auto tmp = NewStorageParam(a.TypeCode());
  if (!tmp) tmp = NewStorageParam(kTypeStr);
  tmp->Resize1D(b.Count());
  for (int k = 0; k < b.Count(); ++k)
    CopyElement(*tmp, k, b, k);
  return tmp;
}

int InsertElements(TCustomParam& a, int32_t index, const TCustomParam& b) {
  const int n = a.Count();
  if (!OneDim(a) || !OneDim(b)) return n;
  auto tmp = ConvertedCopy(a, b);
  const int m = tmp->Count();
  if (index < 0) index = 0;
  if (index > n) index = n;
  a.Resize1D(static_cast<int>(std::min<int64_t>(static_cast<int64_t>(n) + m, INT32_MAX)));
  for (int k = n - 1; k >= index; --k)
    CopyElement(a, k + m, a, k);
  for (int k = 0; k < m; ++k)
    CopyElement(a, index + k, *tmp, k);
  return a.Count();
}

void Fill(TCustomParam& a, const TCustomParam& v) {
  switch (a.TypeCode()) {
    case kTypeInt:
      a.FillInt(v.AsInt());
      break;
    case kTypeFloat:
      a.FillFloat(v.AsFloat());
      break;
    case kTypeFlag:
      a.FillBool(v.AsBool());
      break;
    default:
      a.FillStr(v.AsStr());
      break;
  }
}

const char* const kWeekNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                   "Thursday", "Friday", "Saturday"};

const std::string& WeekJName(int i) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const char* n : {"日", "月", "火", "水", "木", "金", "土"})
      v.push_back(cp932::FromUtf8(n).value_or(""));
    return v;
  }();
  return names[static_cast<size_t>(i)];
}

long double Math(long double v) {
  return CheckFinite(v);
}

using Fn = void (*)(FuncCall&);

}  // namespace

void RegisterCoreFunctions(TSysFuncMan& man) {
  auto reg = [&](const char* name, Fn fn) {
    const int i = FindFunction(name);
    if (i < 0) throw Error("内部エラー");
    man.Register(i, fn);
  };

  // Strings.
  reg("IntToStr", [](FuncCall& c) {
    const int32_t n = Int(c, 0);
    if (!c.Has(1)) return c.D().SetStr(IntToText(n));
    // The digit count is capped; a format of millions of zeros helps nobody.
    const int d = std::clamp(Int(c, 1), 0, 255);
    char buf[300];
    std::snprintf(buf, sizeof buf, "%.*d", d, n);
    c.D().SetStr(buf);
  });
  reg("IntToHex", [](FuncCall& c) {
    const int d = std::clamp(Int(c, 1), 0, 255);
    char buf[300];
    std::snprintf(buf, sizeof buf, "%.*X", d, static_cast<uint32_t>(Int(c, 0)));
    c.D().SetStr(buf);
  });
  reg("Length", [](FuncCall& c) { c.D().SetInt(static_cast<int32_t>(Str(c, 0).size())); });
  reg("JLength", [](FuncCall& c) { c.D().SetInt(jstr::JLength(Str(c, 0))); });
  reg("Copy", [](FuncCall& c) {
    const std::string s = Str(c, 0);
    c.D().SetStr(ByteCopy(s, Int(c, 1), c.Has(2) ? Int(c, 2) : static_cast<int64_t>(s.size())));
  });
  reg("JCopy", [](FuncCall& c) {
    const std::string s = Str(c, 0);
    c.D().SetStr(jstr::JCopy(s, Int(c, 1), c.Has(2) ? Int(c, 2) : INT32_MAX));
  });
  reg("Delete", [](FuncCall& c) {
    TCustomParam& v = c.Var(0);
    std::string s = v.AsStr();
    ByteDelete(s, Int(c, 1), c.Has(2) ? Int(c, 2) : static_cast<int64_t>(s.size()));
    v.SetStr(s);
  });
  reg("JDelete", [](FuncCall& c) {
    TCustomParam& v = c.Var(0);
    std::string s = v.AsStr();
    jstr::JDelete(s, Int(c, 1), c.Has(2) ? Int(c, 2) : INT32_MAX);
    v.SetStr(s);
  });
  reg("Insert", [](FuncCall& c) {
    const std::string sub = Str(c, 0);
    TCustomParam& v = c.Var(1);
    std::string s = v.AsStr();
    ByteInsert(sub, s, Int(c, 2));
    v.SetStr(s);
  });
  reg("JInsert", [](FuncCall& c) {
    const std::string sub = Str(c, 0);
    TCustomParam& v = c.Var(1);
    std::string s = v.AsStr();
    CheckTextSize(static_cast<uint64_t>(s.size()) + sub.size());
    jstr::JInsert(sub, s, Int(c, 2));
    v.SetStr(s);
  });
  reg("CompareStr", [](FuncCall& c) { c.D().SetInt(CompareBytes(Str(c, 0), Str(c, 1))); });
  reg("CompareText", [](FuncCall& c) { c.D().SetInt(cp932::CompareNoCase(Str(c, 0), Str(c, 1))); });
  reg("Pos", [](FuncCall& c) {
    const std::string sub = Str(c, 0), s = Str(c, 1);
    const size_t p = sub.empty() ? std::string::npos : s.find(sub);
    c.D().SetInt(p == std::string::npos ? 0 : static_cast<int32_t>(p) + 1);
  });
  reg("JPos", [](FuncCall& c) { c.D().SetInt(jstr::JPos(Str(c, 0), Str(c, 1))); });
  reg("Trim", [](FuncCall& c) {
    const std::string s = Str(c, 0);
    size_t b = 0, e = s.size();
    while (b < e && static_cast<uint8_t>(s[b]) <= 32)
      ++b;
    while (e > b && static_cast<uint8_t>(s[e - 1]) <= 32)
      --e;
    c.D().SetStr(s.substr(b, e - b));
  });
  reg("JTrim", [](FuncCall& c) { c.D().SetStr(jstr::JTrim(Str(c, 0))); });
  reg("Not", [](FuncCall& c) { c.D().SetBool(!Bool(c, 0)); });
  reg("LowerCase", [](FuncCall& c) { c.D().SetStr(cp932::Lower(Str(c, 0))); });
  reg("UpperCase", [](FuncCall& c) { c.D().SetStr(cp932::Upper(Str(c, 0))); });
  reg("StringOfChar", [](FuncCall& c) {
    const std::string s = Str(c, 0);
    const int32_t n = Int(c, 1);
    if (n <= 0) return c.D().SetStr("");
    CheckTextSize(static_cast<uint64_t>(s.size()) * static_cast<uint64_t>(n));
    std::string out;
    out.reserve(s.size() * static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
      out += s;
    c.D().SetStr(out);
  });
  reg("StringReplace", [](FuncCall& c) {
    const std::string s = Str(c, 0), from = Str(c, 1), to = Str(c, 2);
    const bool all = c.Has(3) && Bool(c, 3);
    const bool noCase = c.Has(4) && Bool(c, 4);
    if (from.empty()) return c.D().SetStr(s);
    std::string out;
    size_t i = 0;
    bool done = false;
    while (i < s.size()) {
      const bool hit =
          !done && i + from.size() <= s.size() &&
          (noCase ? cp932::EqualNoCase(std::string_view(s).substr(i, from.size()), from)
                  : s.compare(i, from.size(), from) == 0);
      if (hit) {
        out += to;
        CheckTextSize(out.size());
        i += from.size();
        if (!all) done = true;
        continue;
      }
      const size_t n = cp932::CharLen(s, i);
      out.append(s, i, n);
      i += n;
    }
    c.D().SetStr(out);
  });
  reg("FixStr", [](FuncCall& c) {
    std::string s = Str(c, 0);
    if (!s.empty() && cp932::IsLead(static_cast<uint8_t>(s.back())) &&
        !cp932::IsTrailAt(s, s.size() - 1))
      s.pop_back();
    c.D().SetStr(s);
  });
  reg("HanToZen", [](FuncCall& c) { c.D().SetStr(jstr::HanToZen(Str(c, 0))); });
  reg("ZenToHan", [](FuncCall& c) { c.D().SetStr(jstr::ZenToHan(Str(c, 0))); });
  reg("AddDelimiter", [](FuncCall& c) {
    const std::string a = Str(c, 0), b = Str(c, 1);
    c.D().SetStr(b.empty() ? std::string() : b + a);
  });
  reg("StrToIntDef", [](FuncCall& c) {
    const auto v = TextToIntOpt(Str(c, 0));
    c.D().SetInt(v ? *v : Int(c, 1));
  });
  reg("StrToFloatDef", [](FuncCall& c) {
    const auto v = TextToFloatOpt(Str(c, 0));
    c.D().SetFloat(v ? *v : Flt(c, 1));
  });

  // Paths and files.
  reg("ExtractFilePath", [](FuncCall& c) { c.D().SetStr(ExtractFilePath(Str(c, 0))); });
  reg("ExtractFileName", [](FuncCall& c) { c.D().SetStr(ExtractFileName(Str(c, 0))); });
  reg("ExtractFileExt", [](FuncCall& c) { c.D().SetStr(ExtractFileExt(Str(c, 0))); });
  reg("ChangeFileExt", [](FuncCall& c) { c.D().SetStr(ChangeFileExt(Str(c, 0), Str(c, 1))); });
  reg("IsPathDelimiter", [](FuncCall& c) {
    const std::string s = Str(c, 0);
    const int32_t i = Int(c, 1);
    c.D().SetBool(IsSingleByteAt(s, i) && s[static_cast<size_t>(i) - 1] == '\\');
  });
  reg("IsDelimiter", [](FuncCall& c) {
    const std::string chars = Str(c, 0), s = Str(c, 1);
    const int32_t i = Int(c, 2);
    c.D().SetBool(IsSingleByteAt(s, i) &&
                  chars.find(s[static_cast<size_t>(i) - 1]) != std::string::npos);
  });
  reg("AddBackSlash", [](FuncCall& c) {
    std::string s = Str(c, 0);
    if (s.empty() || !IsSingleByteAt(s, static_cast<int32_t>(s.size())) || s.back() != '\\')
      s += '\\';
    c.D().SetStr(s);
  });
  reg("FileExists", [](FuncCall& c) {
    const std::string name = Str(c, 0);
    TitleFiles* files = c.man.Files();
    c.D().SetBool(!name.empty() && files && files->FileExists(name));
  });
  reg("LoadTextFile", [](FuncCall& c) {
    const std::string name = Str(c, 1);
    TitleFiles* files = c.man.Files();
    if (name.empty() || !files) return;
    const auto data = files->ReadFile(name);
    if (!data || data->empty()) return;
    const std::vector<std::string> lines =
        SplitLines(std::string(reinterpret_cast<const char*>(data->data()), data->size()));
    if (lines.empty()) return;
    StoreStringArray(c, 0, lines);
    c.D().SetBool(true);
  });

  // Arrays and variables.
  reg("GetArraySize", [](FuncCall& c) {
    TCustomParam& a = c.Var(0, "GetArraySize:変数が見つかりません");
    if (!c.Has(1)) return c.D().SetInt(a.Count());
    c.D().SetInt(a.DimSize(a.DimCount() - 1 - Int(c, 1)));
  });
  reg("SetArray", [](FuncCall& c) {
    TCustomParam& a = c.Var(0, "SetArray:変数が見つかりません");
    std::vector<int32_t> sizes;
    for (int i = 1; i < c.Count(); ++i)
      sizes.push_back(Int(c, i));
    a.SetDims(sizes);
  });
  reg("FillMem", [](FuncCall& c) { Fill(c.Var(0, "FillMem:変数が見つかりません"), c.Arg(1)); });
  reg("CopyMem", [](FuncCall& c) {
    TCustomParam& a = c.Var(0, "CopyMem:変数が見つかりません");
    TCustomParam& b = c.Var(1, "CopyMem:変数が見つかりません");
    a.Assign(b);
  });
  reg("CopyArray", [](FuncCall& c) {
    TCustomParam& a = c.Var(0);
    TCustomParam& b = c.Var(1);
    a.AssignConverted(b);
    c.D().SetBool(true);
  });
  reg("AddArray", [](FuncCall& c) {
    TCustomParam& a = c.Var(0);
    c.D().SetInt(InsertElements(a, a.Count(), c.Var(1)));
  });
  reg("InsertArray", [](FuncCall& c) {
    TCustomParam& a = c.Var(0);
    c.D().SetInt(InsertElements(a, Int(c, 1), c.Var(2)));
  });
  reg("DeleteArray", [](FuncCall& c) {
    TCustomParam& a = c.Var(0);
    const int n = a.Count();
    if (!OneDim(a) || n == 0) return c.D().SetInt(n);
    const int index = std::clamp(Int(c, 1), 0, n - 1);
    const int count = std::clamp(Int(c, 2), 0, n - index);
    for (int k = index + count; k < n; ++k)
      CopyElement(a, k - count, a, k);
    a.Resize1D(n - count);
    c.D().SetInt(a.Count());
  });
  reg("ArrayToString", [](FuncCall& c) {
    TCustomParam& a = c.Var(0);
    const std::string delim = c.Has(1) ? Str(c, 1) : "\r\n";
    std::string out;
    for (int i = 0, n = a.Count(); i < n; ++i) {
      if (i) out += delim;
      out += a.GetStrAt(i);
      CheckTextSize(out.size());
    }
    c.D().SetStr(out);
  });
  reg("StringToArray", [](FuncCall& c) {
    const std::string s = Str(c, 0);
    const std::string delim = c.Has(2) ? Str(c, 2) : "";
    const std::vector<std::string> parts = delim.empty() ? SplitLines(s) : SplitAt(s, delim);
    StoreStringArray(c, 1, parts);
    c.D().SetInt(static_cast<int32_t>(parts.size()));
  });
  reg("IndexOfStr", [](FuncCall& c) {
    TCustomParam& a = c.Var(0);
    const bool cs = c.Has(2) ? Bool(c, 2) : true;
    const bool partial = c.Has(3) ? Bool(c, 3) : false;
    c.D().SetInt(a.IndexOfStr(Str(c, 1), cs, partial));
  });
  reg("SortStr", [](FuncCall& c) {
    TCustomParam& a = c.Var(0);
    std::vector<std::string> v;
    for (int i = 0, n = a.Count(); i < n; ++i)
      v.push_back(a.GetStrAt(i));
    std::stable_sort(v.begin(), v.end(), [](const std::string& x, const std::string& y) {
      return cp932::CompareNoCase(x, y) < 0;
    });
    for (size_t i = 0; i < v.size(); ++i)
      a.SetStrAt(static_cast<int>(i), v[i]);
  });
  reg("GetVarType", [](FuncCall& c) { c.D().SetInt(c.Arg(0).TypeCode()); });
  reg("VarExists", [](FuncCall& c) { c.D().SetBool(c.store.FindItem(Str(c, 0)) != nullptr); });
  reg("AssignTemp", [](FuncCall& c) {
    const std::string name = Str(c, 0);
    if (name.empty() || !c.store.FindItem(name)) return;
    c.store.tempName = name;
    c.D().SetBool(true);
  });
  reg("Calc", [](FuncCall& c) {
    std::string text = Str(c, 0);
    size_t b = 0, e = text.size();
    while (b < e && static_cast<uint8_t>(text[b]) <= 32)
      ++b;
    while (e > b && static_cast<uint8_t>(text[e - 1]) <= 32)
      --e;
    text = text.substr(b, e - b);
    if (c.man.calcDepth >= TSysFuncMan::kMaxCalcDepth) throw Error("Calcの入れ子が深すぎます");
    ++c.man.calcDepth;
    try {
      TKovaParser p = CompileExpression(text);
      p.Evaluate(c.store, c.man);
    } catch (const Error&) {
      // Compile errors of the inner text are ignored, as its run-time errors are.
    }
    --c.man.calcDepth;
    if (!text.empty()) c.D().SetBool(true);
  });

  // Mathematics.
  reg("Int", [](FuncCall& c) { c.D().SetInt(FloatToInt(Flt(c, 0))); });
  reg("Float", [](FuncCall& c) { c.D().SetFloat(Flt(c, 0)); });
  reg("Sin", [](FuncCall& c) { c.D().SetFloat(Math(std::sin(Flt(c, 0)))); });
  reg("Cos", [](FuncCall& c) { c.D().SetFloat(Math(std::cos(Flt(c, 0)))); });
  reg("Tan", [](FuncCall& c) { c.D().SetFloat(Math(std::tan(Flt(c, 0)))); });
  reg("ArcSin", [](FuncCall& c) { c.D().SetFloat(Math(std::asin(Flt(c, 0)))); });
  reg("ArcCos", [](FuncCall& c) { c.D().SetFloat(Math(std::acos(Flt(c, 0)))); });
  reg("ArcTan", [](FuncCall& c) { c.D().SetFloat(Math(std::atan(Flt(c, 0)))); });
  reg("ArcTan2", [](FuncCall& c) { c.D().SetFloat(Math(std::atan2(Flt(c, 0), Flt(c, 1)))); });
  reg("Hypot", [](FuncCall& c) { c.D().SetFloat(Math(std::hypot(Flt(c, 0), Flt(c, 1)))); });
  reg("Abs", [](FuncCall& c) {
    const int32_t n = Int(c, 0);
    c.D().SetInt(n < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(n)) : n);
  });
  reg("Fabs", [](FuncCall& c) { c.D().SetFloat(std::fabs(Flt(c, 0))); });
  reg("Min", [](FuncCall& c) { c.D().SetInt(std::min(Int(c, 0), Int(c, 1))); });
  reg("Max", [](FuncCall& c) { c.D().SetInt(std::max(Int(c, 0), Int(c, 1))); });
  reg("Fmin", [](FuncCall& c) { c.D().SetFloat(std::min(Flt(c, 0), Flt(c, 1))); });
  reg("Fmax", [](FuncCall& c) { c.D().SetFloat(std::max(Flt(c, 0), Flt(c, 1))); });
  reg("Random", [](FuncCall& c) { c.D().SetInt(c.man.Random(Int(c, 0))); });

  // Dates and times.
  reg("EncodeDate",
      [](FuncCall& c) { c.D().SetFloat(EncodeDate(Int(c, 0), Int(c, 1), Int(c, 2))); });
  reg("EncodeTime",
      [](FuncCall& c) { c.D().SetFloat(EncodeTime(Int(c, 0), Int(c, 1), Int(c, 2))); });
  reg("DecodeDate", [](FuncCall& c) {
    const DateParts d = DecodeDate(Flt(c, 0));
    c.Var(1).SetInt(d.year);
    c.Var(2).SetInt(d.month);
    c.Var(3).SetInt(d.day);
  });
  reg("DecodeTime", [](FuncCall& c) {
    const TimeParts t = DecodeTime(Flt(c, 0));
    c.Var(1).SetInt(t.hour);
    c.Var(2).SetInt(t.min);
    c.Var(3).SetInt(t.sec);
  });
  reg("GetYear", [](FuncCall& c) { c.D().SetInt(DecodeDate(Flt(c, 0)).year); });
  reg("GetMonth", [](FuncCall& c) { c.D().SetInt(DecodeDate(Flt(c, 0)).month); });
  reg("GetDay", [](FuncCall& c) { c.D().SetInt(DecodeDate(Flt(c, 0)).day); });
  reg("GetHour", [](FuncCall& c) { c.D().SetInt(DecodeTime(Flt(c, 0)).hour); });
  reg("GetMin", [](FuncCall& c) { c.D().SetInt(DecodeTime(Flt(c, 0)).min); });
  reg("GetSec", [](FuncCall& c) { c.D().SetInt(DecodeTime(Flt(c, 0)).sec); });
  reg("GetWeek", [](FuncCall& c) { c.D().SetInt(DayOfWeek(Flt(c, 0))); });
  reg("GetWeekStr", [](FuncCall& c) {
    const int w = DayOfWeek(Flt(c, 0));
    c.D().SetStr(w ? kWeekNames[w - 1] : "");
  });
  reg("GetWeekJStr", [](FuncCall& c) {
    const int w = DayOfWeek(Flt(c, 0));
    c.D().SetStr(w ? WeekJName(w - 1) : std::string());
  });
}

}  // namespace kova
