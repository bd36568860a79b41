#include "gui/tree_window.h"

#include <GL/freeglut.h>

#include <algorithm>

#include "gui/view_fit.h"

namespace ctree {

TreeWindow::TreeWindow(MainData* m, ContourData* c)
    : GlutViewer(800, 800, 50, 50, TITLE, 0.5f, 0.5f, 0.5f, 1.0f, false),
      mainData(m),
      contourData(c),
      treeViewer(new TreeViewer(m, c, 1)) {
  const TBox box = treeViewer->getBox();
  const float extent = std::max(box.dx, box.dy);
  treeViewer->scaleX = treeViewer->scaleY = extent;
  treeViewer->scaleZ = 1;
}

void TreeWindow::callback_display() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  drawBackground(width, height, 144, 144, 255, 255, 242, 125);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMultMatrixf(&rotation[0][0]);
  if (mainData && treeViewer) {
    const TBox box = treeViewer->getBox();
    const float extent = std::max({box.dx, box.dy, box.dz});
    // The tree as drawn: positions times the axis scales, spheres and
    // markers reaching out by their radius.
    const TreeViewer& v = *treeViewer;
    const float r = v.sphereRadius;
    const float lo[3] = {box.x * v.scaleX - r, box.y * v.scaleY - r, box.z * v.scaleZ - r};
    const float hi[3] = {(box.x + box.dx) * v.scaleX + r, (box.y + box.dy) * v.scaleY + r,
                         (box.z + box.dz) * v.scaleZ + r};
    const ViewFit fit = fit_box_to_view(lo, hi, rotation, ortho, 0.05f);
    if (fitPending && extent > 0) {
      scaling = fit.scale * extent;
      fitPending = false;
    }
    const float s = extent > 0 ? scaling / extent : scaling;
    glScalef(s, s, s);
    glTranslatef(-fit.centre[0], -fit.centre[1], -fit.centre[2]);
    treeViewer->display();
  }
  finishFrame();
}

void TreeWindow::callback_keydown(unsigned char key, int, int) {
  TreeViewer& v = *treeViewer;
  switch (key) {
    case 'D': v.tubeRadius *= 1.2f; break;
    case 'd': v.tubeRadius /= 1.2f; break;
    case 'R': v.sphereRadius *= 1.2f; break;
    case 'r': v.sphereRadius /= 1.2f; break;
    case 'X': v.scaleX *= 1.2f; break;
    case 'x': v.scaleX /= 1.2f; break;
    case 'Y': v.scaleY *= 1.2f; break;
    case 'y': v.scaleY /= 1.2f; break;
    case 'Z': v.scaleZ *= 1.2f; break;
    case 'z': v.scaleZ /= 1.2f; break;
    case 'g': v.mode = (v.mode + 1) % 5; break;
    case 's':
    case 'S':
      // The standard view: no rotation, no panning, the whole tree fitted.
      unsetMatrix();
      resetOrtho();
      fitPending = true;
      break;
    default: return;
  }
  fullRedisplayAll();
}

std::ostream& operator<<(std::ostream& out, TreeWindow& w) {
  out << static_cast<GlutViewer*>(&w) << ' ' << *w.treeViewer << ' ' << '\n';
  return out;
}

std::istream& operator>>(std::istream& in, TreeWindow& w) {
  in >> static_cast<GlutViewer*>(&w);
  in >> *w.treeViewer;
  w.fitPending = false;  // the scene's zoom stands
  return in;
}

}  // namespace ctree
