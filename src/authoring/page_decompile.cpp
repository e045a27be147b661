#include "authoring/page_decompile.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "authoring/page_source.h"
#include "authoring/property_keys.h"
#include "authoring/source_syntax.h"
#include "common/cp932.h"
#include "common/json.h"
#include "expr/convert.h"
#include "expr/sysfunc.h"

namespace kova::authoring {

namespace {

const Bytes kEmptyExpr = {0, 0, 0, 0};

bool IsEmpty(const Bytes& b) {
  return b.empty() || b == kEmptyExpr;
}
const Bytes& Stored(const PageExpr& e) {
  return e.stored.empty() ? kEmptyExpr : e.stored;
}

bool IsTemp(const std::string& name) {
  return name.rfind("____", 0) == 0;
}

std::string ConstantText(const TCustomParam& o) {
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
        s += c;
      }
      return s + "\"";
    }
  }
}

// A guess at infix text for the operations; the caller keeps it only when it compiles back to
// the same bytes.
std::optional<std::string> GuessInfix(const TKovaParser& p) {
  struct Temp {
    std::string text;
    bool binary;  // an operator result: needs parentheses inside another operation
  };
  std::map<std::string, Temp> temps;
  std::string result;
  const auto& ops = p.Ops();
  for (size_t i = 0; i < ops.size(); ++i) {
    const TOpeData& op = ops[i];
    const bool copy = op.code == kOpAssign && op.operands.size() == 1;
    std::vector<std::string> args;
    for (const auto& o : op.operands) {
      if (auto* ref = dynamic_cast<const TParamVar*>(o.get())) {
        auto it = temps.find(ref->TargetName());
        if (it == temps.end())
          args.push_back(cp932::ToUtf8(ref->TargetName()));
        else if (it->second.binary && !copy)
          args.push_back("(" + it->second.text + ")");
        else
          args.push_back(it->second.text);
      } else {
        args.push_back(ConstantText(*o));
      }
    }
    std::string text;
    bool binary = false;
    if (copy) {
      text = args[0];
    } else if (op.code == kOpCall) {
      text = std::string(FunctionTable(op.func).name) + "(";
      for (size_t k = 0; k < args.size(); ++k)
        text += (k ? ", " : "") + args[k];
      text += ")";
    } else if (op.code == kOpDim && !args.empty()) {
      text = args[0] + "[";
      for (size_t k = 1; k < args.size(); ++k)
        text += (k > 1 ? ", " : "") + args[k];
      text += "]";
    } else if (args.size() == 2 && !OpName(op.code).empty()) {
      text = args[0] + " " + OpName(op.code) + " " + args[1];
      binary = true;
    } else {
      return std::nullopt;
    }
    const bool last = i + 1 == ops.size();
    auto known = temps.find(op.dest);
    if (IsTemp(op.dest) && (known == temps.end() || op.code == kOpDim)) {
      if (last)
        result = text;
      else
        temps[op.dest] = {text, binary};
    } else {
      // An assignment to a variable or to an element named before.
      if (!last) return std::nullopt;
      result = (known != temps.end() ? known->second.text : cp932::ToUtf8(op.dest)) + " = " + text;
    }
  }
  if (result.empty()) return std::nullopt;
  return result;
}

std::string Int(int64_t v) {
  return std::to_string(v);
}

class Writer {
 public:
  explicit Writer(const TPage& page) : page_(page) {}
  std::string Run();

 private:
  void Line(const std::string& s) {
    out_ += s;
    out_ += '\n';
    ++line_;
  }
  std::string Command(int index);
  void PlanProperties();
  void PlanLoops();

  const TPage& page_;
  std::string out_;
  int line_ = 1;  // the line the next Line() writes
  bool explicitTable_ = false;
  // Per command: properties to write even when empty.
  std::vector<std::vector<bool>> forceEmpty_;
  std::vector<std::optional<int32_t>> autoTarget_;  // per command: the value "auto" gives
  Bytes trueExpr_ = CompileExpressionText("TRUE");
};

