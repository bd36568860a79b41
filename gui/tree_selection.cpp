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

bool compare_map(const Branch& a, const Branch& b) { return b < a; }

bool passes_box(const TreeFilters& f, const Branch& b) {
  const float lower[3] = {f.filterBox.x, f.filterBox.y, f.filterBox.z};
  const float size[3] = {f.filterBox.dx, f.filterBox.dy, f.filterBox.dz};
  for (int a = 0; a < 3; ++a) {
    const float b0 = float(b.bbox[2 * a]), b1 = float(b.bbox[2 * a + 1]);
    const float lo = std::min(b0, b1), hi = std::max(b0, b1);
    if (!(lower[a] <= hi && lo <= lower[a] + size[a])) return false;
  }
  return true;
}

namespace {

struct Pair {
  BranchI a, c;
  Size depth;  // of a, carried along instead of walking the ancestors
};

size_t child_count(const Pair& p) { return std::min(p.a->nodes.size(), p.c->nodes.size()); }
Pair child(const Pair& p, size_t i) { return {p.a->nodes[i]->branch, p.c->nodes[i]->branch, p.depth + 1}; }

// Heap order: compare_map on the contour tree's branch with the depth
// carried along, then first pushed first, so equal branches are taken in a
// fixed order.
struct Ranked {
  Pair p;
  size_t seq;
};
struct RankLess {
  bool operator()(const Ranked& x, const Ranked& y) const {
    if (x.p.a->persistence != y.p.a->persistence) return x.p.a->persistence < y.p.a->persistence;
    if (x.p.depth != y.p.depth) return x.p.depth > y.p.depth;
    return x.seq > y.seq;
  }
};

bool fails_minoo(const TreeFilters& f, const Branch& b) { return f.minooOn && b.persistence < f.minoo; }

// Best-first expansion of a group with a budget of k branches; more
// persistent children than the threshold start groups of their own.
void traversal_maxchild(const TreeFilters& f, Pair start, bool useCtreel, DrawSet& out) {
  const long k = long(f.maxchild);
  std::vector<Pair> groups{start};
  std::priority_queue<Ranked, std::vector<Ranked>, RankLess> heap;
  while (!groups.empty()) {
    heap = {};
    size_t seq = 0;
    heap.push({groups.back(), seq++});
    groups.pop_back();
    for (long budget = k; !heap.empty() && budget >= 1; --budget) {
      const Pair x = heap.top().p;
      heap.pop();
      out.insert(useCtreel ? &*x.c : &*x.a);
      for (size_t i = 0; i < child_count(x); ++i) {
        const Pair ch = child(x, i);
        if (f.boxFilter && !passes_box(f, *ch.a)) continue;
        if (fails_minoo(f, *ch.a)) continue;
        if (!f.thresholdOn || ch.a->persistence < f.threshold)
          heap.push({ch, seq++});
        else
          groups.push_back(ch);
      }
    }
  }
}

}  // namespace

void select_branches(const TreeFilters& f, BranchI a, BranchI c, bool useCtreel, DrawSet& out) {
  std::vector<Pair> stack{{a, c, 0}};
  while (!stack.empty()) {
    const Pair p = stack.back();
    stack.pop_back();
    const Branch& b = *p.a;
    if (f.boxFilter && !passes_box(f, b)) continue;
    if (fails_minoo(f, b)) continue;
    const bool maxooFails = f.maxooOn && b.persistence > f.maxoo;
    const bool thresholdFails = f.thresholdOn && b.persistence < f.threshold;
    if (f.maxchildOn) {
      if (!maxooFails && !thresholdFails) {
        traversal_maxchild(f, p, useCtreel, out);
        continue;
      }
    } else if (!maxooFails && !thresholdFails) {
      out.insert(useCtreel ? &*p.c : &*p.a);
    }
    for (size_t i = child_count(p); i-- > 0;) stack.push_back(child(p, i));
  }
}

bool is_lower_end(const Node* p, const Node* q) {
  const Vertex& a = *p->vertex;
  const Vertex& b = *q->vertex;
  if (a.field != b.field) return a.field < b.field;
  if (a.z != b.z) return a.z < b.z;
  if (a.y != b.y) return a.y < b.y;
  return a.x < b.x;
}

void build_branch_path(const Branch& b, bool isRoot, const PathStyle& s, const DrawSet& drawn, BranchPath& out) {
  out.clear();
  auto add = [&](const Vertex& v) { out.add(v.x * s.scale[0], v.y * s.scale[1], v.z * s.scale[2], v.field); };
  const Vertex& p1 = *b.ends[0]->vertex;
  const Vertex& p2 = *b.ends[1]->vertex;
  add(p1);
  add(p1);
  const bool parentDrawn = b.parent != BranchI() && drawn.count(&*b.parent) != 0;
  if (!s.useCtreel) {
    size_t added = 0;
    for (const Node* n : b.nodes) {
      if (s.shortcut && !drawn.count(&*n->branch)) continue;
      add(*n->vertex);
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

void drawing_order(BranchI root, const DrawSet& drawn, std::vector<const Branch*>& out) {
  out.clear();
  std::vector<const Branch*> stack{&*root};
  while (!stack.empty()) {
    const Branch* b = stack.back();
    stack.pop_back();
    if (drawn.count(b)) out.push_back(b);
    for (size_t i = b->nodes.size(); i-- > 0;) stack.push_back(&*b->nodes[i]->branch);
  }
}

}  // namespace ctree
