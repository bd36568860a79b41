#include "contour/grid2_data.h"

#include <algorithm>

#include "contour/codes.h"
#include "contour/signature_integrals.h"

namespace contour {

namespace {
const int quad_corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
const int quad_step[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
}  // namespace

Datareg2::Datareg2(int type_, int nvars_, const int d[2], const unsigned char* block, const float origin[2],
                   const float sp[2])
    : Data(type_, d[0] * d[1], (d[0] - 1) * (d[1] - 1), nvars_, block) {
  for (int a = 0; a < 2; ++a) {
    dim[a] = d[a];
    if (origin) orig[a] = origin[a];
    if (sp) span[a] = sp[a];
  }
}

int Datareg2::getCellVert(int cell, int k) const {
  int i = cell % (dim[0] - 1), j = cell / (dim[0] - 1);
  return (j + quad_corner[k][1]) * dim[0] + i + quad_corner[k][0];
}

void Datareg2::getCellRange(int cell, float& mn, float& mx) const {
  const float* f = contourValues();
  mn = 1e38f;
  mx = -1e38f;
  for (int k = 0; k < 4; ++k) {
    float v = f[getCellVert(cell, k)];
    mn = std::min(mn, v);
    mx = std::max(mx, v);
  }
}

void Datareg2::getFaceRange(int cell, int face, float& mn, float& mx) const {
  const float* f = contourValues();
  float a = f[getCellVert(cell, face)], b = f[getCellVert(cell, (face + 1) % 4)];
  mn = std::min(a, b);
  mx = std::max(a, b);
}

int Datareg2::getCellAdj(int cell, int face) const {
  int i = cell % (dim[0] - 1) + quad_step[face][0], j = cell / (dim[0] - 1) + quad_step[face][1];
  if (i < 0 || j < 0 || i > dim[0] - 2 || j > dim[1] - 2) return -1;
  return j * (dim[0] - 1) + i;
}

const char* Datareg2::fName(int fn) const {
  static const char* names[4] = {"Length", "Min Area", "Max Area", "Gradient"};
  return fn >= 0 && fn < 4 ? names[fn] : nullptr;
}

bool Datareg2::compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) {
  fx.clear();
  fy.clear();
  if (fn < 0 || fn > 3) return false;
  static const int halves[2][3] = {{0, 1, 2}, {0, 2, 3}};
  SignatureSampler s(getMin(), getMax(), nsamples);
  std::vector<double> acc(s.n, 0.0), whole(s.n, 0.0);
  const float* vals = contourValues();
  for (int c = 0; c < ncells; ++c) {
    int i = c % (dim[0] - 1), j = c / (dim[0] - 1);
    for (const int* h : halves) {
      double p[3][2], f[3];
      for (int m = 0; m < 3; ++m) {
        getPos(i + quad_corner[h[m]][0], j + quad_corner[h[m]][1], p[m]);
        f[m] = vals[getCellVert(c, h[m])];
      }
      TriangleProfile t = triangle_profile(p, f);
      if (fn == 0)
        triSurfIntegral(t, 1.0, s, acc);
      else if (fn == 3)
        triSurfIntegral(t, triangle_gradient(p, f), s, acc);
      else
        triVolIntegral(t, s, acc, whole);
    }
  }
  fx = s.fx;
  fy = s.cumulate(acc, whole);
  if (fn == 2) {
    float total = fy[s.n - 1];
    for (float& y : fy) y = total - y;
  }
  return true;
}

Datasetreg2::Datasetreg2(int type_, int nvars_, int ntime_, const int dim[2], const unsigned char* data_,
                         const float origin[2], const float span[2])
    : Dataset(CONTOUR_REG_2D, type_, ntime_, nvars_) {
  const size_t step = size_t(dim[0]) * dim[1] * size_t(nvars_) * type_size(type_);
  for (int t = 0; t < ntime_; ++t)
    addStep(std::make_unique<Datareg2>(type_, nvars_, dim, data_ + t * step, origin, span));
}

}  // namespace contour
