#include "ctree/distributed_trees.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "ctree/grid_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "ctree/regular_vertices.h"

namespace ctree {

int BlockPlan::leafOf(int rank) const {
  for (size_t i = 0; i < blocks.size(); ++i)
    if (blocks[i].lower < 0 && blocks[i].owner == rank) return int(i);
  return -1;
}

BlockPlan plan_blocks(const Size dim[3], int ranks) {
  BlockPlan plan;
  BlockPlan::Block root;
  for (int a = 0; a < 3; ++a) root.dim[a] = dim[a];
  root.ranks = ranks < 1 ? 1 : ranks;
  plan.blocks.push_back(root);
  for (size_t i = 0; i < plan.blocks.size(); ++i) {
    const BlockPlan::Block b = plan.blocks[i];
    const Size m = std::max(b.dim[0], std::max(b.dim[1], b.dim[2]));
    if (b.ranks < 2 || m < 3) continue;  // one rank, or a single cube
    const int a = b.dim[2] == m ? 2 : b.dim[1] == m ? 1 : 0;
    const Size n = b.dim[a], h = n / 2;
    BlockPlan::Block lo = b, hi = b;
    lo.dim[a] = h + 1;
    hi.dim[a] = n - h;
    hi.start[a] = b.start[a] + Index(h);
    lo.level = hi.level = b.level + 1;
    lo.ranks = (b.ranks + 1) / 2;
    hi.ranks = b.ranks - lo.ranks;
    hi.owner = b.owner + lo.ranks;
    lo.parent = hi.parent = int(i);
    plan.blocks[i].lower = int(plan.blocks.size());
    plan.blocks.push_back(lo);
    plan.blocks[i].upper = int(plan.blocks.size());
    plan.blocks.push_back(hi);
  }
  return plan;
}

namespace {

template <class T>
void put(std::vector<char>& out, const T& v) {
  const char* p = reinterpret_cast<const char*>(&v);
  out.insert(out.end(), p, p + sizeof(T));
}

struct Reader {
  const std::vector<char>& in;
  size_t pos = 0;
  bool ok = true;
  template <class T>
  T get() {
    T v{};
    if (pos + sizeof(T) > in.size()) {
      ok = false;
      return v;
    }
    std::memcpy(&v, in.data() + pos, sizeof(T));
    pos += sizeof(T);
    return v;
  }
};

constexpr std::uint8_t NO_END = 2;

void pack_tree(const MultiresTree& t, std::vector<char>& out) {
  std::unordered_map<const Branch*, std::uint32_t> branchId;
  std::unordered_map<const Node*, std::uint32_t> nodeId;
  std::uint32_t k = 0;
  for (const Branch& b : t.branches) branchId[&b] = k++;
  put(out, std::uint64_t(t.branches.size()));
  for (const Branch& b : t.branches) {
    put(out, std::int64_t(b.parent == BranchI() ? -1 : std::int64_t(branchId.at(&*b.parent))));
    put(out, b.persistence);
    for (int a = 0; a < 3; ++a) put(out, b.bbox.min[a]), put(out, b.bbox.max[a]);
  }
  // Every vertex's nodes in their list order.
  std::uint32_t n = 0;
  for (const NodeList& list : t.nodes) {
    put(out, std::uint32_t(list.size()));
    for (const Node* node : list) {
      nodeId[node] = n++;
      const Branch& b = *node->branch;
      put(out, branchId.at(&b));
      put(out, node->type);
      put(out, std::uint8_t(b.ends[0] == node ? 0 : b.ends[1] == node ? 1 : NO_END));
    }
  }
  for (const Branch& b : t.branches) {
    put(out, std::uint32_t(b.nodes.size()));
    for (const Node* node : b.nodes) put(out, nodeId.at(node));
  }
}

bool unpack_tree(Reader& r, std::vector<Vertex>& V, MultiresTree& t) {
  t.vertices = V.data();
  t.nodes.clear();
  t.nodes.resize(V.size());
  t.branches.clear();
  const std::uint64_t nb = r.get<std::uint64_t>();
  if (!r.ok || nb > r.in.size()) return false;
  std::vector<BranchI> branch(static_cast<size_t>(nb));
  std::vector<std::int64_t> parent(static_cast<size_t>(nb));
  for (auto& b : branch) {
    b = t.branches.emplace(t.branches.end());
    parent[size_t(&b - branch.data())] = r.get<std::int64_t>();
    b->persistence = r.get<Real>();
    for (int a = 0; a < 3; ++a) b->bbox.min[a] = r.get<Real>(), b->bbox.max[a] = r.get<Real>();
  }
  for (size_t i = 0; i < nb; ++i) {
    if (parent[i] < -1 || parent[i] >= std::int64_t(nb)) return false;
    if (parent[i] >= 0) branch[i]->parent = branch[size_t(parent[i])];
  }
  std::vector<Node*> nodes;
  for (size_t v = 0; v < V.size() && r.ok; ++v) {
    const std::uint32_t count = r.get<std::uint32_t>();
    if (count > r.in.size()) return false;
    for (std::uint32_t c = 0; c < count && r.ok; ++c) {
      const std::uint32_t b = r.get<std::uint32_t>();
      const std::uint8_t type = r.get<std::uint8_t>(), slot = r.get<std::uint8_t>();
      if (!r.ok || b >= nb || slot > NO_END) return false;
      Node* node = t.newNode(&V[v], branch[b], type);
      if (slot != NO_END) branch[b]->ends[slot] = node;
      nodes.push_back(node);
    }
  }
  for (size_t i = 0; i < nb && r.ok; ++i) {
    const std::uint32_t count = r.get<std::uint32_t>();
    if (count > nodes.size()) return false;
    branch[i]->nodes.resize(count);
    for (Node*& node : branch[i]->nodes) {
      const std::uint32_t id = r.get<std::uint32_t>();
      if (id >= nodes.size()) return false;
      node = nodes[id];
    }
  }
  return r.ok;
}

}  // namespace

void pack_block(const std::vector<Vertex>& V, const MultiresTree& J, const MultiresTree& S, std::vector<char>& out) {
  out.clear();
  put(out, std::uint64_t(V.size()));
  const char* p = reinterpret_cast<const char*>(V.data());
  out.insert(out.end(), p, p + V.size() * sizeof(Vertex));
  pack_tree(J, out);
  pack_tree(S, out);
}

bool unpack_block(const std::vector<char>& in, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S,
                  std::string& error) {
  Reader r{in};
  const std::uint64_t nv = r.get<std::uint64_t>();
  if (!r.ok || nv > (in.size() - r.pos) / sizeof(Vertex)) {
    error = "packed block trees: the vertex count does not fit the data";
    return false;
  }
  V.resize(size_t(nv));
  std::memcpy(V.data(), in.data() + r.pos, size_t(nv) * sizeof(Vertex));
  r.pos += size_t(nv) * sizeof(Vertex);
  if (!unpack_tree(r, V, J) || !unpack_tree(r, V, S) || r.pos != in.size()) {
    error = "packed block trees: damaged data";
    return false;
  }
  return true;
}

namespace {

// A block's vertices and trees, either owned here or the caller's result.
struct BlockTrees {
  std::unique_ptr<std::vector<Vertex>> ownV;
  std::unique_ptr<MultiresTree> ownJ, ownS;
  std::vector<Vertex>* V = nullptr;
  MultiresTree *J = nullptr, *S = nullptr;
  // Into out's members for the whole grid, else into new storage.
  void target(bool whole, GridContourTree& out) {
    if (whole) {
      V = &out.vertices, J = &out.join, S = &out.split;
      return;
    }
    ownV = std::make_unique<std::vector<Vertex>>();
    ownJ = std::make_unique<MultiresTree>();
    ownS = std::make_unique<MultiresTree>();
    V = ownV.get(), J = ownJ.get(), S = ownS.get();
  }
};

}  // namespace

bool run_rank(const BlockPlan& plan, int rank, ScalarField3DGrid& grid, BlockLink& link, GridContourTree& out,
              const MergeTreeOptions& options) {
  const int leaf = plan.leafOf(rank);
  if (leaf < 0) return true;  // nothing to do
  const BlockPlan::Block& b = plan.blocks[size_t(leaf)];
  // After a failure the rank still takes part in every exchange (sending
  // nothing), so no other rank waits for ever.
  bool failed = false;
  BlockTrees cur;
  cur.target(b.parent < 0, out);
  CellTrees3DGrid cells;
  if (!(b.level == 0 ? compute_merge_trees(grid, *cur.V, *cur.J, *cur.S, cells, 0, options)
                     : compute_block_merge_trees(grid, *cur.V, *cur.J, *cur.S, cells, b.level, options))) {
    out.report.fail("Error: rank " + std::to_string(rank) + ": the merge trees of its block could not be made");
    failed = true;
  }
  grid = ScalarField3DGrid();
  int at = leaf;
  std::vector<char> bytes;
  while (plan.blocks[size_t(at)].parent >= 0) {
    const int p = plan.blocks[size_t(at)].parent;
    const BlockPlan::Block& P = plan.blocks[size_t(p)];
    if (P.upper == at) {
      // Our half goes to the owner of the block above; our work is done.
      bytes.clear();
      if (!failed) pack_block(*cur.V, *cur.J, *cur.S, bytes);
      link.send(P.owner, bytes);
      return !failed;
    }
    const int from = plan.blocks[size_t(P.upper)].owner;
    std::vector<Vertex> V2;
    MultiresTree J2, S2;
    std::string error;
    const bool arrived = link.recv(from, bytes);
    if (!failed && (!arrived || bytes.empty() || !unpack_block(bytes, V2, J2, S2, error))) {
      out.report.fail("Error: rank " + std::to_string(rank) + ": no trees came from rank " + std::to_string(from) +
                      (error.empty() ? "" : ": ") + error);
      failed = true;
    }
    if (!failed) {
      Box box;
      for (int a = 0; a < 3; ++a) {
        box.min[a] = Real(P.start[a]);
        box.max[a] = Real(P.start[a]) + Real(P.dim[a] - 1);
      }
      BlockTrees merged;
      merged.target(P.parent < 0, out);
      merge_block_halves(box, P.level == 0, *cur.V, *cur.J, *cur.S, V2, J2, S2, *merged.V, *merged.J, *merged.S);
      // The trees before point into cur's vertices: free them first.
      cur.ownJ.reset(), cur.ownS.reset(), cur.ownV.reset();
      cur = std::move(merged);
    }
    at = p;
  }
  if (failed) return false;
  // The whole grid's trees are in out: finish as the one-process path does.
  remove_regular_vertices(out.vertices, out.join, out.split);
  out.critical_points = Size(out.vertices.size());
  return compute_multires_contour_tree(out.join, out.split, out.contour, out.report,
                                       options.progress ? *options.progress : no_progress());
}

}  // namespace ctree