void Writer::PlanProperties() {
  const int n = page_.Count();
  forceEmpty_.assign(static_cast<size_t>(n), std::vector<bool>(kPropertyCount, false));
  const PropertyTable& table = page_.Properties();
  // Implicit tables hold, per component code with commands, exactly the properties named.
  PropertyTable implicit;
  std::vector<int> firstOfCode(kCommandCodes, -1);
  std::vector<std::vector<bool>> named(kCommandCodes, std::vector<bool>(kPropertyCount, false));
  for (int i = 0; i < n; ++i) {
    const TCommand& c = page_.At(i);
    if (!c.Info().creates) continue;
    if (firstOfCode[c.GetCode()] < 0) firstOfCode[c.GetCode()] = i;
    const auto& props = *std::get<std::shared_ptr<PropExprs>>(c.Field(0));
    for (int p = 0; p < kPropertyCount; ++p) {
      if (!table.Has(c.GetCode(), p)) continue;
      implicit.Set(c.GetCode(), p);
      const auto& e = props[static_cast<size_t>(p)];
      if (e && !IsEmpty(e->stored)) named[c.GetCode()][static_cast<size_t>(p)] = true;
    }
  }
  const auto& stored = page_.StoredRecords();
  explicitTable_ = page_.StoredRecordSize() != kPropertyRecordBytes ||
                   stored.size() != static_cast<size_t>(kCommandCodes);
  for (size_t i = 0; !explicitTable_ && i < stored.size(); ++i) {
    Bytes rec(implicit.records[i].begin(), implicit.records[i].end());
    Bytes have = stored[i];
    have.resize(kPropertyRecordBytes, 0);
    if (have != rec) explicitTable_ = true;
  }
  if (explicitTable_) return;
  for (int code = 0; code < kCommandCodes; ++code) {
    if (firstOfCode[code] < 0) continue;
    for (int p = 0; p < kPropertyCount; ++p)
      if (implicit.Has(code, p) && !named[code][static_cast<size_t>(p)])
        forceEmpty_[static_cast<size_t>(firstOfCode[code])][static_cast<size_t>(p)] = true;
  }
}

void Writer::PlanLoops() {
  const int n = page_.Count();
  autoTarget_.assign(static_cast<size_t>(n), std::nullopt);
  std::vector<int> closing(static_cast<size_t>(n), -1);
  for (int w = 0; w < n; ++w) {
    if (page_.At(w).GetCode() != 31) continue;
    const int32_t d = page_.At(w).indent;
    for (int k = w + 1; k < n; ++k) {
      if (page_.At(k).indent > d) continue;
      if (page_.At(k).indent == d && page_.At(k).GetCode() == 33) closing[w] = k;
      break;
    }
  }
  for (int i = 0; i < n; ++i) {
    const int code = page_.At(i).GetCode();
    if (code == 31 && closing[i] >= 0) autoTarget_[i] = closing[i] + 1;
    if (code == 33)
      for (int w = 0; w < i; ++w)
        if (closing[w] == i) autoTarget_[i] = w;
    if (code == 34 || code == 35)
      for (int w = i - 1; w >= 0; --w)
        if (closing[w] > i) {
          autoTarget_[i] = code == 34 ? closing[w] + 1 : closing[w];
          break;
        }
  }
}

