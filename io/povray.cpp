#include "io/povray.h"

#include "core/whole_file.h"
#include "fields/mesh_checks.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace ctree {

// An export is written whole or not at all (core/whole_file.h).
static std::FILE* open_export(WholeFile& file, const std::string& name, Report& report) {
  std::string reason;
  if (!file.open(name, reason)) {
    report.fail("Error in creating export file " + name + ": " + reason);
    return nullptr;
  }
  return file.stream();
}

static bool close_export(WholeFile& file, const std::string& name, Report& report) {
  std::string reason;
  if (!file.commit(reason)) {
    report.fail("Error writing export file " + name + ": " + reason);
    return false;
  }
  return true;
}

// "<x,y,z>" with every coordinate rounded to single precision.
static void point(std::FILE* f, double x, double y, double z) {
  std::fprintf(f, "<%e,%e,%e>", double(float(x)), double(float(y)), double(float(z)));
}

// The text point() writes.
static std::string point_text(double x, double y, double z) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "<%e,%e,%e>", double(float(x)), double(float(y)), double(float(z)));
  return buf;
}

bool mesh2povray(const std::string& filename, const ScalarField2D& m, Report& report) {
  // A mesh without normals gets them computed for the export.
  const std::vector<Real> computed = m.hasNormals() ? std::vector<Real>() : ply_compute_normals(m, 0);
  const std::vector<Real>& normals = m.hasNormals() ? m.normals : computed;
  WholeFile file;
  std::FILE* f = open_export(file, filename, report);
  if (!f) return false;
  std::fputs("union{\n", f);
  for (const Triangle& t : m.triangles) {
    // Two corners at one point (as written) make a triangle POV-Ray asks
    // to remove: it has no area to draw.
    std::string corner[3];
    for (int c = 0; c < 3; ++c) {
      const Vertex& v = m.vertices[size_t(t[c])];
      corner[c] = point_text(v.x, v.y, v.z);
    }
    if (corner[0] == corner[1] || corner[1] == corner[2] || corner[0] == corner[2]) continue;
    std::fputs("  smooth_triangle{", f);
    for (int c = 0; c < 3; ++c) {
      const Real* n = &normals[size_t(t[c]) * 3];
      std::fputs(corner[c].c_str(), f);
      std::fputc(',', f);
      point(f, -n[0], -n[1], -n[2]);
      if (c < 2) std::fputc(',', f);
    }
    std::fputs("}\n", f);
  }
  std::fputs("\n\n}\n\n", f);
  return close_export(file, filename, report);
}

// POV-Ray refuses a cylinder whose ends are one point ("Degenerate
// cylinder"), as written: two saddles at one height of a laid-out branch
// give one. Such a cylinder has nothing to draw and is left out.
static void cylinder(std::FILE* f, const Vertex& a, const Vertex& b, const char* radius_and_texture) {
  const std::string from = point_text(a.x, a.y, a.z), to = point_text(b.x, b.y, b.z);
  if (from == to) return;
  std::fprintf(f, "cylinder {%s, %s, %s} \n", from.c_str(), to.c_str(), radius_and_texture);
}

// A minimum (no arc below) gets a red sphere, a maximum a blue one. A
// vertex where a branch hangs from its parent is a saddle: the parent has
// no end there, only the child's hanging end marks it.
static void mark(std::FILE* f, const FlatTree& t, Index v) {
  bool below = false, above = false;
  for (Index e : t.endsAt(v)) {
    const FlatBranch& b = t.branches[size_t(e / 2)];
    if (b.parent != NULL_INDEX && e % 2 == 1) {
      below = above = true;
      continue;
    }
    if (t.upperEnd(b) == v) below = true;
    if (t.lowerEnd(b) == v) above = true;
  }
  const char* colour = !below ? "Red" : !above ? "Blue" : nullptr;
  if (!colour) return;
  const Vertex& p = t.vertices[size_t(v)];
  std::fputs("object { sphere { ", f);
  point(f, p.x, p.y, p.z);
  std::fprintf(f, ", sphereradius } texture {pigment { color %s } } }\n", colour);
}

