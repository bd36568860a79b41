#pragma once
// Contour propagation on 2D grids: marching squares from the seed cells, one
// polyline contour per step. On an ambiguous cell (two diagonal corners
// below) each below corner is cut off on its own.

#include <vector>

#include "contour/propagation.h"
#include "contour/contour2d.h"
#include "contour/grid2_data.h"

namespace contour {

class Conplotreg2 : public Conplot {
 public:
  explicit Conplotreg2(Datasetreg2* d);

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
