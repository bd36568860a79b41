#include "io/tree_source.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace ctree {

namespace {

const char* const PREFIX = "orrery source ";

// A 64-bit mixer (the finaliser of splitmix64): every input bit moves
// about half of the output bits, so a change to any sample, or two samples
// swapped, changes the sum.
std::uint64_t mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ull;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

std::string shortest(double v) {
  char buf[64];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool parse_double(const std::string& word, double& out) {
  const char* end = word.data() + word.size();
  const std::from_chars_result r = std::from_chars(word.data(), end, out);
  return r.ec == std::errc() && r.ptr == end;
}

}  // namespace

bool TreeSource::operator==(const TreeSource& o) const {
  return mesh == o.mesh && size[0] == o.size[0] && size[1] == o.size[1] && size[2] == o.size[2] && type == o.type &&
         min == o.min && max == o.max && sum == o.sum;
}

void SourceDigest::add(std::uint64_t index, double value) {
  if (value == 0) value = 0;  // -0 and +0 are one value
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  sum += mix(bits ^ mix(index));
  if (count == 0 || value < min) min = value;
  if (count == 0 || value > max) max = value;
  ++count;
}

void SourceDigest::merge(const SourceDigest& o) {
  if (o.count == 0) return;
  if (count == 0 || o.min < min) min = o.min;
  if (count == 0 || o.max > max) max = o.max;
  sum += o.sum;
  count += o.count;
}

TreeSource grid_source(const ScalarField3DGrid& grid, const std::string& type) {
  SourceDigest d;
  for (size_t i = 0; i < grid.values.size(); ++i) d.add(i, grid.values[i]);
  TreeSource s;
  for (int a = 0; a < 3; ++a) s.size[a] = grid.dim[a];
  s.type = type;
  s.min = d.min;
  s.max = d.max;
  s.sum = d.sum;
  return s;
}

TreeSource mesh_source(const ScalarField2D& mesh, const std::string& var) {
  SourceDigest d;
  for (size_t i = 0; i < mesh.vertices.size(); ++i) d.add(i, mesh.vertices[i].field);
  TreeSource s;
  s.mesh = true;
  s.size[0] = mesh.vertices.size();
  s.type = var;
  s.min = d.min;
  s.max = d.max;
  s.sum = d.sum;
  return s;
}

std::string source_comment(const TreeSource& s) {
  char sum[20];
  std::snprintf(sum, sizeof sum, "%016llx", (unsigned long long)s.sum);
  std::string out = PREFIX;
  if (s.mesh)
    out += "mesh " + std::to_string(s.size[0]);
  else
    out += "grid " + std::to_string(s.size[0]) + " " + std::to_string(s.size[1]) + " " + std::to_string(s.size[2]);
  return out + " " + s.type + " range " + shortest(s.min) + " " + shortest(s.max) + " sum " + sum;
}

bool is_source_comment(const std::string& comment) { return comment.rfind(PREFIX, 0) == 0; }

bool parse_source_comment(const std::string& comment, TreeSource& out, std::string& error) {
  if (!is_source_comment(comment)) {
    error = "not a source record";
    return false;
  }
  std::istringstream in(comment.substr(std::strlen(PREFIX)));
  std::string kind, word[9];
  in >> kind;
  TreeSource s;
  s.mesh = kind == "mesh";
  const int sizes = s.mesh ? 1 : 3;
  bool ok = kind == "grid" || kind == "mesh";
  for (int a = 0; ok && a < sizes; ++a) {
    std::string w;
    ok = bool(in >> w) && !w.empty() && w.size() < 20 && w.find_first_not_of("0123456789") == std::string::npos;
    if (ok) s.size[a] = std::stoull(w);
  }
  std::string range, lo, hi, sumword, sum, rest;
  ok = ok && in >> s.type >> range >> lo >> hi >> sumword >> sum && !(in >> rest) && range == "range" &&
       sumword == "sum" && parse_double(lo, s.min) && parse_double(hi, s.max) && s.min <= s.max && sum.size() == 16 &&
       sum.find_first_not_of("0123456789abcdef") == std::string::npos;
  if (!ok) {
    error = "its header's source record \"" + comment + "\" is damaged";
    return false;
  }
  s.sum = std::stoull(sum, nullptr, 16);
  out = s;
  return true;
}

std::string describe_source(const TreeSource& s) {
  char sum[20];
  std::snprintf(sum, sizeof sum, "%016llx", (unsigned long long)s.sum);
  std::string out = s.mesh ? "a mesh of " + std::to_string(s.size[0]) + " vertices with field " + s.type
                           : "a " + std::to_string(s.size[0]) + " x " + std::to_string(s.size[1]) + " x " +
                                 std::to_string(s.size[2]) + " " + s.type + " grid";
  return out + ", values " + shortest(s.min) + " .. " + shortest(s.max) + ", checksum " + sum;
}

}  // namespace ctree
