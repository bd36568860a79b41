#include "contour/propagation_grid2.h"

namespace contour {

Conplotreg2::Conplotreg2(Datasetreg2* d) : Conplot(d), con(d->ntime) {
  for (int t = 0; t < d->ntime; ++t) {
    const Datareg2& g = static_cast<const Datareg2&>(*d->getData(t));
    float mn[3] = {g.orig[0], g.orig[1], 0};
    float mx[3] = {g.orig[0] + g.span[0] * (g.dim[0] - 1), g.orig[1] + g.span[1] * (g.dim[1] - 1), 0};
    con[t].setExtent(mn, mx);
  }
}

void Conplotreg2::TrackContour(float iso, int start) {
  static const int corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const Datareg2& d = static_cast<const Datareg2&>(*data->getData(curtime));
  const float* val = d.contourValues();
  Contour2d& c = con[curtime];
  queue.Add(start);
  while (!queue.Empty()) {
    int cell = queue.Get();
    ++visited;
    int i = cell % (d.dim[0] - 1), j = cell / (d.dim[0] - 1);
    float f[4];
    bool below[4];
    for (int k = 0; k < 4; ++k) {
      f[k] = val[d.getCellVert(cell, k)];
      below[k] = f[k] < iso;
    }
    int vert[4] = {-1, -1, -1, -1};  // per face (edge e: corners e, e+1)
    for (int e = 0; e < 4; ++e) {
      int a = e, b = (e + 1) % 4;
      if (below[a] == below[b]) continue;
      float t = (iso - f[a]) / (f[b] - f[a]);
      double pa[2], pb[2];
      d.getPos(i + corner[a][0], j + corner[a][1], pa);
      d.getPos(i + corner[b][0], j + corner[b][1], pb);
      vert[e] = c.AddVert(float(pa[0] + t * (pb[0] - pa[0])), float(pa[1] + t * (pb[1] - pa[1])));
    }
    int crossed = (vert[0] >= 0) + (vert[1] >= 0) + (vert[2] >= 0) + (vert[3] >= 0);
    if (crossed == 2) {
      int a = -1, b = -1;
      for (int e = 0; e < 4; ++e)
        if (vert[e] >= 0) (a < 0 ? a : b) = vert[e];
      c.AddEdge(a, b);
    } else if (crossed == 4) {
      // Corner k lies between faces k-1 and k.
      for (int k = 0; k < 4; ++k)
        if (below[k]) c.AddEdge(vert[(k + 3) % 4], vert[k]);
    }
    for (int e = 0; e < 4; ++e) {
      if (vert[e] < 0) continue;
      int n = d.getCellAdj(cell, e);
      if (n >= 0 && !touched(n)) {
        touch(n);
        queue.Add(n);
      }
    }
  }
}

}  // namespace contour
