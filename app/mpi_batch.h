#pragma once
// Runs under mpirun: the contour tree files of every time step computed by
// all ranks together (each reads only its slab of the raw file and computes
// its block's trees; the halves' trees travel up a reduction tree), written
// by rank 0. The rest of the batch run (layout, summaries) is then rank 0's
// ordinary run, which finds the tree files in place.

#include "app/options.h"

namespace ctree {

struct MpiRun {
  int rank = 0, size = 1;
};

// True when the process was started by an MPI launcher; then MPI is
// initialised and run holds this process's rank and the rank count.
bool mpi_start(int* argc, char*** argv, MpiRun& run);
void mpi_finish();

// The tree files of every step that lacks one, by every rank. Returns 0 or
// -1 (on every rank) after a failure of any rank, reported by that rank.
int mpi_compute_trees(int argc, char** argv, const Options& options, const MpiRun& run);

}  // namespace ctree
