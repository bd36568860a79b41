// Colour maps: the computed maps, the banded table and the index
// conventions of the ramp tables.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "gui/palettes.h"

using namespace ctree;

namespace {

using Rgb = std::array<int, 3>;

Rgb entry(const int* m, int v) { return {m[v], m[256 + v], m[512 + v]}; }

void expect_entry_numbers(const int* m) {
  for (int v = 0; v < 256; ++v) ASSERT_EQ(m[768 + v], v);
}

}  // namespace

TEST(Palettes, ramp_tables_are_the_same_by_either_number) {
  int m[1024], via_index[1024];
  for (int table = 0; table < 10; ++table) {
    setpalette(table, m);
    expect_entry_numbers(m);
    fill_colour_map(table + 2, via_index);  // map index table + 2 is the same table
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(via_index[i], m[i]) << table << " " << i;
  }
}

TEST(Palettes, computed_maps_and_the_banded_table) {
  int m[1024];
  fill_colour_map(0, m);
  for (int v = 0; v < 256; ++v) ASSERT_EQ(entry(m, v), (Rgb{v, v, v})) << v;
  fill_colour_map(1, m);
  EXPECT_EQ(entry(m, 0), (Rgb{0, 0, 255}));
  EXPECT_EQ(entry(m, 127), (Rgb{0, 253, 0}));  // 255*127/128 rounded down
  EXPECT_EQ(entry(m, 255), (Rgb{255, 0, 0}));
  EXPECT_EQ(entry(m, 155)[0], 0);  // red starts just past 154
  EXPECT_EQ(entry(m, 101)[2], 0);  // blue is gone from 101 on
  for (int v = 0; v < 256; ++v)
    for (int c = 0; c < 3; ++c) ASSERT_TRUE(entry(m, v)[c] >= 0 && entry(m, v)[c] <= 255) << v;
  expect_entry_numbers(m);

  // The banded table: sixteen colours, white to black.
  fill_colour_map(12, m);
  std::set<Rgb> colours;
  for (int v = 0; v < 256; ++v) {
    colours.insert(entry(m, v));
    if (v > 0) {
      ASSERT_EQ(entry(m, v) == entry(m, v - 1), v % 16 != 0) << v;
    }
  }
  EXPECT_EQ(colours.size(), 16u);
  EXPECT_EQ(entry(m, 0), (Rgb{255, 255, 255}));
  EXPECT_EQ(entry(m, 255), (Rgb{0, 0, 0}));
  EXPECT_EQ(entry(m, 16 * 8), (Rgb{9, 124, 9}));
  EXPECT_EQ(entry(m, 16 * 13 + 5), (Rgb{149, 0, 189}));
  expect_entry_numbers(m);
}

TEST(Palettes, indices_outside_the_maps) {
  int m[1024];
  for (int& v : m) v = -7;
  fill_colour_map(-1, m);
  fill_colour_map(COLOUR_MAPS, m);
  for (int v : m) ASSERT_EQ(v, -7);

  // An unknown table number still gives a usable map: grey.
  for (int table : {-1, 11, 1000}) {
    setpalette(table, m);
    for (int v = 0; v < 256; ++v) ASSERT_EQ(entry(m, v), (Rgb{v, v, v})) << table << " " << v;
    expect_entry_numbers(m);
  }
}
