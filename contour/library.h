#pragma once
// The function interface of the contour library.
//
// Datasets are built from arrays in memory (the arrays are copied) and handed
// back as a ConDataset handle, owned by the caller until clearDataset. The
// queries validate their arguments and report a failure as an error message
// that starts with "isolark:" and the function's name, returning null (or
// 0); their status lines (counts of a contour, the interval tree) are said
// the same way. Both go to the message sink a handle was made with
// (core/messages.h; silence by default), and refusals of the constructors
// to the sink they are given. Results marked "new" are owned by the caller (delete); the
// arrays inside contour results belong to the library and change at the next
// contour query on the same handle.

#include <memory>
#include <string>
#include <vector>

#include "contour/codes.h"
#include "contour/grid_isosurface.h"
#include "core/messages.h"
#include "core/progress.h"
#include "core/report.h"
#include "contour/seed_cells.h"

namespace contour {

class Dataset;
class Conplot;

// One signature function: values fy at the isovalues fx.
struct Signature {
  std::string name;
  int nsamples = 0;
  std::vector<float> fx;
  std::vector<float> fy;
};

// Samples of a signature function unless the caller asks for others.
constexpr int DEFAULT_SIGNATURE_SAMPLES = 256;

struct ConDataset {
  ConDataset() = default;
  ConDataset(const ConDataset&) = delete;
  ConDataset& operator=(const ConDataset&) = delete;
  ~ConDataset();

  int nsignatures = 0;
  // signatures[var][t]: nsignatures records, null until computed.
  std::vector<std::vector<Signature*>> signatures;
  Dataset* data = nullptr;  // owned
  Conplot* plot = nullptr;  // owned
  // Workers for the seed search and the signature functions of this
  // handle (1: the calling thread alone). Results do not depend on it.
  int threads = 1;
  // Isovalue samples of every signature function (getSignatureFunctions).
  int samples = DEFAULT_SIGNATURE_SAMPLES;
  // Told of seed searches and signature passes that run longer than a
  // second (borrowed; null: nothing is shown).
  ctree::ProgressSink* progress = nullptr;
  // Where the queries' status lines and refusals go (borrowed; null:
  // nowhere). Set by the constructor from its messages argument.
  ctree::MessageSink* messages = nullptr;
};

// A polyline: nvert points and nedge pairs of point indices.
struct Contour2dData {
  int nvert = 0, nedge = 0;
  float (*vert)[2] = nullptr;
  int (*edge)[2] = nullptr;
};

// A triangle surface: points with unit normals (towards lower values) and a
// colour value each, and triangles facing the same way.
struct Contour3dData {
  int nvert = 0, ntri = 0;
  float (*vert)[3] = nullptr;
  float (*vnorm)[3] = nullptr;
  float* vfun = nullptr;
  int (*tri)[3] = nullptr;
  int colorvar = -1;
  float colormin = 0, colormax = 0;
};

struct SeedData {
  int nseeds = 0;
  const Seed* seeds = nullptr;
};

// One axis-aligned slice of a grid variable, width values per row.
struct SliceData {
  int width = 0, height = 0;
  std::vector<float> values;
};

// meshtype 2 (triangles: verts 2 doubles per vertex, cells 3 indices, celladj
// 3 per cell or null for none) or 3 (tetrahedra: 3 doubles, 4 indices, 4
// neighbours). data: ntime blocks of nverts * nvars values of the type code.
ConDataset* newDatasetUnstr(int type, int meshtype, int nvars, int ntime, int nverts, int ncells, const double* verts,
                            const unsigned* cells, const int* celladj, const unsigned char* data,
                            ctree::MessageSink& messages = ctree::no_messages());
// meshtype 4 (dim: 2 values) or 5 (dim: 3 values, x fastest); origin and
// span per axis, or null for 0 and 1.
ConDataset* newDatasetReg(int type, int meshtype, int nvars, int ntime, const int* dim, const unsigned char* data,
                          const float* origin = nullptr, const float* span = nullptr,
                          ctree::MessageSink& messages = ctree::no_messages());
// The same four kinds, one file per time step (see contour/dataset_file.h).
ConDataset* loadDataset(int type, int meshtype, int nvars, int ntime, char** files,
                        ctree::MessageSink& messages = ctree::no_messages());

int getNumberOfSignatures(ConDataset* ds);
// ds->samples samples of every signature function of (var, t), computed once
// and cached in the handle; the records belong to the handle.
Signature* getSignatureFunctions(ConDataset* ds, int var, int t);
// nsignatures values (none after a refused query): each function's value
// at the isovalue: the sample's own value when the isovalue is a sample's,
// linear between the two samples around it otherwise, the first or last
// sample's value outside the sampled range.
std::vector<float> getSignatureValues(ConDataset* ds, int var, int t, float isovalue);
// The value of one sampled function at w, as getSignatureValues gives it.
float signature_value_at(const Signature& s, float w);
// The records below are the caller's (null after a refused query); the
// arrays of a contour or seed record belong to the handle and stay valid
// until the next extraction on it or until it is cleared.
// meshtype 2 or 4.
std::unique_ptr<Contour2dData> getContour2d(ConDataset* ds, int var, int t, float isovalue);
// meshtype 3 or 5; colorvar -1 for no colouring.
std::unique_ptr<Contour3dData> getContour3d(ConDataset* ds, int var, int t, float isovalue, int colorvar);
// meshtype 5: the whole isosurface of step t in one pass over every cell
// on ds->threads workers (contour/grid_isosurface.h), without seeds. With
// the cube split: the triangles of getContour3d at the same isovalue (as a
// set, facing the same way) at the same positions, with the same normals
// and colour values, each vertex shared by the cells around its grid edge.
// With the tetrahedra split: the surface whose pieces are the contour
// tree's arcs. The arrays belong to the handle as getContour3d's do. Prints
// nothing: a refused query or a surface too large is told in report (when
// given) and gives null.
std::unique_ptr<Contour3dData> getWholeContour3d(ConDataset* ds, int var, int t, float isovalue, int colorvar,
                                                 CellSplit split = CellSplit::cubes, ctree::Report* report = nullptr);
// Points at the handle's seeds.
std::unique_ptr<SeedData> getSeedCells(ConDataset* ds, int var, int t);
// meshtype 5; axis 'x', 'y' or 'z'.
std::unique_ptr<SliceData> getSlice(ConDataset* ds, int var, int t, char axis, int index);
// Frees the handle with its dataset, propagator and signatures.
void clearDataset(ConDataset* ds);

// A handle the holder owns: cleared when it goes.
struct DatasetDeleter {
  void operator()(ConDataset* ds) const { clearDataset(ds); }
};
using DatasetHandle = std::unique_ptr<ConDataset, DatasetDeleter>;

}  // namespace contour
