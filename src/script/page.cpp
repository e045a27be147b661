#include "script/page.h"

#include <algorithm>

#include "common/cp932.h"

namespace kova {

// ---- expressions and handler names ----

PageExpr ReadPageExpr(ByteReader& r) {
  const size_t start = r.Pos();
  PageExpr e;
  e.parser = std::make_shared<TKovaParser>();
  e.parser->LoadFromStream(r);
  const auto bytes = r.ReadSince(start);
  e.stored.assign(bytes.begin(), bytes.end());
  return e;
}

HandlerName SplitHandlerName(std::string_view h) {
  // The label colon must come after the last '.' and '\', so "c:\x" style names keep theirs.
  const auto last = [&](char ch) {
    const size_t p = cp932::FindLastChar(h, ch);
    return p == std::string_view::npos ? -1L : static_cast<long>(p);
  };
  const long limit = std::max(last('.'), last('\\'));
  size_t colon = std::string_view::npos;
  for (size_t i = 0; i < h.size(); i += cp932::CharLen(h, i))
    if (h[i] == ':' && cp932::CharLen(h, i) == 1 && static_cast<long>(i) > limit) colon = i;
  HandlerName n;
  std::string file(colon == std::string_view::npos ? h : h.substr(0, colon));
  if (colon != std::string_view::npos) n.label = std::string(h.substr(colon + 1));
  // The extension, when there is one after the last separator, becomes "ksb".
  const size_t fdot = cp932::FindLastChar(file, '.');
  const size_t fslash = cp932::FindLastChar(file, '\\');
  if (fdot != std::string::npos && (fslash == std::string::npos || fdot > fslash))
    file = file.substr(0, fdot + 1) + "ksb";
  else
    file += ".ksb";
  n.page = std::move(file);
  return n;
}

// ---- factory ----

// commands.cpp
void RegisterControlCommands(CommandFactory& f);
std::unique_ptr<TCommand> MakeUnavailableCommand(TPage& page, const CommandInfo& info);

CommandFactory& CommandFactory::Instance() {
  static CommandFactory* f = [] {
    auto* made = new CommandFactory();
    RegisterControlCommands(*made);
    return made;
  }();
  return *f;
}

void CommandFactory::Register(int code, Maker maker) {
  if (code >= 0 && code < kCommandCodes) makers_[static_cast<size_t>(code)] = std::move(maker);
}

bool CommandFactory::Has(int code) const {
  return code >= 0 && code < kCommandCodes && makers_[static_cast<size_t>(code)] != nullptr;
}

std::unique_ptr<TCommand> CommandFactory::Make(int code, TPage& page) const {
  const CommandInfo* info = CommandByCode(code);
  if (!info) throw Error("不正なコマンド");
  if (Has(code)) return makers_[static_cast<size_t>(code)](page, *info);
  return MakeUnavailableCommand(page, *info);
}

// ---- page ----

void TPage::SetStoredRecords(std::vector<Bytes> records, uint32_t size) {
  stored_ = std::move(records);
  storedSize_ = size;
  props_ = {};
  for (size_t i = 0; i < stored_.size() && i < kCommandCodes; ++i)
    std::copy_n(stored_[i].begin(), std::min<size_t>(stored_[i].size(), kPropertyRecordBytes),
                props_.records[i].begin());
}

void TPage::StoreTable() {
  std::vector<Bytes> records;
  for (const auto& rec : props_.records)
    records.emplace_back(rec.begin(), rec.end());
  stored_ = std::move(records);
  storedSize_ = kPropertyRecordBytes;
}

void TPage::Load(std::span<const uint8_t> data) {
  commands_.clear();
  ByteReader r(data, cp932::ToUtf8(name_));
  version_ = r.I32();
  if (version_ > kMaxVersion) return;  // a newer tool's page: left empty, as the player does
  if (version_ < kMinVersion) throw Error(cp932::ToUtf8(name_) + "\nリビルドしてください");
  returnType_ = r.U8();
  const uint32_t n = r.U32();
  const uint32_t size = r.U32();
  if (size > 0) r.Count(n, size, "property record");
  if (n > 0x10000) r.Fail("too many property records");
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < n; ++i) {
    auto rec = r.Span(size);
    records.emplace_back(rec.begin(), rec.end());
  }
  SetStoredRecords(std::move(records), size);
  const uint32_t m = r.Count(r.U32(), 11, "command");
  commands_.reserve(m);
  for (uint32_t i = 0; i < m; ++i)
    commands_.push_back(ReadCommand(r));
  if (!r.AtEnd()) r.Fail("unexpected bytes after the last command");
}

