#include "ctree/grid_merge_trees.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdio>
#include <mutex>
#include <thread>

#include "core/threads.h"
#include "ctree/leaf_block_trees.h"
#include "ctree/regular_vertices.h"
#include "ctree/sweep_branches.h"
#include "ctree/union_find.h"

namespace ctree {

namespace {
// The state of one computation, shared by its workers.
struct MergeRun {
  explicit MergeRun(const MergeTreeOptions& o) : progress(o.progress ? *o.progress : no_progress()), options(o) {}
  ProgressSink& progress;
  const MergeTreeOptions& options;
  // Levels below this one run their halves on one thread each.
  unsigned long forkBelow = 0;
  std::atomic<Index> cubesDone{0};
  std::mutex progressMutex;  // guards reported and the sink
  Index reported = -1;       // the highest cube the sink was told of
  Index lastCube = 0;
  GridFrame frame;  // where vertices are placed
};
}  // namespace

// Where the options place grid's vertices.
static GridFrame frame_for(const MergeTreeOptions& options, const ScalarField3DGrid& G) {
  return options.onIndices ? GridFrame() : frame_of(G);
}

// G's geometry set to the frame the options place its vertices in.
static void set_frame(const MergeTreeOptions& options, ScalarField3DGrid& G) {
  const GridFrame f = frame_for(options, G);
  for (int a = 0; a < 3; ++a) G.origin[a] = f.origin[a], G.spacing[a] = f.spacing[a];
}

// Levels above this one split their work between two threads: 2^depth
// leaves of the fork tree cover the thread count.
static unsigned long parallel_levels(unsigned threads) {
  unsigned long levels = 0;
  for (unsigned n = 1; n < worker_count(threads); n *= 2) ++levels;
  return levels;
}

// Cubes done: the meter moves forward only, whichever thread finishes.
static void report_cubes(MergeRun& run, Index cubes) {
  const Index k = run.cubesDone.fetch_add(cubes, std::memory_order_relaxed) + cubes - 1;
  // The meter writes at most once a second anyway: ask it every 1024 cubes.
  if (cubes == 1 && (k & 1023) != 0 && k != run.lastCube) return;
  std::lock_guard<std::mutex> lock(run.progressMutex);
  if (k <= run.reported) return;
  run.reported = k;
  run.progress.update(k);
}

static Index vertex_index(const MultiresTree& t, const Vertex* v) { return Index(v - t.vertices); }

// n, an end node of its branch: +1 when it is the upper end (the later
// vertex of the two, as Branch::upperVertex), -1 the lower, 0 while the
// branch's other end is still open.
static int end_side(const Node* n) {
  const Branch& b = *n->branch;
  const Node* other = b.ends[0] == n ? b.ends[1] : b.ends[0];
  return !other ? 0 : n->vertex > other->vertex ? 1 : -1;
}

// The sweep of one input tree's vertex during a merge: the arcs that end at
// the cursor vertex (their far end already swept) join its component.
struct MergeInput {
  const MultiresTree& tree;
  std::vector<Index>& map;  // position in V of each of the tree's vertices
  Index cursor;
};

// One block merge, upwards (join) or downwards (split).
static void merge_trees(const MultiresTree& t1, const MultiresTree& t2, std::vector<Vertex>& V, MultiresTree& out,
                        bool join) {
  const Index N = Index(V.size());
  out.vertices = V.data();
  out.nodes.clear();
  out.nodes.resize(V.size());
  out.branches.clear();
  // Scratch kept across the many merges of a computation.
  static thread_local UnionFind<BranchI> uf(0);
  static thread_local std::vector<Index> map1, map2;
  static thread_local std::vector<BranchI> arcs;
  uf.reset(size_t(N));
  map1.assign(t1.nodes.size(), 0);
  map2.assign(t2.nodes.size(), 0);
  MergeInput in[2] = {{t1, map1, join ? 0 : Index(t1.nodes.size()) - 1},
                      {t2, map2, join ? 0 : Index(t2.nodes.size()) - 1}};
  for (Index s = 0; s < N; ++s) {
    const Index i = join ? s : N - 1 - s;
    Vertex* W = &V[size_t(i)];
    BranchI current{};
    if (s < N - 1) {
      current = start_branch(out, W);
      uf.findEntry(i)->data = current;
    }
    for (MergeInput& m : in) {
      const Index c = m.cursor;
      if (c < 0 || c >= Index(m.tree.nodes.size()) || !same_vertex(m.tree.vertices[c], *W)) continue;
      m.map[size_t(c)] = i;
      arcs.clear();
      for (const Node* n : m.tree.nodes[size_t(c)])
        if (n->type == 0 && end_side(n) == (join ? 1 : -1)) arcs.push_back(n->branch);
      for (BranchI arc : arcs) {
        // ends[0] is the end swept first: lower in a join tree, upper in a split tree.
        const Index j = m.map[size_t(vertex_index(m.tree, arc->ends[0]->vertex))];
        BranchI bl = uf.findEntry(j)->data;
        uf.merge(i, j, current);
        if (bl != current && bl->ends[1] == nullptr) close_branch(out, bl, W);
      }
      m.cursor += join ? 1 : -1;
    }
  }
}

void merge_join_trees(const MultiresTree& t1, const MultiresTree& t2, std::vector<Vertex>& V, MultiresTree& out) {
  merge_trees(t1, t2, V, out, true);
}

void merge_split_trees(const MultiresTree& t1, const MultiresTree& t2, std::vector<Vertex>& V, MultiresTree& out) {
  merge_trees(t1, t2, V, out, false);
}

// A grid without cubes has no trees; callers check the sizes first.
static bool check_dims(const ScalarField3DGrid& G) { return G.dim[0] >= 2 && G.dim[1] >= 2 && G.dim[2] >= 2; }

// The meter and the thread split of a computation whose top block is G at
// the given level.
static void start_computation(MergeRun& run, const ScalarField3DGrid& G, unsigned long level) {
  run.forkBelow = level + parallel_levels(run.options.threads);
  run.frame = frame_for(run.options, G);
  const Size cubes = (G.dim[0] - 1) * (G.dim[1] - 1) * (G.dim[2] - 1);
  run.progress.init("Computing merge trees", cubes);
  run.lastCube = Index(cubes) - 1;
}

void merge_block_halves(const Box& blockBox, bool top, const std::vector<Vertex>& V1, const MultiresTree& J1,
                        const MultiresTree& S1, const std::vector<Vertex>& V2, const MultiresTree& J2,
                        const MultiresTree& S2, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S) {
  merge_critical_points(V1, V2, V);
  merge_join_trees(J1, J2, V, J);
  merge_split_trees(S1, S2, V, S);
  if (top)
    remove_regular_vertices(V, J, S);
  else
    remove_regular_interior_vertices(blockBox, V, J, S);
}

Box block_box(const ScalarField3DGrid& G) {
  Box box;
  for (int a = 0; a < 3; ++a) {
    box.min[a] = G.origin[a];
    box.max[a] = G.origin[a] + (G.dim[a] - 1) * G.spacing[a];
  }
  return box;
}

static void recurse(MergeRun& run, ScalarField3DGrid& G, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S,
                    CellTrees3DGrid& cells, unsigned long level) {
  if (G.dim[0] <= 2 && G.dim[1] <= 2 && G.dim[2] <= 2) {
    cells.joinTree(G, V, J);
    cells.splitTree(G, V, S);
    report_cubes(run, 1);
    return;
  }
  const Box blockBox = block_box(G);
  std::vector<Vertex> V1, V2;
  ScalarField3DGrid H;
  G.divide(H);
  MultiresTree J1, S1, J2, S2;
  run_tasks(2, level < run.forkBelow ? 2 : 1, [&](unsigned half) {
    if (half == 0)
      recurse(run, G, V1, J1, S1, cells, level + 1);
    else
      recurse(run, H, V2, J2, S2, cells, level + 1);
  });
  H = ScalarField3DGrid();
  merge_block_halves(blockBox, level == 0, V1, J1, S1, V2, J2, S2, V, J, S);
}

// The lower (0) or upper (1) half of block B as divide() cuts it.
static GridBlock half_block(const GridBlock& B, int which) {
  const Size m = std::max(B.dim[0], std::max(B.dim[1], B.dim[2]));
  const int a = B.dim[2] == m ? 2 : B.dim[1] == m ? 1 : 0;
  const Size h = B.dim[a] / 2;
  GridBlock H = B;
  if (which == 0) {
    H.dim[a] = h + 1;
  } else {
    H.start[a] += h;
    H.dim[a] -= h;
  }
  return H;
}

// The bounds of block B's vertex positions, as block_box gives them for
// the grid cut down to B.
static Box block_bounds(const GridFrame& G, const GridBlock& B) {
  Box box;
  for (int a = 0; a < 3; ++a) {
    box.min[a] = G.origin[a] + G.spacing[a] * Real(B.start[a]);
    box.max[a] = G.origin[a] + G.spacing[a] * Real(B.start[a] + B.dim[a] - 1);
  }
  return box;
}

// Runs f(lower half, upper half) for block B's halves, on two threads at
// the top levels.
template <class F>
static void both_halves(const MergeRun& run, const GridBlock& B, unsigned long level, F f) {
  const GridBlock halves[2] = {half_block(B, 0), half_block(B, 1)};
  run_tasks(2, level < run.forkBelow ? 2 : 1, [&](unsigned k) { f(halves[k], int(k)); });
}

// Below the top, over boxes of the uncut grid: blocks of at most the leaf
// size are solved by sweeps, bigger ones cut and their halves merged, all in
// the compact form.
static void recurse_compact(MergeRun& run, const ScalarField3DGrid& G, const GridBlock& B, BlockTrees& out,
                            unsigned long level) {
  if (B.vertexCount() <= run.options.leafVertices) {
    solve_leaf_block(G, run.frame, B, out);
    report_cubes(run, Index(B.cubeCount()));
    return;
  }
  BlockTrees halves[2];
  both_halves(run, B, level, [&](const GridBlock& H, int k) { recurse_compact(run, G, H, halves[k], level + 1); });
  const Box box = block_bounds(run.frame, B);
  merge_block_trees(halves[0], halves[1], &box, out);
}

// The recursion over boxes of the uncut grid, from block B at the given level.
static void recurse_blocks(MergeRun& run, const ScalarField3DGrid& G, const GridBlock& B, std::vector<Vertex>& V,
                           MultiresTree& J, MultiresTree& S, CellTrees3DGrid& cells, unsigned long level) {
  if (level > 0) {
    BlockTrees out;
    recurse_compact(run, G, B, out, level);
    block_trees_to_multires(std::move(out), V, J, S);
    return;
  }
  if (B.dim[0] <= 2 && B.dim[1] <= 2 && B.dim[2] <= 2) {
    // A grid of one cube: the cube trees themselves.
    ScalarField3DGrid cube(G);
    set_frame(run.options, cube);
    recurse(run, cube, V, J, S, cells, level);
    return;
  }
  BlockTrees halves[2];
  both_halves(run, B, level, [&](const GridBlock& H, int k) { recurse_compact(run, G, H, halves[k], level + 1); });
  merge_top_block_trees(halves[0], halves[1], V, J, S);
}

// Whether blocks of G are solved by sweeps, the recursion running over boxes
// of G itself; else it cuts G down to single cubes.
static bool by_blocks(const MergeTreeOptions& options, const ScalarField3DGrid& G) {
  return options.leafVertices > 8 && leaf_blocks_exact(G, frame_for(options, G));
}

static void recurse_whole(MergeRun& run, const ScalarField3DGrid& G, std::vector<Vertex>& V, MultiresTree& J,
                          MultiresTree& S, CellTrees3DGrid& cells, unsigned long level) {
  GridBlock whole;
  for (int a = 0; a < 3; ++a) whole.dim[a] = G.dim[a];
  recurse_blocks(run, G, whole, V, J, S, cells, level);
}

static void run_from(MergeRun& run, ScalarField3DGrid& G, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S,
                     CellTrees3DGrid& cells, unsigned long level) {
  if (by_blocks(run.options, G)) {
    recurse_whole(run, G, V, J, S, cells, level);
  } else {
    set_frame(run.options, G);
    recurse(run, G, V, J, S, cells, level);
  }
}

bool compute_merge_trees(ScalarField3DGrid& G, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S,
                         CellTrees3DGrid& cells, unsigned long level, const MergeTreeOptions& options) {
  if (level == 0 && !check_dims(G)) return false;
  MergeRun run(options);
  start_computation(run, G, level);
  run_from(run, G, V, J, S, cells, level);
  return true;
}

bool compute_merge_trees_of(const ScalarField3DGrid& G, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S,
                            const MergeTreeOptions& options) {
  if (!check_dims(G)) return false;
  CellTrees3DGrid cells;
  if (by_blocks(options, G)) {
    MergeRun run(options);
    start_computation(run, G, 0);
    recurse_whole(run, G, V, J, S, cells, 0);
    return true;
  }
  ScalarField3DGrid copy(G);
  copy.sorted = false;
  copy.order.clear();
  set_frame(options, copy);
  return compute_merge_trees(copy, V, J, S, cells, 0, options);
}

bool compute_merge_tree_arrays_of(const ScalarField3DGrid& G, std::vector<Vertex>& V, MergeTreeArrays& J,
                                  MergeTreeArrays& S, const MergeTreeOptions& options) {
  if (!check_dims(G) || !by_blocks(options, G) || (G.dim[0] <= 2 && G.dim[1] <= 2 && G.dim[2] <= 2)) return false;
  MergeRun run(options);
  start_computation(run, G, 0);
  GridBlock whole;
  for (int a = 0; a < 3; ++a) whole.dim[a] = G.dim[a];
  BlockTrees halves[2];
  both_halves(run, whole, 0, [&](const GridBlock& H, int k) { recurse_compact(run, G, H, halves[k], 1); });
  merge_top_block_tree_arrays(std::move(halves[0]), std::move(halves[1]), V, J, S);
  return true;
}

bool compute_block_merge_trees(ScalarField3DGrid& G, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S,
                               CellTrees3DGrid& cells, unsigned long level, const MergeTreeOptions& options) {
  if (!check_dims(G)) return false;
  MergeRun run(options);
  start_computation(run, G, level);
  run_from(run, G, V, J, S, cells, level);
  return true;
}

}  // namespace ctree
