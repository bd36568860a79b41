#include "gui/tree_colouring.h"

#include <algorithm>
#include <cmath>

namespace ctree {

namespace {

// Eight stops of equal spacing: dark purple, purple, magenta, crimson,
// red, orange-red, orange, amber.
const unsigned char STOPS[8][3] = {{22, 11, 57},  {66, 10, 104}, {106, 23, 110}, {147, 38, 103},
                                   {188, 55, 84}, {221, 81, 58}, {243, 120, 25}, {252, 165, 10}};

}  // namespace

const char* tree_colour_mode_name(int mode) {
  switch (mode) {
    case COLOUR_PERSISTENCE: return "persistence";
    case COLOUR_VALUE: return "value";
    default: return "ends";
  }
}

void ramp_colour(double t, unsigned char rgb[3]) {
  if (!(t > 0)) t = 0;  // also a NaN
  if (t > 1) t = 1;
  const double x = t * 7;
  const int i = std::min(6, int(x));
  const double f = x - i;
  for (int k = 0; k < 3; ++k)
    rgb[k] = (unsigned char)std::lround(STOPS[i][k] + f * (double(STOPS[i + 1][k]) - STOPS[i][k]));
}

double ColourScale::position(double v) const {
  if (!(hi > lo)) return 0.5;
  double t;
  if (log) {
    t = v > 0 ? (std::log(v) - std::log(lo)) / (std::log(hi) - std::log(lo)) : 0;
  } else {
    t = (v - lo) / (hi - lo);
  }
  return std::isnan(t) ? 0 : std::clamp(t, 0.0, 1.0);
}

ColourScale persistence_scale(const FlatTree& tree, const std::vector<Index>& order) {
  ColourScale s;
  if (order.empty()) return s;
  double lo = 0, hi = 0, positive = 0;
  bool any = false;
  for (Index b : order) {
    const double p = tree.branches[size_t(b)].persistence;
    lo = any ? std::min(lo, p) : p;
    hi = any ? std::max(hi, p) : p;
    if (p > 0) positive = positive > 0 ? std::min(positive, p) : p;
    any = true;
  }
  s.lo = lo, s.hi = hi;
  if (positive > 0 && hi >= 10 * positive) s.lo = positive, s.log = true;
  return s;
}

HeightOfValue height_of_value(const FlatTree& tree) {
  HeightOfValue h;
  if (tree.empty()) return h;
  const Vertex& p = tree.vertices[size_t(tree.root().ends[0])];
  const Vertex& q = tree.vertices[size_t(tree.root().ends[1])];
  if (!(p.field != q.field)) return h;
  h.a = (q.z - p.z) / (q.field - p.field);
  h.b = p.z - h.a * p.field;
  h.valid = std::isfinite(h.a) && std::isfinite(h.b);
  return h;
}

ColourScale value_scale(const FlatTree& tree) {
  ColourScale s;
  bool any = false;
  for (const Vertex& v : tree.vertices) {
    s.lo = any ? std::min(s.lo, double(v.field)) : v.field;
    s.hi = any ? std::max(s.hi, double(v.field)) : v.field;
    any = true;
  }
  return s;
}

}  // namespace ctree
