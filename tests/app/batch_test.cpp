// Whole runs without windows: the built program on generated data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <thread>

#include "workspace/spectrum_file.h"
#include "test_util.h"

using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

int count(const std::string& out, const std::string& text) {
  int n = 0;
  for (size_t p = out.find(text); p != std::string::npos; p = out.find(text, p + 1)) ++n;
  return n;
}

// Three steps of a 12x10x8 series and the arguments of a batch run over them.
struct Series {
  TempDir dir;
  std::string args;
  Series() {
    EXPECT_EQ(testutil::run_gen("series --dim 12 10 8 --bumps 4 --steps 3 --out " + dir.file("s.%02d.raw")).status, 0);
    args = "--batch --data " + dir.file("s.%02d.raw") + " --dim 12 10 8 --time 0 2 1 --ct " + dir.file("s.%02d.ctree.ply") +
           " --ctl " + dir.file("s.%02d.ctreel.ply");
  }
  std::string ct(int t) const { return dir.file("s.0" + std::to_string(t) + ".ctree.ply"); }
  std::string ctl(int t) const { return dir.file("s.0" + std::to_string(t) + ".ctreel.ply"); }
};

}  // namespace

TEST(Batch, computes_writes_and_then_reads_the_tree_files_of_every_step) {
  Series s;
  auto first = run_orrery(s.args);
  ASSERT_EQ(first.status, 0) << first.output;
  for (int t = 0; t < 3; ++t) {
    EXPECT_TRUE(has(first.output, "step " + std::to_string(t) + ": 960 vertices")) << first.output;
    EXPECT_TRUE(std::filesystem::exists(s.ct(t)));
    EXPECT_TRUE(std::filesystem::exists(s.ctl(t)));
  }
  EXPECT_EQ(count(first.output, "writing ctree " + s.dir.path()), 3);
  const std::string ct1 = testutil::read_file(s.ct(1)), ctl2 = testutil::read_file(s.ctl(2));

  auto second = run_orrery(s.args);
  ASSERT_EQ(second.status, 0) << second.output;
  EXPECT_FALSE(has(second.output, "writing ctree")) << second.output;
  EXPECT_EQ(count(second.output, "reading ctree "), 3);
  EXPECT_EQ(testutil::read_file(s.ct(1)), ct1);
  EXPECT_EQ(testutil::read_file(s.ctl(2)), ctl2);
  // The summaries read from the files are those of the computed trees.
  for (int t = 0; t < 3; ++t) {
    const std::string key = "step " + std::to_string(t) + ":";
    auto line = [&](const std::string& out) {
      size_t p = out.find(key);
      std::string l = out.substr(p, out.find('\n', p) - p);
      return l.substr(0, l.rfind(',', l.find(" (")));  // without the seconds and the phase times
    };
    EXPECT_EQ(line(first.output), line(second.output));
  }

  std::filesystem::remove(s.ct(1));
  auto third = run_orrery(s.args);
  ASSERT_EQ(third.status, 0) << third.output;
  EXPECT_EQ(count(third.output, "writing ctree " + s.dir.path()), 1);
  EXPECT_TRUE(has(third.output, "writing ctree " + s.ct(1)));
  EXPECT_EQ(testutil::read_file(s.ct(1)), ct1);
}

TEST(Batch, a_missing_later_step_fails_after_the_earlier_ones_are_complete) {
  Series s;
  std::filesystem::remove(s.dir.file("s.02.raw"));
  auto r = run_orrery(s.args);
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(has(r.output, "error. can't open " + s.dir.file("s.02.raw"))) << r.output;
  EXPECT_TRUE(std::filesystem::exists(s.ctl(1)));
  EXPECT_FALSE(std::filesystem::exists(s.ct(2)));
}

TEST(Batch, two_runs_at_once_in_one_folder_both_give_sound_files) {
  Series s;
  testutil::RunResult a, b;
  std::thread other([&] { a = run_orrery(s.args); });
  b = run_orrery(s.args);
  other.join();
  EXPECT_EQ(a.status, 0) << a.output;
  EXPECT_EQ(b.status, 0) << b.output;
  auto again = run_orrery(s.args);
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_FALSE(has(again.output, "writing ctree"));
}

