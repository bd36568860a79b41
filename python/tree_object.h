#pragma once
// What orrery.ContourTree holds: a finished tree, the data it was computed
// from (shared with the trees simplified from it) and, per tree vertex, the
// data's own index of that vertex.

#include <memory>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "ctree/flat_tree.h"
#include "fields/grid_field.h"
#include "fields/mesh_field.h"

namespace orrery_py {

namespace py = pybind11;

// The Volume read from a file: the grid as the program holds it and the
// element type of the file (the command line's name).
struct Volume {
  std::shared_ptr<ctree::ScalarField3DGrid> grid;
  std::string type;
  std::string name;
  py::object values;  // the samples in the file's element type, made once
  // The grid's geometry as read (the grid's own is unit while a tree of it
  // is computed).
  double spacing[3] = {1, 1, 1}, origin[3] = {0, 0, 0};
};

struct ContourTree {
  std::shared_ptr<ctree::ScalarField3DGrid> grid;  // null for a mesh
  std::shared_ptr<ctree::ScalarField2D> mesh;      // null for a grid
  std::string type;                                // grid element type, as tree files record it
  std::shared_ptr<const ctree::FlatTree> tree;
  std::vector<ctree::Index> dataIndex;  // per tree vertex
  // Per branch its index in the tree this one was simplified from (empty
  // for a tree computed or read).
  std::vector<ctree::Index> origin;

  size_t size() const { return tree->branches.size(); }
  // The branch number b checked against the tree, else IndexError.
  size_t branch(long b) const;
  // The free end and the hanging end of branch b as data indices.
  ctree::Index end(size_t b, int k) const { return dataIndex[size_t(tree->branches[b].ends[k])]; }
};

// The structured array of the tree file's records plus i0 and i1.
py::array branch_records(const ContourTree& t, const ctree::FlatTree& positions);
// (birth, death) per branch, and the data index of each end.
py::tuple persistence_pairs(const ContourTree& t);
// Vertex indices of the tree's ends and their kinds ("minimum", "saddle",
// "maximum").
py::tuple critical_points(const ContourTree& t);
ContourTree simplify(const ContourTree& t, double minPersistence, long maxBranches);
py::array region(const ContourTree& t, long branch);
py::array segmentation(const ContourTree& t, double minPersistence);
void save_tree(const ContourTree& t, const std::string& path);
py::array layout(const ContourTree& t, double aspect, bool scale);

}  // namespace orrery_py
