#include "fields/mesh_checks.h"

#include <cmath>
#include <cstdio>

namespace ctree {

static bool has_corner(const Triangle& t, Index v) { return t[0] == v || t[1] == v || t[2] == v; }

// Calls visit(u) for each triangle u that shares an edge with t and is not
// flagged yet, flagging it first: per corner v of t, the triangles around v
// with t's other corner w1 or w2, ascending. Those are also the triangles
// around w1 or w2 with corner v, and the shorter of the two readings is
// taken, so that the triangles around a hub vertex (a fan of thousands) are
// not all read again for each of them.
template <class Visit>
static void for_new_edge_neighbours(const ScalarField2D& f, Index t, std::vector<bool>& flags, Visit visit) {
  const Triangle& tri = f.triangles[size_t(t)];
  auto take = [&](Index u, Index corner1, Index corner2) {
    if (flags[size_t(u)]) return;
    const Triangle& other = f.triangles[size_t(u)];
    if (has_corner(other, corner1) || has_corner(other, corner2)) {
      flags[size_t(u)] = true;
      visit(u);
    }
  };
  for (int c = 0; c < 3; ++c) {
    const Index v = tri[c], w1 = tri[(c + 1) % 3], w2 = tri[(c + 2) % 3];
    const VertexTriangles::Range around = f.vertexTriangles[v], a = f.vertexTriangles[w1], b = f.vertexTriangles[w2];
    if (around.size() <= a.size() + b.size()) {
      for (Index u : around) take(u, w1, w2);
      continue;
    }
    // The two ascending rows merged, each triangle once.
    const Index *p = a.begin(), *q = b.begin();
    Index last = NULL_INDEX;
    while (p != a.end() || q != b.end()) {
      const Index u = q == b.end() || (p != a.end() && *p < *q) ? *p++ : *q++;
      if (u == last) continue;
      last = u;
      take(u, v, v);
    }
  }
}

void ply_visitmesh(const ScalarField2D& f, std::vector<bool>& visited, Index start) {
  std::deque<Index> queue;
  visited[size_t(start)] = true;
  queue.push_back(start);
  while (!queue.empty()) {
    Index t = queue.front();
    queue.pop_front();
    for_new_edge_neighbours(f, t, visited, [&](Index u) { queue.push_back(u); });
  }
}

bool ply_checkmesh(const ScalarField2D* f, Report& report) {
  for (Index v = 0; v < Index(f->vertices.size()); ++v)
    if (f->vertexTriangles[v].empty()) {
      report.note("Error: there is a disconnected vertex");
      return false;
    }
  std::vector<bool> flags(f->triangles.size(), false);
  int components = 0;
  for (Index t = 0; t < Index(f->triangles.size()); ++t)
    if (!flags[size_t(t)]) {
      ++components;
      ply_visitmesh(*f, flags, t);
    }
  if (components == 1) return true;
  report.note("Error: there are " + std::to_string(components) + " components");
  return false;
}

std::deque<std::unique_ptr<ScalarField2D>> ply_component(const ScalarField2D& f) {
  std::deque<std::unique_ptr<ScalarField2D>> out;
  std::vector<bool> flags(f.triangles.size(), false);
  std::vector<Index> map(f.vertices.size(), NULL_INDEX);
  std::vector<Index> touched;
  std::deque<Index> queue;
  for (Index start = 0; start < Index(f.triangles.size()); ++start) {
    if (flags[size_t(start)]) continue;
    auto comp = std::make_unique<ScalarField2D>();
    for (Index v : touched) map[size_t(v)] = NULL_INDEX;
    touched.clear();
    flags[size_t(start)] = true;
    queue.push_back(start);
    while (!queue.empty()) {
      const Index t = queue.front();
      queue.pop_front();
      Triangle mapped;
      for (int c = 0; c < 3; ++c) {
        const Index v = f.triangles[size_t(t)][c];
        if (map[size_t(v)] == NULL_INDEX) {
          map[size_t(v)] = Index(comp->vertices.size());
          touched.push_back(v);
          comp->vertices.push_back(f.vertices[size_t(v)]);
        }
        mapped[c] = map[size_t(v)];
      }
      comp->triangles.push_back(mapped);
      for_new_edge_neighbours(f, t, flags, [&](Index u) { queue.push_back(u); });
    }
    comp->buildVertexTriangles();
    out.push_back(std::move(comp));
  }
  return out;
}

std::vector<Real> ply_compute_normals(const ScalarField2D& f, int flip) {
  std::vector<Real> n(f.vertices.size() * 3, 0.0);
  for (const Triangle& t : f.triangles) {
    const Vertex &a = f.vertices[size_t(t[0])], &b = f.vertices[size_t(t[1])], &c = f.vertices[size_t(t[2])];
    const float ux = float(c.x - a.x), uy = float(c.y - a.y), uz = float(c.z - a.z);
    const float wx = float(b.x - a.x), wy = float(b.y - a.y), wz = float(b.z - a.z);
    float nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
    const float len2 = nx * nx + ny * ny + nz * nz;
    if (len2 != 0.0f) {
      const float inv = float(1.0 / std::sqrt(double(len2)));
      nx *= inv;
      ny *= inv;
      nz *= inv;
    } else {
      nx = ny = nz = 0.0f;  // a degenerate triangle adds nothing
    }
    for (int k = 0; k < 3; ++k) {
      Real* s = &n[size_t(t[k]) * 3];
      s[0] += nx;
      s[1] += ny;
      s[2] += nz;
    }
  }
  for (size_t v = 0; v < f.vertices.size(); ++v) {
    Real* s = &n[v * 3];
    const float x = float(s[0]), y = float(s[1]), z = float(s[2]);
    const float len2 = x * x + y * y + z * z;
    if (len2 == 0.0f) {
      s[0] = s[1] = s[2] = 0.0;
      continue;
    }
    const float inv = float((flip ? -1.0 : 1.0) / std::sqrt(double(len2)));
    s[0] = Real(x * inv);
    s[1] = Real(y * inv);
    s[2] = Real(z * inv);
  }
  return n;
}

}  // namespace ctree
