#pragma once
// Join and split trees of a triangle-mesh field, over its critical points.
//
// One sweep of the sorted mesh vertices each way with a union-find over all
// mesh vertices; only critical vertices (the records of P, matched in step
// with the sweep) become tree vertices, regular ones carry their
// component's open branch along.

#include <vector>

#include "core/progress.h"
#include "core/report.h"
#include "ctree/multires_tree.h"
#include "fields/mesh_field.h"

namespace ctree {

// P: the critical points of field in increasing key order
// (compute_critical_points). Returns false with report's error set when
// the mesh leaves branches open (it is not one connected surface, or its
// vertex links are not those of a surface); the split tree alike.
// progress: told of every mesh vertex swept.
bool compute_join_tree(ScalarField2D& field, std::vector<Vertex>& P, MultiresTree& tree, Report& report,
                       ProgressSink& progress);
bool compute_split_tree(ScalarField2D& field, std::vector<Vertex>& P, MultiresTree& tree, Report& report,
                        ProgressSink& progress);

// Both sweeps, then removal of the vertices regular in both trees.
bool compute_merge_trees(ScalarField2D& field, std::vector<Vertex>& P, MultiresTree& join, MultiresTree& split,
                         Report& report, ProgressSink& progress);

}  // namespace ctree
