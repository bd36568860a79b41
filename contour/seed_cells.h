#pragma once
// The seed cells of one time step: the cells from which contour propagation
// starts, each with the value range (min, max] of isovalues it serves.

#include <cstddef>
#include <vector>

namespace contour {

struct Seed {
  float min;
  float max;
  unsigned cell;
};

class SeedCells {
 public:
  SeedCells() { seeds.reserve(10000); }

  int getNCells() const { return int(seeds.size()); }
  void AddSeed(unsigned cell, float min, float max) { seeds.push_back({min, max, cell}); }
  const Seed* getCellPointer() const { return seeds.data(); }
  const Seed& operator[](int k) const { return seeds[k]; }
  void Clear() { seeds.clear(); }
  void Reserve(size_t n) { seeds.reserve(n); }

 private:
  std::vector<Seed> seeds;
};

}  // namespace contour
