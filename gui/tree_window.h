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
  std::string keyHelp() const override;
  std::string frameWork() const override;

  MainData* mainData;
  ContourData* contourData;
  TreeViewer* treeViewer;  // owned
  // The next frame first fits the whole drawn tree into the view (the
  // first frame, and after 's'); a scene that is opened keeps its zoom.
  bool fitPending = true;

 private:
  // Background and tree, under the key help.
  void drawScene();
  // The box the view frames: the branch ends of the tree's first view.
  TBox frameBox();
  TBox framed;
  const FlatTree* framedTree = nullptr;
};

std::ostream& operator<<(std::ostream& out, TreeWindow& w);

}  // namespace ctree
