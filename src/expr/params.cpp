#include "expr/params.h"

#include <chrono>
#include <cmath>
#include <numbers>

#include "common/cp932.h"
#include "common/error.h"
#include "expr/convert.h"
#include "expr/datetime.h"

namespace kova {

namespace {

// Reference chains (a reference to a reference, @Temp standing for a reference...) are followed
// at most this deep; a cycle fails instead of recursing without end.
constexpr int kMaxRefDepth = 32;
thread_local int g_refDepth = 0;

class RefDepthGuard {
 public:
  RefDepthGuard() {
    if (++g_refDepth > kMaxRefDepth) {
      --g_refDepth;
      throw Error("参照の連鎖が深すぎます");
    }
  }
  ~RefDepthGuard() { --g_refDepth; }
};

const std::vector<int32_t> kNoDims;

const SysVarInfo kSysVars[kSysVarCount] = {
    {"@Result", kTypeInt, true},
    {"@LClick", kTypeFlag, true},
    {"@RClick", kTypeFlag, true},
    {"@LPush", kTypeFlag, false},
    {"@RPush", kTypeFlag, false},
    {"@MouseX", kTypeInt, true},
    {"@MouseY", kTypeInt, true},
    {"@TextDelay", kTypeInt, true},
    {"@HistoryCount", kTypeInt, false},
    {"@ParamCount", kTypeInt, false},
    {"@ParamStr", kTypeStr, false},
    {"@Sender", kTypeStr, false},
    {"@ScrWidth", kTypeInt, false},
    {"@ScrHeight", kTypeInt, false},
    {"@TickCount", kTypeInt, false},
    {"@PCTickCount", kTypeInt, false},
    {"@UpdateCount", kTypeInt, false},
    {"@Year", kTypeInt, false},
    {"@Month", kTypeInt, false},
    {"@Day", kTypeInt, false},
    {"@Week", kTypeInt, false},
    {"@Hour", kTypeInt, false},
    {"@Min", kTypeInt, false},
    {"@Sec", kTypeInt, false},
    {"@Fonts", kTypeStr, false},
    {"@FixedFonts", kTypeStr, false},
    {"@FullScr", kTypeFlag, true},
    {"@Cursor", kTypeStr, true},
    {"@SelStr", kTypeStr, true},
    {"@SelIndex", kTypeInt, true},
    {"@Pi", kTypeFloat, false},
    {"@CGDither", kTypeFlag, true},
    {"@1Hour", kTypeFloat, false},
    {"@1Min", kTypeFloat, false},
    {"@1Sec", kTypeFloat, false},
    {"@KeyPush", kTypeFlag, false},
    {"@KeyClick", kTypeFlag, false},
    {"@DisplayModeCount", kTypeInt, false},
    {"@DisplayModeIndex", kTypeInt, true},
    {"@Title", kTypeStr, false},
    {"@SoundON", kTypeFlag, true},
    {"@ActiveCompo", kTypeStr, true},
    {"@KeyRepeat", kTypeFlag, false},
    {"@HistoryMaxCount", kTypeInt, true},
    {"@Temp", kTypeInt, true},
    {"@MidiPort", kTypeStr, true},
    {"@MidiPorts", kTypeStr, false},
    {"@WheelDown", kTypeFlag, false},
    {"@WheelUp", kTypeFlag, false},
    {"@StackCount", kTypeInt, false},
};

constexpr int kKeyCount = 258;

}  // namespace

const SysVarInfo& SysVarTable(int index) {
  if (index < 0 || index >= kSysVarCount) throw Error("内部エラー");
  return kSysVars[index];
}

// ---- TParamVar ----

void TParamVar::Bind(TParamCollectionItem* target, int32_t elementIndex) {
  if (target)
    target_ = target->Handle();
  else
    target_.reset();
  element_ = elementIndex;
}

void TParamVar::Unbind() {
  target_.reset();
}

TCustomParam* TParamVar::Value() const {
  TParamCollectionItem* t = Target();
  return t ? &t->Value() : nullptr;
}

#define KOVA_FWD(expr, none) \
  RefDepthGuard guard;       \
  TCustomParam* t = Value(); \
  if (!t) return none;       \
  return expr;
#define KOVA_FWD_VOID(expr) \
  RefDepthGuard guard;      \
  if (TCustomParam* t = Value()) expr;

int TParamVar::Count() const {
  KOVA_FWD(t->Count(), 0)
}
void TParamVar::SetCount(int n) {
  KOVA_FWD_VOID(t->SetCount(n))
}
int TParamVar::TypeCode() const {
  KOVA_FWD(t->TypeCode(), kTypeVar)
}
bool TParamVar::AsBool() const {
  KOVA_FWD(t->GetBoolAt(element_), false)
}
long double TParamVar::AsFloat() const {
    KOVA_FWD(t->GetFloatAt(element_), 0.0L)} int32_t TParamVar::AsInt() const {
    KOVA_FWD(t->GetIntAt(element_), 0)} std::string TParamVar::AsStr() const {
  KOVA_FWD(t->GetStrAt(element_), std::string())
}
void TParamVar::SetBool(bool v) {
  KOVA_FWD_VOID(t->SetBoolAt(element_, v))
}
void TParamVar::SetFloat(long double v) {
  KOVA_FWD_VOID(t->SetFloatAt(element_, v))
}
void TParamVar::SetInt(int32_t v) {
  KOVA_FWD_VOID(t->SetIntAt(element_, v))
}
void TParamVar::SetStr(const std::string& v){
    KOVA_FWD_VOID(t->SetStrAt(element_, v))} int32_t TParamVar::GetIntAt(int i) const {
  KOVA_FWD(t->GetIntAt(i), 0)
}
void TParamVar::SetIntAt(int i, int32_t v) {
  KOVA_FWD_VOID(t->SetIntAt(i, v))
}
long double TParamVar::GetFloatAt(int i) const {
  KOVA_FWD(t->GetFloatAt(i), 0.0L)
}
void TParamVar::SetFloatAt(int i, long double v) {
  KOVA_FWD_VOID(t->SetFloatAt(i, v))
}
bool TParamVar::GetBoolAt(int i) const {
  KOVA_FWD(t->GetBoolAt(i), false)
}
void TParamVar::SetBoolAt(int i, bool v){
    KOVA_FWD_VOID(t->SetBoolAt(i, v))} std::string TParamVar::GetStrAt(int i) const {
  KOVA_FWD(t->GetStrAt(i), std::string())
}
void TParamVar::SetStrAt(int i, const std::string& v) {
  KOVA_FWD_VOID(t->SetStrAt(i, v))
}
int TParamVar::DimCount() const {
  KOVA_FWD(t->DimCount(), 1)
}
int TParamVar::DimSize(int k) const {
  KOVA_FWD(t->DimSize(k), 1)
}
const std::vector<int32_t>& TParamVar::Dims() const {
  KOVA_FWD(t->Dims(), kNoDims)
}
void TParamVar::SetDims(const std::vector<int32_t>& sizes) {
  KOVA_FWD_VOID(t->SetDims(sizes))
}
void TParamVar::FillInt(int32_t v) {
  KOVA_FWD_VOID(t->FillInt(v))
}
void TParamVar::FillFloat(long double v) {
  KOVA_FWD_VOID(t->FillFloat(v))
}
void TParamVar::FillBool(bool v) {
  KOVA_FWD_VOID(t->FillBool(v))
}
void TParamVar::FillStr(const std::string& v) {
  KOVA_FWD_VOID(t->FillStr(v))
}
void TParamVar::Assign(const TCustomParam& other) {
  KOVA_FWD_VOID(t->Assign(other))
}
void TParamVar::AssignConverted(const TCustomParam& other) {
  KOVA_FWD_VOID(t->AssignConverted(other))
}
void TParamVar::MakeScalar() {
  KOVA_FWD_VOID(t->MakeScalar())
}
void TParamVar::Resize1D(int n) {
  KOVA_FWD_VOID(t->Resize1D(n))
}
int TParamVar::IndexOfStr(const std::string& text, bool cs, bool partial) const {
  KOVA_FWD(t->IndexOfStr(text, cs, partial), -1)
}

void TParamVar::SaveToStream(ByteWriter& w) const {
  TCustomParam::SaveToStream(w);
  w.LpString(targetName_);
  TParamCollectionItem* t = Target();
  w.LpString(t ? t->Name() : std::string());
  w.U8(spare_);
  w.I32(element_);
}

void TParamVar::LoadFromStream(ByteReader& r) {
  TCustomParam::LoadFromStream(r);
  targetName_ = r.LpString();
  loadedTargetVar_ = r.LpString();
  spare_ = r.U8();
  element_ = r.I32();
  target_.reset();
}

std::unique_ptr<TCustomParam> TParamVar::Clone() const {
  auto c = std::make_unique<TParamVar>(*this);
  return c;
}

#undef KOVA_FWD
#undef KOVA_FWD_VOID

// ---- host ----

int32_t SysVarHost::ReadInt(int index) {
  // A title's screen without a project.
  if (index == kSysScrWidth) return 640;
  if (index == kSysScrHeight) return 480;
  return 0;
}

long double SysVarHost::Now() {
  return NowDateTime();
}

uint32_t SysVarHost::PCTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// ---- items ----

TParamCollectionItem::TParamCollectionItem(std::unique_ptr<TCustomParam> value, std::string name)
    : THashCollectionItem(std::move(name)),
      value_(std::move(value)),
      handle_(std::make_shared<TParamCollectionItem*>(this)) {}

TParamCollectionItem::~TParamCollectionItem() {
  *handle_ = nullptr;
}

bool TParamCollectionItem::IsValidName(const std::string& name) {
  if (name.empty() || name.find(' ') != std::string::npos) return false;
  return !(name[0] >= '0' && name[0] <= '9');
}

void TParamCollectionItem::SetValidName(const std::string& name) {
  if (!IsValidName(name)) throw Error("\"" + cp932::ToUtf8(name) + "\"：変数名が不正です");
  SetName(name);
}

void TParamCollectionItem::SetType(int code) {
  auto v = NewParam(code);
  if (!v) throw Error("内部エラー");
  value_ = std::move(v);
}

bool TParamCollectionItem::IsSystem() const {
  return dynamic_cast<const TParamSystem*>(value_.get()) != nullptr;
}

std::unique_ptr<TCustomParam> NewParam(int type) {
  if (type == kTypeVar) return std::make_unique<TParamVar>();
  return NewStorageParam(type);
}

// ---- collection ----

TParamCollection::TParamCollection(SysVarHost* host) {
  if (!host) {
    ownHost_ = std::make_unique<SysVarHost>();
    host = ownHost_.get();
  }
  host_ = host;
  for (int i = 0; i < kSysVarCount; ++i)
    Add(std::make_unique<TParamCollectionItem>(std::make_unique<TParamSystem>(this, i),
                                               kSysVars[i].name));
}

TParamCollection::~TParamCollection() {
  Clear();
}

void TParamCollection::SetHost(SysVarHost* host) {
  if (host) {
    host_ = host;
  } else {
    if (!ownHost_) ownHost_ = std::make_unique<SysVarHost>();
    host_ = ownHost_.get();
  }
}

TParamCollectionItem* TParamCollection::FindItem(std::string_view name) const {
  TParamCollectionItem* found = nullptr;
  ForEachNamed(name, [&](THashCollectionItem& h) {
    auto& it = static_cast<TParamCollectionItem&>(h);
    if (it.local) {
      if (it.owner == currentScope) {
        found = &it;
        return false;
      }
      return true;
    }
    found = &it;  // the chain runs newest first: the last match is the oldest
    return true;
  });
  return found;
}

TParamCollectionItem* TParamCollection::FindScoped(std::string_view name, bool local) const {
  TParamCollectionItem* found = nullptr;
  ForEachNamed(name, [&](THashCollectionItem& h) {
    auto& it = static_cast<TParamCollectionItem&>(h);
    if (local) {
      if (it.local && it.owner == currentScope) {
        found = &it;
        return false;
      }
    } else if (!it.local) {
      found = &it;
    }
    return true;
  });
  return found;
}

std::unique_ptr<TParamCollectionItem> TParamCollection::NewItem(int type) {
  auto v = NewParam(type);
  if (!v) throw Error("内部エラー");
  return std::make_unique<TParamCollectionItem>(std::move(v));
}

TParamCollectionItem& TParamCollection::NewVariable(const std::string& name, int type, int scope) {
  if (scope == 3) {
    if (TParamCollectionItem* existing = FindScoped(name, false); existing && existing->status)
      return *existing;
  }
  auto item = NewItem(type);
  item->SetValidName(name);
  item->owner = scope == 1 || scope == 2 ? currentScope : -1;
  item->local = scope == 2;
  item->status = scope == 3;
  return Add(std::move(item));
}

std::unique_ptr<TCustomParam> TParamCollection::CopyValueOf(const TParamCollectionItem& item) {
  const int t = item.Value().TypeCode();
  auto v = NewStorageParam(t);
  if (!v) throw Error(cp932::ToUtf8(item.Name()) + ":不正な変数です");
  v->AssignConverted(item.Value());
  return v;
}

std::unique_ptr<TCustomParam> TParamCollection::CopyValue(std::string_view name) const {
  TParamCollectionItem* item = FindItem(name);
  if (!item) return nullptr;
  return CopyValueOf(*item);
}

void TParamCollection::FreeWhere(const std::function<bool(const TParamCollectionItem&)>& pred) {
  for (int i = Count() - 1; i >= 0; --i)
    if (!At(i).IsSystem() && pred(At(i))) Delete(i);
}

void TParamCollection::FreeOwned(int32_t depth) {
  FreeWhere([depth](const TParamCollectionItem& it) { return it.owner == depth; });
}

void TParamCollection::FreeItem(TParamCollectionItem* item) {
  if (item && item->Index() >= 0 && item->Index() < Count() && &At(item->Index()) == item &&
      !item->IsSystem())
    Delete(item->Index());
}

void TParamCollection::BindElementTo(TParamVar& ref, TParamCollectionItem* target,
                                     const std::string& arrayName,
                                     const std::vector<int32_t>& indices) {
  if (!target) throw Error("\"" + cp932::ToUtf8(arrayName) + "\" 変数がありません");
  ref.Bind(target);
  TCustomParam& v = target->Value();
  auto prefix = [&] {
    std::string s = cp932::ToUtf8(arrayName) + "[";
    for (size_t i = 0; i < indices.size(); ++i) {
      if (i) s += ',';
      s += std::to_string(indices[i]);
    }
    return s + "]\r\n";
  };
  if (static_cast<int>(indices.size()) != v.DimCount()) throw Error(prefix() + "添え字が不正です");
  int64_t linear = 0, mult = 1;
  bool negative = false;
  for (int k = static_cast<int>(indices.size()) - 1; k >= 0; --k) {
    if (indices[k] < 0) negative = true;
    linear += static_cast<int64_t>(indices[k]) * mult;
    mult *= v.DimSize(k);
    if (mult > INT32_MAX) mult = INT32_MAX;  // only reached with sizes that cannot exist
  }
  if (!negative && linear >= v.Count()) throw Error(prefix() + "要素数を超えています");
  // A negative index is refused by the element access itself.
  ref.SetElementIndex(negative || linear < 0 || linear >= v.Count() ? -1
                                                                    : static_cast<int32_t>(linear));
}

void TParamCollection::BindElement(TParamVar& ref, const std::string& arrayName,
                                   const std::vector<int32_t>& indices) const {
  BindElementTo(ref, FindItem(arrayName), arrayName, indices);
}

// ---- save records ----

void TParamCollection::SaveItem(ByteWriter& w, const TParamCollectionItem& item) {
  w.LpString(item.Name());
  item.Value().SaveToStream(w);
  w.U8(item.status);
  w.U8(item.local);
  w.I32(item.owner);
  w.U8(item.spare);
}

std::unique_ptr<TParamCollectionItem> TParamCollection::LoadItem(ByteReader& r, int type) const {
  if (type < kTypeVar || type > kTypeStr) r.Fail("unknown variable type " + std::to_string(type));
  std::string name = r.LpString();
  auto item = NewItem(type);
  item->Value().LoadFromStream(r);
  item->status = r.U8() != 0;
  item->local = r.U8() != 0;
  item->owner = r.I32();
  item->spare = r.U8();
  if (name.empty()) return nullptr;
  item->SetName(std::move(name));
  if (auto* ref = dynamic_cast<TParamVar*>(&item->Value())) {
    if (!ref->LoadedTargetVar().empty())
      ref->Bind(FindItem(ref->LoadedTargetVar()), ref->ElementIndex());
  }
  return item;
}

void TParamCollection::SaveVars(ByteWriter& w, bool statusVars) const {
  std::vector<const TParamCollectionItem*> left;
  for (int i = 0; i < Count(); ++i) {
    const TParamCollectionItem& it = At(i);
    if (it.IsSystem() || it.status != statusVars) continue;
    // Private names are the player's own and never saved.
    if (!it.Name().empty() && it.Name()[0] == '\x01') continue;
    left.push_back(&it);
  }
  w.U32(static_cast<uint32_t>(left.size()));
  auto pending = [&](const TParamCollectionItem* p) {
    for (const auto* q : left)
      if (q == p) return true;
    return false;
  };
  // Creation order, except that a reference waits for its target, so that loading binds it.
  // When a pass writes nothing the references form a cycle: the first one is written anyway.
  while (!left.empty()) {
    bool wrote = false;
    for (size_t i = 0; i < left.size();) {
      const TParamCollectionItem* it = left[i];
      auto* ref = dynamic_cast<const TParamVar*>(&it->Value());
      TParamCollectionItem* target = ref ? ref->Target() : nullptr;
      if (target && target != it && pending(target)) {
        ++i;
        continue;
      }
      w.U8(static_cast<uint8_t>(ref ? kTypeVar : it->Value().TypeCode()));
      SaveItem(w, *it);
      left.erase(left.begin() + static_cast<ptrdiff_t>(i));
      wrote = true;
    }
    if (!wrote) {
      const TParamCollectionItem* it = left.front();
      w.U8(kTypeVar);
      SaveItem(w, *it);
      left.erase(left.begin());
    }
  }
}

void TParamCollection::ReadRecords(ByteReader& r) {
  // Smallest record: type byte, empty name, no dimensions, no elements, the four fields.
  const uint32_t n = r.Count(r.U32(), 1 + 4 + 4 + 4 + 7, "variable");
  for (uint32_t i = 0; i < n; ++i) {
    const int type = r.U8();
    if (auto item = LoadItem(r, type)) Add(std::move(item));
  }
}

void TParamCollection::SaveGameVars(ByteWriter& w) const {
  SaveVars(w, false);
  w.I32(textDelay);
  w.LpString(cursor);
  w.LpString(selStr);
  w.I32(selIndex);
  for (int32_t h : history)
    w.I32(h);
  w.LpString(tempName);
}

void TParamCollection::LoadGameVars(ByteReader& r, int version) {
  FreeWhere([](const TParamCollectionItem& it) { return !it.status; });
  ReadRecords(r);
  textDelay = r.I32();
  cursor = r.LpString();
  if (version > 102) {
    selStr = r.LpString();
    selIndex = r.I32();
  }
  if (version > 112)
    for (int32_t& h : history)
      h = r.I32();
  if (version > 120) tempName = r.LpString();
}

void TParamCollection::SaveStatusVars(ByteWriter& w) const {
  SaveVars(w, true);
}

void TParamCollection::LoadStatusVars(ByteReader& r, int version) {
  ReadRecords(r);
}

void TParamCollection::ClearGameVars() {
  FreeWhere([](const TParamCollectionItem& it) { return !it.status; });
  textDelay = 50;
  cursor.clear();
  history.fill(0);
}

// ---- system variables ----

TCustomParam* TParamSystem::Forward() const {
  if (index_ == kSysResult) return store_->Host().ResultVar();
  if (index_ != kSysTemp || store_->tempName.empty()) return nullptr;
  TParamCollectionItem* it = store_->FindItem(store_->tempName);
  if (!it || &it->Value() == this) return nullptr;
  return &it->Value();
}

bool TParamSystem::IsList() const {
  return index_ == kSysKeyPush || index_ == kSysKeyClick || index_ == kSysKeyRepeat ||
         index_ == kSysParamStr || index_ == kSysMidiPorts;
}

TParamSystem::Scalar TParamSystem::Read() const {
  Scalar s;
  s.type = kSysVars[index_].type;
  SysVarHost& host = store_->Host();
  switch (index_) {
    case kSysTextDelay:
      s.i = store_->textDelay;
      break;
    case kSysCursor:
      s.s = store_->cursor;
      break;
    case kSysSelStr:
      s.s = store_->selStr;
      break;
    case kSysSelIndex:
      s.i = store_->selIndex;
      break;
    case kSysPi:
      s.f = std::numbers::pi_v<long double>;
      break;
    case kSys1Hour:
      s.f = 1.0L / 24;
      break;
    case kSys1Min:
      s.f = 1.0L / 1440;
      break;
    case kSys1Sec:
      s.f = 1.0L / 86400;
      break;
    case kSysPCTickCount:
      s.i = static_cast<int32_t>(host.PCTickCount());
      break;
    case kSysYear:
      s.i = DecodeDate(host.Now()).year;
      break;
    case kSysMonth:
      s.i = DecodeDate(host.Now()).month;
      break;
    case kSysDay:
      s.i = DecodeDate(host.Now()).day;
      break;
    case kSysWeek:
      s.i = DayOfWeek(host.Now());
      break;
    case kSysHour:
      s.i = DecodeTime(host.Now()).hour;
      break;
    case kSysMin:
      s.i = DecodeTime(host.Now()).min;
      break;
    case kSysSec:
      s.i = DecodeTime(host.Now()).sec;
      break;
    case kSysKeyPush:
    case kSysKeyClick:
    case kSysKeyRepeat:
      break;  // a scalar read is false
    case kSysParamStr:
      break;  // "" as a scalar
    case kSysMidiPorts:
      if (host.ListCount(index_) > 0) s.s = host.ListItem(index_, 0);
      break;
    default:
      if (s.type == kTypeStr)
        s.s = host.ReadStr(index_);
      else
        s.i = host.ReadInt(index_);
      break;
  }
  return s;
}

void TParamSystem::WriteInt(int32_t v) {
  const SysVarInfo& info = kSysVars[index_];
  if (!info.writable) return;
  switch (info.type) {
    case kTypeStr:
      return WriteStr(IntToText(v));
    case kTypeFlag:
      v = v != 0;
      break;
    default:
      break;
  }
  if (index_ == kSysTextDelay)
    Store().textDelay = v;
  else if (index_ == kSysSelIndex)
    Store().selIndex = v;
  else
    store_->Host().WriteInt(index_, v);
}

void TParamSystem::WriteFloat(long double v) {
  if (kSysVars[index_].type == kTypeStr) return WriteStr(FloatToText(v));
  if (kSysVars[index_].type == kTypeFlag) return WriteInt(v != 0);
  WriteInt(FloatToInt(v));
}

void TParamSystem::WriteStr(const std::string& v) {
  const SysVarInfo& info = kSysVars[index_];
  if (!info.writable) return;
  if (info.type == kTypeFlag) return WriteInt(TextToFlag(v));
  if (info.type == kTypeInt) {
    // Text that is not a number is ignored.
    if (auto i = TextToIntOpt(v)) WriteInt(*i);
    return;
  }
  if (index_ == kSysCursor)
    Store().cursor = v;
  else if (index_ == kSysSelStr)
    Store().selStr = v;
  else
    store_->Host().WriteStr(index_, v);
}

int TParamSystem::Count() const {
  if (Forwards()) {
    RefDepthGuard g;
    TCustomParam* f = Forward();
    return f ? f->Count() : 1;
  }
  if (index_ == kSysKeyPush || index_ == kSysKeyClick || index_ == kSysKeyRepeat) return kKeyCount;
  if (index_ == kSysParamStr || index_ == kSysMidiPorts) {
    const int n = store_->Host().ListCount(index_);
    return n < 0 ? 0 : n;
  }
  return 1;
}

void TParamSystem::SetCount(int n) {
  RefDepthGuard g;
  if (TCustomParam* f = Forward()) f->SetCount(n);
}

int TParamSystem::TypeCode() const {
  if (Forwards()) {
    RefDepthGuard g;
    TCustomParam* f = Forward();
    return f ? f->TypeCode() : kTypeInt;
  }
  return kSysVars[index_].type;
}

#define KOVA_SYS_FWD(call, none) \
  if (Forwards()) {              \
    RefDepthGuard g;             \
    TCustomParam* f = Forward(); \
    if (!f) return none;         \
    return f->call;              \
  }

bool TParamSystem::AsBool() const {
  KOVA_SYS_FWD(AsBool(), false)
  Scalar s = Read();
  switch (s.type) {
    case kTypeStr:
      return TextToFlag(s.s);
    case kTypeFloat:
      return s.f != 0;
    default:
      return s.i != 0;
  }
}
long double TParamSystem::AsFloat() const {
  KOVA_SYS_FWD(AsFloat(), 0.0L)
  Scalar s = Read();
  switch (s.type) {
    case kTypeStr:
      return TextToFloat(s.s);
    case kTypeFloat:
      return s.f;
    case kTypeFlag:
      return s.i ? 1.0L : 0.0L;
    default:
      return s.i;
  }
}
int32_t TParamSystem::AsInt() const {
  KOVA_SYS_FWD(AsInt(), 0)
  Scalar s = Read();
  switch (s.type) {
    case kTypeStr:
      return TextToInt(s.s);
    case kTypeFloat:
      return FloatToInt(s.f);
    case kTypeFlag:
      return s.i != 0;
    default:
      return s.i;
  }
}
std::string TParamSystem::AsStr() const {
  KOVA_SYS_FWD(AsStr(), std::string())
  Scalar s = Read();
  switch (s.type) {
    case kTypeStr:
      return s.s;
    case kTypeFloat:
      return FloatToText(s.f);
    case kTypeFlag:
      return FlagToText(s.i != 0);
    default:
      return IntToText(s.i);
  }
}
void TParamSystem::SetBool(bool v) {
  KOVA_SYS_FWD(SetBool(v), )
  WriteInt(v);
}
void TParamSystem::SetFloat(long double v) {
  KOVA_SYS_FWD(SetFloat(v), )
  WriteFloat(v);
}
void TParamSystem::SetInt(int32_t v) {
  KOVA_SYS_FWD(SetInt(v), )
  WriteInt(v);
}
void TParamSystem::SetStr(const std::string& v) {
  KOVA_SYS_FWD(SetStr(v), )
  WriteStr(v);
}

// Element i of a list, or the scalar for i = 0; anything else is an index error.
#define KOVA_SYS_ELEM_READ(call, scalar, keyConv, strConv)                        \
  KOVA_SYS_FWD(call, {})                                                          \
  if (i < 0 || i >= Count()) ThrowBadIndex();                                     \
  if (index_ == kSysKeyPush || index_ == kSysKeyClick || index_ == kSysKeyRepeat) \
    return keyConv(store_->Host().KeyState(index_, i));                           \
  if (index_ == kSysParamStr || index_ == kSysMidiPorts)                          \
    return strConv(store_->Host().ListItem(index_, i));                           \
  return scalar;

int32_t TParamSystem::GetIntAt(int i) const {
  KOVA_SYS_ELEM_READ(GetIntAt(i), AsInt(), static_cast<int32_t>, TextToInt)
}
long double TParamSystem::GetFloatAt(int i) const {
  auto b = [](bool v) { return v ? 1.0L : 0.0L; };
  KOVA_SYS_ELEM_READ(GetFloatAt(i), AsFloat(), b, TextToFloat)
}
bool TParamSystem::GetBoolAt(int i) const {
    KOVA_SYS_ELEM_READ(GetBoolAt(i), AsBool(), static_cast<bool>,
                       TextToFlag)} std::string TParamSystem::GetStrAt(int i) const {
  auto id = [](std::string s) { return s; };
  KOVA_SYS_ELEM_READ(GetStrAt(i), AsStr(), FlagToText, id)
}

// The writable system variables are scalars: element 0 is the variable, others do not exist.
#define KOVA_SYS_ELEM_WRITE(call, set)    \
  KOVA_SYS_FWD(call, )                    \
  if (!kSysVars[index_].writable) return; \
  if (i != 0) ThrowBadIndex();            \
  set;

void TParamSystem::SetIntAt(int i, int32_t v) {
  KOVA_SYS_ELEM_WRITE(SetIntAt(i, v), WriteInt(v))
}
void TParamSystem::SetFloatAt(int i, long double v) {
  KOVA_SYS_ELEM_WRITE(SetFloatAt(i, v), WriteFloat(v))
}
void TParamSystem::SetBoolAt(int i, bool v) {
  KOVA_SYS_ELEM_WRITE(SetBoolAt(i, v), WriteInt(v))
}
void TParamSystem::SetStrAt(int i, const std::string& v) {
  KOVA_SYS_ELEM_WRITE(SetStrAt(i, v), WriteStr(v))
}

int TParamSystem::DimCount() const {
  KOVA_SYS_FWD(DimCount(), 1)
  return 1;
}
int TParamSystem::DimSize(int k) const {
  KOVA_SYS_FWD(DimSize(k), 1)
  return k == 0 && IsList() ? Count() : 1;
}
const std::vector<int32_t>& TParamSystem::Dims() const {
  KOVA_SYS_FWD(Dims(), kNoDims)
  if (!IsList()) return kNoDims;
  dimsCache_.assign(1, Count());
  return dimsCache_;
}
void TParamSystem::SetDims(const std::vector<int32_t>& sizes) {
  KOVA_SYS_FWD(SetDims(sizes), )
}
void TParamSystem::FillInt(int32_t v) {
  KOVA_SYS_FWD(FillInt(v), )
  WriteInt(v);
}
void TParamSystem::FillFloat(long double v) {
  KOVA_SYS_FWD(FillFloat(v), )
  WriteFloat(v);
}
void TParamSystem::FillBool(bool v) {
  KOVA_SYS_FWD(FillBool(v), )
  WriteInt(v);
}
void TParamSystem::FillStr(const std::string& v) {
  KOVA_SYS_FWD(FillStr(v), )
  WriteStr(v);
}
void TParamSystem::Assign(const TCustomParam& other) {
  KOVA_SYS_FWD(Assign(other), )
}
void TParamSystem::AssignConverted(const TCustomParam& other) {
  KOVA_SYS_FWD(AssignConverted(other), )
  if (other.Count() >= 1) SetStr(other.GetStrAt(0));
}
void TParamSystem::MakeScalar() {
  KOVA_SYS_FWD(MakeScalar(), )
}
void TParamSystem::Resize1D(int n){KOVA_SYS_FWD(Resize1D(n), )}

std::unique_ptr<TCustomParam> TParamSystem::Clone() const {
  KOVA_SYS_FWD(Clone(), NewStorageParam(kTypeInt))
  auto v = NewStorageParam(kSysVars[index_].type);
  v->AssignConverted(*this);
  return v;
}

#undef KOVA_SYS_FWD
#undef KOVA_SYS_ELEM_READ
#undef KOVA_SYS_ELEM_WRITE

}  // namespace kova
