#pragma once
// Contour propagation on 3D grids: marching cubes from the seed cells, one
// triangulated isosurface per step. Vertices lie on the crossed cell edges,
// with normals from the interpolated negated vertex gradients, so they point
// to lower values, as do the triangles' right-hand normals. Vertices are not
// shared between cells; a vertex on an edge shared by several cells is
// created by each of them at the bitwise same position.

#include <vector>

#include "contour/propagation.h"
#include "contour/contour3d.h"
#include "contour/grid3_data.h"

namespace contour {

class Conplotreg3 : public Conplot {
 public:
  explicit Conplotreg3(Datasetreg3* d);

  void Reset(int t) override { con[t].Reset(); }
  int Size(int t) const override { return con[t].getNTri(); }
  bool isDone(int t) const override { return con[t].isDone(); }
  void Done(int t) override { con[t].Done(); }
  void TrackContour(float isovalue, int cell) override;

  Contour3d& getContour(int t) { return con[t]; }

 private:
  std::vector<Contour3d> con;
};

}  // namespace contour
