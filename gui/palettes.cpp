#include "gui/palettes.h"

namespace ctree {

namespace {

constexpr int TABLES = 11;

// Tables 0..9 are ramps through these colours at entries 0, 32, ..., 224 and
// 255, each channel linear between consecutive listed entries.
const int RAMP_ENTRIES[9] = {0, 32, 64, 96, 128, 160, 192, 224, 255};
const unsigned char RAMP_ROWS[10][9][3] = {
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

// Table 10: sixteen bands of sixteen equal entries, white first, black last.
const unsigned char BANDS[16][3] = {
    {255, 255, 255}, {255, 0, 0},   {199, 0, 0},   {149, 0, 0},   {255, 149, 0}, {255, 255, 0},
    {0, 255, 0},     {0, 174, 0},   {9, 124, 9},   {0, 174, 255}, {0, 124, 255}, {0, 0, 255},
    {199, 0, 255},   {149, 0, 189}, {124, 0, 124}, {0, 0, 0}};

int pack(int r, int g, int b) { return r | g << 8 | b << 16; }

// The fixed tables as packed entries (red bits 0-7, green 8-15, blue 16-23).
struct Tables {
  int entry[TABLES][256];

  Tables() {
    for (int t = 0; t < 10; ++t) {
      for (int seg = 0; seg < 8; ++seg) {
        const int a = RAMP_ENTRIES[seg], b = RAMP_ENTRIES[seg + 1], d = b - a;
        const unsigned char* c0 = RAMP_ROWS[t][seg];
        const unsigned char* c1 = RAMP_ROWS[t][seg + 1];
        for (int v = a; v <= b; ++v) {
          int rgb[3];
          for (int k = 0; k < 3; ++k) {
            // c0 + (c1 - c0)(v - a)/d rounded to nearest: num stays >= 0 and
            // grows (or shrinks) with v, so the ramp is exact at both ends
            // and monotone between them.
            const int num = c0[k] * d + (c1[k] - c0[k]) * (v - a);
            rgb[k] = (2 * num + d) / (2 * d);
          }
          entry[t][v] = pack(rgb[0], rgb[1], rgb[2]);
        }
      }
    }
    for (int v = 0; v < 256; ++v) {
      const unsigned char* c = BANDS[v / 16];
      entry[10][v] = pack(c[0], c[1], c[2]);
    }
  }
};

const Tables& tables() {
  static const Tables t;  // built once, thread-safe initialisation
  return t;
}

}  // namespace

void setpalette(int table, int* out) {
  const bool known = table >= 0 && table < TABLES;
  const int* entries = known ? tables().entry[table] : nullptr;
  for (int v = 0; v < 256; ++v) {
    const int e = known ? entries[v] : pack(v, v, v);
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
      // Blue fades out over the low third, green peaks in the middle, red
      // rises over the top 100 entries (255*155 == 39525, so red starts at 0).
      out[v] = v <= 154 ? 0 : (255 * v - 39525) / 100;
      out[256 + v] = v < 128 ? 255 * v / 128 : 255 * (255 - v) / 128;
      out[512 + v] = v < 101 ? (100 - v) * 255 / 100 : 0;
    }
    out[768 + v] = v;
  }
}

}  // namespace ctree