std::unique_ptr<TCommand> TPage::ReadCommand(ByteReader& r) {
  const size_t at = r.Pos();
  const uint8_t codeByte = r.U8();
  const int code = codeByte & 0x7F;
  if (!CommandByCode(code)) r.FailAt(at, "不正なコマンド (" + std::to_string(code) + ")");
  auto c = CommandFactory::Instance().Make(code, *this);
  c->codeByte = codeByte;
  c->indent = r.I32();
  c->disabled = r.U8();
  c->runOn = r.U8();
  c->line = r.I32();
  for (const FieldDef& f : c->Info().fields) {
    if (f.afterVersion >= 0 && version_ <= f.afterVersion) {
      // Absent in this version: an empty value of the kind keeps positions stable.
      if (f.kind == FieldKind::kExpr)
        c->fields.emplace_back(PageExpr{});
      else
        c->fields.emplace_back(int32_t{0});
      continue;
    }
    switch (f.kind) {
      case FieldKind::kExpr:
        c->fields.emplace_back(ReadPageExpr(r));
        break;
      case FieldKind::kString:
        c->fields.emplace_back(r.Str(r.U32()));
        break;
      case FieldKind::kI32:
        c->fields.emplace_back(r.I32());
        break;
      case FieldKind::kU8:
        c->fields.emplace_back(r.U8());
        break;
      case FieldKind::kBlob: {
        auto b = r.Span(r.U32());
        c->fields.emplace_back(Bytes(b.begin(), b.end()));
        break;
      }
      case FieldKind::kExprList: {
        const uint32_t k = r.Count(r.U32(), 4, "expression");
        std::vector<PageExpr> list;
        for (uint32_t i = 0; i < k; ++i)
          list.push_back(ReadPageExpr(r));
        c->fields.emplace_back(std::move(list));
        break;
      }
      case FieldKind::kProps: {
        auto props = std::make_shared<PropExprs>();
        for (int p = 0; p < kPropertyCount; ++p)
          if (props_.Has(code, p)) (*props)[static_cast<size_t>(p)] = ReadPageExpr(r);
        c->fields.emplace_back(std::move(props));
        break;
      }
    }
  }
  return c;
}

void TPage::WriteCommand(ByteWriter& w, const TCommand& c) const {
  w.U8(c.codeByte);
  w.I32(c.indent);
  w.U8(c.disabled);
  w.U8(c.runOn);
  w.I32(c.line);
  const auto& defs = c.Info().fields;
  for (size_t i = 0; i < defs.size(); ++i) {
    const FieldDef& f = defs[i];
    if (f.afterVersion >= 0 && version_ <= f.afterVersion) continue;
    const FieldValue& v = c.fields[i];
    switch (f.kind) {
      case FieldKind::kExpr: {
        const PageExpr& e = std::get<PageExpr>(v);
        if (e.stored.empty())
          w.U32(0);
        else
          w.Raw(e.stored);
        break;
      }
      case FieldKind::kString:
        w.LpString(std::get<std::string>(v));
        break;
      case FieldKind::kI32:
        w.I32(std::get<int32_t>(v));
        break;
      case FieldKind::kU8:
        w.U8(std::get<uint8_t>(v));
        break;
      case FieldKind::kBlob: {
        const Bytes& b = std::get<Bytes>(v);
        w.U32(static_cast<uint32_t>(b.size()));
        w.Raw(b);
        break;
      }
      case FieldKind::kExprList: {
        const auto& list = std::get<std::vector<PageExpr>>(v);
        w.U32(static_cast<uint32_t>(list.size()));
        for (const auto& e : list)
          e.stored.empty() ? w.U32(0) : w.Raw(e.stored);
        break;
      }
      case FieldKind::kProps: {
        const auto& props = std::get<std::shared_ptr<PropExprs>>(v);
        for (int p = 0; p < kPropertyCount; ++p) {
          if (!props_.Has(c.GetCode(), p)) continue;
          const auto& e = (*props)[static_cast<size_t>(p)];
          if (e && !e->stored.empty())
            w.Raw(e->stored);
          else
            w.U32(0);
        }
        break;
      }
    }
  }
}

Bytes TPage::Save() const {
  ByteWriter w;
  w.I32(version_);
  w.U8(returnType_);
  w.U32(static_cast<uint32_t>(stored_.size()));
  w.U32(storedSize_);
  for (const auto& rec : stored_) {
    Bytes padded = rec;
    padded.resize(storedSize_, 0);
    w.Raw(padded);
  }
  w.U32(static_cast<uint32_t>(commands_.size()));
  for (const auto& c : commands_)
    WriteCommand(w, *c);
  return w.Take();
}

int TPage::FindLabel(std::string_view label) const {
  for (size_t i = 0; i < commands_.size(); ++i)
    if (commands_[i]->MatchesLabel(label)) return static_cast<int>(i);
  return -1;
}

int TPage::IndexOfCommand(const TCommand& c) const {
  for (size_t i = 0; i < commands_.size(); ++i)
    if (commands_[i].get() == &c) return static_cast<int>(i);
  return -1;
}

}  // namespace kova
