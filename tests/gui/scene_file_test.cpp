// Scene files read without a display through the reader the windows use:
// a file written by hand in the format the windows write, round trips of
// every record, and thousands of mutated files (cut, emptied, a value
// replaced by junk, a huge or non-finite number, a token dropped or
// doubled), each either read whole with every value in its range or
// refused with the file's name and the field.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "gui/scene_file.h"
#include "test_util.h"

using namespace ctree;

namespace {

// A scene of a surface run with every window, as the windows write it on
// a 1600x1200 screen (written by hand: format, main view, tune steps,
// filters, viewers, tree, mesh and spectrum windows).
const char* const HAND_SCENE =
    "1 -0.641165 -0.439792 0.62888 0 0.7674 -0.365081 0.527081 0 -0.0022144 0.820548 0.571573 0 0 0 0 1 \n"
    "1 0 0 0 1 0 0 0 1 2\n"
    "-0.92 0.92 -1 1 -10 10\n"
    "1600 1200 490 5 1010 1095 \n"
    " 256 \n"
    "0 3.5 0 0 0 1 0 0 0 0 0 0 0  1 0.75 0 \n"
    " \n"
    "0 1 1 1 1 0.0625 0.25 1 \n"
    " \n"
    "1\n"
    "0.5 \n"
    " \n"
    "1  \n"
    "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
    "1 0 0 0 1 0 0 0 1 2.5\n"
    "-1 1 -1.56 1.56 -10 10\n"
    "1600 1200 5 375 465 725 \n"
    " 1 1 30 30 1 0.01 0.04 1 \n"
    " \n"
    "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
    "1 0 0 0 1 0 0 0 1 2\n"
    "-1.3 1.3 -1 1 -10 10\n"
    "1600 1200 5 5 465 340 \n"
    " 2  \n"
    " \n"
    "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
    "1 0 0 0 1 0 0 0 1 2\n"
    "-1.4 1.4 -1 1 -10 10\n"
    "1600 1200 5 375 465 330 \n"
    " \n"
    "0 3 0.25 2 10 0 1  \n";

SceneShape full_shape() {
  SceneShape s;
  s.meshViewer = s.treeWindow = s.meshWindow = s.spectrumWindow = true;
  s.tmin = 0, s.tmax = 0, s.tdelta = 1;
  s.spectrumSamples = 16, s.spectrumTimes = 1;
  return s;
}

bool read_text(const std::string& text, const SceneShape& shape, SceneRecord& r, std::string& error) {
  std::istringstream in(text);
  return read_scene(in, "scene.000.txt", shape, r, error);
}

std::vector<std::string> tokens(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string t; in >> t;) out.push_back(t);
  return out;
}

std::string join(const std::vector<std::string>& t) {
  std::string out;
  for (const std::string& x : t) out += x + " ";
  return out;
}

