#pragma once
// The base of every window: one GLUT window with its camera (a trackball
// rotation, a uniform zoom and a panned orthographic view box), the static
// dispatch from GLUT's callbacks to virtual member calls, default mouse and
// key handling, a few drawing helpers and the window's scene record.
//
// All windows live on the GLUT thread until the process ends. With a
// snapshot folder set, every window writes its first complete frame as a
// PNG there, and the process exits 0 once every window has written one.
//
// A frame is drawn only at the size the window has on the server, into GL
// buffers of that size: a frame asked for while a resize is on its way
// waits for the resize, and the first frame at a new size is preceded by
// a cleared swap (a software renderer sizes its buffers at a swap, and a
// frame drawn into buffers of the old size is shown cut and shifted).
//
// Kept pictures: a window whose picture is costly draws its scene (what
// lies under the panel and the text) once and keeps a copy; a frame asked
// for when nothing it shows can have changed (no input event since, or
// only events whose handler called sceneUnchanged(), at the same size)
// puts the copy back and draws only what lies on top of it. State changed
// outside an input event (a timer) must call scenesChanged().

#include <GL/gl.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/messages.h"
#include "gui/scene_file.h"

namespace ctree {

class GlutViewer {
 public:
  GlutViewer(int width, int height, int x, int y, const char* title, float r, float g, float b, float a,
             bool fullscreen);
  GlutViewer(const GlutViewer&) = delete;
  GlutViewer& operator=(const GlutViewer&) = delete;

  virtual void callback_mouse(int button, int state, int x, int y);
  virtual void callback_motion(int x, int y);
  virtual void callback_animate() {}
  virtual void callback_keydown(unsigned char key, int x, int y);
  virtual void callback_special(int key, int x, int y);
  virtual void callback_reshape(int w, int h);
  virtual void callback_display() {}

  static void static_callback_mouse(int button, int state, int x, int y);
  static void static_callback_motion(int x, int y);
  static void static_callback_keydown(unsigned char key, int x, int y);
  static void static_callback_special(int key, int x, int y);
  static void static_callback_reshape(int w, int h);
  static void static_callback_display();
  // The viewer of the current GLUT window, or null.
  static GlutViewer* getWin();

  // Runs the GLUT event loop until the run ends (endRun, Esc, a closed
  // window, the last snapshot saved) and returns the run's exit status. The
  // windows are gone then; the viewer objects stay.
  static int run();
  // Asks the event loop to stop after the current callback; run() returns
  // status.
  static void endRun(int status);
  void fullRedisplay();
  static void fullRedisplayAll();
  int getWindowWidth() const;
  int getWindowHeight() const;
  int getWindowHandle() const { return windowHandle; }
  const std::string& getTitle() const { return title; }
  void Move(int x1, int y1, int x2, int y2);
  void resetOrtho();
  void ortoChanged();
  void unsetMatrix();
  void setNewRotation(int view);
  void move_ortho(float dx, float dy);
  void move_rotate(float x1, float y1, float x2, float y2);
  void move_scaling(float d);
  void grabMatrices();
  void vectors();
  void convertScreenPoint(const int& x, const int& y, double& x0, double& y0, double& z0, double& x1, double& y1,
                          double& z1);
  void clearWindow(float r, float g, float b);

  static void drawBackground(int w, int h, int r1, int g1, int b1, int r2, int g2, int b2);
  // The start of a scene's frame: the window cleared, the background
  // drawn (a gradient from r1 g1 b1 at the bottom to r2 g2 b2 at the top)
  // and the trackball's rotation loaded as the modelview.
  void startScene(int r1, int g1, int b1, int r2, int g2, int b2);
  void drawScreenText(int x, int y, const char* text, float r, float g, float b);
  static void drawWorldText(float x, float y, float z, const char* text);
  static void drawPointCoords(float x, float y, float z);
  static void drawWireBox(float x1, float y1, float z1, float x2, float y2, float z2, float r, float g, float b,
                          bool labels);
  static void drawWirePlane(const float* p0, const float* p1, const float* p2, const float* p3, float r, float g,
                            float b, bool labels);

