// Colour maps: the listed rows of every table, monotone ramps between them,
// the computed maps and the bands.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "gui/palettes.h"

using namespace ctree;

namespace {
struct C {
  int r, g, b;
};
C entry(const int* m, int v) { return {m[v], m[256 + v], m[512 + v]}; }
}  // namespace

TEST(Palettes, tables_pass_through_their_listed_rows_on_monotone_ramps) {
  const int at[9] = {0, 32, 64, 96, 128, 160, 192, 224, 255};
  // Two tables' rows written out again here: 0 and 7.
  const C t0[9] = {{108, 0, 171}, {0, 0, 229}, {16, 255, 0}, {255, 238, 0}, {255, 113, 0},
                   {229, 42, 0},  {213, 0, 0}, {182, 0, 0},  {122, 0, 0}};
  const C t7[9] = {{255, 0, 0},     {255, 199, 31},  {158, 255, 63},  {95, 255, 137},  {127, 253, 255},
                   {159, 182, 255}, {224, 191, 255}, {255, 223, 246}, {255, 254, 254}};
  int m[1024];
  fill_colour_map(2, m);
  for (int k = 0; k < 9; ++k) {
    const C c = entry(m, at[k]);
    EXPECT_EQ(std::tie(c.r, c.g, c.b), std::tie(t0[k].r, t0[k].g, t0[k].b)) << at[k];
  }
  fill_colour_map(9, m);
  for (int k = 0; k < 9; ++k) {
    const C c = entry(m, at[k]);
    EXPECT_EQ(std::tie(c.r, c.g, c.b), std::tie(t7[k].r, t7[k].g, t7[k].b)) << at[k];
  }
  for (int table = 0; table < 10; ++table) {
    setpalette(table, m);
    for (int k = 0; k < 8; ++k)
      for (int plane = 0; plane < 3; ++plane) {
        const int* p = m + 256 * plane;
        const int dir = p[at[k + 1]] - p[at[k]];
        for (int v = at[k]; v < at[k + 1]; ++v)
          ASSERT_GE((p[v + 1] - p[v]) * (dir >= 0 ? 1 : -1), 0) << "table " << table << " entry " << v;
      }
    for (int v = 0; v < 256; ++v) ASSERT_EQ(m[768 + v], v);
  }
}

TEST(Palettes, computed_maps_and_bands) {
  int m[1024];
  fill_colour_map(0, m);
  for (int v = 0; v < 256; ++v) {
    ASSERT_EQ(m[v], v);
    ASSERT_EQ(m[256 + v], v);
    ASSERT_EQ(m[512 + v], v);
  }
  fill_colour_map(1, m);
  EXPECT_EQ(entry(m, 0).r, 0);
  EXPECT_EQ(entry(m, 0).g, 0);
  EXPECT_EQ(entry(m, 0).b, 255);
  EXPECT_EQ(entry(m, 127).r, 0);
  EXPECT_EQ(entry(m, 127).g, 253);
  EXPECT_EQ(entry(m, 127).b, 0);
  EXPECT_EQ(entry(m, 255).r, 255);
  EXPECT_EQ(entry(m, 255).g, 0);
  EXPECT_EQ(entry(m, 255).b, 0);
  EXPECT_EQ(entry(m, 155).r, 0);

  fill_colour_map(12, m);
  std::set<int> colours;
  for (int v = 0; v < 256; ++v) {
    colours.insert(m[v] | m[256 + v] << 8 | m[512 + v] << 16);
    if (v % 16) {
      ASSERT_EQ(m[v], m[v - 1]);
    }
  }
  EXPECT_EQ(colours.size(), 16u);
  EXPECT_EQ(entry(m, 0).r + entry(m, 0).g + entry(m, 0).b, 765);
  EXPECT_EQ(entry(m, 255).r + entry(m, 255).g + entry(m, 255).b, 0);
  EXPECT_EQ(entry(m, 16 * 9).b, 255);  // (0,174,255)
  EXPECT_EQ(entry(m, 16 * 9).g, 174);

  int untouched[1024];
  for (int& v : untouched) v = -7;
  fill_colour_map(-1, untouched);
  fill_colour_map(13, untouched);
  for (int v : untouched) ASSERT_EQ(v, -7);
}
