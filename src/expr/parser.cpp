#include "expr/parser.h"

#include <algorithm>
#include <cmath>

#include "common/cp932.h"
#include "common/error.h"
#include "expr/convert.h"
#include "expr/sysfunc.h"

namespace kova {

namespace {

const char* const kSyntaxError = "構文エラー";
const std::u16string kArg = u"____arg";

[[noreturn]] void Syntax() {
  throw Error(kSyntaxError);
}

// The compiler works on characters: a double-byte character is one code (lead*256+trail), so
// its trail byte can never be taken for a quote, a backslash, a bracket or an operator.
std::u16string ToCodes(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (cp932::IsLead(c) && i + 1 < s.size()) {
      out += static_cast<char16_t>(c * 256 + static_cast<uint8_t>(s[i + 1]));
      i += 2;
    } else {
      out += static_cast<char16_t>(c);
      i += 1;
    }
  }
  return out;
}

std::string FromCodes(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    if (c > 0xFF) out += static_cast<char>(c >> 8);
    out += static_cast<char>(c & 0xFF);
  }
  return out;
}

bool IsIdent(char16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool In(char16_t c, std::string_view set) {
  return c < 0x80 && set.find(static_cast<char>(c)) != std::string_view::npos;
}
bool IsOpChar(char16_t c) {
  return In(c, "+-*/%|&^=[](),<>");
}
bool IsOpStart(char16_t c) {
  return In(c, "%&*+-/<=>^|");
}
bool IsOperatorToken(const std::u16string& t) {
  return !t.empty() && IsOpStart(t[0]);
}
bool IsSpace(char16_t c) {
  return c <= 0x20;
}

std::u16string Trim(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b]))
    ++b;
  while (e > b && IsSpace(s[e - 1]))
    --e;
  return std::u16string(s.substr(b, e - b));
}

bool StartsWith(std::string_view s, std::string_view p) {
  return s.substr(0, p.size()) == p;
}
bool IsTempName(std::string_view s) {
  return StartsWith(s, "____");
}

// Position of the bracket closing the one at `open`, or npos.
size_t Match(const std::u16string& s, size_t open, char16_t o, char16_t c) {
  int depth = 0;
  for (size_t i = open; i < s.size(); ++i) {
    if (s[i] == o)
      ++depth;
    else if (s[i] == c && --depth == 0)
      return i;
  }
  return std::u16string::npos;
}

// Unbalanced pairs, and nesting deeper than the compiler allows, are syntax errors.
void CheckPairs(const std::u16string& s, char16_t o, char16_t c) {
  int depth = 0;
  for (char16_t ch : s) {
    if (ch == o && ++depth > kMaxCompileDepth) Syntax();
    if (ch == c && --depth < 0) Syntax();
  }
  if (depth != 0) Syntax();
}

struct OpInfo {
  const char16_t* text;
  uint8_t code;
  int level;
};
const OpInfo kOps[] = {
    {u"*", kOpMul, 1}, {u"/", kOpDiv, 1},     {u"%", kOpMod, 1},  {u"+", kOpAdd, 2},
    {u"-", kOpSub, 2}, {u"<<", kOpShl, 3},    {u">>", kOpShr, 3}, {u"==", kOpEq, 4},
    {u">=", kOpGe, 4}, {u"<=", kOpLe, 4},     {u">", kOpGt, 4},   {u"<", kOpLt, 4},
    {u"<>", kOpNe, 4}, {u"++", kOpConcat, 5}, {u"&", kOpAnd, 6},  {u"^", kOpXor, 7},
    {u"|", kOpOr, 8},  {u"=", kOpAssign, 9},
};
const OpInfo* FindOp(const std::u16string& t) {
  for (const OpInfo& o : kOps)
    if (t == o.text) return &o;
  return nullptr;
}

}  // namespace

std::string OpName(int code) {
  static const char* const kNames[] = {"", "",   "+", "-", "*",  "/",  "%",  "|",  "&",  "^", "dim",
                                       "", "==", ">", "<", ">=", "<=", "<<", ">>", "++", "<>"};
  return code >= 0 && code <= kOpLast ? kNames[code] : "";
}

// ---- compiler ----

std::u16string TBuildKovaParser::NewTemp() {
  std::string n = "____" + std::to_string(counter_++);
  return ToCodes(n);
}

