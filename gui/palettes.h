#pragma once
// Colour maps of the spectrum window: 256 colours in a buffer of four
// planes of 256 ints (red, green, blue, and the entry number), each 0..255.
// Index 0 and 1 are computed maps, 2..12 the fixed tables 0..10 of
// setpalette; a negative index means no colour map.

namespace ctree {

constexpr int COLOUR_MAPS = 13;

// Fixed table 0..10 into out[1024]; another number gives a grey ramp.
void setpalette(int table, int* out);
// Colour map index into out[1024]; a negative index or one past 12 leaves
// out untouched.
void fill_colour_map(int index, int* out);

}  // namespace ctree
