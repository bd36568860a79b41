#pragma once
// Draws a contour tree in 3D: branches as grey tubes or lines through their
// nodes, extreme nodes as red (lower end) or blue spheres (or the whole
// branch coloured by persistence or value, gui/tree_colouring.h), and, for
// the laid-out tree, green markers where the current isovalue crosses a
// branch. The branches shown are chosen by the dataset's filters
// (gui/tree_selection.h) when a setting changes, not at every frame.
//
// A few thousand branches are drawn as spheres and tubes. More (or the line
// and point modes) are drawn from flat arrays (gui/tree_drawing.h):
// spheres become points and tubes lines, which is all a tube of a pixel's
// width shows anyway, and the memory stays a few dozen bytes per branch.
// Either is compiled once into a display list after a change of the
// settings and replayed at every frame.

#include <fstream>

#include "gui/tree_drawing.h"
#include "gui/tree_selection.h"

namespace ctree {

class ContourData;

class TreeViewer {
 public:
  // useCtreel 0 draws the contour tree at its vertices' positions, 1 the
  // laid-out tree.
  TreeViewer(MainData* mainData, ContourData* contourData, int useCtreel);

  void display();
  // Chooses the branches and builds their drawing when a setting changed
  // since the last call; false when there is nothing to draw.
  bool update();
  // The box of the branch ends shown (valid after update()).
  TBox shownBox;
  // The corners of the paths shown, times the axis scales (x y z each):
  // the branch ends and, in the laid-out tree, the elbows where a branch
  // turns towards its parent. What a view must hold. O(branches shown).
  void shownPoints(std::vector<float>& out) const;
  // Lower corner and size of the shown tree's root box.
  TBox getBox() const;
  // The shown tree, or null when there is none or it has no branch.
  const FlatTree* shownTree() const;

  DrawSet drawSet;
  // The branches shown, in drawing order, and the style of their paths
  // (valid after update()).
  const std::vector<Index>& drawnOrder() const { return order; }
  PathStyle pathStyle() const;
  // The branch of the shown tree drawn highlighted over the rest
  // (gui/selection_view.h), NULL_INDEX for none; set before display().
  Index highlight = NULL_INDEX;
  // Draws it (display() does, after the tree).
  void drawHighlight() const;

  MainData* mainData;
  ContourData* contourData;
  int useCtreel;
  int shortcut = 1;
  float scaleX = 1, scaleY = 1, scaleZ = 1;
  float sphereRadius = 0, tubeRadius = 0;
  int mode = 1;
  // The colouring of every tree viewer (the main window's and the tree
  // window's show the same): a TreeColourMode.
  static int colourMode;
  // The colouring of the branches drawn, with its scale (valid after
  // update()).
  const TreeColouring& colouring() const { return colours; }
  // Drawings compiled into the display list so far (the frame log counts
  // them).
  long listBuilds = 0;

 private:
  TreeColouring colours;
  void drawArrays() const;
  // The branches shown, in drawing order.
  std::vector<Index> order;

  // Everything a frame's drawing depends on besides the camera. While it is
  // unchanged the previous frame's drawing is replayed from a display list,
  // so turning a big tree costs no more than redrawing its triangles.
  struct FrameKey {
    TreeFilters filters;
    const FlatTree* trees[2] = {nullptr, nullptr};
    int useCtreel = 0, shortcut = 0, mode = 0, colourMode = 0;
    float scale[3] = {0, 0, 0}, sphereRadius = 0, tubeRadius = 0;
    double isovalue = 0;
    bool operator==(const FrameKey& o) const;
  };
  FrameKey frameKey() const;
  FrameKey cachedKey;
  unsigned displayList = 0;
  bool listValid = false;
  // Set when the shown branches are drawn from the arrays.
  bool useArrays = false;
  bool selected = false;
  TreeDrawing arrays;
};

// Drawn branches above which spheres and tubes give way to points and lines.
constexpr size_t SOLID_BRANCH_LIMIT = 3000;

std::ostream& operator<<(std::ostream& out, const TreeViewer& v);
std::istream& operator>>(std::istream& in, TreeViewer& v);

}  // namespace ctree
