#pragma once
// Choice of the seed cells from which contour propagation starts.
//
// A seed set is complete when, for every isovalue w, every connected set of
// cells crossed by w (cells joined through faces that w crosses) holds a
// seed whose range contains w; propagation from the seeds then finds every
// crossed cell.

#include "contour/data.h"
#include "core/progress.h"
#include "contour/seed_cells.h"

namespace contour {

class Datareg3;

// Every cell is a seed with its own range. O(cells).
void seedAll(const Data& data, SeedCells& seeds);

// Range propagation over a 3D grid: one sweep over the cells (i fastest),
// carrying per face the isovalues whose contour has entered the next cell
// and still needs a seed. A cell becomes a seed only for isovalues that no
// seed behind it covers and that cannot be handed on through an upper face,
// so the seeds are a small fraction of the cells on smooth data. Complete
// for every isovalue, also for isovalues equal to sample values.
// Memory: per worker, one value set per column of the grid.
// threads: workers sweeping slabs of layers side by side (1 or less: the
// calling thread alone); the slabs depend on the grid alone, so the seeds
// and their order are the same for every count. A sweep longer than a second shows the progress meter.
void regProp(const Datareg3& data, SeedCells& seeds, int threads, ctree::ProgressSink& progress);

}  // namespace contour
