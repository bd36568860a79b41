#pragma once
// Contour-tree files (".ctree.ply", and ".ctreel.ply" for laid-out trees):
// one PLY element "branch" with twelve values per branch: both end
// vertices (index, x, y, z, field), the persistence and the index of the
// parent branch in the file (-1 for the root, which comes first).

#include <cstdint>
#include <string>
#include <vector>

#include "ctree/multires_tree.h"

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

// The records the writer writes, one per branch in list order.
void get_branches(const MultiresTree& tree, std::vector<PlyBranch>& out);

// Writes the tree; the file appears complete or not at all (written beside
// it and renamed into place). A name not ending in ".ply" gets it appended.
// false after a message naming the file.
bool write_multires_tree(const std::string& filename, WriteFormat format, const MultiresTree& tree);

// Reads a tree file into tree over vertices (sized 2 per branch when
// twoPerBranch, else branches + 1, when empty). Every record is checked: a
// parent must stand earlier in the file, vertex indices must fit the
// array, values must be finite, and a vertex must have the same position
// and value everywhere it appears. false after a message naming the file.
bool read_multires_tree(const std::string& filename, std::vector<Vertex>& vertices, MultiresTree& tree,
                        bool twoPerBranch);

// A copy of from over vertices of its own (two slots per branch), the same
// tree that writing it and reading it back gives: the records the writer
// writes, checked and built as the reader builds them. false after a message.
bool copy_multires_tree(const MultiresTree& from, std::vector<Vertex>& vertices, MultiresTree& to);

}  // namespace ctree
