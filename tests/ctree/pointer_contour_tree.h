#pragma once
// The contour tree construction in the pointer model, kept as the reference
// that the product's construction (leaf cutting over index arrays) is
// compared against: the leaves of the join and split trees (MultiresTree)
// go through a lazy priority queue, least value range first, and are cut
// off with the model's own edits (removeVertex, removeBranch,
// mergeBranches). Slow and memory-hungry, but written straight from the
// model, so it shares no code with the index construction.

#include <queue>
#include <vector>

#include "core/progress.h"
#include "core/report.h"
#include "ctree/merge_tree_arrays.h"
#include "ctree/multires_tree.h"

namespace ctree {

// A queued leaf branch; priority is its value range when it was queued.
struct BQEntry {
  Real priority;
  MultiresTree* tree;
  BranchI branch;
  unsigned long seq;  // push order: entries of equal priority leave first in, first out
};

// Heap order: the top is the entry of least priority, the earliest pushed
// among equals. (A strict weak order, as the heap needs.)
struct BQLater {
  bool operator()(const BQEntry& a, const BQEntry& b) const {
    return a.priority > b.priority || (a.priority == b.priority && a.seq > b.seq);
  }
};

// True when b is a leaf of t that can be cut off: a minimum hanging from a
// saddle with one branch above it, or a maximum hanging from a saddle with
// one branch below it.
bool can_simplify(const Branch& b, const MultiresTree& t);

// -1 when b is a cuttable leaf whose extremum is its lower end, +1 when it is
// its upper end, 0 when b cannot be cut.
int leaf_direction(const Branch& b, const MultiresTree& t);

class BranchQueue {
 public:
  BranchQueue(const Vertex* vertices, size_t vertex_count);

  // Queues b (of tree t) when it is a cuttable leaf whose extremum is not
  // queued already.
  void offer(BranchI b, MultiresTree& t);

  // The cuttable leaf of least current value range. Entries whose branch has
  // grown since they were queued are queued again with their new range;
  // entries that are no longer leaves are dropped. A null BranchI after a
  // message when the queue runs empty.
  BranchI popBranch();

 private:
  std::priority_queue<BQEntry, std::vector<BQEntry>, BQLater> heap;
  const Vertex* vertices;
  std::vector<bool> queueable;
  unsigned long pushes = 0;

  size_t index(const Vertex* v) const { return size_t(v - vertices); }
};

// ct: empty; jt, st: the join and split trees over one vertex vector with
// their regular vertices removed, consumed. Computes persistence and
// bounding boxes of ct. false, with ct empty and report's error set, when a
// branch of jt or st lacks an end ("incomplete"), or when no leaf can be cut
// ("Error! Branch queue is empty.", a dump of the three trees as a warning).
// Vertices that cannot be removed from the other tree are counted in a
// warning.
bool compute_multires_contour_tree_by_pointers(MultiresTree& jt, MultiresTree& st, MultiresTree& ct, Report& report,
                                               ProgressSink& progress);

// The pointer model of a over vertices (a.vertexCount() records): the same
// branch list and the same node lists, in the same orders.
void multires_from_arrays(const MergeTreeArrays& a, Vertex* vertices, MultiresTree& t);

}  // namespace ctree
