// The Python module orrery: volumes, contour trees, feature regions,
// segmentations, persistence diagrams, isosurfaces and the contour
// spectrum over numpy arrays. Every entry converts its arguments, calls
// the libraries and converts the result; failures become ValueError
// (arrays and arguments) or OSError (files) carrying the libraries' words.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "contour/library.h"
#include "core/progress.h"
#include "core/threads.h"
#include "ctree/branch_regions.h"
#include "ctree/mesh_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "fields/extrema.h"
#include "fields/mesh_checks.h"
#include "fields/raw_reader.h"
#include "fields/volume_file.h"
#include "grid_arrays.h"
#include "io/tree_files.h"
#include "io/tree_source.h"
#include "tree_object.h"
#include "workspace/contour_data.h"
#include "workspace/grid_tree.h"

namespace py = pybind11;
using namespace orrery_py;

namespace {

// A progress sink that hands every step to a Python callable
// (label, done, total); called from any worker, so it takes the GIL.
class CallbackSink : public ctree::ProgressSink {
 public:
  explicit CallbackSink(py::object f) : f_(std::move(f)) {}
  void init(const std::string& label, ctree::Size total) override {
    std::lock_guard<std::mutex> lock(m_);
    label_ = label, total_ = total;
  }
  void update(ctree::Index k) override {
    std::lock_guard<std::mutex> lock(m_);
    py::gil_scoped_acquire gil;
    try {
      // Some loops count a step or two past the total they announced.
      f_(label_, std::min<ctree::Size>(ctree::Size(k) + 1, total_), total_);
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("orrery progress callback");
    }
  }

