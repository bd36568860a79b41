#pragma once
// Which branches of a contour tree are drawn, and the paths they are drawn
// along. Pure computations over the finished trees and the filter settings
// of the dataset; the tree viewer turns their results into GL calls.
//
// The contour tree (a) and its laid-out copy (c) have the same shape: the
// i-th child of a branch in one is the i-th child of the same branch in
// the other. The filters always test the contour tree's branch; the key
// recorded is the index of the branch in the tree that is shown.

#include <vector>

#include "ctree/flat_tree.h"
#include "workspace/main_data.h"

namespace ctree {

// The branches chosen for one frame, by index in the shown tree.
class DrawSet {
 public:
  void reset(size_t branches) { marks.assign(branches, 0), count = 0; }
  void insert(Index b) {
    if (!marks[size_t(b)]) marks[size_t(b)] = 1, ++count;
  }
  bool contains(Index b) const { return b >= 0 && size_t(b) < marks.size() && marks[size_t(b)]; }
  size_t size() const { return count; }
  void clear() { reset(0); }

 private:
  std::vector<char> marks;
  size_t count = 0;
};

struct TreeFilters {
  bool boxFilter = false, minooOn = false, maxooOn = false, thresholdOn = false, maxchildOn = false;
  TBox filterBox;
  double minoo = 0, maxoo = 0, threshold = 0, maxchild = 1;
};
TreeFilters filters_of(const MainData& data);

// a ranks below b: smaller persistence, or equal persistence and deeper
// (depths given, as the branches do not store them).
bool compare_map(const FlatBranch& a, Size depthA, const FlatBranch& b, Size depthB);

// Fills out with the branches to draw, walking both trees from their
// roots. useCtreel picks the tree whose branches are recorded (c, else a).
void select_branches(const TreeFilters& f, const FlatTree& a, const FlatTree& c, bool useCtreel, DrawSet& out);

// The branch's box overlaps the filter box (single precision).
bool passes_box(const TreeFilters& f, const FlatBranch& b);

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

// The path of branch b of tree (isRoot: b is the root of the shown tree).
void build_branch_path(const FlatTree& tree, Index b, bool isRoot, const PathStyle& style, const DrawSet& drawn,
                       BranchPath& out);

// Where the isovalue h crosses the path: one point per segment whose values
// enclose h (bounds included); a segment lying at h gives its start.
void isovalue_markers(const BranchPath& path, double h, std::vector<double>& out);

// The branches in drawing order: the root, then every subtree depth first,
// children in stored order. Children of undrawn branches are visited too.
void drawing_order(const FlatTree& tree, const DrawSet& drawn, std::vector<Index>& out);

}  // namespace ctree
