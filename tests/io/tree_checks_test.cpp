// What the tree-file reader checks beyond the format: the rules every
// contour tree keeps (each broken once in a file written by hand, and a
// few thousand mutated files whose accepted ones are checked again here by
// a plain scan), the source record that ties a file to its data, and the
// removal of temporaries left by killed writers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <random>
#include <sstream>

#include "core/whole_file.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/mesh_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "ctree/simplified_tree.h"
#include "fields/extrema.h"
#include "io/tree_files.h"
#include "io/tree_source.h"
#include "layout/orrery_layout.h"
#include "test_util.h"

using namespace ctree;
using testutil::TempDir;

namespace {

const char* const HINT = "(delete the file to have the tree computed again)";

std::string header(int branches, const std::string& comment = "") {
  return "ply\nformat ascii 1.0\n" + comment + "element branch " + std::to_string(branches) +
         "\nproperty int32 v0\nproperty float64 x0\nproperty float64 y0\nproperty float64 z0\nproperty float64 w0\n"
         "property int32 v1\nproperty float64 x1\nproperty float64 y1\nproperty float64 z1\nproperty float64 w1\n"
         "property float64 persist\nproperty int32 parent\nend_header\n";
}

ScalarField3DGrid random_grid(unsigned seed, Size x, Size y, Size z, int levels) {
  ScalarField3DGrid g;
  g.dim[0] = x, g.dim[1] = y, g.dim[2] = z;
  std::mt19937 rng(seed);
  for (Size i = 0; i < x * y * z; ++i)
    g.values.push_back(levels ? double(rng() % unsigned(levels)) : std::uniform_real_distribution<double>(-5, 5)(rng));
  return g;
}

FlatTree tree_of(const ScalarField3DGrid& g) {
  GridContourTree c;
  EXPECT_TRUE(compute_grid_contour_tree(g, c, MergeTreeOptions{}));
  return flatten(c.contour);
}

TreeDataCheck check_of(const ScalarField3DGrid& g, const std::string& type = "float") {
  TreeDataCheck c;
  c.source = grid_source(g, type);
  c.bounds = Box::at(0, 0, 0);
  c.bounds.add(Real(g.dim[0] - 1), Real(g.dim[1] - 1), Real(g.dim[2] - 1));
  return c;
}

struct ReadResult {
  bool ok = false;
  std::string error;
  FlatTree tree;
};
ReadResult read(const std::string& name, const TreeDataCheck* data = nullptr) {
  ReadResult r;
  Report report;
  r.ok = read_multires_tree(name, r.tree, true, report, no_progress(), data);
  r.error = report.error;
  return r;
}

// Every rule of a contour tree, by plain scans over the records that share
// nothing with the reader: "" when all hold.
std::string scanned_problems(const FlatTree& t) {
  std::vector<PlyBranch> r;
  get_branches(t, r);
  if (r.empty()) return "no branches";
  std::ostringstream out;
  // Persistence: the largest |w0 - w1| over the branches whose chain of
  // parents passes through the branch.
  std::vector<double> largest(r.size(), 0.0);
  for (size_t j = 0; j < r.size(); ++j)
    for (long k = long(j); k >= 0; k = r[size_t(k)].parent)
      largest[size_t(k)] = std::max(largest[size_t(k)], std::fabs(r[j].w0 - r[j].w1));
  for (size_t i = 0; i < r.size(); ++i) {
    if (!(r[i].persist == largest[i])) out << i << " persistence; ";
    if (i == 0) continue;
    const PlyBranch& p = r[size_t(r[i].parent)];
    if (!(std::min(p.v0, p.v1) < r[i].v1 && r[i].v1 < std::max(p.v0, p.v1))) out << i << " hangs off its parent; ";
    if (r[i].persist > r[i - 1].persist) out << i << " out of persistence order; ";
  }
  // Vertex values against every other vertex: a higher index never has a lower value.
  for (size_t a = 0; a < t.vertices.size(); ++a)
    for (size_t b = a + 1; b < t.vertices.size(); ++b)
      if (t.used(Index(a)) && t.used(Index(b)) && t.vertices[b].field < t.vertices[a].field)
        out << "vertices " << a << " " << b << " out of order; ";
  // A free end is one branch's only end at its vertex.
  for (size_t i = 0; i < r.size(); ++i) {
    int uses = 0;
    for (const PlyBranch& o : r) uses += (o.v0 == r[i].v0) + (o.v1 == r[i].v0);
    if (uses != 1) out << i << " free end shared; ";
  }
  return out.str() + check_flat_tree(t);
}

}  // namespace

