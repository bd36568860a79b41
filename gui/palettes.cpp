#include "gui/palettes.h"

namespace ctree {

namespace {

// The ramps of tables 0..9 pass through these colours at entries 0, 32,
// ..., 224 and 255; the entries between are linear in each channel.
const int RAMP_ENTRIES[9] = {0, 32, 64, 96, 128, 160, 192, 224, 255};
const unsigned char RAMPS[10][9][3] = {
    {{108, 0, 171}, {0, 0, 229}, {16, 255, 0}, {255, 238, 0}, {255, 113, 0}, {229, 42, 0}, {213, 0, 0}, {182, 0, 0}, {122, 0, 0}},
    {{0, 0, 0}, {0, 0, 66}, {0, 100, 100}, {0, 150, 50}, {120, 100, 0}, {208, 36, 0}, {224, 110, 0}, {240, 184, 0}, {255, 255, 0}},
    {{0, 5, 255}, {52, 0, 98}, {105, 0, 6}, {140, 0, 0}, {164, 7, 0}, {187, 54, 0}, {210, 122, 0}, {234, 191, 0}, {240, 255, 0}},
    {{0, 0, 0}, {0, 0, 166}, {81, 0, 174}, {164, 0, 0}, {255, 81, 0}, {255, 163, 0}, {255, 255, 51}, {255, 255, 154}, {255, 255, 255}},
    {{0, 0, 0}, {46, 0, 0}, {92, 0, 0}, {139, 0, 0}, {185, 15, 0}, {231, 75, 0}, {255, 136, 7}, {255, 196, 133}, {255, 255, 255}},
    {{0, 0, 0}, {53, 0, 0}, {105, 0, 0}, {140, 0, 0}, {164, 7, 0}, {187, 54, 0}, {210, 122, 7}, {234, 191, 101}, {255, 255, 255}},
    {{0, 0, 0}, {0, 0, 43}, {0, 0, 86}, {0, 0, 130}, {0, 52, 173}, {0, 103, 217}, {0, 154, 255}, {130, 206, 255}, {255, 255, 255}},
    {{255, 0, 0}, {255, 199, 31}, {158, 255, 63}, {95, 255, 137}, {127, 253, 255}, {159, 182, 255}, {224, 191, 255}, {255, 223, 246}, {255, 254, 254}},
    {{0, 0, 126}, {0, 3, 255}, {0, 123, 255}, {0, 249, 255}, {119, 255, 133}, {246, 255, 7}, {255, 135, 0}, {255, 10, 0}, {125, 0, 0}},
    {{0, 0, 125}, {0, 13, 237}, {0, 123, 255}, {12, 234, 241}, {119, 255, 135}, {232, 241, 18}, {255, 135, 0}, {240, 20, 0}, {127, 0, 0}},
};

// Table 10: sixteen bands of sixteen entries.
const unsigned char BANDS[16][3] = {{255, 255, 255}, {255, 0, 0},   {199, 0, 0},   {149, 0, 0},
                                    {255, 149, 0},   {255, 255, 0}, {0, 255, 0},   {0, 174, 0},
                                    {9, 124, 9},     {0, 174, 255}, {0, 124, 255}, {0, 0, 255},
                                    {199, 0, 255},   {149, 0, 189}, {124, 0, 124}, {0, 0, 0}};

// Entry v of table t packed as red | green << 8 | blue << 16.
int table_entry(int t, int v) {
  int rgb[3];
  if (t == 10) {
    for (int k = 0; k < 3; ++k) rgb[k] = BANDS[v / 16][k];
  } else {
    int seg = 0;
    while (seg < 7 && v > RAMP_ENTRIES[seg + 1]) ++seg;
    const int a = RAMP_ENTRIES[seg], b = RAMP_ENTRIES[seg + 1];
    for (int k = 0; k < 3; ++k) {
      const int c0 = RAMPS[t][seg][k], c1 = RAMPS[t][seg + 1][k];
      // Rounded to the nearest integer, exact at both ends.
      const int num = c0 * (b - a) + (c1 - c0) * (v - a);
      rgb[k] = (2 * num + (b - a)) / (2 * (b - a));
    }
  }
  return rgb[0] | rgb[1] << 8 | rgb[2] << 16;
}

}  // namespace

void setpalette(int table, int* out) {
  for (int v = 0; v < 256; ++v) {
    const int e = table >= 0 && table <= 10 ? table_entry(table, v) : v | v << 8 | v << 16;
    out[v] = e & 255;
    out[256 + v] = (e >> 8) & 255;
    out[512 + v] = (e >> 16) & 255;
    out[768 + v] = v;
  }
}

void fill_colour_map(int index, int* out) {
  if (index < 0 || index >= COLOUR_MAPS) return;
  if (index >= 2) {
    setpalette(index - 2, out);
    return;
  }
  for (int v = 0; v < 256; ++v) {
    if (index == 0) {
      out[v] = out[256 + v] = out[512 + v] = v;
    } else {
      out[v] = v <= 154 ? 0 : (255 * v - 39525) / 100;
      out[256 + v] = v < 128 ? 255 * v / 128 : 255 * (255 - v) / 128;
      out[512 + v] = v < 101 ? (100 - v) * 255 / 100 : 0;
    }
    out[768 + v] = v;
  }
}

}  // namespace ctree
