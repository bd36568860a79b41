#pragma once
// The window of the laid-out tree ("orrery"), with the isovalue markers.
// Its first view, and the view the key 's' restores, shows the whole tree.

#include "gui/glut_viewer.h"
#include "gui/tree_viewer.h"

namespace ctree {

class TreeWindow : public GlutViewer {
 public:
  static constexpr const char* TITLE = "GlutViewer: tree";
  TreeWindow(MainData* mainData, ContourData* contourData);
  void callback_display() override;
  void callback_keydown(unsigned char key, int x, int y) override;

  MainData* mainData;
  ContourData* contourData;
  TreeViewer* treeViewer;  // owned
  // The next frame first fits the whole drawn tree into the view (the
  // first frame, and after 's'); a scene that is opened keeps its zoom.
  bool fitPending = true;
};

std::ostream& operator<<(std::ostream& out, TreeWindow& w);
std::istream& operator>>(std::istream& in, TreeWindow& w);

}  // namespace ctree
