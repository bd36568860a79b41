#include "fields/extrema.h"

#include <vector>

namespace ctree {

std::uint64_t count_extrema(const ScalarField3DGrid& g) {
  // The cubes' diagonal runs from corner 0 to corner 7: a vertex neighbours
  // the offsets whose steps all go one way.
  static const int offsets[7][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
  const long long nx = g.dim[0], ny = g.dim[1], nz = g.dim[2];
  const Real* value = g.values.data();
  long long step[7];
  for (int k = 0; k < 7; ++k) step[k] = offsets[k][0] + nx * (offsets[k][1] + ny * offsets[k][2]);
  std::uint64_t count = 0;
  for (long long z = 0; z < nz; ++z)
    for (long long y = 0; y < ny; ++y) {
      const bool inner_row = z > 0 && z + 1 < nz && y > 0 && y + 1 < ny;
      for (long long x = 0; x < nx; ++x) {
        const long long v = x + nx * (y + ny * z);
        const Real w = value[v];
        bool lower = false, higher = false;
        if (inner_row && x > 0 && x + 1 < nx) {
          // Ties by index: a later neighbour of equal value is higher, an
          // earlier one lower. Most vertices have both after a few looks.
          for (int k = 0; k < 7 && !(lower && higher); ++k) {
            const Real after = value[v + step[k]], before = value[v - step[k]];
            lower |= after < w || before <= w;
            higher |= after >= w || before > w;
          }
        } else {
          for (const auto& o : offsets)
            for (int sign : {1, -1}) {
              const long long a = x + sign * o[0], b = y + sign * o[1], c = z + sign * o[2];
              if (a < 0 || b < 0 || c < 0 || a >= nx || b >= ny || c >= nz) continue;
              const Real u = value[a + nx * (b + ny * c)];
              (u < w || (u == w && sign < 0) ? lower : higher) = true;
            }
        }
        count += !lower;
        count += !higher;
      }
    }
  return count;
}

std::uint64_t count_extrema(const ScalarField2D& m) {
  std::vector<char> lower(m.vertices.size(), 0), higher(m.vertices.size(), 0), used(m.vertices.size(), 0);
  for (const Triangle& t : m.triangles)
    for (int c = 0; c < 3; ++c) {
      const Index a = t[c], b = t[(c + 1) % 3];
      used[size_t(a)] = 1;
      if (m.less(a, b)) {
        higher[size_t(a)] = 1;
        lower[size_t(b)] = 1;
      } else {
        lower[size_t(a)] = 1;
        higher[size_t(b)] = 1;
      }
    }
  std::uint64_t count = 0;
  for (size_t v = 0; v < m.vertices.size(); ++v)
    if (used[v]) count += std::uint64_t(!lower[v]) + std::uint64_t(!higher[v]);
  return count;
}

}  // namespace ctree
