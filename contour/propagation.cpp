#include "contour/propagation.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "contour/codes.h"
#include "contour/grid3_data.h"
#include "contour/parallel_for.h"
#include "contour/radix_sort.h"
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
  BuildSegTree(t, threads);
}

void Conplot::BuildSegTree(int t, int threads) {
  const SeedCells& s = seeds[t];
  const int n = s.getNCells();
  const Seed* seed = s.getCellPointer();
  // The distinct range ends in order, by a radix sort of their keys (-0
  // and 0 share one key, so the value kept is 0 for every input order).
  std::vector<std::uint32_t> keys(2 * size_t(n));
  parallel_for(n, threads, [&](int a, int b) {
    for (int k = a; k < b; ++k) {
      keys[2 * size_t(k)] = float_key(seed[k].min);
      keys[2 * size_t(k) + 1] = float_key(seed[k].max);
    }
  });
  radix_sort_by(keys, [](std::uint32_t x) { return x; });
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<float> ends(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) ends[k] = key_float(keys[k]);
  tree[t].Init(int(ends.size()), ends.data());
  tree[t].InsertSeeds(seed, n, threads);
  tree[t].Done(threads);
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