// A tree of three branches over vertices numbered by value: root 0 -- 5,
// a maximum 4 hanging at 2, a minimum 1 hanging at 3. Each case breaks one
// rule; the message names the branch or vertex and how to recover.
TEST(TreeRules, each_rule_broken_once_is_refused_with_a_reason_and_the_remedy) {
  TempDir dir;
  const std::string root = "0 0 0 0 0 5 1 1 1 10 10 -1\n";
  const std::string a = "4 1 0 0 8 2 0 1 0 3 5 0\n", b = "1 0 0 1 1 3 1 1 0 6 5 0\n";
  testutil::write_text(dir.file("good.ply"), header(3) + root + a + b);
  ReadResult good = read(dir.file("good.ply"));
  ASSERT_TRUE(good.ok) << good.error;
  EXPECT_EQ(scanned_problems(good.tree), "");

  struct Case {
    const char* what;
    std::string records;
    const char* says;
  } cases[] = {
      {"persistence off", root + "4 1 0 0 8 2 0 1 0 3 5.5 0\n" + b,
       "branch 1: persistence 5.5 is not the largest difference of end values in its subtree, 5"},
      {"negative persistence", root + "4 1 0 0 8 2 0 1 0 3 -5 0\n" + b, "branch 1: negative persistence"},
      {"hangs at the parent's end", root + "4 1 0 0 8 0 0 0 0 0 8 0\n" + b, "not between its parent's ends 0 and 5"},
      {"hangs above the parent", root + "4 1 0 0 8 2 0 1 0 11 3 0\n" + b, "outside its parent's range 0 .. 10"},
      {"more persistent than the parent", root + "4 1 0 0 15 2 0 1 0 3 12 0\n" + b,
       "more persistent than its parent 0"},
      {"persistence rises", root + "4 1 0 0 7 2 0 1 0 3 4 0\n" + b, "branch 2: more persistent than the branch before"},
      {"duplicate branch", root + a + a, "branch 2: vertex 4 is already the free end"},
      {"free end with a child", root + "1 0 0 1 1 4 1 0 0 8 7 0\n" + a,
       "vertex 4 is a free end here but other branches"},
      {"values against the numbering", root + a + "1 0 0 1 4 3 1 1 0 6 2 0\n",
       "vertex 2: value 3 is below vertex 1's 4"},
  };
  for (const Case& c : cases) {
    testutil::write_text(dir.file("bad.ply"), header(3) + c.records);
    const ReadResult r = read(dir.file("bad.ply"));
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_NE(r.error.find(c.says), std::string::npos) << c.what << ": " << r.error;
    EXPECT_NE(r.error.find(HINT), std::string::npos) << c.what << ": " << r.error;
    EXPECT_TRUE(r.tree.branches.empty());
  }
  // No branches, with data after the header: not a tree.
  testutil::write_text(dir.file("empty.ply"), header(0) + root);
  const ReadResult empty = read(dir.file("empty.ply"));
  EXPECT_FALSE(empty.ok);
  EXPECT_NE(empty.error.find("no branches"), std::string::npos) << empty.error;
  // A file without the source record may round its values to 6 digits.
  testutil::write_text(dir.file("rounded.ply"), header(2) + "0 0 0 0 0.333333 1 0 0 0 0.666667 0.333333 -1\n" +
                                                    "0 0 0 0 0.333333 1 0 0 0 0.666667 0.333333 -1\n");
  EXPECT_NE(read(dir.file("rounded.ply")).error.find("second root"), std::string::npos);
  testutil::write_text(dir.file("rounded.ply"), header(1) + "0 0 0 0 0.333333 1 0 0 0 0.666667 0.333333 -1\n");
  EXPECT_TRUE(read(dir.file("rounded.ply")).ok);
}

