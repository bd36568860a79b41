#include "layout/orrery_layout.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "layout/rooted_tree.h"

namespace ctree {

void layout_multires_tree(MultiresTree& tree, double aspect, bool scale) {
  if (tree.branches.empty()) return;
  const size_t nb = tree.branches.size();
  RootedTree rt(nb);  // sized once: nodes point at each other
  std::unordered_map<const Branch*, size_t> node_of;
  node_of.reserve(nb);
  std::vector<Branch*> order;
  order.reserve(nb);
  size_t i = 0;
  for (Branch& b : tree.branches) {
    node_of[&b] = i;
    order.push_back(&b);
    if (i > 0) {
      // A parent that does not stand earlier (a malformed list) hangs the
      // branch from the root instead.
      auto p = b.parent == BranchI() ? node_of.end() : node_of.find(&*b.parent);
      RTNode* parent = p == node_of.end() ? &rt[0] : &rt[p->second];
      rt[i].parent = parent;
      rt[i].depth = parent->depth + 1;
      parent->children.push_back(&rt[i]);
    }
    ++i;
  }
  std::vector<double> xy;
  layout_rooted_tree(rt, 1.0, xy);
  for (size_t k = 0; k < nb; ++k) {
    Branch& b = *order[k];
    const size_t pole = k == 0 ? 0 : size_t(rt[k].parent - rt.data());
    Vertex* a = b.ends[0]->vertex;
    Vertex* c = b.ends[1]->vertex;
    a->x = xy[2 * k];
    a->y = xy[2 * k + 1];
    c->x = xy[2 * pole];
    c->y = xy[2 * pole + 1];
    a->z = a->field;
    c->z = c->field;
  }
  // Interior vertices of the root pole stand at the origin.
  for (Node* n : tree.branches.front().nodes) {
    n->vertex->x = n->vertex->y = 0;
    n->vertex->z = n->vertex->field;
  }
  if (scale) scale_radii(tree, aspect);
}

namespace {

struct Scaler {
  MultiresTree& tree;
  double ratio, min, range;

  // Heights into [0, ratio]; a tree of one value is flat.
  double rescale(double z) const { return range > 0 ? ratio * (z - min) / range : 0.0; }

  // The branches whose end node stands at u, other than self.
  template <class F>
  void attached(const Vertex* u, const Branch* self, F f) {
    for (Node* m : tree.nodes[size_t(tree.indexOf(u))])
      if (m->type == 0 && &*m->branch != self) f(m->branch);
  }
};

}  // namespace

void scale_radii(MultiresTree& tree, double aspect) {
  if (tree.branches.empty()) return;
  Branch& root = tree.branches.front();
  Scaler s{tree, 1.0, root.ends[0]->vertex->z, root.ends[1]->vertex->z};
  double max = s.range;
  if (max < s.min) std::swap(max, s.min);
  bool first = true;
  for (Branch& b : tree.branches) {
    if (first) {
      first = false;
      continue;
    }
    const Vertex* p = b.ends[0]->vertex;
    const Vertex* q = b.ends[1]->vertex;
    const double d = std::hypot(q->x - p->x, q->y - p->y);
    const double h = std::fabs(q->field - p->field);
    if (h != 0 && d / h > s.ratio) s.ratio = d / h;
    s.min = std::fmin(s.min, std::fmin(p->z, q->z));
    max = std::fmax(max, std::fmax(p->z, q->z));
  }
  s.range = max - s.min;
  // Vertices are rescaled once each: remember which are done (a vertex is
  // shared by the branches that meet at it).
  std::vector<char> done(tree.nodes.size(), 0);
  auto rescale_once = [&](Vertex* v) {
    const size_t k = size_t(tree.indexOf(v));
    if (done[k]) return;
    done[k] = 1;
    v->z = s.rescale(v->z);
  };
  rescale_once(root.ends[0]->vertex);
  rescale_once(root.ends[1]->vertex);

  struct Work {
    Branch* b;
    double dx, dy;
  };
  std::vector<Work> stack;
  for (Node* n : root.nodes) {
    rescale_once(n->vertex);
    s.attached(n->vertex, &root, [&](BranchI c) { stack.push_back({&*c, 0.0, 0.0}); });
  }
  size_t guard = 0;
  while (!stack.empty() && guard++ <= tree.branches.size()) {
    Work w = stack.back();
    stack.pop_back();
    Vertex* A = w.b->ends[0]->vertex;
    Vertex* B = w.b->ends[1]->vertex;
    rescale_once(A);
    const double rA = std::hypot(A->x, A->y), rB = std::hypot(B->x, B->y);
    const double d = std::hypot(B->x - A->x, B->y - A->y), h = std::fabs(A->z - B->z);
    double px = 0, py = 0;
    if (h == 0) {
      A->x = B->x;
      A->y = B->y;
    } else {
      const double dot = A->x * B->x + A->y * B->y;
      const double s2 = rA > 0 && rB > 0 ? 1 - dot * dot / (rA * rA * rB * rB) : 0.0;
      double L = h;
      if (s2 > 0) {
        const double sn = std::sqrt(s2);
        L = d * std::sqrt(1 - (sn / d) * (sn / d)) + h * std::sqrt(1 - (sn / h) * (sn / h));
        if (!std::isfinite(L)) L = h;
      }
      // Away from the origin along A's own direction; a branch standing on
      // the origin has none, and goes along +x.
      px = rA > 0 ? L / rA * A->x : L;
      py = rA > 0 ? L / rA * A->y : 0.0;
      A->x += px;
      A->y += py;
    }
    const double dx = w.dx + px, dy = w.dy + py;
    for (Node* n : w.b->nodes) {
      Vertex* u = n->vertex;
      u->x = A->x;
      u->y = A->y;
      rescale_once(u);
      s.attached(u, w.b, [&](BranchI c) {
        Vertex* cv = c->ends[0]->vertex;
        cv->x += dx;
        cv->y += dy;
        stack.push_back({&*c, dx, dy});
      });
    }
  }
  // Back to heights in [0, 1] (times the aspect) and distances shrunk alike.
  for (size_t k = 0; k < tree.nodes.size(); ++k) {
    Vertex& v = tree.vertices[k];
    v.x /= s.ratio;
    v.y /= s.ratio;
    v.z = v.z / s.ratio * aspect;
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) v.x = v.y = v.z = 0;
  }
}

}  // namespace ctree
