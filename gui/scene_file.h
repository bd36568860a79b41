#pragma once
// Scene files as data: the record of every window's view and every
// viewer's settings, read and checked without a display, and written whole
// or not at all. The windows fill a SceneRecord to save and apply one that
// was read (gui/main_window.cpp); the text format is the one the stream
// operators of the windows write, field by field in the same order.
//
// Reading checks every field as it comes: numbers finite and within the
// range their setting allows, modes known, window sizes and positions on
// the screen the scene was saved on, the time step one of the run's, the
// spectrum view inside the run's spectrum. The first field that fails
// refuses the whole scene with a sentence naming the file and the field;
// nothing of a refused scene is applied.

#include <iosfwd>
#include <string>

#include "gui/clip_plane.h"

namespace ctree {

// Camera and geometry of one window.
struct ViewRecord {
  float rotation[16] = {};
  float screenAxes[9] = {};
  float scaling = 2;
  float ortho[6] = {-1, 1, -1, 1, -10, 10};
  int screen[2] = {0, 0};        // width, height of the screen it was saved on
  int window[4] = {0, 0, 0, 0};  // x, y, width, height
};

struct TreeViewRecord {
  int useCtreel = 0, shortcut = 1;
  float scale[3] = {1, 1, 1};
  float tubeRadius = 0, sphereRadius = 0;
  int mode = 1;
};

struct FilterRecord {
  int maxooOn = 0;
  double maxoo = 0;
  int minooOn = 0;
  double minoo = 0;
  int maxchildOn = 0;
  double maxchild = 1;
  int boxFilter = 0;
  float box[6] = {};  // lower corner, size
  int thresholdOn = 0;
  double threshold = 0;
  int time = 0;
};

struct SpectrumViewRecord {
  int signature = 0, palette = 0;
  float value = 0;
  int firstSample = 0, sampleCount = 1, firstTime = 0, timeCount = 1;
};

// Which records a run's scene holds and what its values must fit.
struct SceneShape {
  bool meshViewer = false, treeWindow = false, meshWindow = false, spectrumWindow = false;
  int tmin = 0, tmax = 0, tdelta = 1;
  int spectrumSamples = 0, spectrumTimes = 0;
  int treeBranches = 0;  // of the contour tree the selection names
};

struct SceneRecord {
  ViewRecord main;
  int tuneSteps = 256;
  FilterRecord filters;
  TreeViewRecord mainTree;
  int contourMode = 0;
  double isovalue = 0;
  int meshMode = 0;
  ViewRecord treeView;
  TreeViewRecord treeTree;
  ViewRecord meshView;
  int meshWindowMode = 2;
  ViewRecord spectrumView;
  SpectrumViewRecord spectrum;
  // The selected branch of the contour tree, -1 for none. Written last,
  // when there is one, as "selection" and the number; a scene without that
  // record selects nothing.
  int selectedBranch = -1;
  // Kept in a record of its own after all the others, tagged "clip"; a
  // scene without it has no clip plane.
  ClipPlane clip;
};

// The smallest window side a scene may give.
constexpr int SCENE_MIN_WINDOW = 40;

// Reads the records shape calls for from in. false with error (naming
// name and the field) at the first field missing or out of its range.
bool read_scene(std::istream& in, const std::string& name, const SceneShape& shape, SceneRecord& out,
                std::string& error);
// The same from the file name; a file that cannot be opened says why.
bool read_scene_file(const std::string& name, const SceneShape& shape, SceneRecord& out, std::string& error);

// The scene text of record (the records shape calls for). Numbers are
// written with as many digits as read them back exactly: 9 significant
// digits for a float, 17 for a double.
std::string scene_text(const SceneShape& shape, const SceneRecord& record);
// Writes text to name whole or not at all: a temporary file beside it,
// renamed into place. false with the reason in error.
bool write_scene_file(const std::string& name, const std::string& text, std::string& error);

}  // namespace ctree
