#pragma once
// Triangle meshes in the plane: one time step (Dataslc) and the dataset of
// all steps (Datasetslc).
//
// The mesh is shared by all time steps and owned jointly by them: vertex
// positions (x, y), cells of three vertex indices, and per cell three
// neighbours, entry e across edge e (edge 0 joins cell vertices 0-1, edge 1
// joins 1-2, edge 2 joins 2-0), -1 for none.

#include <memory>
#include <vector>

#include "contour/dataset.h"
#include "core/messages.h"

namespace contour {

struct TriangleMesh {
  std::vector<double> verts;                                 // 2 per vertex
  std::vector<unsigned> cells;                               // 3 per cell
  std::vector<int> adj;                                      // 3 per cell
  float extentMin[3] = {0, 0, 0}, extentMax[3] = {0, 0, 0};  // x, y and 0
};

// Builds the shared mesh and says the construction report to messages:
// the extent, the counts and a "not adj" line for every adjacency entry
// whose two triangles do not share exactly two vertices. The indices must
// be valid.
std::shared_ptr<TriangleMesh> make_triangle_mesh(int nverts, int ncells, const double* verts, const unsigned* cells,
                                                 const int* celladj, ctree::MessageSink& messages);

class Dataslc : public Data {
 public:
  Dataslc(int type, int nvars, std::shared_ptr<const TriangleMesh> mesh, const unsigned char* block);

  int maxCellIndex() const override { return ncells; }
  int getNCellVerts() const override { return 3; }
  int getNCellFaces() const override { return 3; }
  void getCellRange(int cell, float& mn, float& mx) const override;
  void getFaceRange(int cell, int face, float& mn, float& mx) const override;
  int getCellAdj(int cell, int face) const override { return mesh->adj[3 * size_t(cell) + face]; }
  int getCellVert(int cell, int k) const override { return int(mesh->cells[3 * size_t(cell) + k]); }
  bool compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) override;
  const char* fName(int fn) const override;

  const double* getVert(int v) const { return &mesh->verts[2 * size_t(v)]; }
  const TriangleMesh& getMesh() const { return *mesh; }
  // Unit normal per vertex of the surface (x, y, value of the contouring
  // variable at construction): the sum of the normals of its triangles.
  const std::vector<float>& getNormals() const { return normals; }

 private:
  std::shared_ptr<const TriangleMesh> mesh;
  std::vector<float> normals;  // 3 per vertex
};

class Datasetslc : public Dataset {
 public:
  // data: ntime blocks of nverts * nvars values each.
  Datasetslc(int type, int nvars, int ntime, std::shared_ptr<const TriangleMesh> mesh, const unsigned char* data);
};

}  // namespace contour
