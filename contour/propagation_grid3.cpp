#include "contour/propagation_grid3.h"

#include <cmath>

#include "contour/cube_table.h"

namespace contour {

Conplotreg3::Conplotreg3(Datasetreg3* d) : Conplot(d), con(d->ntime, Contour3d(0)) {
  for (int t = 0; t < d->ntime; ++t) {
    const Datareg3& g = static_cast<const Datareg3&>(*d->getData(t));
    for (int a = 0; a < 3; ++a) {
      con[t].minext[a] = g.orig[a];
      con[t].maxext[a] = g.orig[a] + g.span[a] * (g.dim[a] - 1);
    }
  }
}

void Conplotreg3::TrackContour(float iso, int start) {
  const CubeTables& tab = cube_tables();
  const Datareg3& d = static_cast<const Datareg3&>(*data->getData(curtime));
  Contour3d& c = con[curtime];
  const int cv = d.colorVar;
  const float* colour = cv >= 0 && cv < d.nvars ? d.varValues(cv) : nullptr;
  if (colour) {
    c.colorMin = data->getMinFun(cv);
    c.colorMax = data->getMaxFun(cv);
  }
  queue.Add(start);
  while (!queue.Empty()) {
    int cell = queue.Get();
    ++visited;
    int i, j, k;
    d.cell2index(cell, i, j, k);
    float f[8];
    d.getCellValues(i, j, k, f);
    int code = 0;
    for (int m = 0; m < 8; ++m)
      if (f[m] < iso) code |= 1 << m;

    float grad[8][3];
    bool have[8] = {false};
    int vertOf[12];
    const int* edges = tab.cubeedges[code];
    for (int m = 1; m <= edges[0]; ++m) {
      const CubeEdge& e = cube_edge[edges[m]];
      for (int corner : {e.a, e.b})
        if (!have[corner]) {
          d.getVertGrad(i + cube_corner[corner][0], j + cube_corner[corner][1], k + cube_corner[corner][2],
                        grad[corner]);
          have[corner] = true;
        }
      float t = (iso - f[e.a]) / (f[e.b] - f[e.a]);
      float p[3], n[3];
      for (int a = 0; a < 3; ++a) {
        int idx = (a == 0 ? i : a == 1 ? j : k) + e.offset[a];
        p[a] = d.orig[a] + d.span[a] * (float(idx) + (a == e.axis ? t : 0.0f));
        n[a] = -((1 - t) * grad[e.a][a] + t * grad[e.b][a]);
      }
      float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      if (len > 0) {
        for (float& x : n) x /= len;
      } else {
        // Flat gradient at both ends: point along the edge to the lower end.
        for (float& x : n) x = 0;
        n[e.axis] = f[e.a] < f[e.b] ? -1.0f : 1.0f;
      }
      float cval = 0;
      if (colour) {
        float ca = colour[d.vertIndex(i + cube_corner[e.a][0], j + cube_corner[e.a][1], k + cube_corner[e.a][2])];
        float cb = colour[d.vertIndex(i + cube_corner[e.b][0], j + cube_corner[e.b][1], k + cube_corner[e.b][2])];
        cval = (1 - t) * ca + t * cb;
      }
      vertOf[edges[m]] = c.AddVert(p[0], p[1], p[2], n[0], n[1], n[2], cval);
    }
    for (const int* t = tab.triCases[code]; *t >= 0; t += 3) c.AddTri(vertOf[t[0]], vertOf[t[1]], vertOf[t[2]]);

    // Queue the untouched neighbours across the crossed faces.
    const int* faces = tab.adjfaces[code];
    for (int m = 1; m <= faces[0]; ++m) {
      int n = d.getCellAdj(cell, faces[m]);
      if (n >= 0 && !touched(n)) {
        touch(n);
        queue.Add(n);
      }
    }
  }
}

}  // namespace contour
