#include "fields/raw_reader.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <istream>
#include <vector>

#include "core/huge_pages.h"
#include "core/progress.h"
#include "fields/byte_swap.h"
#include "fields/volume_file.h"

namespace ctree {

template <class T>
static Real load(const unsigned char* bytes, bool swap) {
  ByteSwap<T> s;
  std::memcpy(&s.value, bytes, sizeof(T));
  if (swap) s.swapBytes();
  return Real(s.value);
}

Real convert_sample(const unsigned char* bytes, DataType type, bool swap) {
  Real value = -1.0;
  with_sample_type(type, [&](auto sample) { value = load<decltype(sample)>(bytes, swap && sizeof(sample) > 1); });
  return value;
}

Real get_real_value(std::istream& in, DataType type, bool swap, Report& report) {
  int size = data_type_size(type);
  if (size == 0) {
    report.warn("ERROR:: get_real_value got an unknown data type. very serious problem");
    return -1.0;
  }
  unsigned char bytes[8];
  in.read(reinterpret_cast<char*>(bytes), size);
  if (!in) return -1.0;
  return convert_sample(bytes, type, swap);
}

// Converts n samples of type T at bytes into out, swapping each first if asked.
template <class T>
static void convert_row_as(const unsigned char* bytes, Size n, bool swap, Real* out) {
  for (Size i = 0; i < n; ++i, bytes += sizeof(T)) {
    ByteSwap<T> s;
    std::memcpy(&s.value, bytes, sizeof(T));
    if (swap) s.swapBytes();
    out[i] = Real(s.value);
  }
}

static void convert_row(const unsigned char* bytes, Size n, DataType type, bool swap, Real* out) {
  with_sample_type(type,
                   [&](auto sample) { convert_row_as<decltype(sample)>(bytes, n, swap && sizeof(sample) > 1, out); });
}

bool read_raw_field(const std::string& filename, const std::string& type_name, const Index start[3],
                    const Size file_size[3], const Size block[3], const Real origin[3], const Real spacing[3],
                    bool swap, ScalarField3DGrid& field, Report& report, ProgressSink& prog) {
  const std::string where = "error reading field " + filename + ": ";
  const DataType type = type_from_string(type_name);
  if (type == TYPE_UNKNOWN)
    return report.fail(where + "unknown data type \"" + type_name + "\" (accepted: " + data_type_names() + ")");
  for (int a = 0; a < 3; ++a) {
    if (start[a] < 0 || block[a] == 0 || std::uint64_t(start[a]) + block[a] > file_size[a])
      return report.fail(where + "block " + std::to_string(start[a]) + "+" + std::to_string(block[a]) + " along axis " +
                         std::to_string(a) + " does not fit the grid size " + std::to_string(file_size[a]));
  }
  // Sizes are multiplied with overflow checks: a wrapped product would pass
  // every later check and read nothing.
  std::uint64_t count = 0;
  if (!checked_product(block[0], block[1], block[2], 1, std::uint64_t(INT32_MAX), count))
    return report.fail(where + std::to_string(block[0]) + "x" + std::to_string(block[1]) + "x" +
                       std::to_string(block[2]) + " vertices are more than 32-bit indices address");
  const int width = data_type_size(type);
  std::uint64_t needed = 0;
  const bool fits = checked_product(file_size[0], file_size[1], file_size[2], std::uint64_t(width),
                                    std::uint64_t(INT64_MAX), needed);
  // Only a regular file has a size to check before anything is allocated.
  std::uint64_t found = 0;
  if (!regular_file_size(filename, found, report)) return false;
  if (!fits || found < needed)
    return report.fail(where + "the file holds " + std::to_string(found) + " bytes, a " + std::to_string(file_size[0]) +
                       "x" + std::to_string(file_size[1]) + "x" + std::to_string(file_size[2]) + " grid of " +
                       type_name + " needs " + (fits ? std::to_string(needed) : std::string("more than 2^63")));
  if (found > needed) report.warn("WARNING: not eof of file " + filename + ". Are you sure about datafield dimension?");
  std::FILE* in = std::fopen(filename.c_str(), "rb");
  if (!in) return report.fail("error opening file " + filename + ": " + std::strerror(errno));

  for (int a = 0; a < 3; ++a) {
    field.dim[a] = block[a];
    field.origin[a] = origin[a];
    field.spacing[a] = spacing[a];
  }
  field.values.clear();
  field.values.shrink_to_fit();
  reserve_huge(field.values, count);
  field.values.resize(count, 0.0);

  prog.init("\bReading field values", Size(count));
  const std::size_t row_bytes = std::size_t(file_size[0]) * width;
  std::vector<unsigned char> row(row_bytes);
  std::vector<char> stream_buffer(1 << 20);
  std::setvbuf(in, stream_buffer.data(), _IOFBF, stream_buffer.size());
  std::size_t k = 0;
  const Size z_end = Size(start[2]) + block[2], y_end = Size(start[1]) + block[1];
  bool ok = true;
  // Rows before the box and beside it are read and dropped; reading stops
  // after the last row the box needs.
  for (Size z = 0; z < z_end && ok; ++z) {
    for (Size y = 0; y < file_size[1]; ++y) {
      if (std::fread(row.data(), 1, row_bytes, in) != row_bytes) {
        ok = false;
        break;
      }
      if (z < Size(start[2]) || y < Size(start[1]) || y >= y_end) continue;
      convert_row(row.data() + std::size_t(start[0]) * width, block[0], type, swap, &field.values[k]);
      k += block[0];
      prog.update(Index(k - 1));
    }
  }
  std::fclose(in);
  if (!ok || k != count)
    return report.fail(where + "the file ended before sample " + std::to_string(k) + " of " + std::to_string(count));
  Real lo = field.values[0], hi = field.values[0];
  for (Real v : field.values) {
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
  }
  char range[96];
  std::snprintf(range, sizeof range, "Scalar field value %e %e", double(float(lo)), double(float(hi)));
  report.note(range);
  return true;
}

}  // namespace ctree
