// Contour-tree files: bytes written by hand, round trips of real trees in
// all three formats, malformed files, a bounded fuzz, the tree kept from
// memory against the tree read back, and the one-pass reader against the
// PLY library.
#include "io/tree_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ctree/grid_contour_tree.h"
#include "io/ply.h"
#include "io/tree_rules.h"
#include "io/tree_source.h"
#include "test_util.h"

using namespace ctree;
using testutil::TempDir;

namespace {

const char* header(const char* format, int branches) {
  static std::string h;
  h = std::string("ply\nformat ") + format + " 1.0\nelement branch " + std::to_string(branches) +
      "\nproperty int32 v0\nproperty float64 x0\nproperty float64 y0\nproperty float64 z0\nproperty float64 w0\n"
      "property int32 v1\nproperty float64 x1\nproperty float64 y1\nproperty float64 z1\nproperty float64 w1\n"
      "property float64 persist\nproperty int32 parent\nend_header\n";
  return h.c_str();
}

void put_be_int(std::vector<unsigned char>& v, std::int32_t x) {
  for (int k = 3; k >= 0; --k) v.push_back(static_cast<unsigned char>((std::uint32_t(x) >> (8 * k)) & 0xff));
}
void put_be_double(std::vector<unsigned char>& v, double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, 8);
  for (int k = 7; k >= 0; --k) v.push_back(static_cast<unsigned char>((b >> (8 * k)) & 0xff));
}

// A real contour tree of a small random grid.
struct RealTree {
  GridContourTree t;
  explicit RealTree(unsigned seed) {
    ScalarField3DGrid g;
    g.dim[0] = 9;
    g.dim[1] = 7;
    g.dim[2] = 5;
    std::mt19937 rng(seed);
    g.values.resize(9 * 7 * 5);
    for (double& x : g.values) x = std::uniform_real_distribution<double>(-10, 10)(rng);
    compute_grid_contour_tree(g, t, MergeTreeOptions{});
  }
  FlatTree flat() const { return flatten(t.contour); }
};

std::string dump6(const FlatTree& t) {
  // The dump with values rounded to 6 digits, as ASCII files were once written.
  std::vector<PlyBranch> r;
  get_branches(t, r);
  std::string out;
  char buf[256];
  for (auto& b : r) {
    std::snprintf(buf, sizeof buf, "%d %g %g %g %g %d %g %g %g %g %g %d\n", b.v0, b.x0, b.y0, b.z0, b.w0, b.v1, b.x1,
                  b.y1, b.z1, b.w1, b.persist, b.parent);
    out += buf;
  }
  return out;
}

// The first field in which the branch records of two trees differ, or ""
// when every record is the same, bit for bit.
std::string branch_difference(const FlatTree& x, const FlatTree& y) {
  std::vector<PlyBranch> a, b;
  get_branches(x, a);
  get_branches(y, b);
  if (a.size() != b.size()) return std::to_string(a.size()) + " against " + std::to_string(b.size()) + " branches";
  for (size_t k = 0; k < a.size(); ++k) {
    const double va[9] = {a[k].x0, a[k].y0, a[k].z0, a[k].w0, a[k].x1, a[k].y1, a[k].z1, a[k].w1, a[k].persist};
    const double vb[9] = {b[k].x0, b[k].y0, b[k].z0, b[k].w0, b[k].x1, b[k].y1, b[k].z1, b[k].w1, b[k].persist};
    for (int m = 0; m < 9; ++m)
      if (va[m] != vb[m]) return "branch " + std::to_string(k) + ", value " + std::to_string(m);
    if (a[k].v0 != b[k].v0 || a[k].v1 != b[k].v1 || a[k].parent != b[k].parent)
      return "branch " + std::to_string(k) + ", vertex or parent index";
  }
  return "";
}

// The largest |w1 - w0| over each branch's subtree, by a walk from the
// leaves up (children stand after their parents in a file's order).
std::vector<Real> subtree_persistence(const FlatTree& t) {
  std::vector<Real> p(t.branches.size());
  for (size_t i = 0; i < p.size(); ++i) {
    const FlatBranch& b = t.branches[i];
    p[i] = std::fabs(t.vertices[size_t(b.ends[1])].field - t.vertices[size_t(b.ends[0])].field);
  }
  for (size_t i = p.size(); i-- > 1;) {
    Real& up = p[size_t(t.branches[i].parent)];
    up = std::max(up, p[i]);
  }
  return p;
}