// Every value of a record read whole lies in the range its setting allows.
void expect_in_range(const SceneRecord& r, const SceneShape& shape, const std::string& text) {
  auto view = [&](const ViewRecord& v) {
    for (float e : v.rotation) ASSERT_TRUE(std::isfinite(e) && std::fabs(e) <= 2) << text;
    for (float e : v.screenAxes) ASSERT_TRUE(std::isfinite(e)) << text;
    ASSERT_TRUE(v.scaling > 0 && std::isfinite(v.scaling)) << text;
    for (int i = 0; i < 6; i += 2) ASSERT_LT(v.ortho[i], v.ortho[i + 1]) << text;
    ASSERT_TRUE(v.screen[0] >= 1 && v.screen[1] >= 1) << text;
    ASSERT_TRUE(v.window[2] >= SCENE_MIN_WINDOW && v.window[2] <= v.screen[0]) << text;
    ASSERT_TRUE(v.window[3] >= SCENE_MIN_WINDOW && v.window[3] <= v.screen[1]) << text;
    ASSERT_TRUE(v.window[0] <= v.screen[0] - SCENE_MIN_WINDOW && v.window[1] <= v.screen[1] - SCENE_MIN_WINDOW) << text;
  };
  auto tree = [&](const TreeViewRecord& t) {
    ASSERT_TRUE(t.mode >= 0 && t.mode <= 4) << text;
    for (float s : t.scale) ASSERT_TRUE(s > 0 && std::isfinite(s)) << text;
    ASSERT_TRUE(t.tubeRadius >= 0 && t.sphereRadius >= 0) << text;
  };
  view(r.main);
  tree(r.mainTree);
  ASSERT_GE(r.tuneSteps, 1);
  ASSERT_TRUE(r.contourMode >= 0 && r.contourMode <= 2) << text;
  ASSERT_TRUE(std::isfinite(r.isovalue));
  const FilterRecord& f = r.filters;
  ASSERT_TRUE(f.maxoo >= 0 && f.minoo >= 0 && f.threshold >= 0 && f.maxchild >= 0) << text;
  ASSERT_TRUE(f.time >= shape.tmin && f.time <= shape.tmax) << text;
  if (shape.treeWindow) {
    view(r.treeView);
    tree(r.treeTree);
  }
  if (shape.meshWindow) {
    view(r.meshView);
    ASSERT_TRUE(r.meshWindowMode >= 0 && r.meshWindowMode <= 3);
  }
  if (shape.spectrumWindow) {
    view(r.spectrumView);
    const SpectrumViewRecord& s = r.spectrum;
    ASSERT_TRUE(s.palette >= -2 && s.palette <= 12 && s.signature >= 0 && s.signature <= 4) << text;
    ASSERT_TRUE(s.firstSample >= 0 && s.sampleCount >= 1 && s.firstSample + s.sampleCount <= shape.spectrumSamples);
    ASSERT_TRUE(s.firstTime >= 0 && s.timeCount >= 1 && s.firstTime + s.timeCount <= shape.spectrumTimes);
  }
  const ClipPlane& c = r.clip;
  ASSERT_TRUE(c.on == 0 || c.on == 1) << text;
  ASSERT_NEAR(std::sqrt(c.normal[0] * c.normal[0] + c.normal[1] * c.normal[1] + c.normal[2] * c.normal[2]), 1, 1e-3)
      << text;
  ASSERT_TRUE(std::isfinite(c.offset)) << text;
}

}  // namespace

TEST(SceneFile, a_scene_written_by_hand_reads_field_by_field_and_writes_back_the_same_values) {
  SceneRecord r;
  std::string error;
  ASSERT_TRUE(read_text(HAND_SCENE, full_shape(), r, error)) << error;
  EXPECT_FLOAT_EQ(r.main.rotation[0], -0.641165f);
  EXPECT_EQ(r.main.window[3], 1095);
  EXPECT_EQ(r.tuneSteps, 256);
  EXPECT_EQ(r.filters.threshold, 0.75);
  EXPECT_FLOAT_EQ(r.mainTree.tubeRadius, 0.0625f);
  EXPECT_EQ(r.isovalue, 0.5);
  EXPECT_EQ(r.treeView.window[1], 375);
  EXPECT_FLOAT_EQ(r.treeTree.scale[0], 30);
  EXPECT_EQ(r.meshWindowMode, 2);
  EXPECT_EQ(r.spectrum.sampleCount, 10);
  // A scene of before the clip plane: none.
  EXPECT_EQ(r.clip.on, 0);
  // Written again: the same numbers, and the clip record after them.
  const std::string again = scene_text(full_shape(), r);
  const std::vector<std::string> hand = tokens(HAND_SCENE), written = tokens(again);
  ASSERT_EQ(written.size(), hand.size() + 6);
  for (size_t i = 0; i < hand.size(); ++i)
    EXPECT_EQ(float(std::strtod(written[i].c_str(), nullptr)), float(std::strtod(hand[i].c_str(), nullptr))) << i;
  EXPECT_EQ(join({written.end() - 6, written.end()}), "clip 0 0 0 1 0 ");
  // A run without the optional windows reads the leading records only.
  SceneShape bare;
  SceneRecord b;
  ASSERT_TRUE(read_text(HAND_SCENE, bare, b, error)) << error;
  EXPECT_EQ(b.isovalue, 0.5);
}

