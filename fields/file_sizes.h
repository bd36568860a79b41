#pragma once
// Sizes of volume files and grids, checked before anything is allocated.

#include <cstdint>
#include <string>

#include "core/report.h"

namespace ctree {

// The size in bytes of a regular file; false with a report naming what the
// path is instead (missing, a directory, a device, a pipe).
bool regular_file_size(const std::string& name, std::uint64_t& bytes, Report& report);

// a·b·c (and ·width) without wrapping; false when the product passes limit.
bool checked_product(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t width, std::uint64_t limit,
                     std::uint64_t& product);

}  // namespace ctree
