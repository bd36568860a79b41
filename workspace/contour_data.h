#pragma once
// The bridge between the dataset of a run and the contour library: the
// library dataset of the current time step, its value range, the current
// isovalue and the isocontour extracted at it. Every step visited keeps its
// dataset, isovalue and contour in a record, so going back to a step neither
// registers its field again nor loses its isovalue.
//
// Every step's record owns the library dataset and the contour of that
// step; the current state borrows those of the step it was registered at.
// All are freed with the bridge. The contour's arrays belong to its dataset
// and stay valid until the next extraction on that dataset, which only this
// bridge performs.

#include <iosfwd>
#include <memory>
#include <vector>

#include "contour/library.h"

namespace ctree {

class MainData;
class ScalarField2D;
class ScalarField3DGrid;

class ContourData {
 public:
  explicit ContourData(MainData* owner);
  ~ContourData();
  ContourData(const ContourData&) = delete;
  ContourData& operator=(const ContourData&) = delete;

  // Makes the current time step's dataset current, registering the field
  // with the library the first time the step is seen.
  void registerData();
  // Saves the current state in the current step's record and clears it.
  void unregisterData();
  // Extracts the isocontour at value, clamped to the value range. With force
  // 0 an unchanged isovalue of a current dataset does no work.
  void setIsovalue(double value, int force);

  // Library datasets of a field; the library says its status lines and
  // refusals to messages.
  static contour::DatasetHandle getDataset2d(const ScalarField2D& field, const char* var,
                                             MessageSink& messages = no_messages());
  static contour::DatasetHandle getDataset3d(const ScalarField3DGrid& grid, MessageSink& messages = no_messages());

  // Number of contour extractions so far (the viewers' tests count work).
  long extractions() const { return extractionCount; }
  // Index of the current step's record.
  int stepIndex() const;

  // The current state; the pointers borrow from the current step's record.
  contour::ConDataset* dataset = nullptr;
  contour::Contour2dData* contour2d = nullptr;
  contour::Contour3dData* contour3d = nullptr;
  double minValue = 0, maxValue = 0, isovalue = 0;
  MainData* owner = nullptr;

  struct Step {
    int registered = 0;  // the state below was saved
    contour::DatasetHandle dataset;
    double minValue = 0, maxValue = 0, isovalue = 0;
    std::unique_ptr<contour::Contour2dData> contour2d;
    std::unique_ptr<contour::Contour3dData> contour3d;
  };
  std::vector<Step> steps;

 private:
  void saveCurrent();
  void clearCurrent();

  int current = -1;  // the record the current state belongs to, or -1
  long extractionCount = 0;
};

// Scene record: the isovalue and a blank. Reading re-registers the current
// step and extracts the contour at the value read.
std::ostream& operator<<(std::ostream& out, const ContourData& c);
std::istream& operator>>(std::istream& in, ContourData& c);

}  // namespace ctree
