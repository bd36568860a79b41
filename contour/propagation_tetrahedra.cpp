#include "contour/propagation_tetrahedra.h"

#include <cmath>

namespace contour {

void Conplot3d::TrackContour(float iso, int start) {
  const Datavol& d = static_cast<const Datavol&>(*data->getData(curtime));
  Contour3d& c = con[curtime];
  const int cv = d.colorVar;
  const float* colour = cv >= 0 && cv < d.nvars ? d.varValues(cv) : nullptr;
  if (colour) {
    c.colorMin = data->getMinFun(cv);
    c.colorMax = data->getMaxFun(cv);
  }
  const float* val = d.contourValues();
  queue.Add(start);
  while (!queue.Empty()) {
    int cell = queue.Get();
    ++visited;
    int v[4];
    double p[4][3], f[4];
    int below[4], above[4], nb = 0, na = 0;
    for (int k = 0; k < 4; ++k) {
      v[k] = d.getCellVert(cell, k);
      for (int a = 0; a < 3; ++a) p[k][a] = d.getVert(v[k])[a];
      f[k] = val[v[k]];
      if (f[k] < iso)
        below[nb++] = k;
      else
        above[na++] = k;
    }
    if (nb == 0 || na == 0) continue;

    // Gradient of the linear interpolation; the normal is its negation.
    double e[3][3], df[3];
    for (int k = 0; k < 3; ++k) {
      for (int a = 0; a < 3; ++a) e[k][a] = p[k + 1][a] - p[0][a];
      df[k] = f[k + 1] - f[0];
    }
    auto cross = [](const double* x, const double* y, double* out) {
      out[0] = x[1] * y[2] - x[2] * y[1];
      out[1] = x[2] * y[0] - x[0] * y[2];
      out[2] = x[0] * y[1] - x[1] * y[0];
    };
    double c12[3], c20[3], c01[3];
    cross(e[1], e[2], c12);
    cross(e[2], e[0], c20);
    cross(e[0], e[1], c01);
    double det = e[0][0] * c12[0] + e[0][1] * c12[1] + e[0][2] * c12[2];
    double g[3] = {0, 0, 0};
    if (det != 0)
      for (int a = 0; a < 3; ++a) g[a] = (df[0] * c12[a] + df[1] * c20[a] + df[2] * c01[a]) / det;
    double glen = std::sqrt(g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
    float n[3] = {0, 0, 0};
    if (glen > 0)
      for (int a = 0; a < 3; ++a) n[a] = float(-g[a] / glen);

    auto vertex = [&](int a, int b) {
      double t = (iso - f[a]) / (f[b] - f[a]);
      float q[3];
      for (int m = 0; m < 3; ++m) q[m] = float(p[a][m] + t * (p[b][m] - p[a][m]));
      float cval = colour ? float(colour[v[a]] + t * (colour[v[b]] - colour[v[a]])) : 0.0f;
      return c.AddVert(q[0], q[1], q[2], n[0], n[1], n[2], cval);
    };
    // Adds triangle (x, y, z) turned so that its normal points along -g.
    auto triangle = [&](int x, int y, int z) {
      const float* px = &c.vert[3 * size_t(x)];
      const float* py = &c.vert[3 * size_t(y)];
      const float* pz = &c.vert[3 * size_t(z)];
      double u[3] = {py[0] - px[0], py[1] - px[1], py[2] - px[2]};
      double w[3] = {pz[0] - px[0], pz[1] - px[1], pz[2] - px[2]};
      double nn[3];
      cross(u, w, nn);
      if (nn[0] * g[0] + nn[1] * g[1] + nn[2] * g[2] > 0)
        c.AddTri(x, z, y);
      else
        c.AddTri(x, y, z);
    };
    if (nb == 1 || na == 1) {
      int lone = nb == 1 ? below[0] : above[0];
      int q[3], m = 0;
      for (int k = 0; k < 4; ++k)
        if (k != lone) q[m++] = vertex(lone, k);
      triangle(q[0], q[1], q[2]);
    } else {
      int a = below[0], b = below[1], x = above[0], y = above[1];
      int q0 = vertex(a, x), q1 = vertex(a, y), q2 = vertex(b, y), q3 = vertex(b, x);
      triangle(q0, q1, q2);
      triangle(q0, q2, q3);
    }
    for (int face = 0; face < 4; ++face) {
      int nbelow = 0;
      for (int k = 0; k < 4; ++k)
        if (k != face) nbelow += f[k] < iso;
      if (nbelow == 0 || nbelow == 3) continue;
      int nbr = d.getCellAdj(cell, face);
      if (nbr >= 0 && !touched(nbr)) {
        touch(nbr);
        queue.Add(nbr);
      }
    }
  }
}

}  // namespace contour