// The data lines of a tree file as numbers, twelve per branch.
std::vector<std::vector<double>> tree_lines(const std::string& path) {
  const std::string text = testutil::read_file(path);
  std::vector<std::vector<double>> lines;
  size_t p = text.find("end_header\n");
  if (p == std::string::npos) return lines;
  std::istringstream in(text.substr(p + 11));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<double> v;
    for (double x; words >> x;) v.push_back(x);
    lines.push_back(v);
  }
  return lines;
}

// A grid with a large offset against its range (5000 + up to 0.04): the
// program works on the tree as read back from its file, so the file must
// keep the values apart. Every persistence is w1 - w0 of its own line, the
// branch ends keep their distinct values, and the laid-out tree as many
// distinct heights.
TEST(Batch, a_field_with_a_large_offset_keeps_its_values_in_the_tree_files) {
  TempDir dir;
  std::vector<unsigned char> bytes;
  std::set<float> samples;
  std::uint32_t state = 12345;
  for (int i = 0; i < 8 * 8 * 8; ++i) {
    state = state * 1664525u + 1013904223u;
    const float v = 5000.0f + 0.04f * float(state >> 8) / float(1 << 24);
    samples.insert(v);
    unsigned char b[4];
    std::memcpy(b, &v, 4);
    bytes.insert(bytes.end(), b, b + 4);
  }
  testutil::write_bytes(dir.file("offset.raw"), bytes);
  const std::string args = "--batch --data " + dir.file("offset.raw") + " --dim 8 8 8 --swapbyte 0 --ct " +
                           dir.file("offset.ctree.ply") + " --ctl " + dir.file("offset.ctreel.ply");
  auto r = run_orrery(args);
  ASSERT_EQ(r.status, 0) << r.output;
  const auto ct = tree_lines(dir.file("offset.ctree.ply"));
  const auto ctl = tree_lines(dir.file("offset.ctreel.ply"));
  ASSERT_GT(ct.size(), 10u);
  ASSERT_EQ(ctl.size(), ct.size());
  std::set<double> values, heights;
  for (size_t k = 0; k < ct.size(); ++k) {
    ASSERT_EQ(ct[k].size(), 12u) << "line " << k;
    ASSERT_EQ(ctl[k].size(), 12u) << "line " << k;
    EXPECT_EQ(ct[k][10], std::fabs(ct[k][9] - ct[k][4])) << "line " << k;
    for (int w : {4, 9}) {
      EXPECT_EQ(samples.count(float(ct[k][size_t(w)])), 1u) << "a value of the grid, line " << k;
      EXPECT_EQ(double(float(ct[k][size_t(w)])), ct[k][size_t(w)]) << "exactly a float of the grid, line " << k;
      values.insert(ct[k][size_t(w)]);
    }
    EXPECT_EQ(ctl[k][4], ct[k][4]);
    EXPECT_EQ(ctl[k][9], ct[k][9]);
    heights.insert(ctl[k][3]);
    heights.insert(ctl[k][8]);
  }
  EXPECT_GT(values.size(), 20u);
  EXPECT_EQ(heights.size(), values.size()) << "one height per distinct value";
}