// The calls with a report of their own, for the cases that expect success.
bool write_tree(const std::string& name, WriteFormat f, const FlatTree& t) {
  Report report;
  const bool ok = write_multires_tree(name, f, t, report);
  EXPECT_EQ(report.error, "");
  return ok;
}
bool read_tree(const std::string& name, FlatTree& t) {
  Report report;
  const bool ok = read_multires_tree(name, t, true, report);
  EXPECT_EQ(report.error, "");
  return ok;
}

}  // namespace

TEST(TreeFiles, a_big_endian_file_written_by_hand_reads_back) {
  TempDir dir;
  std::vector<unsigned char> v;
  std::string h = header("binary_big_endian", 2);
  v.assign(h.begin(), h.end());
  // Root 0 -- 3, child 2 -- 1 hanging from it (vertices numbered by value).
  put_be_int(v, 0);
  for (double d : {0.0, 0.0, 0.0, 1.0}) put_be_double(v, d);
  put_be_int(v, 3);
  for (double d : {0.0, 0.0, 1.0, 5.0, 4.0}) put_be_double(v, d);
  put_be_int(v, -1);
  put_be_int(v, 2);
  for (double d : {1.0, 2.0, 0.5, 4.5}) put_be_double(v, d);
  put_be_int(v, 1);
  for (double d : {0.0, 0.0, 0.75, 3.0, 1.5}) put_be_double(v, d);
  put_be_int(v, 0);
  ASSERT_EQ(v.size(), h.size() + 2 * 84u);
  testutil::write_bytes(dir.file("t.ctree.ply"), v);
  FlatTree t;
  ASSERT_TRUE(read_tree(dir.file("t.ctree.ply"), t));
  EXPECT_EQ(t.vertices.size(), 4u);
  ASSERT_EQ(t.branches.size(), 2u);
  const FlatBranch& child = t.branches.back();
  EXPECT_EQ(child.parent, 0);
  EXPECT_EQ(child.persistence, 1.5);
  EXPECT_EQ(t.vertices[2].y, 2.0);
  EXPECT_EQ(t.vertices[1].field, 3.0);
  ASSERT_EQ(t.children(0).size(), 1u);
  EXPECT_EQ(t.children(0)[0], 1);
  ASSERT_EQ(t.attachments(0).size(), 1u);
  EXPECT_EQ(t.attachments(0)[0], 1);
  // The root's box holds both branches: x 0..1, y 0..2, z 0..1.
  EXPECT_EQ(t.root().box.max[1], 2.0);
  EXPECT_EQ(t.root().box.max[2], 1.0);

  // Written back big-endian, the bytes are the ones above.
  ASSERT_TRUE(write_tree(dir.file("again.ctree.ply"), WRITE_BINARY_BIG_ENDIAN, t));
  EXPECT_EQ(testutil::read_file(dir.file("again.ctree.ply")), std::string(v.begin(), v.end()));
}

// Real trees written in every format read back exactly, ASCII too, as
// the finished tree that the computation gives.
TEST(TreeFiles, real_trees_round_trip_in_every_format) {
  TempDir dir;
  for (unsigned seed : {1u, 2u, 3u}) {
    RealTree real(seed);
    const FlatTree copy = real.flat();
    for (WriteFormat f : {WRITE_ASCII, WRITE_BINARY_BIG_ENDIAN, WRITE_BINARY_LITTLE_ENDIAN}) {
      const std::string name = dir.file("t" + std::to_string(int(f)));  // ".ply" gets appended
      ASSERT_TRUE(write_tree(name, f, copy));
      FlatTree back;
      ASSERT_TRUE(read_tree(name + ".ply", back));
      ASSERT_EQ(branch_difference(back, copy), "") << "format " << int(f);
      EXPECT_EQ(back.vertices.size(), 2 * back.branches.size());
      for (size_t b = 0; b < back.branches.size(); ++b) {
        const IndexRange x = back.children(Index(b)), y = copy.children(Index(b));
        ASSERT_TRUE(std::equal(x.begin(), x.end(), y.begin(), y.end())) << "children of " << b;
      }
      // Persistence recomputed from the file's tree is the computed one.
      EXPECT_NEAR(subtree_persistence(back)[0], back.root().persistence,
                  1e-5 * (1 + std::fabs(back.root().persistence)));
    }
  }
}

