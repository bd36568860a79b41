#include "gui/clip_plane.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace ctree {

namespace {

void centre_of(const TBox& b, double c[3]) {
  c[0] = b.x + b.dx / 2.0, c[1] = b.y + b.dy / 2.0, c[2] = b.z + b.dz / 2.0;
}

double diagonal(const TBox& b) { return std::sqrt(double(b.dx) * b.dx + double(b.dy) * b.dy + double(b.dz) * b.dz); }

void normalise(float n[3]) {
  const double l = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
  if (!(l > 0)) {
    n[0] = 0, n[1] = 0, n[2] = 1;
    return;
  }
  for (int a = 0; a < 3; ++a) n[a] = float(n[a] / l);
}

}  // namespace

ClipPlane clip_plane_facing_viewer(const float rotation[4][4]) {
  // OpenGL reads the stored rows as columns: the eye's +z axis seen from
  // the model is the stored matrix's third column.
  ClipPlane p;
  p.on = 1;
  for (int a = 0; a < 3; ++a) p.normal[a] = rotation[a][2];
  normalise(p.normal);
  return p;
}

void clip_plane_equation(const ClipPlane& p, const TBox& box, double e[4]) {
  double c[3];
  centre_of(box, c);
  // dot(n, x - c) <= offset  <=>  -n·x + n·c + offset >= 0
  e[3] = p.offset;
  for (int a = 0; a < 3; ++a) {
    e[a] = -double(p.normal[a]);
    e[3] += double(p.normal[a]) * c[a];
  }
}

void move_clip_plane(ClipPlane& p, const TBox& box, int steps) {
  const double d = diagonal(box), half = d / 2;
  const double offset = double(p.offset) + steps * d / 50;
  p.offset = float(std::clamp(offset, -half, half));
}

void turn_clip_plane(ClipPlane& p, const float axis[3], float angle) {
  // Rodrigues: v cos + (k × v) sin + k (k·v)(1 − cos).
  float k[3] = {axis[0], axis[1], axis[2]};
  normalise(k);
  const double c = std::cos(double(angle)), s = std::sin(double(angle));
  const double v[3] = {p.normal[0], p.normal[1], p.normal[2]};
  const double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
  const double cross[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
  for (int a = 0; a < 3; ++a) p.normal[a] = float(v[a] * c + cross[a] * s + k[a] * kv * (1 - c));
  normalise(p.normal);
}

std::vector<float> clip_plane_outline(const ClipPlane& p, const TBox& box) {
  const double lo[3] = {box.x, box.y, box.z},
               hi[3] = {box.x + double(box.dx), box.y + double(box.dy), box.z + double(box.dz)};
  double c[3];
  centre_of(box, c);
  const double n[3] = {p.normal[0], p.normal[1], p.normal[2]};
  // Signed distance of a point from the plane.
  auto side = [&](const double q[3]) {
    return n[0] * (q[0] - c[0]) + n[1] * (q[1] - c[1]) + n[2] * (q[2] - c[2]) - p.offset;
  };
  const double eps = 1e-6 * std::max(diagonal(box), 1e-30);
  std::vector<double> pts;  // x, y, z per corner found
  auto add = [&](const double q[3]) {
    for (size_t i = 0; i < pts.size(); i += 3)
      if (std::fabs(pts[i] - q[0]) <= eps && std::fabs(pts[i + 1] - q[1]) <= eps && std::fabs(pts[i + 2] - q[2]) <= eps)
        return;
    pts.insert(pts.end(), q, q + 3);
  };
  // The twelve edges: along axis a, the other two axes at either end.
  for (int a = 0; a < 3; ++a) {
    const int b = (a + 1) % 3, d = (a + 2) % 3;
    for (int m = 0; m < 4; ++m) {
      double q0[3], q1[3];
      q0[b] = q1[b] = (m & 1) ? hi[b] : lo[b];
      q0[d] = q1[d] = (m & 2) ? hi[d] : lo[d];
      q0[a] = lo[a], q1[a] = hi[a];
      const double s0 = side(q0), s1 = side(q1);
      if (std::fabs(s0) <= eps) add(q0);
      if (std::fabs(s1) <= eps) add(q1);
      if ((s0 < -eps && s1 > eps) || (s0 > eps && s1 < -eps)) {
        double q[3] = {q0[0], q0[1], q0[2]};
        q[a] = q0[a] + (q1[a] - q0[a]) * (s0 / (s0 - s1));
        add(q);
      }
    }
  }
  const size_t k = pts.size() / 3;
  if (k < 3) return {};
  assert(k <= 6);
  // Order the corners by their angle about their mean, in the plane.
  double mean[3] = {0, 0, 0};
  for (size_t i = 0; i < k; ++i)
    for (int a = 0; a < 3; ++a) mean[a] += pts[3 * i + a] / double(k);
  // Two unit vectors u, w spanning the plane.
  const int least = std::fabs(n[0]) <= std::fabs(n[1]) && std::fabs(n[0]) <= std::fabs(n[2]) ? 0
                    : std::fabs(n[1]) <= std::fabs(n[2])                                     ? 1
                                                                                             : 2;
  double e[3] = {0, 0, 0};
  e[least] = 1;
  double u[3] = {n[1] * e[2] - n[2] * e[1], n[2] * e[0] - n[0] * e[2], n[0] * e[1] - n[1] * e[0]};
  const double ul = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
  for (double& x : u) x /= ul;
  const double w[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
  std::vector<std::pair<double, size_t>> order;
  for (size_t i = 0; i < k; ++i) {
    double r[3];
    for (int a = 0; a < 3; ++a) r[a] = pts[3 * i + a] - mean[a];
    order.emplace_back(std::atan2(r[0] * w[0] + r[1] * w[1] + r[2] * w[2], r[0] * u[0] + r[1] * u[1] + r[2] * u[2]), i);
  }
  std::sort(order.begin(), order.end());
  std::vector<float> out;
  for (const auto& o : order)
    for (int a = 0; a < 3; ++a) out.push_back(float(pts[3 * o.second + a]));
  return out;
}

}  // namespace ctree
