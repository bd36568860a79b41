#include "contour/signature_integrals.h"

#include <algorithm>
#include <cmath>

#include "contour/data.h"

namespace contour {

SignatureSampler::SignatureSampler(float fmin_, float fmax_, int n_)
    : n(std::max(n_, 2)), fmin(fmin_), fmax(fmax_), fx(sample_isovalues(fmin_, fmax_, n_)) {
  scale = fmax > fmin ? (n - 1) / (double(fmax) - double(fmin)) : 0.0;
}

std::vector<float> SignatureSampler::cumulate(const std::vector<double>& partial,
                                              const std::vector<double>& whole) const {
  std::vector<float> fy(n);
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    sum += whole[i];
    fy[i] = float(partial[i] + sum);
  }
  return fy;
}

// ---------------------------------------------------------------- triangles

TriangleProfile triangle_profile(const double p[3][2], const double f[3]) {
  int o[3] = {0, 1, 2};
  std::sort(o, o + 3, [&](int a, int b) { return f[a] < f[b]; });
  TriangleProfile t;
  t.fa = f[o[0]];
  t.fb = f[o[1]];
  t.fc = f[o[2]];
  const double* pa = p[o[0]];
  const double* pb = p[o[1]];
  const double* pc = p[o[2]];
  auto tri_area = [](const double* u, const double* v, const double* w) {
    return 0.5 * std::fabs((v[0] - u[0]) * (w[1] - u[1]) - (w[0] - u[0]) * (v[1] - u[1]));
  };
  t.area = tri_area(pa, pb, pc);
  if (t.fa == t.fc) return t;
  t.flat = false;
  double s = (t.fc - t.fb) / (t.fc - t.fa);
  double q[2] = {s * pa[0] + (1 - s) * pc[0], s * pa[1] + (1 - s) * pc[1]};
  t.lmid = std::hypot(q[0] - pb[0], q[1] - pb[1]);
  t.areaLow = tri_area(pa, pb, q);
  t.areaHigh = t.area - t.areaLow;
  return t;
}

double TriangleProfile::length(double w) const {
  if (flat || w < fa || w > fc) return 0;
  if (w < fb) return lmid * (w - fa) / (fb - fa);
  if (fc > fb) return lmid * (fc - w) / (fc - fb);
  return lmid;  // w == fb == fc
}

double TriangleProfile::below(double w) const {
  if (flat) return w >= fc ? area : 0;
  if (w <= fa) return 0;
  if (w >= fc) return area;
  if (w < fb) {
    double r = (w - fa) / (fb - fa);
    return areaLow * r * r;
  }
  double r = (fc - w) / (fc - fb);
  return area - areaHigh * r * r;
}

double triangle_gradient(const double p[3][2], const double f[3]) {
  double dx1 = p[1][0] - p[0][0], dy1 = p[1][1] - p[0][1], df1 = f[1] - f[0];
  double dx2 = p[2][0] - p[0][0], dy2 = p[2][1] - p[0][1], df2 = f[2] - f[0];
  double a = df1 * dx2 - df2 * dx1;
  double b = dy1 * df2 - df1 * dy2;
  double d = dy2 * dx1 - dx2 * dy1;
  if (d == 0) return 0;  // degenerate triangle
  return std::sqrt(a * a + b * b) / std::fabs(d);
}

void triSurfIntegral(const TriangleProfile& t, double weight, const SignatureSampler& s, std::vector<double>& fy) {
  if (t.flat) return;
  s.addOver(t.fa, t.fc, [&](double w) { return weight * t.length(w); }, fy);
}

void triVolIntegral(const TriangleProfile& t, const SignatureSampler& s, std::vector<double>& partial,
                    std::vector<double>& whole) {
  if (t.flat) {
    s.addWholeAbove(t.fc, t.area, whole);
    return;
  }
  s.addOver(t.fa, t.fc, [&](double w) { return t.below(w); }, partial);
  s.addWhole(t.fc, t.area, whole);
}

// ------------------------------------------------------------- tetrahedra

