#include "contour/grid3_data.h"

#include <algorithm>
#include <atomic>
#include <cassert>

#include "core/threads.h"
#include "contour/codes.h"
#include "contour/cube_table.h"
#include "contour/delayed_progress.h"
#include "contour/signature_integrals.h"

namespace contour {

int Datareg3::bitsFor(int n) {
  int b = 1;
  while (b < 31 && (1 << b) <= n) ++b;
  return b;
}

Datareg3::Datareg3(int type_, int nvars_, const int d[3], const unsigned char* block, const float origin[3],
                   const float sp[3])
    : Data(type_, d[0] * d[1] * d[2], (d[0] - 1) * (d[1] - 1) * (d[2] - 1), nvars_, block) {
  for (int a = 0; a < 3; ++a) {
    dim[a] = d[a];
    if (origin) orig[a] = origin[a];
    if (sp) span[a] = sp[a];
  }
  xbits = bitsFor(dim[0] - 2);
  ybits = bitsFor(dim[1] - 2);
  zbits = bitsFor(dim[2] - 2);
  assert(xbits + ybits + zbits <= 31 && "grid cell identifiers must fit 31 bits");
  xmask = (1 << xbits) - 1;
  ymask = (1 << ybits) - 1;
  zmask = (1 << zbits) - 1;
  for (int c = 0; c < 8; ++c) cornerOffset[c] = vertIndex(cube_corner[c][0], cube_corner[c][1], cube_corner[c][2]);
}

int Datareg3::maxCellIndex() const { return index2cell(dim[0] - 2, dim[1] - 2, dim[2] - 2); }

void Datareg3::getCellRange(int cell, float& mn, float& mx) const {
  int i, j, k;
  cell2index(cell, i, j, k);
  float f[8];
  getCellValues(i, j, k, f);
  mn = *std::min_element(f, f + 8);
  mx = *std::max_element(f, f + 8);
}

void Datareg3::getFaceRange(int cell, int face, float& mn, float& mx) const {
  int i, j, k;
  cell2index(cell, i, j, k);
  float f[8];
  getCellValues(i, j, k, f);
  mn = 1e38f;
  mx = -1e38f;
  for (int c : cube_face_corners[face]) {
    mn = std::min(mn, f[c]);
    mx = std::max(mx, f[c]);
  }
}

int Datareg3::getCellAdj(int cell, int face) const {
  int i, j, k;
  cell2index(cell, i, j, k);
  i += cube_face_step[face][0];
  j += cube_face_step[face][1];
  k += cube_face_step[face][2];
  if (i < 0 || j < 0 || k < 0 || i > dim[0] - 2 || j > dim[1] - 2 || k > dim[2] - 2) return -1;
  return index2cell(i, j, k);
}

int Datareg3::getCellVert(int cell, int c) const {
  int i, j, k;
  cell2index(cell, i, j, k);
  return vertIndex(i + cube_corner[c][0], j + cube_corner[c][1], k + cube_corner[c][2]);
}

void Datareg3::getVertGrad(int i, int j, int k, float g[3]) const {
  const float* v = contourValues();
  const int at[3] = {i, j, k};
  const int stride[3] = {1, dim[0], dim[0] * dim[1]};
  const int here = vertIndex(i, j, k);
  for (int a = 0; a < 3; ++a) {
    if (dim[a] < 2)
      g[a] = 0;
    else if (at[a] == 0)
      g[a] = v[here + stride[a]] - v[here];
    else if (at[a] == dim[a] - 1)
      g[a] = v[here] - v[here - stride[a]];
    else
      g[a] = 0.5f * (v[here + stride[a]] - v[here - stride[a]]);
  }
}

bool Datareg3::getSlice(int var, char axis, int index, int& width, int& height, std::vector<float>& out) const {
  if (var < 0 || var >= nvars) return false;
  const float* v = varValues(var);
  int a = axis == 'x' ? 0 : axis == 'y' ? 1 : axis == 'z' ? 2 : -1;
  if (a < 0 || index < 0 || index >= dim[a]) return false;
  int u = a == 0 ? 1 : 0, w = a == 2 ? 1 : 2;
  width = dim[u];
  height = dim[w];
  out.resize(size_t(width) * height);
  int p[3];
  p[a] = index;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      p[u] = x;
      p[w] = y;
      out[size_t(y) * width + x] = v[vertIndex(p[0], p[1], p[2])];
    }
  return true;
}

