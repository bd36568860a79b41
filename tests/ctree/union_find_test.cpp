#include "ctree/union_find.h"

#include <gtest/gtest.h>

using ctree::UnionFind;

TEST(UnionFind, no_op_merges_write_nothing) {
  UnionFind<int> uf(6);
  uf.merge(2, 2, 7);
  EXPECT_EQ(uf.findEntry(2)->data, 0) << "a merge within one set writes no payload";
  uf.merge(1, 2, 9);
  uf.merge(2, 1, 11);
  EXPECT_EQ(uf.findEntry(1)->data, 9);
  EXPECT_EQ(uf.setCount(), 5u);
}

TEST(UnionFind, ties_go_to_the_first_argument_and_small_sets_join_large_ones) {
  UnionFind<int> uf(8);
  uf.merge(3, 5, 42);
  EXPECT_EQ(uf.findEntry(5)->parent, 3);
  EXPECT_EQ(uf.findEntry(3)->size, 2u);
  EXPECT_EQ(uf.findEntry(5)->data, 42);
  EXPECT_EQ(uf.setCount(), 7u);
  uf.merge(0, 5, 1);  // {0} is smaller than {3, 5}
  EXPECT_EQ(uf.findEntry(0)->parent, 3);
  EXPECT_EQ(uf.findEntry(0)->size, 3u);
  uf.merge(3, 6, 2);
  EXPECT_EQ(uf.findEntry(6)->parent, 3);
}

#ifndef NDEBUG
TEST(UnionFindDeathTest, indices_out_of_range_fail_an_assertion) {
  UnionFind<int> uf(4);
  EXPECT_DEATH(uf.findEntry(4), "inRange");
  EXPECT_DEATH(uf.merge(-1, 9, 0), "inRange");
}
#endif