// Trees the program computes keep every rule: plateaus, noise, odd sizes,
// read back with and without their laid-out positions.
TEST(TreeRules, computed_and_laid_out_trees_keep_every_rule) {
  TempDir dir;
  int reaching_children = 0;  // branches whose persistence is a child's span, not their own
  for (unsigned seed = 0; seed < 40; ++seed) {
    const ScalarField3DGrid g = random_grid(seed, 5 + seed % 7, 4 + seed % 5, 3 + seed % 6,
                                            seed % 2 ? 2 + int(seed % 4) : 0);
    const FlatTree t = tree_of(g);
    for (const FlatBranch& b : t.branches)
      reaching_children += b.persistence !=
                           std::fabs(t.vertices[size_t(b.ends[1])].field - t.vertices[size_t(b.ends[0])].field);
    const TreeDataCheck data = check_of(g);
    Report report;
    ASSERT_TRUE(write_multires_tree(dir.file("t.ply"), WRITE_ASCII, t, report, &data.source)) << report.error;
    const ReadResult back = read(dir.file("t.ply"), &data);
    ASSERT_TRUE(back.ok) << "seed " << seed << ": " << back.error;
    EXPECT_EQ(scanned_problems(back.tree), "") << "seed " << seed;

    FlatTree laid = back.tree;
    layout_multires_tree(laid, 1.0, true);
    ASSERT_TRUE(write_multires_tree(dir.file("l.ply"), WRITE_BINARY_LITTLE_ENDIAN, laid, report, &data.source));
    TreeDataCheck layout = data;
    layout.fieldPositions = false;
    const ReadResult l = read(dir.file("l.ply"), &layout);
    EXPECT_TRUE(l.ok) << "seed " << seed << ": " << l.error;
    EXPECT_EQ(scanned_problems(l.tree), "") << "seed " << seed;
  }
  EXPECT_GT(reaching_children, 0) << "plateaus give branches whose child reaches further than they do";
}

TEST(TreeSource, the_record_ties_a_file_to_its_data_and_a_mismatch_says_which_data) {
  TempDir dir;
  const ScalarField3DGrid g = random_grid(7, 9, 7, 5, 0);
  const FlatTree t = tree_of(g);
  const TreeDataCheck data = check_of(g);
  Report report;
  ASSERT_TRUE(write_multires_tree(dir.file("t.ctree.ply"), WRITE_ASCII, t, report, &data.source));
  const std::string text = testutil::read_file(dir.file("t.ctree.ply"));
  EXPECT_NE(text.find("\ncomment orrery source grid 9 7 5 float range "), std::string::npos);
  ASSERT_TRUE(read(dir.file("t.ctree.ply"), &data).ok);

  // Other data: one sample changed, two samples swapped, another type,
  // the same values under other sizes.
  ScalarField3DGrid changed = g, swapped = g, resized = g;
  changed.values[100] += 1e-9;
  std::swap(swapped.values[3], swapped.values[4]);
  std::swap(resized.dim[0], resized.dim[1]);
  for (const TreeDataCheck& other : {check_of(changed), check_of(swapped), check_of(g, "double"), check_of(resized)}) {
    const ReadResult r = read(dir.file("t.ctree.ply"), &other);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("the tree was computed from a 9 x 7 x 5 float grid, values "), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("not from the data loaded (" + describe_source(other.source) + ")"), std::string::npos)
        << r.error;
    EXPECT_NE(r.error.find(HINT), std::string::npos);
  }
  // The record text reads back to itself; damage is refused.
  TreeSource parsed;
  std::string error;
  ASSERT_TRUE(parse_source_comment(source_comment(data.source), parsed, error));
  EXPECT_TRUE(parsed == data.source);
  for (const char* bad : {"orrery source grid 9 7 float range 0 1 sum 0000000000000000",
                          "orrery source grid 9 7 5 float range 1 0 sum 0000000000000000",
                          "orrery source mesh 9 y range 0 1 sum 00000000000000zz",
                          "orrery source cube 9 y range 0 1 sum 0000000000000000",
                          "orrery source mesh 9 y range 0 nan sum 0000000000000000 more"})
    EXPECT_FALSE(parse_source_comment(bad, parsed, error)) << bad;
  std::string damaged = text;
  damaged.replace(damaged.find(" sum ") + 5, 1, "g");
  testutil::write_text(dir.file("d.ply"), damaged);
  EXPECT_NE(read(dir.file("d.ply"), &data).error.find("source record"), std::string::npos);

  // Without the record: read, and checked against the data as far as it goes.
  std::string bare = text;
  bare.erase(bare.find("comment "), bare.find('\n', bare.find("comment ")) + 1 - bare.find("comment "));
  testutil::write_text(dir.file("bare.ply"), bare);
  EXPECT_TRUE(read(dir.file("bare.ply"), &data).ok);
  ScalarField3DGrid small = random_grid(7, 3, 3, 2, 0), narrow = g;
  for (double& v : narrow.values) v *= 0.5;
  TreeDataCheck few = check_of(small), range = check_of(narrow), box = check_of(g);
  box.bounds.max[0] = 4;
  few.source.min = data.source.min, few.source.max = data.source.max, few.bounds = data.bounds;
  const std::pair<const TreeDataCheck*, const char*> checks[] = {
      {&few, "beyond the data's 18 vertices"}, {&range, "outside the data's range"}, {&box, "outside the data's box"}};
  for (auto& [check, says] : checks) {
    const ReadResult r = read(dir.file("bare.ply"), check);
    EXPECT_FALSE(r.ok) << says;
    EXPECT_NE(r.error.find(says), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("belongs to other data"), std::string::npos) << r.error;
  }
  // The same sizes and range, other values: the grid points under the
  // tree's vertices tell. With the grid itself the bare file reads.
  ScalarField3DGrid reversed = g;
  std::reverse(reversed.values.begin(), reversed.values.end());
  TreeDataCheck on_grid = check_of(g), on_reversed = check_of(reversed);
  on_grid.grid = &g;
  on_reversed.grid = &reversed;
  EXPECT_TRUE(read(dir.file("bare.ply"), &on_grid).ok);
  const ReadResult r = read(dir.file("bare.ply"), &on_reversed);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(" where the grid has "), std::string::npos) << r.error;
  ScalarField3DGrid shifted = g;  // points at x = 0.5, 1.5, ...
  shifted.origin[0] = 0.5;
  on_grid.grid = &shifted;
  const std::string off_grid = read(dir.file("bare.ply"), &on_grid).error;
  EXPECT_NE(off_grid.find("not a point of the grid"), std::string::npos) << off_grid;
}

