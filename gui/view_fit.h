#pragma once
// Fitting a box into an orthographic view: the arithmetic behind a window's
// first view, apart from any drawing.

#include <cstddef>

#include "workspace/main_data.h"

namespace ctree {

// The uniform scale and the centre with which the box [lo, hi], moved by
// -centre, scaled, and turned by rotation (the GL matrix of glMultMatrixf
// over &rotation[0][0]: screen axis i of model axis j is rotation[j][i]),
// lies inside the orthographic view box ortho (left, right, bottom, top,
// near, far as glOrtho takes them) with the given share of each side left
// free (margin 0.05: the box fills at most 90 % of the width and of the
// height, and of the depth, so that nothing is clipped). The scale is the
// same on every axis, so the box keeps its aspect; the box's centre goes
// to the eye's origin, the middle of a view box that is not panned. A box
// of no extent gets scale 1.
struct ViewFit {
  float scale = 1;
  float centre[3] = {0, 0, 0};
};
ViewFit fit_box_to_view(const float lo[3], const float hi[3], const float rotation[4][4], const float ortho[6],
                        float margin);

}  // namespace ctree

namespace ctree {

// The scale with which the points xyz (n of them, x y z each), each grown
// into a sphere of radius reach, moved by -centre and turned by rotation,
// lie inside the view box ortho with the margin, as fit_box_to_view: the
// view is tight around the points' own outline on the screen rather than
// around their box's, which a turned box overstates (a tree reaching into
// two opposite corners of its box). The centre is the one given (the
// box's: it does not depend on the rotation, so a stored zoom means the
// same after a turn). No points, or none off the centre: scale 1.
// O(n).
ViewFit fit_points_to_view(const float* xyz, size_t n, const float centre[3], float reach, const float rotation[4][4],
                           const float ortho[6], float margin);

// The box a drawing of points in box b covers after each axis is multiplied
// by its scale (a negative scale mirrors the axis) and every point grows
// into a sphere of radius reach: lo and hi, lo <= hi on every axis.
void drawn_box(const TBox& b, const float scale[3], float reach, float lo[3], float hi[3]);

}  // namespace ctree
