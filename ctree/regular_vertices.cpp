#include "ctree/regular_vertices.h"

#include <cassert>

#include "ctree/sweep_branches.h"

namespace ctree {

static bool regular_in_both(MultiresTree& J, MultiresTree& S, Vertex* w) {
  return J.downDegree(w) == 1 && J.upDegree(w) == 1 && S.downDegree(w) == 1 && S.upDegree(w) == 1;
}

// Moves the node list of vertex i to position k and repoints its nodes.
static void move_node_list(MultiresTree& T, size_t i, size_t k, Vertex* target) {
  if (i != k) T.nodes[k] = std::move(T.nodes[i]);
  for (Node* n : T.nodes[k]) n->vertex = target;
}

// One compaction pass: removes the vertices for which removable(w) holds
// and that are regular in both trees; keeps the rest in order. Vertices not
// yet visited still sit at their old positions, vertices already kept at
// their new ones, so the tree edits always find the right lists.
template <class Removable>
static void compact(std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S, Removable removable) {
  assert(J.nodes.size() == V.size() && S.nodes.size() == V.size());
  Vertex* const base = V.data();
  size_t k = 0;
  for (size_t i = 0; i < V.size(); ++i) {
    Vertex* w = &V[i];
    if (removable(*w) && regular_in_both(J, S, w)) {
      J.removeVertex(w, true);
      S.removeVertex(w, false);
      continue;
    }
    move_node_list(J, i, k, &V[k]);
    move_node_list(S, i, k, &V[k]);
    V[k] = V[i];
    ++k;
  }
  V.resize(k);
  J.nodes.resize(k);
  S.nodes.resize(k);
  assert(V.data() == base);
  (void)base;
}

void remove_regular_vertices(std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S) {
  compact(V, J, S, [](const Vertex&) { return true; });
}

void remove_regular_interior_vertices(const Box& box, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S) {
  compact(V, J, S, [&box](const Vertex& w) { return box.holdsInside(w.x, w.y, w.z); });
}

void merge_critical_points(const std::vector<Vertex>& a, const std::vector<Vertex>& b, std::vector<Vertex>& out) {
  out.clear();
  out.reserve(a.size() + b.size());
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (vertex_less(a[i], b[j]))
      out.push_back(a[i++]);
    else if (vertex_less(b[j], a[i]))
      out.push_back(b[j++]);
    else {
      out.push_back(a[i++]);
      ++j;
    }
  }
  out.insert(out.end(), a.begin() + std::ptrdiff_t(i), a.end());
  out.insert(out.end(), b.begin() + std::ptrdiff_t(j), b.end());
}

}  // namespace ctree
