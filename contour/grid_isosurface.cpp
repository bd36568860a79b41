#include "contour/grid_isosurface.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/threads.h"
#include "contour/cell_cases.h"
#include "fields/grid_field.h"

namespace contour {

namespace {

// Without a popcount instruction in the baseline instruction set, the
// builtin is a library call; the bit-parallel sum is inlined.
inline int popcount(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0full;
  return int((x * 0x0101010101010101ull) >> 56);
}
inline int lowest_bit(std::uint64_t x) { return __builtin_ctzll(x); }

// Runs body(item) for items 0 .. n-1 on `threads` workers (the calling
// thread one of them), each taking the next item in turn.
template <class Body>
void for_items(int threads, int n, const Body& body) {
  std::atomic<int> next(0);
  auto worker = [&] {
    for (int k; (k = next.fetch_add(1)) < n;) body(k);
  };
  const int count = std::max(1, std::min(threads, n));
  ctree::run_tasks(unsigned(count), unsigned(count), [&](unsigned) { worker(); });
}

// One extraction. Rows of samples are numbered k·ny + j; each holds W words
// of below-bits, bit i of word w for sample 64·w + i.
class Extraction {
 public:
  Extraction(const GridSamples& g, float iso, const CellCases& cases, const IsosurfaceOptions& o)
      : v(g.values), nx(g.dim[0]), ny(g.dim[1]), nz(g.dim[2]), iso(iso), g(g), cases(cases), opt(o) {
    W = (nx + 63) / 64;
    D = cases.ndirs;
    rows = std::size_t(ny) * nz;
    // Every slot of these is written by the pass that fills it.
    bits.resize(rows * W);
    cum.resize(rows * D * W);
    rowState.resize(rows);
    rowVerts.resize(rows + 1);
    rowTris.resize(rows + 1);
    // valid[dx]: the bits of samples i with i + dx < nx.
    valid.assign(2 * std::size_t(W), 0);
    for (int dx = 0; dx < 2; ++dx)
      for (int w = 0; w < W; ++w) {
        const int n = std::min(64, nx - dx - 64 * w);
        valid[dx * W + w] = n >= 64 ? ~std::uint64_t(0) : n <= 0 ? 0 : (std::uint64_t(1) << n) - 1;
      }
  }

  bool run(Isosurface& out, ctree::Report& report) {
    const int T = opt.threads;
    for_items(T, nz, [this](int k) { mark(k); });
    for_items(T, nz, [this](int k) { count(k); });
    // Places: every row's first vertex and first triangle.
    std::uint64_t nv = 0, nt = 0;
    for (std::size_t r = 0; r < rows; ++r) {
      const std::uint32_t cv = rowVerts[r], ct = rowTris[r];
      rowVerts[r] = std::uint32_t(nv);
      rowTris[r] = std::uint32_t(nt);
      nv += cv;
      nt += ct;
      if (nv > 0x7fffffffu || nt > 0x7fffffffu)
        return report.fail("the isosurface at " + std::to_string(iso) + " of the " + std::to_string(nx) + " x " +
                           std::to_string(ny) + " x " + std::to_string(nz) +
                           " grid needs more than 2^31 - 1 vertices or triangles");
    }
    rowVerts[rows] = std::uint32_t(nv);
    rowTris[rows] = std::uint32_t(nt);
    out.vertices.resize(3 * nv);
    out.normals.resize(opt.normals ? 3 * nv : 0);
    out.colours.resize(opt.colour ? nv : 0);
    out.triangles.resize(3 * nt);
    result = &out;
    for_items(T, nz, [this](int k) { generate(k); });
    return true;
  }

 private:
  const std::uint64_t* rowBits(int j, int k) const { return bits.data() + (std::size_t(k) * ny + j) * W; }

  // Word w of a row's bits moved down by dx samples: bit i for sample i + dx.
  std::uint64_t shifted(const std::uint64_t* r, int w, int dx) const {
    if (!dx) return r[w];
    const std::uint64_t next = w + 1 < W ? r[w + 1] : 0;
    return (r[w] >> 1) | (next << 63);
  }

