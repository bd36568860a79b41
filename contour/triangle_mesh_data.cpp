#include "contour/triangle_mesh_data.h"

#include <algorithm>
#include <cmath>

#include "contour/codes.h"
#include "contour/signature_integrals.h"

namespace contour {

std::shared_ptr<TriangleMesh> make_triangle_mesh(int nverts, int ncells, const double* verts, const unsigned* cells,
                                                 const int* celladj, ctree::MessageSink& messages) {
  auto m = std::make_shared<TriangleMesh>();
  m->verts.assign(verts, verts + 2 * size_t(nverts));
  m->cells.assign(cells, cells + 3 * size_t(ncells));
  if (celladj)
    m->adj.assign(celladj, celladj + 3 * size_t(ncells));
  else
    m->adj.assign(3 * size_t(ncells), -1);

  messages.status("computing extent");
  float mn[3] = {1e38f, 1e38f, 0}, mx[3] = {-1e38f, -1e38f, 0};
  for (int v = 0; v < nverts; ++v)
    for (int d = 0; d < 2; ++d) {
      mn[d] = std::min(mn[d], float(verts[2 * size_t(v) + d]));
      mx[d] = std::max(mx[d], float(verts[2 * size_t(v) + d]));
    }
  if (nverts == 0) mn[0] = mn[1] = mx[0] = mx[1] = 0;
  std::copy(mn, mn + 3, m->extentMin);
  std::copy(mx, mx + 3, m->extentMax);
  messages.status(ctree::format_message("  min = %f %f %f  max = %f %f %f", mn[0], mn[1], mn[2], mx[0], mx[1], mx[2]));
  messages.status(ctree::format_message("%d verts, %d cells", nverts, ncells));
  messages.status("processing cells");
  const unsigned* c = m->cells.data();
  for (int i = 0; i < ncells; ++i)
    for (int e = 0; e < 3; ++e) {
      int a = m->adj[3 * size_t(i) + e];
      if (a < 0) continue;
      int shared = 0;
      for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 3; ++q) shared += c[3 * size_t(i) + p] == c[3 * size_t(a) + q];
      if (shared != 2)
        messages.status(ctree::format_message("cell %d (%u %u %u) not adj to %d (%u %u %u)", i, c[3 * i], c[3 * i + 1],
                                              c[3 * i + 2], a, c[3 * a], c[3 * a + 1], c[3 * a + 2]));
    }
  return m;
}

Dataslc::Dataslc(int type_, int nvars_, std::shared_ptr<const TriangleMesh> mesh_, const unsigned char* block)
    : Data(type_, int(mesh_->verts.size() / 2), int(mesh_->cells.size() / 3), nvars_, block), mesh(std::move(mesh_)) {
  normals.assign(3 * size_t(nverts), 0.0f);
  const float* f = contourValues();
  for (int c = 0; c < ncells; ++c) {
    int v[3];
    double p[3][3];
    for (int k = 0; k < 3; ++k) {
      v[k] = getCellVert(c, k);
      p[k][0] = getVert(v[k])[0];
      p[k][1] = getVert(v[k])[1];
      p[k][2] = f[v[k]];
    }
    double a[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    double b[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    for (int k = 0; k < 3; ++k)
      for (int d = 0; d < 3; ++d) normals[3 * size_t(v[k]) + d] += float(n[d]);
  }
  for (int v = 0; v < nverts; ++v) {
    float* n = &normals[3 * size_t(v)];
    float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len > 0)
      for (int d = 0; d < 3; ++d) n[d] /= len;
  }
}

void Dataslc::getCellRange(int cell, float& mn, float& mx) const {
  const float* f = contourValues();
  const unsigned* c = &mesh->cells[3 * size_t(cell)];
  mn = std::min({f[c[0]], f[c[1]], f[c[2]]});
  mx = std::max({f[c[0]], f[c[1]], f[c[2]]});
}

void Dataslc::getFaceRange(int cell, int face, float& mn, float& mx) const {
  const float* f = contourValues();
  const unsigned* c = &mesh->cells[3 * size_t(cell)];
  float a = f[c[face]], b = f[c[(face + 1) % 3]];
  mn = std::min(a, b);
  mx = std::max(a, b);
}

const char* Dataslc::fName(int fn) const {
  static const char* names[4] = {"Length", "Min Area", "Max Area", "Gradient"};
  return fn >= 0 && fn < 4 ? names[fn] : nullptr;
}

bool Dataslc::compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) {
  fx.clear();
  fy.clear();
  if (fn < 0 || fn > 3) return false;
  SignatureSampler s(getMin(), getMax(), nsamples);
  std::vector<double> acc(s.n, 0.0), whole(s.n, 0.0);
  const float* vals = contourValues();
  for (int c = 0; c < ncells; ++c) {
    double p[3][2], f[3];
    for (int k = 0; k < 3; ++k) {
      int v = getCellVert(c, k);
      p[k][0] = getVert(v)[0];
      p[k][1] = getVert(v)[1];
      f[k] = vals[v];
    }
    TriangleProfile t = triangle_profile(p, f);
    if (fn == 0)
      triSurfIntegral(t, 1.0, s, acc);
    else if (fn == 3)
      triSurfIntegral(t, triangle_gradient(p, f), s, acc);
    else
      triVolIntegral(t, s, acc, whole);
  }
  fx = s.fx;
  fy = s.cumulate(acc, whole);
  if (fn == 2) {
    float total = fy[s.n - 1];
    for (float& y : fy) y = total - y;
  }
  return true;
}

Datasetslc::Datasetslc(int type_, int nvars_, int ntime_, std::shared_ptr<const TriangleMesh> mesh,
                       const unsigned char* data_)
    : Dataset(CONTOUR_2D, type_, ntime_, nvars_) {
  const size_t step = mesh->verts.size() / 2 * size_t(nvars_) * type_size(type_);
  for (int t = 0; t < ntime_; ++t) addStep(std::make_unique<Dataslc>(type_, nvars_, mesh, data_ + t * step));
}

}  // namespace contour
