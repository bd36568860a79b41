#include "gui/branch_pick.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "ctree/branch_regions.h"

namespace ctree {

namespace {

void transform(const double m[16], const double in[4], double out[4]) {
  for (int r = 0; r < 4; ++r) out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
}

// Squared distance from q to the segment a-b (2D), and where on it (0..1).
double segment_distance2(const double a[2], const double b[2], const double q[2], double& t) {
  const double dx = b[0] - a[0], dy = b[1] - a[1];
  const double len2 = dx * dx + dy * dy;
  t = len2 > 0 ? std::clamp(((q[0] - a[0]) * dx + (q[1] - a[1]) * dy) / len2, 0.0, 1.0) : 0.0;
  const double ex = a[0] + t * dx - q[0], ey = a[1] + t * dy - q[1];
  return ex * ex + ey * ey;
}

}  // namespace

bool project_point(const Camera& camera, const double p[3], double out[3]) {
  const double in[4] = {p[0], p[1], p[2], 1};
  double eye[4], clip[4];
  transform(camera.modelview, in, eye);
  transform(camera.projection, eye, clip);
  if (clip[3] == 0) return false;
  const int* v = camera.viewport;
  out[0] = v[0] + v[2] * (clip[0] / clip[3] + 1) / 2;
  out[1] = v[1] + v[3] * (clip[1] / clip[3] + 1) / 2;
  out[2] = (clip[2] / clip[3] + 1) / 2;
  return true;
}

Index pick_branch(const FlatTree& tree, const std::vector<Index>& order, const DrawSet& drawn, const PathStyle& style,
                  const Camera& camera, double x, double y, double maxPixels, double* depth) {
  const double q[2] = {x, y};
  const double limit2 = maxPixels * maxPixels;
  Index best = NULL_INDEX;
  double bestD2 = 0, bestDepth = 0;
  BranchPath path;
  std::vector<double> screen;
  for (Index b : order) {
    build_branch_path(tree, b, b == 0, style, drawn, path);
    screen.clear();
    bool ok = true;
    for (size_t i = 0; i < path.size() && ok; ++i) {
      double s[3];
      ok = project_point(camera, &path.points[3 * i], s);
      screen.insert(screen.end(), s, s + 3);
    }
    if (!ok || path.size() == 0) continue;
    for (size_t i = 0; i < path.size(); ++i) {
      // Segments between neighbours; a lone point is a segment of length 0.
      const size_t j = std::min(i + 1, path.size() - 1);
      double t;
      const double d2 = segment_distance2(&screen[3 * i], &screen[3 * j], q, t);
      if (d2 > limit2) continue;
      const double z = screen[3 * i + 2] + t * (screen[3 * j + 2] - screen[3 * i + 2]);
      // Nearer in the picture wins; within a tenth of a pixel, nearer the
      // viewer.
      const bool better = best == NULL_INDEX || d2 < bestD2 - 0.01 || (d2 <= bestD2 + 0.01 && z < bestDepth);
      if (better) best = b, bestD2 = d2, bestDepth = z;
    }
  }
  if (depth && best != NULL_INDEX) *depth = bestDepth;
  return best;
}

std::vector<Index> paired_branches(const FlatTree& c, const FlatTree& a) {
  std::vector<Index> out(c.branches.size(), NULL_INDEX);
  if (c.empty() || a.empty()) return out;
  std::vector<std::pair<Index, Index>> stack{{0, 0}};
  while (!stack.empty()) {
    const auto [bc, ba] = stack.back();
    stack.pop_back();
    out[size_t(bc)] = ba;
    const IndexRange cc = c.children(bc), ca = a.children(ba);
    for (size_t i = 0; i < std::min(cc.size(), ca.size()); ++i) stack.push_back({cc[i], ca[i]});
  }
  return out;
}

void FreeEnds::build(const FlatTree& tree, const ScalarField3DGrid& grid) {
  gridIndex = tree_grid_indices(tree, grid);
  byEnd.clear();
  for (size_t b = 0; b < tree.branches.size(); ++b) {
    const FlatBranch& br = tree.branches[b];
    for (int k = 0; k < (b == 0 ? 2 : 1); ++k) {
      const Index v = br.ends[k];
      if (v >= 0 && size_t(v) < gridIndex.size() && gridIndex[size_t(v)] != NULL_INDEX)
        byEnd.push_back({gridIndex[size_t(v)], Index(b)});
    }
  }
  std::sort(byEnd.begin(), byEnd.end());
}

Index FreeEnds::branchAt(Index g) const {
  const auto it = std::lower_bound(byEnd.begin(), byEnd.end(), std::make_pair(g, Index(-1)));
  return it != byEnd.end() && it->first == g ? it->second : NULL_INDEX;
}

Index branch_at_surface_point(const ScalarField3DGrid& grid, const FlatTree& tree, const FreeEnds& ends,
                              const double p[3], double isovalue) {
  if (tree.empty() || grid.values.empty()) return NULL_INDEX;
  long cell[3];
  for (int a = 0; a < 3; ++a) {
    const double u = (p[a] - grid.origin[a]) / grid.spacing[a];
    const long n = long(grid.dim[a]);
    if (!(u >= -0.5 && u <= double(n) - 0.5)) return NULL_INDEX;
    cell[a] = std::clamp(long(std::floor(u)), 0L, std::max(0L, n - 2));
  }
  const FieldCompare3d less(grid);
  // The largest and smallest corner of the cell.
  Index hi = NULL_INDEX, lo = NULL_INDEX;
  for (int c = 0; c < 8; ++c) {
    const long x = std::min(cell[0] + (c & 1), long(grid.dim[0]) - 1);
    const long y = std::min(cell[1] + ((c >> 1) & 1), long(grid.dim[1]) - 1);
    const long z = std::min(cell[2] + ((c >> 2) & 1), long(grid.dim[2]) - 1);
    const Index v = grid.vertexIndex(Size(x), Size(y), Size(z));
    if (hi == NULL_INDEX || less(hi, v)) hi = v;
    if (lo == NULL_INDEX || less(v, lo)) lo = v;
  }
  const bool up = grid.values[size_t(hi)] > isovalue;
  Index v = up ? hi : lo;
  // Climb (descend) to the extremum: each step to the neighbour furthest
  // beyond in the sweep order, until none lies beyond.
  const std::vector<GridStep>& steps = grid_neighbour_steps();
  for (;;) {
    const long x = v % long(grid.dim[0]), y = (v / long(grid.dim[0])) % long(grid.dim[1]),
               z = v / (long(grid.dim[0]) * long(grid.dim[1]));
    Index next = v;
    for (const GridStep& s : steps) {
      const long X = x + s.d[0], Y = y + s.d[1], Z = z + s.d[2];
      if (X < 0 || Y < 0 || Z < 0 || X >= long(grid.dim[0]) || Y >= long(grid.dim[1]) || Z >= long(grid.dim[2]))
        continue;
      const Index w = grid.vertexIndex(Size(X), Size(Y), Size(Z));
      if (up ? less(next, w) : less(w, next)) next = w;
    }
    if (next == v) break;
    v = next;
  }
  Index b = ends.branchAt(v);
  if (b == NULL_INDEX) return NULL_INDEX;
  // Up the hierarchy while the whole path stays on the extremum's side:
  // the attachment lies there, so a path that reaches past the isovalue
  // crosses it inside the same piece.
  while (b > 0) {
    const FlatBranch& br = tree.branches[size_t(b)];
    const Real f0 = tree.vertices[size_t(br.ends[0])].field, f1 = tree.vertices[size_t(br.ends[1])].field;
    if (up ? std::min(f0, f1) < isovalue : std::max(f0, f1) > isovalue) break;
    b = tree.hangsFrom(b);
  }
  return b;
}

}  // namespace ctree
