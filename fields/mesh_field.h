#pragma once
// A scalar field on a triangulated surface: one value per vertex.
//
// Owns the vertex records (position and value), the triangles, for every
// vertex the ascending list of the triangles around it (compressed rows,
// built by buildVertexTriangles once all triangles are known), and optional
// per-vertex normals. Vertices are ordered by the key (field, z, y, x).

#include <string>
#include <vector>

#include "core/progress.h"
#include "core/report.h"
#include "core/types.h"
#include "core/vertex.h"

namespace ctree {

struct Triangle {
  Index v[3] = {NULL_INDEX, NULL_INDEX, NULL_INDEX};
  Index& operator[](int i) { return v[i]; }
  Index operator[](int i) const { return v[i]; }
};

// For each vertex, the indices of the triangles that have it as a corner,
// ascending: offsets + data.
class VertexTriangles {
 public:
  struct Range {
    const Index* first;
    const Index* last;
    const Index* begin() const { return first; }
    const Index* end() const { return last; }
    size_t size() const { return size_t(last - first); }
    bool empty() const { return first == last; }
  };
  void build(size_t vertex_count, const std::vector<Triangle>& triangles);
  Range operator[](Index v) const { return {data.data() + offsets[size_t(v)], data.data() + offsets[size_t(v) + 1]}; }
  size_t size() const { return offsets.empty() ? 0 : offsets.size() - 1; }

 private:
  std::vector<Index> offsets;  // vertex_count + 1 entries
  std::vector<Index> data;
};

class ScalarField2D {
 public:
  // Fresh contents: nverts zero vertices, ncells unset triangles, no normals.
  void init(unsigned long nverts, unsigned long ncells);
  // Fills vertexTriangles from triangles.
  void buildVertexTriangles() { vertexTriangles.build(vertices.size(), triangles); }

  void sortVertices();
  bool less(Index a, Index b) const;  // key of a below key of b

  int eulerCharacterOfLink(Index v) const;
  int eulerCharacterOfLowerLink(Index v) const;
  int eulerCharacterOfUpperLink(Index v) const;
  bool isCritical(Index v) const;
  void verticesOfLowerLink(Index v, std::vector<Index>& out) const;
  void verticesOfUpperLink(Index v, std::vector<Index>& out) const;
  void print(Report& report) const;  // a summary as a note

  bool hasNormals() const { return !normals.empty(); }
  Size vertexCount() const { return Size(vertices.size()); }

  std::vector<Index> order;  // valid while sorted
  std::vector<Vertex> vertices;
  std::vector<Triangle> triangles;
  VertexTriangles vertexTriangles;
  bool sorted = false;
  std::vector<Real> normals;  // 3 per vertex, or empty when absent
};

struct FieldCompare2d {
  const ScalarField2D& field;
  explicit FieldCompare2d(const ScalarField2D& f) : field(f) {}
  bool operator()(Index a, Index b) const { return field.less(a, b); }
};

// Appends the critical vertices of field to P in increasing key order (the
// global minimum first, the global maximum last). Sorts field if needed.
// progress: told of every vertex examined.
void compute_critical_points(ScalarField2D& field, std::vector<Vertex>& P, ProgressSink& progress);

}  // namespace ctree
