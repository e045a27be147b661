#include "authoring/page_source.h"

#include <algorithm>
#include <map>
#include <set>

#include "authoring/property_keys.h"
#include "authoring/source_syntax.h"
#include "common/cp932.h"

namespace kova::authoring {

namespace {

const Bytes kEmptyExpr = {0, 0, 0, 0};

PageExpr MakeExpr(const Bytes& stored) {
  ByteReader r(stored, "expression");
  PageExpr e = ReadPageExpr(r);
  if (!r.AtEnd()) r.Fail("bytes after the expression's operations");
  return e;
}

// Commands whose missing condition means "always" (an empty condition counts as false).
bool ConditionDefaultsTrue(int code) {
  return code == 4 || code == 5 || code == 6 || code == 31 || code == 34 || code == 35;
}

bool IsLoopTarget(int code, std::string_view key) {
  return (code == 31 && key == "exit") || (code == 33 && key == "head") ||
         ((code == 34 || code == 35) && key == "target");
}

bool IsLabelTarget(int code, std::string_view key) {
  return (code == 4 || code == 5 || code == 40 || code == 41) && key == "index";
}

const std::map<std::string, uint8_t, std::less<>> kTypes = {
    {"int", 1}, {"float", 2}, {"bool", 3}, {"str", 4}};
const std::map<std::string, uint8_t, std::less<>> kScopes = {
    {"global", 0}, {"auto", 1}, {"local", 2}, {"status", 3}};
const std::map<std::string, uint8_t, std::less<>> kFlags = {{"false", 0}, {"true", 1}};

const std::map<std::string, uint8_t, std::less<>>* ByteNames(int code, std::string_view key) {
  if (code == 15 && key == "type") return &kTypes;
  if (code == 15 && key == "scope") return &kScopes;
  return &kFlags;
}

}  // namespace

Bytes CompileExpressionText(const std::string& text) {
  if (text.find_first_not_of(" \t") == std::string::npos) return kEmptyExpr;
  TBuildKovaParser b;
  b.Compile(text);
  return b.Save();
}

struct PageCompiler::Unit {
  struct LabelRef {
    int command;
    size_t field;
    std::string page;   // CP932
    std::string label;  // CP932
    int line;
  };
  std::string file;
  std::unique_ptr<TPage> page;
  std::vector<LabelRef> labels;
};

namespace {

struct PendingLoop {
  int command;
  size_t field;
  int line;
};

class PageParser {
 public:
  PageParser(std::string_view src, std::string pageName, std::string file)
      : src_(src), file_(std::move(file)), page_(std::make_unique<TPage>(std::move(pageName))) {}

  std::unique_ptr<TPage> Run(std::vector<PageCompiler::Unit::LabelRef>& labels);

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw SourceError(file_, line_, what); }
  void Directive(LineScanner& s);
  void Command(LineScanner& s, int indent);
  void Options(LineScanner& s, TCommand& c, bool& indentSet);
  PageExpr Expr(LineScanner& s);
  int64_t Integer(LineScanner& s, int64_t lo, int64_t hi, std::string_view what);
  void ResolveLoops();
  void BuildTable();

