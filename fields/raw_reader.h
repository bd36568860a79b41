#pragma once
// Reader of headerless raw volumes: dimx·dimy·dimz samples of one element
// type, x fastest, then y, then z, optionally byte-swapped per sample.

#include <istream>
#include <string>

#include "core/progress.h"
#include "core/report.h"
#include "core/types.h"
#include "fields/element_types.h"
#include "fields/grid_field.h"

namespace ctree {

// Converts one sample stored at bytes (data_type_size bytes), reversing its
// bytes first when swap is set and the type is wider than one byte.
Real convert_sample(const unsigned char* bytes, DataType type, bool swap);

// Reads one sample from the stream. For an unknown type it reads nothing,
// warns in report and returns -1.0.
Real get_real_value(std::istream& in, DataType type, bool swap, Report& report);

// Reads the sub-box [start, start + block) of a raw file of size file_size
// into field (dim = block, origin and spacing as given; sorted is untouched),
// then notes "Scalar field value <min> <max>" in report. Returns false with report's
// error naming the file when the file cannot be opened, is shorter than
// the grid, the type is unknown or the box does not fit the file. A file
// longer than the grid is read, with a warning in report.
// Cost: one pass over the file, in rows of file_size[0] samples, each row
// reported to progress.
bool read_raw_field(const std::string& filename, const std::string& type, const Index start[3], const Size file_size[3],
                    const Size block[3], const Real origin[3], const Real spacing[3], bool swap,
                    ScalarField3DGrid& field, Report& report, ProgressSink& progress);

}  // namespace ctree
