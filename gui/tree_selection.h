#pragma once
// Which branches of a contour tree are drawn, and the paths they are drawn
// along. Pure computations over the tree model and the filter settings of
// the dataset; the tree viewer turns their results into GL calls.
//
// The contour tree (a) and its laid-out copy (c) have the same shape: the
// i-th child of a branch is the branch of the i-th node of its nodes vector
// in both trees. The filters always test the contour tree's branch; the key
// recorded is the branch of the tree that is shown.

#include <unordered_set>
#include <vector>

#include "workspace/main_data.h"
#include "ctree/multires_tree.h"

namespace ctree {

// The branches chosen for one frame. A set of addresses, so two branches
// with equal persistence and depth are still two members.
using DrawSet = std::unordered_set<const Branch*>;

struct TreeFilters {
  bool boxFilter = false, minooOn = false, maxooOn = false, thresholdOn = false, maxchildOn = false;
  TBox filterBox;
  double minoo = 0, maxoo = 0, threshold = 0, maxchild = 1;
};
TreeFilters filters_of(const MainData& data);

// a ranks below b: smaller persistence, or equal persistence and deeper.
bool compare_map(const Branch& a, const Branch& b);

// Fills out with the branches to draw, walking both trees from their roots
// a and c. useCtreel picks the tree whose branches are recorded.
void select_branches(const TreeFilters& f, BranchI a, BranchI c, bool useCtreel, DrawSet& out);

// The branch's bbox overlaps the filter box (single precision).
bool passes_box(const TreeFilters& f, const Branch& b);

// True when node p's (field, z, y, x) is below q's.
bool is_lower_end(const Node* p, const Node* q);

// A drawing path: positions (3 doubles each) with the node value at each.
// Positions 0 and last are control points of the tube, repeating their
// neighbours.
struct BranchPath {
  std::vector<double> points;
  std::vector<double> values;
  size_t size() const { return values.size(); }
  void clear() { points.clear(), values.clear(); }
  void add(double x, double y, double z, double v) { points.push_back(x), points.push_back(y), points.push_back(z), values.push_back(v); }
  void repeatLast() { add(points[points.size() - 3], points[points.size() - 2], points.back(), values.back()); }
};

struct PathStyle {
  bool useCtreel = false;
  bool shortcut = true;
  float scale[3] = {1, 1, 1};
};

// The path of b (isRoot: b is the root of the shown tree).
void build_branch_path(const Branch& b, bool isRoot, const PathStyle& style, const DrawSet& drawn, BranchPath& out);

// Where the isovalue h crosses the path: one point per segment whose values
// enclose h (bounds included); a segment lying at h gives its start.
void isovalue_markers(const BranchPath& path, double h, std::vector<double>& out);

// The branches in drawing order: the root, then every subtree depth first,
// children in stored order. Children of undrawn branches are visited too.
void drawing_order(BranchI root, const DrawSet& drawn, std::vector<const Branch*>& out);

}  // namespace ctree