  std::string_view src_;
  std::string file_;
  int line_ = 0;
  std::unique_ptr<TPage> page_;
  bool headerSeen_ = false;
  bool commandSeen_ = false;
  // Explicit property table: record count, size and the records given.
  bool explicitTable_ = false;
  std::vector<Bytes> records_;
  uint32_t recordSize_ = kPropertyRecordBytes;
  std::vector<int> commandLines_;
  // Properties each command names (component commands only).
  std::vector<std::vector<int>> named_;
  std::vector<PendingLoop> loops_;
  std::vector<PageCompiler::Unit::LabelRef>* labels_ = nullptr;
};

int64_t PageParser::Integer(LineScanner& s, int64_t lo, int64_t hi, std::string_view what) {
  const std::string word = s.Bare();
  auto v = ParseInteger(word, lo, hi);
  if (!v)
    Fail(std::string(what) + " must be an integer from " + std::to_string(lo) + " to " +
         std::to_string(hi) + ", not '" + word + "'");
  return *v;
}

PageExpr PageParser::Expr(LineScanner& s) {
  const char c = s.Peek();
  try {
    if (c == '{') {
      const std::string text = s.Braced();
      auto conv = cp932::FromUtf8(text);
      if (!conv) Fail("expression cannot be written in CP932: " + text);
      Bytes stored;
      try {
        stored = CompileExpressionText(*conv);
      } catch (const SourceError&) {
        throw;
      } catch (const Error& e) {
        Fail("expression {" + text + "}: " + e.what());
      }
      return MakeExpr(stored);
    }
    if (c == '[') {
      const Bytes stored = ParseHexBytes(s.Bracketed());
      try {
        return MakeExpr(stored);
      } catch (const FormatError& e) {
        Fail("raw expression is not a valid stored block: " + e.What() + " at byte " +
             std::to_string(e.Offset()));
      }
    }
  } catch (const SourceError&) {
    throw;
  } catch (const Error& e) {
    Fail(e.what());
  }
  Fail("an expression {...} or a raw block [...] was expected");
}

void PageParser::Directive(LineScanner& s) {
  const std::string name = s.Bare();
  if (name == ".ksb") {
    if (headerSeen_ || commandSeen_ || explicitTable_)
      Fail(".ksb must be the first line that is not a comment, and come once");
    headerSeen_ = true;
    std::set<std::string> seen;
    while (!s.AtEnd()) {
      const std::string key = s.Word();
      if (key.empty() || !s.Take("=")) Fail("key=value expected after .ksb");
      if (!seen.insert(key).second) Fail("duplicate key '" + key + "'");
      if (key == "version") {
        page_->SetVersion(
            static_cast<int32_t>(Integer(s, TPage::kMinVersion, TPage::kMaxVersion, "version")));
      } else if (key == "return") {
        const std::string word = s.Bare();
        auto it = kTypes.find(word);
        if (it != kTypes.end()) {
          page_->SetReturnType(it->second);
        } else if (auto v = ParseInteger(word, 0, 255)) {
          page_->SetReturnType(static_cast<uint8_t>(*v));
        } else {
          Fail("return takes int, float, bool, str or a number 0..255, not '" + word + "'");
        }
      } else {
        Fail("unknown key '" + key + "' (version or return)");
      }
    }
    return;
  }
  if (name == ".table") {
    if (commandSeen_) Fail(".table lines come before the commands");
    std::map<std::string, std::string> kv;
    uint32_t count = 0;
    bool shape = false;
    while (!s.AtEnd()) {
      const std::string key = s.Word();
      if (key.empty() || !s.Take("=")) Fail("key=value expected after .table");
      if (kv.count(key)) Fail("duplicate key '" + key + "'");
      if (key == "count") {
        count = static_cast<uint32_t>(Integer(s, 0, 0x10000, "count"));
        shape = true;
      } else if (key == "size") {
        recordSize_ = static_cast<uint32_t>(Integer(s, 0, UINT32_MAX, "size"));
        shape = true;
      } else if (key == "record") {
        kv[key] = s.Bare();
        continue;
      } else if (key == "hex") {
        try {
          kv[key] = s.QuotedCp932();
        } catch (const Error& e) {
          Fail(e.what());
        }
        continue;
      } else {
        Fail("unknown key '" + key + "' (count, size, record or hex)");
      }
      kv[key] = "";
    }
    if (shape) {
      if (explicitTable_) Fail("the table's shape is given twice");
      if (kv.count("record") || kv.count("hex"))
        Fail("give the shape (count, size) and the records on separate .table lines");
      if (!kv.count("count") || !kv.count("size")) Fail(".table needs both count and size");
      // The size of an empty table is stored but never used, so any value is allowed there.
      if (uint64_t{count} * recordSize_ > (uint64_t{1} << 26)) Fail("the table is too large");
      explicitTable_ = true;
      records_.assign(count, Bytes());  // shorter records are written padded with zeros
      return;
    }
    if (!explicitTable_) Fail(".table count=N size=S must come before the records");
    if (!kv.count("record") || !kv.count("hex")) Fail(".table needs record=I and hex=\"...\"");
    auto idx = ParseInteger(kv["record"], 0, static_cast<int64_t>(records_.size()) - 1);
    if (!idx) Fail("record must be from 0 to " + std::to_string(records_.size()) + " - 1");
    Bytes bytes;
    try {
      bytes = ParseHexBytes(kv["hex"]);
    } catch (const Error& e) {
      Fail(std::string("hex: ") + e.what());
    }
    if (bytes.size() > recordSize_)
      Fail("record is longer than the record size " + std::to_string(recordSize_));
    records_[static_cast<size_t>(*idx)] = std::move(bytes);
    return;
  }
  Fail("unknown directive '" + name + "' (.ksb or .table)");
}

void PageParser::Options(LineScanner& s, TCommand& c, bool& indentSet) {
  std::set<std::string> seen;
  while (!s.AtEnd()) {
    const std::string word = s.Word();
    if (word.empty()) Fail("option expected after ||, not '" + std::string(s.Rest()) + "'");
    if (!seen.insert(word).second) Fail("duplicate option '" + word + "'");
    if (word == "off") {
      if (seen.count("disabled")) Fail("off and disabled= together");
      c.disabled = 1;
      continue;
    }
    if (word == "yield") {
      if (seen.count("runon")) Fail("yield and runon= together");
      c.runOn = 0;
      continue;
    }
    if (!s.Take("=")) Fail("unknown option '" + word + "' (off, yield, line=, code=, indent=)");
    if (word == "line") {
      c.line = static_cast<int32_t>(Integer(s, INT32_MIN, INT32_MAX, "line"));
    } else if (word == "indent") {
      c.indent = static_cast<int32_t>(Integer(s, INT32_MIN, INT32_MAX, "indent"));
      indentSet = true;
    } else if (word == "code") {
      const int64_t v = Integer(s, 0, 255, "code");
      if ((v & 0x7F) != c.GetCode())
        Fail("code=" + std::to_string(v) + " does not select " + c.Info().name);
      c.codeByte = static_cast<uint8_t>(v);
    } else if (word == "disabled") {
      if (seen.count("off")) Fail("off and disabled= together");
      c.disabled = static_cast<uint8_t>(Integer(s, 0, 255, "disabled"));
    } else if (word == "runon") {
      if (seen.count("yield")) Fail("yield and runon= together");
      c.runOn = static_cast<uint8_t>(Integer(s, 0, 255, "runon"));
    } else {
      Fail("unknown option '" + word + "' (off, yield, line=, code=, indent=)");
    }
  }
}

void PageParser::Command(LineScanner& s, int indent) {
  commandSeen_ = true;
  const std::string mnemonic = s.Word();
  const CommandInfo* info = CommandByName(mnemonic);
  if (!info)
    Fail("unknown command '" + (mnemonic.empty() ? std::string(s.Rest()) : mnemonic) + "'");
  if (mnemonic != info->name) Fail("command '" + mnemonic + "' is written " + info->name);
  auto cmd = CommandFactory::Instance().Make(info->code, *page_);
  TCommand& c = *cmd;
  const int index = page_->Count();
  c.codeByte = info->code;
  c.indent = indent;
  c.line = line_;
  c.disabled = 0;
  c.runOn = 1;
  const int code = info->code;
  const int32_t version = page_->Version();

  // Defaults first; keys replace them.
  std::vector<bool> given(info->fields.size(), false);
  std::vector<int> named;
  auto props = std::make_shared<PropExprs>();
  c.fields.clear();
  for (const FieldDef& f : info->fields) {
    switch (f.kind) {
      case FieldKind::kExpr:
        c.fields.emplace_back(PageExpr{});
        break;
      case FieldKind::kString:
        c.fields.emplace_back(std::string());
        break;
      case FieldKind::kI32:
        c.fields.emplace_back(int32_t{0});
        break;
      case FieldKind::kU8:
        c.fields.emplace_back(uint8_t{0});
        break;
      case FieldKind::kBlob:
        c.fields.emplace_back(Bytes());
        break;
      case FieldKind::kExprList:
        c.fields.emplace_back(std::vector<PageExpr>());
        break;
      case FieldKind::kProps:
        c.fields.emplace_back(props);
        break;
    }
  }
  std::set<std::string> seen;
  bool indentSet = false;
  while (!s.AtEnd()) {
    if (s.Take("||")) {
      Options(s, c, indentSet);
      break;
    }
    const std::string key = s.Word();
    if (key.empty() || !s.Take("="))
      Fail("key=value expected, not '" + std::string(s.Rest()) + "'");
    if (!seen.insert(key).second) Fail("duplicate key '" + key + "'");
    // The schema's field of this key.
    size_t fi = info->fields.size();
    for (size_t i = 0; i < info->fields.size(); ++i) {
      const FieldDef& f = info->fields[i];
      if (f.kind == FieldKind::kProps) continue;
      if (key == f.key || (f.kind == FieldKind::kBlob && key == "hex")) fi = i;
    }
    if (fi == info->fields.size()) {
      if (info->creates) {
        if (auto p = PropertyKeys::Instance().Find(key)) {
          if ((*props)[static_cast<size_t>(*p)])
            Fail("property " + PropertyKeys::Instance().KeyOf(*p) + " is given twice");
          (*props)[static_cast<size_t>(*p)] = Expr(s);
          named.push_back(*p);
          continue;
        }
      }
      Fail("unknown key '" + key + "' for " + info->name);
    }
    const FieldDef& f = info->fields[fi];
    if (f.afterVersion >= 0 && version <= f.afterVersion)
      Fail("key '" + key + "' is stored only from version " + std::to_string(f.afterVersion + 1) +
           " on (this page is version " + std::to_string(version) + ")");
    given[fi] = true;
    FieldValue& v = c.fields[fi];
    switch (f.kind) {
      case FieldKind::kExpr:
        v = Expr(s);
        break;
      case FieldKind::kString:
        try {
          v = s.QuotedCp932();
        } catch (const Error& e) {
          Fail(key + ": " + e.what());
        }
        break;
      case FieldKind::kI32: {
        const char p = s.Peek();
        if (p == ':' && IsLabelTarget(code, key)) {
          s.Take(":");
          std::string label;
          try {
            label = s.Peek() == '"' ? s.QuotedCp932() : [&] {
              auto conv = cp932::FromUtf8(s.Bare());
              if (!conv) throw Error("label cannot be written in CP932");
              return *conv;
            }();
          } catch (const Error& e) {
            Fail(e.what());
          }
          if (label.empty()) Fail("empty label after ':'");
          labels_->push_back({index, fi, "", label, line_});
          v = int32_t{0};
        } else if (IsLoopTarget(code, key) && s.Take("auto")) {
          loops_.push_back({index, fi, line_});
          v = int32_t{0};
        } else {
          v = static_cast<int32_t>(Integer(s, INT32_MIN, UINT32_MAX, key));
        }
        break;
      }
      case FieldKind::kU8: {
        const std::string word = s.Bare();
        const auto* names = ByteNames(code, key);
        auto it = names->find(word);
        if (it != names->end()) {
          v = it->second;
        } else if (auto n = ParseInteger(word, 0, 255)) {
          v = static_cast<uint8_t>(*n);
        } else {
          std::string list;
          for (const auto& [n2, b] : *names)
            list += n2 + ", ";
          Fail(key + " takes " + list + "or a number 0..255, not '" + word + "'");
        }
        break;
      }
      case FieldKind::kBlob:
        if (key != "hex") {
          if (s.Take("<<"))
            Fail(
                "text=<<END markup is not available yet; write the stored document as hex=\"...\"");
          Fail("the text block is written as hex=\"...\" (the stored document in hex)");
        }
        try {
          const std::string quoted = s.QuotedCp932();
          v = ParseHexBytes(quoted);
        } catch (const Error& e) {
          Fail(std::string("hex: ") + e.what());
        }
        break;
      case FieldKind::kExprList: {
        if (!s.Take("(")) Fail(key + " takes a list: ({...}, {...})");
        std::vector<PageExpr> list;
        if (!s.Take(")")) {
          for (;;) {
            list.push_back(Expr(s));
            if (s.Take(")")) break;
            if (!s.Take(",")) Fail("',' or ')' expected in the list");
          }
        }
        v = std::move(list);
        break;
      }
      case FieldKind::kProps:
        break;
    }
  }
  if (!indentSet && indent < 0) Fail("indent by two spaces per level (or give || indent=N)");

  // Defaults that depend on the command.
  for (size_t i = 0; i < info->fields.size(); ++i) {
    const FieldDef& f = info->fields[i];
    if (given[i]) continue;
    const bool absent = f.afterVersion >= 0 && version <= f.afterVersion;
    if (f.kind == FieldKind::kExpr) {
      if (absent) continue;
      const std::string_view key = f.key;
      if (key == "cond" && (code == 0 || code == 1))
        Fail(std::string(info->name) + " needs cond={...}");
      c.fields[i] =
          MakeExpr(key == "cond" && ConditionDefaultsTrue(code) ? CompileExpressionText("TRUE")
                                                                : kEmptyExpr);
    } else if (f.kind == FieldKind::kString && (code == 4 || code == 5) &&
               std::string_view(f.key) == "page") {
      c.fields[i] = page_->Name();
    } else if (f.kind == FieldKind::kI32 && IsLoopTarget(code, f.key) && !absent) {
      loops_.push_back({index, i, line_});
    } else if (f.kind == FieldKind::kU8 && code == 15 && std::string_view(f.key) == "type") {
      c.fields[i] = uint8_t{1};
    }
  }
  // A label reference without a page names a page given by key (or the page itself).
  for (auto& ref : *labels_)
    if (ref.command == index) ref.page = c.StrField(0);

  commandLines_.push_back(line_);
  named_.push_back(std::move(named));
  page_->Add(std::move(cmd));
}

void PageParser::ResolveLoops() {
  const int n = page_->Count();
  // The WhileLoop closing each While: the first later command not deeper than the While.
  std::vector<int> closing(static_cast<size_t>(n), -1);
  for (int w = 0; w < n; ++w) {
    if (page_->At(w).GetCode() != 31) continue;
    const int32_t d = page_->At(w).indent;
    for (int k = w + 1; k < n; ++k) {
      if (page_->At(k).indent > d) continue;
      if (page_->At(k).indent == d && page_->At(k).GetCode() == 33) closing[w] = k;
      break;
    }
  }
  auto innermost = [&](int at) {
    for (int w = at - 1; w >= 0; --w)
      if (closing[w] > at) return w;
    return -1;
  };
  for (const PendingLoop& p : loops_) {
    line_ = p.line;
    TCommand& c = page_->At(p.command);
    int32_t target = 0;
    switch (c.GetCode()) {
      case 31:
        if (closing[p.command] < 0)
          Fail("While without a WhileLoop at the same indent to close it (exit=auto)");
        target = closing[p.command] + 1;
        break;
      case 33: {
        int head = -1;
        for (int w = 0; w < p.command; ++w)
          if (closing[w] == p.command) head = w;
        if (head < 0) Fail("WhileLoop without a While at the same indent before it (head=auto)");
        target = head;
        break;
      }
      default: {
        const int w = innermost(p.command);
        if (w < 0) Fail(std::string(c.Info().name) + " outside a While loop (target=auto)");
        target = c.GetCode() == 34 ? closing[w] + 1 : closing[w];
        break;
      }
    }
    c.fields[p.field] = target;
  }
}

void PageParser::BuildTable() {
  PropertyTable& table = page_->Properties();
  if (explicitTable_) {
    page_->SetStoredRecords(records_, recordSize_);
  } else {
    table = {};
    for (int i = 0; i < page_->Count(); ++i)
      for (int p : named_[static_cast<size_t>(i)])
        table.Set(page_->At(i).GetCode(), p);
    page_->StoreTable();
  }
  const PageExpr empty = MakeExpr(kEmptyExpr);
  for (int i = 0; i < page_->Count(); ++i) {
    TCommand& c = page_->At(i);
    if (!c.Info().creates) continue;
    auto& props = *std::get<std::shared_ptr<PropExprs>>(c.fields[0]);
    for (int p = 0; p < kPropertyCount; ++p) {
      auto& slot = props[static_cast<size_t>(p)];
      if (table.Has(c.GetCode(), p)) {
        if (!slot) slot = empty;
      } else if (slot) {
        line_ = commandLines_[static_cast<size_t>(i)];
        Fail("property " + PropertyKeys::Instance().KeyOf(p) + " of " + c.Info().name +
             " has no bit in the page's .table");
      }
    }
  }
}

std::unique_ptr<TPage> PageParser::Run(std::vector<PageCompiler::Unit::LabelRef>& labels) {
  labels_ = &labels;
  size_t pos = 0;
  while (pos <= src_.size()) {
    size_t end = src_.find('\n', pos);
    if (end == std::string_view::npos) end = src_.size();
    std::string_view line = src_.substr(pos, end - pos);
    pos = end + 1;
    ++line_;
    if (line_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t spaces = 0;
    while (spaces < line.size() && line[spaces] == ' ')
      ++spaces;
    const std::string_view body = line.substr(spaces);
    if (body.empty() || body[0] == '#') {
      if (end == src_.size()) break;
      continue;
    }
    if (body[0] == '\t') Fail("indent with spaces (two per level), not tabs");
    LineScanner s(body);
    try {
      if (body[0] == '.') {
        Directive(s);
      } else {
        Command(s, spaces % 2 ? -1 : static_cast<int>(spaces / 2));
      }
    } catch (const SourceError&) {
      throw;
    } catch (const Error& e) {
      Fail(e.what());
    }
    if (end == src_.size()) break;
  }
  ResolveLoops();
  BuildTable();
  return std::move(page_);
}

}  // namespace

PageCompiler::PageCompiler() = default;
PageCompiler::~PageCompiler() = default;

void PageCompiler::Add(std::string_view source, std::string pageName, std::string file) {
  auto unit = std::make_unique<Unit>();
  unit->file = file;
  PageParser parser(source, std::move(pageName), std::move(file));
  unit->page = parser.Run(unit->labels);
  units_.push_back(std::move(unit));
}

std::vector<std::unique_ptr<TPage>> PageCompiler::Finish() {
  std::map<std::string, TPage*> byName;
  for (auto& u : units_)
    byName.emplace(u->page->Name(), u->page.get());
  for (auto& u : units_) {
    for (const auto& ref : u->labels) {
      auto it = byName.find(ref.page);
      if (it == byName.end())
        throw SourceError(u->file, ref.line,
                          "index=:" + cp932::ToUtf8(ref.label) + " names page \"" +
                              cp932::ToUtf8(ref.page) + "\", which is not part of this build");
      const TPage& target = *it->second;
      int found = -1;
      for (int i = 0; i < target.Count() && found < 0; ++i)
        if (target.At(i).GetCode() == 3 && target.At(i).StrField(0) == ref.label) found = i;
      if (found < 0)
        throw SourceError(u->file, ref.line,
                          "page \"" + cp932::ToUtf8(ref.page) + "\" has no label \"" +
                              cp932::ToUtf8(ref.label) + "\"");
      u->page->At(ref.command).fields[ref.field] = int32_t{found};
    }
  }
  std::vector<std::unique_ptr<TPage>> pages;
  for (auto& u : units_)
    pages.push_back(std::move(u->page));
  units_.clear();
  return pages;
}

std::unique_ptr<TPage> CompilePageSource(std::string_view source, std::string pageName,
                                         std::string file) {
  PageCompiler c;
  c.Add(source, std::move(pageName), std::move(file));
  return std::move(c.Finish().front());
}

}  // namespace kova::authoring