const char* Datareg3::fName(int fn) const {
  static const char* names[4] = {"Surface Area", "Min Volume", "Max Volume", "Gradient"};
  return fn >= 0 && fn < 4 ? names[fn] : nullptr;
}

bool Datareg3::compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) {
  fx.clear();
  fy.clear();
  if (fn < 0 || fn > 3) return false;
  if (cacheVar != contourVar || cacheSamples != nsamples) computeSpectrum(nsamples, 1, ctree::no_progress());
  fx = cacheFx;
  fy = cacheFy[fn];
  return true;
}

void Datareg3::prepareFunctions(int nsamples, int threads, ctree::ProgressSink& progress) {
  if (cacheVar != contourVar || cacheSamples != nsamples) computeSpectrum(nsamples, threads, progress);
}

namespace {

// The sums of one slab of cells, at every sample.
struct SpectrumSums {
  std::vector<double> area, grad, partial, whole;
  explicit SpectrumSums(int n) : area(n, 0.0), grad(n, 0.0), partial(n, 0.0), whole(n, 0.0) {}
};

// Slabs of cell layers: fixed by the grid and the sample count alone, so
// the sums, added slab by slab in slab order, are the same for every number
// of threads. Enough slabs to share among threads and to show progress;
// few enough that their sums stay small beside the grid.
int spectrum_slabs(int layers, int nsamples) {
  const long long budget = 32LL << 20;  // bytes of sums
  long long bySize = budget / (4LL * 8 * std::max(nsamples, 2));
  return int(std::max(1LL, std::min<long long>({layers, 64, bySize})));
}

}  // namespace

