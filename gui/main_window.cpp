#include "gui/main_window.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <iostream>

#include "workspace/contour_data.h"
#include "workspace/main_data.h"
#include "workspace/step_names.h"
#include "gui/mesh_window.h"
#include "gui/spectrum_window.h"
#include "gui/tree_window.h"

namespace ctree {

namespace {

const char* const LABELS[7] = {"frame", "iso", "time", "maxoo", "minoo", "maxchild", "threshold"};

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

}  // namespace

MainWindow::MainWindow(MainData* m, ContourData* c, TreeWindow* tw, MeshWindow* mw, SpectrumWindow* sw,
                       int loadScene)
    : GlutViewer(800, 800, 50, 50, TITLE, 0.5f, 0.5f, 0.5f, 1.0f, false),
      mainData(m),
      contourData(c),
      treeViewer(nullptr),
      contourViewer(nullptr),
      meshViewer(nullptr),
      treeWindow(tw),
      meshWindow(mw),
      spectrumWindow(sw) {
  assert(mainData && "maindata");
  frame = 0;
  treeViewer = new TreeViewer(m, c, 0);
  contourViewer = new ContourViewer(c);
  contourViewer->setViewmode(0);
  selectedItem = 0;
  if (m->field2d) {
    meshViewer = new MeshViewer(m);
    meshViewer->mode = 1;
  }
  tuneSteps = 256;
  movingBox = 0;
  if (loadScene) {
    openScene();
  } else {
    sceneExists = 0;
    arrangeWindows();
  }
}

void MainWindow::arrangeWindows() {
  const int SW = glutGet(GLUT_SCREEN_WIDTH), SH = glutGet(GLUT_SCREEN_HEIGHT);
  const int a = int(0.3 * SW), b = int(0.3 * SH);
  Move(a + 10, 5, SW - 100, SH - 100);
  const bool mesh = mainData->field2d && meshWindow;
  if (mesh) meshWindow->Move(5, 5, a - 10, b - 15);
  if (mesh && spectrumWindow) {
    // Both in the top corner would hide the mesh window completely: the
    // spectrum goes below it and the tree window below that.
    spectrumWindow->Move(5, b + 15, a - 10, 2 * b - 15);
    if (treeWindow) treeWindow->Move(5, 2 * b + 15, a - 10, SH - 100);
  } else {
    if (spectrumWindow) spectrumWindow->Move(5, 5, a - 10, b - 15);
    if (treeWindow) treeWindow->Move(5, b + 15, a - 10, SH - 100);
  }
  glutSetWindow(windowHandle);
}

std::string MainWindow::sceneFileName() const { return step_filename(mainData->dataset.sceneName, frame); }

double MainWindow::rootPersistence() const {
  const FlatTree* t = mainData->ctree ? mainData->ctree : mainData->ctreel;
  return t && !t->empty() ? t->root().persistence : 0.0;
}

void MainWindow::changeTime(int t) {
  contourData->unregisterData();
  mainData->setTime(t);
  contourData->registerData();
  contourData->setIsovalue(contourData->isovalue, 1);
}

void MainWindow::callback_display() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMultMatrixf(&rotation[0][0]);
  drawBackground(width, height, 216, 214, 221, 155, 157, 169);
  apply_model_box(*mainData, scaling);
  const TBox& m = mainData->modelBox;
  drawWireBox(m.x, m.y, m.z, m.x + m.dx, m.y + m.dy, m.z + m.dz, 0.2f, 0.2f, 0.2f, false);
  if (contourViewer) contourViewer->display();
  if (treeViewer) treeViewer->display();
  if (meshViewer) meshViewer->display();
  if (mainData->boxFilter) {
    const TBox& f = mainData->filterBox;
    glLineWidth(3);
    drawWireBox(f.x, f.y, f.z, f.x + f.dx, f.y + f.dy, f.z + f.dz, 0.8f, 0.4f, 0.6f, false);
    glLineWidth(1);
  }
  drawOptions();
  finishFrame();
}

