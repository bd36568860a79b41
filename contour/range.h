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
#include <utility>

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
  float MinAt(int k) const { return iv[k].lo; }
  float MaxAt(int k) const { return iv[k].hi; }
  // Bounds of the whole set; only for a non-empty set.
  float Min() const { return iv[0].lo; }
  float Max() const { return iv[nrange - 1].hi; }
  bool Contains(float w) const;

  Range& operator+=(const Range& r);      // union
  Range& operator-=(const Range& r);      // difference
  Range operator^(const Range& r) const;  // intersection
  Range operator+(const Range& r) const {
    Range t = *this;
    return t += r;
  }
  Range operator-(const Range& r) const {
    Range t = *this;
    return t -= r;
  }
  bool operator==(const Range& r) const;
  bool operator!=(const Range& r) const { return !(*this == r); }

  // (lo, hi] minus this set.
  Range Complement(float lo, float hi) const;
  // True when the two sets share no value.
  bool Disjoint(const Range& r) const;
  // Merges touching and overlapping intervals and drops empty ones; the
  // operations above keep the set compressed already.
  void Compress();
  // Writes "invalid range!" to out for a reversed interval and "invalid
  // range(s)!" for intervals out of order or touching; returns whether the
  // set is valid.
  bool Check(std::FILE* out) const;
  // "lo->hi, lo->hi" or "empty".
  std::string Print() const;

 private:
  // After the last interval, merging with it when they touch.
  void append(float lo, float hi) {
    if (!(lo < hi)) return;
    if (nrange > 0 && lo <= iv[nrange - 1].hi) {
      if (hi > iv[nrange - 1].hi) iv[nrange - 1].hi = hi;
      return;
    }
    if (nrange == MAX) {
      overflow = true;
      if (hi > iv[nrange - 1].hi) iv[nrange - 1].hi = hi;
      return;
    }
    iv[nrange].lo = lo;
    iv[nrange].hi = hi;
    ++nrange;
  }
  // The general merges, for sets of several intervals.
  Range& unionMany(const Range& r);
  Range& differenceMany(const Range& r);
  void copyFrom(const Range& r) {
    if (nrange == 1) {
      iv[0].lo = r.iv[0].lo;
      iv[0].hi = r.iv[0].hi;
      return;
    }
    for (int k = 0; k < nrange; ++k) {
      iv[k].lo = r.iv[k].lo;
      iv[k].hi = r.iv[k].hi;
    }
  }

  int nrange = 0;
  bool overflow = false;
  // Each interval's ends side by side: a set of a few intervals is one
  // cache line, which matters for the sweep's column of sets.
  struct Interval {
    float lo, hi;
  };
  Interval iv[MAX];
};

// The sweep of the grid seed search mostly meets sets of one interval:
// those cases are done here, in place, exactly as the general merges do them.
inline Range& Range::operator+=(const Range& r) {
  if (r.nrange == 0) return *this;
  if (nrange == 0) return *this = r;
  if (nrange == 1 && r.nrange == 1) {
    overflow = overflow || r.overflow;
    float alo = iv[0].lo, ahi = iv[0].hi, blo = r.iv[0].lo, bhi = r.iv[0].hi;
    if (!(alo <= blo)) {
      std::swap(alo, blo);
      std::swap(ahi, bhi);
    }
    iv[0].lo = alo;
    if (blo <= ahi) {
      iv[0].hi = ahi < bhi ? bhi : ahi;
    } else {
      iv[0].hi = ahi;
      iv[1].lo = blo;
      iv[1].hi = bhi;
      nrange = 2;
    }
    return *this;
  }
  return unionMany(r);
}

inline Range& Range::operator-=(const Range& r) {
  if (nrange == 0 || r.nrange == 0) {
    overflow = overflow || r.overflow;
    return *this;
  }
  if (nrange == 1 && r.nrange == 1) {
    overflow = overflow || r.overflow;
    const float lo = iv[0].lo, hi = iv[0].hi, blo = r.iv[0].lo, bhi = r.iv[0].hi;
    if (bhi <= lo || !(blo < hi)) return *this;  // disjoint: unchanged
    nrange = 0;
    append(lo, blo < hi ? blo : hi);
    append(lo < bhi ? bhi : lo, hi);
    return *this;
  }
  return differenceMany(r);
}

}  // namespace contour
