#include "common/hash_collection.h"

#include "common/cp932.h"

namespace kova {

void THashCollectionItem::SetName(std::string name) {
  if (owner_) owner_->Unlink(this);
  name_ = std::move(name);
  if (owner_) owner_->Link(this);
}

int THashCollection::BucketOf(std::string_view name) {
  // The folded name has the same length; only stand-alone ASCII letters change.
  unsigned h = static_cast<unsigned>(name.size()) * 16;
  if (name.size() >= 2) {
    const size_t k = name.size() - 2;
    const char second = cp932::IsTrailAt(name, k) ? name[k] : cp932::FoldAscii(name[k]);
    h += static_cast<uint8_t>(cp932::FoldAscii(name[0])) + static_cast<uint8_t>(second);
  }
  return static_cast<int>(h % kBuckets);
}

void THashCollection::Link(THashCollectionItem* item) {
  buckets_[BucketOf(item->name_)][cp932::Lower(item->name_)].push_back(item);
}

void THashCollection::Unlink(THashCollectionItem* item) {
  Chain& chain = buckets_[BucketOf(item->name_)];
  auto it = chain.find(cp932::Lower(item->name_));
  if (it == chain.end()) return;
  std::erase(it->second, item);
  if (it->second.empty()) chain.erase(it);
}

THashCollectionItem& THashCollection::Add(std::unique_ptr<THashCollectionItem> item) {
  THashCollectionItem* p = item.get();
  p->owner_ = this;
  p->index_ = Count();
  items_.push_back(std::move(item));
  Link(p);
  return *p;
}

int THashCollection::IndexOf(std::string_view name) const {
  const Chain& chain = buckets_[BucketOf(name)];
  if (chain.empty()) return -1;
  // Folded into a reused buffer: lookups are hot and must not allocate.
  thread_local std::string key;
  key.assign(name);
  for (size_t i = 0; i < key.size(); i += cp932::CharLen(key, i))
    if (cp932::CharLen(key, i) == 1) key[i] = cp932::FoldAscii(key[i]);
  auto it = chain.find(key);
  return it == chain.end() ? -1 : it->second.back()->index_;
}

void THashCollection::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  Unlink(items_[i].get());
  items_.erase(items_.begin() + i);
  for (int k = i; k < Count(); ++k)
    items_[k]->index_ = k;
}

void THashCollection::Clear() {
  items_.clear();
  for (Chain& chain : buckets_)
    chain.clear();
}

}  // namespace kova