// A tree of a field with a large offset against its range: the branch ends
// differ only in the last digits. The ASCII file keeps every value, so the
// persistence on each line is still w1 - w0 and the heights stay distinct;
// a file written before with 6 digits still reads, as the rounded values.
TEST(TreeFiles, ascii_keeps_values_that_differ_in_the_last_digits) {
  TempDir dir;
  ScalarField3DGrid g;
  g.dim[0] = g.dim[1] = g.dim[2] = 8;
  std::mt19937 rng(5);
  g.values.resize(8 * 8 * 8);
  for (double& x : g.values) x = double(5000.0f + std::uniform_real_distribution<float>(0, 0.04f)(rng));
  GridContourTree gt;
  ASSERT_TRUE(compute_grid_contour_tree(g, gt, MergeTreeOptions{}));
  const FlatTree tree = flatten(gt.contour);
  ASSERT_GT(tree.branches.size(), 10u);

  ASSERT_TRUE(write_tree(dir.file("offset.ctree.ply"), WRITE_ASCII, tree));
  FlatTree back;
  ASSERT_TRUE(read_tree(dir.file("offset.ctree.ply"), back));
  EXPECT_EQ(branch_difference(back, tree), "");
  std::vector<PlyBranch> b;
  get_branches(back, b);
  std::set<double> fields;
  for (size_t k = 0; k < b.size(); ++k) {
    EXPECT_EQ(b[k].persist, std::fabs(b[k].w1 - b[k].w0)) << "branch " << k;
    fields.insert({b[k].w0, b[k].w1});
  }
  EXPECT_GT(fields.size(), 20u);

  testutil::write_text(dir.file("old.ctree.ply"), header("ascii", int(b.size())) + dump6(tree));
  FlatTree old;
  ASSERT_TRUE(read_tree(dir.file("old.ctree.ply"), old));
  EXPECT_EQ(dump6(old), dump6(tree));
  std::set<double> fields_old;
  for (const Vertex& v : old.vertices) fields_old.insert(v.field);
  EXPECT_LT(fields_old.size(), 10u) << "6 digits of 5000.0xx leave a few values";
}

TEST(TreeFiles, unsound_trees_are_refused) {
  TempDir dir;
  const std::string h = header("ascii", 2);
  struct Case {
    const char* what;
    std::string data;
    const char* says;
  } cases[] = {
      {"later parent", "0 0 0 0 1 1 0 0 0 2 1 1\n2 0 0 0 0 3 0 0 0 1 1 0\n", "parent 1 does not stand before it"},
      {"vertex outside", "0 0 0 0 1 9 0 0 0 2 1 -1\n2 0 0 0 0 3 0 0 0 1 1 0\n", "outside"},
      {"not finite", "0 0 0 0 nan 1 0 0 0 2 1 -1\n2 0 0 0 0 3 0 0 0 1 1 0\n", "not finite"},
      {"two roots", "0 0 0 0 1 1 0 0 0 2 1 -1\n2 0 0 0 0 3 0 0 0 1 1 -1\n", "second root"},
      {"moving vertex", "0 0 0 0 1 1 0 0 0 2 1 -1\n1 5 0 0 2 3 0 0 0 1 1 0\n", "another position"},
  };
  for (const Case& c : cases) {
    testutil::write_text(dir.file("bad.ctree.ply"), h + c.data);
    FlatTree t;
    Report report;
    EXPECT_FALSE(read_multires_tree(dir.file("bad.ctree.ply"), t, true, report)) << c.what;
    EXPECT_EQ(report.error.rfind(dir.file("bad.ctree.ply") + ": branch ", 0), 0u) << report.error;
    EXPECT_NE(report.error.find(c.says), std::string::npos) << c.what << ": " << report.error;
    EXPECT_TRUE(t.branches.empty());
  }
  testutil::write_text(dir.file("nobranch.ply"),
                       "ply\nformat ascii 1.0\nelement vertex 0\nproperty float x\nend_header\n");
  FlatTree t;
  Report report;
  EXPECT_FALSE(read_multires_tree(dir.file("nobranch.ply"), t, true, report));
  EXPECT_EQ(report.error,
            dir.file("nobranch.ply") + ": no \"branch\" element (delete the file to have the tree computed again)");
}

