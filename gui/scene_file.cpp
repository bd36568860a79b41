#include "gui/scene_file.h"

#include "core/whole_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace ctree {

namespace {

// Takes whitespace-separated values one by one; the first that is missing
// or out of range stops the reading with a sentence about it.
class FieldReader {
 public:
  FieldReader(std::istream& in, const std::string& name, std::string& error) : in(in), name(name), error(error) {}

  bool integer(const std::string& field, int& out, long lo, long hi) {
    std::string token;
    if (!next(field, token)) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(token.c_str(), &end, 10);
    if (*end || errno || end == token.c_str()) return fail(field, "\"" + token + "\" is not a whole number");
    if (v < lo || v > hi) return fail(field, token + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
    out = int(v);
    return true;
  }
  bool flag(const std::string& field, int& out) { return integer(field, out, 0, 1); }
  template <class T>
  bool real(const std::string& field, T& out, double lo, double hi) {
    std::string token;
    if (!next(field, token)) return false;
    char* end = nullptr;
    const double v = std::strtod(token.c_str(), &end);
    if (*end || end == token.c_str() || !std::isfinite(v))
      return fail(field, "\"" + token + "\" is not a finite number");
    if (v < lo || v > hi) return fail(field, token + " is outside " + number(lo) + ".." + number(hi));
    out = T(v);
    return true;
  }
  bool fail(const std::string& field, const std::string& what) {
    error = name + ": " + field + ": " + what;
    return false;
  }

 private:
  bool next(const std::string& field, std::string& token) {
    if (in >> token) return true;
    error = name + ": the file ends before the " + field;
    return false;
  }
  static std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
  }
  std::istream& in;
  const std::string& name;
  std::string& error;
};

constexpr double BIG = 1e30;  // far beyond any view, small enough for floats
constexpr int MAX_SCREEN = 100000;

bool read_view(FieldReader& r, const std::string& window, ViewRecord& v) {
  for (int i = 0; i < 16; ++i)
    if (!r.real(window + " rotation element " + std::to_string(i + 1), v.rotation[i], -2, 2)) return false;
  for (int i = 0; i < 9; ++i)
    if (!r.real(window + " screen axes element " + std::to_string(i + 1), v.screenAxes[i], -BIG, BIG)) return false;
  if (!r.real(window + " zoom", v.scaling, 1e-9, 1e9)) return false;
  if (v.scaling <= 0) return r.fail(window + " zoom", "must be above 0");
  static const char* const ORTHO[6] = {"left", "right", "bottom", "top", "near", "far"};
  for (int i = 0; i < 6; ++i)
    if (!r.real(window + " view box " + ORTHO[i], v.ortho[i], -BIG, BIG)) return false;
  for (int i = 0; i < 6; i += 2)
    if (!(v.ortho[i] < v.ortho[i + 1]))
      return r.fail(window + " view box", std::string(ORTHO[i]) + " is not below " + ORTHO[i + 1]);
  if (!r.integer(window + " screen width", v.screen[0], 1, MAX_SCREEN) ||
      !r.integer(window + " screen height", v.screen[1], 1, MAX_SCREEN))
    return false;
  const int W = v.screen[0], H = v.screen[1];
  // The corner on the screen with room for a window of the smallest size;
  // a little above or left of it stays (room for a frame a window
  // manager adds).
  return r.integer(window + " x", v.window[0], -100, W - SCENE_MIN_WINDOW) &&
         r.integer(window + " y", v.window[1], -100, H - SCENE_MIN_WINDOW) &&
         r.integer(window + " width", v.window[2], SCENE_MIN_WINDOW, W) &&
         r.integer(window + " height", v.window[3], SCENE_MIN_WINDOW, H);
}

bool read_tree_view(FieldReader& r, const std::string& window, TreeViewRecord& t) {
  static const char* const AXES[3] = {"x", "y", "z"};
  if (!r.flag(window + " laid-out tree flag", t.useCtreel) || !r.flag(window + " shortcut flag", t.shortcut))
    return false;
  for (int a = 0; a < 3; ++a)
    if (!r.real(window + " tree scale " + AXES[a], t.scale[a], 1e-30, BIG)) return false;
  return r.real(window + " tube radius", t.tubeRadius, 0, BIG) &&
         r.real(window + " sphere radius", t.sphereRadius, 0, BIG) &&
         r.integer(window + " tree drawing mode", t.mode, 0, 4);
}

// The optional selection record at the end: the word "selection" and a
// branch number. Anything else (another record, or nothing) is left
// unread and selects nothing.
bool read_selection_record(std::istream& in, FieldReader& r, const SceneShape& shape, int& branch) {
  branch = -1;
  const std::streampos at = in.tellg();
  std::string word;
  if (!(in >> word) || word != "selection") {
    in.clear();
    in.seekg(at);
    return true;
  }
  return r.integer("selected branch", branch, -1, long(shape.treeBranches) - 1);
}

// Written only for a selection, so a scene without one is what it was
// before the record existed.
void write_selection_record(std::ostream& out, int branch) {
  if (branch >= 0) out << "selection " << branch << ' ' << '\n';
}

// Numbers as text that reads back to the same bits.
std::string num(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", double(v));
  return text;
}
std::string num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string join(const float* v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += num(v[i]) + ' ';
  return out;
}

void write_view(std::ostream& out, const ViewRecord& v) {
  out << join(v.rotation, 16) << '\n' << join(v.screenAxes, 9) << num(v.scaling) << '\n';
  out << num(v.ortho[0]) << ' ' << num(v.ortho[1]) << ' ' << num(v.ortho[2]) << ' ' << num(v.ortho[3]) << ' '
      << num(v.ortho[4]) << ' ' << num(v.ortho[5]) << '\n';
  out << v.screen[0] << ' ' << v.screen[1] << ' ' << v.window[0] << ' ' << v.window[1] << ' ' << v.window[2] << ' '
      << v.window[3] << ' ' << '\n';
}

void write_tree_view(std::ostream& out, const TreeViewRecord& t) {
  out << t.useCtreel << ' ' << t.shortcut << ' ' << join(t.scale, 3) << num(t.tubeRadius) << ' ' << num(t.sphereRadius)
      << ' ' << t.mode << ' ' << '\n';
}

// The clip record: the tag, the flag, the normal and the offset.
const char* const CLIP_TAG = "clip";

void write_clip_record(std::ostream& out, const ClipPlane& c) {
  out << CLIP_TAG << ' ' << c.on << ' ' << join(c.normal, 3) << num(c.offset) << ' ' << '\n';
}

// Looks for the clip record after the records read so far: tokens before
// it (the records of windows this run does not have) are passed over. No
// record leaves the plane off.
bool read_clip_record(std::istream& in, FieldReader& r, ClipPlane& c) {
  c = ClipPlane();
  std::string token;
  while (in >> token)
    if (token == CLIP_TAG) break;
  if (token != CLIP_TAG) return true;
  static const char* const AXES[3] = {"x", "y", "z"};
  if (!r.flag("clip plane flag", c.on)) return false;
  for (int a = 0; a < 3; ++a)
    if (!r.real(std::string("clip plane normal ") + AXES[a], c.normal[a], -1.0001, 1.0001)) return false;
  const double length = std::sqrt(double(c.normal[0]) * c.normal[0] + double(c.normal[1]) * c.normal[1] +
                                  double(c.normal[2]) * c.normal[2]);
  if (std::fabs(length - 1) > 1e-3) return r.fail("clip plane normal", "is not of length 1");
  return r.real("clip plane offset", c.offset, -BIG, BIG);
}

}  // namespace

