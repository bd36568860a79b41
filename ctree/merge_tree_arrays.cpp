#include "ctree/merge_tree_arrays.h"

namespace ctree {

bool merge_tree_arrays(MultiresTree& t, MergeTreeArrays& out) {
  const size_t n = t.nodes.size();
  out.ends.clear();
  out.ends.reserve(2 * t.branches.size());
  Index id = 0;
  for (Branch& b : t.branches) {
    if (!b.ends[0] || !b.ends[1] || !b.nodes.empty()) return false;
    out.ends.push_back(t.indexOf(b.ends[0]->vertex));
    out.ends.push_back(t.indexOf(b.ends[1]->vertex));
    b.persistence = Real(id++);
  }
  out.first.assign(n + 1, 0);
  out.at.clear();
  out.at.reserve(out.ends.size());
  for (size_t v = 0; v < n; ++v) {
    out.first[v] = Index(out.at.size());
    for (const Node* m : t.nodes[v]) {
      if (m->type != 0) return false;
      const Branch& b = *m->branch;
      out.at.push_back(2 * Index(b.persistence) + (b.ends[0] == m ? 0 : 1));
    }
  }
  out.first[n] = Index(out.at.size());
  return out.at.size() == out.ends.size();
}

}  // namespace ctree
