// The generator that scrambles archive names and offsets, permutes protected picture rows and
// drives random transitions: state := state * 5 + seed (mod 2^32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kova {

class TNxRandom {
 public:
  explicit TNxRandom(uint32_t seed) : seed_(seed) {}

  uint32_t Next() { return state_ = state_ * 5u + seed_; }
  // The pool becomes 0, 1, ..., n-1.
  void InitPool(int n);
  // Draws one pool element without replacement; -1 when the pool is empty.
  int32_t DrawFromPool();
  int PoolCount() const { return static_cast<int>(pool_.size()); }
  int PoolSize() const { return poolSize_; }
  uint32_t State() const { return state_; }

 private:
  uint32_t seed_;
  uint32_t state_ = 0;
  std::vector<int32_t> pool_;
  int poolSize_ = 0;
};

}  // namespace kova
