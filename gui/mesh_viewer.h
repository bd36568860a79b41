#pragma once
// Drawing components without windows of their own: MeshViewer draws the
// triangle mesh of a surface field, ContourViewer the isocontour held by
// the contour bridge. Neither computes anything.

#include <fstream>
#include <vector>

#include "gui/coarse_surface.h"

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
  // Its GL buffers stay with the window's context (the viewer lives as
  // long as its window).
  explicit ContourViewer(ContourData* contourData) : contourData(contourData) {}
  ContourViewer(const ContourViewer&) = delete;
  ContourViewer& operator=(const ContourViewer&) = delete;
  // viewmode = m mod 3; switching on registers the data and extracts the
  // contour when nothing is registered yet.
  void setViewmode(int m);
  void display();

  ContourData* contourData;
  int viewmode = 0;  // 0 nothing; 1 surface (grids) or polyline; 2 wireframe (grids) or polyline
  // Set by the window while a drag turns, zooms or pans the view: a big
  // surface (more than MOVING_TRIANGLES triangles) is then drawn whole from
  // the grid subsampled by 2, 4, ... (gui/coarse_surface.h), at most about
  // MOVING_TRIANGLES triangles, so the view follows the pointer; the full
  // surface comes back with the button's release.
  bool moving = false;

  // With progressive set, a big surface newly extracted (the first, or
  // after a change of the isovalue or the time step) is first drawn coarse,
  // as while moving, and refinePending asks the window for the next frame,
  // which draws it full: a change reaches the screen at once.
  bool progressive = false;
  bool refinePending = false;

  // Work done so far: surfaces copied into GL buffers, coarse surfaces
  // extracted (the frame log and the tests count them).
  long uploads = 0, coarseExtractions = 0;

 private:
  void display2d();
  void display3d();

  // A surface in GL buffer objects (vertices, normals, triangles), with
  // what it was made from: drawn from there while that is unchanged.
  struct Buffers {
    unsigned names[3] = {0, 0, 0};
    int indices = 0;
    const void* of = nullptr;
    long at = -1;
  };
  void upload(Buffers& b, const float* vertices, const float* normals, int vertexCount, const int* triangles,
              int triangleCount);
  static void drawBuffers(const Buffers& b);
  Buffers full, coarse;
  // The subsampled grid of the field drawn, made at the first drag.
  CoarseGrid coarseGrid;
  const void* coarseGridOf = nullptr;
  // The extraction last drawn coarse first.
  const void* coarseFirstOf = nullptr;
  long coarseFirstAt = -1;
  contour::Isosurface coarseSurface;
};

constexpr int MOVING_TRIANGLES = 150000;

std::ostream& operator<<(std::ostream& out, const MeshViewer& v);
std::istream& operator>>(std::istream& in, MeshViewer& v);
std::ostream& operator<<(std::ostream& out, const ContourViewer& v);
std::istream& operator>>(std::istream& in, ContourViewer& v);

}  // namespace ctree