 private:
  py::object f_;
  std::mutex m_;
  std::string label_;
  ctree::Size total_ = 0;
};

// The sink progress= asks for: nothing, the console meter or a callback.
struct SinkChoice {
  std::unique_ptr<ctree::ProgressSink> owned;
  ctree::ProgressSink* sink = &ctree::no_progress();
  explicit SinkChoice(const py::object& progress) {
    if (progress.is_none() || (py::isinstance<py::bool_>(progress) && !progress.cast<bool>())) return;
    if (py::isinstance<py::bool_>(progress))
      owned = std::make_unique<ctree::Progress>(stdout);
    else if (PyCallable_Check(progress.ptr()))
      owned = std::make_unique<CallbackSink>(progress);
    else
      raise_value_error("progress must be True, False or a callable (label, done, total)");
    sink = owned.get();
  }
};

Volume read_volume(const std::string& path, const py::object& dim, const py::object& dtype, const py::object& swapbyte,
                   const py::object& spacing, const py::object& origin) {
  ctree::VolumeOptions options;
  if (!dim.is_none()) {
    double d[3];
    read_triple(dim, "dim", 0, d);
    for (int a = 0; a < 3; ++a) {
      if (d[a] < 1 || d[a] != double(ctree::Size(d[a]))) raise_value_error("dim must be three positive integers");
      options.dim[a] = ctree::Size(d[a]);
    }
    options.hasDim = true;
  }
  if (!dtype.is_none()) {
    std::string type;
    if (py::isinstance<py::str>(dtype)) type = dtype.cast<std::string>();
    // The command line's names, or anything numpy takes for a dtype.
    const std::string names = std::string("|") + ctree::data_type_names() + "|";
    if (type.empty() || names.find("|" + type + "|") == std::string::npos) {
      py::dtype d;
      try {
        d = py::dtype::from_args(dtype);
      } catch (py::error_already_set&) {
        raise_value_error("dtype " + py::str(dtype).cast<std::string>() + " is not an element type orrery reads");
      }
      type = command_line_type_of(d);
      if (type.empty())
        raise_value_error("dtype " + py::str(dtype).cast<std::string>() + " is not an element type orrery reads");
    }
    options.type = type;
    options.hasType = true;
  }
  if (!swapbyte.is_none()) {
    options.hasSwap = true;
    options.swap = swapbyte.cast<bool>();
  }
  if (!spacing.is_none()) {
    read_triple(spacing, "spacing", 1, options.spacing);
    options.hasSpacing = true;
  }
  if (!origin.is_none()) {
    read_triple(origin, "origin", 0, options.origin);
    options.hasOrigin = true;
  }
  ctree::VolumeHeader header;
  ctree::Report report;
  Volume v;
  v.grid = std::make_shared<ctree::ScalarField3DGrid>();
  v.name = path;
  bool read;
  {
    py::gil_scoped_release released;
    read = ctree::read_volume_header(path, options, header, report) &&
           ctree::read_volume(path, header, 0, *v.grid, report, ctree::no_progress());
  }
  if (!read) raise_os_error(report.error);
  const std::string fault = ctree::grid_value_fault(*v.grid);
  if (!fault.empty()) raise_value_error(path + ": " + fault);
  // As the program records it: the command line's name of the header's type.
  const std::string ours = ctree::command_line_type(header.type);
  v.type = ours.empty() ? header.type : ours;
  for (int a = 0; a < 3; ++a) v.spacing[a] = v.grid->spacing[a], v.origin[a] = v.grid->origin[a];
  const bool scaled = header.slope != 1 || header.inter != 0;
  v.values = array_of_grid(*v.grid, scaled ? py::dtype("float64") : dtype_of_command_line_type(ours));
  return v;
}

ContourTree tree_of_grid(std::shared_ptr<ctree::ScalarField3DGrid> grid, const std::string& type, unsigned threads,
                         const py::object& progress) {
  SinkChoice sink(progress);
  ctree::MergeTreeOptions options;
  options.threads = threads;
  options.progress = sink.owned ? sink.sink : nullptr;
  auto computed = std::make_unique<ctree::GridContourTree>();
  std::vector<ctree::Index> at;
  bool built;
  {
    py::gil_scoped_release released;
    built = ctree::compute_grid_tree_in_units(*grid, *computed, options);
    if (built) {
      if (computed->finished.empty()) computed->finished = ctree::flatten(computed->contour);
      at = ctree::tree_grid_indices(computed->finished, *grid);
    }
  }
  if (!built)
    raise_value_error(computed->report.error.empty() ? "the contour tree could not be computed"
                                                     : computed->report.error);
  ContourTree t;
  t.grid = std::move(grid);
  t.type = type;
  t.tree = std::make_shared<ctree::FlatTree>(std::move(computed->finished));
  t.dataIndex = std::move(at);
  return t;
}

// The grid of a Volume or of an array, with the spacing and origin given.
std::shared_ptr<ctree::ScalarField3DGrid> grid_of(const py::object& data, const py::object& spacing,
                                                  const py::object& origin, std::string& type) {
  if (py::isinstance<Volume>(data)) {
    const Volume& v = data.cast<const Volume&>();
    double s[3], o[3];
    const double* vs = v.spacing;
    const double* vo = v.origin;
    read_triple(spacing, "spacing", 0, s);
    read_triple(origin, "origin", 0, o);
    for (int a = 0; a < 3; ++a) {
      if (!spacing.is_none() && s[a] != vs[a])
        raise_value_error("spacing (" + std::to_string(s[0]) + ", " + std::to_string(s[1]) + ", " +
                          std::to_string(s[2]) + ") differs from the spacing of " + v.name + " (" +
                          std::to_string(vs[0]) + ", " + std::to_string(vs[1]) + ", " + std::to_string(vs[2]) + ")");
      if (!origin.is_none() && o[a] != vo[a]) raise_value_error("origin differs from the origin of " + v.name);
    }
    type = v.type;
    return v.grid;
  }
  if (py::isinstance<py::str>(data) || py::isinstance<py::bytes>(data))
    raise_value_error("contour_tree takes an array or a Volume; read a file with orrery.read_volume");
  py::array values;
  try {
    values = py::array::ensure(data);
  } catch (py::error_already_set&) {
  }
  if (!values) raise_value_error("values must be a numpy array or a Volume");
  double s[3], o[3];
  read_triple(spacing, "spacing", 1, s);
  read_triple(origin, "origin", 0, o);
  return grid_of_array(values, s, o, type);
}

ContourTree contour_tree(const py::object& data, const py::object& spacing, const py::object& origin, int threads,
                         const py::object& progress) {
  if (threads < 0) raise_value_error("threads must be 0 (every core) or more");
  std::string type;
  auto grid = grid_of(data, spacing, origin, type);
  return tree_of_grid(std::move(grid), type, unsigned(threads), progress);
}

ContourTree load_tree(const std::string& path, const py::object& data) {
  std::string type;
  auto grid = grid_of(data, py::none(), py::none(), type);
  auto tree = std::make_shared<ctree::FlatTree>();
  std::vector<ctree::Index> at;
  ctree::Report report;
  bool read;
  {
    py::gil_scoped_release released;
    ctree::TreeDataCheck check = ctree::grid_data_check(*grid, type);
    // Only the grid's whole tree: one free end per minimum and maximum.
    check.extrema = ctree::count_extrema(*grid);
    read = ctree::read_multires_tree(path, *tree, true, report, ctree::no_progress(), &check);
    if (read) at = ctree::tree_grid_indices(*tree, *grid);
  }
  if (!read) raise_os_error(report.error);
  ContourTree t;
  t.grid = std::move(grid);
  t.type = type;
  t.tree = tree;
  t.dataIndex = std::move(at);
  return t;
}

// The contour tree of a triangle mesh: vertices (n, 3) positions, faces
// (m, 3) vertex numbers, values (n) the field. The mesh must be one
// edge-connected piece with every vertex in a triangle, as the program
// checks a PLY mesh.
ContourTree mesh_contour_tree(const py::array_t<double, py::array::forcecast>& vertices,
                              const py::array_t<std::int64_t, py::array::forcecast>& faces,
                              const py::array_t<double, py::array::forcecast>& values) {
  if (vertices.ndim() != 2 || vertices.shape(1) != 3) raise_value_error("vertices must be an (n, 3) array");
  if (faces.ndim() != 2 || faces.shape(1) != 3) raise_value_error("faces must be an (m, 3) array of vertex numbers");
  const py::ssize_t n = vertices.shape(0), m = faces.shape(0);
  if (values.ndim() != 1 || values.shape(0) != n)
    raise_value_error("values must hold one number per vertex: " + std::to_string(n));
  if (m == 0) raise_value_error("the mesh has no triangles");
  if (n > py::ssize_t(std::numeric_limits<ctree::Index>::max()) ||
      m > py::ssize_t(std::numeric_limits<ctree::Index>::max()))
    raise_value_error("the mesh is too large for 32-bit vertex numbers");
  auto mesh = std::make_shared<ctree::ScalarField2D>();
  mesh->init((unsigned long)n, (unsigned long)m);
  auto p = vertices.unchecked<2>();
  auto f = values.unchecked<1>();
  for (py::ssize_t i = 0; i < n; ++i) {
    ctree::Vertex& v = mesh->vertices[size_t(i)];
    v.x = p(i, 0), v.y = p(i, 1), v.z = p(i, 2), v.field = f(i);
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z) || !std::isfinite(v.field))
      raise_value_error("vertex " + std::to_string(i) + " has a number that is not finite");
  }
  auto t = faces.unchecked<2>();
  for (py::ssize_t k = 0; k < m; ++k)
    for (int c = 0; c < 3; ++c) {
      if (t(k, c) < 0 || t(k, c) >= n)
        raise_value_error("face " + std::to_string(k) + " names vertex " + std::to_string(t(k, c)) + " of " +
                          std::to_string(n));
      mesh->triangles[size_t(k)][c] = ctree::Index(t(k, c));
    }
  mesh->buildVertexTriangles();
  ctree::Report report;
  if (!ctree::ply_checkmesh(mesh.get(), report)) {
    std::string why = report.error;
    for (const std::string& w : report.warnings) why += (why.empty() ? "" : "; ") + w;
    for (const std::string& w : report.notes) why += (why.empty() ? "" : "; ") + w;
    raise_value_error("the mesh is not one surface of triangles: " + why);
  }
  // Tree vertices are copies of the mesh's records: found back by them.
  std::map<std::array<double, 4>, ctree::Index> number;
  for (py::ssize_t i = n; i-- > 0;) {
    const ctree::Vertex& v = mesh->vertices[size_t(i)];
    number[{v.field, v.z, v.y, v.x}] = ctree::Index(i);
  }
  auto computed = std::make_unique<ctree::GridContourTree>();
  bool built;
  {
    py::gil_scoped_release released;
    ctree::compute_critical_points(*mesh, computed->vertices, ctree::no_progress());
    built = ctree::compute_merge_trees(*mesh, computed->vertices, computed->join, computed->split, report,
                                       ctree::no_progress()) &&
            ctree::compute_multires_contour_tree(computed->join, computed->split, computed->contour, report,
                                                 ctree::no_progress());
  }
  if (!built) raise_value_error(report.error.empty() ? "the contour tree could not be computed" : report.error);
  ContourTree out;
  out.mesh = mesh;
  out.type = "field";
  out.tree = std::make_shared<ctree::FlatTree>(ctree::flatten(computed->contour));
  for (const ctree::Vertex& v : out.tree->vertices) {
    const auto it = number.find({v.field, v.z, v.y, v.x});
    out.dataIndex.push_back(it == number.end() ? ctree::NULL_INDEX : it->second);
  }
  return out;
}

