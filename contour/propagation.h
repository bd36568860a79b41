#pragma once
// Contour propagation over a dataset: per time step a seed set and an
// interval tree over the seeds' ranges; an isocontour is traced from every
// seed the isovalue crosses, cell by cell through a work queue, each cell
// adding its piece and queueing the neighbours the contour passes into.
//
// Conplot owns the seeds, the trees, the queue and a touched bit per cell
// identifier; the derived classes own one contour per time step and know
// how a cell of their mesh kind is contoured. The dataset is not owned.
// Each cell is processed at most once per extraction.

#include <cstdint>
#include <vector>

#include "contour/cell_queue.h"
#include "contour/dataset.h"
#include "contour/int_tree.h"
#include "contour/seed_cells.h"
#include "core/messages.h"

namespace contour {

class Conplot {
 public:
  explicit Conplot(Dataset* d);
  virtual ~Conplot() = default;
  Conplot(const Conplot&) = delete;
  Conplot& operator=(const Conplot&) = delete;

  void setTime(int t) { curtime = t; }
  int getTime() const { return curtime; }
  // Where status lines go (borrowed; the library sets it to the sink of the
  // handle that owns this object).
  ctree::MessageSink* messages = &ctree::no_messages();
  // Computes the seeds of step t for its current contouring variable, then
  // the interval tree. The callback is accepted and not called. threads:
  // workers of the grid seed search and of the tree; the seeds and the
  // tree are the same for any count.
  // progress: told of a grid seed search that runs long (null: silent).
  void Preprocess(int t, void (*callback)(int, void*) = nullptr, void* arg = nullptr, int threads = 1,
                  ctree::ProgressSink* progress = nullptr);
  // True when step t has seeds for its current contouring variable.
  bool isPreprocessed(int t) const;
  // Builds the interval tree of step t on `threads` workers (the same tree
  // for every count) and says its summary line to messages.
  void BuildSegTree(int t, int threads = 1);
  // Extracts the whole isocontour of the current step; returns its Size.
  // A finished contour is returned as it is until Reset.
  int ExtractAll(float isovalue);

  virtual void Reset(int t) = 0;
  virtual int Size(int t) const = 0;
  virtual bool isDone(int t) const = 0;
  virtual void Done(int t) = 0;
  // Traces the contour component through cell, which must be touched.
  virtual void TrackContour(float isovalue, int cell) = 0;

  SeedCells& getSeeds(int t) { return seeds[t]; }
  const IntTree& getTree(int t) const { return tree[t]; }
  Dataset* getDataset() const { return data; }
  // Number of cells processed by the last ExtractAll.
  int cellsVisited() const { return visited; }

 protected:
  bool touched(int cell) const { return (touchedBits[unsigned(cell) >> 6] >> (cell & 63)) & 1; }
  void touch(int cell) { touchedBits[unsigned(cell) >> 6] |= std::uint64_t(1) << (cell & 63); }
  void clearTouched() { std::fill(touchedBits.begin(), touchedBits.end(), 0); }

  CellQueue queue;
  Dataset* data;
  std::vector<SeedCells> seeds;
  std::vector<IntTree> tree;
  std::vector<int> seedVar;  // contouring variable of each step's seeds, -1 for none
  int curtime = 0;
  std::vector<unsigned> cellBuffer;
  std::vector<std::uint64_t> touchedBits;
  int visited = 0;
};

}  // namespace contour