std::u16string TBuildKovaParser::NewElementTemp() {
  std::string n = "____d_" + std::to_string(counter_++);
  return ToCodes(n);
}

void TBuildKovaParser::Emit(uint8_t code, const std::u16string& dest,
                            const std::vector<std::u16string>& operands) {
  TBuildOpeData op;
  op.code = code;
  op.dest = FromCodes(dest);
  for (const auto& o : operands)
    op.operands.push_back(FromCodes(o));
  ops_.push_back(std::move(op));
}

void TBuildKovaParser::Compile(const std::string& text) {
  CompileText(ToCodes(text), 0);
  RemoveRedundantCopies();
}

std::u16string TBuildKovaParser::ProcessArgument(std::u16string arg, int depth) {
  arg = Trim(arg);
  while (arg.size() >= 2 && arg.front() == '(' && arg.back() == ')' &&
         Match(arg, 0, '(', ')') == arg.size() - 1)
    arg = Trim(std::u16string_view(arg).substr(1, arg.size() - 2));
  if (std::any_of(arg.begin(), arg.end(), IsOpChar)) {
    std::u16string t = NewTemp();
    CompileText(t + u" = " + arg, depth + 1);
    return t;
  }
  return arg;
}

void TBuildKovaParser::CompileText(std::u16string text, int depth) {
  if (depth > kMaxCompileDepth) Syntax();

  // 1. String literals become temporaries.
  for (;;) {
    const size_t q = text.find(u'"');
    if (q == std::u16string::npos) break;
    std::u16string lit;
    size_t i = q + 1;
    bool closed = false;
    while (i < text.size()) {
      const char16_t c = text[i];
      if (c == '\\' && i + 1 < text.size()) {
        const char16_t n = text[i + 1];
        if (n == '"' || n == '\\') {
          lit += n, i += 2;
          continue;
        }
        if (n == 'n') {
          lit += u"\r\n", i += 2;
          continue;
        }
      }
      if (c == '"') {
        closed = true;
        break;
      }
      lit += c, ++i;
    }
    if (!closed) break;
    const std::u16string t = NewTemp();
    Emit(kOpAssign, t, {u"\"" + lit + u"\""});
    text.replace(q, i + 1 - q, t);
  }

  // 2. Function calls, the rightmost first.
  for (;;) {
    CheckPairs(text, '(', ')');
    size_t open = std::u16string::npos, nameStart = 0;
    for (size_t p = text.size(); p-- > 0;) {
      if (text[p] != '(') continue;
      size_t k = p;
      while (k > 0 && text[k - 1] == ' ')
        --k;
      if (k > 0 && IsIdent(text[k - 1])) {
        while (k > 0 && IsIdent(text[k - 1]))
          --k;
        open = p, nameStart = k;
        break;
      }
    }
    if (open == std::u16string::npos) break;
    const size_t close = Match(text, open, '(', ')');
    if (close == std::u16string::npos) Syntax();
    const std::u16string name = Trim(std::u16string_view(text).substr(nameStart, open - nameStart));
    const std::u16string inner = text.substr(open + 1, close - open - 1);
    std::vector<std::u16string> operands{name};
    if (!Trim(inner).empty()) {
      std::vector<std::u16string> args;
      std::u16string cur;
      int brackets = 0;
      for (char16_t c : inner) {
        if (c == '[') ++brackets;
        if (c == ']' && --brackets < 0) Syntax();
        if (c == ',' && brackets == 0) {
          args.push_back(cur), cur.clear();
        } else {
          cur += c;
        }
      }
      if (brackets != 0) Syntax();
      args.push_back(cur);
      for (auto& a : args) {
        std::u16string t = Trim(a);
        operands.push_back(t.empty() ? t : ProcessArgument(t, depth));
      }
    }
    const std::u16string t = NewTemp();
    Emit(kOpCall, t, operands);
    text.replace(nameStart, close + 1 - nameStart, t);
  }

  // 3. Array elements, the rightmost first.
  for (;;) {
    CheckPairs(text, '[', ']');
    const size_t open = text.rfind(u'[');
    if (open == std::u16string::npos) break;
    size_t end = open;
    while (end > 0 && text[end - 1] == ' ')
      --end;
    size_t start = end;
    while (start > 0 && text[start - 1] != ' ' && !IsOpChar(text[start - 1]))
      --start;
    // An operator right before the bracket leaves no name.
    if (start == end) Syntax();
    const size_t close = Match(text, open, '[', ']');
    if (close == std::u16string::npos) Syntax();
    const std::u16string name = text.substr(start, end - start);
    const std::u16string inner = text.substr(open + 1, close - open - 1);
    if (Trim(inner).empty()) throw Error("配列の添え字が不正です");
    std::vector<std::u16string> operands{name};
    size_t from = 0;
    for (;;) {
      const size_t comma = inner.find(u',', from);
      const std::u16string part =
          inner.substr(from, comma == std::u16string::npos ? std::u16string::npos : comma - from);
      const std::u16string t = Trim(part);
      operands.push_back(t.empty() ? t : ProcessArgument(t, depth));
      if (comma == std::u16string::npos) break;
      from = comma + 1;
    }
    const std::u16string d = NewElementTemp();
    Emit(kOpDim, d, operands);
    text.replace(start, close + 1 - start, d);
  }

  // 4. Groups, the rightmost first.
  for (;;) {
    const size_t open = text.rfind(u'(');
    if (open == std::u16string::npos) break;
    const size_t close = Match(text, open, '(', ')');
    if (close == std::u16string::npos) Syntax();
    const std::u16string inner = text.substr(open + 1, close - open - 1);
    const std::u16string t = NewTemp();
    text.replace(open, close + 1 - open, t);
    CompileText(t + u" = " + inner, depth + 1);
  }

  // 5. Operators.
  std::vector<std::u16string> tokens;
  std::u16string cur;
  auto flush = [&] {
    std::u16string t = Trim(cur);
    if (!t.empty()) tokens.push_back(std::move(t));
    cur.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (!IsOpStart(c)) {
      cur += c;
      continue;
    }
    flush();
    std::u16string op(1, c);
    if (i + 1 < text.size()) {
      const std::u16string two = text.substr(i, 2);
      if (two == u"==" || two == u">=" || two == u"<=" || two == u"++" || two == u"<>" ||
          two == u"<<" || two == u">>")
        op = two, ++i;
    }
    tokens.push_back(op);
  }
  flush();
  Reduce(std::move(tokens), text);
}