std::string MainWindow::optionsLowerLine() const {
  std::string s;
  auto sw = [&](const char* letter, const char* rest, bool on) {
    s += "rgb(255,255,0)";
    s += letter;
    s += "rgb(160,160,160)";
    s += rest;
    s += "rgb(255,255,255)";
    s += on ? "on" : "off";
    s += "rgb(160,160,160)";
    s += "  ";
  };
  if (treeViewer) sw("S", "hortcut ", treeViewer->shortcut != 0);
  if (contourViewer) sw("C", "ontour ", contourViewer->viewmode != 0);
  if (meshViewer) sw("M", "esh ", meshViewer->mode != 0);
  sw("B", "ox ", mainData->boxFilter != 0);
  s += "rgb(255,255,0)T" "rgb(160,160,160)une " "rgb(255,255,255)" + std::to_string(tuneSteps) + "rgb(160,160,160) ";
  return s.substr(0, 1023);
}

std::string MainWindow::optionsUpperLine() const {
  std::string s;
  const MainData& d = *mainData;
  for (int k = 0; k < 7; ++k) {
    const int i = (k + selectedItem) % 7;
    const bool sel = i == selectedItem;
    s += sel ? std::string("rgb(255,255,0)") + LABELS[i] + "rgb(160,160,160)" : std::string(LABELS[i]);
    s += " ";
    if (i == 0) {
      s += sceneExists ? "rgb(0,255,0)" : "rgb(255,0,0)";
      s += std::to_string(frame) + "rgb(160,160,160) ";
    } else if (i == 1) {
      if (sel) s += "rgb(0,255,0)";
      s += number(float(contourData->isovalue));
      if (sel) s += "rgb(160,160,160)";
      s += " [" + number(contourData->minValue) + "/" + number(contourData->maxValue) + "] ";
    } else {
      if (sel) s += "rgb(0,255,0)";
      bool on = true;
      double v = 0;
      switch (i) {
        case 2: v = d.time; break;
        case 3: on = d.maxooOn, v = d.maxoo; break;
        case 4: on = d.minooOn, v = d.minoo; break;
        case 5: on = d.maxchildOn, v = d.maxchild; break;
        default: on = d.thresholdOn, v = d.threshold; break;
      }
      s += on ? number(v) : std::string("off");
      s += "rgb(160,160,160) ";
    }
  }
  return s.substr(0, 1023);
}

void MainWindow::drawOptions() {
  const int w = width, h = height;
  glDisable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, w, 0, h, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glColor3f(0, 0, 0);
  glBegin(GL_QUADS);
  glVertex2i(0, 0), glVertex2i(w, 0), glVertex2i(w, 20), glVertex2i(0, 20);
  glVertex2i(0, h - 20), glVertex2i(w, h - 20), glVertex2i(w, h), glVertex2i(0, h);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  drawScreenText(10, 4, optionsLowerLine().c_str(), 1, 0, 0);
  drawScreenText(10, h - 14, optionsUpperLine().c_str(), 160 / 255.0f, 160 / 255.0f, 160 / 255.0f);
  glEnable(GL_DEPTH_TEST);
}

