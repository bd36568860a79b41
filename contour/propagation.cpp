#include "contour/propagation.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "contour/codes.h"
#include "contour/grid3_data.h"
#include "contour/parallel_for.h"
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
  // The distinct range ends in order: runs of seeds sorted side by side,
  // then merged run after run. -0 is taken as 0 so that the one kept of
  // equal ends is the same for every count.
  const int T = std::max(1, std::min(threads, n / 4096 + 1));
  std::vector<float> ends(2 * size_t(n));
  std::vector<size_t> runEnd(static_cast<size_t>(T));
  parallel_for(T, T, [&](int wa, int wb) {
    for (int w = wa; w < wb; ++w) {
      const size_t a = size_t(int64_t(n) * w / T), b = size_t(int64_t(n) * (w + 1) / T);
      for (size_t k = a; k < b; ++k) {
        ends[2 * k] = seed[k].min == 0 ? 0.0f : seed[k].min;
        ends[2 * k + 1] = seed[k].max == 0 ? 0.0f : seed[k].max;
      }
      std::sort(ends.begin() + 2 * a, ends.begin() + 2 * b);
      runEnd[size_t(w)] = 2 * b;
    }
  });
  for (int w = 1; w < T; ++w)
    std::inplace_merge(ends.begin(), ends.begin() + runEnd[size_t(w) - 1], ends.begin() + runEnd[size_t(w)]);
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
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
