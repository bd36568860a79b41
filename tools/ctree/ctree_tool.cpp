// orrery_ctree_tool: computes the multiresolution contour tree of a raw volume
// and prints it as a text dump, followed by one summary line.
//
//   orrery_ctree_tool FILE X Y Z [TYPE [SWAP]] [--quiet] [--ct OUT] [--ctl OUT]
//
// TYPE is an element type name (default float), SWAP 1 to reverse the bytes
// of every sample (default 1). --quiet prints only the summary line. --ct
// writes the tree as a ".ctree.ply" file, --ctl the orrery layout of it as a
// ".ctreel.ply" file (both ASCII).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/messages.h"
#include "core/progress.h"
#include "ctree/grid_contour_tree.h"
#include "fields/raw_reader.h"
#include "io/tree_files.h"
#include "layout/orrery_layout.h"

using namespace ctree;

int main(int argc, char** argv) {
  bool quiet = false;
  std::string ct_out, ctl_out;
  std::vector<const char*> args;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quiet"))
      quiet = true;
    else if (!std::strcmp(argv[i], "--ct") && i + 1 < argc)
      ct_out = argv[++i];
    else if (!std::strcmp(argv[i], "--ctl") && i + 1 < argc)
      ctl_out = argv[++i];
    else
      args.push_back(argv[i]);
  }
  if (args.size() < 4 || args.size() > 6) {
    std::fprintf(stderr, "usage: %s FILE X Y Z [TYPE [SWAP]] [--quiet] [--ct OUT] [--ctl OUT]\n", argv[0]);
    return 2;
  }
  Size dim[3];
  for (int a = 0; a < 3; ++a) {
    char* end;
    long v = std::strtol(args[size_t(a) + 1], &end, 10);
    if (*end || v < 2) {
      std::fprintf(stderr, "%s: grid size \"%s\" is not a whole number of at least 2\n", argv[0], args[size_t(a) + 1]);
      return 2;
    }
    dim[a] = Size(v);
  }
  const std::string type = args.size() > 4 ? args[4] : "float";
  const bool swap = args.size() > 5 ? std::atoi(args[5]) != 0 : true;

  auto t0 = std::chrono::steady_clock::now();
  ScalarField3DGrid field;
  const Index start[3] = {0, 0, 0};
  const Real origin[3] = {0, 0, 0}, spacing[3] = {1, 1, 1};
  // The console: the meter on standard output, the libraries' messages as lines.
  set_progress_console(stdout);
  ConsoleMessages console(stdout, stderr);
  Progress meter(stdout);
  Report read;
  const bool ok = read_raw_field(args[0], type, start, dim, dim, origin, spacing, swap, field, read, meter);
  if (!print_report(read, console) || !ok) return 1;
  double t_read = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

  GridContourTree t;
  MergeTreeOptions options;
  options.progress = &meter;
  const bool built = compute_grid_contour_tree(field, t, options);
  if (!print_report(t.report, console) || !built) return 1;
  if (!quiet) {
    std::fputs(t.contour.dump().c_str(), stdout);
    std::fflush(stdout);
  }
  const Real largest = t.contour.branches.empty() ? 0.0 : t.contour.branches.front().persistence;
  std::printf(
      "vertices %u  critical points %u  branches %zu  largest persistence %g  seconds: read %.3f copy %.3f merge "
      "trees %.3f contour tree %.3f\n",
      field.vertexCount(), t.critical_points, t.contour.branches.size(), largest, t_read, t.seconds_copy,
      t.seconds_merge, t.seconds_contour);
  const FlatTree finished = flatten(t.contour);
  Report report;
  auto failed = [&] { return print_report(report, console), 1; };
  if (!ct_out.empty() && !write_multires_tree(ct_out, WRITE_ASCII, finished, report)) return failed();
  if (!ctl_out.empty()) {
    // The layout moves vertices: it works on a copy read back from a file
    // written the same way, so it has the stored files' values.
    const std::string scratch = ctl_out + ".source.ply";
    FlatTree copy;
    const bool ok = write_multires_tree(scratch, WRITE_ASCII, finished, report) &&
                    read_multires_tree(scratch, copy, true, report);
    std::remove(scratch.c_str());
    if (!ok) return failed();
    layout_multires_tree(copy, 1.0, true);
    if (!write_multires_tree(ctl_out, WRITE_ASCII, copy, report)) return failed();
  }
  return 0;
}
