// Trees built by hand for the tree window's tests.
#pragma once

#include <vector>

#include "gui/tree_selection.h"

namespace ctree {

// A tree by hand: branch i runs from vertex 2i+1 (its extremum) to vertex
// 2i+2, which lies on its parent; persistence and box are set directly.
struct HandTree {
  FlatTree t;
  explicit HandTree(const std::vector<int>& parent, const std::vector<double>& persistence) {
    t.vertices.resize(2 * parent.size() + 2);
    for (size_t i = 0; i < parent.size(); ++i) {
      FlatBranch x;
      x.ends[0] = Index(2 * i + 1);
      x.ends[1] = Index(i == 0 ? 0 : 2 * i + 2);
      t.vertices[size_t(x.ends[0])] = Vertex{double(i), 1, persistence[i], persistence[i]};
      t.vertices[size_t(x.ends[1])] = Vertex{double(i), 2, 0, 0};
      x.persistence = persistence[i];
      x.parent = i == 0 ? NULL_INDEX : Index(parent[i]);
      t.branches.push_back(x);
    }
    t.finish();
    for (size_t i = 0; i < parent.size(); ++i)
      for (int a = 0; a < 3; ++a) t.branches[i].box.min[a] = double(i), t.branches[i].box.max[a] = double(i) + 1;
  }
  size_t size() const { return t.branches.size(); }
  std::vector<size_t> drawn(const DrawSet& s) const {
    std::vector<size_t> out;
    for (size_t i = 0; i < size(); ++i)
      if (s.contains(Index(i))) out.push_back(i);
    return out;
  }
  DrawSet set(const std::vector<Index>& members) const {
    DrawSet s;
    s.reset(size());
    for (Index i : members) s.insert(i);
    return s;
  }
  DrawSet all() const {
    std::vector<Index> every(size());
    for (size_t i = 0; i < size(); ++i) every[i] = Index(i);
    return set(every);
  }
};

}  // namespace ctree
