#pragma once
// The window the user works in: the model box, the isocontour, the contour
// tree at its vertices' positions and (for surfaces) the mesh in one view,
// with a two-line options panel. The arrows select and change the panel's
// settings; letters toggle drawing, move the filter box and save or open
// numbered scene files.

#include <string>

#include "gui/clip_plane.h"
#include "gui/glut_viewer.h"
#include "gui/mesh_viewer.h"
#include "gui/scene_file.h"
#include "gui/selection_view.h"
#include "gui/threshold_levels.h"
#include "gui/tree_viewer.h"

namespace ctree {

class TreeWindow;
class MeshWindow;
class SpectrumWindow;

class MainWindow : public GlutViewer {
 public:
  static constexpr const char* TITLE = "GlutViewer";
  MainWindow(MainData* mainData, ContourData* contourData, TreeWindow* treeWindow, MeshWindow* meshWindow,
             SpectrumWindow* spectrumWindow, int loadScene);

  // Scene files of the current frame number: false after a message (the
  // reason, the file and, for a scene refused, the field).
  bool saveScene();
  bool openScene();
  SceneShape sceneShape() const;
  SceneRecord sceneRecord();
  void applyScene(const SceneRecord& scene);
  std::string keyHelp() const override;
  void drawOptions();
  // The two panel lines, with their colour marks.
  std::string optionsLowerLine() const;
  std::string optionsUpperLine() const;
  std::string sceneFileName() const;

  void callback_display() override;
  void callback_keydown(unsigned char key, int x, int y) override;
  void callback_special(int key, int x, int y) override;
  void callback_mouse(int button, int state, int x, int y) override;
  void callback_motion(int x, int y) override;
  std::string frameWork() const override;

  MainData* mainData;
  ContourData* contourData;
  TreeViewer* treeViewer;        // owned
  ContourViewer* contourViewer;  // owned
  MeshViewer* meshViewer;        // owned, surfaces only
  TreeWindow* treeWindow;
  MeshWindow* meshWindow;
  SpectrumWindow* spectrumWindow;
  // The picked branch, shared with the tree window (owned).
  SelectionView* selection;
  ClickTracker click;
  int selectedItem = 0;
  int tuneSteps = 256;
  int movingBox = 0;
  int sceneExists = 0;
  int frame = 0;
  // The next frame first fits the model box into the view (the first
  // frame; a scene that is opened keeps its zoom).
  bool fitPending = true;
  // Cuts the surface and the mesh (not the tree) when on.
  ClipPlane clip;

 private:
  // The clip plane's keys (x, <, >, X, Y); false for any other key.
  bool clipKey(unsigned char key);
  // The clip plane's cut through the model box, as an outline.
  void drawClipOutline() const;
  void arrangeWindows();
  // Everything under the panel: background, box, contour, trees, mesh.
  void drawScene();
  // The threshold's levels for the current step's tree (made again after
  // a change of step).
  const ThresholdLevels& thresholdLevels();
  // Threshold on at the level that leaves a readable number of branches,
  // when the tree has more.
  void firstViewThreshold();
  ThresholdLevels levels;
  const FlatTree* levelsTree = nullptr;
  // Switches the dataset and the contour bridge to time step t.
  void changeTime(int t);
  // The isovalue the arrows asked for, extracted once after all the input
  // at hand (a key held down repeats faster than a big surface is
  // extracted): dropped when the isovalue changed otherwise meanwhile.
  bool isoPending = false;
  double isoPendingValue = 0, isoPendingBase = 0;
  static void applyPendingIsovalue(int);
  double rootPersistence() const;
};

std::ostream& operator<<(std::ostream& out, MainWindow& w);

}  // namespace ctree