TEST(TreeFiles, a_file_that_cannot_be_created_is_reported_and_nothing_half_written_stays) {
  TempDir dir;
  const FlatTree real = RealTree(4).flat();
  Report report;
  EXPECT_FALSE(write_multires_tree(dir.file("no/such/folder/t.ctree.ply"), WRITE_ASCII, real, report));
  EXPECT_NE(report.error.find("cannot create"), std::string::npos);
  ASSERT_TRUE(write_tree(dir.file("t.ctree.ply"), WRITE_ASCII, real));
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u) << "no temporary file is left beside the tree";
}

// A write that fails in the middle (here the file-size limit, in a child
// process) reports the failure and leaves the tree file that was there
// before, whole, and no temporary beside it.
TEST(TreeFiles, a_write_that_fails_midway_keeps_the_old_file) {
  TempDir dir;
  const std::string name = dir.file("t.ctree.ply");
  ASSERT_TRUE(write_tree(name, WRITE_ASCII, RealTree(1).flat()));
  const std::string before = testutil::read_file(name);
  const FlatTree bigger = RealTree(5).flat();
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{2048, 2048};
    setrlimit(RLIMIT_FSIZE, &limit);
    Report report;
    const bool wrote = write_multires_tree(name, WRITE_ASCII, bigger, report);
    _exit(wrote ? 1 : report.error.find(name) == 0 ? 0 : 2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported as written, 2: the error does not name the file";
  EXPECT_EQ(testutil::read_file(name), before);
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u) << "no temporary file is left beside the tree";
}

// Random damage to valid files: every read either succeeds or fails with a
// message, never crashes (the sanitizer build checks the memory accesses).
TEST(TreeFiles, damaged_files_are_read_or_refused) {
  TempDir dir;
  const FlatTree real = RealTree(5).flat();
  std::mt19937 rng(17);
  int refused = 0, read = 0;
  for (WriteFormat f : {WRITE_ASCII, WRITE_BINARY_LITTLE_ENDIAN}) {
    ASSERT_TRUE(write_tree(dir.file("good.ply"), f, real));
    const std::string good = testutil::read_file(dir.file("good.ply"));
    for (int trial = 0; trial < 600; ++trial) {
      std::string bad = good;
      switch (trial % 3) {
        case 0: bad.resize(rng() % bad.size()); break;
        case 1:
          for (int k = 0; k < 4; ++k) bad[rng() % bad.size()] = char(rng());
          break;
        default: {
          size_t p = bad.find("branch ") + 7;
          bad.replace(p, bad.find('\n', p) - p, std::to_string(int(rng() % 100000) - 10));
        }
      }
      testutil::write_text(dir.file("bad.ply"), bad);
      FlatTree t;
      Report report;
      testing::internal::CaptureStdout();
      bool ok = read_multires_tree(dir.file("bad.ply"), t, true, report);
      testing::internal::GetCapturedStdout();
      const std::string& err = report.error;
      if (ok) {
        ++read;
        EXPECT_EQ(t.vertices.size(), 2 * t.branches.size());
        EXPECT_EQ(check_flat_tree(t).find("does not stand"), std::string::npos);
      } else {
        ++refused;
        EXPECT_FALSE(err.empty()) << "refused without a message";
      }
    }
  }
  EXPECT_GT(refused, 100);
  EXPECT_GT(read, 0);
}

