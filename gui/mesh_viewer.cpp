#include "gui/mesh_viewer.h"

#include <GL/gl.h>

#include "workspace/contour_data.h"
#include "workspace/main_data.h"

namespace ctree {

void MeshViewer::display() {
  if (!mainData || !mainData->field2d || mode == 0) return;
  const ScalarField2D& f = *mainData->field2d;
  auto vertex = [&](Index i) {
    const Vertex& v = f.vertices[i];
    glVertex3f(float(v.x), float(v.y), float(v.z));
  };
  if (mode == 1) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.1f);
    for (const Triangle& t : f.triangles) {
      glBegin(GL_LINE_LOOP);
      for (int k = 0; k < 3; ++k) vertex(t[k]);
      glEnd();
    }
    glDisable(GL_BLEND);
    return;
  }
  const bool normals = f.hasNormals();
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_LIGHTING);
  if (normals) glEnable(GL_POINT_SMOOTH);
  glColor4f(0.78f, 0.78f, 0.78f, 0.4f);
  glBegin(mode == 2 ? GL_TRIANGLES : GL_POINTS);
  for (const Triangle& t : f.triangles)
    for (int k = 0; k < 3; ++k) {
      if (normals) {
        const Real* n = &f.normals[3 * size_t(t[k])];
        glNormal3f(-float(n[0]), -float(n[1]), -float(n[2]));
      }
      vertex(t[k]);
    }
  glEnd();
  glDisable(GL_POINT_SMOOTH);
  glDisable(GL_LIGHTING);
  glDisable(GL_COLOR_MATERIAL);
}

void ContourViewer::setViewmode(int m) {
  viewmode = ((m % 3) + 3) % 3;
  if (viewmode == 0 || !contourData) return;
  // Switching on shows the contour at once: registered data (the spectrum
  // or the panel may have registered it) may have none extracted yet.
  if (!contourData->dataset) contourData->registerData();
  if (!contourData->contour2d && !contourData->contour3d) contourData->setIsovalue(contourData->isovalue, 1);
}

void ContourViewer::display() {
  if (viewmode == 0 || !contourData || !contourData->dataset) return;
  if (contourData->owner && contourData->owner->field2d)
    display2d();
  else
    display3d();
}

void ContourViewer::display2d() {
  const contour::Contour2dData* c = contourData->contour2d;
  if (!c) return;
  const std::string& axis = contourData->owner->dataset.var;
  const float h = float(contourData->isovalue);
  glDisable(GL_LIGHTING);
  glColor3f(0, 1, 0);
  glLineWidth(3);
  glBegin(GL_LINES);
  for (int e = 0; e < c->nedge; ++e)
    for (int k = 0; k < 2; ++k) {
      const float u = c->vert[c->edge[e][k]][0], v = c->vert[c->edge[e][k]][1];
      if (axis == "x")
        glVertex3f(h, u, v);
      else if (axis == "y")
        glVertex3f(u, h, v);
      else
        glVertex3f(u, v, h);
    }
  glEnd();
  glLineWidth(1);
}

void ContourViewer::display3d() {
  const contour::Contour3dData* c = contourData->contour3d;
  if (!c) return;
  static const GLfloat lmodel_twoside[] = {1};
  static const GLfloat front_mat_ambient[] = {0.3f, 0.3f, 0.3f, 1};
  static const GLfloat front_mat_shininess[] = {30};
  static const GLfloat front_mat_specular[] = {0.2f, 0.2f, 0.2f, 1};
  static const GLfloat front_mat_diffuse[] = {0.8f, 0.58f, 0.48f, 1};
  static const GLfloat back_mat_ambient[] = {0.3f, 0.3f, 0.3f, 1};
  static const GLfloat back_mat_shininess[] = {50};
  static const GLfloat back_mat_specular[] = {0.5f, 0.5f, 0.2f, 1};
  static const GLfloat back_mat_diffuse[] = {1.0f, 1.0f, 0.2f, 1};
  glEnable(GL_POINT_SMOOTH);
  glEnable(GL_LIGHTING);
  // The library's arrays go to GL as they are: no copy, no call per vertex.
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, c->vert);
  glNormalPointer(GL_FLOAT, 0, c->vnorm);
  const int* indices = &c->tri[0][0];
  int count = 3 * c->ntri;
  if (moving && c->ntri > MOVING_TRIANGLES) {
    if (sampledOf != c || sampledAt != contourData->extractions()) {
      const int k = (c->ntri + MOVING_TRIANGLES - 1) / MOVING_TRIANGLES;
      sampled.clear();
      for (int t = 0; t < c->ntri; t += k) sampled.insert(sampled.end(), c->tri[t], c->tri[t] + 3);
      sampledOf = c;
      sampledAt = contourData->extractions();
    }
    indices = sampled.data();
    count = int(sampled.size());
  }
  if (viewmode == 1) {
    glLightModelfv(GL_LIGHT_MODEL_TWO_SIDE, lmodel_twoside);
    glMaterialfv(GL_FRONT, GL_AMBIENT, front_mat_ambient);
    glMaterialfv(GL_FRONT, GL_SHININESS, front_mat_shininess);
    glMaterialfv(GL_FRONT, GL_SPECULAR, front_mat_specular);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, front_mat_diffuse);
    glMaterialfv(GL_BACK, GL_AMBIENT, back_mat_ambient);
    glMaterialfv(GL_BACK, GL_SHININESS, back_mat_shininess);
    glMaterialfv(GL_BACK, GL_SPECULAR, back_mat_specular);
    glMaterialfv(GL_BACK, GL_DIFFUSE, back_mat_diffuse);
    glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, indices);
  } else {
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.3f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, indices);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_COLOR_MATERIAL);
  }
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisable(GL_POINT_SMOOTH);
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
}

std::ostream& operator<<(std::ostream& out, const MeshViewer& v) {
  out << v.mode << ' ';
  return out;
}

std::istream& operator>>(std::istream& in, MeshViewer& v) {
  int mode = 0;
  if (in >> mode && mode >= 0 && mode <= 3) v.mode = mode;
  return in;
}

std::ostream& operator<<(std::ostream& out, const ContourViewer& v) {
  out << v.viewmode << '\n';
  if (v.contourData) out << *v.contourData;
  out << '\n';
  return out;
}

std::istream& operator>>(std::istream& in, ContourViewer& v) {
  int mode = 0;
  if (in >> mode && mode >= 0 && mode <= 2) v.viewmode = mode;
  if (v.contourData) in >> *v.contourData;
  return in;
}

}  // namespace ctree