// Every scene written for the sample set and the test meshes renders as
// it is, from the folder the program ran in and from the scene's own
// folder; a scene includes every part written for it and nothing else is
// written. Among the meshes: a terrain with heights in steps of 0.5, whose
// laid-out tree has saddles at one height on one branch.
TEST(Batch, every_sample_and_test_mesh_scene_renders_from_either_folder) {
  if (testutil::run("command -v povray").status != 0) GTEST_SKIP() << "povray is not installed";
  TempDir dir;
  const std::string s = dir.file("s");
  ASSERT_EQ(testutil::run_gen("samples " + s).status, 0);
  ASSERT_EQ(testutil::run_gen("terrain --size 20 --bumps 5 --out " + s + "/t.ply").status, 0);
  ASSERT_EQ(testutil::run_gen("terrain --size 12 --bumps 3 --strips --format little --out " + s + "/strips.ply").status, 0);
  ASSERT_EQ(testutil::run_gen("terrain --size 24 --bumps 8 --format ascii --out " + s + "/a.ply").status, 0);
  {
    // Heights rounded to steps of 0.5: many vertices at one height.
    std::istringstream in(testutil::read_file(s + "/a.ply"));
    std::string text, line;
    int vertices = 0;
    while (std::getline(in, line) && line != "end_header") {
      if (line.rfind("element vertex ", 0) == 0) vertices = std::stoi(line.substr(15));
      text += line + "\n";
    }
    text += "end_header\n";
    for (int v = 0; v < vertices && std::getline(in, line); ++v) {
      std::istringstream w(line);
      double x, y, z;
      w >> x >> y >> z;
      text += std::to_string(x) + " " + std::to_string(std::round(2 * y) / 2) + " " + std::to_string(z) + "\n";
    }
    while (std::getline(in, line)) text += line + "\n";
    testutil::write_text(s + "/steps.ply", text);
  }
  const char* runs[] = {
      "--data s/bumps64.raw --dim 64 64 64 --ct s/b.ctree.ply --ctl s/b.ctreel.ply --povray s/b",
      "--data s/bumps64-le.raw --dim 64 64 64 --swapbyte 0 --ct s/le.ctree.ply --povray s/le",
      "--data s/series.%02d.raw --dim 48 48 48 --time 0 1 1 --ctl s/series.%02d.ctreel.ply --povray s/series",
      "--data s/t.ply --var y --ct s/t.ctree.ply --ctl s/t.ctreel.ply --povray s/t",
      "--data s/t.ply --var y --ct s/t.ctree.ply --povray s/tmesh",
      "--data s/strips.ply --var y --ct s/strips.ctree.ply --povray s/strips",
      "--data s/steps.ply --var y --ct s/steps.ctree.ply --ctl s/steps.ctreel.ply --povray s/steps",
      "--data s/steps.ply --var y --ct s/steps.ctree.ply --povray s/stepsmesh",
  };
  for (const char* args : runs) {
    auto r = testutil::run("cd " + dir.path() + " && " + ORRERY_EXE + " --batch " + args);
    ASSERT_EQ(r.status, 0) << args << "\n" << r.output;
  }
  std::set<std::string> parts, included;
  int scenes = 0;
  for (auto& e : std::filesystem::directory_iterator(s)) {
    const std::string leaf = e.path().filename().string();
    if (leaf.size() > 4 && leaf.compare(leaf.size() - 4, 4, ".inc") == 0) parts.insert(leaf);
    if (leaf.size() < 4 || leaf.compare(leaf.size() - 4, 4, ".pov") != 0) continue;
    ++scenes;
    const std::string scene = testutil::read_file(e.path().string());
    for (size_t p = scene.find("#include \""); p != std::string::npos; p = scene.find("#include \"", p + 1)) {
      const std::string name = scene.substr(p + 10, scene.find('"', p + 10) - (p + 10));
      if (name.find('/') == std::string::npos && name != "colors.inc") included.insert(name);
    }
    for (const std::string& from : {dir.path() + " && povray +Is/" + leaf, s + " && povray +I" + leaf}) {
      auto r = testutil::run("cd " + from + " +O" + dir.file("pic.ppm") + " +FP +W32 +H24 -D -V");
      ASSERT_EQ(r.status, 0) << from << "\n" << r.output;
      const std::string ppm = testutil::read_file(dir.file("pic.ppm"));
      ASSERT_EQ(ppm.substr(0, 2), "P6") << from;
      std::set<std::string> colours;
      for (size_t p = ppm.size() - 32 * 24 * 3; p + 3 <= ppm.size(); p += 3) colours.insert(ppm.substr(p, 3));
      EXPECT_GT(colours.size(), 1u) << from << ": the picture is blank";
      std::filesystem::remove(dir.file("pic.ppm"));
    }
  }
  EXPECT_EQ(scenes, 9);  // two steps of the series
  EXPECT_EQ(parts, included) << "every part written is included, and only those";
  // A laid-out tree's scene leaves the mesh out, so no mesh part is written for it.
  EXPECT_FALSE(std::filesystem::exists(s + "/t.0.mesh.inc"));
  EXPECT_TRUE(std::filesystem::exists(s + "/tmesh.0.mesh.inc"));
}