// The checksum is one sum over the samples: any split into parts, merged
// in any order, gives the record of the whole, and the digits of every
// sample count.
TEST(TreeSource, the_checksum_is_the_same_for_any_split_of_the_samples) {
  const ScalarField3DGrid g = random_grid(9, 11, 6, 7, 0);
  const TreeSource whole = grid_source(g, "float");
  std::mt19937 rng(2);
  for (int round = 0; round < 20; ++round) {
    const int parts = 1 + int(rng() % 7);
    std::vector<SourceDigest> d{size_t(parts), SourceDigest()};
    for (size_t i = 0; i < g.values.size(); ++i) d[rng() % size_t(parts)].add(i, g.values[i]);
    std::shuffle(d.begin(), d.end(), rng);
    SourceDigest all;
    for (const SourceDigest& p : d) all.merge(p);
    EXPECT_EQ(all.sum, whole.sum);
    EXPECT_EQ(all.min, *std::min_element(g.values.begin(), g.values.end()));
    EXPECT_EQ(all.max, *std::max_element(g.values.begin(), g.values.end()));
  }
  ScalarField3DGrid last_bit = g;
  std::uint64_t bits;
  std::memcpy(&bits, &last_bit.values[17], 8);
  bits ^= 1;
  std::memcpy(&last_bit.values[17], &bits, 8);
  EXPECT_NE(grid_source(last_bit, "float").sum, whole.sum);
}

