#pragma once
// The spectrum cache file: signature functions sampled at S equally spaced
// isovalues for each of T time steps, G functions. Binary, little-endian,
// no padding: float32 minValue, maxValue, T, S, G, then T·S·G float32
// values, signature g at sample s of time index t being element
// (t·S + s)·G + g. Sample s stands for minValue + (maxValue − minValue)·s/(S − 1).

#include <string>
#include <utility>
#include <vector>

namespace ctree {

struct SpectrumData {
  float minValue = 0, maxValue = 0;
  int nTimes = 0, nSamples = 0, nSignatures = 0;
  std::vector<float> values;  // nTimes · nSamples · nSignatures
  float at(int t, int s, int g) const {
    return values[(size_t(t) * size_t(nSamples) + size_t(s)) * size_t(nSignatures) + size_t(g)];
  }
};

struct SpectrumShape;

// Reads the whole file. It must be a regular file (a pipe or a device is
// refused without waiting on it); the counts must be positive and finite
// and match the file's size exactly, and every value must be finite;
// nothing is allocated from counts the size does not back. With run, the
// header must fit it (spectrum_mismatch) before any value is read. False
// with a message naming the file and what is wrong.
bool read_spectrum_file(const std::string& name, SpectrumData& out, std::string& error,
                        const SpectrumShape* run = nullptr);
// Writes a temporary file beside name and renames it over name; false with
// a message (and no temporary file left) when that cannot be done.
bool write_spectrum_file(const std::string& name, const SpectrumData& data, std::string& error);

// What a run's spectrum looks like: its number of time steps, of samples
// (0: any) and of signatures (0: any), and the value range of its data as
// the spectrum stores it (single precision). rangeComplete: the range is
// that of every step; otherwise of some steps only, which the file's range
// must then hold.
struct SpectrumShape {
  int nTimes = 0, nSamples = 0, nSignatures = 0;
  float minValue = 0, maxValue = 0;
  bool rangeComplete = true;
};
// Why a read cache file is not the spectrum of the run (naming the file),
// or "" when it fits.
std::string spectrum_mismatch(const std::string& name, const SpectrumData& data, const SpectrumShape& run);

// Smallest and largest value of every signature over the whole file.
std::vector<std::pair<float, float>> signature_ranges(const SpectrumData& data);
// The isovalue of sample s (minValue when there is one sample).
float sample_isovalue(const SpectrumData& data, int s);

}  // namespace ctree
