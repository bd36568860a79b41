#include "gui/screen_axes.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>

#include "gui/axis_ticks.h"

namespace ctree {

namespace {

constexpr int GLYPH_W = 8, GLYPH_H = 13, TICK = 4;

AxisTicks ticks_of(const ColourScale& s, int maxTicks) {
  return s.log ? log_ticks(s.lo, s.hi, maxTicks) : linear_ticks(s.lo, s.hi, maxTicks);
}

int label_width(const std::string& text) { return GLYPH_W * int(text.size()); }

}  // namespace

void begin_pixel_drawing(int w, int h) {
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_TEXTURE_1D);
  glLineWidth(1);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, w, 0, h, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void end_pixel_drawing() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glEnable(GL_DEPTH_TEST);
}

void shade_band(int x0, int y0, int x1, int y1) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0, 0, 0, 0.7f);
  glBegin(GL_QUADS);
  glVertex2i(x0, y0), glVertex2i(x1, y0), glVertex2i(x1, y1), glVertex2i(x0, y1);
  glEnd();
  glDisable(GL_BLEND);
}

void draw_label(int x, int y, const std::string& text, int align, const float rgb[3]) {
  x -= align * label_width(text) / 2;
  // A raster position outside the window would drop the whole text.
  x = std::max(0, x), y = std::max(0, y);
  glColor3fv(rgb);
  glRasterPos2i(x, y);
  for (char c : text) glutBitmapCharacter(GLUT_BITMAP_8_BY_13, c);
}

void draw_horizontal_axis(const ColourScale& scale, int x0, int x1, int y, bool labelsBelow, const float rgb[3]) {
  const int length = std::abs(x1 - x0);
  // About one label per 10 characters of room.
  const AxisTicks ticks = ticks_of(scale, std::max(2, length / (10 * GLYPH_W)));
  const int dir = labelsBelow ? -1 : 1;
  glColor3fv(rgb);
  glBegin(GL_LINES);
  glVertex2i(x0, y), glVertex2i(x1, y);
  for (double v : ticks.values) {
    const int x = x0 + int(std::lround(scale.position(v) * (x1 - x0)));
    glVertex2i(x, y), glVertex2i(x, y + dir * TICK);
  }
  glEnd();
  int freeFrom = -(1 << 30);  // labels never overlap: the next starts right of the last
  for (double v : ticks.values) {
    const std::string text = tick_label(v, ticks);
    const int x = x0 + int(std::lround(scale.position(v) * (x1 - x0)));
    // Centred under the tick, but not beyond the axis's ends by more than a
    // glyph.
    const int left = std::max({0, std::min(x - label_width(text) / 2, std::max(x0, x1) + GLYPH_W - label_width(text))});
    if (left < freeFrom) continue;
    draw_label(left, labelsBelow ? y - TICK - GLYPH_H + 1 : y + TICK + 2, text, 0, rgb);
    freeFrom = left + label_width(text) + GLYPH_W;
  }
}

void draw_vertical_axis(const ColourScale& scale, int y0, int y1, int x, bool labelsLeft, const float rgb[3]) {
  const int length = std::abs(y1 - y0);
  const AxisTicks ticks = ticks_of(scale, std::max(2, length / (3 * GLYPH_H)));
  const int dir = labelsLeft ? -1 : 1;
  glColor3fv(rgb);
  glBegin(GL_LINES);
  glVertex2i(x, y0), glVertex2i(x, y1);
  for (double v : ticks.values) {
    const int y = y0 + int(std::lround(scale.position(v) * (y1 - y0)));
    glVertex2i(x, y), glVertex2i(x + dir * TICK, y);
  }
  glEnd();
  for (double v : ticks.values) {
    const int y = y0 + int(std::lround(scale.position(v) * (y1 - y0)));
    draw_label(x + dir * (TICK + 2), y - GLYPH_H / 2 + 2, tick_label(v, ticks), labelsLeft ? 2 : 0, rgb);
  }
}

void draw_colour_bar(const ColourScale& scale, const std::string& title, int x0, int x1, int y) {
  static const float WHITE[3] = {1, 1, 1};
  const int STEPS = 64;
  unsigned char rgb[3];
  glBegin(GL_QUAD_STRIP);
  for (int i = 0; i <= STEPS; ++i) {
    const double t = double(i) / STEPS;
    ramp_colour(t, rgb);
    glColor3ubv(rgb);
    const int x = x0 + int(std::lround(t * (x1 - x0)));
    glVertex2i(x, y), glVertex2i(x, y + 10);
  }
  glEnd();
  draw_horizontal_axis(scale, x0, x1, y, true, WHITE);
  draw_label(x0, y + 14, title, 0, WHITE);
}

void draw_model_axis(double lo, double hi, const float from[3], const float to[3], float pixels, const float rgb[3]) {
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glColor3fv(rgb);
  glBegin(GL_LINES);
  glVertex3fv(from), glVertex3fv(to);
  glEnd();
  if (pixels < 40 || !(hi > lo)) {
    glEnable(GL_DEPTH_TEST);
    return;
  }
  const AxisTicks ticks = linear_ticks(lo, hi, std::max(2, int(pixels / (3 * GLYPH_H))));
  glPointSize(5);
  glBegin(GL_POINTS);
  for (double v : ticks.values) {
    const float t = float((v - lo) / (hi - lo));
    glVertex3f(from[0] + t * (to[0] - from[0]), from[1] + t * (to[1] - from[1]), from[2] + t * (to[2] - from[2]));
  }
  glEnd();
  glPointSize(1);
  for (double v : ticks.values) {
    const float t = float((v - lo) / (hi - lo));
    const std::string text = tick_label(v, ticks);
    glRasterPos3f(from[0] + t * (to[0] - from[0]), from[1] + t * (to[1] - from[1]), from[2] + t * (to[2] - from[2]));
    // Moved in pixels from the dot: to its left, centred in height, or to
    // its right where the window ends on the left.
    float at[4] = {0, 0, 0, 0};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, at);
    const float dx = at[0] - label_width(text) - 6 >= 0 ? float(-label_width(text) - 6) : 8.0f;
    glBitmap(0, 0, 0, 0, dx, float(-GLYPH_H / 2 + 2), nullptr);
    for (char c : text) glutBitmapCharacter(GLUT_BITMAP_8_BY_13, c);
  }
  glEnable(GL_DEPTH_TEST);
}

}  // namespace ctree
