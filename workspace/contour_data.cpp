#include "workspace/contour_data.h"

#include <istream>
#include <ostream>

#include "workspace/main_data.h"
#include "core/threads.h"

namespace ctree {

ContourData::ContourData(MainData* owner_) : owner(owner_) {
  const DatasetOptions& d = owner->dataset;
  const int count = d.tdelta > 0 && d.tmax >= d.tmin ? (d.tmax - d.tmin) / d.tdelta + 1 : 1;
  steps.resize(size_t(count));
}

ContourData::~ContourData() = default;

int ContourData::stepIndex() const {
  const DatasetOptions& d = owner->dataset;
  const int i = d.tdelta > 0 ? (owner->time - d.tmin) / d.tdelta : 0;
  return i < 0 ? 0 : i >= int(steps.size()) ? int(steps.size()) - 1 : i;
}

void ContourData::registerData() {
  current = stepIndex();
  Step& s = steps[size_t(current)];
  if (s.registered) {
    dataset = s.dataset.get();
    minValue = s.minValue;
    maxValue = s.maxValue;
    isovalue = s.isovalue;
    contour2d = s.contour2d.get();
    contour3d = s.contour3d.get();
    return;
  }
  // A new dataset: contours of an earlier one of this step go with it.
  s.contour2d.reset();
  s.contour3d.reset();
  contour2d = nullptr;
  contour3d = nullptr;
  owner->messages.status("registering data for isolark...");
  minValue = 1e38;
  maxValue = -1e38;
  if (owner->field2d) {
    for (const Vertex& v : owner->field2d->vertices) {
      const double f = float(v.field);
      minValue = f < minValue ? f : minValue;
      maxValue = f > maxValue ? f : maxValue;
    }
    s.dataset = getDataset2d(*owner->field2d, owner->dataset.var.c_str(), owner->messages);
  } else if (owner->field3d) {
    for (Real r : owner->field3d->values) {
      const double f = r;
      minValue = f < minValue ? f : minValue;
      maxValue = f > maxValue ? f : maxValue;
    }
    s.dataset = getDataset3d(*owner->field3d, owner->messages);
    // --threads governs the seed search and the spectrum as well as the trees.
    if (s.dataset) s.dataset->threads = int(worker_count(owner->dataset.threads));
  }
  dataset = s.dataset.get();
  if (dataset) {
    dataset->samples = owner->dataset.signatureSamples;
    dataset->progress = &owner->meter;
  }
  if (minValue > maxValue) minValue = maxValue = 0;  // no field: an empty range
  isovalue = (minValue + maxValue) * 0.5;
  owner->messages.status("...done");
}

void ContourData::saveCurrent() {
  if (!dataset || current < 0) return;
  Step& s = steps[size_t(current)];
  s.registered = 1;
  s.minValue = minValue;
  s.maxValue = maxValue;
  s.isovalue = isovalue;
}

void ContourData::clearCurrent() {
  minValue = maxValue = isovalue = 0;
  dataset = nullptr;
  contour2d = nullptr;
  contour3d = nullptr;
  current = -1;
}

void ContourData::unregisterData() {
  saveCurrent();
  clearCurrent();
}

void ContourData::setIsovalue(double value, int force) {
  if (dataset && isovalue == value && !force) return;
  if (!dataset) registerData();
  // The range is known once the step is registered.
  if (value < minValue) value = minValue;
  if (value > maxValue) value = maxValue;
  owner->messages.status("calculating contour...");
  contour2d = nullptr;
  contour3d = nullptr;
  if (dataset && current >= 0) {
    Step& s = steps[size_t(current)];
    s.contour2d.reset();
    s.contour3d.reset();
    if (owner->field2d) {
      s.contour2d = contour::getContour2d(dataset, 0, 0, float(value));
      contour2d = s.contour2d.get();
    } else {
      // The whole surface in one pass on every worker: the triangles that
      // propagation from the seeds gives, without waiting for the seeds.
      s.contour3d = contour::getWholeContour3d(dataset, 0, 0, float(value), 0);
      contour3d = s.contour3d.get();
    }
    ++extractionCount;
  }
  isovalue = value;
  owner->messages.status("...done");
}

contour::DatasetHandle ContourData::getDataset2d(const ScalarField2D& field, const char* var, MessageSink& messages) {
  const std::string axis = var ? var : "";
  const size_t n = field.vertices.size(), m = field.triangles.size();
  std::vector<double> coords(2 * n);
  std::vector<float> data(n);
  for (size_t i = 0; i < n; ++i) {
    const Vertex& v = field.vertices[i];
    double a = v.x, b = v.y;  // anything but "x", "y", "z" keeps (x, y)
    if (axis == "x")
      a = v.y, b = v.z;
    else if (axis == "y")
      a = v.x, b = v.z;
    coords[2 * i] = a;
    coords[2 * i + 1] = b;
    data[i] = float(v.field);
  }
  std::vector<unsigned> cells(3 * m);
  for (size_t t = 0; t < m; ++t)
    for (int k = 0; k < 3; ++k) cells[3 * t + size_t(k)] = field.triangles[t][k];
  std::vector<int> adjacency(3 * m, -1);
  return contour::DatasetHandle(contour::newDatasetUnstr(
      contour::CONTOUR_FLOAT, contour::CONTOUR_2D, 1, 1, int(n), int(m), coords.data(), cells.data(), adjacency.data(),
      reinterpret_cast<const unsigned char*>(data.data()), messages));
}

contour::DatasetHandle ContourData::getDataset3d(const ScalarField3DGrid& grid, MessageSink& messages) {
  const int dim[3] = {int(grid.dim[0]), int(grid.dim[1]), int(grid.dim[2])};
  // On huge pages: a fresh 256^3 array of small pages costs more in faults
  // than the isosurface after it.
  contour::LargeArray<float> data(grid.values.begin(), grid.values.end());
  // The isosurface in the grid's units, where the tree and the box are.
  const float origin[3] = {float(grid.origin[0]), float(grid.origin[1]), float(grid.origin[2])};
  const float span[3] = {float(grid.spacing[0]), float(grid.spacing[1]), float(grid.spacing[2])};
  return contour::DatasetHandle(contour::newDatasetReg(contour::CONTOUR_FLOAT, contour::CONTOUR_REG_3D, 1, 1, dim,
                                                       reinterpret_cast<const unsigned char*>(data.data()), origin,
                                                       span, messages));
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
