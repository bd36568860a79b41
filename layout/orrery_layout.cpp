#include "layout/orrery_layout.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "layout/rooted_tree.h"

namespace ctree {

void layout_multires_tree(FlatTree& tree, double aspect, bool scale, ProgressSink& progress) {
  if (tree.empty()) return;
  const size_t nb = tree.branches.size();
  RootedTree rt(nb);  // sized once: nodes point at each other
  for (size_t i = 1; i < nb; ++i) {
    RTNode* parent = &rt[size_t(tree.hangsFrom(Index(i)))];
    rt[i].parent = parent;
    rt[i].depth = parent->depth + 1;
    parent->children.push_back(&rt[i]);
  }
  std::vector<double> xy;
  layout_rooted_tree(rt, 1.0, xy, progress);
  for (size_t k = 0; k < nb; ++k) {
    const FlatBranch& b = tree.branches[k];
    const size_t pole = k == 0 ? 0 : size_t(rt[k].parent - rt.data());
    Vertex& a = tree.vertices[size_t(b.ends[0])];
    Vertex& c = tree.vertices[size_t(b.ends[1])];
    a.x = xy[2 * k];
    a.y = xy[2 * k + 1];
    c.x = xy[2 * pole];
    c.y = xy[2 * pole + 1];
    a.z = a.field;
    c.z = c.field;
  }
  // Interior vertices of the root pole stand at the origin.
  for (Index u : tree.attachments(0)) {
    Vertex& v = tree.vertices[size_t(u)];
    v.x = v.y = 0;
    v.z = v.field;
  }
  if (scale) scale_radii(tree, aspect);
  tree.computeBoxes();
}

namespace {

struct Scaler {
  FlatTree& tree;
  double ratio, min, range;

  // Heights into [0, ratio]; a tree of one value is flat.
  double rescale(double z) const { return range > 0 ? ratio * (z - min) / range : 0.0; }
  Vertex& at(Index v) { return tree.vertices[size_t(v)]; }

  // The branches with an end at u, other than self, in branch order.
  template <class F>
  void attached(Index u, Index self, F f) {
    for (Index e : tree.endsAt(u))
      if (e / 2 != self) f(e / 2);
  }
};

}  // namespace

void scale_radii(FlatTree& tree, double aspect) {
  if (tree.empty()) return;
  const FlatBranch& root = tree.root();
  Scaler s{tree, 1.0, tree.vertices[size_t(root.ends[0])].z, tree.vertices[size_t(root.ends[1])].z};
  double max = s.range;
  if (max < s.min) std::swap(max, s.min);
  for (size_t i = 1; i < tree.branches.size(); ++i) {
    const Vertex& p = s.at(tree.branches[i].ends[0]);
    const Vertex& q = s.at(tree.branches[i].ends[1]);
    const double d = std::hypot(q.x - p.x, q.y - p.y);
    const double h = std::fabs(q.field - p.field);
    if (h != 0 && d / h > s.ratio) s.ratio = d / h;
    s.min = std::fmin(s.min, std::fmin(p.z, q.z));
    max = std::fmax(max, std::fmax(p.z, q.z));
  }
  s.range = max - s.min;
  // Vertices are rescaled once each: remember which are done (a vertex is
  // shared by the branches that meet at it).
  std::vector<char> done(tree.vertices.size(), 0);
  auto rescale_once = [&](Index k) {
    if (done[size_t(k)]) return;
    done[size_t(k)] = 1;
    s.at(k).z = s.rescale(s.at(k).z);
  };
  rescale_once(root.ends[0]);
  rescale_once(root.ends[1]);

  struct Work {
    Index b;
    double dx, dy;
  };
  std::vector<Work> stack;
  for (Index u : tree.attachments(0)) {
    rescale_once(u);
    s.attached(u, 0, [&](Index c) { stack.push_back({c, 0.0, 0.0}); });
  }
  size_t guard = 0;
  while (!stack.empty() && guard++ <= tree.branches.size()) {
    Work w = stack.back();
    stack.pop_back();
    const FlatBranch& wb = tree.branches[size_t(w.b)];
    Vertex& A = s.at(wb.ends[0]);
    const Vertex& B = s.at(wb.ends[1]);
    rescale_once(wb.ends[0]);
    const double rA = std::hypot(A.x, A.y), rB = std::hypot(B.x, B.y);
    const double d = std::hypot(B.x - A.x, B.y - A.y), h = std::fabs(A.z - B.z);
    double px = 0, py = 0;
    if (h == 0) {
      A.x = B.x;
      A.y = B.y;
    } else {
      const double dot = A.x * B.x + A.y * B.y;
      const double s2 = rA > 0 && rB > 0 ? 1 - dot * dot / (rA * rA * rB * rB) : 0.0;
      double L = h;
      if (s2 > 0) {
        const double sn = std::sqrt(s2);
        L = d * std::sqrt(1 - (sn / d) * (sn / d)) + h * std::sqrt(1 - (sn / h) * (sn / h));
        if (!std::isfinite(L)) L = h;
      }
      // Away from the origin along A's own direction; a branch standing on
      // the origin has none, and goes along +x.
      px = rA > 0 ? L / rA * A.x : L;
      py = rA > 0 ? L / rA * A.y : 0.0;
      A.x += px;
      A.y += py;
    }
    const double dx = w.dx + px, dy = w.dy + py;
    for (Index u : tree.attachments(w.b)) {
      Vertex& U = s.at(u);
      U.x = A.x;
      U.y = A.y;
      rescale_once(u);
      s.attached(u, w.b, [&](Index c) {
        Vertex& cv = s.at(tree.branches[size_t(c)].ends[0]);
        cv.x += dx;
        cv.y += dy;
        stack.push_back({c, dx, dy});
      });
    }
  }
  // Back to heights in [0, 1] (times the aspect) and distances shrunk alike.
  for (Vertex& v : tree.vertices) {
    v.x /= s.ratio;
    v.y /= s.ratio;
    v.z = v.z / s.ratio * aspect;
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) v.x = v.y = v.z = 0;
  }
}

}  // namespace ctree
