// Compiled script pages (.ksb): a flat list of commands whose block structure is given by
// indents and by command indices the compiler resolved.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/bytes.h"
#include "expr/parser.h"
#include "script/command_schema.h"

namespace kova {

class TCallMan;
class TPage;

// A compiled expression as the page holds it: the stored bytes (written back unchanged) and
// the evaluator built from them. An empty expression has no operations and gives no value.
struct PageExpr {
  Bytes stored;  // the whole block: u32 count + operation records
  std::shared_ptr<TKovaParser> parser;
  bool Empty() const { return stored.size() <= 4 && (stored.empty() || stored[0] == 0); }
};

// One property expression per property code; empty where the page's table has no bit.
using PropExprs = std::array<std::optional<PageExpr>, kPropertyCount>;

using FieldValue = std::variant<PageExpr, std::string, int32_t, uint8_t, Bytes,
                                std::vector<PageExpr>, std::shared_ptr<PropExprs>>;

// The bit set of property expressions that component commands of each code carry.
struct PropertyTable {
  std::array<std::array<uint8_t, kPropertyRecordBytes>, kCommandCodes> records{};
  bool Has(int code, int prop) const {
    return code >= 0 && code < kCommandCodes && prop >= 0 && prop < kPropertyCount &&
           (records[code][prop / 8] >> (prop % 8) & 1);
  }
  void Set(int code, int prop) { records[code][prop / 8] |= static_cast<uint8_t>(1 << (prop % 8)); }
};

class TCommand {
 public:
  explicit TCommand(TPage& page, const CommandInfo& info) : page_(&page), info_(&info) {}
  virtual ~TCommand() = default;

  uint8_t GetCode() const { return info_->code; }
  const CommandInfo& Info() const { return *info_; }
  TPage& Page() const { return *page_; }

  virtual bool GetRunOn() const { return runOn; }
  virtual bool IsDisabled() const { return disabled; }
  void SetDisabled(bool d) { disabled = d; }
  virtual bool BlocksEvents() const { return false; }
  virtual bool MatchesLabel(std::string_view) const { return false; }
  virtual void Begin(TCallMan&) {}
  // Performs the command; advances `index` (by default +1), may replace `page` (none leaves the
  // page) or leave both unchanged to stay on this command.
  virtual void Execute(TCallMan& cm, TPage*& page, int32_t& index) { ++index; }
  virtual void SaveState(ByteWriter&) const {}
  virtual void LoadState(ByteReader&) {}
  virtual void Abort(TCallMan&) {}
  virtual bool EndsTurn() const { return false; }

  // Field access by position in the command's schema.
  const FieldValue& Field(size_t i) const { return fields[i]; }
  const PageExpr& ExprField(size_t i) const { return std::get<PageExpr>(fields[i]); }
  const std::string& StrField(size_t i) const { return std::get<std::string>(fields[i]); }
  int32_t IntField(size_t i) const { return std::get<int32_t>(fields[i]); }
  uint8_t ByteField(size_t i) const { return std::get<uint8_t>(fields[i]); }

  uint8_t codeByte = 0;  // as stored: bit 7 is ignored but kept
  int32_t indent = 0;
  uint8_t disabled = 0;
  uint8_t runOn = 1;
  int32_t line = 0;
  std::vector<FieldValue> fields;

 private:
  TPage* page_;
  const CommandInfo* info_;
};

// Makes the command object of a code. Later subsystems register their classes (component,
// text and menu commands); codes without a class get a command that only advances.
class CommandFactory {
 public:
  using Maker = std::function<std::unique_ptr<TCommand>(TPage&, const CommandInfo&)>;
  static CommandFactory& Instance();
  void Register(int code, Maker maker);
  bool Has(int code) const;
  std::unique_ptr<TCommand> Make(int code, TPage& page) const;

 private:
  std::array<Maker, kCommandCodes> makers_{};
};

class TPage {
 public:
  static constexpr int32_t kMinVersion = 103;
  static constexpr int32_t kMaxVersion = 110;

  TPage() = default;
  explicit TPage(std::string name) : name_(std::move(name)) {}

  // Reads a page file. A version above 110 leaves the page empty; below 103 is an Error
  // ("NAME\r\nリビルドしてください"); anything damaged is a FormatError.
  void Load(std::span<const uint8_t> data);
  // The page file, byte for byte as it was read (or as built by the compiler).
  Bytes Save() const;

  const std::string& Name() const { return name_; }
  int32_t Version() const { return version_; }
  void SetVersion(int32_t v) { version_ = v; }
  uint8_t ReturnType() const { return returnType_; }
  void SetReturnType(uint8_t t) { returnType_ = t; }
  PropertyTable& Properties() { return props_; }
  const PropertyTable& Properties() const { return props_; }
  // The property table as stored: N records of one size. Records of codes 0..60 fill the table
  // (a shorter record leaves the rest 0, a longer one is cut); the rest are kept only so the
  // page writes back unchanged.
  const std::vector<Bytes>& StoredRecords() const { return stored_; }
  uint32_t StoredRecordSize() const { return storedSize_; }
  void SetStoredRecords(std::vector<Bytes> records, uint32_t size);
  // Stores the table in the usual shape: 61 records of 21 bytes.
  void StoreTable();

  int Count() const { return static_cast<int>(commands_.size()); }
  TCommand& At(int i) const { return *commands_[static_cast<size_t>(i)]; }
  void Add(std::unique_ptr<TCommand> c) { commands_.push_back(std::move(c)); }
  int FindLabel(std::string_view label) const;
  int IndexOfCommand(const TCommand& c) const;

  // Reads and writes one command record (code byte included) against this page's version and
  // property table.
  std::unique_ptr<TCommand> ReadCommand(ByteReader& r);
  void WriteCommand(ByteWriter& w, const TCommand& c) const;

 private:
  std::string name_;
  int32_t version_ = kMaxVersion;
  uint8_t returnType_ = 1;
  PropertyTable props_;
  std::vector<Bytes> stored_;
  uint32_t storedSize_ = kPropertyRecordBytes;
  std::vector<std::unique_ptr<TCommand>> commands_;
};

// Reads one expression block, validating it; used for every expression of pages and saves.
PageExpr ReadPageExpr(ByteReader& r);

// "file.ext:label" -> page "file.ksb" and label. The split is at the last ':' after the last
// '.' and '\'; a file part without an extension gets ".ksb".
struct HandlerName {
  std::string page, label;
};
HandlerName SplitHandlerName(std::string_view handler);

}  // namespace kova
