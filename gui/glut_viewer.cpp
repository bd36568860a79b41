#include "gui/glut_viewer.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "gui/png_file.h"
#include "gui/trackball.h"
#include "gui/key_help.h"
#include "gui/screen_axes.h"

namespace ctree {

namespace {

struct WindowEntry {
  GlutViewer* viewer;
  int id;
};
// Every window of the run, in creation order; nothing is ever removed.
WindowEntry _windows[256];
int _nwindows = 0;

std::string snapshotDir;
MessageSink* viewerMessages = &no_messages();
bool snapshotsArmed = false;
bool frameLog = false;
// Counts the input events that may have changed what the windows show; a
// kept picture is good while the count is the one it was drawn at.
long inputSerial = 0;
bool eventKeepsScenes = false;
GlutViewer::FrameCounts counts;

double wall_seconds() {
  timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Runs one input event's handler: afterwards the kept pictures are stale
// unless the handler said otherwise.
template <class F>
void input_event(F handler) {
  eventKeepsScenes = false;
  handler();
  if (!eventKeepsScenes) ++inputSerial;
}

const float START_ROTATION[3][3] = {{-0.641165316f, -0.439792305f, 0.628879786f},
                                    {0.767399728f, -0.365080714f, 0.527080774f},
                                    {-0.00221440196f, 0.820547879f, 0.571573198f}};

void set_identity3(float m[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i][j] = i == j ? 1.0f : 0.0f;
}

void draw_text(const char* text) {
  for (const char* c = text; *c; ++c) glutBitmapCharacter(GLUT_BITMAP_8_BY_13, *c);
}

}  // namespace

std::string snapshot_file_name(const std::string& title) {
  std::string out;
  for (char c : title) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                      c == '-';
    if (keep)
      out += c;
    else if (out.empty() || out.back() != '_')
      out += '_';
  }
  return (out.empty() ? std::string("window") : out) + ".png";
}

GlutViewer::GlutViewer(int w, int h, int x, int y, const char* title_, float r, float g, float b, float a,
                       bool fullscreen)
    : title(title_ ? title_ : "") {
  static bool glui_init = false;
  if (!glui_init) {
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glui_init = true;
  }
  glutInitWindowSize(w, h);
  glutInitWindowPosition(x, y);
  windowHandle = glutCreateWindow(title.c_str());
  if (fullscreen) glutFullScreen();
  width = w;
  height = h;
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glClearColor(r, g, b, a);
  loadProjection();
  glutPostRedisplay();

  matident(rotation);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) rotation[i][j] = START_ROTATION[i][j];
  set_identity3(screenAxes);
  scaling = 2.0f;

  glutKeyboardFunc(static_callback_keydown);
  glutSpecialFunc(static_callback_special);
  glutDisplayFunc(static_callback_display);
  glutMouseFunc(static_callback_mouse);
  glutMotionFunc(static_callback_motion);
  glutReshapeFunc(static_callback_reshape);
  // A window drawn before it was mapped, or uncovered, draws again.
  glutWindowStatusFunc([](int state) {
    if (state != GLUT_HIDDEN) glutPostRedisplay();
  });

  matricesDirty = 1;
  glEnable(GL_NORMALIZE);
  const GLfloat diffuse[4] = {1, 1, 1, 1};
  const GLfloat position[4] = {10, 10, 10, 1};
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 0.1f);
  glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.05f);
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glEnable(GL_LIGHT0);

  if (_nwindows < 256) _windows[_nwindows++] = {this, windowHandle};
}

GlutViewer* GlutViewer::getWin() {
  const int id = glutGetWindow();
  for (int i = 0; i < _nwindows; ++i)
    if (_windows[i].id == id) return _windows[i].viewer;
  return nullptr;
}

