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
// step they were at. False after a printed failure.
bool make_spectrum(ContourData& contourData, int S, SpectrumData& out);

// Computes the spectrum and writes its cache file. A file that cannot be
// written is reported (one line naming it) and out still holds the
// spectrum; the result says whether the file was written.
bool make_spectrum_file(ContourData& contourData, int S, SpectrumData& out);

}  // namespace ctree
