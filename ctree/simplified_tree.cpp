#include "ctree/simplified_tree.h"

namespace ctree {

FlatTree simplified_tree(const FlatTree& tree, Real minPersistence, Size maxBranches, std::vector<Index>* kept,
                         std::vector<Index>* vertices) {
  FlatTree out;
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
  // Only the vertices the kept branches end at, in tree's order, so that
  // the result is a whole tree of its own (a tree file numbers its
  // vertices within two per branch).
  std::vector<Index> number(tree.vertices.size(), NULL_INDEX);
  for (const FlatBranch& br : out.branches) number[size_t(br.ends[0])] = number[size_t(br.ends[1])] = 0;
  std::vector<Index> vertexFrom;
  out.vertices.clear();
  for (size_t v = 0; v < number.size(); ++v)
    if (number[v] == 0) {
      number[v] = Index(vertexFrom.size());
      vertexFrom.push_back(Index(v));
      out.vertices.push_back(tree.vertices[v]);
    }
  for (FlatBranch& br : out.branches)
    for (Index& e : br.ends) e = number[size_t(e)];
  out.finish();
  if (kept) *kept = std::move(from);
  if (vertices) *vertices = std::move(vertexFrom);
  return out;
}

}  // namespace ctree