namespace {

// Two finished trees alike in every stored bit: vertex slots, branches,
// boxes and the rows that finish() builds.
std::string tree_difference(const FlatTree& x, const FlatTree& y) {
  if (x.vertices.size() != y.vertices.size()) return "vertex slot counts";
  for (size_t v = 0; v < x.vertices.size(); ++v)
    if (std::memcmp(&x.vertices[v], &y.vertices[v], sizeof(Vertex)) != 0) return "vertex " + std::to_string(v);
  if (x.branches.size() != y.branches.size()) return "branch counts";
  for (size_t b = 0; b < x.branches.size(); ++b) {
    const FlatBranch &p = x.branches[b], &q = y.branches[b];
    if (p.ends[0] != q.ends[0] || p.ends[1] != q.ends[1] || p.parent != q.parent ||
        std::memcmp(&p.persistence, &q.persistence, sizeof(Real)) != 0 || std::memcmp(&p.box, &q.box, sizeof(Box)) != 0)
      return "branch " + std::to_string(b);
    const IndexRange c = x.children(Index(b)), d = y.children(Index(b));
    const IndexRange e = x.attachments(Index(b)), f = y.attachments(Index(b));
    if (!std::equal(c.begin(), c.end(), d.begin(), d.end()) || !std::equal(e.begin(), e.end(), f.begin(), f.end()))
      return "rows of branch " + std::to_string(b);
  }
  for (size_t v = 0; v < x.vertices.size(); ++v) {
    const IndexRange c = x.endsAt(Index(v)), d = y.endsAt(Index(v));
    if (!std::equal(c.begin(), c.end(), d.begin(), d.end())) return "ends at vertex " + std::to_string(v);
  }
  return "";
}

// The reader as the PLY library alone would read a file: every value
// through get_element_ply, no shortcut; then the same checks.
bool library_read(const std::string& name, FlatTree& t, std::string& error) {
  PlyFile* ply = ply_open_for_reading(name, error);
  if (!ply) return false;
  std::int64_t count = 0;
  std::vector<PlyProperty> props;
  std::vector<PlyBranch> records;
  bool ok = !ply->failed() && get_element_description_ply(ply, "branch", count, props) &&
            seek_element_ply(ply, "branch");
  if (ok) {
    // The same property table as the writer's, built from the records' layout.
    std::vector<PlyProperty> wanted;
    const char* names[12] = {"v0", "x0", "y0", "z0", "w0", "v1", "x1", "y1", "z1", "w1", "persist", "parent"};
    const size_t offsets[12] = {offsetof(PlyBranch, v0), offsetof(PlyBranch, x0),      offsetof(PlyBranch, y0),
                                offsetof(PlyBranch, z0), offsetof(PlyBranch, w0),      offsetof(PlyBranch, v1),
                                offsetof(PlyBranch, x1), offsetof(PlyBranch, y1),      offsetof(PlyBranch, z1),
                                offsetof(PlyBranch, w1), offsetof(PlyBranch, persist), offsetof(PlyBranch, parent)};
    for (int k = 0; k < 12; ++k) {
      PlyProperty p;
      p.name = names[k];
      p.file_type = p.memory_type = (k == 0 || k == 5 || k == 11) ? PLY_INT32 : PLY_FLOAT64;
      p.offset = int(offsets[k]);
      wanted.push_back(p);
    }
    ok = get_element_setup_ply(ply, "branch", wanted);
    records.resize(size_t(ok ? count : 0));
    for (PlyBranch& r : records) ok = ok && get_element_ply(ply, &r);
  }
  TreeSource recorded;
  bool has_record = false;
  std::string record_error;
  ok = ok && read_source_record(ply->comments, recorded, has_record, record_error);
  error = ply->error.empty() ? record_error : ply->error;
  delete ply;
  if (!ok) return false;
  error = build_flat_tree(records, true, has_record ? &recorded : nullptr, nullptr, t);
  if (!error.empty()) t = FlatTree();
  return error.empty();
}

// Trees with values whose text is long or unusual: ties, tiny and huge
// magnitudes, negative zero, values that differ in the last bit.
FlatTree awkward_tree(unsigned seed) {
  ScalarField3DGrid g;
  g.dim[0] = 6;
  g.dim[1] = 5;
  g.dim[2] = 4;
  g.spacing[0] = 0.1;
  g.spacing[1] = 1e-7;
  g.spacing[2] = 3.0e12;
  g.origin[0] = -0.0;
  g.origin[1] = 1.0 / 3;
  g.origin[2] = -7e-300;
  std::mt19937 rng(seed);
  g.values.resize(6 * 5 * 4);
  const double base[] = {0.1, 0.2, 0.30000000000000004, -0.0, 1e-310, 5e307, 1.0 / 3, 2.0 / 3, 1, 1};
  for (double& x : g.values) x = base[rng() % 10] * (rng() % 2 ? 1 : -1) + (rng() % 3 ? 0.0 : std::ldexp(1.0, -40));
  GridContourTree t;
  compute_grid_contour_tree(g, t, MergeTreeOptions{});
  return flatten(t.contour);
}

}  // namespace

