// The variable store: named variables with scopes and owners, reference variables, the fifty
// system variables (read through a host interface that higher layers install) and the game and
// status save records.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/hash_collection.h"
#include "expr/value.h"

namespace kova {

class TParamCollection;
class TParamCollectionItem;

// A reference to another variable or to one element of it. Holds its target by a weak handle:
// when the target is freed the reference reads 0 or "" and ignores writes.
class TParamVar : public TCustomParam {
 public:
  int Count() const override;
  void SetCount(int n) override;
  int TypeCode() const override;
  bool IsReference() const override { return true; }

  bool AsBool() const override;
  long double AsFloat() const override;
  int32_t AsInt() const override;
  std::string AsStr() const override;
  void SetBool(bool v) override;
  void SetFloat(long double v) override;
  void SetInt(int32_t v) override;
  void SetStr(const std::string& v) override;

  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  long double GetFloatAt(int i) const override;
  void SetFloatAt(int i, long double v) override;
  bool GetBoolAt(int i) const override;
  void SetBoolAt(int i, bool v) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& v) override;

  int DimCount() const override;
  int DimSize(int k) const override;
  const std::vector<int32_t>& Dims() const override;
  void SetDims(const std::vector<int32_t>& sizes) override;
  void FillInt(int32_t v) override;
  void FillFloat(long double v) override;
  void FillBool(bool v) override;
  void FillStr(const std::string& v) override;
  void Assign(const TCustomParam& other) override;
  void AssignConverted(const TCustomParam& other) override;
  void MakeScalar() override;
  void Resize1D(int n) override;
  int IndexOfStr(const std::string& text, bool caseSensitive, bool partial) const override;
  void SaveToStream(ByteWriter& w) const override;
  void LoadFromStream(ByteReader& r) override;
  std::unique_ptr<TCustomParam> Clone() const override;

  void Bind(TParamCollectionItem* target, int32_t elementIndex = 0);
  void Unbind();
  TParamCollectionItem* Target() const { return target_ ? *target_ : nullptr; }
  int32_t ElementIndex() const { return element_; }
  void SetElementIndex(int32_t i) { element_ = i; }
  const std::string& TargetName() const { return targetName_; }
  void SetTargetName(std::string n) { targetName_ = std::move(n); }
  // The target's variable name read by LoadFromStream; the store binds it afterwards.
  const std::string& LoadedTargetVar() const { return loadedTargetVar_; }

 private:
  // The target's value; none without a target. Follows chains of references up to a depth
  // limit, so a cycle of references fails instead of recursing without end.
  TCustomParam* Value() const;

  std::string targetName_;
  std::shared_ptr<TParamCollectionItem*> target_;
  uint8_t spare_ = 0;
  int32_t element_ = 0;
  std::string loadedTargetVar_;
};

// Indexes of the system variables.
enum SysVarIndex : int {
  kSysResult = 0,
  kSysLClick,
  kSysRClick,
  kSysLPush,
  kSysRPush,
  kSysMouseX,
  kSysMouseY,
  kSysTextDelay,
  kSysHistoryCount,
  kSysParamCount,
  kSysParamStr,
  kSysSender,
  kSysScrWidth,
  kSysScrHeight,
  kSysTickCount,
  kSysPCTickCount,
  kSysUpdateCount,
  kSysYear,
  kSysMonth,
  kSysDay,
  kSysWeek,
  kSysHour,
  kSysMin,
  kSysSec,
  kSysFonts,
  kSysFixedFonts,
  kSysFullScr,
  kSysCursor,
  kSysSelStr,
  kSysSelIndex,
  kSysPi,
  kSysCGDither,
  kSys1Hour,
  kSys1Min,
  kSys1Sec,
  kSysKeyPush,
  kSysKeyClick,
  kSysDisplayModeCount,
  kSysDisplayModeIndex,
  kSysTitle,
  kSysSoundON,
  kSysActiveCompo,
  kSysKeyRepeat,
  kSysHistoryMaxCount,
  kSysTemp,
  kSysMidiPort,
  kSysMidiPorts,
  kSysWheelDown,
  kSysWheelUp,
  kSysStackCount,
  kSysVarCount
};

