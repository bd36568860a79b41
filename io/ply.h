#pragma once
// A small PLY library: header parsing and writing, and moving one element
// instance at a time between a file and a caller's plain record, converting
// every value between its type in the file and its type in memory.
//
// Records are described by PlyProperty tables (name, types, byte offsets
// into the record). Reading never trusts the file: every failure (a broken
// header, counts the data cannot hold, short or malformed data) makes the
// call return false with a message naming the file and the place, and the
// handle refuses further reads. Binary values are converted from the
// file's byte order, whatever the host's.

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/whole_file.h"
#include <vector>

#include "core/report.h"

namespace ctree {

// Scalar type codes, the same for the file and for memory.
enum PlyType : int {
  PLY_INVALID = 0,
  PLY_INT8 = 1,
  PLY_INT16 = 2,
  PLY_INT32 = 3,
  PLY_UINT8 = 4,
  PLY_UINT16 = 5,
  PLY_UINT32 = 6,
  PLY_FLOAT32 = 7,
  PLY_FLOAT64 = 8
};
extern const char* const type_names[9];
extern const char* const old_type_names[9];
extern const int ply_type_size[9];

// File types.
enum PlyFileType : int { PLY_ASCII = 1, PLY_BINARY_BE = 2, PLY_BINARY_LE = 3 };

enum PlyKind : int { PLY_SCALAR = 0, PLY_LIST = 1, PLY_STRING = 2 };

struct PlyProperty {
  std::string name;
  int file_type = PLY_INVALID;
  int memory_type = PLY_INVALID;
  int offset = 0;  // of the value; for a list, of the item pointer; for a string, of the char*
  int kind = PLY_SCALAR;
  int count_file_type = PLY_INVALID;
  int count_memory_type = PLY_INVALID;
  int count_offset = 0;
};

struct PlyElementDesc {
  std::string name;
  std::int64_t count = 0;
  std::vector<PlyProperty> properties;
  std::vector<unsigned char> store;  // 1: the caller wants this property
};

// One open PLY file, for reading or for writing.
struct PlyFile {
  std::string filename;
  std::FILE* stream = nullptr;  // reading: the file; writing: the temporary of `out`
  WholeFile out;                // writing
  bool writing = false;
  int file_type = PLY_ASCII;
  float version = 1.0f;
  std::vector<PlyElementDesc> elements;
  std::vector<std::string> comments, obj_infos;
  int current = -1;   // element being described, read or written
  std::string error;  // the first failure, with the file name; empty while all is well

  // Reading: the data section, read whole after the header.
  std::vector<unsigned char> data;
  size_t pos = 0;
  size_t data_start = 0;  // byte offset of the data in the file
  long line = 0;          // ASCII: the line number of the last line read

  ~PlyFile();
  bool failed() const { return !error.empty(); }
  // What was skipped on the way (a wanted property the file lacks), for
  // the caller to show.
  std::vector<std::string> warnings;
};

// The library prints nothing: failures are sentences that begin with the
// file name, in the handle's error or in the error argument.
//
// Reading. ply_open_for_reading: the name exactly as given. null only when
// the file cannot be opened (error says why); a broken header gives a
// handle with its error set.
PlyFile* ply_open_for_reading(const std::string& filename, std::string& error);
// The number of instances and the properties of an element; false when the
// file has no such element.
bool get_element_description_ply(PlyFile* ply, const std::string& element, std::int64_t& count,
                                 std::vector<PlyProperty>& props);
// Makes element current and wants the listed properties (matched by name;
// a missing one is skipped, with a warning). false when the element is absent.
bool get_element_setup_ply(PlyFile* ply, const std::string& element, const std::vector<PlyProperty>& wanted);
// Reads the next instance of the current element into record. Lists get
// malloc'd item arrays (null for an empty list) that the caller frees.
bool get_element_ply(PlyFile* ply, void* record);
// Skips every remaining instance of the current element.
bool skip_element_ply(PlyFile* ply);
// Moves the read position to the first instance of the element (elements
// are stored one after the other, so the earlier ones are skipped).
bool seek_element_ply(PlyFile* ply, const std::string& element);

// Writing. The name gets ".ply" appended when it does not end in it. null
// when the file cannot be created (error says why).
PlyFile* open_for_writing_ply(const std::string& filename, const std::vector<std::string>& elements, int file_type,
                              std::string& error);
bool describe_element_ply(PlyFile* ply, const std::string& element, std::int64_t count);
bool describe_property_ply(PlyFile* ply, const PlyProperty& prop);
bool header_complete_ply(PlyFile* ply);
bool put_element_setup_ply(PlyFile* ply, const std::string& element);
bool put_element_ply(PlyFile* ply, const void* record);
// Data bytes formatted by the caller, appended as they are (for writers
// that format whole runs of instances at once).
bool put_bytes_ply(PlyFile* ply, const char* bytes, size_t n);

// Closes the stream; for a file being written, false when anything failed
// on the way (error says what; the half-written file is gone). Frees the
// handle.
bool close_ply(PlyFile* ply, std::string& error);

// "Reading PLY ascii file, version 1" (or the binary byte order), then the
// comments and obj_info lines when there are any (no final newline).
std::string ply_info(const PlyFile* ply);

// For readers that fill a Report: the open handle with its header noted
// (ply_info), or null with report's error set (the file cannot be opened,
// or its header is broken).
PlyFile* ply_open_for_report(const std::string& filename, Report& report);
// Ends a read that failed: passes on the handle's warnings, sets report's
// error to "<file>: what" (the handle's own error when what is empty),
// frees the handle. Always false.
bool refuse_ply(PlyFile* ply, Report& report, const std::string& what = "");

// Type code of a type word, new names first, then old ones; 0 if unknown.
int get_prop_type(const std::string& word);

}  // namespace ctree
