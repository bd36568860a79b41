// The tree checker: every invariant of the model, reported one per line.
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "ctree/check_tree.h"

namespace ctree {

std::string check_tree(const MultiresTree& t, int orientation) {
  std::ostringstream err;
  int reported = 0;
  auto fail = [&]() -> std::ostringstream& {
    ++reported;
    return err;
  };
  const size_t nv = t.nodes.size();
  std::unordered_map<const Branch*, Index> number;
  Index k = 0;
  for (const Branch& b : t.branches) number[&b] = k++;
  auto known = [&](BranchI b) { return b != BranchI() && number.count(&*b) > 0; };
  auto vindex = [&](const Vertex* v) { return long(v - t.vertices); };
  auto in_range = [&](const Vertex* v) { return v && v >= t.vertices && size_t(v - t.vertices) < nv; };

  // Nodes at their vertices.
  size_t listed = 0;
  std::unordered_set<const Node*> all;
  for (size_t i = 0; i < nv && reported < 50; ++i)
    for (const Node* n : t.nodes[i]) {
      ++listed;
      all.insert(n);
      if (n->vertex != t.vertices + i)
        fail() << "vertex " << i << " lists a node of vertex " << vindex(n->vertex) << "\n";
      if (n->type > 1) fail() << "vertex " << i << " has a node of type " << int(n->type) << "\n";
      if (!known(n->branch)) {
        fail() << "vertex " << i << " has a node whose branch is not in the tree\n";
        continue;
      }
      if (n->type == 0 && n->branch->ends[0] != n && n->branch->ends[1] != n)
        fail() << "vertex " << i << ": end node is not an end of branch " << number[&*n->branch] << "\n";
    }

  for (const Branch& b : t.branches) {
    if (reported >= 50) break;
    const Index id = number[&b];
    if (!b.ends[0] || !b.ends[1]) {
      fail() << "branch " << id << " lacks end " << (b.ends[0] ? 1 : 0) << "\n";
      continue;
    }
    bool ends_ok = true;
    for (int e = 0; e < 2; ++e) {
      const Node* n = b.ends[e];
      if (!all.count(n) || !in_range(n->vertex)) {
        fail() << "branch " << id << ": end " << e << " is not listed at its vertex\n";
        ends_ok = false;
      } else if (n->type != 0 || &*n->branch != &b) {
        fail() << "branch " << id << ": end " << e << " is not an end node of this branch\n";
        ends_ok = false;
      }
    }
    if (!ends_ok) continue;
    const Vertex* v0 = b.ends[0]->vertex;
    const Vertex* v1 = b.ends[1]->vertex;
    if (v0 == v1) fail() << "branch " << id << " starts and ends at vertex " << vindex(v0) << "\n";
    if (orientation > 0 && v0 > v1)
      fail() << "branch " << id << " (" << vindex(v0) << " -- " << vindex(v1)
             << ") has ends[0] above ends[1] in a join tree\n";
    if (orientation < 0 && v0 < v1)
      fail() << "branch " << id << " (" << vindex(v0) << " -- " << vindex(v1)
             << ") has ends[0] below ends[1] in a split tree\n";
    const Vertex* lo = v0 < v1 ? v0 : v1;
    const Vertex* hi = v0 < v1 ? v1 : v0;
    if (lo->field > hi->field)
      fail() << "branch " << id << ": value " << lo->field << " at its lower vertex " << vindex(lo) << " exceeds "
             << hi->field << " at its upper vertex " << vindex(hi) << "\n";
    const Vertex* prev = lo;
    for (const Node* n : b.nodes) {
      if (!all.count(n)) {
        fail() << "branch " << id << " has an attachment node not listed at any vertex\n";
        continue;
      }
      if (n->vertex <= prev || n->vertex >= hi)
        fail() << "branch " << id << ": attachment node at vertex " << vindex(n->vertex)
               << " is out of order or not strictly between its ends " << vindex(lo) << " and " << vindex(hi) << "\n";
      if (n->vertex->field < prev->field || n->vertex->field > hi->field)
        fail() << "branch " << id << ": values are not monotone at vertex " << vindex(n->vertex) << "\n";
      prev = n->vertex;
      if (n->type == 1 && &*n->branch != &b)
        fail() << "branch " << id << ": interior node at vertex " << vindex(n->vertex) << " belongs to branch "
               << (known(n->branch) ? number[&*n->branch] : -1) << "\n";
      if (n->type == 0 && (!known(n->branch) || n->branch->parent == BranchI() || &*n->branch->parent != &b))
        fail() << "branch " << id << ": attachment end node at vertex " << vindex(n->vertex)
               << " belongs to a branch that does not hang from it\n";
    }
    if (b.parent != BranchI()) {
      if (!known(b.parent)) {
        fail() << "branch " << id << " has a parent that is not in the tree\n";
        continue;
      }
      size_t steps = 0;
      for (BranchI p = b.parent; p != BranchI() && steps <= t.branches.size(); p = p->parent) ++steps;
      if (steps > t.branches.size()) fail() << "branch " << id << " has a cycle among its ancestors\n";
      bool attached = false;
      for (const Node* n : b.parent->nodes) attached |= n->vertex == v0 || n->vertex == v1;
      if (!attached)
        fail() << "branch " << id << " hangs from branch " << number[&*b.parent]
               << " but neither of its ends is at one of the parent's attachment nodes\n";
    }
  }
  // Branch ends and interior nodes account for every listed node.
  size_t owned = 0;
  for (const Branch& b : t.branches) {
    owned += (b.ends[0] != nullptr) + (b.ends[1] != nullptr);
    for (const Node* n : b.nodes) owned += n->type == 1 && &*n->branch == &b;
  }
  if (owned != listed && reported < 50)
    fail() << listed << " nodes are listed at vertices but the branches hold " << owned << "\n";
  for (size_t i = 1; i < nv && reported < 50; ++i) {
    const Vertex &a = t.vertices[i - 1], &c = t.vertices[i];
    bool less = a.field != c.field ? a.field < c.field : a.z != c.z ? a.z < c.z : a.y != c.y ? a.y < c.y : a.x < c.x;
    if (!less) fail() << "vertices " << i - 1 << " and " << i << " are not in increasing (field, z, y, x) order\n";
  }
  if (reported >= 50) err << "(more problems not listed)\n";
  return err.str();
}

}  // namespace ctree