TEST(Batch, spectrum_of_every_step_is_written_once_and_kept) {
  Series s;
  const std::string file = s.dir.file("s.00.raw.spectrum");
  auto first = run_orrery(s.args + " --spectrum 8");
  ASSERT_EQ(first.status, 0) << first.output;
  ctree::SpectrumData d;
  std::string error;
  ASSERT_TRUE(ctree::read_spectrum_file(file, d, error)) << error;
  EXPECT_EQ(d.nTimes, 3);
  EXPECT_EQ(d.nSamples, 8);
  // The area of the isocontour is positive inside the value range.
  EXPECT_GT(d.at(1, 4, 0), 0);
  const std::string bytes = testutil::read_file(file);
  auto second = run_orrery(s.args + " --spectrum 8");
  ASSERT_EQ(second.status, 0) << second.output;
  EXPECT_TRUE(has(second.output, "exists and is kept")) << second.output;
  EXPECT_EQ(testutil::read_file(file), bytes);

  // A cache that is not this run's (another sample count) or holds values
  // that are not finite is computed again, saying why.
  auto other_samples = run_orrery(s.args + " --spectrum 16");
  ASSERT_EQ(other_samples.status, 0) << other_samples.output;
  EXPECT_TRUE(has(other_samples.output, "Error: " + file + ": the spectrum file holds 3 time steps, 8 samples, 4 "
                                        "signatures, the run needs 3 time steps, 16 samples")) << other_samples.output;
  EXPECT_TRUE(has(other_samples.output, "computing the spectrum again")) << other_samples.output;
  ASSERT_TRUE(ctree::read_spectrum_file(file, d, error)) << error;
  EXPECT_EQ(d.nSamples, 16);
  const ctree::SpectrumData right = d;
  auto rewrite = [&](ctree::SpectrumData changed, const std::string& says) {
    ASSERT_TRUE(ctree::write_spectrum_file(file, changed, error)) << error;
    auto r = run_orrery(s.args + " --spectrum 16");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(has(r.output, says)) << r.output;
    EXPECT_FALSE(has(r.output, "exists and is kept")) << r.output;
    ctree::SpectrumData back;
    ASSERT_TRUE(ctree::read_spectrum_file(file, back, error)) << error;
    EXPECT_EQ(back.values, right.values);
    EXPECT_EQ(back.minValue, right.minValue);
  };
  ctree::SpectrumData nan = right;
  nan.values[17] = NAN;
  rewrite(nan, "spectrum value 17 (time index 0, sample 4) is not a finite number; computing the spectrum again");

  // A cache that cannot be written fails the batch run with its name.
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  auto blocked = run_orrery(s.args + " --spectrum 8");
  EXPECT_NE(blocked.status, 0);
  EXPECT_TRUE(has(blocked.output, "s.00.raw.spectrum")) << blocked.output;
}