  // Bit i: the edge of direction d from sample (64·w + i, j, k) is crossed.
  std::uint64_t crossed(int d, int j, int k, int w) const {
    const int* s = cases.dirs[d];
    if (j + s[1] >= ny || k + s[2] >= nz) return 0;
    return (rowBits(j, k)[w] ^ shifted(rowBits(j + s[1], k + s[2]), w, s[0])) & valid[std::size_t(s[0]) * W + w];
  }

  // Bit i: cell (64·w + i, j, k) has corners on both sides. Seven edges
  // joining its eight corners suffice.
  std::uint64_t active(int j, int k, int w) const {
    return (crossed(0, j, k, w) | crossed(0, j + 1, k, w) | crossed(0, j, k + 1, w) | crossed(0, j + 1, k + 1, w) |
            crossed(1, j, k, w) | crossed(2, j, k, w) | crossed(2, j + 1, k, w)) &
           valid[std::size_t(W) + w];
  }

  // Bits of samples i and i + 1 of a row.
  unsigned pair(const std::uint64_t* r, int i) const {
    const int w = i >> 6, s = i & 63;
    std::uint64_t x = r[w] >> s;
    if (s == 63 && w + 1 < W) x |= r[w + 1] << 1;
    return unsigned(x & 3);
  }

  unsigned code(int i, int j, int k) const {
    return pair(rowBits(j, k), i) | pair(rowBits(j + 1, k), i) << 2 | pair(rowBits(j, k + 1), i) << 4 |
           pair(rowBits(j + 1, k + 1), i) << 6;
  }

  enum : std::uint8_t { ALL_ABOVE, ALL_BELOW, MIXED };

  void mark(int k) {
#if defined(__SSE2__)
    const __m128 level = _mm_set1_ps(iso);
#endif
    for (int j = 0; j < ny; ++j) {
      const float* f = v + (std::size_t(k) * ny + j) * nx;
      std::uint64_t* r = bits.data() + (std::size_t(k) * ny + j) * W;
      std::uint64_t any = 0, all = ~std::uint64_t(0);
      for (int w = 0; w < W; ++w) {
        const int n = std::min(64, nx - 64 * w);
        const float* p = f + 64 * w;
        std::uint64_t word = 0;
        int b = 0;
#if defined(__SSE2__)
        // Four samples a compare; the same order as p[b] < iso.
        for (; b + 4 <= n; b += 4)
          word |= std::uint64_t(_mm_movemask_ps(_mm_cmplt_ps(_mm_loadu_ps(p + b), level))) << b;
#endif
        for (; b < n; ++b) word |= std::uint64_t(p[b] < iso) << b;
        r[w] = word;
        any |= word;
        all &= word | ~valid[w];
      }
      rowState[std::size_t(k) * ny + j] = !any ? ALL_ABOVE : all == ~std::uint64_t(0) ? ALL_BELOW : MIXED;
    }
  }

  // True when the rows (j, k) .. (j + 1, k + 1) that exist lie wholly on one
  // side: no edge a row owns is crossed and no cell of the row is cut.
  bool quiet(int j, int k) const {
    const std::uint8_t* st = rowState.data();
    const std::size_t r = std::size_t(k) * ny + j;
    const std::uint8_t s0 = st[r];
    if (s0 == MIXED) return false;
    if (j + 1 < ny && st[r + 1] != s0) return false;
    if (k + 1 < nz && st[r + ny] != s0) return false;
    if (j + 1 < ny && k + 1 < nz && st[r + ny + 1] != s0) return false;
    return true;
  }

  void count(int k) {
    const unsigned char* ntri = cases.ntriangles;
    for (int j = 0; j < ny; ++j) {
      const std::size_t r = std::size_t(k) * ny + j;
      if (quiet(j, k)) {
        // Its counts stay unread: nothing refers to a row without vertices.
        rowVerts[r] = rowTris[r] = 0;
        continue;
      }
      std::uint32_t running = 0;
      std::uint32_t* c = cum.data() + r * D * W;
      for (int d = 0; d < D; ++d)
        for (int w = 0; w < W; ++w) {
          *c++ = running;
          running += std::uint32_t(popcount(crossed(d, j, k, w)));
        }
      rowVerts[r] = running;
      rowTris[r] = 0;
      if (j + 1 >= ny || k + 1 >= nz) continue;
      std::uint32_t tris = 0;
      for (int w = 0; w < W; ++w)
        for (std::uint64_t a = active(j, k, w); a; a &= a - 1) tris += ntri[code(64 * w + lowest_bit(a), j, k)];
      rowTris[r] = tris;
    }
  }

