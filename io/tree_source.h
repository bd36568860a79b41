#pragma once
// What a tree file was computed from, recorded in its header as one PLY
// comment line that other PLY readers skip:
//   comment orrery source grid 64 64 64 float range <min> <max> sum <hex>
//   comment orrery source mesh 9216 y range <min> <max> sum <hex>
// (a grid's size and element type, or a mesh's vertex count and the vertex
// property that is its field), the data's value range and a checksum of
// its values. A run compares the record with the data it loaded and
// refuses a tree file of other data.
//
// The checksum is a sum, modulo 2^64, of one mixed word per sample (its
// index and the bits of its value as a double): one pass over the values,
// and the same for any split of the samples into parts (threads, MPI
// ranks), since the parts' sums simply add.

#include <cstdint>
#include <string>

#include "core/types.h"
#include "fields/grid_field.h"
#include "fields/mesh_field.h"

namespace ctree {

struct TreeSource {
  bool mesh = false;
  std::uint64_t size[3] = {0, 0, 0};  // grid sizes; a mesh's vertex count in size[0]
  std::string type;                   // grid element type, or the mesh's field property
  double min = 0, max = 0;
  std::uint64_t sum = 0;
  bool operator==(const TreeSource& o) const;
  bool operator!=(const TreeSource& o) const { return !(*this == o); }
};

// The running checksum and range of a set of samples, in any order and any
// number of parts.
struct SourceDigest {
  double min = 0, max = 0;
  std::uint64_t sum = 0, count = 0;
  void add(std::uint64_t index, double value);
  void merge(const SourceDigest& other);
};

// The record of a grid read as the given element type; of a mesh whose
// field is the vertex property var.
TreeSource grid_source(const ScalarField3DGrid& grid, const std::string& type);
TreeSource mesh_source(const ScalarField2D& mesh, const std::string& var);

// The comment text ("orrery source ...") and back; parse gives false for a
// comment that is not a source record, or a damaged one (error says how).
std::string source_comment(const TreeSource& source);
bool parse_source_comment(const std::string& comment, TreeSource& source, std::string& error);
// Whether a comment claims to be a source record at all.
bool is_source_comment(const std::string& comment);

// For messages: "a 64 x 64 x 64 float grid with values 0 .. 1 (checksum 0123...)".
std::string describe_source(const TreeSource& source);

}  // namespace ctree
