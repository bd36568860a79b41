#pragma once
// Draws a contour tree in 3D: branches as grey tubes or lines through their
// nodes, extreme nodes as red (lower end) or blue spheres, and, for the
// laid-out tree, yellow markers where the current isovalue crosses a
// branch. The branches shown are chosen by the dataset's filters
// (gui/tree_selection.h) at every display.

#include <fstream>

#include "gui/tree_selection.h"

namespace ctree {

class ContourData;

class TreeViewer {
 public:
  // useCtreel 0 draws the contour tree at its vertices' positions, 1 the
  // laid-out tree.
  TreeViewer(MainData* mainData, ContourData* contourData, int useCtreel);

  void display();
  // Lower corner and size of the shown tree's root bbox.
  TBox getBox() const;
  // The shown tree's root, or a null BranchI when there is none.
  BranchI shownRoot() const;

  DrawSet drawSet;
  MainData* mainData;
  ContourData* contourData;
  int useCtreel;
  int shortcut = 1;
  float scaleX = 1, scaleY = 1, scaleZ = 1;
  float sphereRadius = 0, tubeRadius = 0;
  int mode = 1;

 private:
  void drawBranch(const Branch& b, bool isRoot);
  // Storage reused for every branch, so drawing allocates nothing per branch.
  BranchPath path;
  std::vector<double> markers;
  std::vector<double> tube;
  std::vector<const Branch*> order;
};

// The tube's points for a path: its distinct positions, with control
// points that continue the first and last segments. False when fewer than
// two distinct positions remain (nothing to draw as a tube).
bool tube_points(const BranchPath& path, std::vector<double>& out);

std::ostream& operator<<(std::ostream& out, const TreeViewer& v);
std::istream& operator>>(std::istream& in, TreeViewer& v);

}  // namespace ctree
