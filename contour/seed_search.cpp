#include "contour/seed_search.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "core/threads.h"
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

// Layers per slab of the seed sweep (see regProp).
constexpr int SLAB = 32;

// One cell of the sweep: reads and rewrites the sets handed to it through
// its lower faces (inX, yin = inY[i], zin = inZ[i, j]; k0 the first layer
// of its slab) and appends its seed,
// if it becomes one, to out.
inline void sweep_cell(const Datareg3& data, int i, int j, int k, int k0, int nx, int ny, int nz, Range& inX,
                       Range& yin, Range& zin, std::vector<Seed>& out) {
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
  // crossing it is still uncovered. The first layer of a slab (k0) takes
  // its lower face the same way: what the slab below hands through it is
  // covered here again.
  if (i == 0) inX.Set(lo[0], hi[0]);
  if (j == 0) yin.Set(lo[1], hi[1]);
  if (k == k0) zin.Set(lo[2], hi[2]);
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
  R2 -= R1;      // this cell's responsibility
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
// The layers are cut into slabs of SLAB layers, a cut that depends on the
// grid alone. Each slab is swept on its own, as if its lower face were the
// grid's: the values crossing it are all taken as uncovered, so the slab
// covers by itself every contour piece inside it, and so do the seeds of all
// slabs together for the whole grid. A value the slab below hands up
// through the cut is covered above as well (a few seeds more per cut). The
// workers take slabs in turn, each into its own seed list; the lists are
// joined in slab order, so the seeds and their order are the same for every
// thread count.
void regProp(const Datareg3& data, SeedCells& seeds, int threads, ctree::ProgressSink& progress) {
  const int nx = data.dim[0] - 1, ny = data.dim[1] - 1, nz = data.dim[2] - 1;
  const int nslabs = (nz + SLAB - 1) / SLAB;
  std::vector<std::vector<Seed>> slabSeeds(static_cast<size_t>(nslabs));
  const int T = std::max(1, std::min(threads, nslabs));
  std::atomic<int> next(0);
  DelayedProgress meter(progress, "Computing seed cells", Size(nslabs));
  std::atomic<int> slabsDone(0);

  auto worker = [&](int w) {
    Range inX;
    std::vector<Range> inY(static_cast<size_t>(nx));
    std::vector<Range> inZ(size_t(nx) * ny);
    for (int s = next.fetch_add(1); s < nslabs; s = next.fetch_add(1)) {
      std::vector<Seed>& out = slabSeeds[size_t(s)];
      const int k0 = s * SLAB, k1 = std::min(nz, k0 + SLAB);
      for (int k = k0; k < k1; ++k)
        for (int j = 0; j < ny; ++j) {
          Range* zrow = &inZ[size_t(j) * nx];
          for (int i = 0; i < nx; ++i) sweep_cell(data, i, j, k, k0, nx, ny, nz, inX, inY[size_t(i)], zrow[i], out);
        }
      const int done = slabsDone.fetch_add(1) + 1;
      if (w == 0) meter.update(ctree::Index(done - 1));
    }
  };
  ctree::run_tasks(unsigned(T), unsigned(T), [&](unsigned w) { worker(int(w)); });
  meter.finish();
  size_t total = size_t(seeds.getNCells());
  for (const std::vector<Seed>& slab : slabSeeds) total += slab.size();
  seeds.Reserve(total);
  for (const std::vector<Seed>& slab : slabSeeds)
    for (const Seed& s : slab) seeds.AddSeed(s.cell, s.min, s.max);
}

}  // namespace contour