// A grid holding NaN or an infinity is refused when it is read, naming the
// file and the sample, and no tree file is left behind.
TEST(Batch, non_finite_samples_are_refused_before_any_tree_work) {
  TempDir dir;
  const std::string raw = dir.file("nan.raw");
  {
    std::ofstream out(raw, std::ios::binary);
    // Little-endian floats: 1, 2, 3, +inf, 5, 6, NaN, 8.
    const unsigned char bytes[8][4] = {{0, 0, 0x80, 0x3f}, {0, 0, 0, 0x40}, {0, 0, 0x40, 0x40}, {0, 0, 0x80, 0x7f},
                                       {0, 0, 0xa0, 0x40}, {0, 0, 0xc0, 0x40}, {0, 0, 0xc0, 0x7f}, {0, 0, 0, 0x41}};
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  auto r = run_orrery("--batch --data " + raw + " --dim 2 2 2 --datatype float --swapbyte 0 --ct " +
                      dir.file("nan.ctree.ply"));
  EXPECT_NE(r.status, 0) << r.output;
  EXPECT_NE(r.output.find(raw + ": sample 3 is not a finite number"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("nan.ctree.ply")));
}

// A tree file records the data it was computed from; given for other data
// (another step, a terrain's tree for a grid) it is refused, naming both,
// and deleting it has the tree computed again.
TEST(Batch, a_tree_file_of_other_data_is_refused_saying_whose_it_is) {
  Series s;
  ASSERT_EQ(run_orrery(s.args).status, 0);
  ASSERT_EQ(testutil::run_gen("terrain --size 12 --bumps 3 --out " + s.dir.file("t.ply")).status, 0);
  ASSERT_EQ(run_orrery("--batch --data " + s.dir.file("t.ply") + " --ct " + s.dir.file("t.ctree.ply")).status, 0);
  EXPECT_TRUE(has(testutil::read_file(s.ct(0)), "\ncomment orrery source grid 12 10 8 float range "));
  const std::string step1 = "--batch --data " + s.dir.file("s.01.raw") + " --dim 12 10 8 --ct ";
  for (const std::string& tree : {s.ct(0), s.dir.file("t.ctree.ply")}) {
    auto r = run_orrery(step1 + tree);
    EXPECT_NE(r.status, 0) << r.output;
    EXPECT_TRUE(has(r.output, tree + ": the tree was computed from a")) << r.output;
    EXPECT_TRUE(has(r.output, "not from the data loaded (a 12 x 10 x 8 float grid, values")) << r.output;
    EXPECT_TRUE(has(r.output, "(delete the file to have the tree computed again)")) << r.output;
  }
  // The same step as another element type is other data too.
  auto as_double = run_orrery("--batch --data " + s.dir.file("s.00.raw") + " --dim 12 10 4 --datatype double --ct " + s.ct(0));
  EXPECT_NE(as_double.status, 0) << as_double.output;
  EXPECT_TRUE(has(as_double.output, "12 x 10 x 4 double grid")) << as_double.output;
  std::filesystem::remove(s.ct(0));
  auto again = run_orrery(step1 + s.ct(0));
  EXPECT_EQ(again.status, 0) << again.output;
}

// A lone triangle listed before a terrain: the terrain, the component with
// the most vertices, is the one whose tree is computed, and the run says so.
TEST(Batch, a_mesh_of_several_components_keeps_the_one_with_most_vertices) {
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("terrain --size 10 --bumps 3 --format ascii --out " + dir.file("t.ply")).status, 0);
  std::istringstream in(testutil::read_file(dir.file("t.ply")));
  std::string text, line;
  while (std::getline(in, line)) {
    if (line == "element vertex 100") line = "element vertex 103";
    if (line.rfind("element face ", 0) == 0) line = "element face " + std::to_string(std::stoi(line.substr(13)) + 1);
    text += line + "\n";
    if (line == "end_header") break;
  }
  for (int v = 0; v < 100 && std::getline(in, line); ++v) text += line + "\n";
  text += "50 -3 50\n51 -3 50\n50 -3 51\n3 100 101 102\n";  // the lone triangle, first of the faces
  while (std::getline(in, line)) text += line + "\n";
  testutil::write_text(dir.file("two.ply"), text);
  auto r = run_orrery("--batch --data " + dir.file("two.ply") + " --var y --ct " + dir.file("two.ctree.ply"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(has(r.output, "taking the largest connected component: 100 of the 103 vertices")) << r.output;
  EXPECT_TRUE(has(r.output, "step 0: 100 vertices")) << r.output;
  EXPECT_TRUE(has(testutil::read_file(dir.file("two.ctree.ply")), "comment orrery source mesh 100 y range"));

  // A double volume sample beyond what the isosurfaces compute with is refused at the read.
  std::vector<double> values(8, 1.0);
  values[5] = 1e300;
  testutil::write_bytes(dir.file("big.raw"), std::vector<unsigned char>(reinterpret_cast<unsigned char*>(values.data()),
                                                                         reinterpret_cast<unsigned char*>(values.data()) + 64));
  auto big = run_orrery("--batch --data " + dir.file("big.raw") + " --dim 2 2 2 --datatype double --swapbyte 0 --ct " +
                        dir.file("big.ctree.ply"));
  EXPECT_NE(big.status, 0);
  EXPECT_TRUE(has(big.output, dir.file("big.raw") + ": sample 5 is 1e+300, beyond the +-1e30")) << big.output;
}
