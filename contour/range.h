#pragma once
// A set of value intervals, used by the seed search of grids.
//
// Owns at most MAX disjoint intervals, kept sorted and never touching; an
// operation that would need more marks the result as overflowed. Every
// interval is half-open, (lo, hi]: exactly the isovalues w for which a cell or
// face with that value range has a corner below w (value < w) and one not
// below. With that convention union, difference and intersection are exact,
// also for isovalues equal to a sample value, and (a, b] + (b, c] is (a, c].

#include <cstdio>
#include <string>

namespace contour {

class Range {
 public:
  static constexpr int MAX = 40;

  Range() = default;
  // The interval (lo, hi]; empty when lo >= hi.
  Range(float lo, float hi) { Set(lo, hi); }
  // Copies move only the intervals in use.
  Range(const Range& r) : nrange(r.nrange), overflow(r.overflow) { copyFrom(r); }
  Range& operator=(const Range& r) {
    nrange = r.nrange;
    overflow = r.overflow;
    copyFrom(r);
    return *this;
  }

  void Set(float lo, float hi);
  void MakeEmpty() {
    nrange = 0;
    overflow = false;
  }
  // Set when an operation needed more than MAX intervals, here or in an
  // operand: the set then holds at least the true values, merged at the
  // top, and users must fall back to something that does not rely on it.
  bool Overflowed() const { return overflow; }
  bool Empty() const { return nrange == 0; }
  int NumRanges() const { return nrange; }
  float MinAt(int k) const { return min[k]; }
  float MaxAt(int k) const { return max[k]; }
  // Bounds of the whole set; only for a non-empty set.
  float Min() const { return min[0]; }
  float Max() const { return max[nrange - 1]; }
  bool Contains(float w) const;

  Range& operator+=(const Range& r);  // union
  Range& operator-=(const Range& r);  // difference
  Range operator^(const Range& r) const;  // intersection
  Range operator+(const Range& r) const { Range t = *this; return t += r; }
  Range operator-(const Range& r) const { Range t = *this; return t -= r; }
  bool operator==(const Range& r) const;
  bool operator!=(const Range& r) const { return !(*this == r); }

  // (lo, hi] minus this set.
  Range Complement(float lo, float hi) const;
  // True when the two sets share no value.
  bool Disjoint(const Range& r) const;
  // Merges touching and overlapping intervals and drops empty ones; the
  // operations above keep the set compressed already.
  void Compress();
  // Prints "invalid range!" for a reversed interval and "invalid range(s)!"
  // for intervals out of order or touching; returns whether the set is valid.
  bool Check(std::FILE* out = stdout) const;
  // "lo->hi, lo->hi" or "empty".
  std::string Print() const;

 private:
  void append(float lo, float hi);  // after the last interval, merging
  void copyFrom(const Range& r) {
    for (int k = 0; k < nrange; ++k) {
      min[k] = r.min[k];
      max[k] = r.max[k];
    }
  }

  int nrange = 0;
  bool overflow = false;
  float min[MAX];
  float max[MAX];
};

}  // namespace contour
