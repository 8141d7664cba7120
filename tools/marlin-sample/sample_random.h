// A small deterministic generator: the same seed gives the same dossier on
// every platform (the standard distributions do not promise that).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace marlin {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int64_t range(int64_t lo, int64_t hi) { return lo + int64_t(next() % uint64_t(hi - lo + 1)); }
  bool percent(int p) { return int(next() % 100) < p; }
  template <class T>
  const T& pick(const std::vector<T>& v) { return v[next() % v.size()]; }
  std::string digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += char('0' + next() % 10);
    return s;
  }

 private:
  uint64_t state_;
};

inline uint64_t mixSeed(uint64_t seed, uint64_t salt) { return Random(seed * 1000003u + salt).next(); }

}  // namespace marlin
