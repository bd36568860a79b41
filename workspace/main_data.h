#pragma once
// The loaded dataset: the file-name templates and options of the run, the
// field and trees of the current time step, and a cache of every step
// visited. Trees in use are always the ones read back from their files: a
// tree is computed only when its file does not exist yet, and then written
// and read back, so a later run sees exactly what this one used.

#include <cstdint>
#include <deque>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "contour/library.h"
#include "core/messages.h"
#include "core/progress.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/flat_tree.h"
#include "io/tree_files.h"
#include "fields/grid_field.h"
#include "fields/mesh_field.h"
#include "fields/volume_file.h"

namespace ctree {

// An axis-aligned box in single precision, as scenes store it: lower
// corner and size.
struct TBox {
  float x = 0, y = 0, z = 0, dx = 0, dy = 0, dz = 0;
};
// The scene form of a tree box.
TBox tbox_of(const Box& box);
std::ostream& operator<<(std::ostream& out, const TBox& box);
std::istream& operator>>(std::istream& in, TBox& box);

// Wall seconds of the phases of loading one time step (0 for a phase that
// did not run: a tree read from its file computes nothing).
struct StepTimes {
  double read = 0, mergeTrees = 0, contourTree = 0, files = 0, layout = 0;
};

struct TimeStep {
  int loaded = 0;
  ScalarField2D* field2d = nullptr;
  ScalarField3DGrid* field3d = nullptr;
  const FlatTree* ctree = nullptr;
  const FlatTree* ctreel = nullptr;
};

// What a run was asked to load; the templates are already checked.
struct DatasetOptions {
  bool isMesh = false;
  // A mesh's --datatype word (recorded only) and its field property.
  std::string dataType = "float", var = "y";
  std::string dataName, ctName, ctlName, sceneName;
  // How grid files are read: what the command line said beside their
  // headers (fields/volume_file.h).
  VolumeOptions volume;
  // The grid of the run, as the first file's header gives it (for a
  // headerless file, the options): size, element type, byte order,
  // spacing, origin. Read once; until then (gridRead false) the first
  // step read sets it. Every step has its size.
  VolumeHeader grid;
  bool gridRead = false;
  // One 4-D file whose volumes are the time steps: step t reads volume t.
  bool stepsAreVolumes = false;
  int tmin = 0, tmax = 0, tdelta = 1;
  // The orrery layout of the laid-out tree (--aspect, --notscale).
  double layoutAspect = 1.0;
  bool layoutScale = true;
  // Workers for the merge trees, the seed search and the spectrum (0: every core).
  unsigned threads = 0;
  // Isovalue samples of the contour library's signature functions.
  int signatureSamples = contour::DEFAULT_SIGNATURE_SAMPLES;
};

class MainData {
 public:
  // Loads the first time step; ok() tells whether that worked (the reason
  // has been said). The run's transcript (what is read, computed and
  // written, and every failure) goes to messages, its long loops report to
  // progress; both are borrowed for the life of the object.
  explicit MainData(const DatasetOptions& dataset, MessageSink& messages = no_messages(),
                    ProgressSink& progress = no_progress());
  bool ok() const { return started; }

  // Switches to step t, loading and computing what is not cached.
  // 1 when done, 0 after a failure said to messages.
  int setTime(int t);
  void setModelBox();

  // Smallest and largest field value (in single precision, as the spectrum
  // stores them) of the steps loaded so far; true when that is every step.
  bool loadedValueRange(float& lo, float& hi) const;

  // Number of distinct tree vertices in use (vertices a branch ends at).
  static Size usedVertices(const FlatTree& tree);

  DatasetOptions dataset;
  // The current step's trees as read from their files (null when the run
  // has none); owned here, alive until the process ends.
  const FlatTree* ctree = nullptr;
  const FlatTree* ctreel = nullptr;
  ScalarField2D* field2d = nullptr;
  ScalarField3DGrid* field3d = nullptr;
  int time = 0;
  TBox modelBox;
  StepTimes lastLoad;  // of the step setTime loaded last (a cached one keeps it)
  // Where the run's transcript goes, and the meter every long step of the
  // run reports to, one at a time (the program's console; borrowed).
  MessageSink& messages;
  ProgressSink& meter;

  // Filters applied by the viewer.
  int boxFilter = 0;
  TBox filterBox;
  int minooOn = 0, maxooOn = 0, thresholdOn = 0, maxchildOn = 0;
  Real minoo = 0, maxoo = 0, threshold = 0, maxchild = 1;

 private:
  ScalarField3DGrid* getScalarField3d(int t);
  ScalarField2D* getScalarField2d(int t);
  // The contour tree of the current step's field (with its vertex vector),
  // or null after a message.
  std::unique_ptr<GridContourTree> computeCtree();
  // Reads a tree file into a new tree, kept for the rest of the run, after
  // checking that it belongs to the loaded field; null after a message.
  const FlatTree* readTree(const std::string& name, const char* what, bool laidOut);
  // Writes tree to name (ASCII, with the field's source record) and
  // returns the tree the file holds, kept for the rest of the run: made
  // from memory where a read would parse exactly the values written (and
  // checked as a read checks them), else read back. null after a message.
  const FlatTree* writeTree(const FlatTree& tree, const std::string& name, const char* what, bool laidOut);
  // Lays out tree (a copy of the contour tree, which stays as it is),
  // writes it to name and returns the stored tree as writeTree does.
  const FlatTree* writeCtreel(FlatTree tree, const std::string& name);
  // What the current step's field is, as tree files record it.
  void describeField();
  TreeDataCheck fieldCheck;
  // The step field's minima and maxima, counted when a tree file is first
  // read (0: not yet); fieldCheck holds them only while a file is read.
  std::uint64_t fieldExtrema = 0;

  bool started = false;
  std::vector<TimeStep> cache;
  // Everything loaded stays until the process ends.
  std::deque<std::unique_ptr<ScalarField3DGrid>> grids;
  std::deque<std::unique_ptr<ScalarField2D>> meshes;
  std::deque<std::unique_ptr<FlatTree>> trees;
};

// Scene record: the filter settings and the time step. Reading stores the
// time number without loading that step; a value that cannot be read
// leaves its field (and the ones after it) unchanged.
std::ostream& operator<<(std::ostream& out, const MainData& data);
std::istream& operator>>(std::istream& in, MainData& data);

}  // namespace ctree