void TBuildKovaParser::Reduce(std::vector<std::u16string> tokens, const std::u16string& whole) {
  if (tokens.empty()) {
    Emit(kOpAssign, kArg, {whole});
    return;
  }
  // Signs: a "+" or "-" right after an operator (or an opening bracket or comma).
  for (size_t i = tokens.size() >= 2 ? tokens.size() - 2 : 0; i >= 1 && i + 1 < tokens.size();
       --i) {
    const std::u16string& t = tokens[i];
    if ((t == u"+" || t == u"-") && In(tokens[i - 1][0], "=+-*/%&^|[(,<>")) {
      if (IsOperatorToken(tokens[i + 1])) Syntax();
      if (t == u"+") {
        tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(i));
      } else {
        const std::u16string tmp = NewTemp();
        Emit(kOpSub, tmp, {u"0", tokens[i + 1]});
        tokens[i] = tmp;
        tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(i) + 1);
      }
    }
    if (i == 1) break;
  }

  bool assigned = false;
  while (!tokens.empty()) {
    const OpInfo* best = nullptr;
    size_t at = 0;
    for (int level = 1; level <= 9 && !best; ++level) {
      for (size_t i = 0; i < tokens.size(); ++i) {
        const OpInfo* o = FindOp(tokens[i]);
        if (o && o->level == level) {
          best = o, at = i;
          break;
        }
      }
    }
    if (!best) {
      if (assigned || tokens.size() != 1) Syntax();
      Emit(kOpAssign, kArg, {tokens[0]});
      return;
    }
    // A missing or operator operand is a syntax error, never a read past the tokens.
    if (best->code == kOpAssign) {
      if (at == 0 || at + 1 >= tokens.size() || IsOperatorToken(tokens[at - 1]) ||
          IsOperatorToken(tokens[at + 1]))
        Syntax();
      Emit(kOpAssign, tokens[at - 1], {tokens[at + 1]});
      tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(at) - 1,
                   tokens.begin() + static_cast<ptrdiff_t>(at) + 2);
      assigned = true;
      continue;
    }
    if (at == 0) {
      if ((best->code != kOpAdd && best->code != kOpSub) || tokens.size() < 2 ||
          IsOperatorToken(tokens[1]))
        Syntax();
      const std::u16string tmp = NewTemp();
      Emit(best->code, tmp, {u"0", tokens[1]});
      tokens[0] = tmp;
      tokens.erase(tokens.begin() + 1);
      continue;
    }
    if (In(tokens[at - 1][0], "+-*/%|&^=[(<>") || at + 1 >= tokens.size() ||
        IsOperatorToken(tokens[at + 1]))
      Syntax();
    const std::u16string tmp = NewTemp();
    Emit(best->code, tmp, {tokens[at - 1], tokens[at + 1]});
    tokens[at - 1] = tmp;
    tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(at),
                 tokens.begin() + static_cast<ptrdiff_t>(at) + 2);
  }
}