void MainWindow::callback_special(int key, int, int) {
  MainData& m = *mainData;
  int d = 0;
  switch (key) {
    case GLUT_KEY_LEFT: selectedItem = (selectedItem + 6) % 7; break;
    case GLUT_KEY_RIGHT: selectedItem = (selectedItem + 1) % 7; break;
    case GLUT_KEY_UP: d = 1; break;
    case GLUT_KEY_DOWN: d = -1; break;
    default: return;
  }
  const double r = rootPersistence();
  if (d != 0) switch (selectedItem) {
      case 0:
        frame = std::max(0, frame + d);
        sceneExists = fileExist(sceneFileName());
        break;
      case 1:
        if (contourViewer && contourViewer->viewmode != 0) {
          const ContourData& c = *contourData;
          const float value = float(c.isovalue + (c.maxValue - c.minValue) * d / tuneSteps);
          contourData->setIsovalue(value, 0);
          std::printf("Set isovalue to %e [from %e to %e]\n", value, contourData->minValue, contourData->maxValue);
          std::fflush(stdout);
        }
        break;
      case 2: {
        const int t = m.time + d * m.dataset.tdelta;
        if (t >= m.dataset.tmin && t <= m.dataset.tmax) changeTime(t);
        break;
      }
      case 3:
        if (!m.maxooOn) {
          m.maxooOn = 1, m.maxoo = r;
        } else {
          m.maxoo = std::min(m.maxoo + r * d / tuneSteps, r);
          if (m.minooOn && m.minoo > m.maxoo) m.minoo = m.maxoo;
        }
        break;
      case 4:
        if (!m.minooOn) {
          m.minooOn = 1, m.minoo = 0;
        } else {
          m.minoo = std::max(m.minoo + r * d / tuneSteps, 0.0);
          if (m.maxoo < m.minoo) m.maxooOn = 1, m.maxoo = m.minoo;
        }
        break;
      case 5:
        if (!m.maxchildOn) {
          m.maxchildOn = 1, m.maxchild = 1;
        } else {
          const int k = int(m.maxchild) + d;
          m.maxchildOn = k > 0;
          m.maxchild = k;
        }
        break;
      default:
        if (!m.thresholdOn) {
          m.thresholdOn = 1, m.threshold = r;
        } else {
          m.threshold = std::clamp(m.threshold + r * d / tuneSteps, 0.0, r);
        }
        break;
    }
  fullRedisplayAll();
}

void MainWindow::callback_keydown(unsigned char key, int x, int y) {
  const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
  MainData& m = *mainData;
  switch (key) {
    case ' ':
      frame = shift ? std::max(0, frame - 1) : frame + 1;
      openScene();
      break;
    case 'o':
      switch (selectedItem) {
        case 0: openScene(); break;
        case 3: m.maxooOn = !m.maxooOn; break;
        case 4: m.minooOn = !m.minooOn; break;
        case 5: m.maxchildOn = !m.maxchildOn; break;
        case 6: m.thresholdOn = !m.thresholdOn; break;
        default: break;
      }
      break;
    case 's':
      if (selectedItem == 0)
        saveScene();
      else
        treeViewer->shortcut = !treeViewer->shortcut;
      break;
    case 'B':
    case 'b': {
      const TBox& mb = m.modelBox;
      if (!m.boxFilter) {
        // A fresh box of a quarter of the model's largest side, centred in
        // the model.
        const float s = 0.25f * std::max({mb.dx, mb.dy, mb.dz});
        m.filterBox = TBox{mb.x + mb.dx / 2 - s / 2, mb.y + mb.dy / 2 - s / 2, mb.z + mb.dz / 2 - s / 2, s, s, s};
        m.boxFilter = 1;
      }
      const float f = key == 'B' ? 2.0f : 0.5f;
      m.filterBox.dx *= f, m.filterBox.dy *= f, m.filterBox.dz *= f;
      if (m.filterBox.dx >= mb.dx && m.filterBox.dy >= mb.dy && m.filterBox.dz >= mb.dz) m.boxFilter = 0;
      break;
    }
    case 'D': treeViewer->tubeRadius *= 1.2f; break;
    case 'd': treeViewer->tubeRadius /= 1.2f; break;
    case 'R': treeViewer->sphereRadius *= 1.2f; break;
    case 'r': treeViewer->sphereRadius /= 1.2f; break;
    case 'g': treeViewer->mode = (treeViewer->mode + 1) % 5; break;
    case 'c': contourViewer->setViewmode(contourViewer->viewmode + 1); break;
    case 'm':
      if (!meshViewer) return;
      meshViewer->mode = (meshViewer->mode + 1) % 4;
      break;
    case 'T': tuneSteps *= 2; break;
    case 't':
      if (tuneSteps > 1) tuneSteps /= 2;
      break;
    default:
      GlutViewer::callback_keydown(key, x, y);
      return;
  }
  fullRedisplayAll();
}