// Events of a window outside the table are dropped.
void GlutViewer::static_callback_mouse(int button, int state, int x, int y) {
  if (GlutViewer* v = getWin()) input_event([&] { v->callback_mouse(button, state, x, y); });
}
void GlutViewer::static_callback_motion(int x, int y) {
  if (GlutViewer* v = getWin()) input_event([&] { v->callback_motion(x, y); });
}
void GlutViewer::static_callback_keydown(unsigned char key, int x, int y) {
  if (GlutViewer* v = getWin()) input_event([&] { v->callback_keydown(key, x, y); });
}
void GlutViewer::static_callback_special(int key, int x, int y) {
  if (GlutViewer* v = getWin()) input_event([&] { v->callback_special(key, x, y); });
}
void GlutViewer::static_callback_reshape(int w, int h) {
  if (GlutViewer* v = getWin()) v->callback_reshape(w, h);
}
void GlutViewer::static_callback_display() {
  GlutViewer* v = getWin();
  if (!v) return;
  const int w = glutGet(GLUT_WINDOW_WIDTH), h = glutGet(GLUT_WINDOW_HEIGHT);
  if (w != v->width || h != v->height) {
    // A resize is on its way (its reshape draws the window again): a frame
    // now would be drawn at the old size and shown until the next.
    if (!v->sizeCheckPending) {
      v->sizeCheckPending = true;
      glutTimerFunc(200, checkSize, v->windowHandle);
    }
    return;
  }
  if (w != v->bufferWidth || h != v->bufferHeight) {
    // The renderer may still hold buffers of the size the window had at
    // its last swap (or at its creation): one cleared swap, and the next
    // frame is drawn into buffers of the present size.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
    v->bufferWidth = w;
    v->bufferHeight = h;
  }
  // The viewport of the size the window has now: a context may set its
  // own at its first draw, from the size the window was created with.
  glViewport(0, 0, v->width, v->height);
  v->frameKept = false;
  v->frameStart = wall_seconds();
  v->callback_display();
}

// A resize whose reshape did not come (a window manager may answer with
// the size the window already had): the window takes the size it has.
void GlutViewer::checkSize(int windowId) {
  glutSetWindow(windowId);
  GlutViewer* v = getWin();
  if (!v) return;
  v->sizeCheckPending = false;
  const int w = glutGet(GLUT_WINDOW_WIDTH), h = glutGet(GLUT_WINDOW_HEIGHT);
  if (w != v->width || h != v->height) v->callback_reshape(w, h);
  glutPostRedisplay();
}

void GlutViewer::setFrameLog(bool on) { frameLog = on; }

bool GlutViewer::takingSnapshots() { return !snapshotDir.empty(); }

void GlutViewer::sceneUnchanged() { eventKeepsScenes = true; }

void GlutViewer::scenesChanged() { ++inputSerial; }

GlutViewer::FrameCounts GlutViewer::frameCounts() { return counts; }

bool GlutViewer::restoreScene() {
  if (!sceneTexture || sceneSerial != inputSerial || sceneWidth != width || sceneHeight != height) return false;
  glClear(GL_DEPTH_BUFFER_BIT);
  begin_pixel_drawing(width, height);
  glDisable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, sceneTexture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  // Texel i at the centre of pixel i: the picture comes back bit for bit.
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2i(0, 0);
  glTexCoord2f(1, 0), glVertex2i(width, 0);
  glTexCoord2f(1, 1), glVertex2i(width, height);
  glTexCoord2f(0, 1), glVertex2i(0, height);
  glEnd();
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);
  end_pixel_drawing();
  frameKept = true;
  return true;
}

float GlutViewer::sceneDepthAt(int x, int y) {
  if (x < 0 || y < 0 || x >= width || y >= height) return 1;
  const int row = height - 1 - y;
  if (sceneSerial >= 0 && sceneWidth == width && sceneHeight == height &&
      sceneDepth.size() == size_t(width) * size_t(height))
    return sceneDepth[size_t(row) * size_t(width) + size_t(x)];
  float depth = 1;
  glReadPixels(x, row, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  return depth;
}

void GlutViewer::keepScene() {
  // Errors of earlier calls are not this copy's.
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) continue;
  if (!sceneTexture) glGenTextures(1, &sceneTexture);
  if (!sceneTexture) return;
  glBindTexture(GL_TEXTURE_2D, sceneTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glReadBuffer(GL_BACK);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 0, 0, width, height, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  // Its depth, for a click on the surface after the picture is restored.
  sceneDepth.resize(size_t(std::max(0, width)) * size_t(std::max(0, height)));
  if (!sceneDepth.empty()) glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, sceneDepth.data());
  // A copy that failed (no memory for it) is not kept.
  const bool ok = glGetError() == GL_NO_ERROR;
  sceneSerial = ok ? inputSerial : -1;
  sceneWidth = width;
  sceneHeight = height;
}

