// Persistence, bounding boxes and the persistence order of the branch list.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <utility>

#include "ctree/multires_tree.h"

namespace ctree {

BranchI MultiresTree::root() {
  if (branches.empty()) return branches.end();
  for (auto it = std::prev(branches.end());; --it) {
    if (it->parent == BranchI()) return it;
    if (it == branches.begin()) return branches.end();
  }
}

namespace {

// Post-order walk over the subtree of a branch without recursion (trees can
// be deep paths of millions of branches). The children of b are the
// branches of the end nodes found at the vertices of b's nodes.
// visit_child(parent, child) runs after child's subtree; leave(b) after all
// of b's children. The walk never goes deeper than the branch count, which
// guards against a parent cycle in a malformed tree.
template <class Enter, class Combine>
void post_order(MultiresTree& t, BranchI start, Enter enter, Combine combine) {
  struct Frame {
    BranchI b;
    size_t node = 0, end = 0;
  };
  std::vector<Frame> stack;
  stack.push_back({start});
  enter(start);
  const size_t limit = t.branches.size();
  while (!stack.empty()) {
    Frame& f = stack.back();
    BranchI child{};
    while (f.node < f.b->nodes.size()) {
      const NodeList& at = t.nodes[size_t(t.indexOf(f.b->nodes[f.node]->vertex))];
      if (f.end < at.size()) {
        Node* m = at[std::uint32_t(f.end++)];
        if (m->type == 0 && m->branch != f.b) {
          child = m->branch;
          break;
        }
      } else {
        ++f.node;
        f.end = 0;
      }
    }
    if (child != BranchI() && stack.size() <= limit) {
      enter(child);
      stack.push_back({child});
      continue;
    }
    if (child != BranchI()) continue;  // too deep: a cycle; skip this child
    BranchI done = f.b;
    stack.pop_back();
    if (!stack.empty()) combine(stack.back().b, done);
  }
}

}  // namespace

Real MultiresTree::persistence(BranchI b) {
  post_order(
      *this, b, [](BranchI x) { x->persistence = std::fabs(x->ends[1]->vertex->field - x->ends[0]->vertex->field); },
      [](BranchI parent, BranchI child) { parent->persistence = std::max(parent->persistence, child->persistence); });
  return b->persistence;
}

const Box& MultiresTree::computeBbox(BranchI b) {
  post_order(
      *this, b,
      [](BranchI x) {
        const Vertex* p = x->ends[0]->vertex;
        const Vertex* q = x->ends[1]->vertex;
        x->bbox = Box::at(p->x, p->y, p->z);
        x->bbox.add(q->x, q->y, q->z);
      },
      [](BranchI parent, BranchI child) { parent->bbox.add(child->bbox); });
  return b->bbox;
}

void MultiresTree::computeBbox() {
  BranchI r = root();
  if (r != branches.end()) computeBbox(r);
}

void MultiresTree::computePersistence() {
  BranchI r = root();
  if (r == branches.end()) return;
  persistence(r);
  // Stable sort by (persistence descending, depth ascending); depths are
  // computed once instead of per comparison. Splicing keeps every BranchI.
  struct Key {
    Real persistence;
    Size depth;
    size_t position;
    BranchI b;
  };
  std::vector<Key> keys;
  keys.reserve(branches.size());
  size_t pos = 0;
  // Depths by climbing to the nearest ancestor already known: linear overall
  // even for deep paths.
  std::unordered_map<const Branch*, Size> depth;
  depth.reserve(branches.size());
  std::vector<const Branch*> chain;
  for (BranchI it = branches.begin(); it != branches.end(); ++it) {
    chain.clear();
    const Branch* b = &*it;
    Size d = 0;
    while (true) {
      auto known = depth.find(b);
      if (known != depth.end()) {
        d = known->second;
        break;
      }
      chain.push_back(b);
      if (b->parent == BranchI() || chain.size() > branches.size()) {
        d = Size(-1);  // the root of the chain: depth 0 after the +1 below
        break;
      }
      b = &*b->parent;
    }
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) depth[*c] = ++d;
    keys.push_back({it->persistence, depth[&*it], pos++, it});
  }
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.persistence != b.persistence) return a.persistence > b.persistence;
    if (a.depth != b.depth) return a.depth < b.depth;
    return a.position < b.position;
  });
  for (const Key& k : keys) branches.splice(branches.end(), branches, k.b);
}

}  // namespace ctree
