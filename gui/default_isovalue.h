#pragma once
// The isovalue a volume is first shown at: the value that best splits the
// samples into two classes (Otsu's threshold over a 256-bin histogram of
// the value range, which maximises the variance between the classes). On a
// scan it falls between the background and the object, so the first
// surface is the object's boundary; on a smooth field, between its low and
// high regions. One pass over the values, 2 KB of memory.

#include <cstddef>

namespace ctree {

// values: n samples (n > 0). A value inside [min, max] of the samples, on
// a bin edge; the middle of the range when every sample is equal.
double default_isovalue(const double* values, size_t n);

}  // namespace ctree
