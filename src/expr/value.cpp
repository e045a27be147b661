#include "expr/value.h"

#include <cmath>
#include <new>

#include "common/cp932.h"
#include "common/error.h"
#include "expr/convert.h"

namespace kova {

void ThrowBadIndex() {
  throw Error("配列の添字が不正です");
}

void ThrowBadDims(const std::vector<int64_t>& sizes) {
  std::string joined;
  for (size_t i = 0; i < sizes.size(); ++i) {
    if (i) joined += ',';
    joined += std::to_string(sizes[i]);
  }
  throw Error("配列の要素数[" + joined + "]が不正です");
}

namespace {

// Element conversions, one overload per storage type.
int32_t ToInt(int32_t v) {
  return v;
}
int32_t ToInt(long double v) {
  return FloatToInt(v);
}
int32_t ToInt(uint8_t v) {
  return v ? 1 : 0;
}
int32_t ToInt(const std::string& v) {
  return TextToInt(v);
}
long double ToFloat(int32_t v) {
  return v;
}
long double ToFloat(long double v) {
  return v;
}
long double ToFloat(uint8_t v) {
  return v ? 1.0L : 0.0L;
}
long double ToFloat(const std::string& v) {
  return TextToFloat(v);
}
bool ToBool(int32_t v) {
  return v != 0;
}
bool ToBool(long double v) {
  return v != 0;
}
bool ToBool(uint8_t v) {
  return v != 0;
}
bool ToBool(const std::string& v) {
  return TextToFlag(v);
}
std::string ToStr(int32_t v) {
  return IntToText(v);
}
std::string ToStr(long double v) {
  return FloatToText(v);
}
std::string ToStr(uint8_t v) {
  return FlagToText(v);
}
std::string ToStr(const std::string& v) {
  return v;
}

template <typename T>
T From(int32_t v);
template <>
int32_t From(int32_t v) {
  return v;
}
template <>
long double From(int32_t v) {
  return v;
}
template <>
uint8_t From(int32_t v) {
  return v != 0;
}
template <>
std::string From(int32_t v) {
  return IntToText(v);
}

template <typename T>
T FromF(long double v);
template <>
int32_t FromF(long double v) {
  return FloatToInt(v);
}
template <>
long double FromF(long double v) {
  return v;
}
template <>
uint8_t FromF(long double v) {
  return v != 0;
}
template <>
std::string FromF(long double v) {
  return FloatToText(v);
}

template <typename T>
T FromB(bool v);
template <>
int32_t FromB(bool v) {
  return v;
}
template <>
long double FromB(bool v) {
  return v ? 1.0L : 0.0L;
}
template <>
uint8_t FromB(bool v) {
  return v;
}
template <>
std::string FromB(bool v) {
  return FlagToText(v);
}

template <typename T>
T FromS(const std::string& v);
template <>
int32_t FromS(const std::string& v) {
  return TextToInt(v);
}
template <>
long double FromS(const std::string& v) {
  return TextToFloat(v);
}
template <>
uint8_t FromS(const std::string& v) {
  return TextToFlag(v);
}
template <>
std::string FromS(const std::string& v) {
  return v;
}

void WriteElem(ByteWriter& w, int32_t v) {
  w.I32(v);
}
void WriteElem(ByteWriter& w, long double v) {
  w.F80(v);
}
void WriteElem(ByteWriter& w, uint8_t v) {
  w.U8(v);
}
void WriteElem(ByteWriter& w, const std::string& v) {
  w.LpString(v);
}
void ReadElem(ByteReader& r, int32_t& v) {
  v = r.I32();
}
void ReadElem(ByteReader& r, long double& v) {
  // A stored NaN or infinity would leak into texts; it reads as 0.
  v = r.F80();
  if (!std::isfinite(v)) v = 0;
}
void ReadElem(ByteReader& r, uint8_t& v) {
  v = r.U8() != 0;
}
void ReadElem(ByteReader& r, std::string& v) {
  v = r.LpString();
}
constexpr size_t MinElemBytes(int code) {
  return code == kTypeFloat ? 10 : code == kTypeFlag ? 1 : 4;
}

}  // namespace

void TCustomParam::CheckCount(int64_t n, const std::vector<int64_t>& sizes) const {
  if (n < 0 || n > INT32_MAX || static_cast<uint64_t>(n) * ElementBytes() > kMaxArrayBytes)
    ThrowBadDims(sizes);
}

void TCustomParam::SetDims(const std::vector<int32_t>& sizes) {
  std::vector<int64_t> wide(sizes.begin(), sizes.end());
  int64_t product = 1;
  for (int32_t s : sizes) {
    if (s < 1) ThrowBadDims(wide);
    product *= s;
    // Checked after every factor, so the 64-bit product itself never overflows.
    CheckCount(product, wide);
  }
  try {
    SetCount(static_cast<int>(product));
  } catch (const std::bad_alloc&) {
    ThrowBadDims(wide);
  } catch (const std::length_error&) {
    ThrowBadDims(wide);
  }
  dims_ = sizes;
}

void TCustomParam::FillInt(int32_t v) {
  for (int i = 0, n = Count(); i < n; ++i)
    SetIntAt(i, v);
}
void TCustomParam::FillFloat(long double v) {
  for (int i = 0, n = Count(); i < n; ++i)
    SetFloatAt(i, v);
}
void TCustomParam::FillBool(bool v) {
  for (int i = 0, n = Count(); i < n; ++i)
    SetBoolAt(i, v);
}
void TCustomParam::FillStr(const std::string& v) {
  for (int i = 0, n = Count(); i < n; ++i)
    SetStrAt(i, v);
}

void TCustomParam::Assign(const TCustomParam& other) {
  throw Error("CopyMem:変数の型があいません");
}

void TCustomParam::AssignConverted(const TCustomParam& other) {
  if (&other == this) return;
  std::vector<int32_t> dims = other.Dims();
  const int n = other.Count();
  if (dims.empty()) {
    MakeScalar();
    SetCount(n);
  } else {
    // A loaded or shrunk array may hold a zero size, which SetDims refuses; keep it as is.
    CheckCount(n, {n});
    SetCount(n);
    SetDimsRaw(dims);
  }
  switch (TypeCode()) {
    case kTypeInt:
      for (int i = 0; i < n; ++i)
        SetIntAt(i, other.GetIntAt(i));
      break;
    case kTypeFloat:
      for (int i = 0; i < n; ++i)
        SetFloatAt(i, other.GetFloatAt(i));
      break;
    case kTypeFlag:
      for (int i = 0; i < n; ++i)
        SetBoolAt(i, other.GetBoolAt(i));
      break;
    default:
      for (int i = 0; i < n; ++i)
        SetStrAt(i, other.GetStrAt(i));
      break;
  }
}

void TCustomParam::MakeScalar() {
  if (!dims_.empty() || Count() != 1) {
    dims_.clear();
    SetCount(1);
  }
}

void TCustomParam::Resize1D(int n) {
  CheckCount(n, {n});
  try {
    SetCount(n);
  } catch (const std::bad_alloc&) {
    ThrowBadDims({n});
  }
  dims_.assign(1, n);
}

int TCustomParam::IndexOfStr(const std::string& text, bool caseSensitive, bool partial) const {
  const std::string folded = caseSensitive ? text : cp932::Lower(text);
  for (int i = 0, n = Count(); i < n; ++i) {
    const std::string e = GetStrAt(i);
    if (partial) {
      if ((caseSensitive ? e : cp932::Lower(e)).find(folded) != std::string::npos) return i;
    } else if (caseSensitive ? e == text : cp932::EqualNoCase(e, text)) {
      return i;
    }
  }
  return -1;
}

void TCustomParam::SaveToStream(ByteWriter& w) const {
  w.U32(static_cast<uint32_t>(dims_.size()));
  for (int32_t d : dims_)
    w.I32(d);
}

void TCustomParam::LoadFromStream(ByteReader& r) {
  const uint32_t n = r.Count(r.U32(), 4, "dimension");
  std::vector<int32_t> dims(n);
  for (auto& d : dims) {
    d = r.I32();
    if (d < 0) r.Fail("negative dimension size");
  }
  dims_ = std::move(dims);
}

template <typename T, int kCode>
void TParamStore<T, kCode>::SetCount(int n) {
  if (n < 0) n = 0;
  v_.resize(static_cast<size_t>(n));
}

template <typename T, int kCode>
int32_t TParamStore<T, kCode>::GetIntAt(int i) const {
  return ToInt(At(i));
}
template <typename T, int kCode>
void TParamStore<T, kCode>::SetIntAt(int i, int32_t v) {
  At(i) = From<T>(v);
}
template <typename T, int kCode>
long double TParamStore<T, kCode>::GetFloatAt(int i) const {
  return ToFloat(At(i));
}
template <typename T, int kCode>
void TParamStore<T, kCode>::SetFloatAt(int i, long double v) {
  At(i) = FromF<T>(v);
}
template <typename T, int kCode>
bool TParamStore<T, kCode>::GetBoolAt(int i) const {
  return ToBool(At(i));
}
template <typename T, int kCode>
void TParamStore<T, kCode>::SetBoolAt(int i, bool v) {
  At(i) = FromB<T>(v);
}
template <typename T, int kCode>
std::string TParamStore<T, kCode>::GetStrAt(int i) const {
  return ToStr(At(i));
}
template <typename T, int kCode>
void TParamStore<T, kCode>::SetStrAt(int i, const std::string& v) {
  At(i) = FromS<T>(v);
}

template <typename T, int kCode>
void TParamStore<T, kCode>::Assign(const TCustomParam& other) {
  auto* o = dynamic_cast<const TParamStore*>(&other);
  if (!o) throw Error("CopyMem:変数の型があいません");
  if (o == this) return;
  v_ = o->v_;
  dims_ = o->dims_;
}

template <typename T, int kCode>
void TParamStore<T, kCode>::SaveToStream(ByteWriter& w) const {
  TCustomParam::SaveToStream(w);
  w.U32(static_cast<uint32_t>(v_.size()));
  for (const T& e : v_)
    WriteElem(w, e);
}

template <typename T, int kCode>
void TParamStore<T, kCode>::LoadFromStream(ByteReader& r) {
  TCustomParam::LoadFromStream(r);
  const uint32_t n = r.Count(r.U32(), MinElemBytes(kCode), "element");
  if (!dims_.empty()) {
    int64_t product = 1;
    for (int32_t d : dims_) {
      product *= d;
      if (product > INT32_MAX) r.Fail("too many elements");
    }
    if (product != n) r.Fail("element count does not match the dimensions");
  }
  if (static_cast<uint64_t>(n) * sizeof(T) > kMaxArrayBytes) r.Fail("too many elements");
  std::vector<T> v(n);
  for (T& e : v)
    ReadElem(r, e);
  v_ = std::move(v);
}

template class TParamStore<int32_t, kTypeInt>;
template class TParamStore<long double, kTypeFloat>;
template class TParamStore<uint8_t, kTypeFlag>;
template class TParamStore<std::string, kTypeStr>;

std::unique_ptr<TCustomParam> NewStorageParam(int type) {
  switch (type) {
    case kTypeInt:
      return std::make_unique<TParamInt>();
    case kTypeFloat:
      return std::make_unique<TParamFloat>();
    case kTypeFlag:
      return std::make_unique<TParamFlag>();
    case kTypeStr:
      return std::make_unique<TParamStr>();
    default:
      return nullptr;
  }
}

}  // namespace kova