struct SysVarInfo {
  const char* name;
  int type;  // how reads convert; @Result and @Temp take their target's type
  bool writable;
};
const SysVarInfo& SysVarTable(int index);

// What the system variables read from the rest of the player. The store keeps the values it
// owns itself (text delay, cursor, selection, @Temp, the constants and the date parts); the rest
// comes from here. The defaults are what a player without a scene or shell reports.
class SysVarHost {
 public:
  virtual ~SysVarHost() = default;
  // The current call frame's result variable; none outside a call.
  virtual TCustomParam* ResultVar() { return nullptr; }
  // Integer and flag variables owned elsewhere (mouse, screen, clocks, history, display...).
  virtual int32_t ReadInt(int index);
  virtual void WriteInt(int index, int32_t v) {}
  // String variables owned elsewhere (@Sender, @Fonts, @Title, @ActiveCompo, @MidiPort...).
  virtual std::string ReadStr(int index) { return {}; }
  virtual void WriteStr(int index, const std::string& v) {}
  // @KeyPush, @KeyClick, @KeyRepeat: key k (0..257).
  virtual bool KeyState(int index, int k) { return false; }
  // @ParamStr and @MidiPorts.
  virtual int ListCount(int index) { return 0; }
  virtual std::string ListItem(int index, int i) { return {}; }
  // The date and time of this frame as a day count (days since 1899-12-30, time as fraction).
  virtual long double Now();
  // Milliseconds since the machine started.
  virtual uint32_t PCTickCount();
};

class TParamCollectionItem : public THashCollectionItem {
 public:
  explicit TParamCollectionItem(std::unique_ptr<TCustomParam> value, std::string name = {});
  ~TParamCollectionItem() override;

  TCustomParam& Value() const { return *value_; }
  // Validates the name ("\"%s\"：変数名が不正です"), then renames.
  void SetValidName(const std::string& name);
  static bool IsValidName(const std::string& name);
  // Replaces the value by a fresh one of that type.
  void SetType(int code);
  void SetValue(std::unique_ptr<TCustomParam> v) { value_ = std::move(v); }
  bool IsSystem() const;

  bool local = false;
  bool status = false;
  int32_t owner = -1;
  uint8_t spare = 0;

  // The weak handle references hold.
  const std::shared_ptr<TParamCollectionItem*>& Handle() const { return handle_; }

 private:
  std::unique_ptr<TCustomParam> value_;
  std::shared_ptr<TParamCollectionItem*> handle_;
};

// A fresh value of a type code 0-4 (0: an unbound reference); nothing for other codes.
std::unique_ptr<TCustomParam> NewParam(int type);

class TParamCollection : public THashCollectionOf<TParamCollectionItem> {
 public:
  // With no host, a default host answers (see SysVarHost).
  explicit TParamCollection(SysVarHost* host = nullptr);
  ~TParamCollection() override;

  SysVarHost& Host() const { return *host_; }
  void SetHost(SysVarHost* host);

  // Lookup: a local variable of the current scope first, else the oldest non-local one.
  TParamCollectionItem* FindItem(std::string_view name) const;
  TParamCollectionItem* FindScoped(std::string_view name, bool local) const;
  // A new unnamed item, not yet in the store; the caller names and adds it.
  static std::unique_ptr<TParamCollectionItem> NewItem(int type);
  TParamCollectionItem& AddItem(std::unique_ptr<TParamCollectionItem> item) {
    return Add(std::move(item));
  }
  // Creates a variable of a scope (0 global, 1 auto-dispose, 2 local, 3 status) at the current
  // depth, as the variable command does.
  TParamCollectionItem& NewVariable(const std::string& name, int type, int scope);
  std::unique_ptr<TCustomParam> CopyValue(std::string_view name) const;
  static std::unique_ptr<TCustomParam> CopyValueOf(const TParamCollectionItem& item);
  void FreeOwned(int32_t depth);
  void FreeItem(TParamCollectionItem* item);
  void BindElement(TParamVar& ref, const std::string& arrayName,
                   const std::vector<int32_t>& indices) const;
  // The same with the array already found (the evaluator resolves temporaries itself).
  static void BindElementTo(TParamVar& ref, TParamCollectionItem* target,
                            const std::string& arrayName, const std::vector<int32_t>& indices);