bool read_scene(std::istream& in, const std::string& name, const SceneShape& shape, SceneRecord& out,
                std::string& error) {
  FieldReader r(in, name, error);
  SceneRecord s;
  int format = 0;
  if (!r.integer("format number", format, 1, 1)) return false;
  if (!read_view(r, "main window", s.main)) return false;
  if (!r.integer("tune steps", s.tuneSteps, 1, 1 << 30)) return false;
  FilterRecord& f = s.filters;
  if (!r.flag("maxoo flag", f.maxooOn) || !r.real("maxoo", f.maxoo, 0, 1e300) || !r.flag("minoo flag", f.minooOn) ||
      !r.real("minoo", f.minoo, 0, 1e300) || !r.flag("maxchild flag", f.maxchildOn) ||
      !r.real("maxchild", f.maxchild, 0, 1e9) || !r.flag("box filter flag", f.boxFilter))
    return false;
  static const char* const BOX[6] = {"x", "y", "z", "width", "height", "depth"};
  for (int i = 0; i < 6; ++i)
    if (!r.real(std::string("filter box ") + BOX[i], f.box[i], i < 3 ? -BIG : 0, BIG)) return false;
  if (!r.flag("threshold flag", f.thresholdOn) || !r.real("threshold", f.threshold, 0, 1e300)) return false;
  if (!r.integer("time step", f.time, shape.tmin, shape.tmax)) return false;
  if (shape.tdelta > 0 && (f.time - shape.tmin) % shape.tdelta != 0)
    return r.fail("time step", std::to_string(f.time) + " is not one of the run's steps (every " +
                                   std::to_string(shape.tdelta) + " from " + std::to_string(shape.tmin) + ")");
  if (!read_tree_view(r, "main window", s.mainTree)) return false;
  if (!r.integer("contour mode", s.contourMode, 0, 2) || !r.real("isovalue", s.isovalue, -1e300, 1e300)) return false;
  if (shape.meshViewer && !r.integer("main window mesh mode", s.meshMode, 0, 3)) return false;
  if (shape.treeWindow && (!read_view(r, "tree window", s.treeView) || !read_tree_view(r, "tree window", s.treeTree)))
    return false;
  if (shape.meshWindow &&
      (!read_view(r, "mesh window", s.meshView) || !r.integer("mesh window mode", s.meshWindowMode, 0, 3)))
    return false;
  if (shape.spectrumWindow) {
    SpectrumViewRecord& v = s.spectrum;
    const int S = shape.spectrumSamples, T = shape.spectrumTimes;
    if (!read_view(r, "spectrum window", s.spectrumView) || !r.integer("spectrum signature", v.signature, 0, 4) ||
        !r.integer("spectrum palette", v.palette, -2, 12) || !r.real("spectrum value", v.value, -3.4e38, 3.4e38) ||
        !r.integer("spectrum first sample", v.firstSample, 0, std::max(0, S - 1)) ||
        !r.integer("spectrum sample count", v.sampleCount, 1, std::max(1, S - v.firstSample)) ||
        !r.integer("spectrum first time", v.firstTime, 0, std::max(0, T - 1)) ||
        !r.integer("spectrum time count", v.timeCount, 1, std::max(1, T - v.firstTime)))
      return false;
  }
  if (!read_selection_record(in, r, shape, s.selectedBranch)) return false;
  if (!read_clip_record(in, r, s.clip)) return false;
  out = s;
  return true;
}

