#pragma once
// Interval tree over the seed cells of one time step: finds the seeds whose
// range (min, max] contains an isovalue w, that is min < w <= max.
//
// The tree is implicit: node m of the sorted distinct endpoint values is the
// root of the binary search over values[lo..hi] with m = (lo + hi) / 2. A seed
// is stored at the first node on that search whose value lies in [min, max],
// in two lists: by min ascending and by max descending. A query walks one
// root-to-leaf path and stops each list walk at the first seed that misses,
// so it costs O(log n + k) for k seeds found.

#include <cstdio>
#include <string>
#include <vector>

#include "contour/seed_cells.h"

namespace contour {

// Search structure over seed cells.
class CellSearch {
 public:
  virtual ~CellSearch() = default;
  virtual void Done() = 0;
  virtual void Init(int n, const float* values) = 0;
  // Writes every node with its seeds to out, a line each.
  virtual void Dump(std::FILE* out) const = 0;
  // One line (without its newline) of counts: values, seeds, nodes in use, longest list.
  virtual std::string Info() const = 0;
  // Calls visit(cell, arg) for every seed containing value.
  virtual void Traverse(float value, void (*visit)(unsigned cell, void* arg), void* arg) const = 0;
  // Writes the cells of all seeds containing value; returns their number.
  virtual int getCells(float value, unsigned* cells) const = 0;
  virtual void InsertSeg(unsigned cell, float min, float max) = 0;
};

class IntTree : public CellSearch {
 public:
  IntTree() = default;
  // values: n distinct values in increasing order.
  IntTree(int n, const float* values) { Init(n, values); }

  void Init(int n, const float* values) override;
  // Sorts the node lists; call after the last InsertSeg and before queries.
  void Done() override;
  void Dump(std::FILE* out) const override;
  std::string Info() const override;
  void Traverse(float value, void (*visit)(unsigned cell, void* arg), void* arg) const override;
  int getCells(float value, unsigned* cells) const override;
  // min <= max, and both are among the values given to Init.
  void InsertSeg(unsigned cell, float min, float max) override;
  // InsertSeg for each of the n seeds in order, the searches shared by
  // `threads` workers.
  void InsertSeeds(const Seed* seeds, int n, int threads);
  // Done, the node lists sorted by `threads` workers; the same lists for
  // every count (ties are ordered by seed index).
  void Done(int threads);

  int numSeeds() const { return int(cell.size()); }
  int numValues() const { return int(vals.size()); }

 private:
  int nodeOf(float min, float max) const;
  template <class Visit>
  void query(float value, Visit visit) const;

  // Per seed.
  std::vector<unsigned> cell;
  std::vector<float> segMin, segMax;
  std::vector<int> node;
  // Per node, as compressed rows over seed indices (valid after Done).
  std::vector<float> vals;
  std::vector<int> first;    // nvals + 1 offsets
  std::vector<int> minList;  // seeds by min ascending, per node
  std::vector<int> maxList;  // seeds by max descending, per node
  bool done = false;
};

}  // namespace contour
