#include "gui/tree_window.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>

#include "gui/screen_axes.h"
#include "gui/view_fit.h"
#include "gui/key_help.h"

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
  if (!restoreScene()) {
    drawScene();
    keepScene();
  }
  if (selection) draw_selection_strip(*selection, *this, 0);
  finishFrame();
}

void TreeWindow::drawScene() {
  startScene(144, 144, 255, 255, 242, 125);
  if (mainData && treeViewer && treeViewer->update()) {
    // The tree as drawn: the branch ends shown times the axis scales,
    // spheres and markers reaching out by their radius.
    const TreeViewer& v = *treeViewer;
    const TBox box = v.shownBox;
    const float extent = std::max({box.dx, box.dy, box.dz});
    const float scale[3] = {v.scaleX, v.scaleY, v.scaleZ};
    float lo[3], hi[3];
    drawn_box(box, scale, v.sphereRadius, lo, hi);
    if (adoptBox) {
      std::copy(lo, lo + 3, fittedLo), std::copy(hi, hi + 3, fittedHi);
      adoptBox = false;
    }
    // Another set of branches (a filter, a stretch) is framed anew.
    if (!std::equal(lo, lo + 3, fittedLo) || !std::equal(hi, hi + 3, fittedHi)) fitPending = true;
    const float centre[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    if (fitPending && extent > 0) {
      // Tight around the tree's outline as turned now, about its box's
      // centre.
      std::vector<float> points;
      v.shownPoints(points);
      const ViewFit fit = fit_points_to_view(points.data(), points.size() / 3, centre, v.sphereRadius, rotation, ortho,
                                             0.05f);
      scaling = fit.scale * extent;
      std::copy(lo, lo + 3, fittedLo), std::copy(hi, hi + 3, fittedHi);
      fitPending = false;
    }
    const float s = extent > 0 ? scaling / extent : scaling;
    glScalef(s, s, s);
    glTranslatef(-centre[0], -centre[1], -centre[2]);
    if (selection) treeViewer->highlight = selection->shownIn(*treeViewer);
    treeViewer->display();
    if (v.colouring().mode != COLOUR_ENDS) {
      drawValueAxis(lo, s);
      drawColourBar();
    }
  }
}

void TreeWindow::callback_mouse(int button, int state, int x, int y) {
  if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN && !(glutGetModifiers() & GLUT_ACTIVE_SHIFT)) click.press(x, y);
  GlutViewer::callback_mouse(button, state, x, y);
  if (button == GLUT_LEFT_BUTTON && state == GLUT_UP && click.release(x, y) && selection) {
    // A click that does not move selects; a drag turns the view.
    click_select(*selection, *this, treeViewer, false, x, y);
    fullRedisplayAll();
  }
}

void TreeWindow::callback_keydown(unsigned char key, int, int) {
  TreeViewer& v = *treeViewer;
  if (selection && selection->key(key)) {
    fullRedisplayAll();
    return;
  }
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
    case 'k': TreeViewer::colourMode = (TreeViewer::colourMode + 1) % TREE_COLOUR_MODES; break;
    case 's':
    case 'S':
      // The standard view: no rotation, no panning, the whole tree fitted.
      unsetMatrix();
      resetOrtho();
      fitPending = true;
      break;
    case '1':
    case '2':
    case '3':
      // An axis view of the whole tree.
      sharedKey(key);
      resetOrtho();
      fitPending = true;
      break;
    default: sharedKey(key); return;
  }
  fullRedisplayAll();
}

std::string TreeWindow::frameWork() const { return format_message("tree lists %ld", treeViewer->listBuilds); }

std::string TreeWindow::keyHelp() const { return key_help_text(tree_window_keys()); }

void TreeWindow::drawValueAxis(const float lo[3], float s) {
  const FlatTree* t = treeViewer->shownTree();
  if (!t) return;
  const HeightOfValue heightOf = height_of_value(*t);
  if (!heightOf.valid) return;
  const ColourScale values = value_scale(*t);
  const float z = treeViewer->scaleZ;
  // Up the tree's side, at the corner of its drawn box nearest the viewer's left.
  const float from[3] = {lo[0], lo[1], float(heightOf(values.lo)) * z};
  const float to[3] = {lo[0], lo[1], float(heightOf(values.hi)) * z};
  // Its length on the screen: the model z axis turned, scaled, in pixels.
  const float dz = std::fabs(to[2] - from[2]) * s;
  const float pixels = dz * std::hypot(rotation[2][0] * width / (ortho[1] - ortho[0]),
                                       rotation[2][1] * float(height) / (ortho[3] - ortho[2]));
  static const float DARK[3] = {0.1f, 0.1f, 0.1f};
  draw_model_axis(values.lo, values.hi, from, to, pixels, DARK);
}

void TreeWindow::drawColourBar() {
  const TreeColouring& c = treeViewer->colouring();
  std::string title = tree_colour_mode_name(c.mode);
  if (c.scale.log) title += " (log scale)";
  begin_pixel_drawing(width, height);
  // A dark band under the bar, so that its labels read on any background.
  shade_band(0, 0, width, COLOUR_BAR_HEIGHT);
  draw_colour_bar(c.scale, title, 12, width - 12, 26);
  end_pixel_drawing();
}

std::ostream& operator<<(std::ostream& out, TreeWindow& w) {
  out << static_cast<GlutViewer*>(&w) << ' ' << *w.treeViewer << ' ' << '\n';
  return out;
}

}  // namespace ctree
