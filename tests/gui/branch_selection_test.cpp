// The selected branch as the windows describe and walk it, on hand trees,
// and its record in scene files: written after every other record, read
// back, absent from older scenes, refused when it names no branch.
#include <gtest/gtest.h>

#include <sstream>

#include "gui/branch_selection.h"
#include "gui/scene_file.h"
#include "hand_tree.h"

using namespace ctree;

namespace {

TEST(BranchSelection, the_line_gives_both_ends_values_and_positions_the_persistence_and_the_voxels) {
  // Branch i: free end (i, 1, p) at value p, hanging at (i, 2, 0) at 0.
  HandTree h({-1, 0, 0}, {5, 3.5, 2});
  h.t.vertices[0].field = -1;  // the root's lower end
  EXPECT_EQ(branch_info(h.t, 1, 1234),
            "branch 1: maximum 3.5 at (1, 1, 3.5), hangs at 0 at (1, 2, 0); persistence 3.5; region 1234 voxels");
  EXPECT_EQ(branch_info(h.t, 0, -1), "branch 0 (root): minimum -1 at (0, 2, 0), maximum 5 at (0, 1, 5); persistence 5");
  // A branch whose free end lies below where it hangs ends at a minimum.
  h.t.vertices[5].field = -0.25;
  EXPECT_EQ(branch_info(h.t, 2, 0).substr(0, 36), "branch 2: minimum -0.25 at (2, 1, 2)");
  EXPECT_EQ(branch_info(h.t, 7, 0), "");
}

TEST(BranchSelection, long_lines_wrap_at_blanks_within_the_width) {
  EXPECT_EQ(wrap_text("branch 2: maximum 3 at (1, 2, 3)", 12),
            (std::vector<std::string>{"branch 2:", "maximum 3 at", "(1, 2, 3)"}));
  EXPECT_EQ(wrap_text("a verylongword b", 4), (std::vector<std::string>{"a", "verylongword", "b"}));
  EXPECT_EQ(wrap_text("short", 80), (std::vector<std::string>{"short"}));
  EXPECT_TRUE(wrap_text("", 5).empty());
}

TEST(BranchSelection, walks_go_to_the_parent_and_round_the_children_most_persistent_first_drawn_ones_preferred) {
  //        0
  //   1    2    3      (persistence 4, 6, 5)
  //  4 5              (children of 1)
  const HandTree h({-1, 0, 0, 0, 1, 1}, {9, 4, 6, 5, 1, 2});
  EXPECT_EQ(parent_branch(h.t, 4), 1);
  EXPECT_EQ(parent_branch(h.t, 1), 0);
  EXPECT_EQ(parent_branch(h.t, 0), 0);
  EXPECT_EQ(walk_children(h.t, 0, nullptr), (std::vector<Index>{2, 3, 1}));
  ChildCursor cursor;
  EXPECT_EQ(cursor.next(h.t, 0, nullptr), 2);
  EXPECT_EQ(cursor.next(h.t, 0, nullptr), 3);
  EXPECT_EQ(cursor.next(h.t, 0, nullptr), 1);
  EXPECT_EQ(cursor.next(h.t, 0, nullptr), 2);  // round again
  EXPECT_EQ(cursor.next(h.t, 1, nullptr), 5);
  EXPECT_EQ(cursor.next(h.t, 4, nullptr), NULL_INDEX);  // a leaf
  // Only 1 and 3 drawn: the walk keeps to them; none drawn: all children.
  const DrawSet some = h.set({0, 1, 3});
  EXPECT_EQ(walk_children(h.t, 0, &some), (std::vector<Index>{3, 1}));
  EXPECT_EQ(walk_children(h.t, 1, &some), (std::vector<Index>{5, 4}));
  EXPECT_EQ(next_child(h.t, 0, 1, &some), 3);
}

const char* const BARE_SCENE =
    "1 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
    "1 0 0 0 1 0 0 0 1 2\n"
    "-1 1 -1 1 -10 10\n"
    "1600 1200 490 5 1010 1095 \n"
    " 256 \n"
    "0 3.5 0 0 0 1 0 0 0 0 0 0 0  1 0.75 0 \n"
    " \n"
    "0 1 1 1 1 0.0625 0.25 1 \n"
    " \n"
    "1\n"
    "0.5 \n"
    " \n";

TEST(BranchSelection, scenes_keep_the_selection_in_a_record_of_their_own_and_older_scenes_select_nothing) {
  SceneShape shape;
  shape.treeBranches = 40;
  SceneRecord r;
  std::string error;
  std::istringstream old(BARE_SCENE);
  ASSERT_TRUE(read_scene(old, "old.txt", shape, r, error)) << error;
  EXPECT_EQ(r.selectedBranch, -1);
  // Written without a selection: the older text exactly.
  EXPECT_EQ(scene_text(shape, r).find("selection"), std::string::npos);

  r.selectedBranch = 39;
  const std::string text = scene_text(shape, r);
  EXPECT_NE(text.find("selection 39"), std::string::npos);
  SceneRecord back;
  std::istringstream again(text);
  ASSERT_TRUE(read_scene(again, "s.txt", shape, back, error)) << error;
  EXPECT_EQ(back.selectedBranch, 39);
  EXPECT_EQ(back.isovalue, 0.5);

  // A branch the run's tree does not have is refused, naming the field.
  shape.treeBranches = 39;
  std::istringstream big(text);
  EXPECT_FALSE(read_scene(big, "s.txt", shape, back, error));
  EXPECT_NE(error.find("s.txt"), std::string::npos);
  EXPECT_NE(error.find("selected branch"), std::string::npos) << error;
  std::istringstream junk(std::string(BARE_SCENE) + "selection x1\n");
  EXPECT_FALSE(read_scene(junk, "j.txt", shape, back, error));
  EXPECT_NE(error.find("selected branch"), std::string::npos) << error;
  // A record this reader does not know selects nothing.
  std::istringstream other(std::string(BARE_SCENE) + "plane 1 2 3\n");
  ASSERT_TRUE(read_scene(other, "o.txt", shape, back, error)) << error;
  EXPECT_EQ(back.selectedBranch, -1);
}

}  // namespace
