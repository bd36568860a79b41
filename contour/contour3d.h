#pragma once
// A triangulated isosurface: vertices with normals and a colour value, and
// triangles over them. Owns its arrays; a done flag marks a finished
// extraction. The colour flag is set when the contour was made with n > 1.

#include <cmath>

#include "contour/large_array.h"

namespace contour {

class Contour3d {
 public:
  explicit Contour3d(int n = 0) : colour(n > 1), n(n) {
    vert.reserve(3 * 500);
    vnorm.reserve(3 * 500);
    vfun.reserve(500);
    tri.reserve(3 * 1000);
  }

  int AddVert(float x, float y, float z, float nx, float ny, float nz, float c) {
    vert.insert(vert.end(), {x, y, z});
    vnorm.insert(vnorm.end(), {nx, ny, nz});
    vfun.push_back(c);
    return getNVert() - 1;
  }
  // Returns an existing vertex within 1e-5 in every coordinate, searching
  // from the last one back, or appends a new one. O(vertices) per call.
  int AddVertUnique(float x, float y, float z, float nx, float ny, float nz, float c) {
    for (int v = getNVert() - 1; v >= 0; --v)
      if (std::fabs(vert[3 * v] - x) <= 1e-5f && std::fabs(vert[3 * v + 1] - y) <= 1e-5f &&
          std::fabs(vert[3 * v + 2] - z) <= 1e-5f)
        return v;
    return AddVert(x, y, z, nx, ny, nz, c);
  }
  void AddTri(int a, int b, int c) { tri.insert(tri.end(), {a, b, c}); }
  void Reset() {
    vert.clear();
    vnorm.clear();
    vfun.clear();
    tri.clear();
    done = false;
  }
  int getNVert() const { return int(vert.size() / 3); }
  int getNTri() const { return int(tri.size() / 3); }
  bool isDone() const { return done; }
  void Done() { done = true; }

  bool done = false;
  bool colour;
  int n;
  float minext[3] = {0, 0, 0}, maxext[3] = {0, 0, 0};
  float colorMin = 0, colorMax = 0;
  LargeArray<float> vert;   // 3 per vertex
  LargeArray<float> vnorm;  // 3 per vertex, unit length
  LargeArray<float> vfun;   // colour value per vertex
  LargeArray<int> tri;      // 3 per triangle
};

}  // namespace contour
