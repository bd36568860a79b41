#include "io/tree_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <unordered_map>

namespace ctree {

namespace {

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

}  // namespace

std::string check_tree_rules(const std::vector<PlyBranch>& records, size_t slots, bool exact) {
  if (records.empty()) return "the file holds no branches (a contour tree has at least one)";
  // Per vertex: its value, and how it is used (free end, hanging vertex).
  enum : unsigned char { SEEN = 1, FREE = 2, HANGS = 4 };
  std::vector<unsigned char> use(slots, 0);
  std::vector<double> value(slots, 0.0);
  for (size_t i = 0; i < records.size(); ++i) {
    const PlyBranch& r = records[i];
    // Built only for a message: this loop runs over every branch of a file.
    const auto where = [i] { return "branch " + std::to_string(i) + ": "; };
    if (r.persist < 0) return where() + "negative persistence " + num(r.persist);
    if (i > 0) {
      const PlyBranch& p = records[size_t(r.parent)];
      const double lo = std::min(p.w0, p.w1), hi = std::max(p.w0, p.w1);
      if (r.w1 < lo || r.w1 > hi)
        return where() + "hangs at value " + num(r.w1) + ", outside its parent's range " + num(lo) + " .. " + num(hi);
      if (r.persist > p.persist) return where() + "more persistent than its parent " + std::to_string(r.parent);
      if (r.persist > records[i - 1].persist) return where() + "more persistent than the branch before it";
      const std::int32_t a = std::min(p.v0, p.v1), b = std::max(p.v0, p.v1);
      if (r.v1 <= a || r.v1 >= b)
        return where() + "hangs at vertex " + std::to_string(r.v1) + ", not between its parent's ends " +
               std::to_string(a) + " and " + std::to_string(b);
    }
    for (int e = 0; e < 2; ++e) {
      const size_t v = size_t(e ? r.v1 : r.v0);
      value[v] = e ? r.w1 : r.w0;
      // ends[0] is free; so is the root's ends[1]; every other ends[1] hangs.
      const unsigned char role = (e == 0 || i == 0) ? FREE : HANGS;
      if (use[v] & FREE) return where() + "vertex " + std::to_string(v) + " is already the free end of another branch";
      if (role == FREE && (use[v] & HANGS))
        return where() + "vertex " + std::to_string(v) + " is a free end here but other branches hang from it";
      use[v] |= SEEN | role;
    }
  }
  // Persistence is the largest |w1 - w0| in the branch's subtree: its own
  // span, or on a plateau a child's that reaches further. Children stand
  // after their parents, so one pass from the back gathers it; max is
  // exact, so a file with its source record must match bit for bit, and
  // one written with 6 digits within their rounding.
  std::vector<double> span(records.size());
  double largest = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    span[i] = std::fabs(records[i].w1 - records[i].w0);
    largest = std::max({largest, std::fabs(records[i].w0), std::fabs(records[i].w1)});
  }
  for (size_t i = records.size(); i-- > 1;) {
    double& up = span[size_t(records[i].parent)];
    up = std::max(up, span[i]);
  }
  for (size_t i = 0; i < records.size(); ++i) {
    const double p = records[i].persist;
    const bool agrees = exact ? p == span[i] : std::fabs(p - span[i]) <= 1e-5 * (std::fabs(p) + 2 * largest);
    if (!agrees)
      return "branch " + std::to_string(i) + ": persistence " + num(p) +
             " is not the largest difference of end values in its subtree, " + num(span[i]);
  }
  // Vertex indices follow the sweep order: values never fall.
  size_t prev = slots;
  for (size_t v = 0; v < slots; ++v) {
    if (!use[v]) continue;
    if (prev < slots && value[v] < value[prev])
      return "vertex " + std::to_string(v) + ": value " + num(value[v]) + " is below vertex " + std::to_string(prev) +
             "'s " + num(value[prev]) + " though vertices are numbered in rising order";
    prev = v;
  }
  return "";
}

