#include "app/viewer_start.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "workspace/contour_data.h"
#include "workspace/main_data.h"
#include "workspace/step_names.h"
#include "gui/main_window.h"
#include "gui/mesh_window.h"
#include "gui/spectrum_window.h"
#include "gui/tree_window.h"

namespace ctree {

bool check_viewer(const Options& o) {
  const char* name = std::getenv("DISPLAY");
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr,
                 "Error: cannot open the X display \"%s\": the windows need one (run under xvfb-run for pictures "
                 "with --snapshot, or use --batch)\n",
                 name ? name : "");
    return false;
  }
  XCloseDisplay(display);
  if (!o.snapshot.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.snapshot, ec);
    if (ec) {
      std::fprintf(stderr, "Error: --snapshot %s: cannot create the folder: %s\n", o.snapshot.c_str(),
                   ec.message().c_str());
      return false;
    }
    struct stat st;
    if (stat(o.snapshot.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || access(o.snapshot.c_str(), W_OK) != 0) {
      std::fprintf(stderr, "Error: --snapshot %s: not a writable folder\n", o.snapshot.c_str());
      return false;
    }
  }
  return true;
}

int start_viewer(int argc, char** argv, MainData& data, const Options& o) {
  glutInit(&argc, argv);
  // Closing a window ends the run like Esc does.
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_EXIT);
  GlutViewer::setSnapshotDir(o.snapshot);

  auto* contourData = new ContourData(&data);
  MeshWindow* meshWindow = data.field2d ? new MeshWindow(&data) : nullptr;
  TreeWindow* treeWindow = nullptr;
  if (!o.ct.empty()) {
    treeWindow = new TreeWindow(&data, contourData);
    if (!data.ctreel) std::puts("the tree window shows the laid-out tree: add --ctl <template> to see it");
  }
  SpectrumWindow* spectrumWindow = nullptr;
  const std::string spectrum = SpectrumWindow::getSpectrumFilename(contourData);
  if (fileExist(spectrum))
    spectrumWindow = new SpectrumWindow(contourData, 0);
  else if (o.spectrum > 0)
    spectrumWindow = new SpectrumWindow(contourData, o.spectrum);
  auto* mainWindow = new MainWindow(&data, contourData, treeWindow, meshWindow, spectrumWindow, o.openscene);
  glutSetWindow(mainWindow->getWindowHandle());
  // Snapshots wait for the windows to reach their arranged sizes.
  GlutViewer::armSnapshots(300);
  GlutViewer::run();
}

}  // namespace ctree
