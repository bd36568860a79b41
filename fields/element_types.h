#pragma once
// The element types of volume samples, in one table: the DataType enum,
// the word the command line uses ("uchar"), the word files and headers use
// ("uint8") and the width. The 64-bit integers have no command-line word:
// they come only from headers. Conversions of samples dispatch on the
// enum through with_sample_type.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/types.h"

namespace ctree {

// The value of the eight command-line types is their position in
// data_type_names().
enum DataType : int {
  TYPE_UNKNOWN = -1,
  TYPE_CHAR = 0,  // signed 8-bit
  TYPE_UCHAR,     // unsigned 8-bit
  TYPE_SHORT,     // signed 16-bit
  TYPE_USHORT,    // unsigned 16-bit
  TYPE_LONG,      // signed 32-bit, whatever the machine's long
  TYPE_ULONG,     // unsigned 32-bit
  TYPE_FLOAT,     // IEEE single
  TYPE_DOUBLE,    // IEEE double
  TYPE_INT64,     // signed 64-bit (headers only)
  TYPE_UINT64     // unsigned 64-bit (headers only)
};

struct ElementType {
  DataType type;
  const char* word;      // the command line's name; "" for none
  const char* fileName;  // the name in file names and headers
  int width;             // bytes of one sample
};

// Every type, in the enum's order.
extern const ElementType ELEMENT_TYPES[10];

// Exact, case-sensitive match against the eight command-line words;
// TYPE_UNKNOWN otherwise.
DataType type_from_string(const std::string& word);

// The type a file or header names ("int8" ... "float64"); TYPE_UNKNOWN
// for any other name.
DataType type_from_file_name(const std::string& name);

// "char|uchar|short|ushort|long|ulong|float|double"
const char* data_type_names();

// Bytes of one sample; 0 for TYPE_UNKNOWN.
int data_type_size(DataType type);

// The name files give a type ("uint8"); "" for TYPE_UNKNOWN.
const char* file_type_name(DataType type);

// Bytes of one sample of a type named as files name it; 0 for any other name.
int element_width(const std::string& file_name);

// The command line's word for a type named as files name it ("uint8" ->
// "uchar"), "" when it has none (64-bit integers) or the name is unknown.
std::string command_line_type(const std::string& file_name);

// Calls f(T()) with T the C++ type of the samples of type; false for
// TYPE_UNKNOWN (f not called).
template <class F>
bool with_sample_type(DataType type, F f) {
  switch (type) {
    case TYPE_CHAR: f(std::int8_t()); return true;
    case TYPE_UCHAR: f(std::uint8_t()); return true;
    case TYPE_SHORT: f(std::int16_t()); return true;
    case TYPE_USHORT: f(std::uint16_t()); return true;
    case TYPE_LONG: f(std::int32_t()); return true;
    case TYPE_ULONG: f(std::uint32_t()); return true;
    case TYPE_FLOAT: f(float()); return true;
    case TYPE_DOUBLE: f(double()); return true;
    case TYPE_INT64: f(std::int64_t()); return true;
    case TYPE_UINT64: f(std::uint64_t()); return true;
    default: return false;
  }
}

// Fills out with the n samples of type at data (in this machine's byte
// order, aligned for the type: a malloc'ed buffer), as slope * sample +
// inter. A 64-bit integer that a double cannot hold exactly fails with the
// sample's index in error. out's capacity is reused when large enough.
bool convert_native_samples(const void* data, const std::string& type, std::size_t n, Real slope, Real inter,
                            std::vector<Real>& out, std::string& error);

}  // namespace ctree
