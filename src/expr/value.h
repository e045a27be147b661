// Script values: integers, floats, flags and strings, each a scalar or an array of any number of
// dimensions. Reads and writes in another type convert (convert.h); element access is always
// bounds-checked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace kova {

enum TypeCode : int { kTypeVar = 0, kTypeInt = 1, kTypeFloat = 2, kTypeFlag = 3, kTypeStr = 4 };

// Element storage above this many bytes is refused as "cannot be allocated", so that a script
// cannot take the whole machine with one SetArray.
inline constexpr uint64_t kMaxArrayBytes = 256ull << 20;

[[noreturn]] void ThrowBadIndex();
// "配列の要素数[3,0]が不正です"
[[noreturn]] void ThrowBadDims(const std::vector<int64_t>& sizes);

class TCustomParam {
 public:
  virtual ~TCustomParam() = default;

  virtual int Count() const = 0;
  virtual void SetCount(int n) = 0;
  virtual int TypeCode() const = 0;
  // True for TParamVar (cheaper than a dynamic_cast on the evaluator's hot path).
  virtual bool IsReference() const { return false; }

  virtual bool AsBool() const { return GetBoolAt(0); }
  virtual long double AsFloat() const { return GetFloatAt(0); }
  virtual int32_t AsInt() const { return GetIntAt(0); }
  virtual std::string AsStr() const { return GetStrAt(0); }
  virtual void SetBool(bool v) { MakeScalar(), SetBoolAt(0, v); }
  virtual void SetFloat(long double v) { MakeScalar(), SetFloatAt(0, v); }
  virtual void SetInt(int32_t v) { MakeScalar(), SetIntAt(0, v); }
  virtual void SetStr(const std::string& v) { MakeScalar(), SetStrAt(0, v); }

  virtual int32_t GetIntAt(int i) const = 0;
  virtual void SetIntAt(int i, int32_t v) = 0;
  virtual long double GetFloatAt(int i) const = 0;
  virtual void SetFloatAt(int i, long double v) = 0;
  virtual bool GetBoolAt(int i) const = 0;
  virtual void SetBoolAt(int i, bool v) = 0;
  virtual std::string GetStrAt(int i) const = 0;
  virtual void SetStrAt(int i, const std::string& v) = 0;

  virtual int DimCount() const { return dims_.empty() ? 1 : static_cast<int>(dims_.size()); }
  virtual int DimSize(int k) const {
    return k >= 0 && k < static_cast<int>(dims_.size()) ? dims_[k] : 1;
  }
  virtual const std::vector<int32_t>& Dims() const { return dims_; }
  // Every size must be at least 1 and the product must fit i32 and memory.
  virtual void SetDims(const std::vector<int32_t>& sizes);
  virtual void FillInt(int32_t v);
  virtual void FillFloat(long double v);
  virtual void FillBool(bool v);
  virtual void FillStr(const std::string& v);
  // Same class only, else "CopyMem:変数の型があいません".
  virtual void Assign(const TCustomParam& other);
  // Dimension sizes of `other`, every element converted into this value's type.
  virtual void AssignConverted(const TCustomParam& other);
  virtual void MakeScalar();
  // Makes the value a one-dimensional array of n elements (n may be 0), keeping the first ones.
  virtual void Resize1D(int n);
  virtual int IndexOfStr(const std::string& text, bool caseSensitive, bool partial) const;

  virtual void SaveToStream(ByteWriter& w) const;
  virtual void LoadFromStream(ByteReader& r);

  // A fresh value of the same class holding a copy of the dimensions and elements.
  virtual std::unique_ptr<TCustomParam> Clone() const = 0;
  // Size of one element in storage, for the allocation limit.
  virtual size_t ElementBytes() const { return 4; }

  // Sets the dimension list without touching the elements (loaders and array functions that
  // keep the count in step themselves).
  void SetDimsRaw(std::vector<int32_t> dims) { dims_ = std::move(dims); }

 protected:
  // Checks a new element count against i32 and the allocation limit.
  void CheckCount(int64_t n, const std::vector<int64_t>& sizesForMessage) const;
  std::vector<int32_t> dims_;
};

template <typename T, int kCode>
class TParamStore : public TCustomParam {
 public:
  TParamStore() : v_(1) {}
  int Count() const override { return static_cast<int>(v_.size()); }
  void SetCount(int n) override;
  int TypeCode() const override { return kCode; }

  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  long double GetFloatAt(int i) const override;
  void SetFloatAt(int i, long double v) override;
  bool GetBoolAt(int i) const override;
  void SetBoolAt(int i, bool v) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& v) override;

  void Assign(const TCustomParam& other) override;
  void SaveToStream(ByteWriter& w) const override;
  void LoadFromStream(ByteReader& r) override;
  std::unique_ptr<TCustomParam> Clone() const override {
    return std::make_unique<TParamStore>(*this);
  }
  size_t ElementBytes() const override { return sizeof(T); }

  std::vector<T>& Items() { return v_; }
  const std::vector<T>& Items() const { return v_; }

 private:
  const T& At(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= v_.size()) ThrowBadIndex();
    return v_[static_cast<size_t>(i)];
  }
  T& At(int i) {
    if (i < 0 || static_cast<size_t>(i) >= v_.size()) ThrowBadIndex();
    return v_[static_cast<size_t>(i)];
  }
  std::vector<T> v_;
};

using TParamInt = TParamStore<int32_t, kTypeInt>;
using TParamFloat = TParamStore<long double, kTypeFloat>;
using TParamFlag = TParamStore<uint8_t, kTypeFlag>;
using TParamStr = TParamStore<std::string, kTypeStr>;

extern template class TParamStore<int32_t, kTypeInt>;
extern template class TParamStore<long double, kTypeFloat>;
extern template class TParamStore<uint8_t, kTypeFlag>;
extern template class TParamStore<std::string, kTypeStr>;

// A fresh scalar of a storage type 1-4 (nothing for other codes).
std::unique_ptr<TCustomParam> NewStorageParam(int type);

}  // namespace kova