// Random damage to a real tree's file (numbers changed, lines swapped,
// doubled or dropped, the count or the record changed): every file is read
// or refused with the remedy, and every file read keeps every rule and
// belongs to its data.
TEST(TreeRules, mutated_files_are_refused_or_keep_every_rule) {
  TempDir dir;
  const ScalarField3DGrid g = random_grid(11, 8, 7, 6, 0);
  TreeDataCheck data = check_of(g);
  data.grid = &g;
  Report report;
  ASSERT_TRUE(write_multires_tree(dir.file("good.ply"), WRITE_ASCII, tree_of(g), report, &data.source));
  const std::string good = testutil::read_file(dir.file("good.ply"));
  const size_t body = good.find("end_header\n") + 11;
  std::vector<std::string> head, lines;
  {
    std::istringstream h(good.substr(0, body)), b(good.substr(body));
    for (std::string l; std::getline(h, l);) head.push_back(l);
    for (std::string l; std::getline(b, l);) lines.push_back(l);
  }
  ASSERT_GT(lines.size(), 10u);
  std::mt19937 rng(23);
  int refused = 0, accepted = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<std::string> h = head, l = lines;
    const size_t k = rng() % l.size();
    switch (trial % 6) {
      case 0:
      case 1: {  // one number replaced by another of the file, or nudged
        std::istringstream in(l[k]);
        std::vector<std::string> w{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
        const size_t at = rng() % w.size();
        if (trial % 2) {
          std::istringstream other(l[rng() % l.size()]);
          std::vector<std::string> o{std::istream_iterator<std::string>(other), std::istream_iterator<std::string>()};
          w[at] = o[rng() % o.size()];
        } else {
          w[at] = std::to_string(std::stod(w[at]) + (int(rng() % 5) - 2) * 0.5);
        }
        l[k].clear();
        for (const std::string& s : w) l[k] += s + " ";
        break;
      }
      case 2: std::swap(l[k], l[rng() % l.size()]); break;
      case 3: l[k] = l[rng() % l.size()]; break;
      case 4:
        l.erase(l.begin() + long(k));
        for (std::string& s : h)
          if (s.rfind("element branch ", 0) == 0) s = "element branch " + std::to_string(l.size());
        break;
      default:
        for (std::string& s : h)
          if (s.rfind("comment ", 0) == 0) s[8 + rng() % (s.size() - 8)] = "0123456789abcdef. x"[rng() % 19];
    }
    std::string text;
    for (const std::string& s : h) text += s + "\n";
    for (const std::string& s : l) text += s + "\n";
    testutil::write_text(dir.file("bad.ply"), text);
    const ReadResult r = read(dir.file("bad.ply"), &data);
    if (!r.ok) {
      ++refused;
      EXPECT_NE(r.error.find(HINT), std::string::npos) << r.error;
      continue;
    }
    ++accepted;
    ASSERT_EQ(scanned_problems(r.tree), "") << "trial " << trial << " was read:\n" << text;
    for (size_t i = 0; i < r.tree.vertices.size(); ++i)
      if (r.tree.used(Index(i))) {
        const Vertex& v = r.tree.vertices[i];
        EXPECT_TRUE(v.field >= data.source.min && v.field <= data.source.max) << "trial " << trial;
        EXPECT_TRUE(v.x >= 0 && v.x <= 7 && v.y >= 0 && v.y <= 6 && v.z >= 0 && v.z <= 5) << "trial " << trial;
      }
  }
  EXPECT_GT(refused, 2000);
  EXPECT_GT(accepted, 20);  // unchanged records, or positions moved within the grid
}

// A writer killed on the way leaves NAME.tmp-XXXXXX; the next write of NAME
// removes it, while a temporary a live writer holds stays.
TEST(TreeFiles, temporaries_of_dead_writers_go_on_the_next_write) {
  TempDir dir;
  const std::string name = dir.file("t.ctree.ply");
  testutil::write_text(name + ".tmp-AbC123", "half a tree");
  testutil::write_text(name + ".tmp-zzzzzz", "another");
  testutil::write_text(dir.file("other.ctree.ply.tmp-AbC123"), "not ours");
  testutil::write_text(name + ".tmp-held01", "a live writer's");
  const int held = open((name + ".tmp-held01").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  // A killed writer: a child process that dies holding its temporary.
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open((name + ".tmp-killed").c_str(), O_CREAT | O_WRONLY, 0644);
    flock(fd, LOCK_EX);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);

  Report report;
  ASSERT_TRUE(write_multires_tree(name, WRITE_ASCII, tree_of(random_grid(1, 4, 4, 4, 0)), report)) << report.error;
  std::vector<std::string> left;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"other.ctree.ply.tmp-AbC123", "t.ctree.ply", "t.ctree.ply.tmp-held01"}));
  close(held);
  EXPECT_EQ(remove_stale_temporaries_of(name), 1);
}