std::string Writer::Command(int index) {
  const TCommand& c = page_.At(index);
  const CommandInfo& info = c.Info();
  const int code = c.GetCode();
  std::string s;
  const bool spaces = c.indent >= 0 && c.indent <= 40;
  if (spaces) s.append(static_cast<size_t>(c.indent) * 2, ' ');
  s += info.name;
  for (size_t i = 0; i < info.fields.size(); ++i) {
    const FieldDef& f = info.fields[i];
    if (f.afterVersion >= 0 && page_.Version() <= f.afterVersion) continue;
    const std::string_view key = f.key;
    const FieldValue& v = c.Field(i);
    std::string value;
    switch (f.kind) {
      case FieldKind::kExpr: {
        const Bytes& b = Stored(std::get<PageExpr>(v));
        const bool trueDefault = key == "cond" && (code == 4 || code == 5 || code == 6 ||
                                                   code == 31 || code == 34 || code == 35);
        if (trueDefault ? b == trueExpr_ : (IsEmpty(b) && !(key == "cond" && code <= 1))) continue;
        value = ExpressionSource(b);
        break;
      }
      case FieldKind::kString: {
        const std::string& str = std::get<std::string>(v);
        if (str.empty() && !((code == 4 || code == 5) && key == "page")) continue;
        value = "\"" + QuoteCp932(str) + "\"";
        break;
      }
      case FieldKind::kI32: {
        const int32_t n = std::get<int32_t>(v);
        const bool loop = (code == 31 && key == "exit") || (code == 33 && key == "head") ||
                          ((code == 34 || code == 35) && key == "target");
        if (loop) {
          if (autoTarget_[static_cast<size_t>(index)] == std::optional<int32_t>(n)) continue;
        } else if (n == 0) {
          continue;
        }
        value = Int(n);
        break;
      }
      case FieldKind::kU8: {
        const uint8_t b = std::get<uint8_t>(v);
        static const char* const kTypes[] = {"int", "float", "bool", "str"};
        static const char* const kScopes[] = {"global", "auto", "local", "status"};
        if (code == 15 && key == "type") {
          value = b >= 1 && b <= 4 ? kTypes[b - 1] : Int(b);
        } else if (code == 15 && key == "scope") {
          value = b <= 3 ? kScopes[b] : Int(b);
        } else {
          if (b == 0) continue;
          value = b == 1 ? "true" : Int(b);
        }
        break;
      }
      case FieldKind::kBlob: {
        const Bytes& b = std::get<Bytes>(v);
        if (b.empty()) continue;
        s += " hex=\"" + HexOf(b) + "\"";
        continue;
      }
      case FieldKind::kExprList: {
        const auto& list = std::get<std::vector<PageExpr>>(v);
        if (list.empty()) continue;
        value = "(";
        for (size_t k = 0; k < list.size(); ++k)
          value += (k ? ", " : "") + ExpressionSource(Stored(list[k]));
        value += ")";
        break;
      }
      case FieldKind::kProps: {
        const auto& props = *std::get<std::shared_ptr<PropExprs>>(v);
        for (int p = 0; p < kPropertyCount; ++p) {
          if (!page_.Properties().Has(code, p)) continue;
          const auto& e = props[static_cast<size_t>(p)];
          const Bytes& b = e ? Stored(*e) : kEmptyExpr;
          if (IsEmpty(b) && !forceEmpty_[static_cast<size_t>(index)][static_cast<size_t>(p)])
            continue;
          s += " " + PropertyKeys::Instance().KeyOf(p) + "=" + ExpressionSource(b);
        }
        continue;
      }
    }
    s += " " + std::string(key) + "=" + value;
  }
  std::string opts;
  if (c.disabled == 1) opts += " off";
  if (c.disabled > 1) opts += " disabled=" + Int(c.disabled);
  if (c.runOn == 0) opts += " yield";
  if (c.runOn > 1) opts += " runon=" + Int(c.runOn);
  if (c.line != line_) opts += " line=" + Int(c.line);
  if (c.codeByte != code) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", c.codeByte);
    opts += " code=" + std::string(buf);
  }
  if (!spaces) opts += " indent=" + Int(c.indent);
  if (!opts.empty()) s += " ||" + opts;
  return s;
}

std::string Writer::Run() {
  if (page_.Version() > TPage::kMaxVersion)
    throw Error("page version " + Int(page_.Version()) +
                " is newer than 110; the player loads it as an empty page");
  PlanProperties();
  PlanLoops();
  static const char* const kTypes[] = {"int", "float", "bool", "str"};
  const uint8_t rt = page_.ReturnType();
  Line(".ksb version=" + Int(page_.Version()) +
       " return=" + (rt >= 1 && rt <= 4 ? kTypes[rt - 1] : Int(rt)));
  if (explicitTable_) {
    const auto& stored = page_.StoredRecords();
    Line(".table count=" + Int(static_cast<int64_t>(stored.size())) +
         " size=" + Int(page_.StoredRecordSize()));
    for (size_t i = 0; i < stored.size(); ++i) {
      Bytes rec = stored[i];
      while (!rec.empty() && rec.back() == 0)
        rec.pop_back();
      if (!rec.empty())
        Line(".table record=" + Int(static_cast<int64_t>(i)) + " hex=\"" + HexOf(rec) + "\"");
    }
  }
  for (int i = 0; i < page_.Count(); ++i)
    Line(Command(i));
  return out_;
}

void JsonString(std::string& out, std::string_view utf8) {
  AppendJsonString(out, utf8);
}

}  // namespace

std::string ExpressionSource(const Bytes& stored) {
  if (IsEmpty(stored)) return "{}";
  try {
    TKovaParser p;
    p.Load(stored);
    if (auto text = GuessInfix(p)) {
      auto conv = cp932::FromUtf8(*text);
      const bool plain = std::none_of(text->begin(), text->end(), [](char ch) {
        return static_cast<unsigned char>(ch) < 0x20 || ch == '{' || ch == '}';
      });
      // The source scanner must find the same text between the braces.
      const std::string braced = "{" + *text + "}";
      LineScanner scan(braced);
      bool scans = false;
      try {
        scans = plain && scan.Braced() == *text && scan.AtEnd();
      } catch (const Error&) {
      }
      if (conv && scans && CompileExpressionText(*conv) == stored) return "{" + *text + "}";
    }
  } catch (const Error&) {
    // Not reproducible from text: the raw form below.
  }
  return "[" + HexOf(stored) + "]";
}

std::string DecompilePage(const TPage& page) {
  return Writer(page).Run();
}

