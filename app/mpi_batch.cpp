#include "app/mpi_batch.h"

#include <mpi.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "app/console.h"
#include "workspace/step_names.h"
#include "ctree/distributed_trees.h"
#include "fields/volume_file.h"
#include "ctree/grid_merge_trees.h"
#include "fields/raw_reader.h"
#include "io/tree_files.h"
#include "io/tree_source.h"

namespace ctree {

bool mpi_start(int* argc, char*** argv, MpiRun& run) {
  // Only a launcher's process joins a world; a plain run stays a plain run.
  if (!std::getenv("OMPI_COMM_WORLD_SIZE") && !std::getenv("PMIX_RANK") && !std::getenv("PMI_RANK")) return false;
  MPI_Init(argc, argv);
  MPI_Comm_rank(MPI_COMM_WORLD, &run.rank);
  MPI_Comm_size(MPI_COMM_WORLD, &run.size);
  return true;
}

void mpi_finish() { MPI_Finalize(); }

namespace {

// Whether every rank says yes.
bool all(bool mine) {
  int in = mine ? 1 : 0, out = 0;
  MPI_Allreduce(&in, &out, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  return out == 1;
}

// Messages: a 64-bit length, then the bytes in pieces MPI can count.
void send_bytes(int to, const std::vector<char>& b) {
  const std::uint64_t n = b.size();
  MPI_Send(&n, 1, MPI_UINT64_T, to, 1, MPI_COMM_WORLD);
  for (std::uint64_t pos = 0; pos < n; pos += std::uint64_t(INT_MAX)) {
    const int piece = int(std::min<std::uint64_t>(INT_MAX, n - pos));
    MPI_Send(b.data() + pos, piece, MPI_CHAR, to, 2, MPI_COMM_WORLD);
  }
}

bool recv_bytes(int from, std::vector<char>& b) {
  std::uint64_t n = 0;
  if (MPI_Recv(&n, 1, MPI_UINT64_T, from, 1, MPI_COMM_WORLD, MPI_STATUS_IGNORE) != MPI_SUCCESS) return false;
  b.resize(size_t(n));
  for (std::uint64_t pos = 0; pos < n; pos += std::uint64_t(INT_MAX)) {
    const int piece = int(std::min<std::uint64_t>(INT_MAX, n - pos));
    if (MPI_Recv(b.data() + pos, piece, MPI_CHAR, from, 2, MPI_COMM_WORLD, MPI_STATUS_IGNORE) != MPI_SUCCESS)
      return false;
  }
  return true;
}

}  // namespace

int mpi_compute_trees(int, char**, const Options& o, const MpiRun& run) {
  // Only raw grids with a contour tree file are split; anything else is
  // rank 0's ordinary run.
  // Files with headers, and grids with a geometry of their own, are read whole.
  if (o.ct.empty() || is_mesh_name(o.data) || o.dim[0] < 2 || o.dim[1] < 2 || o.dim[2] < 2 ||
      volume_format_of(step_filename(o.data, o.time[0])) != VolumeFormat::Raw || o.has_spacing || o.has_origin) {
    if (run.rank == 0)
      std::printf("note: %d processes share only the contour trees of raw grids written with --ct; rank 0 runs alone\n",
                  run.size);
    return 0;
  }
  std::string error;
  if (!check_step_template(o.data, error) || !check_step_template(o.ct, error) || !check_tree_file_name(o.ct, error))
    return 0;  // rank 0's run reports it
  // One console meter for every loop of this rank.
  Progress meter(stdout);
  MergeTreeOptions options;
  options.threads = unsigned(o.threads);
  options.progress = &meter;
  const Size dim[3] = {Size(o.dim[0]), Size(o.dim[1]), Size(o.dim[2])};
  const BlockPlan plan = plan_blocks(dim, run.size);
  const int leaf = plan.leafOf(run.rank);
  for (int t = o.time[0]; t <= o.time[1]; t += o.time[2]) {
    const std::string ct = step_filename(o.ct, t);
    int present = run.rank == 0 ? fileExist(ct) : 0;
    MPI_Bcast(&present, 1, MPI_INT, 0, MPI_COMM_WORLD);
    if (present) continue;

    ScalarField3DGrid grid;
    bool read = true;
    if (leaf >= 0) {
      const BlockPlan::Block& b = plan.blocks[size_t(leaf)];
      const Real origin[3] = {Real(b.start[0]), Real(b.start[1]), Real(b.start[2])}, spacing[3] = {1, 1, 1};
      Report report;
      read = read_raw_field(step_filename(o.data, t), o.datatype, b.start, dim, b.dim, origin, spacing, o.swapbyte != 0,
                            grid, report, meter);
      print_report(report, console_messages());
      if (!read) std::fprintf(stderr, "Error: rank %d could not read its part of time step %d\n", run.rank, t);
    }
    if (!all(read)) {
      if (run.rank == 0) std::fprintf(stderr, "Error: time step %d: a rank could not read its part of the data\n", t);
      return -1;
    }
    // The source record of the whole grid from the parts: each rank sums
    // the samples its block owns (a shared layer belongs to the lower block).
    SourceDigest digest;
    if (leaf >= 0 && read) {
      const BlockPlan::Block& b = plan.blocks[size_t(leaf)];
      Size own[3];
      for (int a = 0; a < 3; ++a) own[a] = b.start[a] + b.dim[a] == dim[a] ? b.dim[a] : b.dim[a] - 1;
      for (Size z = 0; z < own[2]; ++z)
        for (Size y = 0; y < own[1]; ++y)
          for (Size x = 0; x < own[0]; ++x) {
            const std::uint64_t global = std::uint64_t(b.start[0] + x) +
                                         std::uint64_t(dim[0]) *
                                             (std::uint64_t(b.start[1] + y) +
                                              std::uint64_t(dim[1]) * std::uint64_t(b.start[2] + z));
            digest.add(global, grid.values[size_t(x + b.dim[0] * (y + b.dim[1] * z))]);
          }
    }
    TreeSource source;
    {
      const double lo = digest.count ? digest.min : HUGE_VAL, hi = digest.count ? digest.max : -HUGE_VAL;
      unsigned long long sum = digest.sum;
      MPI_Reduce(&lo, &source.min, 1, MPI_DOUBLE, MPI_MIN, 0, MPI_COMM_WORLD);
      MPI_Reduce(&hi, &source.max, 1, MPI_DOUBLE, MPI_MAX, 0, MPI_COMM_WORLD);
      unsigned long long total = 0;
      MPI_Reduce(&sum, &total, 1, MPI_UNSIGNED_LONG_LONG, MPI_SUM, 0, MPI_COMM_WORLD);
      source.sum = total;
      for (int a = 0; a < 3; ++a) source.size[a] = dim[a];
      source.type = o.datatype;
    }
    BlockLink link;
    link.send = send_bytes;
    link.recv = recv_bytes;
    GridContourTree out;
    const bool computed = run_rank(plan, run.rank, grid, link, out, options);
    print_report(out.report, console_messages());
    bool written = true;
    if (run.rank == 0 && computed) {
      std::printf("writing ctree %s...\n", ct.c_str());
      Report report;
      written = write_multires_tree(ct, WRITE_ASCII, flatten(out.contour), report, &source, options.threads);
      print_report(report, console_messages());
      if (written) std::puts("...done");
    }
    if (!all(computed && written)) {
      if (run.rank == 0) std::fprintf(stderr, "Error: time step %d: the contour tree could not be made\n", t);
      return -1;
    }
  }
  return 0;
}

}  // namespace ctree
