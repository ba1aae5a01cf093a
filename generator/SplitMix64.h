// A small seeded random number generator whose sequence depends on nothing but
// the seed: the same seed gives the same numbers with every compiler and
// standard library, so a generated directory is identical on every platform.
#pragma once

#include <cstdint>

class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // A number in [0, bound); bound must not be 0. The slight bias of the
  // remainder does not matter for test data and keeps the sequence simple.
  std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(Next() % bound); }

 private:
  std::uint64_t state_;
};
