#include "fields/element_types.h"

#include <limits>
#include <type_traits>

namespace ctree {

const ElementType ELEMENT_TYPES[10] = {{TYPE_CHAR, "char", "int8", 1},      {TYPE_UCHAR, "uchar", "uint8", 1},
                                       {TYPE_SHORT, "short", "int16", 2},   {TYPE_USHORT, "ushort", "uint16", 2},
                                       {TYPE_LONG, "long", "int32", 4},     {TYPE_ULONG, "ulong", "uint32", 4},
                                       {TYPE_FLOAT, "float", "float32", 4}, {TYPE_DOUBLE, "double", "float64", 8},
                                       {TYPE_INT64, "", "int64", 8},        {TYPE_UINT64, "", "uint64", 8}};

DataType type_from_string(const std::string& word) {
  for (const ElementType& e : ELEMENT_TYPES)
    if (*e.word && word == e.word) return e.type;
  return TYPE_UNKNOWN;
}

DataType type_from_file_name(const std::string& name) {
  for (const ElementType& e : ELEMENT_TYPES)
    if (name == e.fileName) return e.type;
  return TYPE_UNKNOWN;
}

const char* data_type_names() {
  static const std::string names = [] {
    std::string s;
    for (const ElementType& e : ELEMENT_TYPES)
      if (*e.word) s += (s.empty() ? "" : "|") + std::string(e.word);
    return s;
  }();
  return names.c_str();
}

int data_type_size(DataType type) { return type == TYPE_UNKNOWN ? 0 : ELEMENT_TYPES[type].width; }

const char* file_type_name(DataType type) { return type == TYPE_UNKNOWN ? "" : ELEMENT_TYPES[type].fileName; }

int element_width(const std::string& file_name) { return data_type_size(type_from_file_name(file_name)); }

std::string command_line_type(const std::string& file_name) {
  const DataType t = type_from_file_name(file_name);
  return t == TYPE_UNKNOWN ? "" : ELEMENT_TYPES[t].word;
}

bool convert_native_samples(const void* data, const std::string& type, std::size_t n, Real slope, Real inter,
                            std::vector<Real>& out, std::string& error) {
  bool exact = true;
  const bool known = with_sample_type(type_from_file_name(type), [&](auto sample) {
    using T = decltype(sample);
    // The libraries hand over malloc'ed buffers: aligned for any sample type.
    const T* first = static_cast<const T*>(data);
    if constexpr (std::is_integral_v<T> && sizeof(T) == 8) {
      // 64-bit integers convert only while a double holds them exactly.
      const T limit = T(1) << 53;
      for (std::size_t i = 0; i < n; ++i)
        if (first[i] > limit || (std::numeric_limits<T>::is_signed && first[i] < -limit)) {
          error = "sample " + std::to_string(i) + " (" + std::to_string(first[i]) +
                  ") is a 64-bit integer that a double cannot hold exactly";
          exact = false;
          return;
        }
    }
    // One pass: the values are constructed from the samples (no zero fill
    // first), scaled in place only when the header asks for it.
    out.assign(first, first + n);
    if (slope != 1 || inter != 0)
      for (Real& v : out) v = slope * v + inter;
  });
  if (!known) {
    error = "element type " + type + " cannot be read";
    return false;
  }
  return exact;
}

}  // namespace ctree