static int run_status = 0;

int GlutViewer::run() {
  // Closing a window ends the run like Esc does, returning here.
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
  // Every window draws its first frame without waiting for an event of its
  // own: once the arrangement has settled, all are drawn again.
  glutTimerFunc(
      250, [](int) { fullRedisplayAll(); }, 0);
  glutMainLoop();
  return run_status;
}

void GlutViewer::endRun(int status) {
  run_status = status;
  glutLeaveMainLoop();
}

void GlutViewer::fullRedisplay() { glutPostRedisplay(); }

void GlutViewer::fullRedisplayAll() {
  for (int i = 0; i < _nwindows; ++i) {
    glutSetWindow(_windows[i].id);
    glutPostRedisplay();
  }
}

int GlutViewer::getWindowWidth() const { return glutGet(GLUT_WINDOW_WIDTH); }
int GlutViewer::getWindowHeight() const { return glutGet(GLUT_WINDOW_HEIGHT); }

void GlutViewer::Move(int x1, int y1, int x2, int y2) {
  glutSetWindow(windowHandle);
  glutPositionWindow(x1, y1);
  glutReshapeWindow(std::max(1, x2 - x1), std::max(1, y2 - y1));
}

void GlutViewer::loadProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(ortho[0], ortho[1], ortho[2], ortho[3], ortho[4], ortho[5]);
  glMatrixMode(GL_MODELVIEW);
}

void GlutViewer::aspectCorrect() {
  ortho[0] = ortho[2] = -1;
  ortho[1] = ortho[3] = 1;
  if (width <= 0 || height <= 0) return;
  if (width <= height) {
    ortho[3] = float(height) / float(width);
    ortho[2] = -ortho[3];
  } else {
    ortho[1] = float(width) / float(height);
    ortho[0] = -ortho[1];
  }
}

void GlutViewer::resetOrtho() {
  aspectCorrect();
  ortoChanged();
}

void GlutViewer::ortoChanged() {
  loadProjection();
  matricesDirty = 1;
  glutPostRedisplay();
}

void GlutViewer::unsetMatrix() {
  matident(rotation);
  set_identity3(screenAxes);
  matricesDirty = 1;
}

void GlutViewer::setNewRotation(int view) {
  for (auto& row : rotation)
    for (float& e : row) e = 0;
  rotation[3][3] = 1;
  for (auto& row : screenAxes)
    for (float& e : row) e = 0;
  const int v = view < 0 || view > 2 ? 0 : view;
  if (v == 1) {
    // Along y: x to the right and z up, y into the screen, so
    // that a scan whose z runs to the head stands upright (as it does in
    // the side view, key 3) rather than lying on its side.
    rotation[0][0] = 1, rotation[1][2] = -1, rotation[2][1] = 1;
    screenAxes[0][0] = 1, screenAxes[1][2] = 1, screenAxes[2][1] = 1;
  } else {
    // View v maps axis i to axis (i + v) mod 3.
    for (int i = 0; i < 3; ++i) {
      rotation[i][(i + v) % 3] = 1;
      screenAxes[i][(i + v) % 3] = 1;
    }
  }
  matricesDirty = 1;
}

void GlutViewer::move_ortho(float dx, float dy) {
  ortho[0] += dx / float(width);
  ortho[1] += dx / float(width);
  ortho[2] -= dy / float(height);
  ortho[3] -= dy / float(height);
  ortoChanged();
}