std::string DumpPageJson(const TPage& page) {
  std::string o = "{\n";
  const auto& stored = page.StoredRecords();
  size_t off = 13;
  o += "  \"version\": " + Int(page.Version()) + ",\n";
  o += "  \"returnType\": " + Int(page.ReturnType()) + ",\n";
  o += "  \"table\": {\"offset\": 5, \"count\": " + Int(static_cast<int64_t>(stored.size())) +
       ", \"size\": " + Int(page.StoredRecordSize()) + ", \"records\": [";
  bool first = true;
  for (size_t i = 0; i < stored.size(); ++i) {
    Bytes rec = stored[i];
    rec.resize(page.StoredRecordSize(), 0);
    if (std::any_of(rec.begin(), rec.end(), [](uint8_t b) { return b != 0; })) {
      o += std::string(first ? "" : ", ") + "{\"record\": " + Int(static_cast<int64_t>(i)) +
           ", \"offset\": " + Int(static_cast<int64_t>(off)) + ", \"hex\": \"" + HexOf(rec) + "\"}";
      first = false;
    }
    off += page.StoredRecordSize();
  }
  o += "]},\n";
  o += "  \"commandCount\": {\"offset\": " + Int(static_cast<int64_t>(off)) +
       ", \"value\": " + Int(page.Count()) + "},\n";
  off += 4;
  o += "  \"commands\": [";
  for (int i = 0; i < page.Count(); ++i) {
    const TCommand& c = page.At(i);
    ByteWriter w;
    page.WriteCommand(w, c);
    o += std::string(i ? "," : "") + "\n    {\"index\": " + Int(i) +
         ", \"offset\": " + Int(static_cast<int64_t>(off)) +
         ", \"size\": " + Int(static_cast<int64_t>(w.Size())) + ", \"code\": " + Int(c.GetCode()) +
         ", \"codeByte\": " + Int(c.codeByte) + ", \"name\": \"" + c.Info().name +
         "\", \"indent\": " + Int(c.indent) + ", \"disabled\": " + Int(c.disabled) +
         ", \"runOn\": " + Int(c.runOn) + ", \"line\": " + Int(c.line) + ", \"fields\": [";
    size_t at = off + 11;
    bool firstField = true;
    auto field = [&](std::string_view key, const std::string& value, size_t size) {
      o += std::string(firstField ? "" : ", ") + "{\"key\": ";
      JsonString(o, key);
      o += ", \"offset\": " + Int(static_cast<int64_t>(at)) + ", \"value\": " + value + "}";
      at += size;
      firstField = false;
    };
    auto hex = [](const Bytes& b) { return "\"" + HexOf(b) + "\""; };
    const auto& defs = c.Info().fields;
    for (size_t k = 0; k < defs.size(); ++k) {
      const FieldDef& f = defs[k];
      if (f.afterVersion >= 0 && page.Version() <= f.afterVersion) continue;
      const FieldValue& v = c.Field(k);
      switch (f.kind) {
        case FieldKind::kExpr: {
          const Bytes& b = Stored(std::get<PageExpr>(v));
          field(f.key, hex(b), b.size());
          break;
        }
        case FieldKind::kString: {
          const std::string& str = std::get<std::string>(v);
          std::string js;
          JsonString(js, cp932::ToUtf8(str));
          field(f.key, js, 4 + str.size());
          break;
        }
        case FieldKind::kI32:
          field(f.key, Int(std::get<int32_t>(v)), 4);
          break;
        case FieldKind::kU8:
          field(f.key, Int(std::get<uint8_t>(v)), 1);
          break;
        case FieldKind::kBlob: {
          const Bytes& b = std::get<Bytes>(v);
          field(f.key, hex(b), 4 + b.size());
          break;
        }
        case FieldKind::kExprList: {
          const auto& list = std::get<std::vector<PageExpr>>(v);
          std::string arr = "[";
          size_t size = 4;
          for (size_t e = 0; e < list.size(); ++e) {
            arr += (e ? ", " : "") + hex(Stored(list[e]));
            size += Stored(list[e]).size();
          }
          field(f.key, arr + "]", size);
          break;
        }
        case FieldKind::kProps: {
          const auto& props = *std::get<std::shared_ptr<PropExprs>>(v);
          for (int p = 0; p < kPropertyCount; ++p) {
            if (!page.Properties().Has(c.GetCode(), p)) continue;
            const auto& e = props[static_cast<size_t>(p)];
            const Bytes& b = e ? Stored(*e) : kEmptyExpr;
            field(PropertyKeys::Instance().KeyOf(p), hex(b), b.size());
          }
          break;
        }
      }
    }
    o += "]}";
    off += w.Size();
  }
  o += "\n  ]\n}\n";
  return o;
}

}  // namespace kova::authoring
