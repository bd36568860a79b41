#pragma once
// Axes and colour bars drawn in a window's pixels (origin at the bottom
// left): a line with tick marks at round values and their labels in the
// 8x13 bitmap font, and the ramp of a tree colouring with its ticks and a
// title. The tick values come from gui/axis_ticks.h, the mapping of a
// value to its place from a ColourScale (linear or logarithmic).

#include <string>

#include "gui/tree_colouring.h"

namespace ctree {

// Height of the band a colour bar with its title and labels takes at the
// bottom of a window (draw_colour_bar at y = 26).
constexpr int COLOUR_BAR_HEIGHT = 58;

// Pixel drawing over whatever the window drew: depth test, lighting and
// textures off, projection glOrtho(0, w, 0, h) and an identity modelview,
// both pushed; end_pixel_drawing pops them and turns the depth test on.
void begin_pixel_drawing(int w, int h);
void end_pixel_drawing();

// A black band at 70 % cover from (x0, y0) to (x1, y1).
void shade_band(int x0, int y0, int x1, int y1);

// text with its lower left corner at (x, y) (align 0), its middle
// (align 1) or its right end (align 2) there, in colour rgb.
void draw_label(int x, int y, const std::string& text, int align, const float rgb[3]);

// An axis along the bottom or top edge of a plot, from x0 (scale.lo) to
// x1 (scale.hi) at height y: the line, ticks 4 pixels long outward (down
// when labelsBelow) and the labels of as many round values as fit without
// overlapping.
void draw_horizontal_axis(const ColourScale& scale, int x0, int x1, int y, bool labelsBelow, const float rgb[3]);

// An axis from y0 (scale.lo) to y1 (scale.hi) at x, ticks and labels to
// the left (labelsLeft) or to the right. y1 may lie below y0 (values that
// grow downwards).
void draw_vertical_axis(const ColourScale& scale, int y0, int y1, int x, bool labelsLeft, const float rgb[3]);

// The ramp from x0 (scale.lo) to x1 (scale.hi), 10 pixels high above y,
// with its axis below and the title above its left end.
void draw_colour_bar(const ColourScale& scale, const std::string& title, int x0, int x1, int y);

// An axis in the model's space from point from (value lo) to point to
// (value hi), drawn over everything: the line, a dot at each round value
// and its label beside it, left of the dot (right of it near the window's
// left edge). pixels: the axis's length on
// the screen, which sets how many labels fit (none under 40 pixels, when
// the axis is seen end on).
void draw_model_axis(double lo, double hi, const float from[3], const float to[3], float pixels, const float rgb[3]);

}  // namespace ctree
