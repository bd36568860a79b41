#pragma once
// Regular 2D grids: one time step (Datareg2) and the dataset (Datasetreg2).
//
// Vertex (i, j) has index j·dimx + i; cell (i, j) has identifier
// j·(dimx - 1) + i and corners 0 (i, j), 1 (i+1, j), 2 (i+1, j+1),
// 3 (i, j+1); face e joins corners e and e+1 (mod 4), its neighbour lies at
// (i, j-1), (i+1, j), (i, j+1), (i-1, j) for e = 0..3. The signature
// functions cut each cell into the triangles (0, 1, 2) and (0, 2, 3).

#include <vector>

#include "contour/dataset.h"

namespace contour {

class Datareg2 : public Data {
 public:
  Datareg2(int type, int nvars, const int dim[2], const unsigned char* block, const float origin[2] = nullptr,
           const float span[2] = nullptr);

  int maxCellIndex() const override { return ncells - 1; }
  int getNCellVerts() const override { return 4; }
  int getNCellFaces() const override { return 4; }
  void getCellRange(int cell, float& mn, float& mx) const override;
  void getFaceRange(int cell, int face, float& mn, float& mx) const override;
  int getCellAdj(int cell, int face) const override;
  int getCellVert(int cell, int k) const override;
  bool compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) override;
  const char* fName(int fn) const override;

  // Position of vertex (i, j).
  void getPos(int i, int j, double p[2]) const {
    p[0] = orig[0] + double(span[0]) * i;
    p[1] = orig[1] + double(span[1]) * j;
  }

  int dim[2];
  float orig[2] = {0, 0};
  float span[2] = {1, 1};
};

class Datasetreg2 : public Dataset {
 public:
  Datasetreg2(int type, int nvars, int ntime, const int dim[2], const unsigned char* data,
              const float origin[2] = nullptr, const float span[2] = nullptr);
};

}  // namespace contour
