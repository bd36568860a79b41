#pragma once
// Contour propagation on tetrahedral meshes: marching tetrahedra from the
// seed cells, one triangulated isosurface per step. Each crossed tetrahedron
// adds one triangle or two, facing lower values, with the negated gradient
// of the tetrahedron as vertex normal.

#include <vector>

#include "contour/propagation.h"
#include "contour/contour3d.h"
#include "contour/tetrahedral_mesh_data.h"

namespace contour {

class Conplot3d : public Conplot {
 public:
  explicit Conplot3d(Datasetvol* d) : Conplot(d), con(d->ntime, Contour3d(0)) {}

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