bool read_scene_file(const std::string& name, const SceneShape& shape, SceneRecord& out, std::string& error) {
  std::ifstream in(name);
  if (!in) {
    error = "cannot open scene file " + name + ": " + std::strerror(errno);
    return false;
  }
  return read_scene(in, name, shape, out, error);
}

std::string scene_text(const SceneShape& shape, const SceneRecord& s) {
  std::ostringstream out;
  out << 1 << ' ';
  write_view(out, s.main);
  out << ' ' << s.tuneSteps << ' ' << '\n';
  const FilterRecord& f = s.filters;
  out << f.maxooOn << ' ' << num(f.maxoo) << ' ' << f.minooOn << ' ' << num(f.minoo) << ' ' << f.maxchildOn << ' '
      << num(f.maxchild) << ' ' << f.boxFilter << ' ' << join(f.box, 6) << ' ' << f.thresholdOn << ' '
      << num(f.threshold) << ' ' << f.time << ' ' << '\n'
      << ' ' << '\n';
  write_tree_view(out, s.mainTree);
  out << ' ' << '\n';
  out << s.contourMode << '\n' << num(s.isovalue) << ' ' << '\n' << ' ' << '\n';
  if (shape.meshViewer) out << s.meshMode << ' ' << ' ' << '\n';
  if (shape.treeWindow) {
    write_view(out, s.treeView);
    out << ' ';
    write_tree_view(out, s.treeTree);
    out << ' ' << '\n' << ' ' << '\n';
  }
  if (shape.meshWindow) {
    write_view(out, s.meshView);
    out << ' ' << s.meshWindowMode << ' ' << ' ' << '\n' << ' ' << '\n';
  }
  if (shape.spectrumWindow) {
    const SpectrumViewRecord& v = s.spectrum;
    write_view(out, s.spectrumView);
    out << ' ' << '\n';
    out << v.signature << ' ' << v.palette << ' ' << num(v.value) << ' ' << v.firstSample << ' ' << v.sampleCount << ' '
        << v.firstTime << ' ' << v.timeCount << ' ' << ' ' << '\n';
  }
  write_selection_record(out, s.selectedBranch);
  write_clip_record(out, s.clip);
  return out.str();
}

bool write_scene_file(const std::string& name, const std::string& text, std::string& error) {
  std::string reason;
  if (write_file_whole(name, text, reason)) return true;
  error = "cannot write the scene file " + name + ": " + reason;
  return false;
}

}  // namespace ctree