bool ctree2povray(const std::string& filename, const FlatTree& t, float threshold, const float* box, Report& report) {
  WholeFile file;
  std::FILE* f = open_export(file, filename, report);
  if (!f) return false;
  std::fputs("union{\n", f);
  if (threshold > 0 && box) {
    const float x0 = box[0], y0 = box[1], z0 = box[2], x1 = x0 + box[3], y1 = y0 + box[4], z1 = z0 + box[5];
    const float corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (float z : {z0, z1})
      for (int k = 0; k < 4; ++k) {
        const float* a = corners[k];
        const float* b = corners[(k + 1) % 4];
        cylinder(f, Vertex{a[0], a[1], z, 0}, Vertex{b[0], b[1], z, 0},
                 "cylradius*0.5 texture {pigment { color Yellow } }");
      }
    for (const auto& c : corners)
      cylinder(f, Vertex{c[0], c[1], z0, 0}, Vertex{c[0], c[1], z1, 0},
               "cylradius*0.5 texture {pigment { color Yellow } }");
  }
  for (size_t i = 0; i < t.branches.size(); ++i) {
    const FlatBranch& b = t.branches[i];
    bool draw = b.persistence >= threshold;
    if (!draw && box) {
      draw = true;
      for (int a = 0; a < 3; ++a) draw = draw && b.box.min[a] <= box[a] + box[a + 3] && b.box.max[a] >= box[a];
    }
    if (!draw) continue;
    const Index lo = t.lowerEnd(b), hi = t.upperEnd(b);
    mark(f, t, lo);
    const Vertex* prev = &t.vertices[size_t(lo)];
    for (Index u : t.attachments(Index(i))) {
      const Vertex& v = t.vertices[size_t(u)];
      cylinder(f, *prev, v, "cylradius");
      std::fputs("object { sphere { ", f);
      point(f, v.x, v.y, v.z);
      std::fputs(", saddleradius } texture {pigment { color Gray } } }\n", f);
      prev = &v;
    }
    cylinder(f, *prev, t.vertices[size_t(hi)], "cylradius");
    mark(f, t, hi);
  }
  std::fputs("\n\n}\n\n", f);
  return close_export(file, filename, report);
}

// The include of a fragment written beside the scene: by its own name when
// POV-Ray runs in the scene's folder, else by its path from the folder the
// program ran in.
static std::string include_either(const std::string& path) {
  const std::string leaf = path.substr(path.rfind('/') + 1);
  if (leaf == path) return "#include \"" + path + "\"";
  return "#if (file_exists(\"" + leaf + "\")) #include \"" + leaf + "\" #else #include \"" + path + "\" #end";
}

bool write_povray_scene(const std::string& filename, const std::string& mesh_fragment, const std::string& tree_fragment,
                        const float lo[3], const float hi[3], int up, Report& report) {
  WholeFile file;
  std::FILE* f = open_export(file, filename, report);
  if (!f) return false;
  float centre[3], size = 0;
  for (int a = 0; a < 3; ++a) {
    centre[a] = 0.5f * (lo[a] + hi[a]);
    size = std::fmax(size, hi[a] - lo[a]);
  }
  if (!(size > 0)) size = 1;
  // The camera stands off to one side and above, along the up axis.
  const int s1 = (up + 1) % 3, s2 = (up + 2) % 3;
  float eye[3], light[3], sky[3] = {0, 0, 0};
  eye[s1] = centre[s1] + 1.5f * size;
  eye[s2] = centre[s2] - 1.5f * size;
  eye[up] = centre[up] + 1.0f * size;
  light[s1] = centre[s1] + 2 * size;
  light[s2] = centre[s2] + size;
  light[up] = centre[up] + 3 * size;
  sky[up] = 1;
  std::fprintf(f,
               "// orrery scene: render with  povray +I%s +W1024 +H768\n"
               "#version 3.7;\nglobal_settings { assumed_gamma 1.0 }\n"
               "#include \"colors.inc\"\n"
               "#declare cylradius = %g;\n#declare saddleradius = %g;\n#declare sphereradius = %g;\n"
               "background { color rgb <1, 1, 1> }\n"
               "camera { location <%g, %g, %g> sky <%g, %g, %g> look_at <%g, %g, %g> angle 45 }\n"
               "light_source { <%g, %g, %g> color rgb <1, 1, 1> }\n"
               "light_source { <%g, %g, %g> color rgb <0.5, 0.5, 0.5> shadowless }\n",
               filename.c_str(), size * 0.004, size * 0.008, size * 0.012, eye[0], eye[1], eye[2], sky[0], sky[1],
               sky[2], centre[0], centre[1], centre[2], light[0], light[1], light[2], eye[0], eye[1], eye[2]);
  if (!mesh_fragment.empty())
    std::fprintf(f, "object { %s texture { pigment { color rgb <0.8, 0.8, 0.75> } finish { phong 0.3 } } }\n",
                 include_either(mesh_fragment).c_str());
  if (!tree_fragment.empty())
    std::fprintf(f, "object { %s texture { pigment { color rgb <0.9, 0.7, 0.2> } } }\n",
                 include_either(tree_fragment).c_str());
  return close_export(file, filename, report);
}

}  // namespace ctree
