// Frames per second of the tree window with every branch shown.
//
//   xvfb-run -a -s '-screen 0 1600x1200x24 -noreset' bench_tree_window [BRANCHES [FRAMES]]
//
// Builds a random tree of BRANCHES branches (default 10000) and its orrery
// layout, opens the tree window at 800x800 and times FRAMES redisplays
// (default 20) in each drawing mode: 1 tubes and spheres, 2 spheres, 3 lines
// and points, 4 points.

#include <GL/freeglut.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "workspace/main_data.h"
#include "gui/tree_window.h"
#include "layout/orrery_layout.h"

using namespace ctree;

namespace {

// A contour-tree-like tree: branch i runs from its extremum to a vertex on
// its parent, with random values.
struct RandomTree {
  std::vector<Vertex> v;
  MultiresTree t;
  FlatTree flat;
  RandomTree(size_t n, bool layout) : v(2 * n + 2) {
    t.vertices = v.data();
    t.nodes.resize(v.size());
    std::vector<BranchI> b;
    b.reserve(n);
    unsigned s = 7;
    for (size_t i = 0; i < n; ++i) {
      s = s * 1103515245u + 12345u;
      BranchI x = t.branches.emplace(t.branches.end());
      Vertex* e = &v[2 * i + 1];
      Vertex* a = &v[i == 0 ? 0 : 2 * i + 2];
      e->field = i == 0 ? 0 : double(s % 1000) + 1;
      a->field = i == 0 ? 2000 : e->field * 0.5;
      e->x = double(s % 97), e->y = double((s >> 7) % 89), e->z = double((s >> 14) % 83);
      a->x = e->x + 1, a->y = e->y, a->z = e->z;
      x->ends[0] = t.newNode(e, x, 0);
      x->ends[1] = t.newNode(a, x, 0);
      if (i > 0) {
        x->parent = b[(s >> 8) % i];
        x->parent->attachBranch(*x);
      }
      b.push_back(x);
    }
    t.computePersistence();
    flat = flatten(t);
    if (layout) layout_multires_tree(flat, 1.0, true);
  }
};

int frames = 20, drawn = 0, mode = 1;
std::chrono::steady_clock::time_point start;

class TimedTreeWindow : public TreeWindow {
 public:
  using TreeWindow::TreeWindow;
  void callback_display() override {
    TreeWindow::callback_display();
    glFinish();
    if (drawn == 0) start = std::chrono::steady_clock::now();  // the first frame warms up
    if (++drawn <= frames) {
      glutPostRedisplay();
      return;
    }
    const double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("mode %d: %d frames in %.2f s = %.2f frames/s\n", mode, frames, sec, frames / sec);
    std::fflush(stdout);
    drawn = 0;
    if (++mode > 4) std::exit(0);
    treeViewer->mode = mode;
    glutPostRedisplay();
  }
};

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? size_t(std::atol(argv[1])) : 10000;
  if (argc > 2) frames = std::atoi(argv[2]);
  // The dataset needs a field: the smallest grid, written to a scratch file.
  char name[] = "/tmp/orrery-bench-XXXXXX";
  const int fd = mkstemp(name);
  const float zeros[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  if (fd < 0 || write(fd, zeros, sizeof zeros) != ssize_t(sizeof zeros)) return 1;
  close(fd);
  DatasetOptions d;
  d.dataName = name;
  d.volume.hasDim = true;
  d.volume.dim[0] = d.volume.dim[1] = d.volume.dim[2] = 2;
  d.volume.swap = false;
  MainData data(d);
  std::remove(name);
  if (!data.ok()) return 1;
  RandomTree ct(n, false), ctl(n, true);
  data.ctree = &ct.flat;
  data.ctreel = &ctl.flat;
  std::printf("%zu branches, window 800x800\n", n);
  glutInit(&argc, argv);
  auto* w = new TimedTreeWindow(&data, nullptr);
  w->treeViewer->mode = mode;
  return GlutViewer::run();
}
