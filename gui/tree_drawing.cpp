#include "gui/tree_drawing.h"

#include <algorithm>
#include <cmath>

namespace ctree {

namespace {

constexpr int SLICES = 8, STACKS = 6, TUBE_SIDES = 8;

// The corners of a unit sphere's triangles, SLICES around and STACKS from
// pole to pole (the same at every call).
const std::vector<float>& unit_sphere() {
  static const std::vector<float> corners = [] {
    std::vector<float> c;
    auto point = [&](int i, int j) {
      const double theta = M_PI * j / STACKS, phi = 2 * M_PI * i / SLICES;
      c.insert(c.end(), {float(std::sin(theta) * std::cos(phi)), float(std::sin(theta) * std::sin(phi)),
                         float(std::cos(theta))});
    };
    for (int j = 0; j < STACKS; ++j)
      for (int i = 0; i < SLICES; ++i) {
        if (j > 0) point(i, j), point(i, j + 1), point(i + 1, j);                   // none at the top pole
        if (j + 1 < STACKS) point(i + 1, j), point(i, j + 1), point(i + 1, j + 1);  // none at the bottom
      }
    return c;
  }();
  return corners;
}

void add_corner(SolidDrawing& out, const double p[3], const double n[3], const unsigned char rgb[3]) {
  out.positions.insert(out.positions.end(), {float(p[0]), float(p[1]), float(p[2])});
  out.normals.insert(out.normals.end(), {float(n[0]), float(n[1]), float(n[2])});
  out.colours.insert(out.colours.end(), rgb, rgb + 3);
}

void add_sphere(SolidDrawing& out, const double c[3], double r, const unsigned char rgb[3]) {
  const std::vector<float>& u = unit_sphere();
  for (size_t i = 0; i < u.size(); i += 3) {
    const double n[3] = {u[i], u[i + 1], u[i + 2]};
    const double p[3] = {c[0] + r * n[0], c[1] + r * n[1], c[2] + r * n[2]};
    add_corner(out, p, n, rgb);
  }
}

// The colour of a branch end or path point of value v on branch b.
void point_colour(const FlatTree& tree, Index b, double v, bool lower, const TreeColouring& c, unsigned char rgb[3]) {
  static const unsigned char RED[3] = {255, 0, 0}, BLUE[3] = {0, 0, 255};
  switch (c.mode) {
    case COLOUR_PERSISTENCE: c.scale.colour(tree.branches[size_t(b)].persistence, rgb); break;
    case COLOUR_VALUE: c.scale.colour(v, rgb); break;
    default: std::copy(lower ? RED : BLUE, (lower ? RED : BLUE) + 3, rgb); break;
  }
}

// A prism of TUBE_SIDES sides from a to b, with normals pointing out of
// its axis (smooth shading), coloured rgbA at a and rgbB at b.
void add_tube(SolidDrawing& out, const double a[3], const double b[3], double r, const unsigned char rgbA[3],
              const unsigned char rgbB[3]) {
  double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(len > 0)) return;
  for (double& x : d) x /= len;
  // u: perpendicular to d, from the axis d is least along; v = d x u.
  const int k = std::fabs(d[0]) < std::fabs(d[1]) ? (std::fabs(d[0]) < std::fabs(d[2]) ? 0 : 2)
                                                  : (std::fabs(d[1]) < std::fabs(d[2]) ? 1 : 2);
  double e[3] = {0, 0, 0};
  e[k] = 1;
  double u[3] = {e[1] * d[2] - e[2] * d[1], e[2] * d[0] - e[0] * d[2], e[0] * d[1] - e[1] * d[0]};
  const double ul = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
  for (double& x : u) x /= ul;
  const double v[3] = {d[1] * u[2] - d[2] * u[1], d[2] * u[0] - d[0] * u[2], d[0] * u[1] - d[1] * u[0]};
  auto corner = [&](int side, const double* base) {
    const double phi = 2 * M_PI * side / TUBE_SIDES;
    const double n[3] = {std::cos(phi) * u[0] + std::sin(phi) * v[0], std::cos(phi) * u[1] + std::sin(phi) * v[1],
                         std::cos(phi) * u[2] + std::sin(phi) * v[2]};
    const double p[3] = {base[0] + r * n[0], base[1] + r * n[1], base[2] + r * n[2]};
    add_corner(out, p, n, base == a ? rgbA : rgbB);
  };
  for (int s = 0; s < TUBE_SIDES; ++s) {
    corner(s, a), corner(s + 1, a), corner(s, b);
    corner(s + 1, a), corner(s + 1, b), corner(s, b);
  }
}

}  // namespace

