#pragma once
// The finished contour tree as the layout, the tree files, the POV-Ray
// export and the viewer read it: a flat array of branches over a vertex
// vector of its own, with the children and the vertex incidences in
// compressed rows. The editable pointer model (MultiresTree) stays inside
// the tree computations; flatten() turns its result into this.
//
// Invariants, set up by finish() (every builder calls it):
// - branches[0] is the root (no parent); every other branch names a
//   parent that stands before it;
// - ends[1] is the end where a branch hangs from its parent;
// - children(b) lists every branch whose parent is b, ordered by the
//   vertex where it hangs, then by position in branches;
// - attachments(b) lists those vertices once each, ascending;
// - endsAt(v) lists 2 * branch + end for every branch end at vertex v, in
//   branch order;
// - box is the bounding box of the branch and all its descendants.
// The layout moves vertices; nothing edits the structure after finish().

#include <string>
#include <vector>

#include "core/box.h"
#include "core/types.h"
#include "core/vertex.h"

namespace ctree {

class MultiresTree;

// A read-only run of indices inside one of the tree's arrays.
struct IndexRange {
  const Index* first = nullptr;
  const Index* last = nullptr;
  const Index* begin() const { return first; }
  const Index* end() const { return last; }
  size_t size() const { return size_t(last - first); }
  bool empty() const { return first == last; }
  Index operator[](size_t i) const { return first[i]; }
};

struct FlatBranch {
  Index ends[2] = {NULL_INDEX, NULL_INDEX};  // vertex indices; ends[1] hangs from the parent
  Index parent = NULL_INDEX;                 // NULL_INDEX for the root
  Real persistence = 0;
  Box box;  // of the subtree, set by finish()
};

class FlatTree {
 public:
  std::vector<Vertex> vertices;
  std::vector<FlatBranch> branches;

  bool empty() const { return branches.empty(); }
  const FlatBranch& root() const { return branches.front(); }

  IndexRange children(Index b) const { return range(childStart, childList, b); }
  IndexRange attachments(Index b) const { return range(attachStart, attachList, b); }
  IndexRange endsAt(Index v) const { return range(endStart, endList, v); }
  bool used(Index v) const { return !endsAt(v).empty(); }
  // The branch b hangs from in the rows and the layout: its parent when
  // that stands before it, else the root (a malformed list).
  Index hangsFrom(Index b) const {
    const Index p = branches[size_t(b)].parent;
    return p >= 0 && p < b ? p : 0;
  }

  // The end whose (field, z, y, x) is smaller, ties by vertex index; the
  // other one. For a contour tree this is its vertex order (vertex vectors
  // of trees are sorted so); a laid-out tree compares its own positions.
  Index lowerEnd(const FlatBranch& b) const;
  Index upperEnd(const FlatBranch& b) const { return lowerEnd(b) == b.ends[0] ? b.ends[1] : b.ends[0]; }

  // Builds the rows and the boxes from vertices and branches. The caller
  // has checked the invariants of the branch array (io/tree_files does for
  // files); a parent that does not stand earlier is treated as the root's.
  void finish();
  // The boxes again, after the vertices moved.
  void computeBoxes();

 private:
  static IndexRange range(const std::vector<Index>& start, const std::vector<Index>& list, Index i) {
    return {list.data() + start[size_t(i)], list.data() + start[size_t(i) + 1]};
  }
  std::vector<Index> childStart, childList;
  std::vector<Index> attachStart, attachList;
  std::vector<Index> endStart, endList;
};

// Every broken rule of a finished contour tree, one line each; empty when
// it is sound: the root first, each parent before its children, ends that
// are two vertices of the vector, each child hanging at a value within its
// parent's range, and no child more persistent than its parent.
std::string check_flat_tree(const FlatTree& tree);

// The finished form of tree: its branches in list order, parents numbered
// by that order, each end a vertex index of tree's vertex vector (only the
// vertices up to the last one used are copied), persistence as computed.
FlatTree flatten(const MultiresTree& tree);

}  // namespace ctree