// The free ends of a contour tree are the field's minima and maxima: the
// count by neighbours agrees with the computed tree on grids with and
// without ties. A file cut to its first branches, source record kept,
// is refused on that count; the whole file reads.
TEST(TreeChecks, a_tree_cut_short_is_refused_on_its_free_ends) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const ScalarField3DGrid g = random_grid(seed, 3 + seed % 4, 4, 2 + seed % 3, seed % 3 ? 0 : 4);
    EXPECT_EQ(count_extrema(g), tree_of(g).branches.size() + 1) << "seed " << seed;
  }
  TempDir dir;
  const ScalarField3DGrid g = random_grid(5, 6, 5, 4, 0);
  const FlatTree whole = tree_of(g);
  ASSERT_GT(whole.branches.size(), 3u);
  TreeDataCheck data = check_of(g);
  data.grid = &g;
  data.extrema = count_extrema(g);
  Report report;
  const std::string name = dir.file("t.ctree.ply");
  ASSERT_TRUE(write_multires_tree(name, WRITE_ASCII, whole, report, &data.source)) << report.error;
  EXPECT_TRUE(read(name, &data).ok) << read(name, &data).error;
  // Cut to the root: the header's count and the first record.
  std::string text = testutil::read_file(name);
  const size_t count_at = text.find("element branch ") + 15;
  text.replace(count_at, text.find('\n', count_at) - count_at, "1");
  const size_t body = text.find("end_header\n") + 11;
  text.erase(text.find('\n', body) + 1);
  // The root's two ends renumbered into the slots of one branch.
  std::istringstream root(text.substr(body));
  std::vector<std::string> words{std::istream_iterator<std::string>(root), {}};
  ASSERT_EQ(words.size(), 12u);
  words[0] = "0", words[5] = "1";
  text.erase(body);
  for (const std::string& w : words) text += w + (&w == &words.back() ? "\n" : " ");
  testutil::write_text(name, text);
  const ReadResult cut = read(name, &data);
  EXPECT_FALSE(cut.ok);
  EXPECT_NE(cut.error.find("2 free ends (minima and maxima), the data has " + std::to_string(data.extrema)),
            std::string::npos)
      << cut.error;
  data.extrema = 0;
  EXPECT_TRUE(read(name, &data).ok) << "without the count, the cut file keeps every other check";
}

// On a mesh: a terrain of two hills and a pit has as many extrema as its
// computed tree has free ends.
TEST(TreeChecks, mesh_extrema_are_the_free_ends_of_its_tree) {
  const double height[16] = {0, 1, 0, 2, 1, 5, 1, 3, 0, 1, -2, 1, 2, 1, 6, 0};
  ScalarField2D m;
  for (int i = 0; i < 16; ++i) m.vertices.push_back(Vertex{Real(i % 4), height[i], Real(i / 4), height[i]});
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const Index a = 4 * r + c;
      m.triangles.push_back(Triangle{{a, a + 1, a + 5}});
      m.triangles.push_back(Triangle{{a, a + 5, a + 4}});
    }
  m.buildVertexTriangles();
  std::uint64_t brute = 0;
  // Brute force: a vertex is a minimum (maximum) when every vertex sharing
  // a triangle with it is above (below) it.
  for (Index v = 0; v < 16; ++v) {
    bool low = true, high = true;
    for (const Triangle& t : m.triangles)
      for (int c = 0; c < 3; ++c)
        if (t[c] == v)
          for (int d = 0; d < 3; ++d)
            if (t[d] != v) (m.less(t[d], v) ? low : high) = false;
    brute += low + high;
  }
  EXPECT_EQ(count_extrema(m), brute);
  std::vector<Vertex> P;
  MultiresTree jt, st, ct;
  Report report;
  compute_critical_points(m, P, no_progress());
  ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress())) << report.error;
  ASSERT_TRUE(compute_multires_contour_tree(jt, st, ct, report, no_progress())) << report.error;
  EXPECT_EQ(ct.branches.size() + 1, brute);
}

// A simplified tree is a whole tree of its own: written and read back (no
// data to check it against), it gives the same branches at the same points.
TEST(TreeFiles, a_simplified_tree_reads_back_as_written) {
  TempDir dir;
  const FlatTree whole = tree_of(random_grid(5, 9, 8, 7, 0));
  ASSERT_GT(whole.branches.size(), 10u);
  const FlatTree simple = simplified_tree(whole, 0, 6);
  Report report;
  const std::string name = dir.file("s.ctree.ply");
  ASSERT_TRUE(write_multires_tree(name, WRITE_ASCII, simple, report)) << report.error;
  FlatTree back;
  ASSERT_TRUE(read_multires_tree(name, back, true, report)) << report.error;
  std::vector<PlyBranch> wrote, read;
  get_branches(simple, wrote);
  get_branches(back, read);
  ASSERT_EQ(read.size(), wrote.size());
  for (size_t b = 0; b < read.size(); ++b) {
    EXPECT_EQ(read[b].w0, wrote[b].w0);
    EXPECT_EQ(read[b].w1, wrote[b].w1);
    EXPECT_EQ(read[b].x0, wrote[b].x0);
    EXPECT_EQ(read[b].z1, wrote[b].z1);
    EXPECT_EQ(read[b].parent, wrote[b].parent);
  }
}
