#pragma once
// One time step of a dataset of the contour library.
//
// Data owns the values of all variables of one time step, variable-major
// (nverts values of variable 0, then variable 1, ...), converted once to
// float, which holds every value of the three element types exactly. It
// knows the value range of each variable. The mesh kinds derive from it and
// add cells: cell identifiers are ints below maxCellIndex() + 1, -1 is none.

#include <cstddef>
#include <vector>

#include "contour/large_array.h"

#include "core/progress.h"

namespace contour {

class Data {
 public:
  // block: nverts * nvars values of the given type code (0..2), variable-major.
  Data(int type, int nverts, int ncells, int nvars, const unsigned char* block);
  virtual ~Data() = default;
  Data(const Data&) = delete;
  Data& operator=(const Data&) = delete;

  double getValue(int vertex) const { return values[std::size_t(contourVar) * nverts + vertex]; }
  double getValue(int vertex, int var) const { return values[std::size_t(var) * nverts + vertex]; }
  // The nverts values of one variable.
  const float* varValues(int var) const { return values.data() + std::size_t(var) * nverts; }
  const float* contourValues() const { return varValues(contourVar); }

  float getMin() const { return min[contourVar]; }
  float getMax() const { return max[contourVar]; }
  float getMin(int var) const { return min[var]; }
  float getMax(int var) const { return max[var]; }

  virtual int maxCellIndex() const = 0;
  virtual int getNCellVerts() const = 0;
  virtual int getNCellFaces() const = 0;
  virtual void getCellRange(int cell, float& mn, float& mx) const = 0;
  virtual void getFaceRange(int cell, int face, float& mn, float& mx) const = 0;
  virtual int getCellAdj(int cell, int face) const = 0;
  // The face of cell that leads to adj, or -1 when adj is no neighbour.
  int getAdjIndex(int cell, int adj) const;
  virtual int getCellVert(int cell, int k) const = 0;

  // Signature functions (the contour spectrum) of the contouring variable.
  virtual int getNFunctions() const { return 4; }
  // Samples function fn at nsamples isovalues fx spread evenly over
  // [getMin(), getMax()] (nsamples below 2 counts as 2) and returns its
  // values; false, with fx and fy empty, for an fn without a function.
  virtual bool compFunction(int fn, int nsamples, std::vector<float>& fx, std::vector<float>& fy) = 0;
  // Lets a mesh kind compute all its functions for nsamples at once before
  // compFunction asks for them one by one, on up to `threads` workers.
  // A pass that runs long is told to progress.
  virtual void prepareFunctions(int /*nsamples*/, int /*threads*/, ctree::ProgressSink& /*progress*/) {}
  // The function's name, or null for an fn without a function.
  virtual const char* fName(int fn) const = 0;

  int contourVar = 0;  // variable used for contouring
  int colorVar = -1;   // variable used for colouring, -1 for none
  int nverts, ncells, nvars, type;
  std::vector<float> min, max;  // per variable

 protected:
  LargeArray<float> values;
};

// The isovalues of the spectrum: n samples from fmin to fmax, the last one
// exactly fmax.
std::vector<float> sample_isovalues(float fmin, float fmax, int n);

}  // namespace contour
