// Volumes given in their formats, as a user runs them: the same voxels as
// NIfTI, NRRD, named raw and plain raw give the same tree apart from
// positions, and sizes, ranges and names that cannot work are refused
// before anything is allocated or written.
#include <gtest/gtest.h>

#include <nifti2_io.h>
#include <teem/nrrd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "core/progress.h"
#include "ctree/flat_tree.h"
#include "io/tree_files.h"
#include "test_util.h"

using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

const int NX = 20, NY = 18, NZ = 16;
const double SPACING[3] = {0.5, 2, 1.25}, ORIGIN[3] = {-10, 20, 3.5};

std::vector<float> read_floats(const std::string& path) {
  const std::string bytes = testutil::read_file(path);
  std::vector<float> v(bytes.size() / 4);
  std::memcpy(v.data(), bytes.data(), v.size() * 4);
  return v;
}

void write_nifti(const std::string& path, const std::vector<float>& v, int volumes = 1) {
  const int64_t dims[8] = {volumes > 1 ? 4 : 3, NX, NY, NZ, volumes, 1, 1, 1};
  nifti_image* nim = nifti_make_new_nim(dims, DT_FLOAT32, 1);
  for (int t = 0; t < volumes; ++t)
    for (size_t i = 0; i < v.size(); ++i)
      static_cast<float*>(nim->data)[size_t(t) * v.size() + i] = v[i] * float(1 << t);
  nim->pixdim[1] = nim->dx = SPACING[0];
  nim->pixdim[2] = nim->dy = SPACING[1];
  nim->pixdim[3] = nim->dz = SPACING[2];
  nim->sform_code = 1;
  for (int a = 0; a < 3; ++a) nim->sto_xyz.m[a][3] = ORIGIN[a];
  nifti_set_filenames(nim, path.c_str(), 0, 1);
  nifti_image_write(nim);
  nifti_image_free(nim);
}

void write_nrrd(const std::string& path, std::vector<float> v) {
  Nrrd* n = nrrdNew();
  nrrdWrap_va(n, v.data(), nrrdTypeFloat, 3, size_t(NX), size_t(NY), size_t(NZ));
  nrrdSpaceSet(n, nrrdSpaceRightAnteriorSuperior);
  const double dirs[3][NRRD_SPACE_DIM_MAX] = {{SPACING[0], 0, 0}, {0, SPACING[1], 0}, {0, 0, SPACING[2]}};
  nrrdAxisInfoSet_va(n, nrrdAxisInfoSpaceDirection, dirs[0], dirs[1], dirs[2]);
  nrrdSpaceOriginSet(n, ORIGIN);
  NrrdIoState* io = nrrdIoStateNew();
  io->encoding = nrrdEncodingGzip;
  nrrdSave(path.c_str(), n, io);
  nrrdIoStateNix(io);
  nrrdNix(n);
}

ctree::FlatTree tree_of(const std::string& path) {
  ctree::FlatTree t;
  ctree::Report report;
  EXPECT_TRUE(ctree::read_multires_tree(path, t, true, report, ctree::no_progress())) << report.error;
  return t;
}

// Same branches, vertex indices, values and persistence; positions of b
// are those of a (unit grid) moved by the spacing and origin.
void expect_same_tree(const ctree::FlatTree& a, const ctree::FlatTree& b, const double* spacing, const double* origin,
                      const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_FALSE(a.empty());
  ASSERT_EQ(a.branches.size(), b.branches.size());
  for (size_t i = 0; i < a.branches.size(); ++i) {
    ASSERT_EQ(a.branches[i].ends[0], b.branches[i].ends[0]) << i;
    ASSERT_EQ(a.branches[i].ends[1], b.branches[i].ends[1]) << i;
    ASSERT_EQ(a.branches[i].parent, b.branches[i].parent) << i;
    ASSERT_EQ(a.branches[i].persistence, b.branches[i].persistence) << i;
  }
  ASSERT_EQ(a.vertices.size(), b.vertices.size());
  for (size_t v = 0; v < a.vertices.size(); ++v) {
    if (!a.used(ctree::Index(v))) continue;
    const ctree::Vertex &p = a.vertices[v], &q = b.vertices[v];
    ASSERT_EQ(p.field, q.field) << v;
    ASSERT_DOUBLE_EQ(q.x, origin[0] + spacing[0] * p.x) << v;
    ASSERT_DOUBLE_EQ(q.y, origin[1] + spacing[1] * p.y) << v;
    ASSERT_DOUBLE_EQ(q.z, origin[2] + spacing[2] * p.z) << v;
  }
}

}  // namespace

