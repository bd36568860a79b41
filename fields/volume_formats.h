#pragma once
// The readers behind read_volume, one file per format. Each fills a
// VolumeHeader from its header (no samples read) and converts one volume
// to values; errors name the file and the header field at fault.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/progress.h"
#include "core/report.h"
#include "fields/volume_file.h"

namespace ctree {

// Deflate expands at most about 1032 to 1: a compressed file of n bytes
// holds at most n * MAX_DEFLATE_RATIO bytes of samples.
constexpr std::uint64_t MAX_DEFLATE_RATIO = 1032;

bool read_nifti_header(const std::string& name, VolumeHeader& header, Report& report);
bool read_nifti_samples(const std::string& name, const VolumeHeader& header, Size volume, std::vector<Real>& values,
                        Report& report, ProgressSink& progress);

bool read_nrrd_header(const std::string& name, VolumeHeader& header, Report& report);
bool read_nrrd_samples(const std::string& name, const VolumeHeader& header, std::vector<Real>& values,
                       Report& report, ProgressSink& progress);

// Bytes of one sample of an element type named as files name it ("int8",
// "uint8", "int16", "uint16", "int32", "uint32", "int64", "uint64",
// "float32", "float64"); 0 for any other name.
int element_width(const std::string& type);


// Fills out with the n samples of type at data (in this machine's byte
// order, aligned for the type: a malloc'ed buffer), as slope * sample +
// inter. A 64-bit integer that a double cannot hold exactly fails with the
// sample's index in error. out's capacity is reused when large enough.
bool convert_native_samples(const void* data, const std::string& type, std::size_t n, Real slope, Real inter,
                            std::vector<Real>& out, std::string& error);

}  // namespace ctree
