#include "contour/tetrahedral_mesh_data.h"

#include <algorithm>

#include "contour/codes.h"
#include "contour/signature_integrals.h"

namespace contour {

Datavol::Datavol(int type_, int nvars_, std::shared_ptr<const TetMesh> mesh_, const unsigned char* block)
    : Data(type_, int(mesh_->verts.size() / 3), int(mesh_->cells.size() / 4), nvars_, block), mesh(std::move(mesh_)) {}

void Datavol::getCellRange(int cell, float& mn, float& mx) const {
  const float* f = contourValues();
  mn = 1e38f;
  mx = -1e38f;
  for (int k = 0; k < 4; ++k) {
    float v = f[getCellVert(cell, k)];
    mn = std::min(mn, v);
    mx = std::max(mx, v);
  }
}

void Datavol::getFaceRange(int cell, int face, float& mn, float& mx) const {
  const float* f = contourValues();
  mn = 1e38f;
  mx = -1e38f;
  for (int k = 0; k < 4; ++k) {
    if (k == face) continue;
    float v = f[getCellVert(cell, k)];
    mn = std::min(mn, v);
    mx = std::max(mx, v);
  }
}

const char* Datavol::fName(int fn) const {
  static const char* names[4] = {"Surface Area", "Gradient", "Min Volume", "Max Volume"};
  return fn >= 0 && fn < 4 ? names[fn] : nullptr;
}

bool Datavol::compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) {
  fx.clear();
  fy.clear();
  if (fn < 0 || fn > 3) return false;
  SignatureSampler s(getMin(), getMax(), nsamples);
  std::vector<double> acc(s.n, 0.0), whole(s.n, 0.0);
  const float* vals = contourValues();
  for (int c = 0; c < ncells; ++c) {
    double p[4][3], f[4];
    for (int k = 0; k < 4; ++k) {
      int v = getCellVert(c, k);
      for (int a = 0; a < 3; ++a) p[k][a] = getVert(v)[a];
      f[k] = vals[v];
    }
    TetProfile t = tet_profile(p, f);
    if (fn == 0)
      tetSurfIntegral(t, 1.0, s, acc);
    else if (fn == 1)
      tetSurfIntegral(t, t.grad, s, acc);
    else
      tetVolIntegral(t, s, acc, whole);
  }
  fx = s.fx;
  fy = s.cumulate(acc, whole);
  if (fn == 3) {
    float total = fy[s.n - 1];
    for (float& y : fy) y = total - y;
  }
  return true;
}

Datasetvol::Datasetvol(int type_, int nvars_, int ntime_, std::shared_ptr<const TetMesh> mesh,
                       const unsigned char* data_)
    : Dataset(CONTOUR_3D, type_, ntime_, nvars_) {
  const size_t step = mesh->verts.size() / 3 * size_t(nvars_) * type_size(type_);
  for (int t = 0; t < ntime_; ++t) addStep(std::make_unique<Datavol>(type_, nvars_, mesh, data_ + t * step));
}

}  // namespace contour
