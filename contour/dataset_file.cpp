#include "contour/dataset_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/messages.h"

namespace contour {

namespace {

const char* kind_name(int meshtype) {
  switch (meshtype) {
    case CONTOUR_2D: return "slc";
    case CONTOUR_3D: return "vol";
    case CONTOUR_REG_2D: return "reg2";
    case CONTOUR_REG_3D: return "reg3";
  }
  return nullptr;
}

int header_count(int meshtype) { return meshtype == CONTOUR_REG_3D ? 3 : 2; }

bool fail(ctree::MessageSink& messages, const char* file, const std::string& what) {
  messages.error(ctree::format_message("isolark:loadDataset: %s: %s", file, what.c_str()));
  return false;
}

// Reads the header of one file into sizes; leaves in positioned after it.
bool read_header(ctree::MessageSink& messages, std::ifstream& in, const char* file, int meshtype, long long sizes[3]) {
  std::string line;
  if (!std::getline(in, line)) return fail(messages, file, "empty file, expected a header line");
  std::istringstream hs(line);
  std::string kind;
  hs >> kind;
  if (kind != kind_name(meshtype))
    return fail(messages, file, "header starts with \"" + kind + "\", expected \"" + kind_name(meshtype) + "\"");
  for (int a = 0; a < header_count(meshtype); ++a)
    if (!(hs >> sizes[a]) || sizes[a] < 1)
      return fail(messages, file, "header \"" + line + "\" has a missing or bad size");
  std::string extra;
  if (hs >> extra) return fail(messages, file, "header \"" + line + "\" has extra text \"" + extra + "\"");
  return true;
}

bool read_block(ctree::MessageSink& messages, std::ifstream& in, const char* file, void* to, size_t bytes,
                const char* what) {
  in.read(static_cast<char*>(to), std::streamsize(bytes));
  if (size_t(in.gcount()) != bytes)
    return fail(messages, file,
                std::string("file ends inside the ") + what + " (" + std::to_string(in.gcount()) + " of " +
                    std::to_string(bytes) + " bytes)");
  return true;
}

}  // namespace

std::string dataset_file_header(int meshtype, const int* sizes) {
  std::string h = kind_name(meshtype) ? kind_name(meshtype) : "?";
  for (int a = 0; a < header_count(meshtype); ++a) h += " " + std::to_string(sizes[a]);
  return h;
}

ConDataset* loadDataset(int type, int meshtype, int nvars, int ntime, char** files, ctree::MessageSink& messages) {
  if (meshtype < 2 || meshtype > 5) return nullptr;
  if (type_size(type) == 0) {
    messages.error(
        ctree::format_message("isolark:loadDataset: invalid data type %d (0 uchar, 1 ushort, 2 float)", type));
    return nullptr;
  }
  if (nvars < 1 || ntime < 1 || !files) {
    messages.error(ctree::format_message(
        "isolark:loadDataset: %d variables and %d time steps; need at least one of each", nvars, ntime));
    return nullptr;
  }
  const bool grid = meshtype == CONTOUR_REG_2D || meshtype == CONTOUR_REG_3D;
  const int dimv = meshtype == CONTOUR_2D ? 2 : 3;  // doubles per vertex
  const int per = meshtype == CONTOUR_2D ? 3 : 4;   // indices per cell
  long long first[3] = {0, 0, 0};
  std::vector<double> verts;
  std::vector<unsigned> cells;
  std::vector<int> adj;
  std::vector<unsigned char> values;
  long long nverts = 0;
  for (int t = 0; t < ntime; ++t) {
    const char* file = files[t];
    if (!file) {
      messages.error(ctree::format_message("isolark:loadDataset: no file name for time step %d", t));
      return nullptr;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      messages.error(ctree::format_message("isolark:loadDataset: %s: cannot open: %s", file, std::strerror(errno)));
      return nullptr;
    }
    long long sizes[3] = {1, 1, 1};
    if (!read_header(messages, in, file, meshtype, sizes)) return nullptr;
    if (t == 0) {
      std::memcpy(first, sizes, sizeof first);
      nverts = grid ? sizes[0] * sizes[1] * sizes[2] : sizes[0];
      if (nverts > 0x7fffffffLL || (!grid && sizes[1] > 0x7fffffffLL / per)) {
        fail(messages, file, "sizes too large");
        return nullptr;
      }
      if (!grid) {
        verts.resize(size_t(sizes[0]) * dimv);
        cells.resize(size_t(sizes[1]) * per);
        adj.resize(size_t(sizes[1]) * per);
      }
      values.resize(size_t(nverts) * nvars * type_size(type) * ntime);
    } else if (std::memcmp(first, sizes, sizeof first) != 0) {
      fail(messages, file, "header differs from the one of " + std::string(files[0]));
      return nullptr;
    }
    if (!grid) {
      // Later steps repeat the mesh; it is read and skipped.
      std::vector<double> v(verts.size());
      std::vector<unsigned> c(cells.size());
      std::vector<int> a(adj.size());
      if (!read_block(messages, in, file, v.data(), v.size() * sizeof(double), "vertex positions") ||
          !read_block(messages, in, file, c.data(), c.size() * sizeof(unsigned), "cells") ||
          !read_block(messages, in, file, a.data(), a.size() * sizeof(int), "cell neighbours"))
        return nullptr;
      if (t == 0) {
        verts.swap(v);
        cells.swap(c);
        adj.swap(a);
      }
    }
    const size_t step = size_t(nverts) * nvars * type_size(type);
    if (!read_block(messages, in, file, values.data() + t * step, step, "values")) return nullptr;
    if (in.peek() != EOF)
      messages.warning(ctree::format_message("isolark:loadDataset: %s: warning: data after the values ignored", file));
  }
  if (grid) {
    int dim[3] = {int(first[0]), int(first[1]), int(first[2])};
    return newDatasetReg(type, meshtype, nvars, ntime, dim, values.data(), nullptr, nullptr, messages);
  }
  return newDatasetUnstr(type, meshtype, nvars, ntime, int(first[0]), int(first[1]), verts.data(), cells.data(),
                         adj.data(), values.data(), messages);
}

}  // namespace contour