void GlutViewer::move_rotate(float x1, float y1, float x2, float y2) {
  const float w = float(width), h = float(height);
  float q[4], m[4][4];
  trackball(q, (2 * x1 - w) / w, (h - 2 * y1) / h, (2 * x2 - w) / w, (h - 2 * y2) / h);
  build_rotmatrix(m, q);
  matxmat(rotation, rotation, m);
  matricesDirty = 1;
  glutPostRedisplay();
}

void GlutViewer::move_scaling(float d) {
  scaling *= d / float(width) + 1;
  matricesDirty = 1;
  glutPostRedisplay();
}

void GlutViewer::grabMatrices() {
  if (!matricesDirty) return;
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  matricesDirty = 0;
}

void GlutViewer::vectors() {
  double p[4][3];
  const double wx[4] = {width / 2.0, width / 2.0 + 1, width / 2.0, width / 2.0};
  const double wy[4] = {height / 2.0, height / 2.0, height / 2.0 + 1, height / 2.0};
  const double wz[4] = {0, 0, 0, width > 0 ? 1.0 / width : 0};
  for (int i = 0; i < 4; ++i)
    gluUnProject(wx[i], wy[i], wz[i], modelview, projection, viewport, &p[i][0], &p[i][1], &p[i][2]);
  for (int r = 0; r < 3; ++r)
    for (int a = 0; a < 3; ++a) screenAxes[r][a] = float(p[r + 1][a] - p[0][a]);
}

void GlutViewer::convertScreenPoint(const int& x, const int& y, double& x0, double& y0, double& z0, double& x1,
                                    double& y1, double& z1) {
  const double H = glutGet(GLUT_WINDOW_HEIGHT);
  gluUnProject(x, H - y, 0, modelview, projection, viewport, &x0, &y0, &z0);
  gluUnProject(x, H - y, 1, modelview, projection, viewport, &x1, &y1, &z1);
}

void GlutViewer::startScene(int r1, int g1, int b1, int r2, int g2, int b2) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  drawBackground(width, height, r1, g1, b1, r2, g2, b2);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMultMatrixf(&rotation[0][0]);
}

void GlutViewer::clearWindow(float r, float g, float b) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColor3f(r, g, b);
}

void GlutViewer::callback_reshape(int w, int h) {
  width = w;
  height = h;
  glViewport(0, 0, w, h);
  if (!keepOrthoOnReshape)
    aspectCorrect();
  else
    keepOrthoOnReshape = 0;
  loadProjection();
  matricesDirty = 1;
  // Without a window manager a window that shrinks gets no expose event:
  // its picture is drawn again here.
  glutPostRedisplay();
}

void GlutViewer::callback_mouse(int button, int state, int x, int y) {
  if (button == GLUT_LEFT_BUTTON) {
    if (state == GLUT_DOWN) {
      if (glutGetModifiers() & GLUT_ACTIVE_SHIFT)
        scalingOn = true;
      else
        rotatingOn = true;
      lastX = x;
      lastY = y;
    } else {
      scalingOn = rotatingOn = false;
      glutPostRedisplay();
    }
  } else if (button == GLUT_MIDDLE_BUTTON) {
    if (state == GLUT_DOWN) {
      translatingOn = true;
      lastX = x;
      lastY = y;
    } else {
      translatingOn = false;
      glutPostRedisplay();
    }
  }
}

void GlutViewer::callback_motion(int x, int y) {
  if (translatingOn) {
    const float dx = float(lastX - x) / float(width), dy = float(lastY - y) / float(height);
    ortho[0] += dx;
    ortho[1] += dx;
    ortho[2] -= dy;
    ortho[3] -= dy;
    loadProjection();
  } else if (scalingOn) {
    scaling *= 1 + float(lastX - x) / float(width);
  } else if (rotatingOn) {
    move_rotate(float(lastX), float(lastY), float(x), float(y));
    lastX = x;
    lastY = y;
    return;
  } else {
    return;
  }
  matricesDirty = 1;
  glutPostRedisplay();
  lastX = x;
  lastY = y;
}

