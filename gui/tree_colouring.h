#pragma once
// How the branches of a tree are coloured: as they always were (lower ends
// red, upper ends blue, grey paths), by each branch's persistence, or by
// the field value along the branch. The two scales map their quantity onto
// one ramp from dark purple through red to orange, which stays clear of
// the windows' backgrounds and of the isovalue markers' green; a colour
// bar with its ticks explains it. Pure computations: nothing here draws.

#include <string>
#include <vector>

#include "ctree/flat_tree.h"

namespace ctree {

enum TreeColourMode { COLOUR_ENDS = 0, COLOUR_PERSISTENCE = 1, COLOUR_VALUE = 2, TREE_COLOUR_MODES = 3 };

// "ends", "persistence", "value".
const char* tree_colour_mode_name(int mode);

// The ramp at t in [0, 1] (clamped; a t that is not a number gives the
// low end), as bytes r g b.
void ramp_colour(double t, unsigned char rgb[3]);

// A quantity's range on the ramp: linear, or logarithmic for a range of
// several decades (lo > 0 then). Values outside [lo, hi] take the end
// colours.
struct ColourScale {
  double lo = 0, hi = 1;
  bool log = false;
  // Position of v on the ramp, in [0, 1]; 0.5 for a range of no width.
  double position(double v) const;
  void colour(double v, unsigned char rgb[3]) const { ramp_colour(position(v), rgb); }
};

// The persistences of the branches of order in tree: from the smallest to
// the largest; logarithmic when the largest is at least 10 times the
// smallest positive one (which becomes lo; zero persistences take the low
// end). An empty order gives the scale 0..1. O(order).
ColourScale persistence_scale(const FlatTree& tree, const std::vector<Index>& order);

// The field values of tree's vertices, smallest to largest, linear. O(vertices).
ColourScale value_scale(const FlatTree& tree);

// The height at which the laid-out tree draws a field value: z = a·value
// + b, read off the root branch's two ends (the layout sets every
// vertex's height from its value by one such map). valid is false for a
// tree without a root or whose root's ends have one value.
struct HeightOfValue {
  double a = 1, b = 0;
  bool valid = false;
  double operator()(double value) const { return a * value + b; }
};
HeightOfValue height_of_value(const FlatTree& tree);

struct TreeColouring {
  int mode = COLOUR_ENDS;
  ColourScale scale;
};

}  // namespace ctree
