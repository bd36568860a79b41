#include "gui/tree_drawing.h"

namespace ctree {

void build_tree_drawing(const FlatTree& tree, const std::vector<Index>& order, const DrawSet& drawn,
                        const PathStyle& style, bool markers, double isovalue, TreeDrawing& out) {
  out.clear();
  BranchPath path;
  std::vector<double> crossings;
  auto point = [&](Index v, bool lower) {
    const Vertex& p = tree.vertices[size_t(v)];
    out.points.insert(out.points.end(), {float(p.x * style.scale[0]), float(p.y * style.scale[1]),
                                         float(p.z * style.scale[2])});
    out.colours.insert(out.colours.end(), {(unsigned char)(lower ? 255 : 0), 0, (unsigned char)(lower ? 0 : 255)});
  };
  for (Index b : order) {
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
    }
    if (markers) {
      isovalue_markers(path, isovalue, crossings);
      for (double c : crossings) out.markers.push_back(float(c));
    }
    ++out.branches;
  }
}

}  // namespace ctree
