#include "contour/dataset.h"

#include <algorithm>

namespace contour {

void Dataset::addStep(std::unique_ptr<Data> d) {
  for (int v = 0; v < nvars; ++v) {
    minFun[v] = std::min(minFun[v], d->min[v]);
    maxFun[v] = std::max(maxFun[v], d->max[v]);
  }
  maxNCells = std::max(maxNCells, d->ncells);
  maxCellIndex = std::max(maxCellIndex, d->maxCellIndex());
  data.push_back(std::move(d));
}

}  // namespace contour