// The whole-grid surface of the contour library: the marching-cubes
// triangles the windows draw, or with tetrahedra=True the level set over
// the grid's tetrahedral split, whose pieces are the contour tree's arcs.
py::tuple isosurface(const py::object& data, double isovalue, const py::object& spacing, const py::object& origin,
                     bool tetrahedra, int threads) {
  if (!std::isfinite(isovalue)) raise_value_error("the isovalue must be a finite number");
  std::string type;
  auto grid = grid_of(data, spacing, origin, type);
  contour::Isosurface surface;
  ctree::Report report;
  bool made;
  {
    py::gil_scoped_release released;
    contour::IsosurfaceOptions options;
    options.threads = int(ctree::worker_count(unsigned(std::max(threads, 0))));
    options.normals = false;
    made = contour::grid_isosurface(*grid, float(isovalue),
                                    tetrahedra ? contour::CellSplit::tetrahedra : contour::CellSplit::cubes, options,
                                    surface, report);
  }
  if (!made) raise_value_error(report.error);
  const py::ssize_t nv = surface.vertexCount(), nt = surface.triangleCount();
  py::array_t<float> vertices({nv, py::ssize_t(3)});
  py::array_t<std::int32_t> triangles({nt, py::ssize_t(3)});
  if (nv) std::memcpy(vertices.mutable_data(), surface.vertices.data(), size_t(nv) * 3 * sizeof(float));
  if (nt) std::memcpy(triangles.mutable_data(), surface.triangles.data(), size_t(nt) * 3 * sizeof(std::int32_t));
  return py::make_tuple(vertices, triangles);
}

