#include "ctree/tree_of_cuts.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace ctree {

static constexpr Index NONE = -1;

void contour_tree_of_cuts(const CutBranches& cuts, MultiresTree& ct) {
  Vertex* V = ct.vertices;
  for (size_t k = 0; k < cuts.size(); ++k) {
    ct.branches.push_back(Branch());
    BranchI nb = std::prev(ct.branches.end());
    nb->ends[0] = ct.newNode(V + cuts.ends[2 * k], nb, 0);
    nb->ends[1] = ct.newNode(V + cuts.ends[2 * k + 1], nb, 0);
    const Index f = cuts.firstInterior[k], l = cuts.firstInterior[k + 1];
    nb->nodes.reserve(size_t(l - f));
    for (Index i = f; i < l; ++i) nb->nodes.push_back(ct.newNode(V + cuts.interior[size_t(i)], nb, 1));
    ct.attachChildren(nb);
  }
  ct.computePersistence();
  ct.computeBbox();
}

FlatTree finished_tree_of_cuts(const Vertex* vertices, const CutBranches& cuts) {
  const Index nb = Index(cuts.size());
  Index used = -1;
  for (Index v : cuts.ends) used = std::max(used, v);
  const size_t nv = size_t(used + 1);
  // The branch ends at every vertex in the order the tree's nodes were
  // made: by branch, ends[0] before ends[1] (interior nodes are never read
  // as children). Interior vertices lie among the ends' vertices.
  std::vector<Index> endStart(nv + 1, 0), endList(cuts.ends.size());
  for (Index v : cuts.ends) ++endStart[size_t(v) + 1];
  for (size_t v = 0; v < nv; ++v) endStart[v + 1] += endStart[v];
  {
    std::vector<Index> fill(endStart.begin(), endStart.end() - 1);
    for (size_t e = 0; e < cuts.ends.size(); ++e) endList[size_t(fill[size_t(cuts.ends[e])]++)] = Index(e);
  }
  auto endsAt = [&](Index s, Index& first, Index& last) {
    first = size_t(s) < nv ? endStart[size_t(s)] : 0;
    last = size_t(s) < nv ? endStart[size_t(s) + 1] : 0;
  };
  // Parents as attachChildren sets them when each branch is appended: the
  // branches already there with an end at one of its interior vertices.
  std::vector<Index> parent(size_t(nb), NONE);
  for (Index b = 0; b < nb; ++b)
    for (Index i = cuts.firstInterior[size_t(b)]; i < cuts.firstInterior[size_t(b) + 1]; ++i) {
      Index k, last;
      endsAt(cuts.interior[size_t(i)], k, last);
      for (; k < last && endList[size_t(k)] / 2 < b; ++k) parent[size_t(endList[size_t(k)] / 2)] = b;
    }
  // Persistence as MultiresTree::persistence walks the tree from the root
  // (the last branch without parent): a branch's children are the other
  // branches with an end at one of its interior vertices.
  std::vector<Real> persistence(size_t(nb), 0);
  Index root = nb - 1;
  while (root >= 0 && parent[size_t(root)] != NONE) --root;
  auto range = [&](Index b) {
    return std::fabs(vertices[cuts.ends[2 * size_t(b) + 1]].field - vertices[cuts.ends[2 * size_t(b)]].field);
  };
  if (root >= 0) {
    struct Frame {
      Index b, node, end;
    };
    std::vector<Frame> stack{{root, cuts.firstInterior[size_t(root)], 0}};
    persistence[size_t(root)] = range(root);
    while (!stack.empty()) {
      Frame& f = stack.back();
      Index child = NONE;
      while (f.node < cuts.firstInterior[size_t(f.b) + 1]) {
        Index first, last;
        endsAt(cuts.interior[size_t(f.node)], first, last);
        if (f.end < last - first) {
          const Index c = endList[size_t(first + f.end++)] / 2;
          if (c != f.b) {
            child = c;
            break;
          }
        } else {
          ++f.node;
          f.end = 0;
        }
      }
      if (child != NONE) {
        if (stack.size() <= size_t(nb)) {
          persistence[size_t(child)] = range(child);
          stack.push_back({child, cuts.firstInterior[size_t(child)], 0});
        }
        continue;
      }
      const Index done = f.b;
      stack.pop_back();
      if (!stack.empty()) {
        Real& p = persistence[size_t(stack.back().b)];
        p = std::max(p, persistence[size_t(done)]);
      }
    }
  }
  // The stable sort of computePersistence: persistence descending, depth
  // ascending, then list order.
  std::vector<Index> depth(size_t(nb), NONE), chain;
  for (Index b = 0; b < nb; ++b) {
    chain.clear();
    Index x = b, d = 0;
    while (true) {
      if (depth[size_t(x)] != NONE) {
        d = depth[size_t(x)];
        break;
      }
      chain.push_back(x);
      if (parent[size_t(x)] == NONE || chain.size() > size_t(nb)) {
        d = -1;
        break;
      }
      x = parent[size_t(x)];
    }
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) depth[size_t(*c)] = ++d;
  }
  std::vector<Index> order(static_cast<size_t>(nb));
  for (Index b = 0; b < nb; ++b) order[size_t(b)] = b;
  std::sort(order.begin(), order.end(), [&](Index a, Index b) {
    if (persistence[size_t(a)] != persistence[size_t(b)]) return persistence[size_t(a)] > persistence[size_t(b)];
    if (depth[size_t(a)] != depth[size_t(b)]) return depth[size_t(a)] < depth[size_t(b)];
    return a < b;
  });
  std::vector<Index> position(static_cast<size_t>(nb));
  for (Index k = 0; k < nb; ++k) position[size_t(order[size_t(k)])] = k;

  FlatTree out;
  out.vertices.assign(vertices, vertices + nv);
  out.branches.resize(size_t(nb));
  for (Index k = 0; k < nb; ++k) {
    const Index b = order[size_t(k)];
    FlatBranch& f = out.branches[size_t(k)];
    f.ends[0] = cuts.ends[2 * size_t(b)];
    f.ends[1] = cuts.ends[2 * size_t(b) + 1];
    f.parent = parent[size_t(b)] == NONE ? NULL_INDEX : position[size_t(parent[size_t(b)])];
    f.persistence = persistence[size_t(b)];
  }
  out.finish();
  return out;
}

}  // namespace ctree
