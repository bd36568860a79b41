#include "ctree/flat_contour_tree.h"

namespace ctree {

bool flat_contour_tree(const Vertex* vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                       MultiresTree& ct, ProgressSink& progress) {
  CutBranches cuts;
  if (!cut_contour_tree(vertices, join, split, cuts, progress)) return false;
  contour_tree_of_cuts(cuts, ct);
  return true;
}

}  // namespace ctree
