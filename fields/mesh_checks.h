#pragma once
// Checks a mesh field for stray vertices and several components, splits it
// into its edge-connected components, and computes vertex normals.

#include <deque>
#include <memory>
#include <vector>

#include "core/report.h"
#include "fields/mesh_field.h"

namespace ctree {

// True when every vertex lies in a triangle and the triangles form one
// edge-connected component; otherwise notes the first problem in report and
// returns false ("Error: there is a disconnected vertex", "Error: there are
// N components").
bool ply_checkmesh(const ScalarField2D* field, Report& report);

// Flags every triangle of the component of start: breadth first over
// triangles that share an edge.
void ply_visitmesh(const ScalarField2D& field, std::vector<bool>& visited, Index start);

// One new field per edge-connected component, in order of their lowest
// triangle; vertices are renumbered in order of first use and stray
// vertices are dropped. The input is unchanged.
std::deque<std::unique_ptr<ScalarField2D>> ply_component(const ScalarField2D& field);

// Per-vertex normals: the normalised sum of the unit normals of the triangles
// around each vertex (flip != 0 reverses them); 3 per vertex; (0, 0, 0) for a
// vertex with only degenerate triangles.
std::vector<Real> ply_compute_normals(const ScalarField2D& field, int flip);

}  // namespace ctree
