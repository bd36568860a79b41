#pragma once
// The window that shows the triangle mesh of a surface field alone.

#include "gui/axis_labels.h"
#include "gui/glut_viewer.h"
#include "gui/mesh_viewer.h"

namespace ctree {

class MeshWindow : public GlutViewer {
 public:
  static constexpr const char* TITLE = "GlutViewer: mesh";
  explicit MeshWindow(MainData* mainData);
  void callback_display() override;

  MainData* mainData;
  MeshViewer* meshViewer;  // owned
};

std::ostream& operator<<(std::ostream& out, MeshWindow& w);

// Scales and centres the model box of the dataset in a window's view.
void apply_model_box(const MainData& data, float scaling);

// The labels at the ends of the model box's axes, a little outside the
// middle of each face, over everything drawn (model coordinates current).
void draw_axis_labels(const TBox& box, const AxisLabels& labels);

}  // namespace ctree