void MainWindow::callback_mouse(int button, int state, int x, int y) {
  if (button != GLUT_RIGHT_BUTTON) {
    GlutViewer::callback_mouse(button, state, x, y);
    return;
  }
  if (state == GLUT_DOWN) {
    lastX = x;
    lastY = y;
    vectors();
    movingBox = 1;
  } else {
    movingBox = 0;
  }
  fullRedisplayAll();
}

void MainWindow::callback_motion(int x, int y) {
  if (!movingBox) {
    GlutViewer::callback_motion(x, y);
    return;
  }
  const float dx = float(x - lastX), dy = float(lastY - y);
  TBox& f = mainData->filterBox;
  f.x += dx * screenAxes[0][0] + dy * screenAxes[1][0];
  f.y += dx * screenAxes[0][1] + dy * screenAxes[1][1];
  f.z += dx * screenAxes[0][2] + dy * screenAxes[1][2];
  lastX = x;
  lastY = y;
  fullRedisplayAll();
}

void MainWindow::openScene() {
  const std::string name = sceneFileName();
  std::ifstream in(name);
  if (!in) {
    std::cout << "error opening scene file " << name << std::endl;
    sceneExists = 0;
    return;
  }
  in >> *this;
  if (!in.fail() && !in.bad()) {
    std::cout << "scene file [" << name << "] opened" << std::endl;
    sceneExists = 1;
  } else {
    std::cout << "error opening scene file " << name << std::endl;
    sceneExists = 0;
  }
}

void MainWindow::saveScene() {
  const std::string name = sceneFileName();
  std::ofstream out(name, std::ios::trunc);
  if (out) out << *this;
  if (out) out.flush();
  if (out && !out.fail() && !out.bad()) {
    std::cout << "scene file [" << name << "] saved" << std::endl;
    sceneExists = 1;
  } else {
    std::cout << "error in saving scene file [" << name << "]" << std::endl;
    sceneExists = 0;
  }
}

std::ostream& operator<<(std::ostream& out, MainWindow& w) {
  out << 1 << ' ';
  out << static_cast<GlutViewer*>(&w) << ' ';
  out << w.tuneSteps << ' ' << '\n';
  out << *w.mainData << ' ' << '\n';
  out << *w.treeViewer << ' ' << '\n';
  out << *w.contourViewer << ' ' << '\n';
  if (w.meshViewer) out << *w.meshViewer << ' ' << '\n';
  if (w.treeWindow) out << *w.treeWindow << ' ' << '\n';
  if (w.meshWindow) out << *w.meshWindow << ' ' << '\n';
  if (w.spectrumWindow) out << *w.spectrumWindow << ' ' << '\n';
  return out;
}

std::istream& operator>>(std::istream& in, MainWindow& w) {
  int format = 0;
  in >> format;
  in >> static_cast<GlutViewer*>(&w);
  int tune = 0;
  if (in >> tune && tune >= 1) w.tuneSteps = tune;
  // A scene's time step is loaded with its field and trees, so what is
  // drawn matches the time shown.
  const int before = w.mainData->time;
  in >> *w.mainData;
  if (w.mainData->time != before) {
    const int t = w.mainData->time;
    w.mainData->time = before;
    w.contourData->unregisterData();
    if (!w.mainData->setTime(t)) w.mainData->setTime(before);
    w.contourData->registerData();
  }
  in >> *w.treeViewer;
  in >> *w.contourViewer;
  if (w.meshViewer) in >> *w.meshViewer;
  if (w.treeWindow) in >> *w.treeWindow;
  if (w.meshWindow) in >> *w.meshWindow;
  if (w.spectrumWindow) in >> *w.spectrumWindow;
  glutSetWindow(w.getWindowHandle());
  return in;
}

}  // namespace ctree