py::dict spectrum(const py::object& data, int samples, int threads) {
  if (samples < 2) raise_value_error("samples must be at least 2, not " + std::to_string(samples));
  std::string type;
  auto grid = grid_of(data, py::none(), py::none(), type);
  contour::DatasetHandle ds;
  contour::Signature* signatures = nullptr;
  int count = 0;
  {
    py::gil_scoped_release released;
    ds = ctree::ContourData::getDataset3d(*grid);
    if (ds) {
      ds->samples = samples;
      ds->threads = int(ctree::worker_count(unsigned(threads)));
      signatures = contour::getSignatureFunctions(ds.get(), 0, 0);
      count = contour::getNumberOfSignatures(ds.get());
    }
  }
  if (!signatures) raise_value_error("the contour spectrum could not be computed");
  py::dict out;
  for (int k = 0; k < count; ++k) {
    const contour::Signature& s = signatures[k];
    py::array_t<float> fx(py::ssize_t(s.fx.size())), fy(py::ssize_t(s.fy.size()));
    std::copy(s.fx.begin(), s.fx.end(), fx.mutable_data());
    std::copy(s.fy.begin(), s.fy.end(), fy.mutable_data());
    out[py::str(s.name)] = py::make_tuple(fx, fy);
  }
  return out;
}

}  // namespace

