#include "ctree/flat_tree.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <unordered_map>

#include "ctree/multires_tree.h"

namespace ctree {

void FlatTree::finish() {
  const size_t nb = branches.size(), nv = vertices.size();
  // Children: counted per parent, then each parent's run sorted by the
  // vertex where the child hangs (stable: equal vertices keep list order).
  childStart.assign(nb + 1, 0);
  for (size_t i = 1; i < nb; ++i) ++childStart[size_t(hangsFrom(Index(i))) + 1];
  for (size_t i = 0; i < nb; ++i) childStart[i + 1] += childStart[i];
  childList.assign(nb > 0 ? nb - 1 : 0, 0);
  {
    std::vector<Index> fill(childStart.begin(), childStart.end() - 1);
    for (size_t i = 1; i < nb; ++i) childList[size_t(fill[size_t(hangsFrom(Index(i)))]++)] = Index(i);
  }
  // A run lists its children in branch order, so (vertex, branch) keys
  // sort it stably; packed in one word each they sort without reading the
  // branch records again (the root's run holds most branches of a noisy
  // field).
  std::vector<std::uint64_t> keys;
  for (size_t b = 0; b < nb; ++b) {
    Index* run = childList.data() + childStart[b];
    const size_t count = size_t(childStart[b + 1] - childStart[b]);
    if (count < 2) continue;
    keys.resize(count);
    for (size_t k = 0; k < count; ++k)
      keys[k] = std::uint64_t(std::uint32_t(branches[size_t(run[k])].ends[1])) << 32 | std::uint32_t(run[k]);
    std::sort(keys.begin(), keys.end());
    for (size_t k = 0; k < count; ++k) run[k] = Index(std::uint32_t(keys[k]));
  }

  // Attachment vertices: the children's hanging ends, once each.
  attachStart.assign(nb + 1, 0);
  attachList.clear();
  attachList.reserve(childList.size());
  for (size_t b = 0; b < nb; ++b) {
    for (Index k = childStart[b]; k < childStart[b + 1]; ++k) {
      const Index v = branches[size_t(childList[size_t(k)])].ends[1];
      if (Index(attachList.size()) == attachStart[b] || attachList.back() != v) attachList.push_back(v);
    }
    attachStart[b + 1] = Index(attachList.size());
  }

  // Branch ends per vertex, in branch order.
  endStart.assign(nv + 1, 0);
  for (const FlatBranch& b : branches)
    for (Index v : b.ends) {
      assert(v >= 0 && size_t(v) < nv && "a branch end outside the vertices");
      ++endStart[size_t(v) + 1];
    }
  for (size_t v = 0; v < nv; ++v) endStart[v + 1] += endStart[v];
  endList.assign(2 * nb, 0);
  {
    std::vector<Index> fill(endStart.begin(), endStart.end() - 1);
    for (size_t i = 0; i < nb; ++i)
      for (int e = 0; e < 2; ++e) endList[size_t(fill[size_t(branches[i].ends[e])]++)] = Index(2 * i + size_t(e));
  }
  computeBoxes();
}

Index FlatTree::lowerEnd(const FlatBranch& b) const {
  const Vertex& p = vertices[size_t(b.ends[0])];
  const Vertex& q = vertices[size_t(b.ends[1])];
  const bool first = p.field != q.field ? p.field < q.field
                     : p.z != q.z       ? p.z < q.z
                     : p.y != q.y       ? p.y < q.y
                     : p.x != q.x       ? p.x < q.x
                                        : b.ends[0] < b.ends[1];
  return first ? b.ends[0] : b.ends[1];
}

void FlatTree::computeBoxes() {
  for (FlatBranch& b : branches) {
    const Vertex& p = vertices[size_t(b.ends[0])];
    const Vertex& q = vertices[size_t(b.ends[1])];
    b.box = Box::at(p.x, p.y, p.z);
    b.box.add(q.x, q.y, q.z);
  }
  // Children stand after their parents: from the back, every subtree box
  // is complete before it joins its parent's.
  for (size_t i = branches.size(); i-- > 1;) branches[size_t(hangsFrom(Index(i)))].box.add(branches[i].box);
}

std::string check_flat_tree(const FlatTree& t) {
  std::string out;
  auto fail = [&](size_t i, const std::string& what) { out += "branch " + std::to_string(i) + ": " + what + "\n"; };
  const Index nv = Index(t.vertices.size());
  for (size_t i = 0; i < t.branches.size(); ++i) {
    const FlatBranch& b = t.branches[i];
    if (i == 0 && b.parent != NULL_INDEX) fail(i, "the root has a parent");
    if (i > 0 && (b.parent < 0 || size_t(b.parent) >= i)) {
      fail(i, "parent " + std::to_string(b.parent) + " does not stand before it");
      continue;
    }
    if (b.ends[0] < 0 || b.ends[0] >= nv || b.ends[1] < 0 || b.ends[1] >= nv) {
      fail(i, "an end lies outside the vertices");
      continue;
    }
    if (b.ends[0] == b.ends[1]) fail(i, "both ends are one vertex");
    if (i == 0) continue;
    const FlatBranch& p = t.branches[size_t(b.parent)];
    if (p.ends[0] < 0 || p.ends[0] >= nv || p.ends[1] < 0 || p.ends[1] >= nv) continue;
    const Real lo = t.vertices[size_t(t.lowerEnd(p))].field, hi = t.vertices[size_t(t.upperEnd(p))].field;
    const Real at = t.vertices[size_t(b.ends[1])].field;
    if (at < lo || at > hi) fail(i, "hangs at a value outside its parent's range");
    if (b.persistence > p.persistence) fail(i, "more persistent than its parent");
  }
  return out;
}

FlatTree flatten(const MultiresTree& tree) {
  FlatTree out;
  std::unordered_map<const Branch*, Index> number;
  number.reserve(tree.branches.size());
  Index used = -1;
  for (const Branch& b : tree.branches) {
    number[&b] = Index(number.size());
    for (const Node* n : b.ends) used = std::max(used, tree.indexOf(n->vertex));
  }
  out.vertices.assign(tree.vertices, tree.vertices + (used + 1));
  out.branches.reserve(tree.branches.size());
  for (const Branch& b : tree.branches) {
    FlatBranch f;
    f.ends[0] = tree.indexOf(b.ends[0]->vertex);
    f.ends[1] = tree.indexOf(b.ends[1]->vertex);
    f.parent = b.parent == BranchI() ? NULL_INDEX : number[&*b.parent];
    f.persistence = b.persistence;
    out.branches.push_back(f);
  }
  out.finish();
  return out;
}

}  // namespace ctree
