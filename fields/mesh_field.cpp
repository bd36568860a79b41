#include "fields/mesh_field.h"

#include <algorithm>
#include <cstdio>

#include "core/progress.h"

namespace ctree {

void VertexTriangles::build(size_t n, const std::vector<Triangle>& triangles) {
  offsets.assign(n + 1, 0);
  for (const Triangle& t : triangles)
    for (int c = 0; c < 3; ++c) ++offsets[size_t(t[c]) + 1];
  for (size_t v = 0; v < n; ++v) offsets[v + 1] += offsets[v];
  data.resize(size_t(offsets[n]));
  std::vector<Index> fill(offsets.begin(), offsets.end() - 1);
  // Triangles in index order, so every row comes out ascending.
  for (size_t t = 0; t < triangles.size(); ++t)
    for (int c = 0; c < 3; ++c) data[size_t(fill[size_t(triangles[t][c])]++)] = Index(t);
}

void ScalarField2D::init(unsigned long nverts, unsigned long ncells) {
  vertices.assign(nverts, Vertex{});
  triangles.assign(ncells, Triangle{});
  vertexTriangles.build(nverts, {});
  normals.clear();
}

bool ScalarField2D::less(Index a, Index b) const {
  const Vertex& p = vertices[size_t(a)];
  const Vertex& q = vertices[size_t(b)];
  if (p.field != q.field) return p.field < q.field;
  if (p.z != q.z) return p.z < q.z;
  if (p.y != q.y) return p.y < q.y;
  if (p.x != q.x) return p.x < q.x;
  return a < b;  // twins (welded on reading) by index, as on a grid
}

void ScalarField2D::sortVertices() {
  order.resize(vertices.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = Index(i);
  std::sort(order.begin(), order.end(), FieldCompare2d(*this));
  sorted = true;
}

// Distinct link vertices passing keep(), in ascending index order, and the
// number of triangles around v whose two other corners both pass.
template <class Keep>
static int link_characteristic(const ScalarField2D& f, Index v, Keep keep, std::vector<Index>* out) {
  // A reused buffer, sorted and deduped at the end: no allocation per
  // query, and a hub vertex of a fan (thousands of triangles) costs
  // d log d, not d^2.
  static thread_local std::vector<Index> seen;
  seen.clear();
  int edges = 0;
  for (Index t : f.vertexTriangles[v]) {
    int passing = 0;
    for (int c = 0; c < 3; ++c) {
      Index u = f.triangles[size_t(t)][c];
      if (u == v || !keep(u)) continue;
      ++passing;
      seen.push_back(u);
    }
    if (passing == 2) ++edges;
  }
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  if (out) out->assign(seen.begin(), seen.end());
  return int(seen.size()) - edges;
}

int ScalarField2D::eulerCharacterOfLink(Index v) const {
  return link_characteristic(
      *this, v, [](Index) { return true; }, nullptr);
}

int ScalarField2D::eulerCharacterOfLowerLink(Index v) const {
  return link_characteristic(
      *this, v, [&](Index u) { return less(u, v); }, nullptr);
}

int ScalarField2D::eulerCharacterOfUpperLink(Index v) const {
  return link_characteristic(
      *this, v, [&](Index u) { return less(v, u); }, nullptr);
}

bool ScalarField2D::isCritical(Index v) const {
  return eulerCharacterOfLowerLink(v) != 1 || eulerCharacterOfUpperLink(v) != 1;
}

void ScalarField2D::verticesOfLowerLink(Index v, std::vector<Index>& out) const {
  link_characteristic(
      *this, v, [&](Index u) { return less(u, v); }, &out);
}

void ScalarField2D::verticesOfUpperLink(Index v, std::vector<Index>& out) const {
  link_characteristic(
      *this, v, [&](Index u) { return less(v, u); }, &out);
}

void ScalarField2D::print(Report& report) const {
  char text[160];
  std::snprintf(text, sizeof text, "scalar field 2d\n   nverts   = %zu\n   ncells   = %zu\n   issorted = %s",
                vertices.size(), triangles.size(), sorted ? "yes" : "no");
  report.note(text);
}

void compute_critical_points(ScalarField2D& F, std::vector<Vertex>& P, ProgressSink& prog) {
  const Size n = F.vertexCount();
  prog.init("Computing critical points", n);
  if (!F.sorted) F.sortVertices();
  for (Size k = 0; k < n; ++k) {
    const Index v = F.order[k];
    if (F.isCritical(v)) P.push_back(F.vertices[size_t(v)]);
    prog.update(Index(k));
  }
}

}  // namespace ctree