  // Index of the vertex on cell edge e of cell (i, j, k).
  std::int32_t vertexOf(int e, int i, int j, int k) const {
    const CellEdgeRef& ref = cases.edges[e];
    const int p = i + ref.offset[0], jj = j + ref.offset[1], kk = k + ref.offset[2];
    const int w = p >> 6, s = p & 63;
    const std::uint64_t m = crossed(ref.dir, jj, kk, w);
    assert(m >> s & 1);
    const std::size_t r = std::size_t(kk) * ny + jj;
    return std::int32_t(rowVerts[r] + cum[(r * D + ref.dir) * W + w] + popcount(m & ((std::uint64_t(1) << s) - 1)));
  }

  // Central differences inside, one-sided at the border, in index units.
  void gradient(int i, int j, int k, float gr[3]) const {
    const int at[3] = {i, j, k}, dim[3] = {nx, ny, nz};
    const std::size_t stride[3] = {1, std::size_t(nx), std::size_t(nx) * ny};
    const std::size_t here = (std::size_t(k) * ny + j) * nx + i;
    for (int a = 0; a < 3; ++a) {
      if (at[a] == 0)
        gr[a] = v[here + stride[a]] - v[here];
      else if (at[a] == dim[a] - 1)
        gr[a] = v[here] - v[here - stride[a]];
      else
        gr[a] = 0.5f * (v[here + stride[a]] - v[here - stride[a]]);
    }
  }

  // The vertex on the crossed edge of direction d from sample (i, j, k).
  // The arithmetic is that of contour propagation, step for step, so the
  // two agree to the bit.
  void vertex(std::int32_t id, int d, int i, int j, int k) const {
    const int* s = cases.dirs[d];
    const std::size_t a = (std::size_t(k) * ny + j) * nx + i;
    const std::size_t b = a + s[0] + std::size_t(s[1]) * nx + std::size_t(s[2]) * nx * ny;
    const float fa = v[a], fb = v[b];
    const float t = (iso - fa) / (fb - fa);
    const int at[3] = {i, j, k};
    float* p = result->vertices.data() + 3 * std::size_t(id);
    for (int x = 0; x < 3; ++x) p[x] = g.origin[x] + g.span[x] * (float(at[x]) + (s[x] ? t : 0.0f));
    if (opt.normals) {
      float ga[3], gb[3], n[3];
      gradient(i, j, k, ga);
      gradient(i + s[0], j + s[1], k + s[2], gb);
      for (int x = 0; x < 3; ++x) n[x] = -((1 - t) * ga[x] + t * gb[x]);
      float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      if (len > 0) {
        for (float& x : n) x /= len;
      } else {
        // Flat gradient at both ends: along the edge towards the lower end.
        const float sign = fa < fb ? -1.0f : 1.0f;
        const float unit = 1.0f / std::sqrt(float(s[0] + s[1] + s[2]));
        for (int x = 0; x < 3; ++x) n[x] = s[x] ? sign * unit : 0.0f;
      }
      float* q = result->normals.data() + 3 * std::size_t(id);
      for (int x = 0; x < 3; ++x) q[x] = n[x];
    }
    if (opt.colour) result->colours[std::size_t(id)] = (1 - t) * opt.colour[a] + t * opt.colour[b];
  }