std::string GlutViewer::keyHelp() const {
  // The keys above: a window that adds none (the mesh window) has these.
  return key_help_text(mesh_window_keys());
}

bool GlutViewer::sharedKey(unsigned char key) {
  switch (key) {
    case 'h':
    case '?':
      sceneUnchanged();
      helpShown = !helpShown;
      if (helpShown) {
        messages().status(format_message("keys of the window \"%s\":\n%s", title.c_str(), keyHelp().c_str()));
      }
      glutPostRedisplay();
      return true;
    case '1':
    case '2':
    case '3':
      unsetMatrix();
      setNewRotation(key - '1');
      glutPostRedisplay();
      return true;
    case 27:
      glutDestroyWindow(windowHandle);
      endRun(0);
      return true;
    default: return false;
  }
}

void GlutViewer::callback_keydown(unsigned char key, int, int) {
  if (sharedKey(key)) return;
  switch (key) {
    case 's':
    case 'S':
      unsetMatrix();
      glutPostRedisplay();
      break;
    case 'F': glutFullScreen(); break;
    default: break;
  }
}

void GlutViewer::callback_special(int, int, int) {}

void GlutViewer::drawBackground(int w, int h, int r1, int g1, int b1, int r2, int g2, int b2) {
  begin_pixel_drawing(w, h);
  glBegin(GL_QUADS);
  glColor3f(r1 / 255.0f, g1 / 255.0f, b1 / 255.0f);
  glVertex2i(0, 0);
  glVertex2i(w, 0);
  glColor3f(r2 / 255.0f, g2 / 255.0f, b2 / 255.0f);
  glVertex2i(w, h);
  glVertex2i(0, h);
  glEnd();
  end_pixel_drawing();
}

void GlutViewer::drawScreenText(int x, int y, const char* text, float r, float g, float b) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glColor3f(r, g, b);
  glRasterPos3i(x, y, 1);
  int lines = 0;
  for (const char* c = text; *c;) {
    if (*c == '\n' || *c == '\r') {
      while (*c == '\n' || *c == '\r') ++c;
      ++lines;
      glRasterPos2i(x, y - 15 * lines);
      continue;
    }
    if (std::strncmp(c, "rgb", 3) == 0) {
      int rgb[3] = {0, 0, 0};
      const char* p = std::strchr(c, '(');
      for (int k = 0; k < 3 && p; ++k) {
        rgb[k] = std::atoi(p + 1);
        p = k < 2 ? std::strchr(p + 1, ',') : p;
      }
      const char* close = std::strchr(c, ')');
      if (!close) break;  // an unfinished mark ends the text
      glColor3f(rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f);
      GLint pos[4];
      glGetIntegerv(GL_CURRENT_RASTER_POSITION, pos);
      glRasterPos3iv(pos);
      c = close + 1;
      if (*c) glutBitmapCharacter(GLUT_BITMAP_8_BY_13, *c++);
      continue;
    }
    glutBitmapCharacter(GLUT_BITMAP_8_BY_13, *c++);
  }
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void GlutViewer::drawWorldText(float x, float y, float z, const char* text) {
  glRasterPos3f(x, y, z);
  draw_text(text);
}

void GlutViewer::drawPointCoords(float x, float y, float z) {
  char label[128];
  std::snprintf(label, sizeof label, "(%d;%d;%d)", int(x), int(y), int(z));
  drawWorldText(x, y, z, label);
}

void GlutViewer::drawWireBox(float x1, float y1, float z1, float x2, float y2, float z2, float r, float g, float b,
                             bool labels) {
  glColor3f(r, g, b);
  for (float z : {z1, z2}) {
    glBegin(GL_LINE_LOOP);
    glVertex3f(x1, y1, z);
    glVertex3f(x2, y1, z);
    glVertex3f(x2, y2, z);
    glVertex3f(x1, y2, z);
    glEnd();
  }
  glBegin(GL_LINES);
  const float xs[4] = {x1, x2, x2, x1}, ys[4] = {y1, y1, y2, y2};
  for (int i = 0; i < 4; ++i) {
    glVertex3f(xs[i], ys[i], z1);
    glVertex3f(xs[i], ys[i], z2);
  }
  glEnd();
  if (!labels) return;
  for (float z : {z1, z2}) {
    drawPointCoords(x1, y1, z);
    drawPointCoords(x2, y1, z);
    drawPointCoords(x1, y2, z);
    drawPointCoords(x2, y2, z);
  }
}

