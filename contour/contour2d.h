#pragma once
// A polyline isocontour in the plane: vertices (x, y) and edges between
// them. Owns its arrays; a done flag marks a finished extraction.

#include <vector>

namespace contour {

class Contour2d {
 public:
  Contour2d() {
    vert.reserve(2 * 500);
    edge.reserve(2 * 1000);
  }

  int AddVert(float x, float y) {
    vert.push_back(x);
    vert.push_back(y);
    return getNVert() - 1;
  }
  void AddEdge(int a, int b) {
    edge.push_back(a);
    edge.push_back(b);
  }
  void Reset() {
    vert.clear();
    edge.clear();
    done = false;
  }
  int getNVert() const { return int(vert.size() / 2); }
  int getNEdge() const { return int(edge.size() / 2); }
  bool isDone() const { return done; }
  void Done() { done = true; }
  void setExtent(const float mn[3], const float mx[3]) {
    for (int a = 0; a < 3; ++a) {
      minext[a] = mn[a];
      maxext[a] = mx[a];
    }
  }

  bool done = false;
  float minext[3] = {0, 0, 0}, maxext[3] = {0, 0, 0};
  std::vector<float> vert;  // 2 per vertex
  std::vector<int> edge;    // 2 per edge
};

}  // namespace contour
