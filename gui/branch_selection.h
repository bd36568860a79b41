#pragma once
// A selected branch of the contour tree, as the windows show it: the text
// that describes it, and the walks from it to its parent and through its
// children. Pure computations over the finished tree.

#include <map>
#include <string>
#include <vector>

#include "ctree/flat_tree.h"
#include "gui/tree_selection.h"

namespace ctree {

// One line about branch b of tree: its free end (maximum or minimum) and
// the vertex it hangs at (for the root: both ends), each with its value
// and position (the tree's positions, which are the scan's units),
// then its persistence and, when voxels is not negative, the size of its
// region in voxels.
std::string branch_info(const FlatTree& tree, Index b, long long voxels);

// text in lines of at most width characters, broken at blanks (a word
// longer than width gets a line of its own).
std::vector<std::string> wrap_text(const std::string& text, size_t width);

// The branch b hangs from, or b itself for the root.
Index parent_branch(const FlatTree& tree, Index b);

// The children of b to walk through: those in drawn when any of them is
// (drawn may be null), else all of them; the most persistent first, ties
// in tree order.
std::vector<Index> walk_children(const FlatTree& tree, Index b, const DrawSet* drawn);

// The child of b that follows `after` among walk_children (the first when
// after is not one of them, round to the first after the last);
// NULL_INDEX when b has no child.
Index next_child(const FlatTree& tree, Index b, Index after, const DrawSet* drawn);

// The child last walked to from each branch, so that going to the parent
// and down again visits the next child.
struct ChildCursor {
  std::map<Index, Index> last;
  Index next(const FlatTree& tree, Index b, const DrawSet* drawn) {
    const auto it = last.find(b);
    const Index c = next_child(tree, b, it == last.end() ? NULL_INDEX : it->second, drawn);
    if (c != NULL_INDEX) last[b] = c;
    return c;
  }
  void clear() { last.clear(); }
};

}  // namespace ctree