void GlutViewer::drawWirePlane(const float* p0, const float* p1, const float* p2, const float* p3, float r, float g,
                               float b, bool labels) {
  glColor3f(r, g, b);
  glBegin(GL_LINE_LOOP);
  for (const float* p : {p0, p1, p2, p3}) glVertex3fv(p);
  glEnd();
  if (labels)
    for (const float* p : {p0, p1, p2, p3}) drawPointCoords(p[0], p[1], p[2]);
}

void GlutViewer::setSnapshotDir(const std::string& dir) { snapshotDir = dir; }

void GlutViewer::setMessages(MessageSink& sink) { viewerMessages = &sink; }

MessageSink& GlutViewer::messages() { return *viewerMessages; }

// A window that others cover whole (a scene can place one so) gets no
// expose and so never draws: the first that has not drawn yet is raised,
// every 300 ms, until all have.
void GlutViewer::raiseWaitingWindow(int) {
  for (int i = 0; i < _nwindows; ++i)
    if (!_windows[i].viewer->snapshotTaken) {
      glutSetWindow(_windows[i].id);
      glutPopWindow();
      glutPostRedisplay();
      glutTimerFunc(300, raiseWaitingWindow, 0);
      return;
    }
}

void GlutViewer::armSnapshots(int milliseconds) {
  if (snapshotDir.empty()) return;
  glutTimerFunc(
      unsigned(std::max(0, milliseconds)),
      [](int) {
        snapshotsArmed = true;
        fullRedisplayAll();
        raiseWaitingWindow(0);
      },
      0);
  // A window that never draws (one hidden behind others is not redrawn)
  // must not keep a script waiting for ever.
  glutTimerFunc(
      unsigned(std::max(0, milliseconds)) + 60000u,
      [](int) {
        for (int i = 0; i < _nwindows; ++i)
          if (!_windows[i].viewer->snapshotTaken)
            messages().error(format_message("Error: snapshot: window \"%s\" drew no frame within a minute",
                                            _windows[i].viewer->title.c_str()));
        endRun(1);
      },
      0);
}

