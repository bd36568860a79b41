#include "gui/spectrum_window.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "workspace/contour_data.h"
#include "workspace/main_data.h"
#include "workspace/make_spectrum.h"
#include "workspace/step_names.h"
#include "gui/palettes.h"
#include "gui/screen_axes.h"
#include "gui/key_help.h"

namespace ctree {

// The top margin holds the colour bar and three lines of text, the left
// and bottom margins the labels of the axes.
const int BORDERX1 = 56, BORDERX2 = 12, BORDERY1 = 24, BORDERY2 = 78;

namespace {

// The contour library's names of the signatures of a volume and of a
// surface (whose contours are lines: lengths and areas).
const char* const VOLUME_SIGNATURES[5] = {"Surface Area", "Min Volume", "Max Volume", "Gradient", "All"};
const char* const SURFACE_SIGNATURES[5] = {"Length", "Min Area", "Max Area", "Gradient", "All"};
const int COLOUR_BAR = 20;

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

}  // namespace

std::string SpectrumWindow::getSpectrumFilename(const ContourData* c) { return spectrum_file_name(*c); }

SpectrumWindow::SpectrumWindow(ContourData* c, const SpectrumData& data)
    : GlutViewer(800, 800, 50, 50, TITLE, 0, 0, 0, 1, false), contourData(c) {
  actual.palette = 0;
  load(data);
}

void SpectrumWindow::load(const SpectrumData& data) {
  minValue = data.minValue;
  maxValue = data.maxValue;
  nTimes = data.nTimes;
  nSamples = data.nSamples;
  nSignatures = data.nSignatures;
  values = data.values;
  sigRange = signature_ranges(data);
  actual.signature = 0;
  buildTextures();
  showAll();
}

void SpectrumWindow::showAll() {
  zooming = 0;
  firstSample = 0;
  sampleCount = nSamples;
  firstTime = 0;
  timeCount = nTimes;
}

void SpectrumWindow::buildTextures() {
  if (actual.palette < 0) return;
  fill_colour_map(actual.palette, colourMap);
  unsigned char texels[256][3];
  for (int v = 0; v < 256; ++v)
    for (int k = 0; k < 3; ++k) texels[v][k] = (unsigned char)colourMap[256 * k + v];
  glutSetWindow(windowHandle);
  if (!textureName) glGenTextures(1, &textureName);
  glBindTexture(GL_TEXTURE_1D, textureName);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage1D(GL_TEXTURE_1D, 0, GL_RGB, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  textureReady = 1;
}

void SpectrumWindow::validateSignature() {
  if (actual.palette >= 0 && actual.signature == 4) actual.signature = 0;
}

int SpectrumWindow::sampleX(int s) const {
  return BORDERX1 + int(double(s - firstSample) * plotW() / std::max(1, sampleCount - 1));
}

int SpectrumWindow::timeY(int i) const {
  return (height - BORDERY2) - int(double(i - firstTime) * plotH() / std::max(1, timeCount - 1));
}

int SpectrumWindow::currentTimeIndex() const {
  const DatasetOptions& d = contourData->owner->dataset;
  return (contourData->owner->time - d.tmin) / d.tdelta;
}

int SpectrumWindow::isoSample(double iso) const {
  if (maxValue <= minValue) return 0;
  iso = std::clamp(iso, double(minValue), double(maxValue));
  return int((iso - minValue) * (nSamples - 1) / (maxValue - minValue));
}

void SpectrumWindow::buildQuads() {
  const int h = height, H = plotH(), W = plotW();
  auto range = [&](int g) {
    const float lo = sigRange[size_t(g)].first, hi = sigRange[size_t(g)].second;
    return std::pair<float, float>(lo, hi > lo ? hi - lo : 1.0f);
  };
  if (actual.palette >= 0) {
    if (actual.signature < 0 || actual.signature > 3 || actual.signature >= nSignatures) return;
    const auto [lo, span] = range(actual.signature);
    glEnable(GL_TEXTURE_1D);
    glBindTexture(GL_TEXTURE_1D, textureName);
    glBegin(GL_QUADS);
    auto corner = [&](int s, int t, int x, int y) {
      glTexCoord1f((value(t, s, actual.signature) - lo) / span);
      glVertex2i(x, y);
    };
    const int lastT = timeCount > 1 ? firstTime + timeCount - 1 : firstTime + 1;
    for (int i = firstTime; i < lastT; ++i) {
      const int i1 = timeCount > 1 ? i + 1 : i;
      const int y0 = timeCount > 1 ? timeY(i) : h - BORDERY2, y1 = timeCount > 1 ? timeY(i + 1) : BORDERY1;
      for (int s = firstSample; s + 1 < firstSample + sampleCount; ++s) {
        corner(s, i, sampleX(s), y0);
        corner(s + 1, i, sampleX(s + 1), y0);
        corner(s + 1, i1, sampleX(s + 1), y1);
        corner(s, i1, sampleX(s), y1);
      }
    }
    glEnd();
    glDisable(GL_TEXTURE_1D);
    return;
  }
  static const float COLOURS[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}};
  for (int g = 0; g < std::min(4, nSignatures); ++g) {
    if (actual.signature != 4 && g != actual.signature) continue;
    const auto [lo, span] = range(g);
    glColor3fv(COLOURS[g]);
    glBegin(GL_LINE_STRIP);
    if (actual.palette == -1) {
      const int t = std::clamp(currentTimeIndex(), 0, nTimes - 1);
      for (int s = firstSample; s < firstSample + sampleCount; ++s)
        glVertex2i(sampleX(s), (h - BORDERY2) - int((value(t, s, g) - lo) * H / span));
    } else {
      const int k = isoSample(contourData->isovalue);
      for (int i = firstTime; i < firstTime + timeCount; ++i)
        glVertex2i(BORDERX1 + int((value(i, k, g) - lo) * W / span), timeY(i));
    }
    glEnd();
  }
}

void SpectrumWindow::callback_display() {
  const int w = width, h = height;
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, w + 1, 0, h + 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  // The colour bar of the palette.
  const bool textured = textureReady && actual.palette >= 0;
  if (textured) {
    glEnable(GL_TEXTURE_1D);
    glBindTexture(GL_TEXTURE_1D, textureName);
  }
  glColor3f(1, 0, 0);
  glBegin(GL_QUADS);
  glTexCoord1f(0), glVertex2i(0, h - COLOUR_BAR);
  glTexCoord1f(1), glVertex2i(w, h - COLOUR_BAR);
  glTexCoord1f(1), glVertex2i(w, h);
  glTexCoord1f(0), glVertex2i(0, h);
  glEnd();
  if (textured) glDisable(GL_TEXTURE_1D);

  // Two short lines, so that a narrow window shows them whole.
  const char* const* names = contourData->owner->field2d ? SURFACE_SIGNATURES : VOLUME_SIGNATURES;
  std::string info = "rgb(255,255,0)isovalue rgb(255,255,255)" + number(float(contourData->isovalue)) +
                     "rgb(255,255,0)  of rgb(180,180,180)" + number(minValue) + ".." + number(maxValue) +
                     "rgb(255,255,0)  time rgb(255,255,255)" + std::to_string(contourData->owner->time) + "\n";
  info += "rgb(255,255,0)";
  info += actual.signature >= 0 && actual.signature <= 4 ? names[actual.signature]
                                                         : "_" + std::to_string(actual.signature);
  // The value at the isovalue in use, wherever it was last set (here, in
  // the main window, or by a scene).
  actual.value = valueAt(float(contourData->isovalue), actual.signature);
  if (actual.signature < 4 && actual.signature < nSignatures)
    info += " rgb(255,255,255)" + number(actual.value) + "rgb(180,180,180) (" +
            number(sigRange[size_t(actual.signature)].first) + ".." +
            number(sigRange[size_t(actual.signature)].second) + ")";
  // What the plot shows, and the key to the other view.
  info += "\nrgb(255,255,0)" + std::string(viewName()) + "rgb(180,180,180)" +
          (actual.palette == -1 ? "  (g: image)" : "  (g: graph over isovalue)");
  // In the band between the plot and the colour bar: drawn lower, the
  // plot would paint over it.
  drawScreenText(3, h - COLOUR_BAR - 14, info.c_str(), 1, 1, 1);
  // drawScreenText leaves its own projection; the plot uses this one.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, w + 1, 0, h + 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);

  buildQuads();

  glColor3f(0.5f, 0.5f, 0.5f);
  glBegin(GL_LINE_STRIP);
  glVertex2i(BORDERX1, BORDERY1), glVertex2i(w - BORDERX2, BORDERY1), glVertex2i(w - BORDERX2, h - BORDERY2);
  glVertex2i(BORDERX1, h - BORDERY2), glVertex2i(BORDERX1, BORDERY1);
  glEnd();

  drawAxes();

  glColor3f(1, 1, 0);
  const int cy = timeY(currentTimeIndex()), cx = sampleX(isoSample(contourData->isovalue));
  glBegin(GL_LINES);
  glVertex2i(BORDERX1, cy), glVertex2i(w - BORDERX2, cy);
  glVertex2i(cx, BORDERY1), glVertex2i(cx, h - BORDERY2);
  glEnd();

  // The selected branch's values: magenta lines at its ends and a bar
  // between them along the bottom.
  double lo, hi;
  if (selection && selection->valueRange(lo, hi) && sampleCount > 0) {
    // Clamped to the plot: the view may be zoomed into a part of the range.
    const int x0 = std::clamp(sampleX(isoSample(lo)), BORDERX1, w - BORDERX2),
              x1 = std::clamp(sampleX(isoSample(hi)), BORDERX1, w - BORDERX2);
    glColor3ub(HIGHLIGHT_RGB[0], HIGHLIGHT_RGB[1], HIGHLIGHT_RGB[2]);
    glBegin(GL_LINES);
    glVertex2i(x0, BORDERY1), glVertex2i(x0, h - BORDERY2);
    glVertex2i(x1, BORDERY1), glVertex2i(x1, h - BORDERY2);
    glEnd();
    glBegin(GL_QUADS);
    glVertex2i(x0, BORDERY1 - 5), glVertex2i(x1, BORDERY1 - 5), glVertex2i(x1, BORDERY1), glVertex2i(x0, BORDERY1);
    glEnd();
  }

  if (zooming) {
    // Pointer rows count from the top; the rectangle is drawn where the
    // pointer is.
    glColor3f(1, 1, 1);
    glBegin(GL_LINE_STRIP);
    glVertex2i(zoomX1, h - zoomY1), glVertex2i(zoomX2, h - zoomY1), glVertex2i(zoomX2, h - zoomY2);
    glVertex2i(zoomX1, h - zoomY2), glVertex2i(zoomX1, h - zoomY1);
    glEnd();
  }
  finishFrame();
}

void SpectrumWindow::screenToIndexedParam(int x, int y, int& sample, int& timeIndex) const {
  const double yd = height - y;  // drawing height of the pointer
  timeIndex = int((1 - (yd - BORDERY1) / plotH()) * (timeCount - 1) + firstTime);
  sample = int(double(x - BORDERX1) / plotW() * (sampleCount - 1) + firstSample);
}

void SpectrumWindow::screenToParam(int x, int y, float& iso, int& time) const {
  const DatasetOptions& d = contourData->owner->dataset;
  int s = 0, i = 0;
  screenToIndexedParam(x, y, s, i);
  time = std::clamp(d.tmin + d.tdelta * i, d.tmin, d.tmax);
  const float denom = float(std::max(1, nSamples - 1));
  iso = std::clamp(minValue + (maxValue - minValue) * float(s) / denom, minValue, maxValue);
}

void SpectrumWindow::paramToScreen(float iso, int time, int& x, int& y) const {
  const DatasetOptions& d = contourData->owner->dataset;
  x = sampleX(isoSample(iso));
  y = height - timeY((time - d.tmin) / d.tdelta);
}

void SpectrumWindow::newPick(int x, int y) {
  const int yd = height - y;
  if (x < BORDERX1 || x > width - BORDERX2 || yd < BORDERY1 || yd > height - BORDERY2) return;
  float iso = 0;
  int time = 0;
  screenToParam(x, y, iso, time);
  MainData& m = *contourData->owner;
  bool stepChanged = false;
  if (time != m.time) {
    contourData->unregisterData();
    m.setTime(time);
    stepChanged = true;
  }
  if (!contourData->dataset) contourData->registerData();
  if (stepChanged || iso != contourData->isovalue) contourData->setIsovalue(iso, stepChanged ? 1 : 0);
  actual.value = valueAt(iso, actual.signature);
}

float SpectrumWindow::valueAt(float iso, int g) const {
  if (g < 0 || g >= 4 || g >= nSignatures || nSamples <= 0 || nTimes <= 0) return 0;
  // Linear in the isovalue between the samples around it.
  const int t = std::clamp(currentTimeIndex(), 0, nTimes - 1);
  int hi = 0;
  while (hi < nSamples && sample_isovalue_of(hi) < iso) ++hi;
  if (hi == 0) return value(t, 0, g);
  if (hi == nSamples) return value(t, nSamples - 1, g);
  const float i0 = sample_isovalue_of(hi - 1), i1 = sample_isovalue_of(hi);
  const float f = i1 > i0 ? (iso - i0) / (i1 - i0) : 0;
  return value(t, hi - 1, g) + f * (value(t, hi, g) - value(t, hi - 1, g));
}

void SpectrumWindow::callback_mouse(int button, int state, int x, int y) {
  if (button == GLUT_LEFT_BUTTON) {
    picking = state == GLUT_DOWN;
    if (picking) newPick(x, y);
  } else if (button == GLUT_MIDDLE_BUTTON) {
    if (state != GLUT_DOWN) return;
    actual.palette += (glutGetModifiers() & GLUT_ACTIVE_SHIFT) ? -1 : 1;
    if (actual.palette == 13) actual.palette = -2;
    if (actual.palette == -3) actual.palette = 12;
    validateSignature();
    buildTextures();
  } else if (button == GLUT_RIGHT_BUTTON) {
    if (state == GLUT_DOWN) {
      zooming = 1;
      zoomX1 = zoomX2 = x;
      zoomY1 = zoomY2 = y;
    } else {
      zooming = 0;
      if (std::abs(zoomX2 - zoomX1) >= 2) {
        int s1, t1, s2, t2;
        screenToIndexedParam(zoomX1, zoomY1, s1, t1);
        screenToIndexedParam(zoomX2, zoomY2, s2, t2);
        s1 = std::clamp(s1, 0, nSamples - 1), s2 = std::clamp(s2, 0, nSamples - 1);
        t1 = std::clamp(t1, 0, nTimes - 1), t2 = std::clamp(t2, 0, nTimes - 1);
        firstSample = std::min(s1, s2);
        sampleCount = std::abs(s2 - s1) + 1;
        firstTime = std::min(t1, t2);
        timeCount = std::abs(t2 - t1) + 1;
      }
    }
  } else {
    return;
  }
  fullRedisplayAll();
}

void SpectrumWindow::callback_motion(int x, int y) {
  if (picking) {
    newPick(x, y);
  } else if (zooming) {
    zoomX2 = x;
    zoomY2 = y;
  } else {
    return;
  }
  fullRedisplayAll();
}

const char* SpectrumWindow::viewName() const {
  if (actual.palette == -1) return "graph over isovalue";
  if (actual.palette == -2) return "graph over time";
  return timeCount > 1 ? "image over isovalue and time" : "image over isovalue";
}

void SpectrumWindow::drawAxes() {
  static const float GREY[3] = {0.75f, 0.75f, 0.75f};
  const int w = width, h = height;
  const int top = h - BORDERY2, bottom = BORDERY1, left = BORDERX1, right = w - BORDERX2;
  const DatasetOptions& d = contourData->owner->dataset;
  const int last = firstSample + std::max(1, sampleCount) - 1;
  const ColourScale iso{sample_isovalue_of(firstSample), sample_isovalue_of(last), false};
  const ColourScale time{double(d.tmin + d.tdelta * firstTime),
                         double(d.tmin + d.tdelta * (firstTime + std::max(1, timeCount) - 1)), false};
  // The signature's own range, or for all four the share of each one's.
  ColourScale signature{0, 100, false};
  if (actual.signature >= 0 && actual.signature < 4 && actual.signature < nSignatures)
    signature = ColourScale{sigRange[size_t(actual.signature)].first, sigRange[size_t(actual.signature)].second, false};
  // Drawn from the plot's edges outwards; the first time step is at the
  // top, and in the graph over isovalue larger values lie lower.
  if (actual.palette == -2) {
    draw_horizontal_axis(signature, left, right, bottom, true, GREY);
    draw_vertical_axis(time, top, bottom, left, true, GREY);
  } else {
    draw_horizontal_axis(iso, left, right, bottom, true, GREY);
    if (actual.palette == -1)
      draw_vertical_axis(signature, top, bottom, left, true, GREY);
    else
      draw_vertical_axis(time, timeCount > 1 ? top : (top + bottom) / 2, timeCount > 1 ? bottom : (top + bottom) / 2,
                         left, true, GREY);
  }
}

std::string SpectrumWindow::keyHelp() const { return key_help_text(spectrum_window_keys()); }

void SpectrumWindow::callback_keydown(unsigned char key, int, int) {
  if (key == 'h' || key == '?' || key == 27) {
    sharedKey(key);
    return;
  }
  if (key >= '0' && key <= '4') {
    actual.signature = key - '0';
    validateSignature();
  } else if (key == 'b') {
    showAll();
  } else if (key == 'g') {
    // Between the graphs over the isovalue and the image last shown.
    if (actual.palette == -1) {
      actual.palette = lastImagePalette;
    } else {
      if (actual.palette >= 0) lastImagePalette = actual.palette;
      actual.palette = -1;
    }
    validateSignature();
    buildTextures();
  } else {
    return;
  }
  fullRedisplayAll();
}

std::ostream& operator<<(std::ostream& out, SpectrumWindow& w) {
  out << static_cast<GlutViewer*>(&w) << ' ' << '\n';
  out << w.actual.signature << ' ' << w.actual.palette << ' ' << w.actual.value << ' ' << w.firstSample << ' '
      << w.sampleCount << ' ' << w.firstTime << ' ' << w.timeCount << ' ';
  return out;
}

}  // namespace ctree
