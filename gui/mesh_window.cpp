#include "gui/mesh_window.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "workspace/main_data.h"
#include "gui/screen_axes.h"

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
  // Where each label falls in the window (a point outside the view has
  // no valid raster position and no label).
  struct Placed {
    float x, y, depth;
    const std::string* text;
  };
  std::vector<Placed> placed;
  for (int a = 0; a < 3; ++a)
    for (int end = 0; end < 2; ++end) {
      const std::string& text = end ? labels.high[a] : labels.low[a];
      if (text.empty()) continue;
      float p[3] = {lo[0] + size[0] / 2, lo[1] + size[1] / 2, lo[2] + size[2] / 2};
      p[a] = end ? lo[a] + size[a] + gap : lo[a] - gap;
      glRasterPos3f(p[0], p[1], p[2]);
      GLint valid = 0;
      glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
      if (!valid) continue;
      GLfloat w[4];
      glGetFloatv(GL_CURRENT_RASTER_POSITION, w);
      placed.push_back({w[0], w[1], w[2], &text});
    }
  // An axis seen end on puts its two labels on one spot: the nearer one
  // names the side in view.
  for (size_t i = 0; i < placed.size(); ++i)
    for (size_t j = i + 1; j < placed.size(); ++j)
      if (std::fabs(placed[i].x - placed[j].x) < 12 && std::fabs(placed[i].y - placed[j].y) < 12) {
        Placed& far = placed[i].depth > placed[j].depth ? placed[i] : placed[j];
        far.text = nullptr;
      }
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  begin_pixel_drawing(viewport[2], viewport[3]);
  // A pale plate under each label keeps it readable over any surface.
  void* const font = GLUT_BITMAP_HELVETICA_18;
  for (const Placed& l : placed) {
    if (!l.text) continue;
    const float w = float(glutBitmapLength(font, reinterpret_cast<const unsigned char*>(l.text->c_str())));
    const float x = l.x - w / 2, y = l.y - 6;
    glColor3f(0.94f, 0.94f, 0.94f);
    glBegin(GL_QUADS);
    glVertex2f(x - 4, y - 5), glVertex2f(x + w + 4, y - 5), glVertex2f(x + w + 4, y + 17), glVertex2f(x - 4, y + 17);
    glEnd();
    glColor3f(0.16f, 0.16f, 0.43f);
    glRasterPos2f(x, y);
    for (const char c : *l.text) glutBitmapCharacter(font, c);
  }
  end_pixel_drawing();
}

void MeshWindow::callback_display() {
  if (!restoreScene()) {
    startScene(255, 242, 125, 255, 242, 125);
    if (mainData) {
      apply_model_box(*mainData, scaling);
      meshViewer->display();
      draw_axis_labels(mainData->modelBox, plain_axis_labels());
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