TEST(VolumeInput, the_same_voxels_in_every_format_give_the_same_tree_apart_from_positions) {
  TempDir dir;
  const std::string raw = dir.file("plain.raw");
  ASSERT_EQ(testutil::run_gen("volume --dim 20 18 16 --type float --endian little --bumps 6 --out " + raw).status, 0);
  const std::vector<float> v = read_floats(raw);
  ASSERT_EQ(v.size(), size_t(NX) * NY * NZ);
  write_nifti(dir.file("v.nii.gz"), v);
  write_nrrd(dir.file("v.nrrd"), v);
  std::filesystem::copy_file(raw, dir.file("v_20x18x16_float32.raw"));

  auto run = [&](const std::string& data, const std::string& extra, const std::string& ct) {
    const auto r = run_orrery("--batch --data " + data + " " + extra + " --ct " + dir.file(ct) + " --ctl " +
                              dir.file(ct + "l.ply"));
    EXPECT_EQ(r.status, 0) << r.output;
    return r;
  };
  const double unit[3] = {1, 1, 1}, zero[3] = {0, 0, 0};
  run(raw, "--dim 20 18 16 --swapbyte 0", "unit.ply");
  const auto nifti = run(dir.file("v.nii.gz"), "", "nifti.ply");
  EXPECT_TRUE(has(nifti.output, "NIfTI, 20 x 18 x 16 float32, spacing 0.5 2 1.25, origin -10 20 3.5")) << nifti.output;
  EXPECT_TRUE(has(nifti.output, "Model box x1(-10.000000 20.000000 3.500000) x2(0.000000 56.000000 23.500000)"))
      << nifti.output;
  run(dir.file("v.nrrd"), "", "nrrd.ply");
  run(dir.file("v_20x18x16_float32.raw"), "", "named.ply");
  run(raw, "--dim 20 18 16 --swapbyte 0 --spacing 0.5 2 1.25 --origin -10 20 3.5", "spaced.ply");

  const ctree::FlatTree unit_tree = tree_of(dir.file("unit.ply"));
  expect_same_tree(unit_tree, tree_of(dir.file("nifti.ply")), SPACING, ORIGIN, "NIfTI");
  expect_same_tree(unit_tree, tree_of(dir.file("nrrd.ply")), SPACING, ORIGIN, "NRRD");
  expect_same_tree(unit_tree, tree_of(dir.file("named.ply")), unit, zero, "named raw");
  expect_same_tree(unit_tree, tree_of(dir.file("spaced.ply")), SPACING, ORIGIN, "raw with --spacing");
  // The laid-out tree is computed from the tree alone: the same file.
  EXPECT_EQ(testutil::read_file(dir.file("unit.plyl.ply")), testutil::read_file(dir.file("nifti.plyl.ply")));
}

