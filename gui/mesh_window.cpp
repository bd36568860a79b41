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

void MeshWindow::callback_display() {
  if (!restoreScene()) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMultMatrixf(&rotation[0][0]);
    drawBackground(width, height, 255, 242, 125, 255, 242, 125);
    if (mainData) {
      apply_model_box(*mainData, scaling);
      meshViewer->display();
    }
    keepScene();
  }
  finishFrame();
}

std::ostream& operator<<(std::ostream& out, MeshWindow& w) {
  out << static_cast<GlutViewer*>(&w) << ' ' << *w.meshViewer << ' ' << '\n';
  return out;
}

}  // namespace ctree