// Every cell is visited and cut into the same five tetrahedra.
void Datareg3::computeSpectrum(int nsamples, int threads, ctree::ProgressSink& progress) {
  static const int tets[5][4] = {{0, 1, 3, 4}, {3, 1, 2, 6}, {6, 1, 5, 4}, {7, 3, 6, 4}, {6, 3, 1, 4}};
  const SignatureSampler s(getMin(), getMax(), nsamples);
  const double cellVolume = double(span[0]) * span[1] * span[2];
  // The four corner tetrahedra hold a sixth of the cell, the central one a third.
  const double tetVolume[5] = {cellVolume / 6, cellVolume / 6, cellVolume / 6, cellVolume / 6, cellVolume / 3};
  const int layers = dim[2] - 1;
  const int nslabs = spectrum_slabs(layers, s.n);

  // Corner positions relative to the cell's lowest corner: the profiles
  // depend on differences of positions only, and these are the same in
  // every cell.
  double corner[8][3];
  for (int m = 0; m < 8; ++m)
    for (int a = 0; a < 3; ++a) corner[m][a] = double(span[a]) * cube_corner[m][a];
  TetShape shape[5];
  for (int t = 0; t < 5; ++t) {
    double p[4][3];
    for (int m = 0; m < 4; ++m)
      for (int a = 0; a < 3; ++a) p[m][a] = corner[tets[t][m]][a];
    shape[t] = tet_shape(p);
  }

  auto slab = [&](int k0, int k1, SpectrumSums& sum) {
    std::vector<double>&area = sum.area, &grad = sum.grad, &partial = sum.partial, &whole = sum.whole;
    for (int k = k0; k < k1; ++k)
      for (int j = 0; j + 1 < dim[1]; ++j)
        for (int i = 0; i + 1 < dim[0]; ++i) {
          float f[8];
          getCellValues(i, j, k, f);
          float mn = *std::min_element(f, f + 8), mx = *std::max_element(f, f + 8);
          if (mn == mx) {
            s.addWholeAbove(mn, cellVolume, whole);
            continue;
          }
          // No sample inside [mn, mx): the whole cell lies below every sample
          // from the first one at or above mn on, and below none before it.
          int first = s.firstSample(mn);
          if (first >= s.n || s.fx[first] >= mx) {
            if (first < s.n) whole[first] += cellVolume;
            continue;
          }
          bool haveWeight = false;
          double weight = 0;
          for (int t = 0; t < 5; ++t) {
            const int* c = tets[t];
            double v[4] = {f[c[0]], f[c[1]], f[c[2]], f[c[3]]};
            double lo = std::min({v[0], v[1], v[2], v[3]}), hi = std::max({v[0], v[1], v[2], v[3]});
            // A tetrahedron without a sample in [lo, hi) only adds its volume.
            if (lo == hi) {
              s.addWholeAbove(hi, tetVolume[t], whole);
              continue;
            }
            // The cell's first sample lies at or below this one's.
            int tf = first;
            while (tf < s.n && s.fx[tf] < lo) ++tf;
            if (tf >= s.n || s.fx[tf] >= hi) {
              if (tf < s.n) whole[tf] += tetVolume[t];
              continue;
            }
            if (!haveWeight) {
              double gx = 0.25 * ((f[1] + f[2] + f[5] + f[6]) - (f[0] + f[3] + f[4] + f[7]));
              double gy = 0.25 * ((f[4] + f[5] + f[6] + f[7]) - (f[0] + f[1] + f[2] + f[3]));
              double gz = 0.25 * ((f[2] + f[3] + f[6] + f[7]) - (f[0] + f[1] + f[4] + f[5]));
              weight = gx * gx + gy * gy + gz * gz;
              haveWeight = true;
            }
            TetProfile tp = tet_profile(shape[t], v);
            for (int n = tf; n < s.n && s.fx[n] < tp.f[3]; ++n) {
              double w = s.fx[n];
              double ar = tp.area(w);
              area[n] += ar;
              grad[n] += weight * ar;
              partial[n] += tp.below(w);
            }
            s.addWhole(tp.f[3], tetVolume[t], whole);
          }
        }
  };

  std::vector<SpectrumSums> sums(size_t(nslabs), SpectrumSums(0));
  std::atomic<int> next(0), finished(0);
  DelayedProgress meter(progress, "Computing contour spectrum", ctree::Size(nslabs));
  auto worker = [&](bool reports) {
    for (int b; (b = next.fetch_add(1)) < nslabs;) {
      SpectrumSums sum(s.n);
      slab(int(long(layers) * b / nslabs), int(long(layers) * (b + 1) / nslabs), sum);
      sums[size_t(b)] = std::move(sum);
      int done = finished.fetch_add(1) + 1;
      if (reports) meter.update(ctree::Index(done - 1));
    }
  };
  const int T = std::max(1, std::min(threads, nslabs));
  ctree::run_tasks(unsigned(T), unsigned(T), [&](unsigned w) { worker(w == 0); });
  meter.finish();

  SpectrumSums total(s.n);
  for (const SpectrumSums& b : sums)
    for (int n = 0; n < s.n; ++n) {
      total.area[n] += b.area[n];
      total.grad[n] += b.grad[n];
      total.partial[n] += b.partial[n];
      total.whole[n] += b.whole[n];
    }
  std::vector<double> none(s.n, 0.0);
  cacheFx = s.fx;
  cacheFy[0] = s.cumulate(total.area, none);
  cacheFy[1] = s.cumulate(total.partial, total.whole);
  cacheFy[2] = cacheFy[1];
  for (float& y : cacheFy[2]) y = cacheFy[1][s.n - 1] - y;
  cacheFy[3] = s.cumulate(total.grad, none);
  cacheVar = contourVar;
  cacheSamples = nsamples;
}

Datasetreg3::Datasetreg3(int type_, int nvars_, int ntime_, const int dim[3], const unsigned char* data_,
                         const float origin[3], const float span[3])
    : Dataset(CONTOUR_REG_3D, type_, ntime_, nvars_) {
  const size_t step = size_t(dim[0]) * dim[1] * dim[2] * size_t(nvars_) * type_size(type_);
  for (int t = 0; t < ntime_; ++t)
    addStep(std::make_unique<Datareg3>(type_, nvars_, dim, data_ + t * step, origin, span));
}

}  // namespace contour
