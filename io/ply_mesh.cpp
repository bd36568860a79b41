#include "io/ply_mesh.h"

#include <algorithm>
#include <cassert>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <tuple>
#include <unordered_set>

#include "core/progress.h"
#include "io/ply.h"

namespace ctree {

int field_type_id(const std::string& w) {
  static const char* const words[] = {"", "char", "short", "int", "uchar", "ushort", "uint", "float", "double"};
  for (int t = 1; t <= 8; ++t)
    if (w == words[t]) return t;
  return 0;
}

void triangulate_face(const PlyFace& f, std::vector<Triangle>& out) {
  for (std::uint32_t k = 2; k < f.nverts; ++k) out.push_back(Triangle{{f.verts[0], f.verts[k - 1], f.verts[k]}});
}

void triangulate_strip(const PlyFace& s, std::vector<Triangle>& out) {
  bool even = true;
  for (std::uint32_t k = 2; k < s.nverts; ++k) {
    if (s.verts[k] == -1) {
      // A restart: the next triangle ends three places further on.
      k += 2;
      even = true;
      continue;
    }
    if (s.verts[k - 2] == -1 || s.verts[k - 1] == -1) continue;
    if (even)
      out.push_back(Triangle{{s.verts[k - 2], s.verts[k - 1], s.verts[k]}});
    else
      out.push_back(Triangle{{s.verts[k - 2], s.verts[k], s.verts[k - 1]}});
    even = !even;
  }
}

std::string vertex_problem(const Vertex& v) {
  const double p[3] = {v.x, v.y, v.z};
  for (int a = 0; a < 3; ++a)
    if (!std::isfinite(p[a]) || std::fabs(p[a]) > MAX_MESH_COORDINATE)
      return std::string("coordinate ") + "xyz"[a] + " is " + std::to_string(p[a]) +
             ", not a finite number within +-1e15 (isosurfaces and the spectrum compute in single precision)";
  if (!std::isfinite(v.field) || std::fabs(v.field) > MAX_FIELD_MAGNITUDE)
    return "the field value is " + std::to_string(v.field) +
           ", not a finite number within +-1e30 (isosurfaces and the spectrum compute in single precision)";
  return "";
}

size_t weld_coincident_vertices(ScalarField2D& field) {
  const size_t n = field.vertices.size();
  std::vector<Index> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = Index(i);
  auto key = [&](Index i) {
    const Vertex& v = field.vertices[size_t(i)];
    return std::make_tuple(v.field, v.z, v.y, v.x);
  };
  std::sort(order.begin(), order.end(),
            [&](Index a, Index b) { return key(a) < key(b) || (key(a) == key(b) && a < b); });
  // Each vertex to the lowest index of its group of twins.
  std::vector<Index> into(n);
  size_t welded = 0;
  for (size_t k = 0; k < n; ++k) {
    const bool twin = k > 0 && key(order[k - 1]) == key(order[k]);
    into[size_t(order[k])] = twin ? into[size_t(order[k - 1])] : order[k];
    welded += twin;
  }
  if (!welded) return 0;
  // The survivors keep their order; the copies go.
  std::vector<Index> renumber(n, NULL_INDEX);
  size_t kept = 0;
  for (size_t i = 0; i < n; ++i) {
    if (into[i] != Index(i)) continue;
    renumber[i] = Index(kept);
    field.vertices[kept] = field.vertices[i];
    if (field.hasNormals())
      for (int c = 0; c < 3; ++c) field.normals[kept * 3 + size_t(c)] = field.normals[i * 3 + size_t(c)];
    ++kept;
  }
  assert(kept + welded == n);
  field.vertices.resize(kept);
  if (field.hasNormals()) field.normals.resize(kept * 3);
  for (Triangle& t : field.triangles)
    for (int c = 0; c < 3; ++c) t[c] = renumber[size_t(into[size_t(t[c])])];
  return welded;
}

// What follows the last element read: "N more lines" of ASCII text that
// is not blank, or "N more bytes" of a binary file; "" when nothing.
static std::string unread_data(const PlyFile& ply) {
  if (ply.pos >= ply.data.size()) return "";
  if (ply.file_type != PLY_ASCII) return std::to_string(ply.data.size() - ply.pos) + " more bytes";
  size_t lines = 0;
  bool blank = true;
  for (size_t k = ply.pos; k < ply.data.size(); ++k) {
    const char c = char(ply.data[k]);
    if (c == '\n') {
      lines += !blank;
      blank = true;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      blank = false;
    }
  }
  lines += !blank;
  return lines ? std::to_string(lines) + " more line" + (lines == 1 ? "" : "s") : "";
}

static PlyProperty double_prop(const char* name, size_t offset) {
  PlyProperty p;
  p.name = name;
  p.file_type = p.memory_type = PLY_FLOAT64;
  p.offset = int(offset);
  return p;
}

// One pass over the vertices storing the given properties into records of
// the given stride.
static bool vertex_pass(PlyFile* ply, const std::vector<PlyProperty>& props, const char* label, unsigned char* base,
                        size_t stride, std::int64_t n, ProgressSink& prog) {
  if (!seek_element_ply(ply, "vertex") || !get_element_setup_ply(ply, "vertex", props)) return false;
  prog.init(label, Size(n));
  for (std::int64_t i = 0; i < n; ++i) {
    if (!get_element_ply(ply, base + size_t(i) * stride)) return false;
    prog.update(Index(i));
  }
  return true;
}

bool read_ply_field(const std::string& filename, const std::string& var, const std::string& data_type,
                    ScalarField2D& field, Report& report, ProgressSink& prog) {
  (void)field_type_id(data_type);  // the header's type governs the conversion
  PlyFile* ply = ply_open_for_report(filename, report);
  if (!ply) return false;
  std::int64_t nv = 0;
  std::vector<PlyProperty> vprops;
  if (!get_element_description_ply(ply, "vertex", nv, vprops)) return refuse_ply(ply, report, "no \"vertex\" element");
  if (nv > INT32_MAX) return refuse_ply(ply, report, "more vertices than 32-bit indices address");
  {
    bool has_var = false;
    for (const PlyProperty& p : vprops) has_var |= p.name == var && p.kind == PLY_SCALAR;
    if (!has_var)
      return refuse_ply(ply, report,
                        "the \"vertex\" element has no property \"" + var + "\" to take the field from (--var)");
  }
  field.init(size_t(nv), 0);
  auto* base = reinterpret_cast<unsigned char*>(field.vertices.data());
  if (!vertex_pass(ply, {double_prop(var.c_str(), offsetof(Vertex, field))}, "Reading field values", base,
                   sizeof(Vertex), nv, prog) ||
      !vertex_pass(ply,
                   {double_prop("x", offsetof(Vertex, x)), double_prop("y", offsetof(Vertex, y)),
                    double_prop("z", offsetof(Vertex, z))},
                   "Reading vertices", base, sizeof(Vertex), nv, prog))
    return refuse_ply(ply, report);
  for (std::int64_t i = 0; i < nv; ++i) {
    const std::string problem = vertex_problem(field.vertices[size_t(i)]);
    if (!problem.empty()) return refuse_ply(ply, report, "vertex " + std::to_string(i) + ": " + problem);
  }
  int normal_props = 0;
  for (const PlyProperty& p : vprops) normal_props += p.name == "nx" || p.name == "ny" || p.name == "nz";
  if (normal_props == 3) {
    field.normals.assign(size_t(nv) * 3, 0.0);
    if (!vertex_pass(ply, {double_prop("nx", 0), double_prop("ny", 8), double_prop("nz", 16)}, "Reading normals",
                     reinterpret_cast<unsigned char*>(field.normals.data()), 3 * sizeof(double), nv, prog))
      return refuse_ply(ply, report);
    for (size_t i = 0; i < field.normals.size(); ++i)
      if (!std::isfinite(field.normals[i]))
        return refuse_ply(ply, report, "vertex " + std::to_string(i / 3) + " has a normal that is not finite");
  } else {
    report.note("file PLY does not have normals per vertex");
  }

  std::int64_t nf = 0;
  std::vector<PlyProperty> fprops;
  const bool faces = get_element_description_ply(ply, "face", nf, fprops);
  if (!faces && !get_element_description_ply(ply, "tristrips", nf, fprops)) {
    report.note("can't find faces");
    return refuse_ply(ply, report, "no \"face\" or \"tristrips\" element");
  }
  const char* element = faces ? "face" : "tristrips";
  PlyProperty list;
  list.name = "vertex_indices";
  list.kind = PLY_LIST;
  list.file_type = list.memory_type = PLY_INT32;
  list.count_file_type = list.count_memory_type = PLY_UINT32;
  list.offset = int(offsetof(PlyFace, verts));
  list.count_offset = int(offsetof(PlyFace, nverts));
  bool has_list = false;
  for (const PlyProperty& p : fprops) has_list |= p.name == "vertex_indices" && p.kind == PLY_LIST;
  if (!has_list)
    return refuse_ply(ply, report, std::string("the \"") + element + "\" element has no \"vertex_indices\" list");
  if (!seek_element_ply(ply, element) || !get_element_setup_ply(ply, element, {list})) return refuse_ply(ply, report);
  field.triangles.clear();
  if (faces) field.triangles.reserve(size_t(nf));
  prog.init(faces ? "Reading polygonal faces (triangulation is supported)" : "Reading triangle strips", Size(nf));
  size_t short_faces = 0;
  for (std::int64_t i = 0; i < nf; ++i) {
    PlyFace f{0, nullptr};
    if (!get_element_ply(ply, &f)) return refuse_ply(ply, report);
    short_faces += faces && f.nverts < 3;
    for (std::uint32_t k = 0; k < f.nverts; ++k)
      if (f.verts[k] >= nv || f.verts[k] < (faces ? 0 : -1)) {
        const long bad = f.verts[k];
        std::free(f.verts);
        return refuse_ply(ply, report,
                          std::string(element) + " " + std::to_string(i) + " names vertex " + std::to_string(bad) +
                              " of " + std::to_string(nv));
      }
    if (faces)
      triangulate_face(f, field.triangles);
    else
      triangulate_strip(f, field.triangles);
    std::free(f.verts);
    prog.update(Index(i));
  }
  // Seams first: welding can make a triangle degenerate or a repeat.
  const size_t welded = weld_coincident_vertices(field);
  const TriangleCleanup dropped = drop_bad_triangles(field.triangles);
  report.take(ply->warnings);
  if (short_faces)
    report.warn("Warning: " + ply->filename + ": " + std::to_string(short_faces) + " face" +
                (short_faces == 1 ? "" : "s") + " with fewer than 3 corners dropped");
  if (ply->elements.back().name == element) {
    const std::string rest = unread_data(*ply);
    if (!rest.empty())
      report.warn("Warning: " + ply->filename + ": " + rest + " after the " + std::to_string(nf) + " " + element +
                  " the header announces, not read (does the header count them all?)");
  }
  if (welded)
    report.warn("Warning: " + ply->filename + ": " + std::to_string(welded) + " vert" + (welded == 1 ? "ex" : "ices") +
                " welded into another at the same point with the same value (a seam); the faces use the one left");
  if (dropped.repeated)
    report.warn("Warning: " + ply->filename + ": " + std::to_string(dropped.repeated) + " repeated triangle" +
                (dropped.repeated == 1 ? "" : "s") + " dropped (the same three vertices as an earlier one)");
  if (dropped.degenerate)
    report.warn("Warning: " + ply->filename + ": " + std::to_string(dropped.degenerate) + " triangle" +
                (dropped.degenerate == 1 ? "" : "s") + " with a repeated vertex dropped");
  delete ply;
  field.buildVertexTriangles();
  return true;
}

TriangleCleanup drop_bad_triangles(std::vector<Triangle>& triangles) {
  TriangleCleanup count;
  std::unordered_set<std::uint64_t> seen;  // the sorted corners, 21 bits each
  seen.reserve(triangles.size());
  size_t kept = 0;
  bool small = true;
  for (const Triangle& t : triangles)
    for (int c = 0; c < 3; ++c) small &= t[c] >= 0 && t[c] < (1 << 21);
  std::set<std::array<Index, 3>> seen_wide;
  for (const Triangle& t : triangles) {
    std::array<Index, 3> c = {t[0], t[1], t[2]};
    std::sort(c.begin(), c.end());
    if (c[0] == c[1] || c[1] == c[2]) {
      ++count.degenerate;
      continue;
    }
    const bool fresh =
        small ? seen.insert(std::uint64_t(c[0]) << 42 | std::uint64_t(c[1]) << 21 | std::uint64_t(c[2])).second
              : seen_wide.insert(c).second;
    if (!fresh) {
      ++count.repeated;
      continue;
    }
    triangles[kept++] = t;
  }
  triangles.resize(kept);
  return count;
}

}  // namespace ctree
