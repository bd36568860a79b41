// --regions: the segmentation written beside the tree, read back and
// compared with regions painted here by a breadth-first search of our own.
#include <gtest/gtest.h>

#include <nifti2_io.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <random>

#include "io/tree_files.h"
#include "test_util.h"

using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

struct Grid {
  int n[3];
  double spacing[3] = {1, 1, 1}, origin[3] = {0, 0, 0};
  std::vector<double> values;
  int index(int x, int y, int z) const { return x + n[0] * (y + n[1] * z); }
};

// Labels painted root first: every branch's component beyond its hanging
// vertex in (value, index) order, on the side of its free end.
std::vector<std::int32_t> painted_labels(const Grid& g, const ctree::FlatTree& tree) {
  const int total = g.n[0] * g.n[1] * g.n[2];
  std::vector<std::int32_t> labels(size_t(total), 0);
  auto at = [&](ctree::Index v) {
    const ctree::Vertex& p = tree.vertices[size_t(v)];
    const double q[3] = {p.x, p.y, p.z};
    int k[3];
    for (int a = 0; a < 3; ++a) k[a] = int(std::lround((q[a] - g.origin[a]) / g.spacing[a]));
    return g.index(k[0], k[1], k[2]);
  };
  // The cube's six tetrahedra around its (0,0,0)-(1,1,1) diagonal: steps
  // along one axis, two axes at once or all three, both ways.
  const int steps[7][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
  for (size_t b = 1; b < tree.branches.size(); ++b) {
    const int end = at(tree.branches[b].ends[0]), hang = at(tree.branches[b].ends[1]);
    auto above = [&](int v) {
      return g.values[size_t(v)] > g.values[size_t(hang)] ||
             (g.values[size_t(v)] == g.values[size_t(hang)] && v > hang);
    };
    const bool up = above(end);
    std::vector<char> seen(size_t(total), 0);
    std::deque<int> queue{end};
    seen[size_t(end)] = 1;
    while (!queue.empty()) {
      const int v = queue.front();
      queue.pop_front();
      labels[size_t(v)] = std::int32_t(b);
      const int x = v % g.n[0], y = (v / g.n[0]) % g.n[1], z = v / (g.n[0] * g.n[1]);
      for (const auto& s : steps)
        for (int sign : {1, -1}) {
          const int a = x + sign * s[0], c = y + sign * s[1], d = z + sign * s[2];
          if (a < 0 || c < 0 || d < 0 || a >= g.n[0] || c >= g.n[1] || d >= g.n[2]) continue;
          const int w = g.index(a, c, d);
          if (!seen[size_t(w)] && w != hang && above(w) == up) seen[size_t(w)] = 1, queue.push_back(w);
        }
    }
  }
  return labels;
}

ctree::FlatTree read_tree(const std::string& path) {
  ctree::FlatTree tree;
  ctree::Report report;
  EXPECT_TRUE(ctree::read_multires_tree(path, tree, true, report)) << report.error;
  return tree;
}

}  // namespace

TEST(Regions, raw_series_get_named_int32_volumes_of_their_branches) {
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("series --dim 12 10 8 --bumps 5 --steps 2 --out " + dir.file("s.%02d.raw")).status, 0);
  const auto run = run_orrery("--batch --data " + dir.file("s.%02d.raw") + " --dim 12 10 8 --time 0 1 1 --ct " +
                              dir.file("s.%02d.ctree.ply") + " --regions " + dir.file("r.%02d"));
  ASSERT_EQ(run.status, 0) << run.output;
  for (int t = 0; t < 2; ++t) {
    const std::string name = dir.file("r.0" + std::to_string(t) + "_12x10x8_int32.raw");
    EXPECT_TRUE(has(run.output, "wrote regions " + name)) << run.output;
    const std::string bytes = testutil::read_file(name);
    ASSERT_EQ(bytes.size(), 960u * 4);
    std::vector<std::int32_t> labels(960);
    std::memcpy(labels.data(), bytes.data(), bytes.size());  // little-endian, as this machine
    // The samples as the program read them: big-endian floats.
    const std::string raw = testutil::read_file(dir.file("s.0" + std::to_string(t) + ".raw"));
    Grid g{{12, 10, 8}, {1, 1, 1}, {0, 0, 0}, {}};
    for (size_t i = 0; i < 960; ++i) {
      unsigned char b[4];
      for (int k = 0; k < 4; ++k) b[k] = static_cast<unsigned char>(raw[4 * i + size_t(3 - k)]);
      float f;
      std::memcpy(&f, b, 4);
      g.values.push_back(f);
    }
    const ctree::FlatTree tree = read_tree(dir.file("s.0" + std::to_string(t) + ".ctree.ply"));
    ASSERT_GT(tree.branches.size(), 3u);
    EXPECT_EQ(labels, painted_labels(g, tree)) << "step " << t;
  }
}

