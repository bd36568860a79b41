#include "gui/main_window.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <iostream>

#include "workspace/contour_data.h"
#include "workspace/main_data.h"
#include "workspace/step_names.h"
#include "gui/default_isovalue.h"
#include "gui/mesh_window.h"
#include "gui/screen_axes.h"
#include "gui/view_fit.h"
#include "gui/spectrum_window.h"
#include "gui/tree_window.h"
#include "gui/key_help.h"

namespace ctree {

namespace {

// The window whose arrows set the isovalue (one a run).
MainWindow* isoWindow = nullptr;

const char* const LABELS[7] = {"frame", "iso", "time", "maxoo", "minoo", "maxchild", "threshold"};

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

}  // namespace

MainWindow::MainWindow(MainData* m, ContourData* c, TreeWindow* tw, MeshWindow* mw, SpectrumWindow* sw, int loadScene)
    : GlutViewer(800, 800, 50, 50, TITLE, 0.5f, 0.5f, 0.5f, 1.0f, false),
      mainData(m),
      contourData(c),
      treeViewer(nullptr),
      contourViewer(nullptr),
      meshViewer(nullptr),
      treeWindow(tw),
      meshWindow(mw),
      spectrumWindow(sw),
      selection(new SelectionView(m, c)) {
  assert(mainData && "maindata");
  frame = 0;
  isoWindow = this;
  treeViewer = new TreeViewer(m, c, 0);
  contourViewer = new ContourViewer(c);
  // Pictures are of the full surface; a person sees a coarse one first.
  contourViewer->progressive = !takingSnapshots();
  // The value range and the isovalue are known from the start, whatever
  // the spectrum did; a volume shows its surface at once.
  if (!contourData->dataset) contourData->registerData();
  if (m->field3d) {
    const std::vector<Real>& v = m->field3d->values;
    contourData->isovalue = default_isovalue(v.data(), v.size());
    messages().status(format_message("isosurface at %g (the value that best splits the samples in two, of %g..%g)",
                                     contourData->isovalue, contourData->minValue, contourData->maxValue));
    contourViewer->setViewmode(1);
  } else {
    contourViewer->setViewmode(0);
  }
  selectedItem = 0;
  if (m->field2d) {
    meshViewer = new MeshViewer(m);
    meshViewer->mode = 1;
  }
  tuneSteps = 256;
  movingBox = 0;
  sceneExists = 0;
  selection->walkSet = &treeViewer->drawSet;
  if (treeWindow) treeWindow->selection = selection;
  if (spectrumWindow) spectrumWindow->selection = selection;
  arrangeWindows();
  firstViewThreshold();
  if (loadScene) openScene();
}

const ThresholdLevels& MainWindow::thresholdLevels() {
  // The filters test the contour tree's branches (the laid-out tree's when
  // there is no other).
  const FlatTree* t = mainData->ctree ? mainData->ctree : mainData->ctreel;
  if (t != levelsTree) {
    levels = t ? ThresholdLevels(*t) : ThresholdLevels();
    levelsTree = t;
  }
  return levels;
}

void MainWindow::firstViewThreshold() {
  const ThresholdLevels& l = thresholdLevels();
  if (l.branches() <= FIRST_VIEW_BRANCHES) return;
  mainData->thresholdOn = 1;
  mainData->threshold = l.levelForAtMost(FIRST_VIEW_BRANCHES);
  messages().status(format_message(
      "showing the %zu most persistent of %zu branches (threshold %g): select \"threshold\" with the arrows, "
      "Up/Down change it, o turns it off",
      l.shownAt(mainData->threshold), l.branches(), mainData->threshold));
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

// Runs after the input events at hand, before the frames they ask for.
void MainWindow::applyPendingIsovalue(int) {
  MainWindow* w = isoWindow;
  if (!w || !w->isoPending) return;
  w->isoPending = false;
  if (w->contourData->isovalue != w->isoPendingBase) return;
  w->contourData->setIsovalue(w->isoPendingValue, 0);
  scenesChanged();
  fullRedisplayAll();
}

void MainWindow::changeTime(int t) {
  contourData->unregisterData();
  mainData->setTime(t);
  contourData->registerData();
  contourData->setIsovalue(contourData->isovalue, 1);
}

void MainWindow::callback_display() {
  if (!restoreScene()) {
    drawScene();
    keepScene();
  }
  thresholdLevels();  // a new time step (arrows, spectrum, scene) brings its tree
  if (treeViewer && treeViewer->mode != 0 && treeViewer->colouring().mode != COLOUR_ENDS) {
    // The colouring's scale, above the lower panel line.
    const TreeColouring& c = treeViewer->colouring();
    std::string title = std::string("tree coloured by ") + tree_colour_mode_name(c.mode);
    if (c.scale.log) title += " (log scale)";
    const int right = std::min(width - 12, 420);
    begin_pixel_drawing(width, height);
    shade_band(0, 20, right + 12, 20 + COLOUR_BAR_HEIGHT);
    draw_colour_bar(c.scale, title, 12, right, 20 + 26);
    end_pixel_drawing();
  }
  drawOptions();
  draw_selection_strip(*selection, *this, 20);
  finishFrame();
  if (contourViewer && contourViewer->refinePending) {
    // A coarse surface went first: the full one follows at once.
    invalidateScene();
    glutPostRedisplay();
  }
}

void MainWindow::drawScene() {
  startScene(216, 214, 221, 155, 157, 169);
  if (fitPending) {
    // The first view shows the whole model box, turned as it is.
    const TBox& b = mainData->modelBox;
    const float lo[3] = {b.x, b.y, b.z}, hi[3] = {b.x + b.dx, b.y + b.dy, b.z + b.dz};
    const float extent = std::max({b.dx, b.dy, b.dz});
    if (extent > 0) scaling = fit_box_to_view(lo, hi, rotation, ortho, 0.03f).scale * extent;
    fitPending = false;
  }
  apply_model_box(*mainData, scaling);
  const TBox& m = mainData->modelBox;
  drawWireBox(m.x, m.y, m.z, m.x + m.dx, m.y + m.dy, m.z + m.dz, 0.2f, 0.2f, 0.2f, false);
  if (clip.on) {
    double equation[4];
    clip_plane_equation(clip, m, equation);
    glClipPlane(GL_CLIP_PLANE0, equation);
    glEnable(GL_CLIP_PLANE0);
  }
  if (contourViewer) {
    contourViewer->moving = rotatingOn || scalingOn || translatingOn;
    contourViewer->display();
  }
  if (meshViewer) meshViewer->display();
  glDisable(GL_CLIP_PLANE0);
  if (clip.on) drawClipOutline();
  if (treeViewer) {
    treeViewer->highlight = selection->shownIn(*treeViewer);
    treeViewer->display();
  }
  // The region over everything, the highlighted branch over it.
  if (selection->drawRegion() && treeViewer) treeViewer->drawHighlight();
  draw_axis_labels(
      m, mainData->field3d && mainData->dataset.gridRead ? axis_labels(mainData->dataset.grid) : plain_axis_labels());
  if (mainData->boxFilter) {
    const TBox& f = mainData->filterBox;
    glLineWidth(3);
    drawWireBox(f.x, f.y, f.z, f.x + f.dx, f.y + f.dy, f.z + f.dz, 0.8f, 0.4f, 0.6f, false);
    glLineWidth(1);
  }
}

std::string MainWindow::frameWork() const {
  return format_message("surface uploads %ld, coarse surfaces %ld, tree lists %ld", contourViewer->uploads,
                        contourViewer->coarseExtractions, treeViewer->listBuilds);
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
  s += "rgb(255,255,0)T"
       "rgb(160,160,160)une "
       "rgb(255,255,255)" +
       std::to_string(tuneSteps) + "rgb(160,160,160)  ";
  if (mainData->thresholdOn && levelsTree) {
    // The branches drawn, after every filter (the threshold's own count
    // while the tree is not drawn).
    const size_t shown = treeViewer && treeViewer->mode != 0 ? treeViewer->drawSet.size()
                                                             : levels.shownAt(mainData->threshold);
    s += "rgb(255,255,255)" + std::to_string(shown) + " of " + std::to_string(levels.branches()) +
         " branches shownrgb(160,160,160)  ";
  }
  s += "rgb(255,255,0)hrgb(160,160,160) keys";
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
      if (i == 6 && on && levelsTree)
        s += "(" + std::to_string(levels.shownAt(v)) + "/" + std::to_string(levels.branches()) + ") ";
    }
  }
  return s.substr(0, 1023);
}

