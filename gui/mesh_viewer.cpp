#include "gui/mesh_viewer.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

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

void ContourViewer::upload(Buffers& b, const float* vertices, const float* normals, int vertexCount,
                           const int* triangles, int triangleCount) {
  // Errors of earlier calls are not this copy's.
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) continue;
  if (!b.names[0]) glGenBuffers(3, b.names);
  const GLsizeiptr corners = GLsizeiptr(vertexCount) * 3 * GLsizeiptr(sizeof(float));
  glBindBuffer(GL_ARRAY_BUFFER, b.names[0]);
  glBufferData(GL_ARRAY_BUFFER, corners, vertices, GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, b.names[1]);
  glBufferData(GL_ARRAY_BUFFER, corners, normals, GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.names[2]);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(triangleCount) * 3 * GLsizeiptr(sizeof(int)), triangles,
               GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  // Out of memory for the copy: nothing is drawn from these buffers.
  b.indices = glGetError() == GL_NO_ERROR ? 3 * triangleCount : 0;
  ++uploads;
}

void ContourViewer::drawBuffers(const Buffers& b) {
  if (b.indices <= 0) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, b.names[0]);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, b.names[1]);
  glNormalPointer(GL_FLOAT, 0, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.names[2]);
  glDrawElements(GL_TRIANGLES, b.indices, GL_UNSIGNED_INT, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
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
  const long at = contourData->extractions();
  const ScalarField3DGrid* field = contourData->owner ? contourData->owner->field3d : nullptr;
  const bool big = field && c->ntri > MOVING_TRIANGLES;
  const bool fullNew = full.of != c || full.at != at;
  const bool coarseFirst = progressive && big && fullNew && !(coarseFirstOf == c && coarseFirstAt == at);
  refinePending = false;
  const Buffers* drawn = &full;
  if (!(moving && big) && !coarseFirst && fullNew) {
    // The surface goes to GL once per extraction and is drawn from there.
    upload(full, &c->vert[0][0], &c->vnorm[0][0], c->nvert, &c->tri[0][0], c->ntri);
    full.of = c;
    full.at = at;
  }
  if ((moving || coarseFirst) && big) {
    // The whole surface of a coarser grid: made at the first frame of a
    // drag after a change of the field or the isovalue.
    if (coarseGridOf != field) {
      coarsen_grid(*field, coarse_factor(c->ntri, MOVING_TRIANGLES), coarseGrid);
      coarseGridOf = field;
      coarse.at = -1;
    }
    if (coarse.of != c || coarse.at != at) {
      Report report;
      if (coarse_isosurface(coarseGrid, float(contourData->isovalue), coarseSurface, report)) {
        upload(coarse, coarseSurface.vertices.data(), coarseSurface.normals.data(), coarseSurface.vertexCount(),
               coarseSurface.triangles.data(), coarseSurface.triangleCount());
      } else {
        coarse.indices = 0;
      }
      ++coarseExtractions;
      coarse.of = c;
      coarse.at = at;
    }
    if (coarse.indices > 0) drawn = &coarse;
    if (coarseFirst) {
      coarseFirstOf = c;
      coarseFirstAt = at;
      refinePending = true;
    }
  }
  glEnable(GL_LIGHTING);
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
    drawBuffers(*drawn);
  } else {
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.3f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    drawBuffers(*drawn);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_COLOR_MATERIAL);
  }
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
