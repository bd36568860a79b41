#include "contour/range.h"

#include <algorithm>

namespace contour {

void Range::Set(float lo, float hi) {
  nrange = 0;
  overflow = false;
  if (lo < hi) {
    iv[0].lo = lo;
    iv[0].hi = hi;
    nrange = 1;
  }
}

bool Range::Contains(float w) const {
  for (int k = 0; k < nrange; ++k)
    if (iv[k].lo < w && w <= iv[k].hi) return true;
  return false;
}

Range& Range::unionMany(const Range& r) {
  Range out;
  out.overflow = overflow || r.overflow;
  int a = 0, b = 0;
  while (a < nrange || b < r.nrange) {
    if (b >= r.nrange || (a < nrange && iv[a].lo <= r.iv[b].lo)) {
      out.append(iv[a].lo, iv[a].hi);
      ++a;
    } else {
      out.append(r.iv[b].lo, r.iv[b].hi);
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
    float lo = iv[a].lo, hi = iv[a].hi;
    while (b < r.nrange && r.iv[b].hi <= lo) ++b;
    int k = b;
    while (lo < hi && k < r.nrange && r.iv[k].lo < hi) {
      // (lo, hi] - (r.min, r.max] leaves (lo, r.min] and (r.max, hi].
      out.append(lo, std::min(hi, r.iv[k].lo));
      lo = std::max(lo, r.iv[k].hi);
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
    out.append(std::max(iv[a].lo, r.iv[b].lo), std::min(iv[a].hi, r.iv[b].hi));
    if (iv[a].hi < r.iv[b].hi)
      ++a;
    else
      ++b;
  }
  return out;
}

bool Range::operator==(const Range& r) const {
  if (nrange != r.nrange) return false;
  for (int k = 0; k < nrange; ++k)
    if (iv[k].lo != r.iv[k].lo || iv[k].hi != r.iv[k].hi) return false;
  return true;
}

Range Range::Complement(float lo, float hi) const { return Range(lo, hi) - *this; }

bool Range::Disjoint(const Range& r) const { return (*this ^ r).Empty(); }

void Range::Compress() {
  int n = nrange;
  float lo[MAX], hi[MAX];
  for (int k = 0; k < n; ++k) {
    lo[k] = iv[k].lo;
    hi[k] = iv[k].hi;
  }
  int order[MAX];
  for (int k = 0; k < n; ++k) order[k] = k;
  std::sort(order, order + n, [&](int x, int y) { return lo[x] < lo[y]; });
  nrange = 0;
  overflow = false;
  for (int k = 0; k < n; ++k) append(lo[order[k]], hi[order[k]]);
}

bool Range::Check(std::FILE* out) const {
  for (int k = 0; k < nrange; ++k)
    if (!(iv[k].lo < iv[k].hi)) {
      std::fprintf(out, "invalid range!\n");
      return false;
    }
  for (int k = 1; k < nrange; ++k)
    if (!(iv[k - 1].hi < iv[k].lo)) {
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
    std::snprintf(buf, sizeof buf, "%f->%f%s", iv[k].lo, iv[k].hi, k + 1 < nrange ? ", " : "");
    s += buf;
  }
  return s;
}

}  // namespace contour