void MainWindow::drawOptions() {
  const int w = width, h = height;
  // Whatever the viewers left on would light, blend or texture the text.
  begin_pixel_drawing(w, h);
  glDisable(GL_BLEND);
  glColor3f(0, 0, 0);
  glBegin(GL_QUADS);
  glVertex2i(0, 0), glVertex2i(w, 0), glVertex2i(w, 20), glVertex2i(0, 20);
  glVertex2i(0, h - 20), glVertex2i(w, h - 20), glVertex2i(w, h), glVertex2i(0, h);
  glEnd();
  drawScreenText(10, 4, optionsLowerLine().c_str(), 1, 0, 0);
  drawScreenText(10, h - 14, optionsUpperLine().c_str(), 160 / 255.0f, 160 / 255.0f, 160 / 255.0f);
  end_pixel_drawing();
}

void MainWindow::callback_special(int key, int, int) {
  MainData& m = *mainData;
  int d = 0;
  switch (key) {
    case GLUT_KEY_LEFT:
      selectedItem = (selectedItem + 6) % 7;
      sceneUnchanged();
      break;
    case GLUT_KEY_RIGHT:
      selectedItem = (selectedItem + 1) % 7;
      sceneUnchanged();
      break;
    case GLUT_KEY_UP: d = 1; break;
    case GLUT_KEY_DOWN: d = -1; break;
    default: return;
  }
  const double r = rootPersistence();
  if (d != 0) switch (selectedItem) {
      case 0:
        frame = std::max(0, frame + d);
        sceneExists = fileExist(sceneFileName());
        sceneUnchanged();  // the panel's frame number alone
        break;
      case 1:
        if (contourViewer && contourViewer->viewmode != 0) {
          const ContourData& c = *contourData;
          const double from = isoPending ? isoPendingValue : c.isovalue;
          const float value = float(
              std::clamp(from + (c.maxValue - c.minValue) * d / tuneSteps, c.minValue, c.maxValue));
          if (!isoPending) {
            isoPendingBase = c.isovalue;
            glutTimerFunc(0, applyPendingIsovalue, 0);
          }
          isoPending = true;
          isoPendingValue = value;
          messages().status(format_message("Set isovalue to %e [from %e to %e]", value, contourData->minValue,
                                           contourData->maxValue));
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
      default: {
        // Geometric steps over the persistences present: Up shows fewer
        // branches, Down more.
        const ThresholdLevels& l = thresholdLevels();
        if (!m.thresholdOn) {
          m.thresholdOn = 1;
          m.threshold = l.levelForAtMost(FIRST_VIEW_BRANCHES);
        } else {
          m.threshold = d > 0 ? l.stepUp(m.threshold) : l.stepDown(m.threshold);
        }
        messages().status(
            format_message("threshold %g: %zu of %zu branches", m.threshold, l.shownAt(m.threshold), l.branches()));
        break;
      }
    }
  fullRedisplayAll();
}

void MainWindow::drawClipOutline() const {
  const std::vector<float> outline = clip_plane_outline(clip, mainData->modelBox);
  if (outline.empty()) return;
  glDisable(GL_LIGHTING);
  glLineWidth(2);
  glColor3f(1.0f, 0.45f, 0.0f);
  glBegin(GL_LINE_LOOP);
  for (size_t i = 0; i < outline.size(); i += 3) glVertex3fv(&outline[i]);
  glEnd();
  glLineWidth(1);
}

bool MainWindow::clipKey(unsigned char key) {
  const TBox& box = mainData->modelBox;
  switch (key) {
    case 'x':
      // Turned on, the plane faces the viewer through the box's centre.
      if (clip.on)
        clip.on = 0;
      else
        clip = clip_plane_facing_viewer(rotation);
      break;
    case '<':
    case ',': move_clip_plane(clip, box, -1); break;
    case '>':
    case '.': move_clip_plane(clip, box, 1); break;
    case 'X':
    case 'Y': {
      // About the screen's horizontal (X) or vertical (Y) axis, as the
      // model sees it: the stored rotation's first or second column.
      const int column = key == 'X' ? 0 : 1;
      const float axis[3] = {rotation[0][column], rotation[1][column], rotation[2][column]};
      turn_clip_plane(clip, axis, 15.0f * 3.14159265f / 180.0f);
      break;
    }
    default: return false;
  }
  return true;
}

void MainWindow::callback_keydown(unsigned char key, int x, int y) {
  const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
  MainData& m = *mainData;
  if (selection->key(key) || clipKey(key)) {
    fullRedisplayAll();
    return;
  }
  switch (key) {
    case 'h':
    case '?':
    case 27: sharedKey(key); return;
    case '1':
    case '2':
    case '3':
      // An axis view of the whole model box.
      sharedKey(key);
      fitPending = true;
      return;
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
    case 'k': TreeViewer::colourMode = (TreeViewer::colourMode + 1) % TREE_COLOUR_MODES; break;
    case 'c': contourViewer->setViewmode(contourViewer->viewmode + 1); break;
    case 'm':
      if (!meshViewer) return;
      meshViewer->mode = (meshViewer->mode + 1) % 4;
      break;
    case 'T': tuneSteps *= 2; break;
    case 't':
      if (tuneSteps > 1) tuneSteps /= 2;
      break;
    default: GlutViewer::callback_keydown(key, x, y); return;
  }
  fullRedisplayAll();
}

std::string MainWindow::keyHelp() const { return key_help_text(main_window_keys(), "panel:", main_window_panel()); }

void MainWindow::callback_mouse(int button, int state, int x, int y) {
  if (button == GLUT_LEFT_BUTTON) {
    // A click that does not move selects; a drag turns the view.
    if (state == GLUT_DOWN && !(glutGetModifiers() & GLUT_ACTIVE_SHIFT)) click.press(x, y);
    GlutViewer::callback_mouse(button, state, x, y);
    if (state == GLUT_UP && click.release(x, y)) {
      click_select(*selection, *this, treeViewer, contourViewer && contourViewer->viewmode != 0, x, y);
      fullRedisplayAll();
    }
    return;
  }
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

SceneShape MainWindow::sceneShape() const {
  SceneShape shape;
  shape.meshViewer = meshViewer != nullptr;
  shape.treeWindow = treeWindow != nullptr;
  shape.meshWindow = meshWindow != nullptr;
  shape.spectrumWindow = spectrumWindow != nullptr;
  shape.tmin = mainData->dataset.tmin;
  shape.tmax = mainData->dataset.tmax;
  shape.tdelta = mainData->dataset.tdelta;
  if (spectrumWindow) shape.spectrumSamples = spectrumWindow->nSamples, shape.spectrumTimes = spectrumWindow->nTimes;
  if (const FlatTree* t = selection->tree()) shape.treeBranches = int(t->branches.size());
  return shape;
}

namespace {

TreeViewRecord tree_view_record(const TreeViewer& v) {
  TreeViewRecord t;
  t.useCtreel = v.useCtreel, t.shortcut = v.shortcut, t.mode = v.mode;
  t.scale[0] = v.scaleX, t.scale[1] = v.scaleY, t.scale[2] = v.scaleZ;
  t.tubeRadius = v.tubeRadius, t.sphereRadius = v.sphereRadius;
  return t;
}

void apply_tree_view(const TreeViewRecord& t, TreeViewer& v) {
  v.useCtreel = t.useCtreel, v.shortcut = t.shortcut, v.mode = t.mode;
  v.scaleX = t.scale[0], v.scaleY = t.scale[1], v.scaleZ = t.scale[2];
  v.tubeRadius = t.tubeRadius, v.sphereRadius = t.sphereRadius;
}

}  // namespace

SceneRecord MainWindow::sceneRecord() {
  SceneRecord s;
  s.main = viewRecord();
  s.tuneSteps = tuneSteps;
  const MainData& m = *mainData;
  FilterRecord& f = s.filters;
  f.maxooOn = m.maxooOn, f.maxoo = m.maxoo, f.minooOn = m.minooOn, f.minoo = m.minoo;
  f.maxchildOn = m.maxchildOn, f.maxchild = m.maxchild, f.boxFilter = m.boxFilter;
  const TBox& b = m.filterBox;
  const float box[6] = {b.x, b.y, b.z, b.dx, b.dy, b.dz};
  std::copy(box, box + 6, f.box);
  f.thresholdOn = m.thresholdOn, f.threshold = m.threshold, f.time = m.time;
  s.mainTree = tree_view_record(*treeViewer);
  s.contourMode = contourViewer->viewmode;
  s.isovalue = contourData->isovalue;
  if (meshViewer) s.meshMode = meshViewer->mode;
  if (treeWindow) s.treeView = treeWindow->viewRecord(), s.treeTree = tree_view_record(*treeWindow->treeViewer);
  if (meshWindow) s.meshView = meshWindow->viewRecord(), s.meshWindowMode = meshWindow->meshViewer->mode;
  s.clip = clip;
  if (spectrumWindow) {
    const SpectrumWindow& w = *spectrumWindow;
    s.spectrumView = spectrumWindow->viewRecord();
    s.spectrum = SpectrumViewRecord{w.actual.signature, w.actual.palette, w.actual.value, w.firstSample,
                                    w.sampleCount,      w.firstTime,      w.timeCount};
  }
  s.selectedBranch = int(selection->selected());
  glutSetWindow(windowHandle);
  return s;
}

void MainWindow::applyScene(const SceneRecord& s) {
  applyView(s.main);
  tuneSteps = s.tuneSteps;
  MainData& m = *mainData;
  const FilterRecord& f = s.filters;
  m.maxooOn = f.maxooOn, m.maxoo = f.maxoo, m.minooOn = f.minooOn, m.minoo = f.minoo;
  m.maxchildOn = f.maxchildOn, m.maxchild = f.maxchild, m.boxFilter = f.boxFilter;
  m.filterBox = TBox{f.box[0], f.box[1], f.box[2], f.box[3], f.box[4], f.box[5]};
  m.thresholdOn = f.thresholdOn, m.threshold = f.threshold;
  // A scene's time step is loaded with its field and trees, so what is
  // drawn matches the time shown.
  if (f.time != m.time) changeTime(f.time);
  thresholdLevels();
  apply_tree_view(s.mainTree, *treeViewer);
  contourViewer->viewmode = s.contourMode;
  contourData->unregisterData();
  contourData->registerData();
  contourData->setIsovalue(s.isovalue, 1);
  if (meshViewer) meshViewer->mode = s.meshMode;
  clip = s.clip;
  if (treeWindow) {
    treeWindow->applyView(s.treeView);
    apply_tree_view(s.treeTree, *treeWindow->treeViewer);
    treeWindow->keepView();  // the scene's zoom stands
  }
  if (meshWindow) meshWindow->applyView(s.meshView), meshWindow->meshViewer->mode = s.meshWindowMode;
  if (spectrumWindow) {
    SpectrumWindow& w = *spectrumWindow;
    w.applyView(s.spectrumView);
    const SpectrumViewRecord& v = s.spectrum;
    w.actual.signature = v.signature, w.actual.palette = v.palette, w.actual.value = v.value;
    w.firstSample = v.firstSample, w.sampleCount = v.sampleCount, w.firstTime = v.firstTime, w.timeCount = v.timeCount;
    w.validateSignature();
    w.buildTextures();
  }
  if (s.selectedBranch != int(selection->selected())) selection->select(s.selectedBranch);
  glutSetWindow(windowHandle);
  fullRedisplayAll();
}

bool MainWindow::openScene() {
  const std::string name = sceneFileName();
  SceneRecord scene;
  std::string error;
  if (!read_scene_file(name, sceneShape(), scene, error)) {
    messages().status(format_message("error opening scene file %s", error.c_str()));
    sceneExists = 0;
    return false;
  }
  applyScene(scene);
  messages().status(format_message("scene file [%s] opened", name.c_str()));
  sceneExists = 1;
  fitPending = false;  // the scene's zoom stands
  return true;
}

bool MainWindow::saveScene() {
  const std::string name = sceneFileName();
  std::string error;
  if (!write_scene_file(name, scene_text(sceneShape(), sceneRecord()), error)) {
    messages().status(format_message("error in saving scene file: %s", error.c_str()));
    sceneExists = fileExist(name);
    return false;
  }
  messages().status(format_message("scene file [%s] saved", name.c_str()));
  sceneExists = 1;
  return true;
}

std::ostream& operator<<(std::ostream& out, MainWindow& w) {
  return out << scene_text(w.sceneShape(), w.sceneRecord());
}

}  // namespace ctree
