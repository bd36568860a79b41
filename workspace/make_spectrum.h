#pragma once
// The contour spectrum of a run: every signature function of the contour
// library sampled at S equally spaced isovalues over the value range of all
// time steps, for every time step, and its cache file beside the data.

#include <string>

#include "workspace/spectrum_file.h"

namespace ctree {

class ContourData;

// The cache file's name: the data name of the first step + ".spectrum".
std::string spectrum_file_name(const ContourData& contourData);

// Computes the spectrum into out; the dataset and the bridge return to the
// step they were at. False after a failure said to the run's messages.
bool make_spectrum(ContourData& contourData, int S, SpectrumData& out);

// Computes the spectrum and writes its cache file. A file that cannot be
// written is reported (one line naming it) and out still holds the
// spectrum; the result says whether the file was written.
bool make_spectrum_file(ContourData& contourData, int S, SpectrumData& out);

// Where the spectrum in hand came from.
enum class SpectrumSource {
  Kept,      // read from a valid cache file
  Written,   // computed, and the cache file written
  InMemory,  // computed, but the cache file could not be written (said)
  Failed     // not computed (said)
};

// The shape and value range the run's spectrum has: its steps, S samples
// (0: any), the library's signatures, the range of the steps loaded.
SpectrumShape run_spectrum_shape(ContourData& contourData, int S);

// The run's spectrum into out: its cache file when that is valid and fits
// the run (run_spectrum_shape), else computed with S samples (0: the
// library's default) and written (a cache that exists but is refused is
// said in one line first).
SpectrumSource read_or_make_spectrum(ContourData& contourData, int S, SpectrumData& out);

}  // namespace ctree