void GlutViewer::finishFrame() {
  // A kept picture's matrices were grabbed when it was drawn.
  if (!frameKept) grabMatrices();
  if (helpShown) {
    // A dark panel with the bindings over the picture.
    const std::string help = keyHelp();
    const int lines = 1 + int(std::count(help.begin(), help.end(), '\n'));
    begin_pixel_drawing(width, height);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.8f);
    const int top = height - 30, bottom = std::max(0, top - 15 * lines - 10);
    glBegin(GL_QUADS);
    glVertex2i(10, bottom), glVertex2i(width - 10, bottom), glVertex2i(width - 10, top), glVertex2i(10, top);
    glEnd();
    glDisable(GL_BLEND);
    drawScreenText(20, top - 17, help.c_str(), 1, 1, 1);
    end_pixel_drawing();
  }
  // A frame counts once the window has its final size.
  if (snapshotsArmed && !snapshotTaken && width == glutGet(GLUT_WINDOW_WIDTH) &&
      height == glutGet(GLUT_WINDOW_HEIGHT)) {
    glFinish();
    RgbImage image;
    image.width = width;
    image.height = height;
    std::vector<unsigned char> raw(3 * size_t(width) * size_t(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    image.pixels.resize(raw.size());
    const size_t row = 3 * size_t(width);
    for (int y = 0; y < height; ++y)  // GL counts rows from the bottom
      std::copy_n(&raw[size_t(height - 1 - y) * row], row, &image.pixels[size_t(y) * row]);
    const std::string name = snapshotDir + "/" + snapshot_file_name(title);
    std::string error;
    if (!write_png(name, image, error)) {
      messages().error(format_message("Error: snapshot: %s", error.c_str()));
      endRun(1);
      return;
    }
    messages().status(format_message("saved %s (%dx%d)", name.c_str(), width, height));
    snapshotTaken = true;
    bool all = true;
    for (int i = 0; i < _nwindows; ++i) all = all && _windows[i].viewer->snapshotTaken;
    if (all) endRun(0);
  } else if (snapshotsArmed && !snapshotTaken) {
    glutPostRedisplay();  // the resize is still on its way
  }
  glutSwapBuffers();
  bufferWidth = width;
  bufferHeight = height;
  ++(frameKept ? counts.kept : counts.drawn);
  if (frameLog) {
    glFinish();
    const double now = wall_seconds();
    const std::string work = frameWork();
    messages().status(
        format_message("frame \"%s\" %dx%d scene %s %.1f ms, swapped at %.6f; frames drawn %ld kept %ld%s%s",
                       title.c_str(), width, height, frameKept ? "kept" : "drawn", 1e3 * (now - frameStart), now,
                       counts.drawn, counts.kept, work.empty() ? "" : "; ", work.c_str()));
  }
}

ViewRecord GlutViewer::viewRecord() {
  ViewRecord v;
  glutSetWindow(windowHandle);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) v.rotation[4 * i + j] = rotation[i][j];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) v.screenAxes[3 * i + j] = screenAxes[i][j];
  v.scaling = scaling;
  std::copy(ortho, ortho + 6, v.ortho);
  v.screen[0] = glutGet(GLUT_SCREEN_WIDTH);
  v.screen[1] = glutGet(GLUT_SCREEN_HEIGHT);
  // GLUT gives the inside of the window and places its frame: the frame's
  // corner is what placing it again needs (the same without a manager).
  v.window[0] = glutGet(GLUT_WINDOW_X) - glutGet(GLUT_WINDOW_BORDER_WIDTH);
  v.window[1] = glutGet(GLUT_WINDOW_Y) - glutGet(GLUT_WINDOW_HEADER_HEIGHT);
  v.window[2] = glutGet(GLUT_WINDOW_WIDTH);
  v.window[3] = glutGet(GLUT_WINDOW_HEIGHT);
  return v;
}

void GlutViewer::applyView(const ViewRecord& v) {
  glutSetWindow(windowHandle);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) rotation[i][j] = v.rotation[4 * i + j];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) screenAxes[i][j] = v.screenAxes[3 * i + j];
  scaling = v.scaling;
  std::copy(v.ortho, v.ortho + 6, ortho);
  loadProjection();
  matricesDirty = 1;
  const double r = std::min(double(glutGet(GLUT_SCREEN_WIDTH)) / v.screen[0],
                            double(glutGet(GLUT_SCREEN_HEIGHT)) / v.screen[1]);
  const int w = std::max(1, int(r * v.window[2])), h = std::max(1, int(r * v.window[3]));
  glViewport(0, 0, w, h);
  glutPositionWindow(std::max(0, int(r * v.window[0])), std::max(0, int(r * v.window[1])));
  if (w != width || h != height) {
    keepOrthoOnReshape = 1;
    glutReshapeWindow(w, h);
  }
  width = w;
  height = h;
  glutPostRedisplay();
}

std::ostream& operator<<(std::ostream& out, GlutViewer* v) {
  ViewRecord r = v->viewRecord();
  for (float e : r.rotation) out << e << ' ';
  out << '\n';
  for (float e : r.screenAxes) out << e << ' ';
  out << r.scaling << '\n';
  out << r.ortho[0] << ' ' << r.ortho[1] << ' ' << r.ortho[2] << ' ' << r.ortho[3] << ' ' << r.ortho[4] << ' '
      << r.ortho[5] << '\n';
  out << r.screen[0] << ' ' << r.screen[1] << ' ' << r.window[0] << ' ' << r.window[1] << ' ' << r.window[2] << ' '
      << r.window[3] << ' ' << '\n';
  return out;
}

}  // namespace ctree
