#pragma once
// Tetrahedral meshes: one time step (Datavol) and the dataset (Datasetvol).
//
// The mesh is shared by all steps: vertex positions (x, y, z), cells of four
// vertex indices, and per cell four neighbours, entry f across face f (the
// face of the three vertices other than vertex f), -1 for none.

#include <memory>
#include <vector>

#include "contour/dataset.h"

namespace contour {

struct TetMesh {
  std::vector<double> verts;    // 3 per vertex
  std::vector<unsigned> cells;  // 4 per cell
  std::vector<int> adj;         // 4 per cell
};

class Datavol : public Data {
 public:
  Datavol(int type, int nvars, std::shared_ptr<const TetMesh> mesh, const unsigned char* block);

  int maxCellIndex() const override { return ncells; }
  int getNCellVerts() const override { return 4; }
  int getNCellFaces() const override { return 4; }
  void getCellRange(int cell, float& mn, float& mx) const override;
  void getFaceRange(int cell, int face, float& mn, float& mx) const override;
  int getCellAdj(int cell, int face) const override { return mesh->adj[4 * size_t(cell) + face]; }
  int getCellVert(int cell, int k) const override { return int(mesh->cells[4 * size_t(cell) + k]); }
  bool compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) override;
  const char* fName(int fn) const override;

  const double* getVert(int v) const { return &mesh->verts[3 * size_t(v)]; }

 private:
  std::shared_ptr<const TetMesh> mesh;
};

class Datasetvol : public Dataset {
 public:
  Datasetvol(int type, int nvars, int ntime, std::shared_ptr<const TetMesh> mesh, const unsigned char* data);
};

}  // namespace contour