// Tree files record the element type the file stores: the tree of a uint8
// scan given by its header is the tree of the same bytes given as raw with
// --datatype uchar, and is read, not refused, by that run.
TEST(VolumeInput, a_tree_file_serves_the_same_voxels_in_another_format) {
  TempDir dir;
  std::vector<unsigned char> bytes(size_t(NX) * NY * NZ);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
  testutil::write_bytes(dir.file("u_20x18x16_uint8.raw"), bytes);
  testutil::write_bytes(dir.file("u.raw"), bytes);
  auto r = run_orrery("--batch --data " + dir.file("u_20x18x16_uint8.raw") + " --ct " + dir.file("u.ctree.ply"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(has(testutil::read_file(dir.file("u.ctree.ply")), "comment orrery source grid 20 18 16 uchar "));
  r = run_orrery("--batch --data " + dir.file("u.raw") + " --dim 20 18 16 --datatype uchar --ct " +
                 dir.file("u.ctree.ply"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(has(r.output, "reading ctree")) << r.output;
}

// The tree of a uint8 NIfTI scan, placed by its header, given the same
// bytes as raw: the run says where the file's tree lies and where its data
// does; with that origin and spacing the file serves the raw run.
TEST(VolumeInput, a_scans_tree_given_the_same_bytes_as_raw_names_the_placement) {
  TempDir dir;
  std::vector<unsigned char> bytes(size_t(NX) * NY * NZ);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
  testutil::write_bytes(dir.file("u.raw"), bytes);
  const int64_t dims[8] = {3, NX, NY, NZ, 1, 1, 1, 1};
  nifti_image* nim = nifti_make_new_nim(dims, DT_UINT8, 1);
  std::memcpy(nim->data, bytes.data(), bytes.size());
  nim->pixdim[1] = nim->dx = SPACING[0];
  nim->pixdim[2] = nim->dy = SPACING[1];
  nim->pixdim[3] = nim->dz = SPACING[2];
  nim->sform_code = 1;
  for (int a = 0; a < 3; ++a) nim->sto_xyz.m[a][3] = ORIGIN[a];
  nifti_set_filenames(nim, dir.file("u.nii").c_str(), 0, 1);
  nifti_image_write(nim);
  nifti_image_free(nim);
  auto r = run_orrery("--batch --data " + dir.file("u.nii") + " --ct " + dir.file("u.ctree.ply"));
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string raw = "--batch --data " + dir.file("u.raw") + " --dim 20 18 16 --datatype uchar --ct " +
                          dir.file("u.ctree.ply");
  r = run_orrery(raw);
  EXPECT_NE(r.status, 0) << r.output;
  EXPECT_TRUE(has(r.output,
                  "the tree is of these samples placed at origin -10 20 3.5 with spacing 0.5 2 1.25, the "
                  "data loaded lies at origin 0 0 0 with spacing 1 1 1"))
      << r.output;
  r = run_orrery(raw + " --origin -10 20 3.5 --spacing 0.5 2 1.25");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(has(r.output, "reading ctree")) << r.output;
}

TEST(VolumeInput, a_4d_nifti_is_a_time_series_whose_volumes_the_range_picks) {
  TempDir dir;
  const std::string raw = dir.file("plain.raw");
  ASSERT_EQ(testutil::run_gen("volume --dim 20 18 16 --type float --endian little --bumps 3 --out " + raw).status, 0);
  write_nifti(dir.file("s.nii"), read_floats(raw), 3);
  auto r = run_orrery("--batch --data " + dir.file("s.nii") + " --time 0 2 1 --ct " + dir.file("s.%d.ctree.ply"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(has(r.output, "3 volumes")) << r.output;
  EXPECT_TRUE(has(r.output, "step 2: 5760 vertices")) << r.output;
  // Volume t is the first one times 2^t (exact in floats): the same tree, values scaled.
  const ctree::FlatTree first = tree_of(dir.file("s.0.ctree.ply")), third = tree_of(dir.file("s.2.ctree.ply"));
  ASSERT_EQ(first.branches.size(), third.branches.size());
  for (size_t i = 0; i < first.branches.size(); ++i) {
    const ctree::Index e = first.branches[i].ends[0];
    ASSERT_EQ(e, third.branches[i].ends[0]);
    ASSERT_EQ(third.vertices[size_t(e)].field, 4 * first.vertices[size_t(e)].field);
  }
  r = run_orrery("--batch --data " + dir.file("s.nii") + " --time 1 3 1");
  EXPECT_EQ(r.status, 255);
  EXPECT_TRUE(has(r.output, "holds volumes 0 to 2")) << r.output;
}

TEST(VolumeInput, disagreeing_options_and_broken_files_are_refused_and_nothing_is_written) {
  TempDir dir;
  const std::string raw = dir.file("plain.raw");
  ASSERT_EQ(testutil::run_gen("volume --dim 20 18 16 --type float --endian little --out " + raw).status, 0);
  write_nifti(dir.file("v.nii"), read_floats(raw));
  const std::string ct = " --ct " + dir.file("t.ctree.ply");
  auto r = run_orrery("--batch --data " + dir.file("v.nii") + " --dim 64 64 64" + ct);
  EXPECT_EQ(r.status, 255);
  EXPECT_TRUE(has(r.output, "--dim 64 64 64 disagrees with " + dir.file("v.nii") + ": its header says 20 18 16"))
      << r.output;
  std::filesystem::resize_file(dir.file("v.nii"), 1000);
  r = run_orrery("--batch --data " + dir.file("v.nii") + ct);
  EXPECT_EQ(r.status, 255);
  EXPECT_TRUE(has(r.output, dir.file("v.nii") + ": the file holds 1000 bytes")) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.ctree.ply")));
}

// Sizes whose product wraps, paths that are not files, ranges that
// overflow, and names that cannot be told apart or formatted.
TEST(VolumeInput, sizes_paths_ranges_and_names_that_cannot_work_are_refused) {
  TempDir dir;
  testutil::write_bytes(dir.file("f16.raw"), std::vector<unsigned char>(16, 1));
  testutil::write_bytes(dir.file("s.0.raw"), std::vector<unsigned char>(32, 1));
  struct Case {
    std::string args, says;
  } cases[] = {
      {"--data " + dir.file("f16.raw") + " --dim 16 1073741824 1073741824", "--dim 16 1073741824 1073741824"},
      {"--data /dev/null --dim 1290 1290 1290", "/dev/null is a character device"},
      {"--data " + dir.path() + " --dim 2 2 2", "is a directory"},
      {"--data " + dir.file("s.%d.raw") + " --dim 2 2 2 --time 0 2147483647 1", "at most 100000 steps"},
      {"--data " + dir.file("f16.raw") + " --dim 2 2 2 --datatype short --time 0 100 1", "names one file"},
      {"--data " + dir.file("f16.raw") + " --dim 2 2 2 --datatype short --ct s.ply --ctl s.ply", "--ct and --ctl"},
      {"--data " + dir.file("f16.raw") + " --dim 2 2 2 --datatype short --ct %99999d.ply", "a file name has at most"},
      {"--data " + dir.file("f16.raw") + " --dim 2 2 2 --spacing 1 0 1", "--spacing value \"0\""},
      {"--data " + dir.file("t.ply") + " --spacing 1 2 1", "--spacing and --origin place grids"},
  };
  for (const Case& c : cases) {
    const auto r = run_orrery("--batch " + c.args);
    EXPECT_EQ(r.status, 255) << c.args << "\n" << r.output;
    EXPECT_TRUE(has(r.output, c.says)) << c.args << "\n" << r.output;
    EXPECT_LT(r.output.size(), 2000u) << c.args;
    EXPECT_FALSE(has(r.output, "Reading field values")) << c.args << "\n" << r.output;
  }
  const auto ok = run_orrery("--batch --data " + dir.file("s.%d.raw") + " --dim 2 2 2 --time 0 0 5");
  EXPECT_EQ(ok.status, 0) << ok.output;
}
