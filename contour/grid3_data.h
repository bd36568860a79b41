#pragma once
// Regular 3D grids: one time step (Datareg3) and the dataset (Datasetreg3).
//
// Vertex (i, j, k) has index (k·dimy + j)·dimx + i. A cell is named by its
// lowest corner packed as i | j << xbits | k << (xbits + ybits), xbits being
// the smallest b >= 1 with 2^b > dimx - 2 (likewise y and z); identifiers of
// cells that do not exist inside the packing are never produced. Corner and
// face numbering are those of cube_table.h.

#include <vector>

#include "contour/dataset.h"

namespace contour {

class Datareg3 : public Data {
 public:
  // dim: at least 2 along every axis, with xbits + ybits + zbits <= 31.
  Datareg3(int type, int nvars, const int dim[3], const unsigned char* block, const float origin[3] = nullptr,
           const float span[3] = nullptr);

  int maxCellIndex() const override;
  int getNCellVerts() const override { return 8; }
  int getNCellFaces() const override { return 6; }
  void getCellRange(int cell, float& mn, float& mx) const override;
  void getFaceRange(int cell, int face, float& mn, float& mx) const override;
  int getCellAdj(int cell, int face) const override;
  int getCellVert(int cell, int k) const override;
  bool compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) override;
  // All four functions in one pass, the cells cut into slabs of layers
  // shared by `threads` workers; the values are the same for every count.
  void prepareFunctions(int nsamples, int threads, ctree::ProgressSink& progress) override;
  const char* fName(int fn) const override;

  int index2cell(int i, int j, int k) const { return i | j << xbits | k << (xbits + ybits); }
  void cell2index(int c, int& i, int& j, int& k) const {
    i = c & xmask;
    j = (c >> xbits) & ymask;
    k = c >> (xbits + ybits);
  }
  int vertIndex(int i, int j, int k) const { return (k * dim[1] + j) * dim[0] + i; }
  // The eight corner values of the contouring variable in corner order.
  void getCellValues(int i, int j, int k, float f[8]) const {
    const float* v = contourValues() + vertIndex(i, j, k);
    for (int c = 0; c < 8; ++c) f[c] = v[cornerOffset[c]];
  }
  // Gradient of the contouring variable at a vertex in index units: central
  // differences inside, one-sided on the boundary.
  void getVertGrad(int i, int j, int k, float g[3]) const;
  // One axis-aligned slice of a variable: axis 'x', 'y' or 'z' at index;
  // fills width, height and values (x or y fastest). False when the axis or
  // index is out of range.
  bool getSlice(int var, char axis, int index, int& width, int& height, std::vector<float>& out) const;

  // The smallest b >= 1 with 2^b > n.
  static int bitsFor(int n);

  int dim[3];
  float orig[3] = {0, 0, 0};
  float span[3] = {1, 1, 1};
  int xbits, ybits, zbits, xmask, ymask, zmask;
  int cornerOffset[8];  // vertex index of corner c minus that of corner 0

 private:
  // All four functions in one pass over the cells, kept for the variable
  // and sample count they were computed for.
  void computeSpectrum(int nsamples, int threads, ctree::ProgressSink& progress);
  std::vector<float> cacheFx;
  std::vector<float> cacheFy[4];
  int cacheVar = -1, cacheSamples = -1;
};

class Datasetreg3 : public Dataset {
 public:
  Datasetreg3(int type, int nvars, int ntime, const int dim[3], const unsigned char* data,
              const float origin[3] = nullptr, const float span[3] = nullptr);
};

}  // namespace contour
