#include "gui/tree_viewer.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>

#include "gui/selection_view.h"
#include "workspace/contour_data.h"

namespace ctree {

namespace {

// t when it has a root, else null.
const FlatTree* rooted(const FlatTree* t) { return t && !t->empty() ? t : nullptr; }

float largest_extent(const Box& box) {
  float e = 0;
  for (int a = 0; a < 3; ++a) e = std::max(e, float(std::fabs(box.max[a] - box.min[a])));
  return e;
}

}  // namespace

int TreeViewer::colourMode = COLOUR_ENDS;

TreeViewer::TreeViewer(MainData* m, ContourData* c, int useCtreel_)
    : mainData(m), contourData(c), useCtreel(useCtreel_) {
  float extent = 0;
  if (!useCtreel && m) {
    extent = std::max({m->modelBox.dx, m->modelBox.dy, m->modelBox.dz});
  } else if (const FlatTree* t = rooted(m ? m->ctreel : nullptr)) {
    extent = largest_extent(t->root().box);
  }
  sphereRadius = extent / 100;
  tubeRadius = sphereRadius * 0.25f;
}

const FlatTree* TreeViewer::shownTree() const {
  return mainData ? rooted(useCtreel ? mainData->ctreel : mainData->ctree) : nullptr;
}

TBox TreeViewer::getBox() const {
  const FlatTree* t = shownTree();
  return t ? tbox_of(t->root().box) : TBox();
}

bool TreeViewer::FrameKey::operator==(const FrameKey& o) const {
  const TreeFilters& f = filters;
  const TreeFilters& g = o.filters;
  const bool sameFilters = f.boxFilter == g.boxFilter && f.minooOn == g.minooOn && f.maxooOn == g.maxooOn &&
                           f.thresholdOn == g.thresholdOn && f.maxchildOn == g.maxchildOn &&
                           f.filterBox.x == g.filterBox.x && f.filterBox.y == g.filterBox.y &&
                           f.filterBox.z == g.filterBox.z && f.filterBox.dx == g.filterBox.dx &&
                           f.filterBox.dy == g.filterBox.dy && f.filterBox.dz == g.filterBox.dz && f.minoo == g.minoo &&
                           f.maxoo == g.maxoo && f.threshold == g.threshold && f.maxchild == g.maxchild;
  return sameFilters && trees[0] == o.trees[0] && trees[1] == o.trees[1] && useCtreel == o.useCtreel &&
         shortcut == o.shortcut && mode == o.mode && colourMode == o.colourMode && scale[0] == o.scale[0] &&
         scale[1] == o.scale[1] && scale[2] == o.scale[2] && sphereRadius == o.sphereRadius &&
         tubeRadius == o.tubeRadius && isovalue == o.isovalue;
}

TreeViewer::FrameKey TreeViewer::frameKey() const {
  FrameKey k;
  k.filters = filters_of(*mainData);
  k.trees[0] = mainData->ctree;
  k.trees[1] = mainData->ctreel;
  k.useCtreel = useCtreel, k.shortcut = shortcut, k.mode = mode, k.colourMode = colourMode;
  k.scale[0] = scaleX, k.scale[1] = scaleY, k.scale[2] = scaleZ;
  k.sphereRadius = sphereRadius, k.tubeRadius = tubeRadius;
  k.isovalue = useCtreel && contourData ? contourData->isovalue : 0;
  return k;
}

bool TreeViewer::update() {
  if (mode == 0 || !mainData) return false;
  const FlatTree* a = rooted(mainData->ctree);
  const FlatTree* c = rooted(mainData->ctreel);
  // The contour tree alone still draws itself; the laid-out tree needs
  // the contour tree's persistence for its filters.
  if (!c && !useCtreel) c = a;
  if (!a || !c) return false;
  const FrameKey key = frameKey();
  if (selected && key == cachedKey) return true;
  select_branches(key.filters, *a, *c, useCtreel != 0, drawSet);
  const FlatTree& shown = useCtreel ? *c : *a;
  drawing_order(shown, drawSet, order);
  // The box of the ends drawn (the paths run between them).
  float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  bool any = false;
  for (Index b : order)
    for (Index e : shown.branches[size_t(b)].ends) {
      const Vertex& v = shown.vertices[size_t(e)];
      const float p[3] = {float(v.x), float(v.y), float(v.z)};
      for (int k = 0; k < 3; ++k) {
        lo[k] = any ? std::min(lo[k], p[k]) : p[k];
        hi[k] = any ? std::max(hi[k], p[k]) : p[k];
      }
      any = true;
    }
  shownBox = TBox{lo[0], lo[1], lo[2], hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
  colours.mode = colourMode;
  colours.scale = colourMode == COLOUR_PERSISTENCE ? persistence_scale(shown, order)
                  : colourMode == COLOUR_VALUE     ? value_scale(shown)
                                                   : ColourScale();
  useArrays = mode >= 3 || order.size() > SOLID_BRANCH_LIMIT;
  if (useArrays) {
    PathStyle style;
    style.useCtreel = useCtreel != 0;
    style.shortcut = shortcut != 0;
    style.scale[0] = scaleX, style.scale[1] = scaleY, style.scale[2] = scaleZ;
    build_tree_drawing(shown, order, drawSet, style, useCtreel && contourData,
                       contourData ? contourData->isovalue : 0.0, arrays, colours);
  }
  // The old drawing's memory goes back before the new one is compiled.
  if (displayList) glDeleteLists(displayList, 1), displayList = 0;
  listValid = false;
  selected = true;
  cachedKey = key;
  return true;
}

void TreeViewer::shownPoints(std::vector<float>& out) const {
  out.clear();
  const FlatTree* t = shownTree();
  if (!t || !selected) return;
  auto add = [&](double x, double y, double z) {
    out.insert(out.end(), {float(x * scaleX), float(y * scaleY), float(z * scaleZ)});
  };
  for (Index b : order) {
    const FlatBranch& br = t->branches[size_t(b)];
    const Vertex& p = t->vertices[size_t(br.ends[0])];
    const Vertex& q = t->vertices[size_t(br.ends[1])];
    add(p.x, p.y, p.z);
    add(q.x, q.y, q.z);
    if (useCtreel && b != 0) add(p.x, p.y, q.z);
  }
}

void TreeViewer::display() {
  if (!update()) return;
  if (listValid) {
    glCallList(displayList);
    drawHighlight();
    return;
  }
  // Compiled at the first frame after a change, replayed after that; the
  // list holds its own copy of the arrays, which go then.
  if (!displayList) displayList = glGenLists(1);
  ++listBuilds;
  if (displayList) glNewList(displayList, GL_COMPILE_AND_EXECUTE);
  if (useArrays) {
    drawArrays();
  } else {
    const FlatTree& shown = *(useCtreel ? mainData->ctreel : mainData->ctree);
    PathStyle style;
    style.useCtreel = useCtreel != 0;
    style.shortcut = shortcut != 0;
    style.scale[0] = scaleX, style.scale[1] = scaleY, style.scale[2] = scaleZ;
    SolidDrawing solid;
    build_solid_drawing(shown, order, drawSet, style, sphereRadius, tubeRadius, mode == 1, useCtreel && contourData,
                        contourData ? contourData->isovalue : 0.0, solid, colours);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, solid.positions.data());
    glNormalPointer(GL_FLOAT, 0, solid.normals.data());
    glColorPointer(3, GL_UNSIGNED_BYTE, 0, solid.colours.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(solid.corners()));
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
  }
  if (displayList) glEndList();
  listValid = displayList != 0;
  if (listValid && useArrays) arrays = TreeDrawing();
  drawHighlight();
}

PathStyle TreeViewer::pathStyle() const {
  PathStyle style;
  style.useCtreel = useCtreel != 0;
  style.shortcut = shortcut != 0;
  style.scale[0] = scaleX, style.scale[1] = scaleY, style.scale[2] = scaleZ;
  return style;
}

void TreeViewer::drawHighlight() const {
  const FlatTree* shown = shownTree();
  if (highlight == NULL_INDEX || !shown || size_t(highlight) >= shown->branches.size()) return;
  BranchPath path;
  build_branch_path(*shown, highlight, highlight == 0, pathStyle(), drawSet, path);
  if (path.size() == 0) return;
  // Unlit and over everything, so it reads in any view and colouring.
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glColor3ub(HIGHLIGHT_RGB[0], HIGHLIGHT_RGB[1], HIGHLIGHT_RGB[2]);
  glLineWidth(4);
  glBegin(GL_LINE_STRIP);
  for (size_t i = 0; i < path.size(); ++i) glVertex3dv(&path.points[3 * i]);
  glEnd();
  glLineWidth(1);
  glPointSize(10);
  glBegin(GL_POINTS);
  glVertex3dv(&path.points[0]);
  glVertex3dv(&path.points[3 * (path.size() - 1)]);
  glEnd();
  glPointSize(1);
  glEnable(GL_DEPTH_TEST);
}

void TreeViewer::drawArrays() const {
  glDisable(GL_LIGHTING);
  glEnableClientState(GL_VERTEX_ARRAY);
  // Wide lines and points cost a software renderer most of its time: a
  // big tree draws them thin.
  const bool many = arrays.branches > SOLID_BRANCH_LIMIT;
  glDisable(GL_LIGHTING);
  if (!arrays.lines.empty() && (mode == 1 || mode == 3)) {
    glLineWidth(many ? 1 : mode == 3 ? 3 : 2);
    glColor3f(0.3f, 0.3f, 0.3f);
    const bool coloured = arrays.lineColours.size() == arrays.lines.size();
    if (coloured) {
      glEnableClientState(GL_COLOR_ARRAY);
      glColorPointer(3, GL_UNSIGNED_BYTE, 0, arrays.lineColours.data());
    }
    glVertexPointer(3, GL_FLOAT, 0, arrays.lines.data());
    glDrawArrays(GL_LINES, 0, GLsizei(arrays.lines.size() / 3));
    if (coloured) glDisableClientState(GL_COLOR_ARRAY);
    glLineWidth(1);
  }
  glPointSize(many ? 3 : 5);
  if (!arrays.points.empty()) {
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_UNSIGNED_BYTE, 0, arrays.colours.data());
    glVertexPointer(3, GL_FLOAT, 0, arrays.points.data());
    glDrawArrays(GL_POINTS, 0, GLsizei(arrays.points.size() / 3));
    glDisableClientState(GL_COLOR_ARRAY);
  }
  if (!arrays.markers.empty()) {
    glColor3ubv(MARKER_RGB);
    glVertexPointer(3, GL_FLOAT, 0, arrays.markers.data());
    glDrawArrays(GL_POINTS, 0, GLsizei(arrays.markers.size() / 3));
  }
  glPointSize(1);
  glDisableClientState(GL_VERTEX_ARRAY);
}

std::ostream& operator<<(std::ostream& out, const TreeViewer& v) {
  out << v.useCtreel << ' ' << v.shortcut << ' ' << v.scaleX << ' ' << v.scaleY << ' ' << v.scaleZ << ' '
      << v.tubeRadius << ' ' << v.sphereRadius << ' ' << v.mode << ' ' << '\n';
  return out;
}

std::istream& operator>>(std::istream& in, TreeViewer& v) {
  int useCtreel = v.useCtreel, shortcut = v.shortcut, mode = v.mode;
  float s[5] = {v.scaleX, v.scaleY, v.scaleZ, v.tubeRadius, v.sphereRadius};
  if (in >> useCtreel) v.useCtreel = useCtreel != 0;
  if (in >> shortcut) v.shortcut = shortcut != 0;
  for (float& f : s) {
    float value;
    if (in >> value) f = value;
  }
  v.scaleX = s[0], v.scaleY = s[1], v.scaleZ = s[2], v.tubeRadius = s[3], v.sphereRadius = s[4];
  if (in >> mode && mode >= 0 && mode <= 4) v.mode = mode;
  return in;
}

}  // namespace ctree
