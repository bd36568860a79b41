#include "ctree/multires_tree.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <new>


namespace ctree {


Size Branch::depth() const {
  Size d = 0;
  for (BranchI p = parent; p != BranchI(); p = p->parent) ++d;
  return d;
}

void Branch::attachBranch(Branch& child) {
  Node* end = child.ends[1];
  auto it = std::lower_bound(nodes.begin(), nodes.end(), end, NodePCompare());
  if (it != nodes.end() && (*it)->vertex == end->vertex) return;
  nodes.insert(it, end);
}

bool Branch::operator<(const Branch& b) const {
  return persistence > b.persistence || (persistence == b.persistence && depth() < b.depth());
}

MultiresTree::MultiresTree() : branches(&pool) {}

// Nodes are trivially destructible and come from the pool, which returns
// all of its memory at once.
MultiresTree::~MultiresTree() = default;

Node* MultiresTree::newNode(Vertex* v, BranchI b, std::uint8_t type) {
  assert(v >= vertices && size_t(v - vertices) < nodes.size());
  Node* n = new (pool.allocate(sizeof(Node), alignof(Node))) Node{v, b, type};
  nodes[size_t(v - vertices)].push_back(n);
  return n;
}

void MultiresTree::freeNode(Node* n) {
  nodes[size_t(n->vertex - vertices)].erase(n);
  if (n->type == 0) {
    if (n->branch->ends[0] == n)
      n->branch->ends[0] = nullptr;
    else if (n->branch->ends[1] == n)
      n->branch->ends[1] = nullptr;
  }
  pool.deallocate(n, sizeof(Node), alignof(Node));
}

// Whether end node n is the lower end of its branch. A branch whose other
// end is missing counts its one end as neither.
static bool end_is_lower(const Node* n) {
  const Branch& b = *n->branch;
  const Node* other = b.ends[0] == n ? b.ends[1] : b.ends[0];
  return other && n->vertex < other->vertex;
}

static bool end_is_upper(const Node* n) {
  const Branch& b = *n->branch;
  const Node* other = b.ends[0] == n ? b.ends[1] : b.ends[0];
  return other && n->vertex > other->vertex;
}

Size MultiresTree::upDegree(const Vertex* v) const {
  Size d = 0;
  for (const Node* n : nodes[size_t(v - vertices)]) d += n->type != 0 || end_is_lower(n);
  return d;
}

Size MultiresTree::downDegree(const Vertex* v) const {
  Size d = 0;
  for (const Node* n : nodes[size_t(v - vertices)]) d += n->type != 0 || end_is_upper(n);
  return d;
}

BranchI MultiresTree::branchWithLowerEnd(const Vertex* v) const {
  for (const Node* n : nodes[size_t(v - vertices)])
    if (n->type == 0 && end_is_lower(n)) return n->branch;
  return BranchI();
}

BranchI MultiresTree::branchWithUpperEnd(const Vertex* v) const {
  for (const Node* n : nodes[size_t(v - vertices)])
    if (n->type == 0 && end_is_upper(n)) return n->branch;
  return BranchI();
}

void MultiresTree::removeBranch(BranchI b) {
  if (b->ends[0]) freeNode(b->ends[0]);
  if (b->ends[1]) freeNode(b->ends[1]);
  // Interior nodes are the branch's own; end nodes of children recorded by
  // attachBranch belong to the children.
  for (Node* n : b->nodes)
    if (n->type == 1) freeNode(n);
  branches.erase(b);
}

int MultiresTree::removeEndpoint(BranchI b, Vertex* v) {
  assert(!b->nodes.empty());
  Node* taken;
  if (v != b->lowerVertex()) {
    taken = b->nodes.back();
    b->nodes.pop_back();
  } else {
    taken = b->nodes.front();
    b->nodes.erase(b->nodes.begin());
  }
  const int e = b->ends[0]->vertex == v ? 0 : 1;
  freeNode(b->ends[e]);
  taken->type = 0;
  taken->branch = b;
  b->ends[e] = taken;
  return e;
}

void MultiresTree::attachChildren(BranchI b) {
  for (Node* n : b->nodes)
    for (Node* m : nodes[size_t(n->vertex - vertices)])
      if (m->type == 0 && m->branch != b) m->branch->parent = b;
}

void MultiresTree::mergeBranches(BranchI a, BranchI b) {
  if (a == BranchI() || b == BranchI() || a == b) return;
  const bool b_below = a->lowerVertex() == b->upperVertex();
  const bool b_above = !b_below && a->upperVertex() == b->lowerVertex();
  if (!b_below && !b_above) return;
  Vertex* s = b_below ? a->lowerVertex() : a->upperVertex();
  const int se = a->ends[0]->vertex == s ? 0 : 1;  // a's end at the shared vertex
  Node* shared = a->ends[se];
  shared->type = 1;
  for (Node* n : b->nodes)
    if (n->type == 1) n->branch = a;
  if (b_below) {
    b->nodes.push_back(shared);
    a->nodes.insert(a->nodes.begin(), b->nodes.begin(), b->nodes.end());
  } else {
    a->nodes.push_back(shared);
    a->nodes.insert(a->nodes.end(), b->nodes.begin(), b->nodes.end());
  }
  Vertex* far = b_below ? b->lowerVertex() : b->upperVertex();
  a->ends[se] = newNode(far, a, 0);
  b->nodes.clear();
  removeBranch(b);
}

// The net effect of mergeBranches(keep, gone) followed by the removal of the
// interior node it leaves at v, without making and freeing that node: keep
// takes over gone's far end node (which then sits in its vertex's list where
// the node made by mergeBranches would end up) and gone's interior nodes.
void MultiresTree::spliceOut(Vertex* v, BranchI keep, BranchI gone) {
  const int ke = keep->ends[0]->vertex == v ? 0 : 1;
  const int ge = gone->ends[0]->vertex == v ? 1 : 0;  // gone's far end
  const bool gone_below = gone->lowerVertex() < v;
  for (Node* n : gone->nodes)
    if (n->type == 1) n->branch = keep;
  if (gone_below)
    keep->nodes.insert(keep->nodes.begin(), gone->nodes.begin(), gone->nodes.end());
  else
    keep->nodes.insert(keep->nodes.end(), gone->nodes.begin(), gone->nodes.end());
  gone->nodes.clear();
  Node* far = gone->ends[ge];
  freeNode(keep->ends[ke]);
  far->branch = keep;
  keep->ends[ke] = far;
  gone->ends[ge] = nullptr;
  removeBranch(gone);
}

bool MultiresTree::removeVertex(Vertex* v, bool keepUpper) {
  NodeList& at = nodes[size_t(v - vertices)];
  if (at.size() == 1 && at[0]->type == 1) {
    Node* n = at[0];
    // The branch's nodes are sorted by vertex, one per vertex: find v's by
    // bisection rather than reading every node of a long branch.
    std::vector<Node*>& list = n->branch->nodes;
    auto it = std::lower_bound(list.begin(), list.end(), n, NodePCompare());
    if (it != list.end() && (*it)->vertex == v) list.erase(it);
    freeNode(n);
    return true;
  }
  const Size up = upDegree(v), down = downDegree(v);
  if (up == 1 && down == 1) {
    BranchI U = branchWithLowerEnd(v), D = branchWithUpperEnd(v);
    if (U == BranchI() || D == BranchI() || U == D) return false;
    spliceOut(v, keepUpper ? U : D, keepUpper ? D : U);
    return true;
  }
  if (up == 1 || down == 1) {
    BranchI B = up == 1 ? branchWithLowerEnd(v) : branchWithUpperEnd(v);
    if (B == BranchI()) return false;
    if (B->nodes.empty())
      removeBranch(B);
    else
      removeEndpoint(B, v);
    return true;
  }
  return false;
}

}  // namespace ctree
