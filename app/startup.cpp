#include "app/startup.h"

#include <cstdint>
#include <cstdio>

#include "app/step_names.h"
#include "fields/raw_reader.h"

namespace ctree {

bool is_mesh_name(const std::string& data) {
  size_t dot = data.rfind('.');
  return dot != std::string::npos && data.compare(dot + 1, std::string::npos, "ply") == 0;
}

// Every template is checked before any of them is formatted.
static bool check_templates(const Options& o) {
  const std::pair<const char*, const std::string*> named[] = {
      {"--data", &o.data}, {"--ct", &o.ct}, {"--ctl", &o.ctl}, {"--scene", &o.scene}};
  for (auto& [option, templ] : named) {
    std::string error;
    if (!check_step_template(*templ, error)) {
      std::fprintf(stderr, "Error: %s %s\n", option, error.c_str());
      return false;
    }
  }
  return true;
}

// The grid options: three sizes of at least 2 whose product fits an Index,
// and a known element type.
static bool check_grid_options(int argc, char** argv, const Options& o) {
  if (o.dim[0] <= 0 || o.dim[1] <= 0 || o.dim[2] <= 0) {
    std::puts("Error specify volumetric grid dimension");
    printhelp(argc, argv);
    return false;
  }
  if (o.dim[0] < 2 || o.dim[1] < 2 || o.dim[2] < 2) {
    std::fprintf(stderr,
                 "Error: --dim %d %d %d: every grid dimension must be at least 2 for the contour tree\n",
                 o.dim[0], o.dim[1], o.dim[2]);
    return false;
  }
  const std::uint64_t n = std::uint64_t(o.dim[0]) * std::uint64_t(o.dim[1]) * std::uint64_t(o.dim[2]);
  if (n > std::uint64_t(INT32_MAX)) {
    std::fprintf(stderr, "Error: --dim %d %d %d: %llu vertices are more than 32-bit indices address (%d)\n",
                 o.dim[0], o.dim[1], o.dim[2], (unsigned long long)n, INT32_MAX);
    return false;
  }
  if (type_from_string(o.datatype) == TYPE_UNKNOWN) {
    std::fprintf(stderr, "Error: unknown --datatype \"%s\"; accepted types: %s\n", o.datatype.c_str(),
                 data_type_names());
    return false;
  }
  return true;
}

int run_startup(int argc, char** argv, const Options& o) {
  if (!check_templates(o)) return -1;
  if (is_mesh_name(o.data)) {
    std::fprintf(stderr, "Error: %s: triangle-mesh datasets are not supported by this build yet\n",
                 o.data.c_str());
    return -1;
  }
  if (!check_grid_options(argc, argv, o)) return -1;

  const int t = o.time[0];
  const std::string name = step_filename(o.data, t);
  if (!fileExist(name)) {
    std::printf("error. can't open %s\n", name.c_str());
    std::printf("Error. can't set time to %d\n", t);
    return -1;
  }
  std::printf("reading volumetric grid %s..\n", name.c_str());
  const Size dim[3] = {Size(o.dim[0]), Size(o.dim[1]), Size(o.dim[2])};
  const Index start[3] = {0, 0, 0};
  const Real origin[3] = {0, 0, 0}, spacing[3] = {1, 1, 1};
  ScalarField3DGrid field;
  if (!read_raw_field(name, o.datatype, start, dim, dim, origin, spacing, o.swapbyte != 0, field)) {
    std::printf("Error. can't set time to %d\n", t);
    return -1;
  }
  std::puts("...done");
  return 0;
}

}  // namespace ctree
