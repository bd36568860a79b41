#include "ctree/simplified_tree.h"

namespace ctree {

FlatTree simplified_tree(const FlatTree& tree, Real minPersistence, Size maxBranches, std::vector<Index>* kept) {
  FlatTree out;
  out.vertices = tree.vertices;
  std::vector<Index> renumber(tree.branches.size(), NULL_INDEX);
  std::vector<Index> from;
  for (size_t b = 0; b < tree.branches.size(); ++b) {
    if (maxBranches > 0 && out.branches.size() >= maxBranches) break;
    const FlatBranch& br = tree.branches[b];
    const bool root = b == 0;
    // A parent stands before its child, so its fate is known here.
    if (!root && (br.persistence < minPersistence || br.parent < 0 || renumber[size_t(br.parent)] == NULL_INDEX))
      continue;
    FlatBranch copy = br;
    copy.parent = root ? NULL_INDEX : renumber[size_t(br.parent)];
    renumber[b] = Index(out.branches.size());
    out.branches.push_back(copy);
    from.push_back(Index(b));
  }
  out.finish();
  if (kept) *kept = std::move(from);
  return out;
}

}  // namespace ctree
