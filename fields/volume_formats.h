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
bool read_nrrd_samples(const std::string& name, const VolumeHeader& header, std::vector<Real>& values, Report& report,
                       ProgressSink& progress);

}  // namespace ctree
