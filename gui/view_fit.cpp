#include "gui/view_fit.h"

#include <algorithm>
#include <cmath>

namespace ctree {

ViewFit fit_box_to_view(const float lo[3], const float hi[3], const float rotation[4][4], const float ortho[6],
                        float margin) {
  ViewFit fit;
  float half[3];
  for (int a = 0; a < 3; ++a) {
    fit.centre[a] = (lo[a] + hi[a]) / 2;
    half[a] = std::fabs(hi[a] - lo[a]) / 2;
  }
  // Half the room of the view along screen x, y and depth (the eye looks
  // down -z: depths -far .. -near), measured from the eye's origin.
  const float room[3] = {std::min(-ortho[0], ortho[1]), std::min(-ortho[2], ortho[3]), std::min(ortho[5], -ortho[4])};
  bool any = false;
  float scale = 0;
  for (int s = 0; s < 3; ++s) {
    // Half the extent of the turned box along screen axis s: each box axis
    // adds its half size times the length of its image on that axis.
    float extent = 0;
    for (int a = 0; a < 3; ++a) extent += std::fabs(rotation[a][s]) * half[a];
    const float free = room[s] * (1 - 2 * margin);
    if (!(extent > 0) || !(free > 0)) continue;
    const float k = free / extent;
    scale = any ? std::min(scale, k) : k;
    any = true;
  }
  if (any && std::isfinite(scale) && scale > 0) fit.scale = scale;
  return fit;
}

}  // namespace ctree

namespace ctree {

ViewFit fit_points_to_view(const float* xyz, size_t n, const float centre[3], float reach, const float rotation[4][4],
                           const float ortho[6], float margin) {
  ViewFit fit;
  std::copy(centre, centre + 3, fit.centre);
  const float room[3] = {std::min(-ortho[0], ortho[1]), std::min(-ortho[2], ortho[3]), std::min(ortho[5], -ortho[4])};
  float half[3] = {0, 0, 0};  // the farthest any point reaches from the centre along each screen axis
  for (size_t i = 0; i < n; ++i) {
    const float d[3] = {xyz[3 * i] - centre[0], xyz[3 * i + 1] - centre[1], xyz[3 * i + 2] - centre[2]};
    for (int s = 0; s < 3; ++s)
      half[s] = std::max(half[s], std::fabs(rotation[0][s] * d[0] + rotation[1][s] * d[1] + rotation[2][s] * d[2]));
  }
  bool any = false;
  float scale = 0;
  for (int s = 0; s < 3; ++s) {
    // A sphere reaches as far along every axis.
    const float extent = half[s] + std::fabs(reach), free = room[s] * (1 - 2 * margin);
    if (!(half[s] > 0) || !(free > 0)) continue;
    const float k = free / extent;
    scale = any ? std::min(scale, k) : k;
    any = true;
  }
  if (any && std::isfinite(scale) && scale > 0) fit.scale = scale;
  return fit;
}

void drawn_box(const TBox& b, const float scale[3], float reach, float lo[3], float hi[3]) {
  const float low[3] = {b.x, b.y, b.z}, size[3] = {b.dx, b.dy, b.dz};
  reach = std::fabs(reach);
  for (int a = 0; a < 3; ++a) {
    // A box stored with a negative size still spans both its corners.
    const float p = low[a] * scale[a], q = (low[a] + size[a]) * scale[a];
    lo[a] = std::min(p, q) - reach;
    hi[a] = std::max(p, q) + reach;
  }
}

}  // namespace ctree