// The tree in use after writing is taken from memory: it must be, bit for
// bit, the tree that reading the file back gives, in every format.
TEST(TreeFiles, the_tree_kept_from_memory_is_the_tree_read_back) {
  TempDir dir;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    const FlatTree tree = seed % 2 ? RealTree(seed).flat() : awkward_tree(seed);
    for (WriteFormat f : {WRITE_ASCII, WRITE_BINARY_BIG_ENDIAN, WRITE_BINARY_LITTLE_ENDIAN}) {
      const std::string name = dir.file("kept.ctree.ply");
      ASSERT_TRUE(write_tree(name, f, tree));
      FlatTree back, kept;
      ASSERT_TRUE(read_tree(name, back));
      Report report;
      ASSERT_TRUE(tree_as_stored(name, f, tree, true, kept, report)) << report.error;
      ASSERT_EQ(tree_difference(kept, back), "") << "seed " << seed << ", format " << int(f);
    }
  }
  // A name the writer completes is not the name written: no tree is made up.
  const FlatTree tree = RealTree(3).flat();
  FlatTree kept;
  Report report;
  EXPECT_FALSE(tree_as_stored(dir.file("kept.ctree"), WRITE_ASCII, tree, true, kept, report));
  EXPECT_FALSE(report.failed());
  EXPECT_TRUE(kept.branches.empty());
  // A tree the files cannot hold is refused as a read of it would be.
  FlatTree broken = tree;
  broken.branches[1].parent = 5;
  ASSERT_TRUE(write_tree(dir.file("broken.ply"), WRITE_ASCII, broken));
  FlatTree t;
  Report read;
  EXPECT_FALSE(read_multires_tree(dir.file("broken.ply"), t, true, read));
  EXPECT_FALSE(tree_as_stored(dir.file("broken.ply"), WRITE_ASCII, broken, true, kept, report));
  EXPECT_EQ(report.error, read.error);
}

// With the grid's source record in the header and the reader's check
// against the loaded data, the tree kept from memory is still the tree
// read back, and a mismatch is refused with the read's very message.
TEST(TreeFiles, the_tree_kept_from_memory_is_checked_against_the_data_as_a_read_is) {
  TempDir dir;
  ScalarField3DGrid g;
  g.dim[0] = 9;
  g.dim[1] = 7;
  g.dim[2] = 5;
  std::mt19937 rng(11);
  g.values.resize(9 * 7 * 5);
  for (double& x : g.values) x = std::uniform_real_distribution<double>(-10, 10)(rng);
  GridContourTree computed;
  ASSERT_TRUE(compute_grid_contour_tree(g, computed, MergeTreeOptions{}));
  const FlatTree tree = flatten(computed.contour);
  TreeDataCheck data;
  data.source = grid_source(g, "float");
  data.grid = &g;
  data.bounds = Box::at(0, 0, 0);
  data.bounds.add(8, 6, 4);
  for (int trial = 0; trial < 3; ++trial) {
    TreeDataCheck check = data;
    if (trial == 1) check.source.sum ^= 1;    // another field's record
    if (trial == 2) check.bounds.max[0] = 3;  // positions outside the data
    const std::string name = dir.file("checked" + std::to_string(trial) + ".ctree.ply");
    Report written;
    ASSERT_TRUE(write_multires_tree(name, WRITE_ASCII, tree, written, &data.source));
    FlatTree back, kept;
    Report read, stored;
    const bool ok = read_multires_tree(name, back, true, read, no_progress(), &check);
    const bool made = tree_as_stored(name, WRITE_ASCII, tree, true, kept, stored, &data.source, &check);
    ASSERT_EQ(ok, made) << "trial " << trial << ": " << read.error << " / " << stored.error;
    EXPECT_EQ(ok, trial == 0);
    if (ok)
      EXPECT_EQ(tree_difference(kept, back), "");
    else
      EXPECT_EQ(stored.error, read.error);
  }
}

