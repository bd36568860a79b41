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
#include "core/threads.h"
#include "workspace/grid_tree.h"
#include "workspace/step_names.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/mesh_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "fields/extrema.h"
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
  return TBox{float(b.min[0]),
              float(b.min[1]),
              float(b.min[2]),
              float(b.max[0] - b.min[0]),
              float(b.max[1] - b.min[1]),
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
  if (in >> t && t >= d.dataset.tmin && t <= d.dataset.tmax &&
      (std::int64_t(t) - d.dataset.tmin) % d.dataset.tdelta == 0)
    d.time = t;
  return in;
}

MainData::MainData(const DatasetOptions& s, MessageSink& said, ProgressSink& progress)
    : dataset(s), time(s.tmin), messages(said), meter(progress) {
  cache.resize(size_t((std::int64_t(dataset.tmax) - dataset.tmin) / dataset.tdelta + 1));
  if (!setTime(dataset.tmin)) {
    end_progress_line();
    // This failure, and the missing file's below, are status lines of the transcript.
    if (!dataset.isMesh) messages.status(format_message("Error. can't set time to %d", dataset.tmin));
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
  messages.status(format_message("reading volumetric grid %s..", name.c_str()));
  auto g = std::make_unique<ScalarField3DGrid>();
  // The header read at the start serves every step that shares it: the
  // volumes of one file, and headerless files (whose header is the
  // options). The files of a template have headers of their own.
  Report report;
  VolumeHeader header;
  const bool shared = dataset.gridRead && (dataset.stepsAreVolumes || dataset.grid.format == VolumeFormat::Raw ||
                                           name == step_filename(dataset.dataName, dataset.tmin));
  if (shared) {
    header = dataset.grid;
  } else if (!read_volume_header(name, dataset.volume, header, report)) {
    print_report(report, messages);
    return nullptr;
  }
  const bool read = read_volume(name, header, dataset.stepsAreVolumes ? Size(t) : 0, *g, report, meter);
  if (!print_report(report, messages) || !read) return nullptr;
  if (!dataset.gridRead) {
    dataset.grid = header;
    dataset.gridRead = true;
  }
  // Every step of a run has the grid of the first.
  const Size* first = dataset.grid.dim;
  if (g->dim[0] != first[0] || g->dim[1] != first[1] || g->dim[2] != first[2]) {
    end_progress_line();
    messages.error(format_message("Error: %s: a grid of %u x %u x %u vertices, the run's first step has %u x %u x %u",
                                  name.c_str(), g->dim[0], g->dim[1], g->dim[2], first[0], first[1], first[2]));
    return nullptr;
  }
  const std::string fault = grid_value_fault(*g);
  if (!fault.empty()) {
    end_progress_line();
    messages.error(format_message("Error: %s: %s", name.c_str(), fault.c_str()));
    return nullptr;
  }
  messages.status("...done");
  grids.push_back(std::move(g));
  return grids.back().get();
}

ScalarField2D* MainData::getScalarField2d(int t) {
  const std::string name = step_filename(dataset.dataName, t);
  messages.status(format_message("reading ply file %s...", name.c_str()));
  auto m = std::make_unique<ScalarField2D>();
  Report report;
  const bool read = read_ply_field(name, dataset.var, dataset.dataType, *m, report, meter);
  if (!print_report(report, messages) || !read) return nullptr;
  messages.status("...done");
  Report check;
  const bool whole = ply_checkmesh(m.get(), check);
  print_report(check, messages);
  if (!whole) {
    auto parts = ply_component(*m);
    if (parts.empty()) {
      messages.error(format_message("Error: %s has no triangles", name.c_str()));
      return nullptr;
    }
    // The component with the most vertices (the first of them on a tie).
    size_t largest = 0;
    for (size_t k = 1; k < parts.size(); ++k)
      if (parts[k]->vertices.size() > parts[largest]->vertices.size()) largest = k;
    messages.status(
        format_message("taking the largest connected component: %zu of the %zu vertices, %zu of the %zu triangles "
                       "(%zu components)",
                       parts[largest]->vertices.size(), m->vertices.size(), parts[largest]->triangles.size(),
                       m->triangles.size(), parts.size()));
    m = std::move(parts[largest]);
  }
  if (!m->hasNormals()) {
    messages.status("computing normals...");
    m->normals = ply_compute_normals(*m, 0);
    messages.status("...done");
  }
  meshes.push_back(std::move(m));
  return meshes.back().get();
}

std::unique_ptr<GridContourTree> MainData::computeCtree() {
  auto result = std::make_unique<GridContourTree>();
  if (field3d) {
    messages.status("computing critical points,jtree and stree->..");
    MergeTreeOptions options;
    options.threads = dataset.threads;
    options.progress = &meter;
    const bool built = compute_grid_tree_in_units(*field3d, *result, options);
    if (!print_report(result->report, messages) || !built) return nullptr;
    messages.status("...done");
    lastLoad.mergeTrees += result->seconds_copy + result->seconds_merge;
    lastLoad.contourTree += result->seconds_contour;
    return result;
  }
  Clock clock;
  messages.status("computing critical points...");
  compute_critical_points(*field2d, result->vertices, meter);
  messages.status("...done");
  messages.status("computing jtree and stree->..");
  Report merging;
  const bool merged = compute_merge_trees(*field2d, result->vertices, result->join, result->split, merging, meter);
  if (!print_report(merging, messages) || !merged) return nullptr;
  messages.status("...done");
  result->critical_points = Size(result->vertices.size());
  lastLoad.mergeTrees += clock.lap();
  messages.status("computing multires contour tree...");
  Report building;
  const bool built = compute_multires_contour_tree(result->join, result->split, result->contour, building, meter);
  if (!print_report(building, messages) || !built) return nullptr;
  messages.status("...done");
  lastLoad.contourTree += clock.lap();
  return result;
}

// The finished form of a computed tree (made directly for grids).
static FlatTree finished_tree(GridContourTree& computed) {
  return computed.finished.empty() ? flatten(computed.contour) : std::move(computed.finished);
}

void MainData::describeField() {
  TreeDataCheck& c = fieldCheck;
  fieldExtrema = 0;
  if (field3d) {
    // The element type by the command line's word where it has one: the
    // tree of a uchar scan is the same file whether the scan came as
    // NIfTI, NRRD or raw with --datatype.
    const std::string word = command_line_type(dataset.grid.type);
    c = grid_data_check(*field3d, word.empty() ? dataset.grid.type : word);
  } else if (field2d) {
    c.source = mesh_source(*field2d, dataset.var);
    c.grid = nullptr;
    const Vertex& v0 = field2d->vertices.front();
    c.bounds = Box::at(v0.x, v0.y, v0.z);
    for (const Vertex& v : field2d->vertices) c.bounds.add(v.x, v.y, v.z);
  }
}

const FlatTree* MainData::readTree(const std::string& name, const char* what, bool laidOut) {
  messages.status(format_message("reading %s %s...", what, name.c_str()));
  auto tree = std::make_unique<FlatTree>();
  Report report;
  fieldCheck.fieldPositions = !laidOut;
  // A file is used only as the data's whole tree: one free end per minimum
  // and maximum, counted once for the step's tree and laid-out tree.
  if (!fieldExtrema) fieldExtrema = field3d ? count_extrema(*field3d) : field2d ? count_extrema(*field2d) : 0;
  fieldCheck.extrema = fieldExtrema;
  const bool read = read_multires_tree(name, *tree, true, report, meter, &fieldCheck);
  fieldCheck.extrema = 0;
  if (!print_report(report, messages) || !read) return nullptr;
  messages.status("...done");
  trees.push_back(std::move(tree));
  return trees.back().get();
}

const FlatTree* MainData::writeTree(const FlatTree& tree, const std::string& name, const char* what, bool laidOut) {
  messages.status(format_message("writing %s %s...", what, name.c_str()));
  // The tree as a read of the file gives it back is made while the file is
  // written, on a thread of its own when there are two; nothing of it is
  // used unless the file is.
  auto stored = std::make_unique<FlatTree>();
  fieldCheck.fieldPositions = !laidOut;
  Report writing, storing;
  bool written = false, asStored = false;
  const unsigned workers = worker_count(dataset.threads);
  run_tasks(2, workers, [&](unsigned task) {
    if (task == 0)
      written = write_multires_tree(name, WRITE_ASCII, tree, writing, &fieldCheck.source, std::max(1u, workers - 1));
    else
      asStored = tree_as_stored(name, WRITE_ASCII, tree, true, *stored, storing, &fieldCheck.source, &fieldCheck);
  });
  if (!print_report(writing, messages) || !written) return nullptr;
  messages.status("...done");
  if (!asStored) {
    if (!print_report(storing, messages)) return nullptr;
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
    messages.error(format_message("Error: time step %d is outside %d..%d", t, dataset.tmin, dataset.tmax));
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
    messages.status(format_message("error. can't open %s", data.c_str()));
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
    const Real* s = field3d ? field3d->spacing : dataset.grid.spacing;
    const Real* o = field3d ? field3d->origin : dataset.grid.origin;
    const Size* d = dataset.grid.dim;
    modelBox = TBox{float(o[0]), float(o[1]), float(o[2]), float(d[0] * s[0]), float(d[1] * s[1]), float(d[2] * s[2])};
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
  messages.status(format_message("Model box x1(%f %f %f) x2(%f %f %f)", modelBox.x, modelBox.y, modelBox.z,
                                 modelBox.x + modelBox.dx, modelBox.y + modelBox.dy, modelBox.z + modelBox.dz));
}

}  // namespace ctree
