#pragma once
// The multiresolution contour tree: the join and split trees of a field
// consumed leaf by leaf, least persistent leaf first, into a branch
// decomposition in which every branch hangs from the branch it was cut from.
// The last branch, from the global minimum to the global maximum, is the
// root; the result's branch list is sorted by persistence (root first), so a
// prefix of it is a simplified tree.

#include <queue>
#include <vector>

#include "core/progress.h"
#include "core/report.h"
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
// their regular vertices removed. jt and st are of no further use
// afterwards (the work runs in index form, see flat_contour_tree.h; the
// pointer construction, when it has to run, consumes them). Computes persistence and bounding boxes of ct. false, with
// ct empty and report's error set, when a branch of jt or st lacks an end,
// or when jt and st are not the merge trees of one field (no leaf can be
// cut; a dump of the three trees is then a warning). progress: told of
// every branch cut.
bool compute_multires_contour_tree(MultiresTree& jt, MultiresTree& st, MultiresTree& ct, Report& report,
                                   ProgressSink& progress);

}  // namespace ctree
