#pragma once
// The drawing of a tree as flat arrays, built once per change of the
// branches shown and drawn from there by vertex arrays at every frame:
// line segments along the branch paths, coloured points at the branch ends
// and the isovalue markers. About 40 bytes per drawn segment and 15 per
// end, and nothing else per branch, so a tree of a million branches draws
// in a few hundred megabytes at most and its frames cost only the GL work.

#include <vector>

#include "gui/tree_colouring.h"
#include "gui/tree_selection.h"

namespace ctree {

struct TreeDrawing {
  std::vector<float> lines;                // x y z of both ends of every segment
  std::vector<float> points;               // x y z of every branch end drawn
  std::vector<unsigned char> colours;      // r g b of every point: red lower ends, blue upper (or the ramp's)
  std::vector<unsigned char> lineColours;  // r g b of both ends of every segment; empty: all grey
  std::vector<float> markers;              // x y z where the isovalue crosses a path
  size_t branches = 0;

  void clear() { lines.clear(), points.clear(), colours.clear(), lineColours.clear(), markers.clear(), branches = 0; }
  size_t bytes() const {
    return 4 * (lines.capacity() + points.capacity() + markers.capacity()) + colours.capacity() +
           lineColours.capacity();
  }
};

// The colour of the isovalue markers: a green that stands out from the
// tree window's yellow-to-blue background and from every colouring.
constexpr unsigned char MARKER_RGB[3] = {0, 190, 0};

// Spheres at the branch ends, tubes along the paths and small green
// spheres at the isovalue markers, as one list of lit triangles (corner
// positions, unit normals and colours): a whole tree in one draw, however
// many branches it has. About 7 KB per branch; meant for the few thousand
// branches that are drawn solid.
struct SolidDrawing {
  std::vector<float> positions;        // x y z of every triangle corner
  std::vector<float> normals;          // unit normal of every corner
  std::vector<unsigned char> colours;  // r g b of every corner

  void clear() { positions.clear(), normals.clear(), colours.clear(); }
  size_t corners() const { return positions.size() / 3; }
};

// tubes: false draws the spheres alone (markers and colouring: as
// build_tree_drawing).
void build_solid_drawing(const FlatTree& tree, const std::vector<Index>& order, const DrawSet& drawn,
                         const PathStyle& style, float sphereRadius, float tubeRadius, bool tubes, bool markers,
                         double isovalue, SolidDrawing& out, const TreeColouring& colouring = TreeColouring());

// Fills out with the branches of order (a drawing order, drawing_order)
// of tree, along the paths build_branch_path gives. With markers, the
// places where isovalue crosses each path are added. The colouring's mode
// colours ends and paths: COLOUR_ENDS red and blue ends on grey paths,
// COLOUR_PERSISTENCE a whole branch by its persistence, COLOUR_VALUE every
// end and path point by its field value, on the colouring's scale.
// O(total path length).
void build_tree_drawing(const FlatTree& tree, const std::vector<Index>& order, const DrawSet& drawn,
                        const PathStyle& style, bool markers, double isovalue, TreeDrawing& out,
                        const TreeColouring& colouring = TreeColouring());

}  // namespace ctree
