#include "contour/seed_search.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "contour/grid3_data.h"
#include "contour/delayed_progress.h"
#include "contour/range.h"

namespace contour {

using ctree::Size;


void seedAll(const Data& data, SeedCells& seeds) {
  for (int c = 0; c < data.ncells; ++c) {
    float mn, mx;
    data.getCellRange(c, mn, mx);
    seeds.AddSeed(unsigned(c), mn, mx);
  }
}

namespace {

// One cell of the sweep: reads and rewrites the sets handed to it through
// its lower faces (inX, yin = inY[i], zin = inZ[i, j]) and appends its seed,
// if it becomes one, to out.
inline void sweep_cell(const Datareg3& data, int i, int j, int k, int nx, int ny, int nz, Range& inX, Range& yin,
                       Range& zin, std::vector<Seed>& out) {
  float f[8];
  data.getCellValues(i, j, k, f);
  // Face value ranges [lo, hi] of X-, Y-, Z- and X+, Y+, Z+.
  float lo[6], hi[6];
  static const int faces[6][4] = {{0, 3, 4, 7}, {0, 1, 2, 3}, {0, 1, 4, 5}, {1, 2, 5, 6}, {4, 5, 6, 7}, {2, 3, 6, 7}};
  for (int q = 0; q < 6; ++q) {
    const int* c = faces[q];
    lo[q] = std::min(std::min(f[c[0]], f[c[1]]), std::min(f[c[2]], f[c[3]]));
    hi[q] = std::max(std::max(f[c[0]], f[c[1]]), std::max(f[c[2]], f[c[3]]));
  }
  // X- and X+ hold all eight corners.
  const float mn = std::min(lo[0], lo[3]), mx = std::max(hi[0], hi[3]);
  if (mn == mx) {
    // A constant cell is crossed by no isovalue and hands nothing on.
    zin.MakeEmpty();
    yin.MakeEmpty();
    inX.MakeEmpty();
    return;
  }
  // On the grid boundary nothing lies behind a lower face: everything
  // crossing it is still uncovered.
  if (i == 0) inX.Set(lo[0], hi[0]);
  if (j == 0) yin.Set(lo[1], hi[1]);
  if (k == 0) zin.Set(lo[2], hi[2]);
  Range U = inX;
  U += yin;
  U += zin;
  // The lower faces share corner 0, so the union of their ranges is the
  // one interval from the least low to the greatest high (a face of four
  // equal values adds nothing and lies inside it); likewise the upper
  // faces around corner 6.
  const Range F(std::min({lo[0], lo[1], lo[2]}), std::max({hi[0], hi[1], hi[2]}));
  Range R1 = F - U;  // crossing a lower face and covered behind it
  Range R2(mn, mx);
  R2 -= R1;     // this cell's responsibility
  Range P = R1;  // W minus R2

  const bool up[3] = {i < nx - 1, j < ny - 1, k < nz - 1};
  float olo = 0, ohi = 0;
  bool anyUp = false;
  for (int q = 0; q < 3; ++q)
    if (up[q]) {
      olo = anyUp ? std::min(olo, lo[3 + q]) : lo[3 + q];
      ohi = anyUp ? std::max(ohi, hi[3 + q]) : hi[3 + q];
      anyUp = true;
    }
  const bool oEmpty = !(anyUp && olo < ohi);
  bool handOn = R2.Empty() || (!oEmpty && olo <= R2.Min() && R2.Max() <= ohi);
  if (R2.Overflowed() || P.Overflowed()) handOn = false;
  if (handOn) {
    if (up[2]) {
      zin.Set(lo[5], hi[5]);
      zin -= P;
      P += zin;
    } else {
      zin.MakeEmpty();
    }
    if (up[1]) {
      yin.Set(lo[4], hi[4]);
      yin -= P;
      P += yin;
    } else {
      yin.MakeEmpty();
    }
    if (up[0]) {
      inX.Set(lo[3], hi[3]);
      inX -= P;
    } else {
      inX.MakeEmpty();
    }
    if (!(zin.Overflowed() || yin.Overflowed() || inX.Overflowed())) return;
  }
  const unsigned cell = unsigned(data.index2cell(i, j, k));
  if (R2.Overflowed() || P.Overflowed() || zin.Overflowed() || yin.Overflowed() || inX.Overflowed()) {
    // The value sets grew past their capacity: a seed for the whole
    // cell range is always safe.
    out.push_back({mn, mx, cell});
  } else {
    out.push_back({R2.Min(), R2.Max(), cell});
  }
  zin.MakeEmpty();
  yin.MakeEmpty();
  inX.MakeEmpty();
}

}  // namespace

// In-sets hold, per face, the isovalues handed from the cell behind it to the
// cell in front: values whose contour crosses the face and that no seed
// covers yet. Each such value is handed to exactly one upper neighbour, so
// the responsibility for it travels along until some cell takes it as seed.
//
// Between layers k - 1 and k only inZ travels, and row j of layer k reads
// and writes only the row-j entries of inZ. So layers run as a pipeline:
// worker w sweeps layers w, w + T, ..., starting row j of layer k once layer
// k - 1 has finished row j. Each cell then sees exactly the sets of the one
// thread sweep, and the seeds, collected per layer and joined in layer
// order, are the same seeds in the same order.
void regProp(const Datareg3& data, SeedCells& seeds, int threads, ctree::ProgressSink& progress) {
  const int nx = data.dim[0] - 1, ny = data.dim[1] - 1, nz = data.dim[2] - 1;
  std::vector<Range> inZ(size_t(nx) * ny);
  std::vector<std::vector<Seed>> layerSeeds(static_cast<size_t>(nz));
  const int T = std::max(1, std::min(threads, nz));
  // rowsDone[k]: rows of layer k finished (release), read by layer k + 1.
  std::unique_ptr<std::atomic<int>[]> rowsDone(new std::atomic<int>[size_t(nz)]);
  for (int k = 0; k < nz; ++k) rowsDone[k].store(0, std::memory_order_relaxed);
  DelayedProgress meter(progress, "Computing seed cells", Size(nz));

  auto worker = [&](int w) {
    Range inX;
    std::vector<Range> inY(static_cast<size_t>(nx));
    for (int k = w; k < nz; k += T) {
      std::vector<Seed>& out = layerSeeds[size_t(k)];
      for (int j = 0; j < ny; ++j) {
        if (k > 0 && T > 1)
          while (rowsDone[k - 1].load(std::memory_order_acquire) <= j) std::this_thread::yield();
        Range* zrow = &inZ[size_t(j) * nx];
        for (int i = 0; i < nx; ++i) sweep_cell(data, i, j, k, nx, ny, nz, inX, inY[size_t(i)], zrow[i], out);
        rowsDone[k].store(j + 1, std::memory_order_release);
      }
      if (w == 0) meter.update(ctree::Index(k));
    }
  };
  std::vector<std::thread> pool;
  for (int w = 1; w < T; ++w) pool.emplace_back(worker, w);
  worker(0);
  for (std::thread& t : pool) t.join();
  meter.finish();
  for (const std::vector<Seed>& layer : layerSeeds)
    for (const Seed& s : layer) seeds.AddSeed(s.cell, s.min, s.max);
}

}  // namespace contour
