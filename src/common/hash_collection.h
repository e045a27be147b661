// A collection of named items found by name in constant time. Names compare case-insensitively
// (ASCII letters only, see cp932.h); of two items with the same name the later one is found.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/cp932.h"

namespace kova {

class THashCollection;

class THashCollectionItem {
 public:
  explicit THashCollectionItem(std::string name = {}) : name_(std::move(name)) {}
  virtual ~THashCollectionItem() = default;
  THashCollectionItem(const THashCollectionItem&) = delete;
  THashCollectionItem& operator=(const THashCollectionItem&) = delete;

  const std::string& Name() const { return name_; }
  // Renaming moves the item to the bucket of its new name (when it is in a collection).
  void SetName(std::string name);
  // Position in the owning collection; -1 when it is in none.
  int Index() const { return index_; }

 private:
  friend class THashCollection;
  std::string name_;
  THashCollection* owner_ = nullptr;
  int index_ = -1;
};

class THashCollection {
 public:
  static constexpr int kBuckets = 256;

  THashCollection() = default;
  virtual ~THashCollection() { Clear(); }
  THashCollection(const THashCollection&) = delete;
  THashCollection& operator=(const THashCollection&) = delete;

  static int BucketOf(std::string_view name);

  int Count() const { return static_cast<int>(items_.size()); }
  THashCollectionItem& At(int i) const { return *items_[i]; }
  // Appends an item and returns it.
  THashCollectionItem& Add(std::unique_ptr<THashCollectionItem> item);
  // Index of the latest item of that name, or -1.
  int IndexOf(std::string_view name) const;
  THashCollectionItem* Find(std::string_view name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : items_[i].get();
  }
  // Calls fn for every item of that name, the latest first, while it returns true.
  template <typename F>
  void ForEachNamed(std::string_view name, F&& fn) const {
    const Chain& chain = buckets_[BucketOf(name)];
    auto it = chain.find(cp932::Lower(name));
    if (it == chain.end()) return;
    // A callback may not add or remove items; iterate over a copy to be safe all the same.
    const std::vector<THashCollectionItem*> items = it->second;
    for (auto p = items.rbegin(); p != items.rend(); ++p)
      if (!fn(**p)) return;
  }
  // Frees the item at i; later items move down one place.
  void Delete(int i);
  void Clear();

 private:
  friend class THashCollectionItem;
  void Link(THashCollectionItem* item);
  void Unlink(THashCollectionItem* item);

  std::vector<std::unique_ptr<THashCollectionItem>> items_;
  // Each bucket maps a folded name to its items in the order they were added, so the latest
  // is found first and a bucket holding thousands of names still answers in constant time.
  using Chain = std::unordered_map<std::string, std::vector<THashCollectionItem*>>;
  std::array<Chain, kBuckets> buckets_;
};

// Typed view for collections whose items are all of one class.
template <typename T>
class THashCollectionOf : public THashCollection {
 public:
  T& At(int i) const { return static_cast<T&>(THashCollection::At(i)); }
  T& Add(std::unique_ptr<T> item) { return static_cast<T&>(THashCollection::Add(std::move(item))); }
  T* Find(std::string_view name) const { return static_cast<T*>(THashCollection::Find(name)); }
};

}  // namespace kova