void TBuildKovaParser::RemoveRedundantCopies() {
  auto plainTemp = [](const std::string& s) {
    return IsTempName(s) && !StartsWith(s, "____d_") && s != "____arg";
  };
  for (size_t i = 0; i < ops_.size();) {
    TBuildOpeData& op = ops_[i];
    if (op.code != kOpAssign || op.operands.size() != 1 || !plainTemp(op.dest) ||
        !plainTemp(op.operands[0])) {
      ++i;
      continue;
    }
    const std::string from = op.dest, to = op.operands[0];
    for (size_t j = i + 1; j < ops_.size(); ++j) {
      if (ops_[j].dest == from) ops_[j].dest = to;
      for (auto& o : ops_[j].operands)
        if (o == from) o = to;
    }
    ops_.erase(ops_.begin() + static_cast<ptrdiff_t>(i));
  }
}

namespace {

void WriteOperand(ByteWriter& w, const std::string& text) {
  if (auto i = TextToIntOpt(text)) {
    w.U8(kTypeInt), w.I32(*i);
  } else if (auto f = TextToFloatOpt(text)) {
    w.U8(kTypeFloat), w.F80(*f);
  } else if (text == "TRUE" || text == "FALSE") {
    w.U8(kTypeFlag), w.U8(text == "TRUE");
  } else if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    w.U8(kTypeStr), w.LpString(std::string_view(text).substr(1, text.size() - 2));
  } else {
    w.U8(kTypeVar), w.LpString(text);
  }
}

}  // namespace

void TBuildKovaParser::SaveToStream(ByteWriter& w) const {
  w.U32(static_cast<uint32_t>(ops_.size()));
  for (const TBuildOpeData& op : ops_) {
    w.U8(op.code);
    w.LpString(op.dest);
    size_t first = 0;
    if (op.code == kOpCall) {
      const std::string& name = op.operands.at(0);
      const int idx = FindFunction(name);
      if (idx < 0) throw Error("\"" + cp932::ToUtf8(name) + "\" 関数名がありません");
      const FunctionInfo& f = FunctionTable(idx);
      const int a = static_cast<int>(op.operands.size()) - 1;
      if (a < f.min || (f.max != kFuncAny && a > f.max))
        throw Error(cp932::ToUtf8(name) + " 引数の数が不正です");
      w.U32(static_cast<uint32_t>(a));
      w.U8(static_cast<uint8_t>(idx));
      first = 1;
    } else {
      w.U32(static_cast<uint32_t>(op.operands.size()));
    }
    for (size_t i = first; i < op.operands.size(); ++i)
      WriteOperand(w, op.operands[i]);
  }
}

// ---- stored form ----

