#pragma once
// Drawing components without windows of their own: MeshViewer draws the
// triangle mesh of a surface field, ContourViewer the isocontour held by
// the contour bridge. Neither computes anything.

#include <fstream>
#include <vector>

namespace ctree {

class MainData;
class ContourData;

class MeshViewer {
 public:
  explicit MeshViewer(MainData* mainData) : mainData(mainData) {}
  // 0 nothing, 1 translucent wireframe, 2 lit surface, 3 lit points.
  void display();

  MainData* mainData;
  int mode = 2;
};

class ContourViewer {
 public:
  explicit ContourViewer(ContourData* contourData) : contourData(contourData) {}
  // viewmode = m mod 3; switching on registers the data and extracts the
  // contour when nothing is registered yet.
  void setViewmode(int m);
  void display();

  ContourData* contourData;
  int viewmode = 0;  // 0 nothing; 1 surface (grids) or polyline; 2 wireframe (grids) or polyline
  // Set by the window while a drag turns, zooms or pans the view: a big
  // surface is then drawn from an even share of its triangles (at most
  // MOVING_TRIANGLES), so the view follows the pointer; the whole surface
  // comes back with the button's release.
  bool moving = false;

 private:
  void display2d();
  void display3d();
  // Every k-th triangle's corners of the surface last drawn while moving.
  std::vector<int> sampled;
  const void* sampledOf = nullptr;
  long sampledAt = -1;
};

constexpr int MOVING_TRIANGLES = 150000;

std::ostream& operator<<(std::ostream& out, const MeshViewer& v);
std::istream& operator>>(std::istream& in, MeshViewer& v);
std::ostream& operator<<(std::ostream& out, const ContourViewer& v);
std::istream& operator>>(std::istream& in, ContourViewer& v);

}  // namespace ctree
