#pragma once
// Contour propagation on triangle meshes: one polyline contour per step.
// Each crossed triangle adds one segment between two new vertices (vertices
// are not shared between triangles) and queues the neighbours across its two
// crossed edges.

#include <vector>

#include "contour/propagation.h"
#include "contour/contour2d.h"
#include "contour/triangle_mesh_data.h"

namespace contour {

class Conplot2d : public Conplot {
 public:
  // Prints the extent of step 0 and gives it to every contour.
  explicit Conplot2d(Datasetslc* d);

  void Reset(int t) override { con[t].Reset(); }
  int Size(int t) const override { return con[t].getNEdge(); }
  bool isDone(int t) const override { return con[t].isDone(); }
  void Done(int t) override { con[t].Done(); }
  void TrackContour(float isovalue, int cell) override;

  Contour2d& getContour(int t) { return con[t]; }

 private:
  std::vector<Contour2d> con;
};

}  // namespace contour
