#include "tree_object.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ctree/branch_regions.h"
#include "ctree/simplified_tree.h"
#include "grid_arrays.h"
#include "io/tree_files.h"
#include "io/tree_source.h"
#include "layout/orrery_layout.h"

namespace orrery_py {

using ctree::Index;

size_t ContourTree::branch(long b) const {
  if (b < 0) b += long(size());
  if (b < 0 || size_t(b) >= size()) {
    PyErr_SetString(PyExc_IndexError,
                    ("branch " + std::to_string(b) + " of a tree of " + std::to_string(size()) + " branches").c_str());
    throw py::error_already_set();
  }
  return size_t(b);
}

namespace {
// One record of ContourTree.branches: the tree file's fields, then the
// data's indices of the two ends.
struct Record {
  std::int32_t v0;
  double x0, y0, z0, w0;
  std::int32_t v1;
  double x1, y1, z1, w1;
  double persist;
  std::int32_t parent;
  std::int64_t i0, i1;
};

py::dtype record_dtype() {
  py::list names, formats, offsets;
  auto field = [&](const char* name, const char* format, size_t offset) {
    names.append(name), formats.append(format), offsets.append(offset);
  };
  field("v0", "<i4", offsetof(Record, v0));
  field("x0", "<f8", offsetof(Record, x0));
  field("y0", "<f8", offsetof(Record, y0));
  field("z0", "<f8", offsetof(Record, z0));
  field("w0", "<f8", offsetof(Record, w0));
  field("v1", "<i4", offsetof(Record, v1));
  field("x1", "<f8", offsetof(Record, x1));
  field("y1", "<f8", offsetof(Record, y1));
  field("z1", "<f8", offsetof(Record, z1));
  field("w1", "<f8", offsetof(Record, w1));
  field("persist", "<f8", offsetof(Record, persist));
  field("parent", "<i4", offsetof(Record, parent));
  field("i0", "<i8", offsetof(Record, i0));
  field("i1", "<i8", offsetof(Record, i1));
  py::dict d;
  d["names"] = names, d["formats"] = formats, d["offsets"] = offsets, d["itemsize"] = sizeof(Record);
  return py::dtype::from_args(d);
}
}  // namespace

py::array branch_records(const ContourTree& t, const ctree::FlatTree& positions) {
  std::vector<ctree::PlyBranch> ply;
  ctree::get_branches(positions, ply);
  py::array out(record_dtype(), std::vector<py::ssize_t>{py::ssize_t(ply.size())});
  Record* r = static_cast<Record*>(out.mutable_data());
  for (size_t b = 0; b < ply.size(); ++b) {
    const ctree::PlyBranch& p = ply[b];
    r[b] = Record{p.v0, p.x0, p.y0, p.z0,      p.w0,     p.v1,        p.x1,
                  p.y1, p.z1, p.w1, p.persist, p.parent, t.end(b, 0), t.end(b, 1)};
  }
  return out;
}

py::tuple persistence_pairs(const ContourTree& t) {
  const ctree::FlatTree& tree = *t.tree;
  const py::ssize_t n = py::ssize_t(tree.branches.size());
  py::array_t<double> diagram({n, py::ssize_t(2)});
  py::array_t<std::int64_t> ends({n, py::ssize_t(2)});
  double* d = diagram.mutable_data();
  std::int64_t* e = ends.mutable_data();
  for (size_t b = 0; b < tree.branches.size(); ++b) {
    const ctree::FlatBranch& br = tree.branches[b];
    const Index lo = tree.lowerEnd(br), hi = tree.upperEnd(br);
    d[2 * b] = tree.vertices[size_t(lo)].field, d[2 * b + 1] = tree.vertices[size_t(hi)].field;
    e[2 * b] = t.dataIndex[size_t(lo)], e[2 * b + 1] = t.dataIndex[size_t(hi)];
  }
  return py::make_tuple(diagram, ends);
}

py::tuple critical_points(const ContourTree& t) {
  const ctree::FlatTree& tree = *t.tree;
  // A vertex where a branch hangs is a saddle; a free end is an extremum
  // on the side away from where its branch hangs (the root's two ends are
  // the global minimum and maximum).
  std::vector<int> kind(tree.vertices.size(), -2);
  for (size_t b = 0; b < tree.branches.size(); ++b) {
    const ctree::FlatBranch& br = tree.branches[b];
    const Index lo = tree.lowerEnd(br);
    if (b == 0) {
      kind[size_t(lo)] = -1, kind[size_t(tree.upperEnd(br))] = 1;
      continue;
    }
    if (kind[size_t(br.ends[0])] == -2) kind[size_t(br.ends[0])] = br.ends[0] == lo ? -1 : 1;
    kind[size_t(br.ends[1])] = 0;
  }
  std::vector<std::int64_t> index;
  std::vector<const char*> names;
  for (size_t v = 0; v < kind.size(); ++v)
    if (kind[v] != -2) {
      index.push_back(t.dataIndex[v]);
      names.push_back(kind[v] < 0 ? "minimum" : kind[v] == 0 ? "saddle" : "maximum");
    }
  py::array_t<std::int64_t> indices(py::ssize_t(index.size()));
  std::copy(index.begin(), index.end(), indices.mutable_data());
  py::list kinds;
  for (const char* k : names) kinds.append(k);
  return py::make_tuple(indices, py::module_::import("numpy").attr("array")(kinds, "U7"));
}

ContourTree simplify(const ContourTree& t, double minPersistence, long maxBranches) {
  if (maxBranches < 0) raise_value_error("max_branches must be positive, not " + std::to_string(maxBranches));
  ContourTree out = t;
  std::vector<Index> kept, from;
  out.tree = std::make_shared<ctree::FlatTree>(
      ctree::simplified_tree(*t.tree, minPersistence, ctree::Size(maxBranches), &kept, &from));
  out.dataIndex.resize(from.size());
  for (size_t v = 0; v < from.size(); ++v) out.dataIndex[v] = t.dataIndex[size_t(from[v])];
  // Indices into the tree first computed, whatever was simplified before.
  if (!t.origin.empty())
    for (Index& k : kept) k = t.origin[size_t(k)];
  out.origin = std::move(kept);
  return out;
}

static void need_grid(const ContourTree& t, const char* what) {
  if (!t.grid) raise_value_error(std::string(what) + " needs a tree of a grid, not of a mesh");
}

// A branch whose ends are two distinct grid points (always so for a tree
// computed or read with the grid's checks).
static void need_ends(const ContourTree& t, size_t b) {
  const ctree::Index e = t.end(b, 0), h = t.end(b, 1);
  if (e == ctree::NULL_INDEX || h == ctree::NULL_INDEX || (b > 0 && e == h))
    raise_value_error("branch " + std::to_string(b) + " does not end at two points of the grid");
}

static py::array_t<bool> grid_shaped_bools(const ctree::ScalarField3DGrid& g) {
  py::object zeros = py::module_::import("numpy").attr("zeros");
  return zeros(py::make_tuple(g.dim[2], g.dim[1], g.dim[0]), "bool");
}

py::array region(const ContourTree& t, long b) {
  need_grid(t, "region");
  const size_t k = t.branch(b);
  need_ends(t, k);
  py::array_t<bool> out = grid_shaped_bools(*t.grid);
  bool* mask = out.mutable_data();
  std::vector<Index> voxels;
  {
    py::gil_scoped_release released;
    voxels = ctree::branch_region(*t.grid, t.end(k, 0), k == 0 ? ctree::NULL_INDEX : t.end(k, 1));
  }
  for (Index v : voxels) mask[v] = true;
  return out;
}

py::array segmentation(const ContourTree& t, double minPersistence) {
  need_grid(t, "segmentation");
  std::vector<Index> kept, from;
  const ctree::FlatTree simple = ctree::simplified_tree(*t.tree, minPersistence, 0, &kept, &from);
  std::vector<Index> at(from.size());
  for (size_t v = 0; v < from.size(); ++v) at[v] = t.dataIndex[size_t(from[v])];
  for (size_t b = 0; b < simple.branches.size(); ++b) need_ends(t, size_t(kept[b]));
  const ctree::ScalarField3DGrid& g = *t.grid;
  py::array_t<std::int32_t> out({py::ssize_t(g.dim[2]), py::ssize_t(g.dim[1]), py::ssize_t(g.dim[0])});
  std::int32_t* labels = out.mutable_data();
  {
    py::gil_scoped_release released;
    const std::vector<std::int32_t> own = ctree::branch_segmentation(g, simple, at);
    // Labels name branches of this tree, not of the pruned one.
    for (size_t i = 0; i < own.size(); ++i) labels[i] = kept[size_t(own[i])];
  }
  return out;
}

void save_tree(const ContourTree& t, const std::string& path) {
  // The file library would add the ending: the file must be where it was asked for.
  if (path.size() < 4 || path.compare(path.size() - 4, 4, ".ply") != 0)
    raise_value_error(path + ": a tree file's name ends in .ply");
  const ctree::TreeSource source = t.grid ? ctree::grid_source(*t.grid, t.type) : ctree::mesh_source(*t.mesh, t.type);
  ctree::Report report;
  bool written;
  {
    py::gil_scoped_release released;
    written = ctree::write_multires_tree(path, ctree::WRITE_ASCII, *t.tree, report, &source);
  }
  if (!written) raise_os_error(report.error);
}

py::array layout(const ContourTree& t, double aspect, bool scale) {
  ctree::FlatTree laid = *t.tree;
  {
    py::gil_scoped_release released;
    ctree::layout_multires_tree(laid, aspect, scale);
  }
  return branch_records(t, laid);
}

}  // namespace orrery_py
