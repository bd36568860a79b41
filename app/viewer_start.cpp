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
#include <memory>

#include "app/console.h"
#include "workspace/contour_data.h"
#include "workspace/main_data.h"
#include "workspace/make_spectrum.h"
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

// The spectrum of the run from its cache file, or computed (and cached)
// with samples isovalues (0: the library's default count) when the file is
// missing or unreadable; one whose cache could not be written is shown too.
// false after a message.
static bool spectrum_to_show(ContourData& c, int samples, SpectrumData& data) {
  if (read_or_make_spectrum(c, samples, data) != SpectrumSource::Failed) return true;
  std::fprintf(stderr, "Error: the spectrum of %s could not be computed\n", spectrum_file_name(c).c_str());
  return false;
}

int start_viewer(int argc, char** argv, MainData& data, const Options& o) {
  glutInit(&argc, argv);
  GlutViewer::setSnapshotDir(o.snapshot);
  GlutViewer::setMessages(console_messages());
  // A line per frame swapped, for benchmarks and tests that time the
  // windows or count their work.
  if (const char* log = std::getenv("ORRERY_FRAME_LOG")) GlutViewer::setFrameLog(*log && *log != '0');

  // The bridge and the windows live for the event loop; the windows
  // borrow the bridge and the dataset, so they go first.
  auto contourData = std::make_unique<ContourData>(&data);
  std::unique_ptr<MeshWindow> meshWindow;
  if (data.field2d) meshWindow = std::make_unique<MeshWindow>(&data);
  std::unique_ptr<TreeWindow> treeWindow;
  if (!o.ct.empty()) {
    treeWindow = std::make_unique<TreeWindow>(&data, contourData.get());
    if (!data.ctreel) std::puts("the tree window shows the laid-out tree: add --ctl <template> to see it");
  }
  std::unique_ptr<SpectrumWindow> spectrumWindow;
  const std::string spectrum = SpectrumWindow::getSpectrumFilename(contourData.get());
  if (fileExist(spectrum) || o.spectrum > 0) {
    SpectrumData shown;
    if (!spectrum_to_show(*contourData, o.spectrum, shown)) return 1;
    spectrumWindow = std::make_unique<SpectrumWindow>(contourData.get(), shown);
  }
  auto mainWindow = std::make_unique<MainWindow>(&data, contourData.get(), treeWindow.get(), meshWindow.get(),
                                                 spectrumWindow.get(), o.openscene);
  // A scene asked for at the start that cannot be shown ends the run (the
  // reason is printed): what would be drawn is not what was asked for.
  if (o.openscene && !mainWindow->sceneExists) {
    std::fprintf(stderr, "Error: --openscene: the scene could not be opened\n");
    return 1;
  }
  glutSetWindow(mainWindow->getWindowHandle());
  // Snapshots wait a moment for the arrangement to reach the server; a
  // frame drawn before a window has its final size is not taken.
  GlutViewer::armSnapshots(50);
  return GlutViewer::run();
}

}  // namespace ctree
