#pragma once
// Vectors (float[3]), quaternions (float[4], vector part first) and 4×4
// matrices (float[4][4], row by row), with a virtual trackball that turns a
// mouse drag into a rotation. Pure arithmetic: no GL.

#include "core/messages.h"

namespace ctree {

void vzero(float* v);
void vset(float* v, float x, float y, float z);
void vsub(const float* a, const float* b, float* out);
void vadd(const float* a, const float* b, float* out);
void vcopy(const float* a, float* out);
void vcross(const float* a, const float* b, float* out);
float vlength(const float* v);
void vscale(float* v, float s);
void vnormal(float* v);
float vdot(const float* a, const float* b);

// Rotation for a drag from (p1x, p1y) to (p2x, p2y), in [-1, 1] window
// coordinates: points project onto a sphere of radius 0.8 near the centre
// and a hyperbolic sheet outside.
void trackball(float* q, float p1x, float p1y, float p2x, float p2y);
void axis_to_quat(float* a, float phi, float* q);
void quat_mult(const float* q1, const float* q2, float* dest);
// Composition, renormalised every 98th call.
void add_quats(const float* q1, const float* q2, float* dest);
void build_rotmatrix(float m[4][4], const float* q);

void matident(float m[4][4]);
void matcopy(float dst[4][4], const float src[4][4]);
void mattrans(float m[4][4]);
void matxmat(float out[4][4], const float a[4][4], const float b[4][4]);
void matmult(const float* v, float* out, const float m[4][4]);
// Inverts the upper-left 3×3 block; false for a singular block, which is
// left as it is.
bool matinvert(float m[4][4]);
double matadjoint(float out[4][4], const float m[4][4]);
void matinv4x4(float m[4][4]);
// Says the matrix (a heading line "Matrix:name" when name is given, then
// one line per column) as status messages.
void matprint(const float m[4][4], const char* name, MessageSink& messages);

}  // namespace ctree
