#include "gui/trackball.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace ctree {

static const float TRACKBALLSIZE = 0.8f;

void vzero(float* v) { v[0] = v[1] = v[2] = 0; }
void vset(float* v, float x, float y, float z) {
  v[0] = x;
  v[1] = y;
  v[2] = z;
}
void vsub(const float* a, const float* b, float* out) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] - b[i];
}
void vadd(const float* a, const float* b, float* out) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] + b[i];
}
void vcopy(const float* a, float* out) {
  for (int i = 0; i < 3; ++i) out[i] = a[i];
}
void vcross(const float* a, const float* b, float* out) {
  float t[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  vcopy(t, out);
}
float vlength(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }
void vscale(float* v, float s) {
  for (int i = 0; i < 3; ++i) v[i] *= s;
}
void vnormal(float* v) { vscale(v, 1.0f / vlength(v)); }
float vdot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Height of a window point on the trackball: sphere inside, hyperbola outside.
static float project_to_sphere(float r, float x, float y) {
  const float d = std::sqrt(x * x + y * y);
  if (d < r * 0.70710678118654752440f) return std::sqrt(r * r - d * d);
  const float t = r / 1.41421356237309504880f;
  return t * t / d;
}

void trackball(float* q, float p1x, float p1y, float p2x, float p2y) {
  if (p1x == p2x && p1y == p2y) {
    vzero(q);
    q[3] = 1;
    return;
  }
  float p1[3] = {p1x, p1y, project_to_sphere(TRACKBALLSIZE, p1x, p1y)};
  float p2[3] = {p2x, p2y, project_to_sphere(TRACKBALLSIZE, p2x, p2y)};
  float a[3], d[3];
  vcross(p2, p1, a);
  vsub(p1, p2, d);
  float t = vlength(d) / (2.0f * TRACKBALLSIZE);
  if (t > 1) t = 1;
  if (t < -1) t = -1;
  axis_to_quat(a, 2.0f * std::asin(t), q);
}

void axis_to_quat(float* a, float phi, float* q) {
  vnormal(a);
  vcopy(a, q);
  vscale(q, std::sin(phi / 2));
  q[3] = std::cos(phi / 2);
}

void quat_mult(const float* a, const float* b, float* dest) {
  const float x = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
  const float y = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
  const float z = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
  const float w = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
  dest[0] = x;
  dest[1] = y;
  dest[2] = z;
  dest[3] = w;
}

void add_quats(const float* q1, const float* q2, float* dest) {
  static int count = 0;
  float t1[3], t2[3], t3[3], tf[4];
  vcopy(q1, t1);
  vscale(t1, q2[3]);
  vcopy(q2, t2);
  vscale(t2, q1[3]);
  vcross(q2, q1, t3);
  vadd(t1, t2, tf);
  vadd(t3, tf, tf);
  tf[3] = q1[3] * q2[3] - vdot(q1, q2);
  std::memcpy(dest, tf, sizeof tf);
  if (++count > 97) {
    count = 0;
    const float mag = std::sqrt(dest[0] * dest[0] + dest[1] * dest[1] + dest[2] * dest[2] + dest[3] * dest[3]);
    for (int i = 0; i < 4; ++i) dest[i] /= mag;
  }
}

void build_rotmatrix(float m[4][4], const float* q) {
  const float x = q[0], y = q[1], z = q[2], w = q[3];
  const float r[4][4] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (z * x + y * w), 0},
                         {2 * (x * y + z * w), 1 - 2 * (z * z + x * x), 2 * (y * z - x * w), 0},
                         {2 * (z * x - y * w), 2 * (y * z + x * w), 1 - 2 * (y * y + x * x), 0},
                         {0, 0, 0, 1}};
  matcopy(m, r);
}

void matident(float m[4][4]) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0f : 0.0f;
}
void matcopy(float dst[4][4], const float src[4][4]) { std::memcpy(dst, src, sizeof(float) * 16); }
void mattrans(float m[4][4]) {
  float t[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) t[i][j] = m[j][i];
  matcopy(m, t);
}
void matxmat(float out[4][4], const float a[4][4], const float b[4][4]) {
  float t[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      t[i][j] = 0;
      for (int k = 0; k < 4; ++k) t[i][j] += a[i][k] * b[k][j];
    }
  matcopy(out, t);
}
void matmult(const float* v, float* out, const float m[4][4]) {
  float t[3];
  for (int i = 0; i < 3; ++i) t[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
  vcopy(t, out);
}
bool matinvert(float m[4][4]) {
  const double det = double(m[0][0]) * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     double(m[0][1]) * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     double(m[0][2]) * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (det == 0) return false;
  float a[3][3];
  a[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
  a[0][1] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
  a[0][2] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
  a[1][0] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
  a[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
  a[1][2] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
  a[2][0] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
  a[2][1] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
  a[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i][j] = float(a[i][j] / det);
  return true;
}

// Determinant of the 3×3 minor of m without row r and column c.
static double minor3(const float m[4][4], int r, int c) {
  int rows[3], cols[3];
  for (int i = 0, k = 0; i < 4; ++i)
    if (i != r) rows[k++] = i;
  for (int j = 0, k = 0; j < 4; ++j)
    if (j != c) cols[k++] = j;
  auto e = [&](int i, int j) { return double(m[rows[i]][cols[j]]); };
  return e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) - e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
         e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
}

double matadjoint(float out[4][4], const float m[4][4]) {
  float t[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) t[j][i] = float(((i + j) % 2 ? -1 : 1) * minor3(m, i, j));
  double det = 0;
  for (int j = 0; j < 4; ++j) det += double(m[0][j]) * t[j][0];
  matcopy(out, t);
  return det;
}

void matinv4x4(float m[4][4]) {
  float t[4][4];
  const double d = matadjoint(t, m);
  if (d == 0) return;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] = float(t[i][j] / d);
}

void matprint(const float m[4][4], const char* name, MessageSink& messages) {
  if (name) messages.status(std::string("Matrix:") + name);
  for (int i = 0; i < 4; ++i)
    messages.status(format_message("%6.3f %6.3f %6.3f %6.3f", m[0][i], m[1][i], m[2][i], m[3][i]));
}

}  // namespace ctree