  void SaveGameVars(ByteWriter& w) const;
  void LoadGameVars(ByteReader& r, int version);
  void SaveStatusVars(ByteWriter& w) const;
  void LoadStatusVars(ByteReader& r, int version);
  void ClearGameVars();

  // Item record (name, value record, flags, owner, spare); the type byte is the caller's.
  static void SaveItem(ByteWriter& w, const TParamCollectionItem& item);
  // Reads a record into a new item of that type, binding references; nothing for an empty name.
  std::unique_ptr<TParamCollectionItem> LoadItem(ByteReader& r, int type) const;

  int32_t currentScope = 0;
  std::string selStr;
  int32_t selIndex = 0;
  int32_t textDelay = 50;
  std::string cursor;
  std::array<int32_t, 6> history{};
  std::string tempName;

 private:
  void SaveVars(ByteWriter& w, bool statusVars) const;
  void ReadRecords(ByteReader& r);
  void FreeWhere(const std::function<bool(const TParamCollectionItem&)>& pred);

  std::unique_ptr<SysVarHost> ownHost_;
  SysVarHost* host_;
};

// The system variable `index` of a store.
class TParamSystem : public TCustomParam {
 public:
  TParamSystem(const TParamCollection* store, int index) : store_(store), index_(index) {}
  int Index() const { return index_; }

  int Count() const override;
  void SetCount(int n) override;
  int TypeCode() const override;

  bool AsBool() const override;
  long double AsFloat() const override;
  int32_t AsInt() const override;
  std::string AsStr() const override;
  void SetBool(bool v) override;
  void SetFloat(long double v) override;
  void SetInt(int32_t v) override;
  void SetStr(const std::string& v) override;

  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  long double GetFloatAt(int i) const override;
  void SetFloatAt(int i, long double v) override;
  bool GetBoolAt(int i) const override;
  void SetBoolAt(int i, bool v) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& v) override;

  int DimCount() const override;
  int DimSize(int k) const override;
  const std::vector<int32_t>& Dims() const override;
  void SetDims(const std::vector<int32_t>& sizes) override;
  void FillInt(int32_t v) override;
  void FillFloat(long double v) override;
  void FillBool(bool v) override;
  void FillStr(const std::string& v) override;
  void Assign(const TCustomParam& other) override;
  void AssignConverted(const TCustomParam& other) override;
  void MakeScalar() override;
  void Resize1D(int n) override;
  void SaveToStream(ByteWriter& w) const override {}
  void LoadFromStream(ByteReader& r) override {}
  std::unique_ptr<TCustomParam> Clone() const override;

 private:
  // The variable @Result or @Temp stands for; none for the others or when it does not exist.
  TCustomParam* Forward() const;
  bool Forwards() const { return index_ == kSysResult || index_ == kSysTemp; }
  bool IsList() const;
  // A scalar read in the variable's own type, as text, integer or float.
  struct Scalar {
    int type = 0;
    int32_t i = 0;
    long double f = 0;
    std::string s;
  };
  Scalar Read() const;
  void WriteInt(int32_t v);
  void WriteFloat(long double v);
  void WriteStr(const std::string& v);
  TParamCollection& Store() const { return const_cast<TParamCollection&>(*store_); }

  const TParamCollection* store_;
  int index_;
  mutable std::vector<int32_t> dimsCache_;
};

}  // namespace kova