// The reader's one-pass parse of plainly written files against the PLY
// library reading every value: the same tree or the same refusal, on
// files written whole and on damaged ones (blanks and tabs moved, digits
// changed, lines cut, signs added, numbers out of range).
TEST(TreeFiles, the_one_pass_reader_agrees_with_the_library) {
  TempDir dir;
  std::mt19937 rng(23);
  int same_tree = 0, same_refusal = 0;
  for (unsigned seed = 1; seed <= 6; ++seed) {
    const FlatTree tree = seed % 2 ? RealTree(seed).flat() : awkward_tree(seed);
    for (WriteFormat f : {WRITE_ASCII, WRITE_BINARY_LITTLE_ENDIAN, WRITE_BINARY_BIG_ENDIAN}) {
      ASSERT_TRUE(write_tree(dir.file("good.ply"), f, tree));
      const std::string good = testutil::read_file(dir.file("good.ply"));
      const size_t data = good.find("end_header\n") + 11;
      for (int trial = 0; trial < 100; ++trial) {
        std::string bad = good;
        const size_t at = data + rng() % (bad.size() - data);
        const char* inserts[] = {" ", "\t", "\r", "+",           "-",     "0",   "9",
                                 "e", ".",  "\n", "99999999999", "1e999", "nan", "x"};
        switch (trial % 4) {
          case 0: break;  // the file as written
          case 1: bad.insert(at, inserts[rng() % 14]); break;
          case 2: bad.erase(at, 1 + rng() % 3); break;
          default: bad[at] = char(rng());
        }
        testutil::write_text(dir.file("bad.ply"), bad);
        FlatTree fast, slow;
        Report report;
        std::string error;
        const bool ok = read_multires_tree(dir.file("bad.ply"), fast, true, report);
        const bool lib = library_read(dir.file("bad.ply"), slow, error);
        ASSERT_EQ(ok, lib) << report.error << " / " << error;
        if (ok) {
          ASSERT_EQ(tree_difference(fast, slow), "") << "format " << int(f) << ", trial " << trial;
          ++same_tree;
        } else {
          ++same_refusal;
          EXPECT_NE(report.error.find(error.substr(error.find(':') + 1)), std::string::npos)
              << report.error << " / " << error;
        }
      }
    }
  }
  EXPECT_GT(same_tree, 300);
  EXPECT_GT(same_refusal, 150);
}

