#pragma once
// Helpers of the contour tests: grids made from functions, and measures of
// extracted surfaces computed here from the raw triangles.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "contour/library.h"

namespace ctest {

// Samples f at the vertices (i, j, k) of an nx x ny x nz grid, x fastest.
inline std::vector<float> sample_grid(int nx, int ny, int nz, const std::function<double(double, double, double)>& f) {
  std::vector<float> v(size_t(nx) * ny * nz);
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) v[(size_t(k) * ny + j) * nx + i] = float(f(i, j, k));
  return v;
}

inline contour::ConDataset* float_grid(const std::vector<float>& v, int nx, int ny, int nz) {
  int dim[3] = {nx, ny, nz};
  return contour::newDatasetReg(2, 5, 1, 1, dim, reinterpret_cast<const unsigned char*>(v.data()));
}

// A triangle soup welded by exact vertex position.
struct Mesh {
  std::vector<std::array<double, 3>> verts;
  std::vector<std::array<int, 3>> tris;
};

inline Mesh weld(const contour::Contour3dData& c) {
  Mesh m;
  std::map<std::array<float, 3>, int> index;
  std::vector<int> remap(c.nvert);
  for (int v = 0; v < c.nvert; ++v) {
    std::array<float, 3> key = {c.vert[v][0], c.vert[v][1], c.vert[v][2]};
    auto it = index.find(key);
    if (it == index.end()) {
      it = index.emplace(key, int(m.verts.size())).first;
      m.verts.push_back({key[0], key[1], key[2]});
    }
    remap[v] = it->second;
  }
  for (int t = 0; t < c.ntri; ++t) m.tris.push_back({remap[c.tri[t][0]], remap[c.tri[t][1]], remap[c.tri[t][2]]});
  return m;
}

inline std::array<double, 3> tri_normal(const Mesh& m, const std::array<int, 3>& t) {
  const auto &a = m.verts[t[0]], &b = m.verts[t[1]], &c = m.verts[t[2]];
  double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  return {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
}

inline double area(const Mesh& m) {
  double s = 0;
  for (auto& t : m.tris) {
    auto n = tri_normal(m, t);
    s += 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  }
  return s;
}

// Volume enclosed by a closed oriented mesh; negative when its triangles
// face inwards.
inline double signed_volume(const Mesh& m) {
  double s = 0;
  for (auto& t : m.tris) {
    const auto &a = m.verts[t[0]], &b = m.verts[t[1]], &c = m.verts[t[2]];
    s += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
  }
  return s / 6;
}

// Every directed side used once and matched by its reverse: a closed,
// consistently oriented surface. Returns a description of the first fault.
inline std::string closure_fault(const Mesh& m) {
  std::map<std::pair<int, int>, int> sides;
  for (auto& t : m.tris)
    for (int k = 0; k < 3; ++k) ++sides[{t[k], t[(k + 1) % 3]}];
  for (auto& [s, n] : sides) {
    const std::string side = "side " + std::to_string(s.first) + "-" + std::to_string(s.second);
    if (n != 1) return side + " used " + std::to_string(n) + " times";
    if (!sides.count({s.second, s.first})) return side + " has no partner";
  }
  return "";
}

inline int euler_characteristic(const Mesh& m) {
  std::map<std::pair<int, int>, int> edges;
  for (auto& t : m.tris)
    for (int k = 0; k < 3; ++k) {
      int a = t[k], b = t[(k + 1) % 3];
      edges[{std::min(a, b), std::max(a, b)}]++;
    }
  return int(m.verts.size()) - int(edges.size()) + int(m.tris.size());
}

// Runs body with standard output silenced (the library reports each step).
template <class F>
auto quiet(F body) {
  testing::internal::CaptureStdout();
  auto r = body();
  testing::internal::GetCapturedStdout();
  return r;
}

}  // namespace ctest
