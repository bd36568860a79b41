#pragma once
// The whole isosurface of a regular grid in one pass over every cell, on
// several threads, without seeds or any per-cell set-up.
//
// The grid is cut into layers of z: a first sweep marks per sample whether
// it lies below the isovalue (one bit each), a second counts per row of
// samples the crossed edges it owns and per row of cells the triangles, a
// prefix sum gives every row its place in the output, and a third sweep
// writes vertices and triangles straight into their slots. Each crossed
// grid edge gives one vertex, shared by all cells around the edge (32-bit
// indices, rows in order: x edges, then the next direction, ...; rows by
// z, then y). The output is the same for every thread count.
//
// With the cube cases the triangles are those of contour propagation over
// the marching-cubes table (propagation_grid3.h), the vertices at the
// bitwise same positions, with the same normals and colour values; with
// the tetrahedra cases the surface is the level set of the grid's
// piecewise-linear interpolant over its tetrahedral split (the one the
// contour tree is computed on), so its connected pieces at an isovalue that
// no sample takes are the contour tree's arcs crossing it.
//
// Cost: one read of the samples, then two sweeps over their bits (64 at a
// time; rows whose samples and neighbours lie wholly on one side are
// skipped), and per vertex the samples around its edge; memory one bit per
// sample, and per row and direction one 32-bit count per 64 samples.

#include <cstdint>
#include <vector>

#include "contour/large_array.h"
#include "core/report.h"

namespace ctree {
class ScalarField3DGrid;
}

namespace contour {

// The samples of a grid, not owned: values[(k·dim[1] + j)·dim[0] + i].
struct GridSamples {
  const float* values = nullptr;
  int dim[3] = {0, 0, 0};
  float origin[3] = {0, 0, 0};
  float span[3] = {1, 1, 1};  // spacing of the samples along each axis
};

enum class CellSplit { cubes, tetrahedra };

struct IsosurfaceOptions {
  int threads = 1;      // workers; 1 or less: the calling thread alone
  bool normals = true;  // fill Isosurface::normals
  // Values of another variable at the samples (the same layout), linearly
  // interpolated to the vertices into Isosurface::colours; null for none.
  const float* colour = nullptr;
};

// Plain contiguous arrays (vector interface; resize leaves new slots
// uninitialized: large_array.h).
struct Isosurface {
  LargeArray<float> vertices;          // 3 per vertex: origin + span · grid position
  LargeArray<float> normals;           // 3 per vertex, unit, towards lower values
  LargeArray<float> colours;           // 1 per vertex when asked for
  LargeArray<std::int32_t> triangles;  // 3 per triangle, facing lower values
  int vertexCount() const { return int(vertices.size() / 3); }
  int triangleCount() const { return int(triangles.size() / 3); }
};

// The isosurface {x : f(x) = isovalue} of the grid, a sample counting as
// below when value < isovalue. Every dimension must be at least 2 and the
// sample count below 2^31; out is replaced, its arrays' memory used again
// where it suffices (a caller that extracts at one isovalue after another
// keeps one Isosurface). false with report's error set
// (and out empty) when the grid is unusable or the surface would need more
// than 2^31 - 1 vertices or triangles.
bool grid_isosurface(const GridSamples& grid, float isovalue, CellSplit split, const IsosurfaceOptions& options,
                     Isosurface& out, ctree::Report& report);

// The same for a grid field of the tree side, its values rounded to float
// (as the contour library stores them), at its origin and spacing.
bool grid_isosurface(const ctree::ScalarField3DGrid& field, float isovalue, CellSplit split,
                     const IsosurfaceOptions& options, Isosurface& out, ctree::Report& report);

}  // namespace contour
