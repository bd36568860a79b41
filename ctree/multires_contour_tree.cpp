#include "ctree/multires_contour_tree.h"

#include <string>

#include "core/huge_pages.h"
#include "core/threads.h"
#include "ctree/leaf_cutting.h"
#include "ctree/tree_of_cuts.h"

namespace ctree {

bool sound_merge_trees(const MultiresTree& jt, const MultiresTree& st) {
  if (jt.vertices != st.vertices || jt.nodes.size() != st.nodes.size()) return false;
  for (const MultiresTree* t : {&jt, &st})
    for (const Branch& b : t->branches) {
      if (!b.ends[0] || !b.ends[1]) return false;
      for (const Node* n : b.ends)
        if (!n->vertex || size_t(n->vertex - t->vertices) >= t->nodes.size()) return false;
    }
  return true;
}

// Every branch with two ends at vertices of the vector.
static bool sound_arrays(const MergeTreeArrays& a, size_t nv) {
  if (a.vertexCount() != nv || a.at.size() != a.ends.size()) return false;
  for (Index v : a.ends)
    if (v < 0 || size_t(v) >= nv) return false;
  for (Index code : a.at)
    if (code < 0 || size_t(code) >= a.ends.size()) return false;
  return true;
}

static const char* const INCOMPLETE =
    "Error: the join and split trees are incomplete; no contour tree is built from them";

// The meter of a construction over nv vertices started.
static void start_meter(ProgressSink& prog, size_t nv) {
  prog.init("Computing multi-resolution contour tree", nv >= 4 ? Size(nv / 2 - 1) : 0);
}

// ct emptied and set up over vertices; the meter started.
static void prepare_contour_tree(Vertex* vertices, size_t nv, MultiresTree& ct, ProgressSink& prog) {
  ct.vertices = vertices;
  ct.nodes.clear();
  reserve_huge(ct.nodes, nv);
  ct.nodes.resize(nv);
  ct.branches.clear();
  start_meter(prog, nv);
}

// false with the reason in report for cutting that stopped at stop: trees
// that are not those of one field leave it stuck with branches on both
// sides.
static bool stopped(const CutStop& stop, Report& report) {
  const std::string left = std::to_string(stop.joinBranches) + " branches of the join tree and " +
                           std::to_string(stop.splitBranches) + " of the split tree left after " +
                           std::to_string(stop.cut) + " cut";
  if (stop.queueRanEmpty) {
    report.warn("No leaf can be cut with " + left + ": the trees are not the join and split trees of one field.");
    return report.fail("Error! Branch queue is empty.");
  }
  report.warn("A cut leaf is not a leaf of the other tree, with " + left +
              ": the trees are not the join and split trees of one field.");
  return report.fail("Error! Cannot remove vertex.");
}

// The cuts of join and split, or false with the reason in report.
static bool cut_or_fail(const Vertex* vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                        CutBranches& cuts, Report& report, ProgressSink& prog) {
  CutStop stop;
  return cut_contour_tree(vertices, join, split, cuts, prog, &stop) || stopped(stop, report);
}

bool compute_multires_contour_tree(MultiresTree& jt, MultiresTree& st, MultiresTree& ct, Report& report,
                                   ProgressSink& prog) {
  const size_t nv = jt.nodes.size();
  prepare_contour_tree(jt.vertices, nv, ct, prog);
  if (!sound_merge_trees(jt, st)) return report.fail(INCOMPLETE);
  MergeTreeArrays join, split;
  if (!merge_tree_arrays(jt, join) || !merge_tree_arrays(st, split))
    return report.fail(
        "Error: a branch of the join or split tree keeps interior nodes (regular vertices not removed); no contour "
        "tree is built from them");
  CutBranches cuts;
  if (!cut_or_fail(jt.vertices, join, split, cuts, report, prog)) return false;
  contour_tree_of_cuts(cuts, ct);
  return true;
}

bool contour_tree_from_arrays(std::vector<Vertex>& vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                              MultiresTree& ct, Report& report, ProgressSink& prog) {
  prepare_contour_tree(vertices.data(), vertices.size(), ct, prog);
  if (!sound_arrays(join, vertices.size()) || !sound_arrays(split, vertices.size())) return report.fail(INCOMPLETE);
  CutBranches cuts;
  if (!cut_or_fail(vertices.data(), join, split, cuts, report, prog)) return false;
  contour_tree_of_cuts(cuts, ct);
  return true;
}

bool finished_tree_from_arrays(std::vector<Vertex>& vertices, MergeTreeArrays&& join, MergeTreeArrays&& split,
                               FlatTree& finished, Report& report, ProgressSink& prog, unsigned threads) {
  const size_t nv = vertices.size();
  if (!sound_arrays(join, nv) || !sound_arrays(split, nv)) {
    join = MergeTreeArrays();
    split = MergeTreeArrays();
    return report.fail(INCOMPLETE);
  }
  start_meter(prog, nv);
  CutBranches cuts;
  CutStop stop;
  if (!cut_contour_tree(vertices.data(), std::move(join), std::move(split), cuts, prog, worker_count(threads), &stop))
    return stopped(stop, report);
  finished = finished_tree_of_cuts(vertices.data(), cuts);
  return true;
}

}  // namespace ctree