TEST(SceneFile, files_that_are_missing_empty_or_cut_are_refused_naming_the_file_and_the_field) {
  testutil::TempDir dir;
  SceneRecord r;
  std::string error;
  EXPECT_FALSE(read_scene_file(dir.file("none.txt"), full_shape(), r, error));
  EXPECT_NE(error.find("none.txt"), std::string::npos) << error;
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  EXPECT_FALSE(read_text("", full_shape(), r, error));
  EXPECT_EQ(error, "scene.000.txt: the file ends before the format number");
  // Cut inside the spectrum record: the field it was cut before.
  const std::vector<std::string> t = tokens(HAND_SCENE);
  EXPECT_FALSE(read_text(join({t.begin(), t.end() - 1}), full_shape(), r, error));
  EXPECT_EQ(error, "scene.000.txt: the file ends before the spectrum time count");
  // Fields out of range, named.
  auto with = [&](size_t i, const std::string& v) {
    std::vector<std::string> m = t;
    m[i] = v;
    EXPECT_FALSE(read_text(join(m), full_shape(), r, error)) << i << " " << v;
    return error;
  };
  EXPECT_EQ(with(38, "99999"), "scene.000.txt: main window height: 99999 is outside 40..1200");
  EXPECT_EQ(with(32, "nan"), "scene.000.txt: main window view box far: \"nan\" is not a finite number");
  EXPECT_EQ(with(31, "20"), "scene.000.txt: main window view box: near is not below far");
  EXPECT_EQ(with(55, "7"), "scene.000.txt: time step: 7 is outside 0..0");
  EXPECT_EQ(with(64, "3"), "scene.000.txt: contour mode: 3 is outside 0..2");
  EXPECT_EQ(with(40, "1.5"), "scene.000.txt: maxoo flag: \"1.5\" is not a whole number");
  EXPECT_EQ(with(t.size() - 3, "16"), "scene.000.txt: spectrum sample count: 16 is outside 1..14");
}

TEST(SceneFile, values_that_are_not_round_read_back_to_the_same_bits) {
  // A view as a trackball leaves it: floats with every bit in use.
  SceneRecord r;
  std::string error;
  ASSERT_TRUE(read_text(HAND_SCENE, full_shape(), r, error)) << error;
  std::mt19937 rng(99);
  std::uniform_real_distribution<float> unit(-1, 1);
  std::uniform_real_distribution<double> wide(-1e6, 1e6);
  for (int round = 0; round < 200; ++round) {
    for (float& e : r.main.rotation) e = unit(rng);
    for (float& e : r.main.screenAxes) e = unit(rng) * 1e-3f;
    r.main.scaling = 1.7f + unit(rng);
    r.main.ortho[0] = -1.2345678f + unit(rng) * 1e-3f;
    r.isovalue = 108.857 + wide(rng) * 1e-9;  // beyond six digits
    r.filters.threshold = std::fabs(wide(rng)) / 3;
    r.treeTree.tubeRadius = std::fabs(unit(rng)) / 7;
    r.spectrum.value = unit(rng) * 1e7f;
    r.clip = ClipPlane();
    r.clip.on = 1;
    const float axis[3] = {unit(rng), unit(rng), 1};
    turn_clip_plane(r.clip, axis, unit(rng) * 3);
    r.clip.offset = unit(rng) * 100;
    const std::string text = scene_text(full_shape(), r);
    SceneRecord b;
    ASSERT_TRUE(read_text(text, full_shape(), b, error)) << error;
    for (int i = 0; i < 16; ++i) ASSERT_EQ(b.main.rotation[i], r.main.rotation[i]) << text;
    for (int i = 0; i < 9; ++i) ASSERT_EQ(b.main.screenAxes[i], r.main.screenAxes[i]) << text;
    ASSERT_EQ(b.main.scaling, r.main.scaling);
    ASSERT_EQ(b.main.ortho[0], r.main.ortho[0]);
    ASSERT_EQ(b.isovalue, r.isovalue);
    ASSERT_EQ(b.filters.threshold, r.filters.threshold);
    ASSERT_EQ(b.treeTree.tubeRadius, r.treeTree.tubeRadius);
    ASSERT_EQ(b.spectrum.value, r.spectrum.value);
    ASSERT_EQ(b.clip.on, 1);
    for (int a = 0; a < 3; ++a) ASSERT_EQ(b.clip.normal[a], r.clip.normal[a]);
    ASSERT_EQ(b.clip.offset, r.clip.offset);
    // Written once more: the same text.
    ASSERT_EQ(scene_text(full_shape(), b), text);
  }
}