namespace {
struct V3 {
  double x, y, z;
};
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator*(double s, V3 a) { return {s * a.x, s * a.y, s * a.z}; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(V3 a) { return std::sqrt(dot(a, a)); }
}  // namespace

TetProfile tet_profile(const double pin[4][3], const double fin[4]) {
  // Corners by value: a five-comparison network, ties in corner order.
  int o[4] = {0, 1, 2, 3};
  auto order = [&](int a, int b) {
    if (fin[o[b]] < fin[o[a]]) std::swap(o[a], o[b]);
  };
  order(0, 1);
  order(2, 3);
  order(0, 2);
  order(1, 3);
  order(1, 2);
  TetProfile t;
  V3 p[4];
  for (int k = 0; k < 4; ++k) {
    t.f[k] = fin[o[k]];
    p[k] = {pin[o[k]][0], pin[o[k]][1], pin[o[k]][2]};
  }
  const double* f = t.f;
  V3 e1 = p[1] - p[0], e2 = p[2] - p[0], e3 = p[3] - p[0];
  double det = dot(e1, cross(e2, e3));
  t.volume = std::fabs(det) / 6;
  if (f[0] == f[3] || det == 0) return t;
  t.flat = false;
  V3 g = (1 / det) * ((f[1] - f[0]) * cross(e2, e3) + (f[2] - f[0]) * cross(e3, e1) + (f[3] - f[0]) * cross(e1, e2));
  t.grad = norm(g);

  if (f[0] < f[1]) {
    V3 u = (1 / (f[1] - f[0])) * e1 - (1 / (f[3] - f[0])) * e3;
    V3 v = (1 / (f[2] - f[0])) * e2 - (1 / (f[3] - f[0])) * e3;
    t.c0 = 0.5 * norm(cross(u, v));
  }
  if (f[2] < f[3]) {
    V3 d0 = p[0] - p[3], d1 = p[1] - p[3], d2 = p[2] - p[3];
    V3 u = (1 / (f[3] - f[0])) * d0 - (1 / (f[3] - f[2])) * d2;
    V3 v = (1 / (f[3] - f[1])) * d1 - (1 / (f[3] - f[2])) * d2;
    t.c3 = 0.5 * norm(cross(u, v));
  }
  double A1 = t.c0 * (f[1] - f[0]) * (f[1] - f[0]);
  double A2 = t.c3 * (f[3] - f[2]) * (f[3] - f[2]);
  if (f[1] < f[2]) {
    // The section between f1 and f2 is a quadrilateral over the edges
    // 0-2, 0-3, 1-3, 1-2; its area is quadratic in w, fixed by three values.
    double fm = 0.5 * (f[1] + f[2]);
    auto at = [&](int a, int b) { return p[a] + ((fm - f[a]) / (f[b] - f[a])) * (p[b] - p[a]); };
    V3 q02 = at(0, 2), q03 = at(0, 3), q13 = at(1, 3), q12 = at(1, 2);
    double Am = 0.5 * norm(cross(q13 - q02, q12 - q03));
    double h = f[2] - f[1];
    t.a0 = A1;
    t.a1 = (4 * Am - 3 * A1 - A2) / h;
    t.a2 = 2 * (A1 - 2 * Am + A2) / (h * h);
  }
  t.volumeAtF1 = t.grad > 0 ? t.c0 * (f[1] - f[0]) * (f[1] - f[0]) * (f[1] - f[0]) / (3 * t.grad) : 0;
  return t;
}

TetShape tet_shape(const double pin[4][3]) {
  TetShape sh;
  V3 p[4];
  for (int k = 0; k < 4; ++k) p[k] = {pin[k][0], pin[k][1], pin[k][2]};
  V3 e1 = p[1] - p[0], e2 = p[2] - p[0], e3 = p[3] - p[0];
  double det = dot(e1, cross(e2, e3));
  sh.volume = std::fabs(det) / 6;
  if (det == 0) return sh;
  sh.degenerate = false;
  V3 b[3] = {(1 / det) * cross(e2, e3), (1 / det) * cross(e3, e1), (1 / det) * cross(e1, e2)};
  for (int k = 0; k < 3; ++k) {
    sh.bary[k][0] = b[k].x;
    sh.bary[k][1] = b[k].y;
    sh.bary[k][2] = b[k].z;
  }
  return sh;
}

TetProfile tet_profile(const TetShape& sh, const double fin[4]) {
  TetProfile t;
  t.volume = sh.volume;
  double* f = t.f;
  f[0] = fin[0];
  f[1] = fin[1];
  f[2] = fin[2];
  f[3] = fin[3];
  auto order = [&](int a, int b) {
    if (f[b] < f[a]) std::swap(f[a], f[b]);
  };
  order(0, 1);
  order(2, 3);
  order(0, 2);
  order(1, 3);
  order(1, 2);
  if (f[0] == f[3] || sh.degenerate) return t;
  t.flat = false;
  double g[3];
  for (int a = 0; a < 3; ++a)
    g[a] = (fin[1] - fin[0]) * sh.bary[0][a] + (fin[2] - fin[0]) * sh.bary[1][a] + (fin[3] - fin[0]) * sh.bary[2][a];
  t.grad = std::sqrt(g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
  // Section area = K * N(w) / (f3 - f0) with the normalised quadratic
  // B-spline N over the knots f0..f3.
  const double K = 3 * sh.volume * t.grad;
  const double d30 = f[3] - f[0];
  if (f[0] < f[1]) t.c0 = K / ((f[1] - f[0]) * (f[2] - f[0]) * d30);
  if (f[2] < f[3]) t.c3 = K / (d30 * (f[3] - f[1]) * (f[3] - f[2]));
  double A1 = t.c0 * (f[1] - f[0]) * (f[1] - f[0]);
  double A2 = t.c3 * (f[3] - f[2]) * (f[3] - f[2]);
  if (f[1] < f[2]) {
    const double h = f[2] - f[1], fm = 0.5 * (f[1] + f[2]);
    const double N = (fm - f[0]) * (f[2] - fm) / ((f[2] - f[0]) * h) + (f[3] - fm) * (fm - f[1]) / ((f[3] - f[1]) * h);
    const double Am = K * N / d30;
    t.a0 = A1;
    t.a1 = (4 * Am - 3 * A1 - A2) / h;
    t.a2 = 2 * (A1 - 2 * Am + A2) / (h * h);
  }
  t.volumeAtF1 = t.grad > 0 ? t.c0 * (f[1] - f[0]) * (f[1] - f[0]) * (f[1] - f[0]) / (3 * t.grad) : 0;
  return t;
}

void tetSurfIntegral(const TetProfile& t, double weight, const SignatureSampler& s, std::vector<double>& fy) {
  if (t.flat) return;
  s.addOver(t.f[0], t.f[3], [&](double w) { return weight * t.area(w); }, fy);
}

void tetVolIntegral(const TetProfile& t, const SignatureSampler& s, std::vector<double>& partial,
                    std::vector<double>& whole) {
  if (t.flat) {
    s.addWholeAbove(t.f[3], t.volume, whole);
    return;
  }
  s.addOver(t.f[0], t.f[3], [&](double w) { return t.below(w); }, partial);
  s.addWhole(t.f[3], t.volume, whole);
}

}  // namespace contour