void build_solid_drawing(const FlatTree& tree, const std::vector<Index>& order, const DrawSet& drawn,
                         const PathStyle& style, float sphereRadius, float tubeRadius, bool tubes, bool markers,
                         double isovalue, SolidDrawing& out, const TreeColouring& colouring) {
  out.clear();
  static const unsigned char GREY[3] = {77, 77, 77};
  BranchPath path;
  std::vector<double> crossings;
  unsigned char rgb[3], rgbA[3], rgbB[3];
  for (Index b : order) {
    auto end = [&](Index v, bool lower) {
      const Vertex& p = tree.vertices[size_t(v)];
      const double c[3] = {p.x * style.scale[0], p.y * style.scale[1], p.z * style.scale[2]};
      point_colour(tree, b, p.field, lower, colouring, rgb);
      add_sphere(out, c, sphereRadius, rgb);
    };
    const bool isRoot = b == 0;
    const FlatBranch& br = tree.branches[size_t(b)];
    const bool firstLower = tree.lowerEnd(br) == br.ends[0];
    end(br.ends[0], firstLower);
    if (isRoot) end(br.ends[1], !firstLower);
    build_branch_path(tree, b, isRoot, style, drawn, path);
    if (tubes)
      for (size_t i = 1; i + 2 < path.size(); ++i) {
        if (colouring.mode == COLOUR_ENDS) {
          add_tube(out, &path.points[3 * i], &path.points[3 * i + 3], tubeRadius, GREY, GREY);
          continue;
        }
        point_colour(tree, b, path.values[i], true, colouring, rgbA);
        point_colour(tree, b, path.values[i + 1], true, colouring, rgbB);
        add_tube(out, &path.points[3 * i], &path.points[3 * i + 3], tubeRadius, rgbA, rgbB);
      }
    if (markers) {
      isovalue_markers(path, isovalue, crossings);
      for (size_t i = 0; i + 2 < crossings.size(); i += 3)
        add_sphere(out, &crossings[i], sphereRadius * 0.6, MARKER_RGB);
    }
  }
}

void build_tree_drawing(const FlatTree& tree, const std::vector<Index>& order, const DrawSet& drawn,
                        const PathStyle& style, bool markers, double isovalue, TreeDrawing& out,
                        const TreeColouring& colouring) {
  out.clear();
  BranchPath path;
  std::vector<double> crossings;
  unsigned char rgb[3];
  for (Index b : order) {
    auto point = [&](Index v, bool lower) {
      const Vertex& p = tree.vertices[size_t(v)];
      out.points.insert(out.points.end(),
                        {float(p.x * style.scale[0]), float(p.y * style.scale[1]), float(p.z * style.scale[2])});
      point_colour(tree, b, p.field, lower, colouring, rgb);
      out.colours.insert(out.colours.end(), rgb, rgb + 3);
    };
    const bool isRoot = b == 0;
    const FlatBranch& br = tree.branches[size_t(b)];
    const bool firstLower = tree.lowerEnd(br) == br.ends[0];
    point(br.ends[0], firstLower);
    if (isRoot) point(br.ends[1], !firstLower);
    build_branch_path(tree, b, isRoot, style, drawn, path);
    // Positions 0 and last repeat their neighbours; equal neighbours give
    // no segment.
    for (size_t i = 1; i + 2 < path.size(); ++i) {
      const double* p = &path.points[3 * i];
      const double* q = p + 3;
      if (p[0] == q[0] && p[1] == q[1] && p[2] == q[2]) continue;
      out.lines.insert(out.lines.end(), {float(p[0]), float(p[1]), float(p[2]), float(q[0]), float(q[1]), float(q[2])});
      if (colouring.mode == COLOUR_ENDS) continue;
      point_colour(tree, b, path.values[i], true, colouring, rgb);
      out.lineColours.insert(out.lineColours.end(), rgb, rgb + 3);
      point_colour(tree, b, path.values[i + 1], true, colouring, rgb);
      out.lineColours.insert(out.lineColours.end(), rgb, rgb + 3);
    }
    if (markers) {
      isovalue_markers(path, isovalue, crossings);
      for (double c : crossings) out.markers.push_back(float(c));
    }
    ++out.branches;
  }
}

}  // namespace ctree
