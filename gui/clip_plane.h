#pragma once
// A plane that cuts the main window's surface open, so that what lies
// inside an outer surface (the scalp around a brain) can be seen. Plain
// data the scene file keeps and the window reads; the computations here
// need no display.
//
// The plane keeps the points p with dot(normal, p - centre) <= offset,
// centre being the centre of the model box: the side the normal points to
// is cut away. Positions are the model's (the scan's units).

#include <vector>

#include "workspace/main_data.h"

namespace ctree {

struct ClipPlane {
  int on = 0;
  float normal[3] = {0, 0, 1};  // unit length
  float offset = 0;             // from the model box's centre along normal
};

// The plane through the box's centre that cuts away the half facing the
// viewer: normal = the model direction towards the eye for a view turned
// by rotation (row by row, handed to glMultMatrixf as stored).
ClipPlane clip_plane_facing_viewer(const float rotation[4][4]);

// The four coefficients (a, b, c, d) whose a·x + b·y + c·z + d >= 0 holds
// for the points the plane keeps, in model coordinates (glClipPlane's
// equation).
void clip_plane_equation(const ClipPlane& plane, const TBox& box, double equation[4]);

// Moves the plane along its normal by steps of a fiftieth of the box's
// diagonal; the offset stays within half the diagonal either way (beyond
// it the plane keeps all or nothing).
void move_clip_plane(ClipPlane& plane, const TBox& box, int steps);

// Turns the normal by angle (radians) about the unit axis (model
// directions), right-handed; it stays unit length.
void turn_clip_plane(ClipPlane& plane, const float axis[3], float angle);

// The polygon where the plane meets the box, corners in order around the
// polygon (x, y, z each); empty when the plane misses the box. At most
// six corners; corners closer than a millionth of the box apart are one.
std::vector<float> clip_plane_outline(const ClipPlane& plane, const TBox& box);

}  // namespace ctree
