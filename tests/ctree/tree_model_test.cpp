// The tree model and its editing operations on small hand-built trees,
// judged by the checker and by the text dump written out in each test.
#include <gtest/gtest.h>

#include "ctree/check_tree.h"
#include "ctree/multires_tree.h"
#include "test_util.h"

using namespace ctree;

namespace {

// A vertex vector with field values 0, 1, 2, ... (already sorted).
struct Fixture {
  std::vector<Vertex> v;
  MultiresTree t;
  explicit Fixture(size_t n, std::vector<double> fields = {}) : v(n) {
    for (size_t i = 0; i < n; ++i) v[i] = Vertex{double(i), 0, 0, fields.empty() ? double(i) : fields[i]};
    t.vertices = v.data();
    t.nodes.resize(n);
  }
  BranchI branch(int a, int b) {
    BranchI x = t.branches.emplace(t.branches.end());
    x->ends[0] = t.newNode(&v[size_t(a)], x, 0);
    x->ends[1] = t.newNode(&v[size_t(b)], x, 0);
    return x;
  }
  // A child hanging from parent at vertex at: parent gets an interior node there.
  BranchI child(BranchI parent, int extremum, int at) {
    BranchI c = branch(extremum, at);
    Node* n = t.newNode(&v[size_t(at)], parent, 1);
    auto& list = parent->nodes;
    list.insert(std::lower_bound(list.begin(), list.end(), n, NodePCompare()), n);
    c->parent = parent;
    return c;
  }
};

}  // namespace

TEST(TreeModel, interior_nodes_count_both_ways_and_children_attach_once) {
  Fixture f(8);
  BranchI root = f.branch(0, 7);
  f.child(root, 1, 3);
  EXPECT_EQ(f.t.upDegree(&f.v[3]), 1u);    // the root passes through
  EXPECT_EQ(f.t.downDegree(&f.v[3]), 2u);  // the root and the child from below
  BranchI a = f.branch(2, 5), b = f.branch(4, 5);
  a->parent = b->parent = root;
  root->attachBranch(*a);
  root->attachBranch(*b);
  EXPECT_EQ(root->nodes.size(), 2u) << "one entry per vertex";
  EXPECT_EQ(check_tree(f.t), "");
}

TEST(TreeEditing, removing_the_middle_of_a_path_keeps_the_chosen_branch) {
  for (bool keepUpper : {false, true}) {
    Fixture f(3);
    f.branch(0, 1);
    f.branch(1, 2);
    f.t.removeVertex(&f.v[1], keepUpper);
    EXPECT_EQ(check_tree(f.t), "");
    ASSERT_EQ(f.t.branches.size(), 1u);
    EXPECT_TRUE(f.t.nodes[1].empty());
    EXPECT_EQ(f.t.dump(), std::string("Tree has 3 nodes and 1 branches.\n") +
                              "Branch 0:\t(0 -- 2)\tparent = -1\t0 children = { }\tlength = 2\n");
  }
}

TEST(TreeEditing, removing_an_end_deletes_or_shortens_its_branch) {
  Fixture f(8);
  f.branch(0, 7);
  f.t.removeVertex(&f.v[0], true);  // no attachment nodes: the branch goes
  EXPECT_TRUE(f.t.branches.empty());
  EXPECT_EQ(check_tree(f.t), "");

  Fixture g(8);
  BranchI root = g.branch(0, 7);
  g.child(root, 1, 3);
  g.child(root, 2, 5);
  g.t.removeEndpoint(root, &g.v[0]);
  EXPECT_EQ(root->ends[0]->vertex, &g.v[3]);
  EXPECT_EQ(root->ends[0]->type, 0);
  EXPECT_EQ(root->nodes.size(), 1u);
  EXPECT_EQ(g.t.dump(),
            "Tree has 8 nodes and 3 branches.\n"
            "Branch 0:\t(3 -- 7)\tparent = -1\t1 children = { (0,5) }\tlength = 4\n"
            "Branch 1:\t(1 -- 3)\tparent = 0\t0 children = { }\tlength = 2\n"
            "Branch 2:\t(2 -- 5)\tparent = 0\t0 children = { }\tlength = 3\n");
  // A saddle of several branches on both sides cannot go.
  Fixture h(5);
  h.branch(0, 2);
  h.branch(1, 2);
  h.branch(2, 3);
  h.branch(2, 4);
  const std::string before = h.t.dump();
  EXPECT_FALSE(h.t.removeVertex(&h.v[2], true));
  EXPECT_EQ(h.t.dump(), before) << "the tree is left as it was";
}

