#include "contour/data.h"

#include <cfloat>
#include <cstring>

#include "contour/codes.h"

namespace contour {

Data::Data(int type_, int nverts_, int ncells_, int nvars_, const unsigned char* block)
    : nverts(nverts_), ncells(ncells_), nvars(nvars_), type(type_), min(nvars_, FLT_MAX), max(nvars_, -FLT_MAX) {
  values.resize(size_t(nverts) * nvars);
  const size_t n = values.size();
  for (size_t k = 0; k < n; ++k) {
    switch (type) {
      case CONTOUR_UCHAR: values[k] = block[k]; break;
      case CONTOUR_USHORT: {
        unsigned short v;
        std::memcpy(&v, block + 2 * k, 2);
        values[k] = v;
        break;
      }
      case CONTOUR_FLOAT: std::memcpy(&values[k], block + 4 * k, 4); break;
      default: values[k] = 0; break;
    }
  }
  // The variable that holds the smallest value becomes the contouring and
  // the colouring variable.
  float lowest = FLT_MAX;
  for (int v = 0; v < nvars; ++v) {
    const float* f = varValues(v);
    for (int i = 0; i < nverts; ++i) {
      if (f[i] < min[v]) min[v] = f[i];
      if (f[i] > max[v]) max[v] = f[i];
      if (f[i] < lowest) {
        lowest = f[i];
        contourVar = colorVar = v;
      }
    }
  }
}

int Data::getAdjIndex(int cell, int adj) const {
  for (int f = 0; f < getNCellFaces(); ++f)
    if (getCellAdj(cell, f) == adj) return f;
  return -1;
}

std::vector<float> sample_isovalues(float fmin, float fmax, int n) {
  if (n < 2) n = 2;
  std::vector<float> fx(n);
  for (int i = 0; i < n; ++i) fx[i] = float(double(fmin) + double(i) / (n - 1) * (double(fmax) - double(fmin)));
  fx[n - 1] = fmax;
  return fx;
}

}  // namespace contour
