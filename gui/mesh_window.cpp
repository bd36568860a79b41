#include "gui/mesh_window.h"

#include <GL/freeglut.h>

#include <algorithm>

#include "workspace/main_data.h"

namespace ctree {

MeshWindow::MeshWindow(MainData* m)
    : GlutViewer(800, 800, 50, 50, TITLE, 0.5f, 0.5f, 0.5f, 1.0f, false), mainData(m), meshViewer(new MeshViewer(m)) {}

void apply_model_box(const MainData& data, float scaling) {
  const TBox& b = data.modelBox;
  const float extent = std::max({b.dx, b.dy, b.dz});
  const float s = extent > 0 ? scaling / extent : scaling;
  glScalef(s, s, s);
  glTranslatef(-(b.x + b.dx / 2), -(b.y + b.dy / 2), -(b.z + b.dz / 2));
}

void draw_axis_labels(const TBox& b, const AxisLabels& labels) {
  const float lo[3] = {b.x, b.y, b.z}, size[3] = {b.dx, b.dy, b.dz};
  const float gap = 0.04f * std::max({b.dx, b.dy, b.dz});
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glColor3f(0.16f, 0.16f, 0.43f);
  for (int a = 0; a < 3; ++a)
    for (int end = 0; end < 2; ++end) {
      const std::string& text = end ? labels.high[a] : labels.low[a];
      if (text.empty()) continue;
      float p[3] = {lo[0] + size[0] / 2, lo[1] + size[1] / 2, lo[2] + size[2] / 2};
      p[a] = end ? lo[a] + size[a] + gap : lo[a] - gap;
      GlutViewer::drawWorldText(p[0], p[1], p[2], text.c_str());
    }
  glEnable(GL_DEPTH_TEST);
}

void MeshWindow::callback_display() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMultMatrixf(&rotation[0][0]);
  drawBackground(width, height, 255, 242, 125, 255, 242, 125);
  if (mainData) {
    apply_model_box(*mainData, scaling);
    meshViewer->display();
    draw_axis_labels(mainData->modelBox, plain_axis_labels());
  }
  finishFrame();
}

std::ostream& operator<<(std::ostream& out, MeshWindow& w) {
  out << static_cast<GlutViewer*>(&w) << ' ' << *w.meshViewer << ' ' << '\n';
  return out;
}

}  // namespace ctree
