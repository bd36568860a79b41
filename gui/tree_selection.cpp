#include "gui/tree_selection.h"

#include <algorithm>
#include <queue>

namespace ctree {

TreeFilters filters_of(const MainData& d) {
  TreeFilters f;
  f.boxFilter = d.boxFilter != 0;
  f.minooOn = d.minooOn != 0;
  f.maxooOn = d.maxooOn != 0;
  f.thresholdOn = d.thresholdOn != 0;
  f.maxchildOn = d.maxchildOn != 0;
  f.filterBox = d.filterBox;
  f.minoo = d.minoo;
  f.maxoo = d.maxoo;
  f.threshold = d.threshold;
  f.maxchild = d.maxchild;
  return f;
}

bool compare_map(const FlatBranch& a, Size depthA, const FlatBranch& b, Size depthB) {
  if (a.persistence != b.persistence) return a.persistence < b.persistence;
  return depthA > depthB;
}

bool passes_box(const TreeFilters& f, const FlatBranch& b) {
  const float lower[3] = {f.filterBox.x, f.filterBox.y, f.filterBox.z};
  const float size[3] = {f.filterBox.dx, f.filterBox.dy, f.filterBox.dz};
  for (int a = 0; a < 3; ++a) {
    const float lo = float(b.box.min[a]), hi = float(b.box.max[a]);
    if (!(lower[a] <= hi && lo <= lower[a] + size[a])) return false;
  }
  return true;
}

namespace {

struct Pair {
  Index a, c;
  Size depth;  // of a, carried along instead of walking the ancestors
};

// Both trees, and the walk over their branches side by side.
struct Walk {
  const TreeFilters& f;
  const FlatTree& ta;
  const FlatTree& tc;
  bool useCtreel;
  DrawSet& out;