  // Snapshots: folder for the PNGs ("" for none). armSnapshots starts the
  // timer after which the windows' next frames are saved.
  static void setSnapshotDir(const std::string& dir);
  // Where the windows' messages go (key help, saved snapshots and scenes,
  // the isovalue and threshold set, failures): silence until the program
  // sets its console. Borrowed; it must outlive the windows.
  static void setMessages(MessageSink& sink);
  static MessageSink& messages();
  static void armSnapshots(int milliseconds);
  // Raises the first window that has not drawn its snapshot yet, and again
  // every 300 ms until every window has.
  static void raiseWaitingWindow(int);
  // With the frame log on, every window says one line per frame swapped:
  //   frame "TITLE" WxH scene drawn|kept DRAW_MS ms, swapped at EPOCH_SECONDS
  // (the wall clock with microseconds, to match with the time an event was
  // sent), and the counts of work (frameCounts) follow each line.
  static void setFrameLog(bool on);
  // The input event being handled changed nothing the windows' kept
  // pictures show (a panel setting selected, the key help shown).
  static void sceneUnchanged();
  // Something every window shows may have changed outside an input event.
  static void scenesChanged();
  // Frames whose scene was drawn whole and frames that put a kept picture
  // back, over every window of the run.
  struct FrameCounts {
    long drawn = 0, kept = 0;
  };
  static FrameCounts frameCounts();

  // Scene record (camera, view box and window geometry). The position is
  // the one of the window's frame, so reopening a scene puts the window
  // back where it was with or without a window manager.
  ViewRecord viewRecord();
  // Takes a checked record: the camera, and the window moved and resized
  // to the stored geometry scaled by the ratio of the present screen to the
  // stored one (the smaller of the two ratios).
  void applyView(const ViewRecord& view);
  friend std::ostream& operator<<(std::ostream& out, GlutViewer* v);

  // The keys of this window, one binding a line ("key  what it does"),
  // printed and shown over the picture by h or ?.
  virtual std::string keyHelp() const;
  bool helpShown = false;

  float rotation[4][4];
  float screenAxes[3][3];
  float scaling = 2.0f;
  int windowHandle = 0;
  int matricesDirty = 1;
  double modelview[16] = {};
  double projection[16] = {};
  float ortho[6] = {-1, 1, -1, 1, -10, 10};
  int viewport[4] = {};
  int width = 0, height = 0;
  bool scalingOn = false, rotatingOn = false, translatingOn = false;
  int lastX = 0, lastY = 0;
  int keepOrthoOnReshape = 0;

 protected:
  // Ends a display callback: grabs the matrices (of a scene drawn), saves
  // the snapshot when one is due, swaps the buffers.
  void finishFrame();
  // At the start of a display callback: true when the kept picture of the
  // scene was put back (the caller then draws only what lies on top);
  // false when the scene must be drawn, after which keepScene() keeps it.
  bool restoreScene();
  void keepScene();
  // This window's kept picture is stale (its next frame draws the scene).
  void invalidateScene() { sceneSerial = -1; }

 public:
  // The depth at window pixel (x, y) (from the top left) of the scene on
  // the screen: of the kept picture when there is one (a restored frame
  // leaves no depth in the buffer), else read from the back buffer.
  float sceneDepthAt(int x, int y);

 protected:
  static bool takingSnapshots();
  // Extra work counted for the frame log ("surface uploads 3" ...), by
  // the windows that have any.
  virtual std::string frameWork() const { return std::string(); }
  // h, ? (the key help), 1 2 3 (axis views), Esc: the keys every window
  // shares. true when key was one of them.
  bool sharedKey(unsigned char key);
  void loadProjection();
  void aspectCorrect();

 private:
  std::string title;
  bool snapshotTaken = false;
  // Size of the GL buffers after the last swap, -1 before the first.
  int bufferWidth = -1, bufferHeight = -1;
  bool sizeCheckPending = false;
  // The kept picture: a texture, the input serial it shows and its size.
  unsigned sceneTexture = 0;
  std::vector<float> sceneDepth;  // the kept picture's depth, row 0 at the bottom
  long sceneSerial = -1;
  int sceneWidth = 0, sceneHeight = 0;
  bool frameKept = false;
  double frameStart = 0;
  static void checkSize(int windowId);
};

// Window title as a file name: letters, digits, '.', '-' kept, runs of
// anything else one '_'.
std::string snapshot_file_name(const std::string& title);

}  // namespace ctree