void TKovaParser::LoadFromStream(ByteReader& r) {
  ops_.clear();
  result_.reset();
  // Smallest operation: code, empty destination, no operands.
  const uint32_t n = r.Count(r.U32(), 1 + 4 + 4, "operation");
  std::vector<TOpeData> ops;
  ops.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    TOpeData op;
    op.code = r.U8();
    if (op.code < kOpAssign || op.code > kOpLast)
      r.Fail("invalid operation code " + std::to_string(op.code));
    op.dest = r.LpString();
    op.destIsTemp = IsTempName(op.dest);
    // Smallest operand: a kind byte and a flag.
    const uint32_t k = r.Count(r.U32(), 2, "operand");
    if (op.code == kOpCall) {
      op.func = r.U8();
      if (op.func >= kFunctionCount) r.Fail("invalid function index " + std::to_string(op.func));
    }
    for (uint32_t j = 0; j < k; ++j) {
      const uint8_t kind = r.U8();
      std::unique_ptr<TCustomParam> v;
      switch (kind) {
        case kTypeVar: {
          auto ref = std::make_unique<TParamVar>();
          ref->SetTargetName(r.LpString());
          v = std::move(ref);
          break;
        }
        case kTypeInt:
          v = std::make_unique<TParamInt>();
          v->SetInt(r.I32());
          break;
        case kTypeFloat: {
          long double f = r.F80();
          if (!std::isfinite(f)) r.Fail("float constant is not finite");
          v = std::make_unique<TParamFloat>();
          v->SetFloat(f);
          break;
        }
        case kTypeFlag:
          v = std::make_unique<TParamFlag>();
          v->SetBool(r.U8() != 0);
          break;
        case kTypeStr:
          v = std::make_unique<TParamStr>();
          v->SetStr(r.LpString());
          break;
        default:
          r.Fail("invalid operand kind " + std::to_string(kind));
      }
      op.operands.push_back(std::move(v));
    }
    ops.push_back(std::move(op));
  }
  ops_ = std::move(ops);
}

void TKovaParser::SaveToStream(ByteWriter& w) const {
  w.U32(static_cast<uint32_t>(ops_.size()));
  for (const TOpeData& op : ops_) {
    w.U8(op.code);
    w.LpString(op.dest);
    w.U32(static_cast<uint32_t>(op.operands.size()));
    if (op.code == kOpCall) w.U8(op.func);
    for (const auto& o : op.operands) {
      if (auto* ref = dynamic_cast<const TParamVar*>(o.get())) {
        w.U8(kTypeVar), w.LpString(ref->TargetName());
        continue;
      }
      w.U8(static_cast<uint8_t>(o->TypeCode()));
      switch (o->TypeCode()) {
        case kTypeInt:
          w.I32(o->AsInt());
          break;
        case kTypeFloat:
          w.F80(o->AsFloat());
          break;
        case kTypeFlag:
          w.U8(o->AsBool());
          break;
        default:
          w.LpString(o->AsStr());
          break;
      }
    }
  }
}

void TKovaParser::Assign(const TKovaParser& other) {
  ops_.clear();
  for (const TOpeData& o : other.ops_) {
    TOpeData c;
    c.code = o.code;
    c.dest = o.dest;
    c.func = o.func;
    c.destIsTemp = o.destIsTemp;
    for (const auto& v : o.operands) {
      if (auto* ref = dynamic_cast<const TParamVar*>(v.get())) {
        auto r = std::make_unique<TParamVar>();
        r->SetTargetName(ref->TargetName());
        c.operands.push_back(std::move(r));
      } else {
        c.operands.push_back(v->Clone());
      }
    }
    ops_.push_back(std::move(c));
  }
  result_.reset();
}

// ---- evaluator ----

namespace {

// The temporaries of one evaluation. Each run has its own, so a nested run (Calc, a text that
// expands variables) never overwrites the temporaries of the run that started it.
class Temps {
 public:
  TParamCollectionItem* Find(const std::string& name) const {
    for (const auto& t : items_)
      if (t->Name() == name) return t.get();
    return nullptr;
  }
  TParamCollectionItem& Add(std::unique_ptr<TParamCollectionItem> item) {
    items_.push_back(std::move(item));
    return *items_.back();
  }

 private:
  std::vector<std::unique_ptr<TParamCollectionItem>> items_;
};

[[noreturn]] void Missing(const std::string& name) {
  throw Error("\"" + cp932::ToUtf8(name) + "\" 変数がありません");
}

[[noreturn]] void BadOperation(const TOpeData& op) {
  std::string msg =
      "不正な式\r\n\r\n代入先:" + cp932::ToUtf8(op.dest) + "演算タイプ:" + OpName(op.code);
  for (const auto& o : op.operands) {
    msg += "\r\n";
    if (auto* ref = dynamic_cast<const TParamVar*>(o.get()))
      msg += cp932::ToUtf8(ref->TargetName());
    else
      msg += cp932::ToUtf8(o->AsStr());
  }
  throw Error(msg);
}

// Unbinds the reference operands of an operation when it ends, however it ends.
class BoundOperands {
 public:
  explicit BoundOperands(TOpeData& op) : op_(op) {}
  ~BoundOperands() {
    for (auto& o : op_.operands)
      if (o->IsReference()) static_cast<TParamVar*>(o.get())->Unbind();
  }

