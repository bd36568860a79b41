#pragma once
// The drawing of a tree as flat arrays, built once per change of the
// branches shown and drawn from there by vertex arrays at every frame:
// line segments along the branch paths, coloured points at the branch ends
// and the isovalue markers. About 40 bytes per drawn segment and 15 per
// end, and nothing else per branch, so a tree of a million branches draws
// in a few hundred megabytes at most and its frames cost only the GL work.

#include <vector>

#include "gui/tree_selection.h"

namespace ctree {

struct TreeDrawing {
  std::vector<float> lines;             // x y z of both ends of every segment
  std::vector<float> points;            // x y z of every branch end drawn
  std::vector<unsigned char> colours;   // r g b of every point: red lower ends, blue upper
  std::vector<float> markers;           // x y z where the isovalue crosses a path
  size_t branches = 0;

  void clear() { lines.clear(), points.clear(), colours.clear(), markers.clear(), branches = 0; }
  size_t bytes() const { return 4 * (lines.capacity() + points.capacity() + markers.capacity()) + colours.capacity(); }
};

// Fills out with the branches of order (a drawing order, drawing_order)
// of tree, along the paths build_branch_path gives. With markers, the
// places where isovalue crosses each path are added. O(total path length).
void build_tree_drawing(const FlatTree& tree, const std::vector<Index>& order, const DrawSet& drawn,
                        const PathStyle& style, bool markers, double isovalue, TreeDrawing& out);

}  // namespace ctree
