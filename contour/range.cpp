#include "contour/range.h"

#include <algorithm>

namespace contour {

void Range::Set(float lo, float hi) {
  nrange = 0;
  overflow = false;
  if (lo < hi) {
    min[0] = lo;
    max[0] = hi;
    nrange = 1;
  }
}

bool Range::Contains(float w) const {
  for (int k = 0; k < nrange; ++k)
    if (min[k] < w && w <= max[k]) return true;
  return false;
}

Range& Range::unionMany(const Range& r) {
  Range out;
  out.overflow = overflow || r.overflow;
  int a = 0, b = 0;
  while (a < nrange || b < r.nrange) {
    if (b >= r.nrange || (a < nrange && min[a] <= r.min[b])) {
      out.append(min[a], max[a]);
      ++a;
    } else {
      out.append(r.min[b], r.max[b]);
      ++b;
    }
  }
  return *this = out;
}

Range& Range::differenceMany(const Range& r) {
  Range out;
  out.overflow = overflow || r.overflow;
  int b = 0;
  for (int a = 0; a < nrange; ++a) {
    float lo = min[a], hi = max[a];
    while (b < r.nrange && r.max[b] <= lo) ++b;
    int k = b;
    while (lo < hi && k < r.nrange && r.min[k] < hi) {
      // (lo, hi] - (r.min, r.max] leaves (lo, r.min] and (r.max, hi].
      out.append(lo, std::min(hi, r.min[k]));
      lo = std::max(lo, r.max[k]);
      ++k;
    }
    out.append(lo, hi);
  }
  return *this = out;
}

Range Range::operator^(const Range& r) const {
  Range out;
  out.overflow = overflow || r.overflow;
  int a = 0, b = 0;
  while (a < nrange && b < r.nrange) {
    out.append(std::max(min[a], r.min[b]), std::min(max[a], r.max[b]));
    if (max[a] < r.max[b])
      ++a;
    else
      ++b;
  }
  return out;
}

bool Range::operator==(const Range& r) const {
  if (nrange != r.nrange) return false;
  for (int k = 0; k < nrange; ++k)
    if (min[k] != r.min[k] || max[k] != r.max[k]) return false;
  return true;
}

Range Range::Complement(float lo, float hi) const { return Range(lo, hi) - *this; }

bool Range::Disjoint(const Range& r) const { return (*this ^ r).Empty(); }

void Range::Compress() {
  int n = nrange;
  float lo[MAX], hi[MAX];
  std::copy(min, min + n, lo);
  std::copy(max, max + n, hi);
  int order[MAX];
  for (int k = 0; k < n; ++k) order[k] = k;
  std::sort(order, order + n, [&](int x, int y) { return lo[x] < lo[y]; });
  nrange = 0;
  overflow = false;
  for (int k = 0; k < n; ++k) append(lo[order[k]], hi[order[k]]);
}

bool Range::Check(std::FILE* out) const {
  for (int k = 0; k < nrange; ++k)
    if (!(min[k] < max[k])) {
      std::fprintf(out, "invalid range!\n");
      return false;
    }
  for (int k = 1; k < nrange; ++k)
    if (!(max[k - 1] < min[k])) {
      std::fprintf(out, "invalid range(s)!\n");
      return false;
    }
  return true;
}

std::string Range::Print() const {
  if (nrange == 0) return "empty";
  std::string s;
  char buf[96];
  for (int k = 0; k < nrange; ++k) {
    std::snprintf(buf, sizeof buf, "%f->%f%s", min[k], max[k], k + 1 < nrange ? ", " : "");
    s += buf;
  }
  return s;
}

}  // namespace contour
