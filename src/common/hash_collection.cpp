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
  item->bucket_ = BucketOf(item->name_);
  THashCollectionItem*& head = heads_[item->bucket_];
  item->prev_ = nullptr;
  item->next_ = head;
  if (head) head->prev_ = item;
  head = item;
}

void THashCollection::Unlink(THashCollectionItem* item) {
  if (item->prev_)
    item->prev_->next_ = item->next_;
  else
    heads_[item->bucket_] = item->next_;
  if (item->next_) item->next_->prev_ = item->prev_;
  item->prev_ = item->next_ = nullptr;
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
  for (THashCollectionItem* p = heads_[BucketOf(name)]; p; p = p->next_)
    if (cp932::EqualNoCase(p->name_, name)) return p->index_;
  return -1;
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
  heads_.fill(nullptr);
}

}  // namespace kova
