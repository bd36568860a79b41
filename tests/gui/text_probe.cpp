// A window that draws one text with drawScreenText and saves its picture:
//   gui_text_probe DIR
// The text: "rgb(255,0,0)" + "HHHH" (red), a line feed, a carriage return
// and a line feed (one line break), then "HHHH" marked white.
#include <GL/freeglut.h>

#include "gui/glut_viewer.h"

using namespace ctree;

namespace {

class TextWindow : public GlutViewer {
 public:
  TextWindow() : GlutViewer(200, 100, 0, 0, "text probe", 0, 0, 0, 1, false) {}
  void callback_display() override {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawScreenText(10, 60, "rgb(255,0,0)HHHH\n\r\nrgb(255,255,255)HHHH", 0, 0, 1);
    finishFrame();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  glutInit(&argc, argv);
  GlutViewer::setSnapshotDir(argv[1]);
  new TextWindow;
  GlutViewer::armSnapshots(100);
  return GlutViewer::run();
}
