#include "contour/seed_search.h"

#include <algorithm>
#include <vector>

#include "contour/data_reg3.h"
#include "contour/range.h"

namespace contour {

void seedAll(const Data& data, SeedCells& seeds) {
  for (int c = 0; c < data.ncells; ++c) {
    float mn, mx;
    data.getCellRange(c, mn, mx);
    seeds.AddSeed(unsigned(c), mn, mx);
  }
}

namespace {
// Values crossing a face of four corners: (min, max].
Range face_range(const float f[8], int a, int b, int c, int d) {
  return Range(std::min({f[a], f[b], f[c], f[d]}), std::max({f[a], f[b], f[c], f[d]}));
}
}  // namespace

// In-sets hold, per face, the isovalues handed from the cell behind it to the
// cell in front: values whose contour crosses the face and that no seed
// covers yet. Each such value is handed to exactly one upper neighbour, so
// the responsibility for it travels along until some cell takes it as seed.
void regProp(const Datareg3& data, SeedCells& seeds) {
  const int nx = data.dim[0] - 1, ny = data.dim[1] - 1, nz = data.dim[2] - 1;
  Range inX;
  std::vector<Range> inY(nx);
  std::vector<Range> inZ(size_t(nx) * ny);
  float f[8];
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        Range& zin = inZ[size_t(j) * nx + i];
        Range& yin = inY[i];
        data.getCellValues(i, j, k, f);
        float mn = std::min({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
        float mx = std::max({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
        if (mn == mx) {
          // A constant cell is crossed by no isovalue and hands nothing on.
          zin.MakeEmpty();
          yin.MakeEmpty();
          inX.MakeEmpty();
          continue;
        }
        Range xm = face_range(f, 0, 3, 4, 7), ym = face_range(f, 0, 1, 2, 3), zm = face_range(f, 0, 1, 4, 5);
        // On the grid boundary nothing lies behind a lower face: everything
        // crossing it is still uncovered.
        if (i == 0) inX = xm;
        if (j == 0) yin = ym;
        if (k == 0) zin = zm;
        Range U = inX;
        U += yin;
        U += zin;
        // The lower faces share corner 0, so their ranges form one interval.
        Range F = xm;
        F += ym;
        F += zm;
        Range R1 = F - U;  // crossing a lower face and covered behind it
        Range W(mn, mx);
        Range R2 = W - R1;  // this cell's responsibility
        Range P = R1;       // W minus R2

        Range O;
        if (i < nx - 1) O += face_range(f, 1, 2, 5, 6);
        if (j < ny - 1) O += face_range(f, 4, 5, 6, 7);
        if (k < nz - 1) O += face_range(f, 2, 3, 6, 7);
        bool handOn = R2.Empty() || (!O.Empty() && O.Min() <= R2.Min() && R2.Max() <= O.Max());
        if (R2.Overflowed() || P.Overflowed()) handOn = false;
        if (handOn) {
          if (k < nz - 1) {
            zin = face_range(f, 2, 3, 6, 7) - P;
            P += zin;
          } else {
            zin.MakeEmpty();
          }
          if (j < ny - 1) {
            yin = face_range(f, 4, 5, 6, 7) - P;
            P += yin;
          } else {
            yin.MakeEmpty();
          }
          if (i < nx - 1)
            inX = face_range(f, 1, 2, 5, 6) - P;
          else
            inX.MakeEmpty();
          if (!(zin.Overflowed() || yin.Overflowed() || inX.Overflowed())) continue;
        }
        if (R2.Overflowed() || P.Overflowed() || zin.Overflowed() || yin.Overflowed() || inX.Overflowed()) {
          // The value sets grew past their capacity: a seed for the whole
          // cell range is always safe.
          seeds.AddSeed(unsigned(data.index2cell(i, j, k)), mn, mx);
        } else {
          seeds.AddSeed(unsigned(data.index2cell(i, j, k)), R2.Min(), R2.Max());
        }
        zin.MakeEmpty();
        yin.MakeEmpty();
        inX.MakeEmpty();
      }
}

}  // namespace contour