namespace {

// Why a tree vertex at p with value w is not a point of the grid with its
// value ("" when it is). Positions are origin + spacing * index up to
// rounding (blocks carry origins of their own); values are copied, so
// exact unless the file rounded them to 6 digits (exact false).
std::string grid_point_problem(const ScalarField3DGrid& g, const double p[3], double w, bool exact,
                               const double* origin = nullptr, const double* spacing = nullptr) {
  if (!origin) origin = g.origin;
  if (!spacing) spacing = g.spacing;
  std::uint64_t index = 0, stride = 1;
  for (int a = 0; a < 3; ++a) {
    const double k = spacing[a] != 0 ? (p[a] - origin[a]) / spacing[a] : 0;
    const double i = std::round(k);
    if (std::fabs(k - i) > 1e-6 * (1 + std::fabs(k)) || i < 0 || i >= double(g.dim[a]))
      return " lies at " + num(p[0]) + " " + num(p[1]) + " " + num(p[2]) + ", not a point of the grid";
    index += std::uint64_t(i) * stride;
    stride *= g.dim[a];
  }
  if (index >= g.values.size()) return " lies outside the grid";
  const double v = g.values[size_t(index)];
  const bool same = exact ? v == w : std::fabs(v - w) <= 1e-5 * (std::fabs(v) + std::fabs(w));
  if (!same) return " has value " + num(w) + " where the grid has " + num(v);
  return "";
}

// The grid points of value w, at most limit of them.
std::vector<std::uint64_t> points_of_value(const ScalarField3DGrid& g, double w, size_t limit) {
  std::vector<std::uint64_t> at;
  for (size_t i = 0; i < g.values.size() && at.size() <= limit; ++i)
    if (g.values[i] == w) at.push_back(i);
  return at;
}

// The placement (origin and spacing) under which every tree vertex of the
// records stands on a grid point with its value, found from two vertices
// of rare values: each pair of grid points of those values gives one
// placement to try. Axes along which the two do not differ keep the data's
// spacing. false when none is found.
bool records_placement(const std::vector<PlyBranch>& records, const ScalarField3DGrid& g, double origin[3],
                       double spacing[3]) {
  struct End {
    double p[3], w;
  };
  std::vector<End> ends;
  for (const PlyBranch& r : records) {
    ends.push_back({{r.x0, r.y0, r.z0}, r.w0});
    ends.push_back({{r.x1, r.y1, r.z1}, r.w1});
  }
  if (ends.empty() || g.values.empty()) return false;
  std::unordered_map<double, std::uint64_t> seen;
  for (const End& e : ends) seen[e.w] = 0;
  for (Real v : g.values) {
    auto it = seen.find(v);
    if (it != seen.end()) ++it->second;
  }
  auto rarer = [&](const End& a, const End& b) { return seen[a.w] < seen[b.w]; };
  const End a = *std::min_element(ends.begin(), ends.end(), rarer);
  // The second: differing from the first along as many axes as can be.
  const End* b = nullptr;
  int best_axes = 0;
  for (const End& e : ends) {
    const int axes = (e.p[0] != a.p[0]) + (e.p[1] != a.p[1]) + (e.p[2] != a.p[2]);
    if (axes > best_axes || (axes == best_axes && axes > 0 && rarer(e, *b))) best_axes = axes, b = &e;
  }
  const size_t limit = 4096;
  const std::vector<std::uint64_t> at_a = points_of_value(g, a.w, limit);
  const std::vector<std::uint64_t> at_b = b ? points_of_value(g, b->w, limit) : std::vector<std::uint64_t>{0};
  if (at_a.size() > limit || at_b.size() > limit || at_a.size() * at_b.size() > 100000) return false;
  auto coordinates = [&](std::uint64_t i, std::uint64_t c[3]) {
    for (int k = 0; k < 3; ++k) c[k] = i % g.dim[k], i /= g.dim[k];
  };
  for (std::uint64_t ia : at_a)
    for (std::uint64_t ib : at_b) {
      std::uint64_t ca[3], cb[3];
      coordinates(ia, ca);
      coordinates(ib, cb);
      bool usable = true;
      for (int k = 0; k < 3 && usable; ++k) {
        const bool apart = b && ca[k] != cb[k] && a.p[k] != b->p[k];
        spacing[k] = apart ? (b->p[k] - a.p[k]) / (double(cb[k]) - double(ca[k])) : g.spacing[k];
        origin[k] = a.p[k] - spacing[k] * double(ca[k]);
        usable = std::isfinite(origin[k]) && spacing[k] > 0;
      }
      if (!usable) continue;
      bool all = true;
      for (const End& e : ends)
        if (!grid_point_problem(g, e.p, e.w, true, origin, spacing).empty()) {
          all = false;
          break;
        }
      if (all) return true;
    }
  return false;
}

std::string three(const double* v) { return num(v[0]) + " " + num(v[1]) + " " + num(v[2]); }

// When the records are the tree of the data's very samples placed at
// another origin or spacing: which placement, as a message; else "".
std::string other_placement(const std::vector<PlyBranch>& records, const ScalarField3DGrid& g) {
  double origin[3], spacing[3];
  if (!records_placement(records, g, origin, spacing)) return "";
  return "the tree is of these samples placed at origin " + three(origin) + " with spacing " + three(spacing) +
         ", the data loaded lies at origin " + three(g.origin) + " with spacing " + three(g.spacing) +
         " (give --origin and --spacing as the file has them, or delete the file to have the tree computed again)";
}

}  // namespace

