#pragma once
// The largest magnitudes the isosurfaces and the contour spectrum can work
// with: they compute in single precision, with areas and volumes of
// isosurfaces and integrals of gradients over them, so values far below
// the float limit (3.4e38) already overflow. Readers refuse samples beyond
// these, naming the file and the sample.

namespace ctree {

constexpr double MAX_FIELD_MAGNITUDE = 1e30;  // a field value
constexpr double MAX_MESH_COORDINATE = 1e15;  // a mesh vertex coordinate

}  // namespace ctree
