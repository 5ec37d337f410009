// The game's one random number generator: a 32-bit linear congruential
// generator in the style of the old runtime, so a seed reproduces a run.
#pragma once

#include <cstdint>

namespace kelvane {

class Random {
 public:
  explicit Random(uint32_t seed = 0) : seed_(seed) {}
  void Seed(uint32_t seed) { seed_ = seed; }
  uint32_t seed() const { return seed_; }
  // 0 .. n-1; 0 when n <= 0.
  int Next(int n) {
    seed_ = seed_ * 134775813u + 1u;
    if (n <= 0) return 0;
    return static_cast<int>((static_cast<uint64_t>(seed_) * static_cast<uint32_t>(n)) >> 32);
  }
  // 0 <= x < 1.
  double NextDouble() {
    seed_ = seed_ * 134775813u + 1u;
    return seed_ / 4294967296.0;
  }

 private:
  uint32_t seed_;
};

}  // namespace kelvane
