#include "common/nx_random.h"

namespace kova {

void TNxRandom::InitPool(int n) {
  poolSize_ = n;
  pool_.clear();
  if (n <= 0) return;
  pool_.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    pool_.push_back(i);
}

int32_t TNxRandom::DrawFromPool() {
  // An empty pool would divide by zero; callers never ask, but bad data must not crash.
  if (pool_.empty()) return -1;
  const uint32_t i = Next() % static_cast<uint32_t>(pool_.size());
  const int32_t v = pool_[i];
  pool_.erase(pool_.begin() + i);
  return v;
}

}  // namespace kova