 private:
  TOpeData& op_;
};

int32_t IntOp(uint8_t code, int32_t l, int32_t r) {
  const auto ul = static_cast<uint32_t>(l), ur = static_cast<uint32_t>(r);
  switch (code) {
    case kOpAdd:
      return static_cast<int32_t>(ul + ur);
    case kOpSub:
      return static_cast<int32_t>(ul - ur);
    case kOpMul:
      return static_cast<int32_t>(ul * ur);
    case kOpDiv:
    case kOpMod:
      if (r == 0) throw Error("0 で除算しました");
      // The one quotient that does not fit 32 bits traps like a division by zero.
      if (l == INT32_MIN && r == -1) throw Error("整数のオーバーフローです");
      return code == kOpDiv ? l / r : l % r;
    default:
      return 0;
  }
}

long double FloatOp(uint8_t code, long double l, long double r) {
  switch (code) {
    case kOpAdd:
      return CheckFinite(l + r);
    case kOpSub:
      return CheckFinite(l - r);
    case kOpMul:
      return CheckFinite(l * r);
    default:
      if (r == 0) throw Error("0 で除算しました");
      return CheckFinite(l / r);
  }
}

template <typename T>
bool Compare(uint8_t code, const T& l, const T& r) {
  switch (code) {
    case kOpEq:
      return l == r;
    case kOpGt:
      return l > r;
    case kOpLt:
      return l < r;
    case kOpGe:
      return l >= r;
    case kOpLe:
      return l <= r;
    default:
      return l != r;
  }
}

size_t OperandsNeeded(uint8_t code) {
  switch (code) {
    case kOpAssign:
      return 1;
    case kOpCall:
      return 0;
    default:
      return 2;
  }
}

}  // namespace

