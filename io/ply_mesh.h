#pragma once
// Triangle meshes from PLY files as mesh scalar fields.

#include <string>
#include <vector>

#include "core/progress.h"
#include "core/report.h"
#include "fields/mesh_field.h"
#include "fields/value_limits.h"

namespace ctree {

// The in-memory record of one "face" or "tristrips" instance.
struct PlyFace {
  std::uint32_t nverts;
  std::int32_t* verts;
};

// Reads the mesh of a PLY file into field: positions, the vertex property
// named var as the field value (normally a coordinate), normals when the
// file has nx, ny, nz, and triangles from polygonal faces (cut into fans)
// or triangle strips. data_type is the --datatype word (recorded only: the
// header's types govern conversion). false with report's error naming the
// file (unreadable header, no vertices, no property var, no faces, indices
// out of range, vertex_problem, normals that are not finite). Faces of
// fewer than 3 corners are dropped, and data after the
// faces the header counts is left, each with a warning that counts them.
// Vertices at one point with one value are welded (weld_coincident_vertices),
// with a warning that counts them.
// Triangles with a repeated corner and triangles on the same three vertices
// as an earlier one are dropped (drop_bad_triangles), with one warning in
// report per kind that counts them. progress: told of each pass over the
// vertices and of the faces.
bool read_ply_field(const std::string& filename, const std::string& var, const std::string& data_type,
                    ScalarField2D& field, Report& report, ProgressSink& progress);

// Why a mesh vertex cannot be used (a coordinate or the value not finite
// or beyond fields/value_limits.h), or "".
std::string vertex_problem(const Vertex& v);

// Welds every vertex that shares its point and value with a vertex of
// lower index into that one (a seam lists such a vertex once per side):
// the copies are removed, the rest keep their order, triangles (and
// normals) follow. Returns how many copies went. Afterwards no two vertices
// have one key, so the sweep order is total. Cost: one sort of the vertices.
size_t weld_coincident_vertices(ScalarField2D& field);

// PLY type code of a type word: "float" 7, "double" 8, "int" 3, "uint" 6,
// "char" 1, "uchar" 4, "short" 2, "ushort" 5, anything else 0.
int field_type_id(const std::string& word);

// Appends the fan triangles (i0, i(k-1), ik) of a face.
void triangulate_face(const PlyFace& face, std::vector<Triangle>& out);

// Appends the triangles of a strip; -1 restarts the strip.
void triangulate_strip(const PlyFace& strip, std::vector<Triangle>& out);

// Removes, keeping the order of the rest, every triangle with a repeated
// corner and every triangle whose three corners (in any order or
// orientation) an earlier triangle has: such faces would count their
// edges twice in the vertex links. Returns how many of each went.
struct TriangleCleanup {
  size_t repeated = 0, degenerate = 0;
};
TriangleCleanup drop_bad_triangles(std::vector<Triangle>& triangles);

}  // namespace ctree
