#pragma once
// The tree model shared by join trees, split trees, contour trees and
// laid-out contour trees.
//
// A MultiresTree owns a list of branches (each a monotone path between two
// end nodes, hanging from a parent branch) and, for every vertex of the
// vertex vector it points into, the list of nodes at that vertex. Nodes and
// branches live in a memory pool owned by the tree, so building and freeing
// trees of millions of elements costs a few large allocations. The vertex
// vector is not owned: it must outlive the tree and must not be reallocated.
//
// Invariants (check_tree, in check_tree.h, verifies them):
// - every node is listed at its vertex; an end node (type 0) is one of the
//   two ends of its branch;
// - a branch's nodes are sorted by vertex address, at most one per vertex;
// - nodes.size() equals the size of the vertex vector.

#include <list>
#include <memory_resource>
#include <string>
#include <vector>

#include "core/box.h"
#include "core/types.h"
#include "ctree/node_list.h"
#include "ctree/tree_arena.h"
#include "core/vertex.h"

namespace ctree {

struct Branch;
using BranchList = std::pmr::list<Branch>;
using BranchI = BranchList::iterator;  // a default-constructed one means "no branch"

struct Node {
  Vertex* vertex = nullptr;
  BranchI branch{};
  std::uint8_t type = 0;  // 0: end node of its branch; 1: interior node where children attach
};

// NodePCompare: nodes ordered by the address of their vertex.
struct NodePCompare {
  bool operator()(const Node* a, const Node* b) const { return a->vertex < b->vertex; }
};

struct Branch {
  Node* ends[2] = {nullptr, nullptr};
  BranchI parent{};
  Real persistence = 0;
  Box bbox;                  // of the subtree, set by computeBbox
  std::vector<Node*> nodes;  // attachment nodes, sorted by NodePCompare

  // Number of ancestors: 0 for a branch without parent.
  Size depth() const;
  // Records that child hangs here at the vertex of child.ends[1]: inserts
  // that end node into nodes unless a node at the same vertex is there.
  void attachBranch(Branch& child);
  // Higher persistence first; on a tie the shallower branch first.
  bool operator<(const Branch& b) const;

  Vertex* lowerVertex() const { return ends[0]->vertex < ends[1]->vertex ? ends[0]->vertex : ends[1]->vertex; }
  Vertex* upperVertex() const { return ends[0]->vertex < ends[1]->vertex ? ends[1]->vertex : ends[0]->vertex; }
};

class MultiresTree {
 public:
  MultiresTree();
  ~MultiresTree();
  MultiresTree(const MultiresTree&) = delete;
  MultiresTree& operator=(const MultiresTree&) = delete;

  Index indexOf(const Vertex* v) const { return Index(v - vertices); }

  // A new node {v, b, type}, listed at v. The caller stores it in b.
  Node* newNode(Vertex* v, BranchI b, std::uint8_t type);
  // Unlists n at its vertex, clears the end of its branch that is n (for an
  // end node) and frees it. It does not touch any branch's nodes vector.
  void freeNode(Node* n);

  // Branches leaving v upwards (v their lower end, or passing through v).
  Size upDegree(const Vertex* v) const;
  // Branches leaving v downwards.
  Size downDegree(const Vertex* v) const;

  // The first branch at v whose lower (upper) end is v, or a null BranchI.
  BranchI branchWithLowerEnd(const Vertex* v) const;
  BranchI branchWithUpperEnd(const Vertex* v) const;

  // Editing (each keeps the invariants above).
  void removeBranch(BranchI b);
  int removeEndpoint(BranchI b, Vertex* v);
  void attachChildren(BranchI b);
  void mergeBranches(BranchI a, BranchI b);
  // false, with the tree unchanged, when v is neither an interior node nor
  // the meeting point of one branch below and one above (or a single end).
  bool removeVertex(Vertex* v, bool keepUpper);

  // Persistence of every branch reachable from the root, then a stable sort
  // of the branch list: higher persistence first, parents before children.
  void computePersistence();
  Real persistence(BranchI b);
  void computeBbox();
  const Box& computeBbox(BranchI b);
  // The last branch without parent, or branches.end() when there is none.
  BranchI root();

  // Text forms: dump() lists the branches, a line each; save/load store
  // the whole tree with its vertices as text. load fills storage with the
  // vertices and points the tree at them; false with error naming the file.
  std::string dump() const;
  bool save(const std::string& filename) const;
  bool load(const std::string& filename, std::vector<Vertex>& storage, std::string& error);

  Vertex* vertices = nullptr;

 private:
  void spliceOut(Vertex* v, BranchI keep, BranchI gone);

  // Declared before the containers that allocate from it.
  TreeArena pool;

 public:
  BranchList branches;
  std::vector<NodeList> nodes;  // per vertex index, the nodes at it (owned)
};

}  // namespace ctree