TEST(Regions, a_nifti_scan_gets_a_nifti_label_volume_on_its_own_grid) {
  TempDir dir;
  Grid g{{9, 8, 7}, {0.5, 2, 1.25}, {-10, 20, 3.5}, {}};
  std::mt19937 rng(4);
  const int64_t dims[8] = {3, 9, 8, 7, 1, 1, 1, 1};
  nifti_image* nim = nifti_make_new_nim(dims, DT_FLOAT32, 1);
  for (int i = 0; i < 504; ++i) {
    const float v = float(rng() % 1000) / 7.0f;
    static_cast<float*>(nim->data)[i] = v;
    g.values.push_back(v);
  }
  nim->pixdim[1] = nim->dx = 0.5f, nim->pixdim[2] = nim->dy = 2, nim->pixdim[3] = nim->dz = 1.25f;
  nim->sform_code = 1;
  for (int a = 0; a < 3; ++a) nim->sto_xyz.m[a][a] = float(g.spacing[a]), nim->sto_xyz.m[a][3] = float(g.origin[a]);
  nifti_set_filenames(nim, dir.file("scan.nii.gz").c_str(), 0, 1);
  nifti_image_write(nim);
  nifti_image_free(nim);

  const auto run = run_orrery("--batch --data " + dir.file("scan.nii.gz") + " --ct " + dir.file("scan.ctree.ply") +
                              " --regions " + dir.file("labels"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(has(run.output, "wrote regions " + dir.file("labels.nii.gz"))) << run.output;
  nifti_image* back = nifti_image_read(dir.file("labels.nii.gz").c_str(), 1);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->datatype, DT_INT32);
  EXPECT_EQ(back->nx, 9);
  EXPECT_EQ(back->ny, 8);
  EXPECT_EQ(back->nz, 7);
  EXPECT_EQ(back->nvox, 504);
  EXPECT_EQ(back->sform_code, 1);
  for (int a = 0; a < 3; ++a) EXPECT_EQ(back->sto_xyz.m[a][3], g.origin[a]);
  std::vector<std::int32_t> labels(static_cast<std::int32_t*>(back->data),
                                   static_cast<std::int32_t*>(back->data) + 504);
  nifti_image_free(back);
  EXPECT_EQ(labels, painted_labels(g, read_tree(dir.file("scan.ctree.ply"))));
}

TEST(Regions, are_refused_without_a_grid_tree_or_a_place_to_write) {
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("series --dim 6 6 6 --bumps 2 --steps 1 --out " + dir.file("s.%02d.raw")).status, 0);
  const std::string data = "--batch --data " + dir.file("s.00.raw") + " --dim 6 6 6 ";
  const auto no_tree = run_orrery(data + "--regions " + dir.file("r"));
  EXPECT_NE(no_tree.status, 0);
  EXPECT_TRUE(has(no_tree.output, "--regions " + dir.file("r") + " labels the voxels")) << no_tree.output;
  const auto nowhere = run_orrery(data + "--ct " + dir.file("s.ctree.ply") + " --regions " + dir.file("no/such/r"));
  EXPECT_NE(nowhere.status, 0);
  EXPECT_TRUE(has(nowhere.output, dir.file("no/such/r_6x6x6_int32.raw") + ": cannot write")) << nowhere.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("no/such")));
}
