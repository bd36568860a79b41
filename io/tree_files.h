#pragma once
// Contour-tree files (".ctree.ply", and ".ctreel.ply" for laid-out trees):
// one PLY element "branch" with twelve values per branch: both end
// vertices (index, x, y, z, field), the persistence and the index of the
// parent branch in the file (-1 for the root, which comes first).

#include <cstdint>
#include <string>
#include <vector>

#include "core/box.h"
#include "core/progress.h"
#include "core/report.h"
#include "ctree/flat_tree.h"
#include "io/tree_source.h"

namespace ctree {

struct PlyBranch {
  std::int32_t v0;
  double x0, y0, z0, w0;
  std::int32_t v1;
  double x1, y1, z1, w1;
  double persist;
  std::int32_t parent;
};

enum WriteFormat { WRITE_ASCII = 0, WRITE_BINARY_BIG_ENDIAN = 1, WRITE_BINARY_LITTLE_ENDIAN = 2 };

// The records the writer writes, one per branch in order.
void get_branches(const FlatTree& tree, std::vector<PlyBranch>& out);

// Writes the tree; the file appears complete or not at all (written beside
// it and renamed into place). A name not ending in ".ply" gets it appended;
// temporary files of that name left by writers that were killed are
// removed first. source: what the tree was computed from, recorded in the
// header (tree_source.h). threads: workers formatting the records (0:
// every core); the bytes are the same for every count. false with
// report's error naming the file.
bool write_multires_tree(const std::string& filename, WriteFormat format, const FlatTree& tree, Report& report,
                         const TreeSource* source = nullptr, unsigned threads = 0);

// The data a run loaded, for the reader to tell whether a tree file
// belongs to it.
struct TreeDataCheck {
  TreeSource source;
  // The box of the data's vertex positions; a contour tree's vertices lie
  // in it (a laid-out tree's positions are its own: fieldPositions false).
  Box bounds;
  bool fieldPositions = true;
  // The grid itself, when the data is one: a contour tree's vertices stand
  // on its points and carry their values.
  const ScalarField3DGrid* grid = nullptr;
  // The data's minima and maxima (fields/extrema.h), the free ends its
  // whole tree has: a file of another count (a tree cut short) is refused.
  // 0: not counted, not checked.
  std::uint64_t extrema = 0;
};

// The check of grid's tree files: the source record of grid with element
// type `type` (the command line's word where it has one), the grid, and
// the box of its points. extrema stays 0: counting costs a pass over the
// grid, left to the caller that reads a file (fields/extrema.h).
TreeDataCheck grid_data_check(const ScalarField3DGrid& grid, const std::string& type);

// Reads a tree file into tree, over vertex slots of its own: 2 per branch
// when twoPerBranch, else branches + 1. Every record is checked: a parent
// must stand earlier in the file, vertex indices must fit the slots,
// values must be finite, and a vertex must have the same position and
// value everywhere it appears; then the rules of tree_rules.h. With data,
// the file's source record must match data.source; a file without one is
// checked as far as the data allows (vertex indices within its vertex
// count, values within its range, positions within its box, and on a
// grid, each vertex on a grid point with that point's value). false with
// report's error naming the file (and the branch) and saying that deleting
// it has the tree computed again; tree is then unchanged.
bool read_multires_tree(const std::string& filename, FlatTree& tree, bool twoPerBranch, Report& report,
                        ProgressSink& progress = no_progress(), const TreeDataCheck* data = nullptr);

// The tree read_multires_tree(filename, ..., twoPerBranch) gives after
// write_multires_tree(filename, format, tree, source) has succeeded (with
// the same data check), made from memory: the numbers are written so that they read back exactly (the
// shortest text that parses to the same double, or the bytes), so a read
// would parse the very values tree holds. false without a word when the
// name does not end in ".ply" (the writer wrote another name; only a read
// tells what this one holds), or with report's error as the read would
// set it when the tree breaks a rule of the files.
bool tree_as_stored(const std::string& filename, WriteFormat format, const FlatTree& tree, bool twoPerBranch,
                    FlatTree& stored, Report& report, const TreeSource* source = nullptr,
                    const TreeDataCheck* data = nullptr);

// The tree that records describe, checked as the reader checks a file:
// the records themselves, the tree rules, then (when given) the data, the
// rules exact when the file has a source record. records are freed before
// the tree's lists are made, as at millions of branches they are its
// largest block. The reason for refusing them, or "" when tree is built.
std::string build_flat_tree(std::vector<PlyBranch>& records, bool twoPerBranch, const TreeSource* recorded,
                            const TreeDataCheck* data, FlatTree& tree);

}  // namespace ctree
