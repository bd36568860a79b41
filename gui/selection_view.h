#pragma once
// The branch the user picked, shared by the windows: a click on a drawn
// branch (tree window or main window) or on the isosurface selects one, the
// keys [ ] walk to its parent and through its children, \ or Backspace
// clears it. The selected branch is drawn over every tree in the highlight
// colour, its region's boundary surface in a colour of its own in the main
// window, and a line about it (values, positions, persistence, voxels)
// under the windows' pictures.
//
// The selection names a branch of the contour tree (the laid-out tree's
// when the run has no other); a new time step brings a new tree and clears
// it.

#include <cstdlib>
#include <string>
#include <vector>

#include "gui/branch_pick.h"
#include "gui/branch_selection.h"
#include "gui/region_surface.h"

namespace ctree {

class ContourData;
class GlutViewer;
class TreeViewer;

// Unlit colour of the selected branch in every tree.
constexpr unsigned char HIGHLIGHT_RGB[3] = {255, 0, 255};
// Lit colour of the region's boundary.
constexpr float REGION_RGB[3] = {0.15f, 0.8f, 0.35f};
// How far from a drawn branch a click still takes it, in pixels.
constexpr double PICK_PIXELS = 7;

class SelectionView {
 public:
  SelectionView(MainData* mainData, ContourData* contourData);

  // The tree whose branch numbers the selection uses, or null.
  const FlatTree* tree() const;
  // The selected branch of tree(), or NULL_INDEX.
  Index selected();
  // Selects b (NULL_INDEX clears): the region and its surface for a grid,
  // the text, a line to the transcript. A branch outside the tree clears.
  void select(Index b);
  // [ ] \ and Backspace (or Delete); false for any other key.
  bool key(unsigned char key);
  // The branches the walks prefer (the main window's drawn tree), or null.
  const DrawSet* walkSet = nullptr;
  // The branch of viewer's drawn tree under the window point (GL window
  // coordinates, y from the bottom), as a branch of tree(); NULL_INDEX
  // when none is near.
  Index pickTree(const TreeViewer& viewer, const Camera& camera, double x, double y, double* depth = nullptr);
  // The branch whose arc crosses the isovalue in the surface piece at p
  // (scan units), for a grid; NULL_INDEX otherwise.
  Index pickSurface(const double p[3]);
  // The selected branch as a branch of viewer's shown tree, or NULL_INDEX.
  Index shownIn(const TreeViewer& viewer);
  // The region's boundary, lit, over what is drawn so far; false when
  // there is none.
  bool drawRegion();
  // The line about the selection, "" for none.
  std::string infoLine();
  const std::string& info() const { return text; }
  // The values of the selected branch's lower and upper ends; false when
  // nothing is selected.
  bool valueRange(double& lo, double& hi);
  const RegionSurface& region() const { return surface; }

 private:
  // Forgets a selection of a tree no longer shown.
  void follow();
  // Pairings between the laid-out tree and the contour tree.
  void pair();
  MainData* mainData;
  ContourData* contourData;
  const FlatTree* selectedTree = nullptr;
  Index branch = NULL_INDEX;
  std::string text;
  RegionSurface surface;
  ChildCursor cursor;
  FreeEnds ends;
  const FlatTree* endsTree = nullptr;
  std::vector<Index> toContour, toLaidOut;
  const FlatTree* paired[2] = {nullptr, nullptr};
};

// Selects or clears with a click of the left button that did not move (a
// drag still turns the view): remembers the press, and on the release
// tells whether it was a click.
struct ClickTracker {
  int x = 0, y = 0;
  bool down = false;
  void press(int px, int py) { x = px, y = py, down = true; }
  bool release(int px, int py) {
    const bool click = down && std::abs(px - x) <= 2 && std::abs(py - y) <= 2;
    down = false;
    return click;
  }
};

// The camera of the viewer's last frame (grabbed again from its context).
Camera camera_of(GlutViewer& viewer);

// A click of the left button in window v at (x, y) (GLUT's coordinates):
// the branch drawn by tree there, else, with surface, the piece of the
// isosurface the depth buffer holds there (when it lies in front of the
// branch), else nothing; selects what it found or clears.
void click_select(SelectionView& selection, GlutViewer& v, const TreeViewer* tree, bool surface, int x, int y);

// A black strip from height y of window v up with the selection's line,
// when there is one, in as many lines as the window's width needs.
void draw_selection_strip(SelectionView& selection, GlutViewer& v, int y);

}  // namespace ctree
