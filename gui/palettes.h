#pragma once
// Colour maps of the spectrum window. A colour-map buffer is int[1024]: four
// planes of 256 ints, red (0..255), green (256..511), blue (512..767) and
// the entry number (768..1023), every element in 0..255.
//
// Map index 0 is a grey ramp and 1 a computed blue-green-red map; 2..12 are
// the fixed tables 0..10 of setpalette. A negative index means no colour map.

namespace ctree {

constexpr int COLOUR_MAPS = 13;

// Fixed table 0..10 into out[1024]. Any other number gives a grey ramp so a
// bad table number still leaves a usable map.
void setpalette(int table, int* out);

// Colour map index into out[1024]; a negative index, or one past the last
// map, leaves out untouched.
void fill_colour_map(int index, int* out);

}  // namespace ctree
