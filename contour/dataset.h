#pragma once
// A dataset of the contour library: one Data object per time step, all of
// one mesh kind, with the value range of every variable over all steps.
// Owns its Data objects.

#include <cfloat>
#include <memory>
#include <vector>

#include "contour/data.h"

namespace contour {

class Dataset {
 public:
  Dataset(int meshtype, int type, int ntime, int nvars) : meshtype(meshtype), type(type), ntime(ntime), nvars(nvars),
      minFun(nvars, FLT_MAX), maxFun(nvars, -FLT_MAX) {}
  virtual ~Dataset() = default;
  Dataset(const Dataset&) = delete;
  Dataset& operator=(const Dataset&) = delete;

  float getMin(int t) const { return data[t]->getMin(); }
  float getMax(int t) const { return data[t]->getMax(); }
  float getMin() const { return minFun[data[curTime]->contourVar]; }
  float getMax() const { return maxFun[data[curTime]->contourVar]; }
  float getMinFun(int var) const { return minFun[var]; }
  float getMaxFun(int var) const { return maxFun[var]; }
  Data* getData(int t) const { return data[t].get(); }

  int meshtype, type, ntime, nvars;
  int curTime = 0;
  std::vector<float> minFun, maxFun;  // per variable, over all time steps
  int maxNCells = 0;                   // largest cell count of a step
  int maxCellIndex = 0;                // largest cell identifier bound of a step

 protected:
  // Appends a time step and folds its ranges and cell counts in.
  void addStep(std::unique_ptr<Data> d);

  std::vector<std::unique_ptr<Data>> data;
};

}  // namespace contour