bool read_source_record(const std::vector<std::string>& comments, TreeSource& source, bool& has, std::string& error) {
  has = false;
  for (const std::string& c : comments) {
    if (!is_source_comment(c)) continue;
    if (has) {
      error = "its header holds two source records";
      return false;
    }
    if (!parse_source_comment(c, source, error)) return false;
    has = true;
  }
  return true;
}

std::string check_tree_data(const std::vector<PlyBranch>& records, const TreeSource* recorded,
                            const TreeDataCheck& data) {
  const TreeSource& s = data.source;
  if (recorded && *recorded != s)
    return "the tree was computed from " + describe_source(*recorded) + ", not from the data loaded (" +
           describe_source(s) + ")";
  const double vertices = double(s.size[0]) * double(s.mesh ? 1 : s.size[1] * s.size[2]);
  const double slack = recorded ? 0.0 : 1e-5;
  const double value_tol = slack * (std::fabs(s.min) + std::fabs(s.max));
  const auto other = [&s] { return ": the file belongs to other data than " + describe_source(s); };
  if (data.extrema && records.size() + 1 != data.extrema)
    return "the file's tree has " + std::to_string(records.size() + 1) +
           " free ends (minima and maxima), the data has " + std::to_string(data.extrema) +
           ": it is not the data's whole tree (cut short, or of other data)";
  for (size_t i = 0; i < records.size(); ++i) {
    const PlyBranch& r = records[i];
    for (int e = 0; e < 2; ++e) {
      const std::int32_t v = e ? r.v1 : r.v0;
      const double w = e ? r.w1 : r.w0, p[3] = {e ? r.x1 : r.x0, e ? r.y1 : r.y0, e ? r.z1 : r.z0};
      const auto where = [i, v] { return "branch " + std::to_string(i) + ": vertex " + std::to_string(v); };
      if (double(v) >= vertices) return where() + " lies beyond the data's " + num(vertices) + " vertices" + other();
      if (w < s.min - value_tol || w > s.max + value_tol)
        return where() + " has value " + num(w) + ", outside the data's range" + other();
      if (!data.fieldPositions) continue;
      for (int a = 0; a < 3; ++a) {
        const double lo = data.bounds.min[a], hi = data.bounds.max[a];
        const double tol = slack * (std::fabs(lo) + std::fabs(hi));
        if (p[a] < lo - tol || p[a] > hi + tol) {
          const std::string placed = recorded && data.grid ? other_placement(records, *data.grid) : "";
          if (!placed.empty()) return placed;
          return where() + " lies at " + num(p[0]) + " " + num(p[1]) + " " + num(p[2]) + ", outside the data's box" +
                 other();
        }
      }
      if (data.grid) {
        const std::string at = grid_point_problem(*data.grid, p, w, recorded != nullptr);
        if (!at.empty()) {
          const std::string placed = recorded ? other_placement(records, *data.grid) : "";
          return placed.empty() ? where() + at + other() : placed;
        }
      }
    }
  }
  return "";
}

}  // namespace ctree
