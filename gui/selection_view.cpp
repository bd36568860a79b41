#include "gui/selection_view.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>

#include "core/messages.h"
#include "gui/glut_viewer.h"
#include "gui/screen_axes.h"
#include "gui/tree_viewer.h"
#include "workspace/contour_data.h"

namespace ctree {

SelectionView::SelectionView(MainData* m, ContourData* c) : mainData(m), contourData(c) {}

const FlatTree* SelectionView::tree() const {
  const FlatTree* t = mainData->ctree ? mainData->ctree : mainData->ctreel;
  return t && !t->empty() ? t : nullptr;
}

void SelectionView::follow() {
  if (branch != NULL_INDEX && tree() != selectedTree) {
    branch = NULL_INDEX;
    text.clear();
    surface.surface.triangles.clear();
    cursor.clear();
  }
}

Index SelectionView::selected() {
  follow();
  return branch;
}

void SelectionView::select(Index b) {
  const FlatTree* t = tree();
  if (!t || b < 0 || size_t(b) >= t->branches.size()) b = NULL_INDEX;
  if (b == NULL_INDEX) {
    if (branch != NULL_INDEX) GlutViewer::messages().status("selection cleared");
    branch = NULL_INDEX;
    text.clear();
    surface.surface.triangles.clear();
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  if (selectedTree != t) cursor.clear();
  branch = b;
  selectedTree = t;
  surface.surface.triangles.clear();
  long long voxels = -1;
  const ScalarField3DGrid* grid = mainData->field3d;
  if (grid && t == mainData->ctree) {
    if (endsTree != t) ends.build(*t, *grid), endsTree = t;
    const FlatBranch& br = t->branches[size_t(b)];
    const Index end = ends.gridIndex[size_t(br.ends[0])], hang = ends.gridIndex[size_t(br.ends[1])];
    Report report;
    if (end != NULL_INDEX && (b == 0 || (hang != NULL_INDEX && hang != end))) {
      if (region_surface(*grid, end, b == 0 ? NULL_INDEX : hang, surface, report))
        voxels = (long long)surface.voxels;
      else
        GlutViewer::messages().status(
            format_message("branch %d: no boundary surface: %s", int(b), report.error.c_str()));
    }
  }
  text = branch_info(*t, b, voxels);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  GlutViewer::messages().status(format_message("selected %s (%d boundary triangles, %.3f s)", text.c_str(),
                                               surface.surface.triangleCount(), seconds));
}

bool SelectionView::key(unsigned char key) {
  const DrawSet* drawn = walkSet;
  follow();
  const FlatTree* t = tree();
  switch (key) {
    case '[':
      if (t && branch != NULL_INDEX) select(parent_branch(*t, branch));
      return true;
    case ']':
      if (t) {
        // Nothing selected: the walk starts at the root.
        if (branch == NULL_INDEX) {
          select(0);
        } else {
          const Index c = cursor.next(*t, branch, drawn);
          if (c != NULL_INDEX) select(c);
        }
      }
      return true;
    case '\\':
    case 8:
    case 127: select(NULL_INDEX); return true;
    default: return false;
  }
}

void SelectionView::pair() {
  const FlatTree* a = mainData->ctree;
  const FlatTree* c = mainData->ctreel;
  if (paired[0] == a && paired[1] == c) return;
  paired[0] = a, paired[1] = c;
  toContour.clear(), toLaidOut.clear();
  if (!a || !c || a->empty() || c->empty()) return;
  toContour = paired_branches(*c, *a);
  toLaidOut.assign(a->branches.size(), NULL_INDEX);
  for (size_t k = 0; k < toContour.size(); ++k)
    if (toContour[k] != NULL_INDEX) toLaidOut[size_t(toContour[k])] = Index(k);
}

Index SelectionView::pickTree(const TreeViewer& v, const Camera& camera, double x, double y, double* depth) {
  const FlatTree* shown = v.shownTree();
  const FlatTree* t = tree();
  if (!shown || !t || v.mode == 0) return NULL_INDEX;
  const Index b = pick_branch(*shown, v.drawnOrder(), v.drawSet, v.pathStyle(), camera, x, y, PICK_PIXELS, depth);
  if (b == NULL_INDEX || shown == t) return b;
  pair();
  return shown == mainData->ctreel && size_t(b) < toContour.size() ? toContour[size_t(b)] : NULL_INDEX;
}

Index SelectionView::pickSurface(const double p[3]) {
  const FlatTree* t = tree();
  const ScalarField3DGrid* grid = mainData->field3d;
  if (!t || !grid || t != mainData->ctree) return NULL_INDEX;
  if (endsTree != t) ends.build(*t, *grid), endsTree = t;
  return branch_at_surface_point(*grid, *t, ends, p, contourData->isovalue);
}

Index SelectionView::shownIn(const TreeViewer& v) {
  follow();
  const FlatTree* shown = v.shownTree();
  if (branch == NULL_INDEX || !shown) return NULL_INDEX;
  if (shown == selectedTree) return branch;
  pair();
  return shown == mainData->ctreel && size_t(branch) < toLaidOut.size() ? toLaidOut[size_t(branch)] : NULL_INDEX;
}

bool SelectionView::drawRegion() {
  follow();
  const contour::Isosurface& s = surface.surface;
  if (branch == NULL_INDEX || s.triangleCount() == 0) return false;
  // Over the isosurface, which hides it otherwise: the region lies inside
  // one of its pieces or beside it.
  glClear(GL_DEPTH_BUFFER_BIT);
  glEnable(GL_LIGHTING);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glColor3f(REGION_RGB[0], REGION_RGB[1], REGION_RGB[2]);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, s.vertices.data());
  glNormalPointer(GL_FLOAT, 0, s.normals.data());
  glDrawElements(GL_TRIANGLES, GLsizei(s.triangles.size()), GL_UNSIGNED_INT, s.triangles.data());
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
  return true;
}

bool SelectionView::valueRange(double& lo, double& hi) {
  follow();
  if (branch == NULL_INDEX || !selectedTree) return false;
  const FlatBranch& b = selectedTree->branches[size_t(branch)];
  lo = selectedTree->vertices[size_t(selectedTree->lowerEnd(b))].field;
  hi = selectedTree->vertices[size_t(selectedTree->upperEnd(b))].field;
  return true;
}

std::string SelectionView::infoLine() {
  follow();
  if (branch == NULL_INDEX) return std::string();
  return text;
}

Camera camera_of(GlutViewer& v) {
  glutSetWindow(v.getWindowHandle());
  v.matricesDirty = 1;
  v.grabMatrices();
  Camera c;
  for (int i = 0; i < 16; ++i) c.modelview[i] = v.modelview[i], c.projection[i] = v.projection[i];
  for (int i = 0; i < 4; ++i) c.viewport[i] = v.viewport[i];
  return c;
}

void click_select(SelectionView& selection, GlutViewer& v, const TreeViewer* tree, bool surface, int x, int y) {
  const Camera camera = camera_of(v);
  // The centre of the pixel, from the bottom.
  const double wx = x + 0.5, wy = v.height - y - 0.5;
  double treeDepth = 1;
  Index b = tree ? selection.pickTree(*tree, camera, wx, wy, &treeDepth) : NULL_INDEX;
  if (surface) {
    const float depth = v.sceneDepthAt(x, y);
    if (depth < 1 && (b == NULL_INDEX || depth < treeDepth - 1e-3)) {
      double p[3];
      if (gluUnProject(wx, wy, depth, camera.modelview, camera.projection, camera.viewport, &p[0], &p[1], &p[2]) ==
          GL_TRUE) {
        const Index s = selection.pickSurface(p);
        if (s != NULL_INDEX) b = s;
      }
    }
  }
  selection.select(b);
}

void draw_selection_strip(SelectionView& selection, GlutViewer& v, int y) {
  const std::string line = selection.infoLine();
  if (line.empty()) return;
  // The 8-pixel font, a mark and a margin.
  const std::vector<std::string> lines = wrap_text(line, size_t(std::max(10, (v.width - 24) / 8)));
  const int h = 15 * int(lines.size()) + 4;
  std::string text = "rgb(255,0,255)* rgb(255,255,255)";
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n  " : "") + lines[i];
  begin_pixel_drawing(v.width, v.height);
  glColor3f(0, 0, 0);
  glBegin(GL_QUADS);
  glVertex2i(0, y), glVertex2i(v.width, y), glVertex2i(v.width, y + h), glVertex2i(0, y + h);
  glEnd();
  v.drawScreenText(6, y + h - 14, text.c_str(), 1, 1, 1);
  end_pixel_drawing();
}

}  // namespace ctree
