#include "contour/propagation_triangles.h"

namespace contour {

Conplot2d::Conplot2d(Datasetslc* d) : Conplot(d), con(d->ntime) {
  const TriangleMesh& m = static_cast<const Dataslc*>(d->getData(0))->getMesh();
  for (Contour2d& c : con) c.setExtent(m.extentMin, m.extentMax);
}

void Conplot2d::TrackContour(float iso, int start) {
  // Per case code (bit k: vertex k below), the two crossed triangle edges.
  static const int segment[8][2] = {{-1, -1}, {2, 0}, {0, 1}, {1, 2}, {2, 1}, {1, 0}, {0, 2}, {-1, -1}};
  const Dataslc& d = static_cast<const Dataslc&>(*data->getData(curtime));
  const float* val = d.contourValues();
  Contour2d& c = con[curtime];
  queue.Add(start);
  while (!queue.Empty()) {
    int cell = queue.Get();
    ++visited;
    int v[3];
    float f[3];
    for (int k = 0; k < 3; ++k) {
      v[k] = d.getCellVert(cell, k);
      f[k] = val[v[k]];
    }
    int code = (f[0] < iso ? 1 : 0) + (f[1] < iso ? 2 : 0) + (f[2] < iso ? 4 : 0);
    if (segment[code][0] < 0) continue;
    int ends[2];
    for (int s = 0; s < 2; ++s) {
      int e = segment[code][s];
      int a = e, b = (e + 1) % 3;
      float t = (iso - f[b]) / (f[a] - f[b]);
      const double* pa = d.getVert(v[a]);
      const double* pb = d.getVert(v[b]);
      ends[s] = c.AddVert(float(t * pa[0] + (1 - t) * pb[0]), float(t * pa[1] + (1 - t) * pb[1]));
    }
    c.AddEdge(ends[0], ends[1]);
    for (int s = 0; s < 2; ++s) {
      int n = d.getCellAdj(cell, segment[code][s]);
      if (n >= 0 && !touched(n)) {
        touch(n);
        queue.Add(n);
      }
    }
  }
}

}  // namespace contour
