#include "workspace/contour_data.h"

#include <cstdio>
#include <istream>
#include <ostream>
#include <set>

#include "workspace/main_data.h"
#include "core/threads.h"

namespace ctree {

ContourData::ContourData(MainData* owner_) : owner(owner_) {
  const DatasetOptions& d = owner->dataset;
  const int count = d.tdelta > 0 && d.tmax >= d.tmin ? (d.tmax - d.tmin) / d.tdelta + 1 : 1;
  steps.assign(size_t(count), Step{});
}

ContourData::~ContourData() {
  // Records and the current state may share handles and contours.
  std::set<contour::ConDataset*> datasets{dataset};
  std::set<contour::Contour2dData*> c2{contour2d};
  std::set<contour::Contour3dData*> c3{contour3d};
  for (const Step& s : steps) datasets.insert(s.dataset), c2.insert(s.contour2d), c3.insert(s.contour3d);
  for (auto* c : c2) delete c;
  for (auto* c : c3) delete c;
  for (auto* ds : datasets)
    if (ds) contour::clearDataset(ds);
}

int ContourData::stepIndex() const {
  const DatasetOptions& d = owner->dataset;
  const int i = d.tdelta > 0 ? (owner->time - d.tmin) / d.tdelta : 0;
  return i < 0 ? 0 : i >= int(steps.size()) ? int(steps.size()) - 1 : i;
}

void ContourData::registerData() {
  Step& s = steps[size_t(stepIndex())];
  if (s.registered) {
    dataset = s.dataset;
    minValue = s.minValue;
    maxValue = s.maxValue;
    isovalue = s.isovalue;
    contour2d = s.contour2d;
    contour3d = s.contour3d;
    return;
  }
  std::puts("registering data for isolark...");
  minValue = 1e38;
  maxValue = -1e38;
  if (owner->field2d) {
    for (const Vertex& v : owner->field2d->vertices) {
      const double f = float(v.field);
      minValue = f < minValue ? f : minValue;
      maxValue = f > maxValue ? f : maxValue;
    }
    dataset = getDataset2d(*owner->field2d, owner->dataset.var.c_str());
  } else if (owner->field3d) {
    for (Real r : owner->field3d->values) {
      const double f = r;
      minValue = f < minValue ? f : minValue;
      maxValue = f > maxValue ? f : maxValue;
    }
    dataset = getDataset3d(*owner->field3d);
    // --threads governs the seed search and the spectrum as well as the trees.
    if (dataset) dataset->threads = int(worker_count(owner->dataset.threads));
  }
  if (dataset) {
    dataset->samples = owner->dataset.signatureSamples;
    dataset->progress = &owner->meter;
  }
  if (minValue > maxValue) minValue = maxValue = 0;  // no field: an empty range
  isovalue = (minValue + maxValue) * 0.5;
  std::puts("...done");
  std::fflush(stdout);
}

void ContourData::saveCurrent() {
  if (!dataset) return;
  Step& s = steps[size_t(stepIndex())];
  s.registered = 1;
  s.dataset = dataset;
  s.minValue = minValue;
  s.maxValue = maxValue;
  s.isovalue = isovalue;
  s.contour2d = contour2d;
  s.contour3d = contour3d;
}

void ContourData::clearCurrent() {
  minValue = maxValue = isovalue = 0;
  dataset = nullptr;
  contour2d = nullptr;
  contour3d = nullptr;
}

void ContourData::unregisterData() {
  saveCurrent();
  clearCurrent();
}

void ContourData::dropContour(contour::Contour2dData*& c2, contour::Contour3dData*& c3) {
  Step& s = steps[size_t(stepIndex())];
  if (c2 && s.contour2d == c2) s.contour2d = nullptr;
  if (c3 && s.contour3d == c3) s.contour3d = nullptr;
  delete c2;
  delete c3;
  c2 = nullptr;
  c3 = nullptr;
}

void ContourData::setIsovalue(double value, int force) {
  if (dataset && isovalue == value && !force) return;
  if (!dataset) registerData();
  // The range is known once the step is registered.
  if (value < minValue) value = minValue;
  if (value > maxValue) value = maxValue;
  std::puts("calculating contour...");
  dropContour(contour2d, contour3d);
  if (dataset) {
    if (owner->field2d)
      contour2d = contour::getContour2d(dataset, 0, 0, float(value));
    else
      contour3d = contour::getContour3d(dataset, 0, 0, float(value), 0);
    ++extractionCount;
  }
  isovalue = value;
  std::puts("...done");
  std::fflush(stdout);
}

contour::ConDataset* ContourData::getDataset2d(const ScalarField2D& field, const char* var) {
  const std::string axis = var ? var : "";
  const size_t n = field.vertices.size(), m = field.triangles.size();
  std::vector<double> coords(2 * n);
  std::vector<float> data(n);
  for (size_t i = 0; i < n; ++i) {
    const Vertex& v = field.vertices[i];
    double a = v.x, b = v.y;  // anything but "x", "y", "z" keeps (x, y)
    if (axis == "x") a = v.y, b = v.z;
    else if (axis == "y") a = v.x, b = v.z;
    coords[2 * i] = a;
    coords[2 * i + 1] = b;
    data[i] = float(v.field);
  }
  std::vector<unsigned> cells(3 * m);
  for (size_t t = 0; t < m; ++t)
    for (int k = 0; k < 3; ++k) cells[3 * t + size_t(k)] = field.triangles[t][k];
  std::vector<int> adjacency(3 * m, -1);
  return contour::newDatasetUnstr(contour::CONTOUR_FLOAT, contour::CONTOUR_2D, 1, 1, int(n), int(m), coords.data(),
                                  cells.data(), adjacency.data(), reinterpret_cast<const unsigned char*>(data.data()));
}

contour::ConDataset* ContourData::getDataset3d(const ScalarField3DGrid& grid) {
  const int dim[3] = {int(grid.dim[0]), int(grid.dim[1]), int(grid.dim[2])};
  std::vector<float> data(grid.values.begin(), grid.values.end());
  contour::ConDataset* ds = contour::newDatasetReg(contour::CONTOUR_FLOAT, contour::CONTOUR_REG_3D, 1, 1, dim,
                                                   reinterpret_cast<const unsigned char*>(data.data()));
  return ds;
}

std::ostream& operator<<(std::ostream& out, const ContourData& c) { return out << c.isovalue << ' '; }

std::istream& operator>>(std::istream& in, ContourData& c) {
  double value = 0;
  if (!(in >> value)) return in;
  if (c.dataset) {
    c.isovalue = value;
    c.unregisterData();
  }
  c.registerData();
  c.setIsovalue(value, 1);
  return in;
}

}  // namespace ctree
