#pragma once
// The window of the laid-out tree ("orrery"), with the isovalue markers and,
// while the branches are coloured by persistence or value, a colour bar
// with its ticks and an axis of values up the tree's side. Every view shows the whole tree drawn: the first one, the
// axis views, 's', and the view after a filter leaves other branches.

#include "gui/glut_viewer.h"
#include "gui/selection_view.h"
#include "gui/tree_viewer.h"

namespace ctree {

class TreeWindow : public GlutViewer {
 public:
  static constexpr const char* TITLE = "GlutViewer: tree";
  TreeWindow(MainData* mainData, ContourData* contourData);
  void callback_display() override;
  void callback_keydown(unsigned char key, int x, int y) override;
  void callback_mouse(int button, int state, int x, int y) override;
  std::string keyHelp() const override;
  std::string frameWork() const override;

  // The picked branch, shared with the main window (not owned; null
  // until the main window is made).
  SelectionView* selection = nullptr;
  ClickTracker click;

  MainData* mainData;
  ContourData* contourData;
  TreeViewer* treeViewer;  // owned
  // The next frame first fits the whole drawn tree into the view (the
  // first frame, after 's' and the axis views, and whenever the drawn
  // tree's box changes).
  bool fitPending = true;
  // A scene that is opened keeps its zoom: the next frame takes the drawn
  // box as the one the view was fitted to.
  void keepView() { fitPending = false, adoptBox = true; }

 private:
  void drawColourBar();
  // The values along the tree's height, up the side of its drawn box
  // (lo: its low corner in the frame's model units; s: the frame's scale).
  void drawValueAxis(const float lo[3], float s);
  // The drawn box (scaled, with the spheres' reach) the view is fitted to.
  float fittedLo[3] = {0, 0, 0}, fittedHi[3] = {0, 0, 0};
  bool adoptBox = false;
  // Background and tree, under the key help.
  void drawScene();
};

std::ostream& operator<<(std::ostream& out, TreeWindow& w);

}  // namespace ctree