TEST(TreeEditing, merging_at_a_shared_vertex_keeps_attachments_in_order) {
  Fixture f(10);
  BranchI lower = f.branch(0, 4);
  BranchI upper = f.branch(4, 9);
  Node* n2 = f.t.newNode(&f.v[2], lower, 1);
  lower->nodes.push_back(n2);
  Node* n7 = f.t.newNode(&f.v[7], upper, 1);
  upper->nodes.push_back(n7);
  f.t.mergeBranches(upper, lower);
  ASSERT_EQ(f.t.branches.size(), 1u);
  const Branch& m = f.t.branches.front();
  ASSERT_EQ(m.nodes.size(), 3u);
  EXPECT_EQ(m.nodes[0]->vertex, &f.v[2]);
  EXPECT_EQ(m.nodes[1]->vertex, &f.v[4]);
  EXPECT_EQ(m.nodes[2]->vertex, &f.v[7]);
  for (const Node* n : m.nodes) EXPECT_EQ(&*n->branch, &m);
  EXPECT_EQ(m.lowerVertex(), &f.v[0]);
  EXPECT_EQ(check_tree(f.t), "");
  // Branches without a shared vertex are left alone.
  BranchI other = f.branch(5, 6);
  f.t.mergeBranches(f.t.branches.begin(), other);
  EXPECT_EQ(f.t.branches.size(), 2u);
}

TEST(Persistence, subtree_maxima_order_and_boxes) {
  Fixture f(8, {0, 1, 2, 3, 4, 5, 6, 10});
  BranchI root = f.branch(0, 4);        // range 4
  BranchI big = f.child(root, 7, 3);    // range 7
  BranchI small = f.child(root, 1, 2);  // range 1
  f.v[7].y = 9;                         // outside the root's own box
  f.t.computePersistence();
  f.t.computeBbox();
  EXPECT_EQ(root->persistence, 7);
  EXPECT_EQ(big->persistence, 7);
  EXPECT_EQ(small->persistence, 1);
  EXPECT_EQ(&f.t.branches.front(), &*root) << "equal persistence: the shallower first";
  EXPECT_EQ(&*std::next(f.t.branches.begin()), &*big);
  EXPECT_EQ(root->bbox.max[1], 9);
  EXPECT_EQ(root->bbox.max[0], 7);
  EXPECT_EQ(check_tree(f.t), "");

  Fixture flat(4, {2, 2, 2, 2});
  BranchI r = flat.branch(0, 3);
  flat.child(r, 1, 2);
  flat.t.computePersistence();
  for (const Branch& b : flat.t.branches) EXPECT_EQ(b.persistence, 0);
  EXPECT_EQ(&flat.t.branches.front(), &*r);
}

TEST(Persistence, sort_keeps_list_order_on_full_ties_and_handles_deep_paths) {
  Fixture f(6, {0, 1, 2, 3, 4, 5});
  BranchI root = f.branch(0, 5);
  BranchI a = f.child(root, 1, 2);  // range 1
  BranchI b = f.child(root, 3, 4);  // range 1, same depth
  f.t.computePersistence();
  auto it = f.t.branches.begin();
  EXPECT_EQ(&*it++, &*root);
  EXPECT_EQ(&*it++, &*a);
  EXPECT_EQ(&*it, &*b);

  // A path of 100000 nested branches: no recursion depth problem.
  const int n = 100000;
  std::vector<double> fields(size_t(2 * n));
  for (int i = 0; i < 2 * n; ++i) fields[size_t(i)] = i;
  Fixture deep(size_t(2 * n), fields);
  BranchI parent = deep.branch(0, 2 * n - 1);
  for (int k = 1; k < n; ++k) parent = deep.child(parent, k, 2 * n - 1 - k);
  deep.t.computePersistence();
  deep.t.computeBbox();
  EXPECT_EQ(deep.t.branches.front().persistence, 2 * n - 1);
  EXPECT_EQ(deep.t.branches.back().depth(), unsigned(n - 1));
}

TEST(TreeText, save_then_load_gives_the_same_dump) {
  Fixture f(8, {0, 0.5, 1.25, 3, 4.75, 5, 6, 10});
  BranchI root = f.branch(0, 7);
  BranchI c = f.child(root, 1, 5);
  f.child(root, 6, 4);
  f.child(c, 2, 3);
  ASSERT_EQ(check_tree(f.t), "");
  f.t.computePersistence();
  testutil::TempDir dir;
  ASSERT_TRUE(f.t.save(dir.file("t.txt")));
  MultiresTree back;
  std::vector<Vertex> storage;
  std::string error;
  ASSERT_TRUE(back.load(dir.file("t.txt"), storage, error)) << error;
  EXPECT_EQ(back.branches.size(), f.t.branches.size());
  auto a = f.t.branches.begin();
  for (const Branch& b : back.branches) {
    EXPECT_EQ(back.indexOf(b.ends[0]->vertex), f.t.indexOf(a->ends[0]->vertex));
    EXPECT_EQ(back.indexOf(b.ends[1]->vertex), f.t.indexOf(a->ends[1]->vertex));
    EXPECT_EQ(b.persistence, a->persistence);
    EXPECT_EQ(b.parent == BranchI(), a->parent == BranchI());
    ++a;
  }
  EXPECT_EQ(storage[4].field, 4.75);
  EXPECT_EQ(check_tree(back), "");
  testutil::write_text(dir.file("bad.txt"), "3\n0 0 0 0\n1 1 1 1\n");
  EXPECT_FALSE(back.load(dir.file("bad.txt"), storage, error));
  EXPECT_EQ(error, dir.file("bad.txt") + ": vertex 2 of 3 is missing or malformed");
}