namespace {

// A tree of random shape and random numbers (no tree rules hold: the
// writer formats whatever it is given), large enough that every worker
// count formats several rounds of records and ends on a partial one.
FlatTree random_records(std::uint32_t seed, size_t branches) {
  std::mt19937 rng(seed);
  FlatTree t;
  t.vertices.resize(branches + 1);
  std::uniform_int_distribution<int> kind(0, 4);
  auto number = [&]() -> double {
    switch (kind(rng)) {
      case 0: return double(std::uniform_int_distribution<int>(-1000, 1000)(rng));
      case 1: return std::uniform_real_distribution<double>(-1, 1)(rng);
      case 2: return std::ldexp(std::uniform_real_distribution<double>(1, 2)(rng), int(rng() % 600) - 300);
      case 3: return -0.0;
      default: return std::uniform_real_distribution<double>(-1e6, 1e6)(rng) / 3.0;
    }
  };
  for (Vertex& v : t.vertices) v = Vertex{number(), number(), number(), number()};
  t.branches.resize(branches);
  std::uniform_int_distribution<Index> vertex(0, Index(branches));
  for (size_t b = 0; b < branches; ++b) {
    FlatBranch& f = t.branches[b];
    f.ends[0] = vertex(rng);
    f.ends[1] = vertex(rng);
    f.parent = b == 0 ? NULL_INDEX : Index(rng() % b);
    f.persistence = number();
  }
  return t;
}

// The file as the PLY library writes it, one record at a time.
std::string written_by_library(const std::string& name, WriteFormat f, const FlatTree& t, const TreeSource& source) {
  const int type = f == WRITE_ASCII ? PLY_ASCII : f == WRITE_BINARY_BIG_ENDIAN ? PLY_BINARY_BE : PLY_BINARY_LE;
  std::string error;
  PlyFile* ply = open_for_writing_ply(name, {"branch"}, type, error);
  EXPECT_NE(ply, nullptr) << error;
  if (!ply) return "";
  ply->comments.push_back(source_comment(source));
  describe_element_ply(ply, "branch", std::int64_t(t.branches.size()));
  const char* names[12] = {"v0", "x0", "y0", "z0", "w0", "v1", "x1", "y1", "z1", "w1", "persist", "parent"};
  const size_t offsets[12] = {offsetof(PlyBranch, v0), offsetof(PlyBranch, x0),      offsetof(PlyBranch, y0),
                              offsetof(PlyBranch, z0), offsetof(PlyBranch, w0),      offsetof(PlyBranch, v1),
                              offsetof(PlyBranch, x1), offsetof(PlyBranch, y1),      offsetof(PlyBranch, z1),
                              offsetof(PlyBranch, w1), offsetof(PlyBranch, persist), offsetof(PlyBranch, parent)};
  for (int k = 0; k < 12; ++k) {
    PlyProperty p;
    p.name = names[k];
    p.file_type = p.memory_type = (k == 0 || k == 5 || k == 11) ? PLY_INT32 : PLY_FLOAT64;
    p.offset = int(offsets[k]);
    describe_property_ply(ply, p);
  }
  header_complete_ply(ply);
  put_element_setup_ply(ply, "branch");
  std::vector<PlyBranch> records;
  get_branches(t, records);
  for (const PlyBranch& r : records) put_element_ply(ply, &r);
  EXPECT_TRUE(close_ply(ply, error)) << error;
  return testutil::read_file(name);
}

}  // namespace

// Workers format runs of records side by side: the file is the same bytes
// for every worker count, and the same bytes the library writes record by
// record. Counts around the run length catch a record lost or doubled at
// the seams between workers and rounds.
TEST(TreeFiles, every_worker_count_writes_the_bytes_the_library_writes) {
  TempDir dir;
  TreeSource source;
  source.type = "float";
  source.size[0] = source.size[1] = source.size[2] = 4;
  // Seven workers take 7 * 8192 records a round: the largest count runs two
  // rounds on every worker count (in ASCII, where records vary in length).
  const size_t counts[] = {0, 1, 8191, 8193, 3 * 8192 + 5, 60001};
  for (size_t n : counts) {
    const FlatTree t = random_records(std::uint32_t(n) + 7, n);
    for (WriteFormat f : {WRITE_ASCII, WRITE_BINARY_BIG_ENDIAN, WRITE_BINARY_LITTLE_ENDIAN}) {
      if (n > 30000 && f != WRITE_ASCII) continue;
      const std::string expected = written_by_library(dir.file("lib.ply"), f, t, source);
      ASSERT_FALSE(expected.empty());
      for (unsigned threads : {1u, 2u, 3u, 7u}) {
        Report report;
        const std::string name = dir.file("t" + std::to_string(threads) + ".ply");
        ASSERT_TRUE(write_multires_tree(name, f, t, report, &source, threads)) << report.error;
        EXPECT_TRUE(testutil::read_file(name) == expected)
            << n << " branches, format " << int(f) << ", " << threads << " threads";
      }
    }
  }
}

// With several workers a write that fails midway still reports it and
// leaves the old file whole (the workers' runs are all written or none).
TEST(TreeFiles, a_write_on_several_workers_that_fails_midway_keeps_the_old_file) {
  TempDir dir;
  const std::string name = dir.file("t.ctree.ply");
  ASSERT_TRUE(write_tree(name, WRITE_ASCII, RealTree(1).flat()));
  const std::string before = testutil::read_file(name);
  const FlatTree bigger = random_records(3, 50000);
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{1 << 20, 1 << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    Report report;
    const bool wrote = write_multires_tree(name, WRITE_ASCII, bigger, report, nullptr, 3);
    _exit(wrote ? 1 : report.error.find(name) == 0 ? 0 : 2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported as written, 2: the error does not name the file";
  EXPECT_EQ(testutil::read_file(name), before);
}
