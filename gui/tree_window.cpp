#include "gui/tree_window.h"

#include <GL/freeglut.h>

#include <algorithm>

#include "gui/threshold_levels.h"
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

TBox TreeWindow::frameBox() {
  const FlatTree* c = treeViewer->shownTree();
  if (!c) return TBox();
  if (c == framedTree) return framed;
  // The branches of the first view of a big tree (the most persistent few
  // hundred), whatever the filters are now: the frame, and with it the
  // meaning of a zoom stored in a scene, depends on the tree alone.
  const FlatTree* a = mainData->ctree && !mainData->ctree->empty() ? mainData->ctree : c;
  const ThresholdLevels levels(*a);
  TreeFilters f;
  f.thresholdOn = levels.branches() > FIRST_VIEW_BRANCHES;
  f.threshold = levels.levelForAtMost(FIRST_VIEW_BRANCHES);
  DrawSet set;
  select_branches(f, *a, *c, true, set);
  float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  bool any = false;
  for (size_t b = 0; b < c->branches.size(); ++b) {
    if (!set.contains(Index(b))) continue;
    for (Index e : c->branches[b].ends) {
      const Vertex& v = c->vertices[size_t(e)];
      const float p[3] = {float(v.x), float(v.y), float(v.z)};
      for (int k = 0; k < 3; ++k) {
        lo[k] = any ? std::min(lo[k], p[k]) : p[k];
        hi[k] = any ? std::max(hi[k], p[k]) : p[k];
      }
      any = true;
    }
  }
  framed = any ? TBox{lo[0], lo[1], lo[2], hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]} : treeViewer->getBox();
  framedTree = c;
  return framed;
}

void TreeWindow::callback_display() {
  if (!restoreScene()) {
    drawScene();
    keepScene();
  }
  finishFrame();
}

void TreeWindow::drawScene() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  drawBackground(width, height, 144, 144, 255, 255, 242, 125);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMultMatrixf(&rotation[0][0]);
  if (mainData && treeViewer) {
    const TBox box = frameBox();
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

std::string TreeWindow::keyHelp() const {
  return "left drag     turn;  Shift+left: zoom;  middle: pan\n"
         "1 2 3         views along the axes\n"
         "s             the start view (the whole tree)\n"
         "g             tubes, spheres, lines, points, off\n"
         "D d  R r      tube / sphere radius larger, smaller\n"
         "X x Y y Z z   stretch, shrink the tree along an axis\n"
         "h ?           this help (again: hide it)\n"
         "Esc           quit\n"
         "(the filters are set in the main window)";
}

std::ostream& operator<<(std::ostream& out, TreeWindow& w) {
  out << static_cast<GlutViewer*>(&w) << ' ' << *w.treeViewer << ' ' << '\n';
  return out;
}

}  // namespace ctree
