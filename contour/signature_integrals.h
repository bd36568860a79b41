#pragma once
// Closed-form contributions of one simplex to the signature functions, and
// the sampling they accumulate into.
//
// A triangle or tetrahedron with linearly interpolated values contributes, as
// a function of the isovalue w, the length (area) of its piece of the
// isocontour, piecewise linear (quadratic) between its sorted vertex values,
// and the area (volume) of its part below w, piecewise quadratic (cubic).
// The volume below w is the integral of section area / |grad f| (co-area).

#include <cmath>
#include <vector>

namespace contour {

// n isovalues fx from fmin to fmax and the sums gathered at them, in double.
class SignatureSampler {
 public:
  SignatureSampler(float fmin, float fmax, int n);

  // First sample index i with fx[i] >= f (n when there is none).
  int firstSample(double f) const {
    double guess = std::ceil((f - fmin) * scale);
    int i = guess < 0 ? 0 : guess > n ? n : int(guess);
    // The float samples may round either way of the computed index.
    while (i > 0 && fx[i - 1] >= f) --i;
    while (i < n && fx[i] < f) ++i;
    return i;
  }
  // into[i] += f(fx[i]) for every sample with lo <= fx[i] < hi.
  template <class F>
  void addOver(double lo, double hi, F f, std::vector<double>& into) const {
    for (int i = firstSample(lo); i < n && fx[i] < hi; ++i) into[i] += f(double(fx[i]));
  }
  // A whole amount counted at every sample at or above `at`.
  void addWhole(double at, double amount, std::vector<double>& whole) const {
    int i = firstSample(at);
    if (i < n) whole[i] += amount;
  }
  // A whole amount counted at every sample strictly above `at`.
  void addWholeAbove(double at, double amount, std::vector<double>& whole) const {
    int i = firstSample(at);
    while (i < n && fx[i] <= at) ++i;
    if (i < n) whole[i] += amount;
  }
  // partial[i] + sum of whole[0..i], as floats.
  std::vector<float> cumulate(const std::vector<double>& partial, const std::vector<double>& whole) const;

  int n;
  float fmin, fmax;
  std::vector<float> fx;

 private:
  double scale;  // (n - 1) / (fmax - fmin), 0 for a constant field
};

// A triangle with planar corners, sorted by value fa <= fb <= fc.
struct TriangleProfile {
  double fa = 0, fb = 0, fc = 0;
  double lmid = 0;  // length of the contour at fb
  double area = 0, areaLow = 0, areaHigh = 0;  // whole, below fb, above fb
  bool flat = true;  // fa == fc: contributes nothing

  double length(double w) const;   // contour length at w in [fa, fc]
  double below(double w) const;    // area below w
};
// p: three corners (x, y); f: their values.
TriangleProfile triangle_profile(const double p[3][2], const double f[3]);
// |grad f| of the linear interpolation over the triangle.
double triangle_gradient(const double p[3][2], const double f[3]);

// Adds weight * contour length to fy at the samples in [fa, fc).
void triSurfIntegral(const TriangleProfile& t, double weight, const SignatureSampler& s, std::vector<double>& fy);
// Adds the area below each sample: in partial for samples in [fa, fc), and
// the whole area once in whole at the first sample not below fc. A flat
// triangle (fa == fc) lies below every sample strictly above its value.
void triVolIntegral(const TriangleProfile& t, const SignatureSampler& s, std::vector<double>& partial,
                    std::vector<double>& whole);

// A tetrahedron sorted by value f0 <= f1 <= f2 <= f3.
struct TetProfile {
  double f[4] = {0, 0, 0, 0};
  double c0 = 0, c3 = 0;          // area = c0 (w - f0)^2 below f1, c3 (f3 - w)^2 above f2
  double a0 = 0, a1 = 0, a2 = 0;  // area = a0 + a1 u + a2 u^2, u = w - f1, in [f1, f2]
  double grad = 0;                // |grad f|
  double volume = 0;              // whole volume
  double volumeAtF1 = 0;          // volume below f1
  bool flat = true;               // f0 == f3: contributes nothing

  double area(double w) const;   // isosurface area at w
  double below(double w) const;  // volume below w
};
inline double TetProfile::area(double w) const {
  if (flat || w < f[0] || w > f[3]) return 0;
  // At w == f0 == f1 == f2 the section is the whole face (0, 1, 2): the
  // upper piece gives it, not the empty lower one.
  if (w <= f[1] && f[0] < f[1]) return c0 * (w - f[0]) * (w - f[0]);
  if (w >= f[2] && f[2] < f[3]) return c3 * (f[3] - w) * (f[3] - w);
  if (w <= f[1] || w >= f[2]) return 0;
  double u = w - f[1];
  return a0 + u * (a1 + u * a2);
}

inline double TetProfile::below(double w) const {
  if (w <= f[0]) return 0;
  if (w >= f[3]) return volume;
  if (w <= f[1]) return c0 * (w - f[0]) * (w - f[0]) * (w - f[0]) / (3 * grad);
  if (w >= f[2]) return volume - c3 * (f[3] - w) * (f[3] - w) * (f[3] - w) / (3 * grad);
  double u = w - f[1];
  return volumeAtF1 + u * (a0 + u * (a1 / 2 + u * a2 / 3)) / grad;
}

// p: four corners (x, y, z); f: their values. The corners must span a volume.
TetProfile tet_profile(const double p[4][3], const double f[4]);

// What a tetrahedron's profile needs of its shape: its volume and the
// gradients of its corners' barycentric coordinates 1..3. The same for
// every cell of a regular grid, so computed once per grid.
struct TetShape {
  double volume = 0;
  double bary[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  bool degenerate = true;
};
TetShape tet_shape(const double p[4][3]);
// The profile of tet_profile (to rounding) from the shape: the section area
// is volume * |grad f| times the density of f over the tetrahedron, a
// quadratic B-spline over the sorted values, evaluated in its positive form.
TetProfile tet_profile(const TetShape& shape, const double f[4]);

void tetSurfIntegral(const TetProfile& t, double weight, const SignatureSampler& s, std::vector<double>& fy);
// As triVolIntegral, for the volume of a tetrahedron.
void tetVolIntegral(const TetProfile& t, const SignatureSampler& s, std::vector<double>& partial,
                    std::vector<double>& whole);

}  // namespace contour