void TKovaParser::Evaluate(TParamCollection& store, TSysFuncMan& funcs) {
  result_.reset();
  lastError_.clear();
  Temps temps;
  auto resolve = [&](const std::string& name) -> TParamCollectionItem* {
    if (IsTempName(name))
      if (TParamCollectionItem* t = temps.Find(name)) return t;
    return store.FindItem(name);
  };

  bool failed = false;
  try {
    for (TOpeData& op : ops_) {
      BoundOperands unbind(op);
      if (op.operands.size() < OperandsNeeded(op.code)) BadOperation(op);
      // 1. Bind the reference operands.
      for (auto& o : op.operands) {
        if (!o->IsReference()) continue;
        auto* ref = static_cast<TParamVar*>(o.get());
        TParamCollectionItem* it = resolve(ref->TargetName());
        if (!it) Missing(ref->TargetName());
        const TCustomParam& v = it->Value();
        ref->Bind(it, v.IsReference() ? static_cast<const TParamVar&>(v).ElementIndex() : 0);
      }
      TCustomParam* l = op.operands.size() > 0 ? op.operands[0].get() : nullptr;
      TCustomParam* r = op.operands.size() > 1 ? op.operands[1].get() : nullptr;

      // 2. Create a temporary destination of the operation's type.
      TParamCollectionItem* dest = op.destIsTemp ? temps.Find(op.dest) : nullptr;
      if (!dest && op.destIsTemp && !store.FindItem(op.dest)) {
        int type = kTypeInt;
        switch (op.code) {
          case kOpAssign:
            type = l->TypeCode();
            break;
          case kOpAdd:
            type = l->TypeCode() == kTypeStr     ? kTypeStr
                   : l->TypeCode() == kTypeFloat ? kTypeFloat
                                                 : kTypeInt;
            break;
          case kOpSub:
          case kOpMul:
          case kOpDiv:
            type = l->TypeCode() == kTypeFloat ? kTypeFloat : kTypeInt;
            break;
          case kOpDim:
            type = kTypeVar;
            break;
          case kOpCall: {
            std::vector<TCustomParam*> args;
            for (auto& o : op.operands)
              args.push_back(o.get());
            type = funcs.ResultType(op.func, args);
            break;
          }
          case kOpEq:
          case kOpGt:
          case kOpLt:
          case kOpGe:
          case kOpLe:
          case kOpNe:
            type = kTypeFlag;
            break;
          case kOpConcat:
            type = kTypeStr;
            break;
          default:
            type = kTypeInt;
            break;
        }
        auto item = TParamCollection::NewItem(type);
        item->SetName(op.dest);
        dest = &temps.Add(std::move(item));
        if (op.code == kOpDim) {
          auto* arr = dynamic_cast<TParamVar*>(l);
          if (!arr) BadOperation(op);
          std::vector<int32_t> idx;
          for (size_t k = 1; k < op.operands.size(); ++k)
            idx.push_back(op.operands[k]->AsInt());
          TParamCollection::BindElementTo(static_cast<TParamVar&>(dest->Value()), arr->Target(),
                                          arr->TargetName(), idx);
        }
      }
      // 3. Compute.
      if (!dest) dest = resolve(op.dest);
      if (!dest) Missing(op.dest);
      TCustomParam& d = dest->Value();
      switch (op.code) {
        case kOpAssign:
          switch (d.TypeCode()) {
            case kTypeInt:
              d.SetInt(l->AsInt());
              break;
            case kTypeFloat:
              d.SetFloat(l->AsFloat());
              break;
            case kTypeFlag:
              d.SetBool(l->AsBool());
              break;
            case kTypeStr:
              d.SetStr(l->AsStr());
              break;
            default:
              break;  // a reference without a target
          }
          break;
        case kOpAdd:
        case kOpSub:
        case kOpMul:
        case kOpDiv:
          if (d.TypeCode() == kTypeFloat)
            d.SetFloat(FloatOp(op.code, l->AsFloat(), r->AsFloat()));
          else
            d.SetInt(IntOp(op.code, l->AsInt(), r->AsInt()));
          break;
        case kOpMod:
          d.SetInt(IntOp(op.code, l->AsInt(), r->AsInt()));
          break;
        case kOpOr:
          d.SetInt(l->AsInt() | r->AsInt());
          break;
        case kOpAnd:
          d.SetInt(l->AsInt() & r->AsInt());
          break;
        case kOpXor:
          d.SetInt(l->AsInt() ^ r->AsInt());
          break;
        case kOpDim:
          break;
        case kOpCall: {
          std::vector<TCustomParam*> args;
          args.reserve(op.operands.size());
          for (auto& o : op.operands)
            args.push_back(o.get());
          FuncCall call(funcs, store, *dest, op.func, std::move(args));
          funcs.Call(call);
          break;
        }
        case kOpEq:
        case kOpGt:
        case kOpLt:
        case kOpGe:
        case kOpLe:
        case kOpNe: {
          bool v;
          switch (l->TypeCode()) {
            case kTypeStr:
              v = Compare(op.code, l->AsStr(), r->AsStr());
              break;
            case kTypeFloat:
              v = Compare(op.code, l->AsFloat(), r->AsFloat());
              break;
            case kTypeFlag:
              v = Compare<int>(op.code, l->AsBool(), r->AsBool());
              break;
            default:
              v = Compare(op.code, l->AsInt(), r->AsInt());
              break;
          }
          d.SetBool(v);
          break;
        }
        case kOpShl:
          d.SetInt(static_cast<int32_t>(static_cast<uint32_t>(l->AsInt()) << (r->AsInt() & 31)));
          break;
        case kOpShr:
          d.SetInt(static_cast<int32_t>(static_cast<uint32_t>(l->AsInt()) >> (r->AsInt() & 31)));
          break;
        case kOpConcat:
          d.SetStr(l->AsStr() + r->AsStr());
          break;
        default:
          BadOperation(op);
      }
    }
  } catch (const Error& e) {
    failed = true;
    lastError_ = e.what();
  } catch (const std::bad_alloc&) {
    failed = true;
    lastError_ = "メモリが足りません";
  } catch (const std::length_error&) {
    failed = true;
    lastError_ = "メモリが足りません";
  }
  if (!failed && !ops_.empty() && ops_.back().code == kOpAssign && ops_.back().dest == "____arg") {
    if (TParamCollectionItem* arg = temps.Find("____arg")) {
      try {
        result_ = TParamCollection::CopyValueOf(*arg);
      } catch (const Error& e) {
        lastError_ = e.what();
      }
    }
  }
}

TKovaParser CompileExpression(const std::string& text) {
  TBuildKovaParser b;
  b.Compile(text);
  const Bytes bytes = b.Save();
  TKovaParser p;
  p.Load(bytes);
  return p;
}

}  // namespace kova
