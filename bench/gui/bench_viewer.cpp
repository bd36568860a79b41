// Frames per second of the main window turning, as a user drags it: the
// first view (the isosurface of a volume and the tree's first-view
// branches), each of the two alone, and the whole tree drawn as lines.
//
//   xvfb-run -a -s '-screen 0 1600x1200x24 -noreset' bench_viewer [FRAMES] <orrery options>
//
// Takes the program's own options (--data, --dim, --ct, ...), opens the
// main and the tree window as the program does, and turns the main view by
// two degrees a frame. Prints the seconds of the first frame after each
// change (selection and drawing arrays built), then FRAMES frames timed.

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/options.h"
#include "app/startup.h"
#include "gui/main_window.h"
#include "gui/tree_window.h"
#include "workspace/contour_data.h"
#include "workspace/main_data.h"

using namespace ctree;

namespace {

int frames = 60;
using Clock = std::chrono::steady_clock;

// What each phase draws: the isosurface, the tree mode, the threshold of
// the first view kept, the button held while turning.
struct Phase {
  const char* name;
  bool surface;
  int treeMode;
  bool firstView, dragging;
};
const Phase PHASES[] = {
    {"first view, turned by a drag", true, 1, true, true},
    {"isosurface alone, turned by a drag", true, 0, true, true},
    {"isosurface alone, whole surface", true, 0, true, false},
    {"first view's tree alone", false, 1, true, true},
    {"whole tree as lines", false, 3, false, true},
    {"nothing but the background and the panel", false, 0, true, true},
};
const int PHASE_COUNT = int(sizeof PHASES / sizeof PHASES[0]);

class TimedMainWindow : public MainWindow {
 public:
  using MainWindow::MainWindow;
  int phase = -1, drawn = 0;
  Clock::time_point start = Clock::now();

  void callback_display() override {
    if (phase < 0) next();
    const Phase& p = PHASES[phase];
    rotatingOn = p.dragging;
    const Clock::time_point t0 = Clock::now();
    MainWindow::callback_display();
    glFinish();
    const Clock::time_point now = Clock::now();
    if (drawn == 0) {
      std::printf("%s: first frame %.3f s\n", p.name, std::chrono::duration<double>(now - t0).count());
      start = now;
    }
    if (drawn++ < frames) {
      // Two degrees about the vertical: a drag of a few pixels.
      move_rotate(float(width) / 2, float(height) / 2, float(width) / 2 + float(width) * 0.018f, float(height) / 2);
      scenesChanged();  // turned outside an input event: no kept picture
      return;
    }
    const double s = std::chrono::duration<double>(now - start).count();
    std::printf("%s: %d frames in %.2f s = %.1f frames/s\n", p.name, frames, s, frames / s);
    std::fflush(stdout);
    if (phase + 1 == PHASE_COUNT) {
      endRun(0);
      return;
    }
    next();
    scenesChanged();
    glutPostRedisplay();
  }

 private:
  void next() {
    const Phase& p = PHASES[++phase];
    drawn = 0;
    contourViewer->viewmode = p.surface && mainData->field3d ? 1 : 0;
    contourViewer->progressive = false;  // every frame as drawn, no coarse frame first
    treeViewer->mode = p.treeMode;
    if (!p.firstView) mainData->thresholdOn = 0;
  }
};

bool check(const Options&) { return true; }

int start(int argc, char** argv, MainData& data, const Options&) {
  glutInit(&argc, argv);
  auto contourData = std::make_unique<ContourData>(&data);
  std::unique_ptr<TreeWindow> treeWindow;
  if (data.ctree) treeWindow = std::make_unique<TreeWindow>(&data, contourData.get());
  auto main = std::make_unique<TimedMainWindow>(&data, contourData.get(), treeWindow.get(), nullptr, nullptr, 0);
  std::printf("window %dx%d, %zu branches\n", main->getWindowWidth(), main->getWindowHeight(),
              data.ctree ? data.ctree->branches.size() : size_t(0));
  return GlutViewer::run();
}

const ViewerStart TIMED{check, start};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FRAMES <orrery options>\n", argv[0]);
    return 1;
  }
  frames = std::atoi(argv[1]);
  argv[1] = argv[0];
  Options options;
  if (parse_options(argc - 1, argv + 1, options) != ParseResult::Run) return 1;
  return run_startup(argc - 1, argv + 1, options, &TIMED);
}