TEST(SceneFile, the_clip_record_comes_last_and_is_found_past_records_of_windows_a_run_lacks) {
  SceneRecord r;
  std::string error;
  ASSERT_TRUE(read_text(HAND_SCENE, full_shape(), r, error)) << error;
  r.clip.on = 1;
  r.clip.normal[0] = 0.6f, r.clip.normal[1] = 0, r.clip.normal[2] = -0.8f;
  r.clip.offset = -2.5f;
  const std::string text = scene_text(full_shape(), r);
  EXPECT_EQ(text.substr(text.rfind("clip")), "clip 1 0.600000024 0 -0.800000012 -2.5 \n");
  // Read by a run without the tree, mesh and spectrum windows.
  SceneRecord b;
  ASSERT_TRUE(read_text(text, SceneShape(), b, error)) << error;
  EXPECT_EQ(b.clip.on, 1);
  EXPECT_EQ(b.clip.normal[2], -0.8f);
  EXPECT_EQ(b.clip.offset, -2.5f);
  // A broken record is refused with its field.
  std::string cut = text.substr(0, text.rfind(' ', text.size() - 3));
  EXPECT_FALSE(read_text(cut, full_shape(), b, error));
  EXPECT_EQ(error, "scene.000.txt: the file ends before the clip plane offset");
  std::string longer = text;
  longer.replace(longer.rfind("0.600000024"), 11, "0.9");
  EXPECT_FALSE(read_text(longer, full_shape(), b, error));
  EXPECT_EQ(error, "scene.000.txt: clip plane normal: is not of length 1");
  std::string flag = text;
  flag.replace(flag.rfind("clip 1"), 6, "clip 2");
  EXPECT_FALSE(read_text(flag, full_shape(), b, error));
  EXPECT_EQ(error, "scene.000.txt: clip plane flag: 2 is outside 0..1");
}

TEST(SceneFile, thousands_of_mutated_scenes_are_read_whole_in_range_or_refused_with_the_field) {
  // With a clip record on, so that its fields are mutated too.
  SceneRecord clipped;
  std::string error0;
  EXPECT_TRUE(read_text(HAND_SCENE, full_shape(), clipped, error0)) << error0;
  clipped.clip.on = 1, clipped.clip.offset = 0.5f;
  const std::vector<std::string> t = tokens(scene_text(full_shape(), clipped));
  const SceneShape shape = full_shape();
  const std::vector<std::string> junk = {"",     "x",     "-",      "1e999",      "-1e999",      "nan",   "inf", "-0",
                                         "0x10", "1e38",  "3.4e39", "2147483648", "-2147483649", "99999", "-1",  "0",
                                         "1",    "65536", "1,5",    "+"};
  std::mt19937 rng(2024);
  int accepted = 0, refused = 0;
  for (int i = 0; i < 4000; ++i) {
    std::vector<std::string> m = t;
    const int kind = int(rng() % 5);
    const size_t at = rng() % m.size();
    const double v = std::atof(m[at].c_str());
    if (kind == 0) m.resize(at);  // cut
    if (kind == 1) m[at] = junk[rng() % junk.size()];
    if (kind == 2) m.erase(m.begin() + long(at));
    if (kind == 3) m.insert(m.begin() + long(at), m[at]);
    if (kind == 4) m[at] = std::to_string(rng() % 2 ? -v : v * double(1 + rng() % 100000));  // scaled far, or sign
    std::string text = join(m);
    if (kind == 0 && rng() % 2) text = text.substr(0, rng() % (text.size() + 1));  // cut inside a token
    SceneRecord r;
    std::string error;
    if (read_text(text, shape, r, error)) {
      ++accepted;
      expect_in_range(r, shape, text);
    } else {
      ++refused;
      ASSERT_EQ(error.rfind("scene.000.txt: ", 0), 0u) << error;
      ASSERT_GT(error.size(), 20u) << error;
    }
    if (testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(refused, 2000);
  EXPECT_GT(accepted, 100);
}

TEST(SceneFile, scenes_are_written_whole_or_not_at_all_with_the_reason) {
  testutil::TempDir dir;
  std::string error;
  ASSERT_TRUE(write_scene_file(dir.file("s.txt"), HAND_SCENE, error)) << error;
  EXPECT_EQ(testutil::read_file(dir.file("s.txt")), HAND_SCENE);
  // Replaced whole: the old text leaves no tail behind.
  ASSERT_TRUE(write_scene_file(dir.file("s.txt"), "1 \n", error)) << error;
  EXPECT_EQ(testutil::read_file(dir.file("s.txt")), "1 \n");
  // A folder that does not exist: the reason, and no file anywhere.
  EXPECT_FALSE(write_scene_file(dir.file("no/s.txt"), HAND_SCENE, error));
  EXPECT_NE(error.find("no/s.txt"), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
}
