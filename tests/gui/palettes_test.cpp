// Colour maps: the listed rows of every ramp table, monotone ramps between
// them, the computed maps, the banded table and the index conventions.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "gui/palettes.h"

using namespace ctree;

namespace {

using Rgb = std::array<int, 3>;

Rgb entry(const int* m, int v) { return {m[v], m[256 + v], m[512 + v]}; }

const int LISTED_AT[9] = {0, 32, 64, 96, 128, 160, 192, 224, 255};

// The rows every ramp table passes through, written out independently of
// the tables in palettes.cpp.
const Rgb LISTED[10][9] = {
    {{{108, 0, 171}}, {{0, 0, 229}}, {{16, 255, 0}}, {{255, 238, 0}}, {{255, 113, 0}}, {{229, 42, 0}}, {{213, 0, 0}}, {{182, 0, 0}}, {{122, 0, 0}}},
    {{{0, 0, 0}}, {{0, 0, 66}}, {{0, 100, 100}}, {{0, 150, 50}}, {{120, 100, 0}}, {{208, 36, 0}}, {{224, 110, 0}}, {{240, 184, 0}}, {{255, 255, 0}}},
    {{{0, 5, 255}}, {{52, 0, 98}}, {{105, 0, 6}}, {{140, 0, 0}}, {{164, 7, 0}}, {{187, 54, 0}}, {{210, 122, 0}}, {{234, 191, 0}}, {{240, 255, 0}}},
    {{{0, 0, 0}}, {{0, 0, 166}}, {{81, 0, 174}}, {{164, 0, 0}}, {{255, 81, 0}}, {{255, 163, 0}}, {{255, 255, 51}}, {{255, 255, 154}}, {{255, 255, 255}}},
    {{{0, 0, 0}}, {{46, 0, 0}}, {{92, 0, 0}}, {{139, 0, 0}}, {{185, 15, 0}}, {{231, 75, 0}}, {{255, 136, 7}}, {{255, 196, 133}}, {{255, 255, 255}}},
    {{{0, 0, 0}}, {{53, 0, 0}}, {{105, 0, 0}}, {{140, 0, 0}}, {{164, 7, 0}}, {{187, 54, 0}}, {{210, 122, 7}}, {{234, 191, 101}}, {{255, 255, 255}}},
    {{{0, 0, 0}}, {{0, 0, 43}}, {{0, 0, 86}}, {{0, 0, 130}}, {{0, 52, 173}}, {{0, 103, 217}}, {{0, 154, 255}}, {{130, 206, 255}}, {{255, 255, 255}}},
    {{{255, 0, 0}}, {{255, 199, 31}}, {{158, 255, 63}}, {{95, 255, 137}}, {{127, 253, 255}}, {{159, 182, 255}}, {{224, 191, 255}}, {{255, 223, 246}}, {{255, 254, 254}}},
    {{{0, 0, 126}}, {{0, 3, 255}}, {{0, 123, 255}}, {{0, 249, 255}}, {{119, 255, 133}}, {{246, 255, 7}}, {{255, 135, 0}}, {{255, 10, 0}}, {{125, 0, 0}}},
    {{{0, 0, 125}}, {{0, 13, 237}}, {{0, 123, 255}}, {{12, 234, 241}}, {{119, 255, 135}}, {{232, 241, 18}}, {{255, 135, 0}}, {{240, 20, 0}}, {{127, 0, 0}}},
};

void expect_entry_numbers(const int* m) {
  for (int v = 0; v < 256; ++v) ASSERT_EQ(m[768 + v], v);
}

}  // namespace

TEST(Palettes, ramp_tables_pass_through_their_listed_rows_monotonically) {
  int m[1024];
  for (int table = 0; table < 10; ++table) {
    SCOPED_TRACE("table " + std::to_string(table));
    setpalette(table, m);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(entry(m, LISTED_AT[k]), LISTED[table][k]) << "entry " << LISTED_AT[k];
    // Between two listed rows each channel only rises, only falls, or stays.
    for (int k = 0; k < 8; ++k)
      for (int c = 0; c < 3; ++c) {
        const int dir = LISTED[table][k + 1][c] - LISTED[table][k][c];
        for (int v = LISTED_AT[k]; v < LISTED_AT[k + 1]; ++v) {
          const int step = entry(m, v + 1)[c] - entry(m, v)[c];
          ASSERT_TRUE(dir > 0 ? step >= 0 : dir < 0 ? step <= 0 : step == 0)
              << "channel " << c << " entries " << v << ".." << v + 1;
        }
      }
    expect_entry_numbers(m);

    // Map index table + 2 is the same table.
    int via_index[1024];
    fill_colour_map(table + 2, via_index);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(via_index[i], m[i]) << i;
  }
}

TEST(Palettes, computed_maps) {
  int m[1024];
  fill_colour_map(0, m);
  for (int v = 0; v < 256; ++v) ASSERT_EQ(entry(m, v), (Rgb{v, v, v})) << v;
  expect_entry_numbers(m);

  fill_colour_map(1, m);
  EXPECT_EQ(entry(m, 0), (Rgb{0, 0, 255}));
  EXPECT_EQ(entry(m, 127), (Rgb{0, 253, 0}));  // 255*127/128 rounded down
  EXPECT_EQ(entry(m, 255), (Rgb{255, 0, 0}));
  EXPECT_EQ(entry(m, 155)[0], 0);    // red starts just past 154
  EXPECT_EQ(entry(m, 101)[2], 0);    // blue is gone from 101 on
  for (int v = 0; v < 256; ++v)
    for (int c = 0; c < 3; ++c) ASSERT_TRUE(entry(m, v)[c] >= 0 && entry(m, v)[c] <= 255) << v;
  expect_entry_numbers(m);
}

TEST(Palettes, banded_table_has_sixteen_colours_white_to_black) {
  int m[1024];
  fill_colour_map(12, m);
  std::set<Rgb> colours;
  for (int v = 0; v < 256; ++v) {
    colours.insert(entry(m, v));
    if (v % 16) {
      ASSERT_EQ(entry(m, v), entry(m, v - 1)) << v;
    } else if (v > 0) {
      ASSERT_NE(entry(m, v), entry(m, v - 1)) << v;
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
  fill_colour_map(-100, m);
  fill_colour_map(COLOUR_MAPS, m);
  for (int v : m) ASSERT_EQ(v, -7);

  // An unknown table number still gives a usable map: grey.
  for (int table : {-1, 11, 1000}) {
    setpalette(table, m);
    for (int v = 0; v < 256; ++v) ASSERT_EQ(entry(m, v), (Rgb{v, v, v})) << table << " " << v;
    expect_entry_numbers(m);
  }
}