  void generate(int k) {
    for (int j = 0; j < ny; ++j) {
      const std::size_t r = std::size_t(k) * ny + j;
      const std::uint32_t* c = cum.data() + r * D * W;
      if (rowVerts[r + 1] != rowVerts[r])
        for (int d = 0; d < D; ++d)
          for (int w = 0; w < W; ++w, ++c) {
            std::int32_t id = std::int32_t(rowVerts[r] + *c);
            for (std::uint64_t m = crossed(d, j, k, w); m; m &= m - 1) vertex(id++, d, 64 * w + lowest_bit(m), j, k);
          }
      if (j + 1 >= ny || k + 1 >= nz || rowTris[r + 1] == rowTris[r]) continue;
      std::int32_t* out = result->triangles.data() + 3 * std::size_t(rowTris[r]);
      for (int w = 0; w < W; ++w)
        for (std::uint64_t a = active(j, k, w); a; a &= a - 1) {
          const int i = 64 * w + lowest_bit(a);
          const unsigned cc = code(i, j, k);
          const int n = 3 * cases.ntriangles[cc];
          const std::uint8_t* e = cases.triangles[cc];
          std::int32_t at[CELL_MAX_EDGES];
          for (int m = 0; m < n; ++m) at[e[m]] = -1;
          for (int m = 0; m < n; ++m) {
            if (at[e[m]] < 0) at[e[m]] = vertexOf(e[m], i, j, k);
            *out++ = at[e[m]];
          }
        }
      assert(out == result->triangles.data() + 3 * std::size_t(rowTris[r + 1]));
    }
  }

  const float* v;
  int nx, ny, nz;
  float iso;
  const GridSamples& g;
  const CellCases& cases;
  const IsosurfaceOptions& opt;
  int W = 0, D = 0;
  std::size_t rows = 0;
  LargeArray<std::uint64_t> bits;      // rows · W below-bits
  std::vector<std::uint64_t> valid;    // 2 · W
  LargeArray<std::uint32_t> cum;       // rows · D · W: crossed edges of the row before the word
  LargeArray<std::uint8_t> rowState;   // per row: ALL_ABOVE, ALL_BELOW or MIXED
  LargeArray<std::uint32_t> rowVerts;  // per row: its count, then its first vertex
  LargeArray<std::uint32_t> rowTris;   // per row of cells: its count, then its first triangle
  Isosurface* result = nullptr;
};

}  // namespace

bool grid_isosurface(const GridSamples& grid, float isovalue, CellSplit split, const IsosurfaceOptions& options,
                     Isosurface& out, ctree::Report& report) {
  out.vertices.clear();
  out.normals.clear();
  out.colours.clear();
  out.triangles.clear();
  if (!grid.values) return report.fail("isosurface: the grid has no samples");
  long long n = 1;
  for (int a = 0; a < 3; ++a) {
    if (grid.dim[a] < 2)
      return report.fail("isosurface: grid dimension " + std::to_string(grid.dim[a]) + " along axis " + "xyz"[a] +
                         "; need at least 2");
    n *= grid.dim[a];
    if (n > 0x7fffffffLL)
      return report.fail("isosurface: a grid of " + std::to_string(grid.dim[0]) + " x " + std::to_string(grid.dim[1]) +
                         " x " + std::to_string(grid.dim[2]) + " samples is too large (2^31 - 1 at most)");
  }
  Extraction e(grid, isovalue, split == CellSplit::cubes ? cube_cell_cases() : tetra_cell_cases(), options);
  if (!e.run(out, report)) {
    out.vertices.clear();
    out.normals.clear();
    out.colours.clear();
    out.triangles.clear();
    return false;
  }
  return true;
}

bool grid_isosurface(const ctree::ScalarField3DGrid& field, float isovalue, CellSplit split,
                     const IsosurfaceOptions& options, Isosurface& out, ctree::Report& report) {
  GridSamples g;
  for (int a = 0; a < 3; ++a) {
    if (field.dim[a] > 0x7fffffff) return report.fail("isosurface: the grid field is too large");
    g.dim[a] = int(field.dim[a]);
    g.origin[a] = float(field.origin[a]);
    g.span[a] = float(field.spacing[a]);
  }
  if (field.values.size() != std::size_t(field.dim[0]) * field.dim[1] * field.dim[2])
    return report.fail("isosurface: the grid field holds " + std::to_string(field.values.size()) + " values for its " +
                       std::to_string(field.dim[0]) + " x " + std::to_string(field.dim[1]) + " x " +
                       std::to_string(field.dim[2]) + " samples");
  std::vector<float> values(field.values.begin(), field.values.end());
  g.values = values.data();
  return grid_isosurface(g, isovalue, split, options, out, report);
}

}  // namespace contour