  const FlatBranch& branch(const Pair& p) const { return ta.branches[size_t(p.a)]; }
  size_t child_count(const Pair& p) const { return std::min(ta.children(p.a).size(), tc.children(p.c).size()); }
  Pair child(const Pair& p, size_t i) const { return {ta.children(p.a)[i], tc.children(p.c)[i], p.depth + 1}; }
  void draw(const Pair& p) { out.insert(useCtreel ? p.c : p.a); }
  bool fails_minoo(const FlatBranch& b) const { return f.minooOn && b.persistence < f.minoo; }
  bool dropped(const FlatBranch& b) const { return (f.boxFilter && !passes_box(f, b)) || fails_minoo(b); }
};

// Heap order: compare_map on the contour tree's branch with the depth
// carried along, then first pushed first, so equal branches are taken in a
// fixed order.
struct Ranked {
  const FlatBranch* b;
  Pair p;
  size_t seq;
};
struct RankLess {
  bool operator()(const Ranked& x, const Ranked& y) const {
    if (compare_map(*x.b, x.p.depth, *y.b, y.p.depth)) return true;
    if (compare_map(*y.b, y.p.depth, *x.b, x.p.depth)) return false;
    return x.seq > y.seq;
  }
};

// Best-first expansion of a group with a budget of k branches; more
// persistent children than the threshold start groups of their own.
void traversal_maxchild(Walk& w, Pair start) {
  const long k = long(w.f.maxchild);
  std::vector<Pair> groups{start};
  std::priority_queue<Ranked, std::vector<Ranked>, RankLess> heap;
  while (!groups.empty()) {
    heap = {};
    size_t seq = 0;
    heap.push({&w.branch(groups.back()), groups.back(), seq++});
    groups.pop_back();
    for (long budget = k; !heap.empty() && budget >= 1; --budget) {
      const Pair x = heap.top().p;
      heap.pop();
      w.draw(x);
      for (size_t i = 0; i < w.child_count(x); ++i) {
        const Pair ch = w.child(x, i);
        const FlatBranch& b = w.branch(ch);
        if (w.dropped(b)) continue;
        if (!w.f.thresholdOn || b.persistence < w.f.threshold)
          heap.push({&b, ch, seq++});
        else
          groups.push_back(ch);
      }
    }
  }
}

}  // namespace

void select_branches(const TreeFilters& f, const FlatTree& a, const FlatTree& c, bool useCtreel, DrawSet& out) {
  out.reset((useCtreel ? c : a).branches.size());
  if (a.empty() || c.empty()) return;
  Walk w{f, a, c, useCtreel, out};
  std::vector<Pair> stack{{0, 0, 0}};
  while (!stack.empty()) {
    const Pair p = stack.back();
    stack.pop_back();
    const FlatBranch& b = w.branch(p);
    if (w.dropped(b)) continue;
    const bool maxooFails = f.maxooOn && b.persistence > f.maxoo;
    const bool thresholdFails = f.thresholdOn && b.persistence < f.threshold;
    if (f.maxchildOn) {
      if (!maxooFails && !thresholdFails) {
        traversal_maxchild(w, p);
        continue;
      }
    } else if (!maxooFails && !thresholdFails) {
      w.draw(p);
    }
    for (size_t i = w.child_count(p); i-- > 0;) stack.push_back(w.child(p, i));
  }
}

void build_branch_path(const FlatTree& tree, Index bi, bool isRoot, const PathStyle& s, const DrawSet& drawn,
                       BranchPath& out) {
  out.clear();
  auto add = [&](const Vertex& v) { out.add(v.x * s.scale[0], v.y * s.scale[1], v.z * s.scale[2], v.field); };
  const FlatBranch& b = tree.branches[size_t(bi)];
  const Vertex& p1 = tree.vertices[size_t(b.ends[0])];
  const Vertex& p2 = tree.vertices[size_t(b.ends[1])];
  add(p1);
  add(p1);
  const bool parentDrawn = b.parent != NULL_INDEX && drawn.contains(b.parent);
  if (!s.useCtreel) {
    // Children are sorted by the vertex they hang at, as the attachments are.
    const IndexRange children = tree.children(bi);
    size_t added = 0, k = 0;
    for (Index u : tree.attachments(bi)) {
      bool childDrawn = false;
      for (; k < children.size() && tree.branches[size_t(children[k])].ends[1] == u; ++k)
        childDrawn = childDrawn || drawn.contains(children[k]);
      if (s.shortcut && !childDrawn) continue;
      add(tree.vertices[size_t(u)]);
      ++added;
    }
    if (s.shortcut && !isRoot && added > 0 && !parentDrawn) {
      out.repeatLast();
      return;
    }
    add(p2);
    add(p2);
    return;
  }
  if (isRoot) {
    add(p2);
    add(p2);
    return;
  }
  out.add(p1.x * s.scale[0], p1.y * s.scale[1], p2.z * s.scale[2], p2.field);  // the elbow
  if (parentDrawn) {
    add(p2);
    add(p2);
  } else {
    out.repeatLast();
  }
}

void isovalue_markers(const BranchPath& path, double h, std::vector<double>& out) {
  out.clear();
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    const double v0 = path.values[i], v1 = path.values[i + 1];
    if (!(std::min(v0, v1) <= h && h <= std::max(v0, v1))) continue;
    const double t = v1 == v0 ? 0.0 : (h - v0) / (v1 - v0);
    for (int a = 0; a < 3; ++a) {
      const double p0 = path.points[3 * i + size_t(a)], p1 = path.points[3 * (i + 1) + size_t(a)];
      out.push_back(p0 + (p1 - p0) * t);
    }
  }
}

void drawing_order(const FlatTree& tree, const DrawSet& drawn, std::vector<Index>& out) {
  out.clear();
  if (tree.empty()) return;
  std::vector<Index> stack{0};
  while (!stack.empty()) {
    const Index b = stack.back();
    stack.pop_back();
    if (drawn.contains(b)) out.push_back(b);
    const IndexRange children = tree.children(b);
    for (size_t i = children.size(); i-- > 0;) stack.push_back(children[i]);
  }
}

}  // namespace ctree
