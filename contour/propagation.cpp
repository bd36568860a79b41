#include "contour/propagation.h"

#include <algorithm>
#include <cstdio>

#include "contour/codes.h"
#include "contour/grid3_data.h"
#include "contour/seed_search.h"

namespace contour {

Conplot::Conplot(Dataset* d) : data(d), seeds(d->ntime), tree(d->ntime), seedVar(d->ntime, -1) {
  // cellBuffer is sized by BuildSegTree: the seeds of the step (a whole
  // grid's worth of cells up front would cost a pass over memory that a
  // caller of the whole-grid pass never uses).
  touchedBits.assign((size_t(d->maxCellIndex) + 1 + 63) / 64, 0);
}

bool Conplot::isPreprocessed(int t) const { return seedVar[t] == data->getData(t)->contourVar; }

void Conplot::Preprocess(int t, void (*)(int, void*), void*, int threads, ctree::ProgressSink* progress) {
  Data* d = data->getData(t);
  seeds[t].Clear();
  switch (data->meshtype) {
    case CONTOUR_REG_3D:
      regProp(static_cast<const Datareg3&>(*d), seeds[t], threads, progress ? *progress : ctree::no_progress());
      break;
    default:
      // Triangle and tetrahedral meshes and 2D grids: every cell is a seed.
      seedAll(*d, seeds[t]);
      break;
  }
  seedVar[t] = d->contourVar;
  BuildSegTree(t);
}

void Conplot::BuildSegTree(int t) {
  const SeedCells& s = seeds[t];
  const int n = s.getNCells();
  std::vector<float> ends;
  ends.reserve(2 * size_t(n));
  for (int k = 0; k < n; ++k) {
    ends.push_back(s[k].min);
    ends.push_back(s[k].max);
  }
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  tree[t].Init(int(ends.size()), ends.data());
  for (int k = 0; k < n; ++k) tree[t].InsertSeg(s[k].cell, s[k].min, s[k].max);
  tree[t].Done();
  // Room for every seed the tree can return at once.
  if (cellBuffer.size() < size_t(std::max(n, 1))) cellBuffer.resize(size_t(std::max(n, 1)));
  messages->status(tree[t].Info());
}

int Conplot::ExtractAll(float isovalue) {
  if (isDone(curtime)) return Size(curtime);
  int n = tree[curtime].getCells(isovalue, cellBuffer.data());
  Reset(curtime);
  clearTouched();
  visited = 0;
  for (int k = 0; k < n; ++k) {
    int c = int(cellBuffer[k]);
    if (touched(c)) continue;
    touch(c);
    TrackContour(isovalue, c);
  }
  Done(curtime);
  return Size(curtime);
}

}  // namespace contour
