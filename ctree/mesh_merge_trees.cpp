#include "ctree/mesh_merge_trees.h"

#include <cstdio>

#include "core/progress.h"
#include "ctree/regular_vertices.h"
#include "ctree/sweep_branches.h"
#include "ctree/union_find.h"

namespace ctree {

static void prepare(std::vector<Vertex>& P, MultiresTree& tree) {
  tree.vertices = P.data();
  tree.nodes.clear();
  tree.nodes.resize(P.size());
  tree.branches.clear();
}

// One sweep: up for the join tree, down for the split tree. Returns the
// number of branches opened and closed.
static void sweep(ScalarField2D& F, std::vector<Vertex>& P, MultiresTree& T, bool up, long& opened,
                  long& closed, ProgressSink& prog) {
  const Index n = Index(F.vertices.size());
  if (!F.sorted) F.sortVertices();
  UnionFind<BranchI> uf{size_t(n)};
  std::vector<Index> link;
  Index j = up ? 0 : Index(P.size()) - 1;
  for (Index s = 0; s < n; ++s) {
    const Index k = up ? s : n - 1 - s;
    const Index v = F.order[size_t(k)];
    Vertex* W = nullptr;
    if (j >= 0 && j < Index(P.size()) && same_vertex(F.vertices[size_t(v)], P[size_t(j)])) {
      W = &P[size_t(j)];
      j += up ? 1 : -1;
    }
    if (up)
      F.verticesOfLowerLink(v, link);
    else
      F.verticesOfUpperLink(v, link);
    if (W && s < n - 1) {
      ++opened;
      uf.findEntry(v)->data = start_branch(T, W);
    }
    for (Index u : link) {
      if (W) {
        BranchI bv = uf.findEntry(v)->data;
        BranchI bu = uf.findEntry(u)->data;
        if (bu != bv) {
          ++closed;
          if (bu->ends[1] == nullptr) close_branch(T, bu, W);
        }
        uf.merge(v, u, bv);
      } else {
        // A regular vertex carries its component's open branch on.
        uf.merge(v, u, uf.findEntry(u)->data);
      }
    }
    prog.update(s);
  }
}

// A sweep whose branches do not all close: the mesh's vertex links are
// not those of a surface (an edge in three triangles, say), so a vertex
// taken as regular joined two components.
static bool complete(const MultiresTree& T, long opened, long closed, Report& report) {
  if (opened != closed)
    return report.fail("ERROR: there are problems in the mesh since there are some branches started but not closed");
  for (const Branch& b : T.branches)
    if (!b.ends[0] || !b.ends[1]) {
      const Node* end = b.ends[0] ? b.ends[0] : b.ends[1];
      return report.fail("ERROR: the branch at mesh vertex " +
                         std::to_string(end ? long(end->vertex - T.vertices) : -1L) + " is not complete");
    }
  return true;
}

static bool compute_tree(ScalarField2D& F, std::vector<Vertex>& P, MultiresTree& T, bool join, Report& report,
                         ProgressSink& prog) {
  prepare(P, T);
  prog.init(join ? "Computing join tree" : "Computing split tree", F.vertexCount());
  long opened = 0, closed = 0;
  sweep(F, P, T, join, opened, closed, prog);
  return complete(T, opened, closed, report);
}

bool compute_join_tree(ScalarField2D& F, std::vector<Vertex>& P, MultiresTree& T, Report& report,
                       ProgressSink& progress) {
  return compute_tree(F, P, T, true, report, progress);
}

bool compute_split_tree(ScalarField2D& F, std::vector<Vertex>& P, MultiresTree& T, Report& report,
                        ProgressSink& progress) {
  return compute_tree(F, P, T, false, report, progress);
}

bool compute_merge_trees(ScalarField2D& F, std::vector<Vertex>& P, MultiresTree& J, MultiresTree& S, Report& report,
                         ProgressSink& progress) {
  if (!compute_join_tree(F, P, J, report, progress)) return false;
  if (!compute_split_tree(F, P, S, report, progress)) return false;
  remove_regular_vertices(P, J, S);
  return true;
}

}  // namespace ctree
