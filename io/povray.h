#pragma once
// POV-Ray export: a mesh as smooth triangles, a (laid-out) contour tree as
// cylinders and spheres, each one "union{ ... }" fragment, and a complete
// scene that includes the fragments with everything they need declared.

#include <string>

#include "core/report.h"
#include "ctree/flat_tree.h"
#include "fields/mesh_field.h"

namespace ctree {

// Every export appears complete or not at all; false with report's error
// naming the file.

// Normals are computed for a field that has none.
bool mesh2povray(const std::string& filename, const ScalarField2D& field, Report& report);

// Branches of persistence >= threshold, or whose box overlaps box (corner
// x, y, z and extents; may be null); with threshold > 0 and a box, the box's
// edges too. Cylinders of zero length (as written) are left out.
bool ctree2povray(const std::string& filename, const FlatTree& tree, float threshold, const float* box, Report& report);

// A renderable scene: declares the radii and colours the fragments use, a
// camera and lights framing the box lo..hi with axis up (0 x, 1 y, 2 z)
// pointing up, and includes the fragment files (either may be empty),
// given by their paths from the current folder and written beside the
// scene: it renders from the current folder and from its own.
bool write_povray_scene(const std::string& filename, const std::string& mesh_fragment,
                        const std::string& tree_fragment, const float lo[3], const float hi[3], int up,
                        Report& report);

}  // namespace ctree