PYBIND11_MODULE(orrery, m) {
  m.doc() = "Contour trees, feature regions, segmentations, persistence diagrams and isosurfaces of volumes.";

  py::class_<Volume>(m, "Volume", "A volume read from a file.")
      .def_property_readonly(
          "values", [](const Volume& v) { return v.values; },
          "The samples as a [z, y, x] array of the file's element type.")
      .def_property_readonly(
          "spacing", [](const Volume& v) { return py::make_tuple(v.spacing[0], v.spacing[1], v.spacing[2]); },
          "Length of a step along x, y, z.")
      .def_property_readonly(
          "origin", [](const Volume& v) { return py::make_tuple(v.origin[0], v.origin[1], v.origin[2]); },
          "Position (x, y, z) of the voxel [0, 0, 0].")
      .def_property_readonly(
          "shape", [](const Volume& v) { return py::make_tuple(v.grid->dim[2], v.grid->dim[1], v.grid->dim[0]); })
      .def_property_readonly(
          "dtype", [](const Volume& v) { return v.type; }, "The element type as the command line names it.")
      .def_property_readonly("path", [](const Volume& v) { return v.name; })
      .def("__repr__", [](const Volume& v) {
        return "<orrery.Volume " + v.name + ": " + std::to_string(v.grid->dim[0]) + " x " +
               std::to_string(v.grid->dim[1]) + " x " + std::to_string(v.grid->dim[2]) + " " + v.type + ">";
      });

  py::class_<ContourTree>(m, "ContourTree", "The contour tree of a field, as a hierarchy of branches.")
      .def("__len__", &ContourTree::size)
      .def_property_readonly(
          "branches", [](const ContourTree& t) { return branch_records(t, *t.tree); },
          "One record per branch, root first: the tree file's fields v0 .. parent, plus i0 and "
          "i1, the data's index of each end (x + nx*(y + ny*z) for a grid).")
      .def("critical_points", &critical_points, "(indices, kinds) of the tree's vertices.")
      .def("pairs", &persistence_pairs,
           "(diagram, ends): (birth, death) per branch, the lower and upper value, and the data index of each.")
      .def(
          "simplify",
          [](const ContourTree& t, const py::object& minp, const py::object& maxb) {
            return simplify(t, minp.is_none() ? 0.0 : minp.cast<double>(), maxb.is_none() ? 0 : maxb.cast<long>());
          },
          py::arg("min_persistence") = py::none(), py::arg("max_branches") = py::none(),
          "The branches with persistence at least min_persistence, the first max_branches of them.")
      .def_property_readonly(
          "source_branches",
          [](const ContourTree& t) {
            py::array_t<std::int32_t> a(py::ssize_t(t.origin.size()));
            std::copy(t.origin.begin(), t.origin.end(), a.mutable_data());
            return a;
          },
          "Per branch of a simplified tree its index in the tree it was simplified from.")
      .def("region", &region, py::arg("branch"),
           "A boolean array of the field's shape: the voxels of the feature the branch bounds.")
      .def("segmentation", &segmentation, py::arg("min_persistence") = 0.0,
           "An int32 array of the field's shape: each voxel's branch (an index into branches).")
      .def("save", &save_tree, py::arg("path"), "Writes the tree file --ct writes.")
      .def("layout", &layout, py::arg("aspect") = 1.0, py::arg("scale") = true,
           "The branches at their positions in the orrery layout (what --ctl stores).")
      .def("__repr__",
           [](const ContourTree& t) { return "<orrery.ContourTree of " + std::to_string(t.size()) + " branches>"; });

  m.def("read_volume", &read_volume, py::arg("path"), py::arg("dim") = py::none(), py::arg("dtype") = py::none(),
        py::arg("swapbyte") = py::none(), py::arg("spacing") = py::none(), py::arg("origin") = py::none(),
        "Reads a volume file in any format --data reads.");
  m.def("contour_tree", &contour_tree, py::arg("values"), py::arg("spacing") = py::none(),
        py::arg("origin") = py::none(), py::arg("threads") = 0, py::arg("progress") = py::none(),
        "The contour tree of a 3-D array indexed [z, y, x] or of a Volume.");
  m.def("mesh_contour_tree", &mesh_contour_tree, py::arg("vertices"), py::arg("faces"), py::arg("values"),
        "The contour tree of a triangle mesh: (n, 3) positions, (m, 3) vertex numbers, n values.");
  m.def("load_tree", &load_tree, py::arg("path"), py::arg("volume"),
        "Reads a tree file, checked against the data it belongs to.");
  m.def("isosurface", &isosurface, py::arg("values"), py::arg("isovalue"), py::arg("spacing") = py::none(),
        py::arg("origin") = py::none(), py::arg("tetrahedra") = false, py::arg("threads") = 0,
        "(vertices (n, 3) float32 in the scan's units, columns x, y, z; triangles (m, 3) int32) of the isosurface.\n"
        "tetrahedra=False: the marching-cubes surface the windows draw; True: the level set over the grid's\n"
        "tetrahedral split, whose connected pieces are the contour tree's arcs crossing the isovalue.");
  m.def("spectrum", &spectrum, py::arg("values"), py::arg("samples") = 64, py::arg("threads") = 0,
        "The contour spectrum: {name: (isovalues, values)} per signature function.");
}
