#include "workspace/main_data.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "core/progress.h"
#include "workspace/grid_tree.h"
#include "workspace/report_print.h"
#include "workspace/step_names.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/mesh_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "fields/mesh_checks.h"
#include "fields/raw_reader.h"
#include "fields/value_limits.h"
#include "io/ply_mesh.h"
#include "io/tree_files.h"
#include "layout/orrery_layout.h"

namespace ctree {

namespace {
// Seconds since the last lap (or since construction).
struct Clock {
  std::chrono::steady_clock::time_point t = std::chrono::steady_clock::now();
  double lap() {
    const auto now = std::chrono::steady_clock::now();
    const double s = std::chrono::duration<double>(now - t).count();
    t = now;
    return s;
  }
};
}  // namespace

TBox tbox_of(const Box& b) {
  return TBox{float(b.min[0]), float(b.min[1]), float(b.min[2]), float(b.max[0] - b.min[0]), float(b.max[1] - b.min[1]),
              float(b.max[2] - b.min[2])};
}

std::ostream& operator<<(std::ostream& out, const TBox& b) {
  return out << b.x << ' ' << b.y << ' ' << b.z << ' ' << b.dx << ' ' << b.dy << ' ' << b.dz << ' ';
}

std::istream& operator>>(std::istream& in, TBox& b) {
  TBox read = b;
  if (in >> read.x >> read.y >> read.z >> read.dx >> read.dy >> read.dz) b = read;
  return in;
}

std::ostream& operator<<(std::ostream& out, const MainData& d) {
  return out << d.maxooOn << ' ' << d.maxoo << ' ' << d.minooOn << ' ' << d.minoo << ' ' << d.maxchildOn << ' '
             << d.maxchild << ' ' << d.boxFilter << ' ' << d.filterBox << ' ' << d.thresholdOn << ' ' << d.threshold
             << ' ' << d.time << ' ' << '\n';
}

std::istream& operator>>(std::istream& in, MainData& d) {
  auto flag = [&](int& f) {
    int v;
    if (in >> v) f = v != 0;
  };
  auto number = [&](Real& f) {
    Real v;
    if (in >> v) f = v;
  };
  flag(d.maxooOn);
  number(d.maxoo);
  flag(d.minooOn);
  number(d.minoo);
  flag(d.maxchildOn);
  number(d.maxchild);
  flag(d.boxFilter);
  in >> d.filterBox;
  flag(d.thresholdOn);
  number(d.threshold);
  int t;
  // Only a step of the run's range is taken.
  if (in >> t && t >= d.dataset.tmin && t <= d.dataset.tmax && (std::int64_t(t) - d.dataset.tmin) % d.dataset.tdelta == 0)
    d.time = t;
  return in;
}

MainData::MainData(const DatasetOptions& s) : dataset(s), time(s.tmin) {
  cache.resize(size_t((std::int64_t(dataset.tmax) - dataset.tmin) / dataset.tdelta + 1));
  if (!setTime(dataset.tmin)) {
    end_progress_line();
    if (!dataset.isMesh) std::printf("Error. can't set time to %d\n", dataset.tmin);
    return;
  }
  setModelBox();
  const FlatTree* t = ctree ? ctree : ctreel;
  const Real largest = t && !t->empty() ? t->root().persistence : 0.0;
  minoo = 0.0;
  maxchild = 1.0;
  maxoo = largest;
  threshold = dataset.isMesh ? largest : 0.0;
  started = true;
}

bool MainData::loadedValueRange(float& lo, float& hi) const {
  bool every = true, any = false;
  lo = hi = 0;
  auto take = [&](Real v) {
    const float f = float(v);
    if (!any || f < lo) lo = f;
    if (!any || f > hi) hi = f;
    any = true;
  };
  for (const TimeStep& s : cache) {
    every = every && s.loaded;
    if (s.field3d)
      for (Real v : s.field3d->values) take(v);
    else if (s.field2d)
      for (const Vertex& v : s.field2d->vertices) take(v.field);
  }
  return every;
}

Size MainData::usedVertices(const FlatTree& tree) {
  Size n = 0;
  for (size_t v = 0; v < tree.vertices.size(); ++v) n += tree.used(Index(v));
  return n;
}

ScalarField3DGrid* MainData::getScalarField3d(int t) {
  const std::string name = step_filename(dataset.dataName, t);
  std::printf("reading volumetric grid %s..\n", name.c_str());
  auto g = std::make_unique<ScalarField3DGrid>();
  // A headerless file read with the run's grid size, type and byte order
  // when the volume options name none.
  VolumeOptions options = dataset.volume;
  if (!options.hasDim && volume_format_of(name) == VolumeFormat::Raw) {
    options.hasDim = true;
    for (int a = 0; a < 3; ++a) options.dim[a] = dataset.dim[a];
    options.type = dataset.dataType;
    options.swap = dataset.swapBytes;
  }
  Report report;
  const bool read = read_volume(name, options, dataset.stepsAreVolumes ? Size(t) : 0, *g, report, meter);
  if (!print_report(report) || !read) return nullptr;
  // Every step of a run has the grid of the first.
  if (g->dim[0] != dataset.dim[0] || g->dim[1] != dataset.dim[1] || g->dim[2] != dataset.dim[2]) {
    end_progress_line();
    std::fprintf(stderr, "Error: %s: a grid of %u x %u x %u vertices, the run's first step has %u x %u x %u\n",
                 name.c_str(), g->dim[0], g->dim[1], g->dim[2], dataset.dim[0], dataset.dim[1], dataset.dim[2]);
    return nullptr;
  }
  const std::string fault = grid_value_fault(*g);
  if (!fault.empty()) {
    end_progress_line();
    std::fprintf(stderr, "Error: %s: %s\n", name.c_str(), fault.c_str());
    return nullptr;
  }
  std::puts("...done");
  grids.push_back(std::move(g));
  return grids.back().get();
}

ScalarField2D* MainData::getScalarField2d(int t) {
  const std::string name = step_filename(dataset.dataName, t);
  std::printf("reading ply file %s...\n", name.c_str());
  auto m = std::make_unique<ScalarField2D>();
  Report report;
  const bool read = read_ply_field(name, dataset.var, dataset.dataType, *m, report, meter);
  if (!print_report(report) || !read) return nullptr;
  std::puts("...done");
  Report check;
  const bool whole = ply_checkmesh(m.get(), check);
  print_report(check);
  if (!whole) {
    auto parts = ply_component(*m);
    if (parts.empty()) {
      std::fprintf(stderr, "Error: %s has no triangles\n", name.c_str());
      return nullptr;
    }
    // The component with the most vertices (the first of them on a tie).
    size_t largest = 0;
    for (size_t k = 1; k < parts.size(); ++k)
      if (parts[k]->vertices.size() > parts[largest]->vertices.size()) largest = k;
    std::printf("taking the largest connected component: %zu of the %zu vertices, %zu of the %zu triangles "
                "(%zu components)\n",
                parts[largest]->vertices.size(), m->vertices.size(), parts[largest]->triangles.size(),
                m->triangles.size(), parts.size());
    m = std::move(parts[largest]);
  }
  if (!m->hasNormals()) {
    std::printf("computing normals...\n");
    m->normals = ply_compute_normals(*m, 0);
    std::printf("...done\n");
  }
  meshes.push_back(std::move(m));
  return meshes.back().get();
}

std::unique_ptr<GridContourTree> MainData::computeCtree() {
  auto result = std::make_unique<GridContourTree>();
  if (field3d) {
    std::puts("computing critical points,jtree and stree->..");
    MergeTreeOptions options;
    options.threads = dataset.threads;
    options.progress = &meter;
    const bool built = compute_grid_tree_in_units(*field3d, *result, options);
    if (!print_report(result->report) || !built) return nullptr;
    std::puts("...done");
    lastLoad.mergeTrees += result->seconds_copy + result->seconds_merge;
    lastLoad.contourTree += result->seconds_contour;
    return result;
  }
  Clock clock;
  std::puts("computing critical points...");
  compute_critical_points(*field2d, result->vertices, meter);
  std::puts("...done");
  std::puts("computing jtree and stree->..");
  Report merging;
  const bool merged = compute_merge_trees(*field2d, result->vertices, result->join, result->split, merging, meter);
  if (!print_report(merging) || !merged) return nullptr;
  std::puts("...done");
  result->critical_points = Size(result->vertices.size());
  lastLoad.mergeTrees += clock.lap();
  std::puts("computing multires contour tree...");
  Report building;
  const bool built = compute_multires_contour_tree(result->join, result->split, result->contour, building, meter);
  if (!print_report(building) || !built) return nullptr;
  std::puts("...done");
  lastLoad.contourTree += clock.lap();
  return result;
}

// The finished form of a computed tree (made directly for grids).
static FlatTree finished_tree(GridContourTree& computed) {
  return computed.finished.empty() ? flatten(computed.contour) : std::move(computed.finished);
}

void MainData::describeField() {
  TreeDataCheck& c = fieldCheck;
  if (field3d) {
    c.source = grid_source(*field3d, dataset.dataType);
    c.grid = field3d;
    for (int a = 0; a < 3; ++a) {
      const Real end = field3d->origin[a] + field3d->spacing[a] * Real(field3d->dim[a] > 0 ? field3d->dim[a] - 1 : 0);
      c.bounds.min[a] = std::min(field3d->origin[a], end);
      c.bounds.max[a] = std::max(field3d->origin[a], end);
    }
  } else if (field2d) {
    c.source = mesh_source(*field2d, dataset.var);
    c.grid = nullptr;
    const Vertex& v0 = field2d->vertices.front();
    c.bounds = Box::at(v0.x, v0.y, v0.z);
    for (const Vertex& v : field2d->vertices) c.bounds.add(v.x, v.y, v.z);
  }
}

const FlatTree* MainData::readTree(const std::string& name, const char* what, bool laidOut) {
  std::printf("reading %s %s...\n", what, name.c_str());
  auto tree = std::make_unique<FlatTree>();
  Report report;
  fieldCheck.fieldPositions = !laidOut;
  const bool read = read_multires_tree(name, *tree, true, report, meter, &fieldCheck);
  if (!print_report(report) || !read) return nullptr;
  std::puts("...done");
  trees.push_back(std::move(tree));
  return trees.back().get();
}

const FlatTree* MainData::writeTree(const FlatTree& tree, const std::string& name, const char* what, bool laidOut) {
  std::printf("writing %s %s...\n", what, name.c_str());
  Report report;
  if (!write_multires_tree(name, WRITE_ASCII, tree, report, &fieldCheck.source)) {
    print_report(report);
    return nullptr;
  }
  std::puts("...done");
  auto stored = std::make_unique<FlatTree>();
  fieldCheck.fieldPositions = !laidOut;
  if (!tree_as_stored(name, WRITE_ASCII, tree, true, *stored, report, &fieldCheck.source, &fieldCheck)) {
    if (!print_report(report)) return nullptr;
    return readTree(name, what, laidOut);
  }
  trees.push_back(std::move(stored));
  return trees.back().get();
}

const FlatTree* MainData::writeCtreel(FlatTree tree, const std::string& name) {
  Clock clock;
  layout_multires_tree(tree, dataset.layoutAspect, dataset.layoutScale, meter);
  lastLoad.layout += clock.lap();
  return writeTree(tree, name, "ctreel", true);
}

int MainData::setTime(int t) {
  const size_t i = t < dataset.tmin ? cache.size() : size_t((std::int64_t(t) - dataset.tmin) / dataset.tdelta);
  time = t;
  field2d = nullptr;
  field3d = nullptr;
  ctree = ctreel = nullptr;
  if (i >= cache.size()) {
    std::fprintf(stderr, "Error: time step %d is outside %d..%d\n", t, dataset.tmin, dataset.tmax);
    return 0;
  }
  TimeStep& rec = cache[i];
  if (rec.loaded) {
    field2d = rec.field2d;
    field3d = rec.field3d;
    ctree = rec.ctree;
    ctreel = rec.ctreel;
    return 1;
  }
  const std::string data = step_filename(dataset.dataName, t);
  if (!fileExist(data)) {
    end_progress_line();
    std::printf("error. can't open %s\n", data.c_str());
    return 0;
  }
  lastLoad = StepTimes();
  Clock clock;
  if (dataset.isMesh)
    field2d = getScalarField2d(t);
  else
    field3d = getScalarField3d(t);
  if (!field2d && !field3d) return 0;
  if (!dataset.ctName.empty() || !dataset.ctlName.empty()) describeField();
  lastLoad.read = clock.lap();

  // A tree computed here is written; the tree in use is the one stored.
  if (!dataset.ctName.empty()) {
    const std::string name = step_filename(dataset.ctName, time);
    if (!fileExist(name)) {
      FlatTree flat;
      {
        const auto computed = computeCtree();
        if (!computed) return 0;
        clock.lap();
        flat = finished_tree(*computed);
      }
      ctree = writeTree(flat, name, "ctree", false);
    } else {
      ctree = readTree(name, "ctree", false);
    }
    if (!ctree) return 0;
    lastLoad.files += clock.lap();
  }
  if (!dataset.ctlName.empty()) {
    const std::string name = step_filename(dataset.ctlName, time);
    if (!fileExist(name)) {
      FlatTree source;
      if (ctree) {
        source = *ctree;
      } else {
        // No contour tree file: one is computed in memory for the layout.
        const auto computed = computeCtree();
        if (!computed) return 0;
        source = finished_tree(*computed);
      }
      clock.lap();
      ctreel = writeCtreel(std::move(source), name);
    } else {
      ctreel = readTree(name, "ctreel", true);
    }
    if (!ctreel) return 0;
    lastLoad.files += clock.lap() - lastLoad.layout;
  }
  rec = TimeStep{1, field2d, field3d, ctree, ctreel};
  return 1;
}

void MainData::setModelBox() {
  if (!dataset.isMesh) {
    // dim · spacing from the origin: unit spacing keeps the vertex counts
    // as the box's size.
    const Real* s = field3d ? field3d->spacing : dataset.volume.spacing;
    const Real* o = field3d ? field3d->origin : dataset.volume.origin;
    modelBox = TBox{float(o[0]), float(o[1]), float(o[2]), float(dataset.dim[0] * s[0]), float(dataset.dim[1] * s[1]),
                    float(dataset.dim[2] * s[2])};
  } else if (field2d) {
    float lo[3] = {1e18f, 1e18f, 1e18f}, hi[3] = {-1e18f, -1e18f, -1e18f};
    for (const Vertex& v : field2d->vertices) {
      const float p[3] = {float(v.x), float(v.y), float(v.z)};
      for (int a = 0; a < 3; ++a) {
        lo[a] = p[a] < lo[a] ? p[a] : lo[a];
        hi[a] = p[a] > hi[a] ? p[a] : hi[a];
      }
    }
    modelBox = TBox{lo[0], lo[1], lo[2], hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
  }
  std::printf("Model box x1(%f %f %f) x2(%f %f %f)\n", modelBox.x, modelBox.y, modelBox.z, modelBox.x + modelBox.dx,
              modelBox.y + modelBox.dy, modelBox.z + modelBox.dz);
}

}  // namespace ctree
