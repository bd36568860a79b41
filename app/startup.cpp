#include "app/startup.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdint>
#include <cstdio>

#include "workspace/contour_data.h"
#include "workspace/make_spectrum.h"
#include "workspace/report_print.h"
#include "workspace/step_names.h"
#include "workspace/main_data.h"
#include "fields/raw_reader.h"
#include "io/povray.h"

namespace ctree {

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
  const std::pair<const char*, const std::string*> trees[] = {{"--ct", &o.ct}, {"--ctl", &o.ctl}};
  for (auto& [option, templ] : trees) {
    std::string error;
    if (!templ->empty() && !check_tree_file_name(*templ, error)) {
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

// --batch: every time step from the first to the last, one line each.
// PREFIX.<step>.pov with the fragments PREFIX.<step>.tree.inc (the
// laid-out tree, else the contour tree) and, for a mesh without a laid-out
// tree (which has a frame of its own), PREFIX.<step>.mesh.inc.
static bool write_povray_step(const MainData& data, const std::string& prefix, int t) {
  const std::string base = prefix + "." + std::to_string(t);
  std::string mesh, tree;
  Report report;
  if (data.field2d && !data.ctreel) {
    mesh = base + ".mesh.inc";
    if (!mesh2povray(mesh, *data.field2d, report)) return print_report(report);
  }
  const FlatTree* ct = data.ctreel ? data.ctreel : data.ctree;
  float lo[3] = {data.modelBox.x, data.modelBox.y, data.modelBox.z};
  float hi[3] = {lo[0] + data.modelBox.dx, lo[1] + data.modelBox.dy, lo[2] + data.modelBox.dz};
  if (ct) {
    tree = base + ".tree.inc";
    if (!ctree2povray(tree, *ct, 0.0f, nullptr, report)) return print_report(report);
    if (data.ctreel) {
      // The laid-out tree has a frame of its own: its vertices' box.
      for (int a = 0; a < 3; ++a) lo[a] = 1e30f, hi[a] = -1e30f;
      for (size_t i = 0; i < ct->vertices.size(); ++i) {
        if (!ct->used(Index(i))) continue;
        const float p[3] = {float(ct->vertices[i].x), float(ct->vertices[i].y), float(ct->vertices[i].z)};
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
      }
    }
  }
  // Laid-out trees stand along z; a mesh's height is its field axis.
  const int up = data.ctreel || !data.field2d ? 2 : data.dataset.var == "x" ? 0 : data.dataset.var == "z" ? 2 : 1;
  if (!write_povray_scene(base + ".pov", mesh, tree, lo, hi, up, report))
    return print_report(report);
  std::printf("wrote POV-Ray scene %s.pov\n", base.c_str());
  return true;
}

// The first step was loaded by the constructor, which started at t_first.
static int run_batch(MainData& data, const Options& o, std::chrono::steady_clock::time_point t_first) {
  for (int t = o.time[0]; t <= o.time[1]; t += o.time[2]) {
    const auto t0 = t == o.time[0] ? t_first : std::chrono::steady_clock::now();
    if (!data.setTime(t)) {
      std::fprintf(stderr, "Error: time step %d failed\n", t);
      return -1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const FlatTree* tree = data.ctree ? data.ctree : data.ctreel;
    const Size vertices = data.field3d ? data.field3d->vertexCount() : data.field2d ? data.field2d->vertexCount() : 0;
    const StepTimes& p = data.lastLoad;
    std::printf(
        "step %d: %u vertices, %u critical points, %zu branches, largest persistence %g, %.3f s "
        "(read %.3f, merge trees %.3f, contour tree %.3f, files %.3f, layout %.3f)\n",
        t, vertices, tree ? MainData::usedVertices(*tree) : 0u, tree ? tree->branches.size() : size_t(0),
        tree && !tree->empty() ? tree->root().persistence : 0.0, seconds, p.read, p.mergeTrees,
        p.contourTree, p.files, p.layout);
    std::fflush(stdout);
    if (!o.povray.empty() && !write_povray_step(data, o.povray, t)) return -1;
  }
  if (o.spectrum > 0) {
    ContourData bridge(&data);
    SpectrumData spectrum;
    const SpectrumSource got = read_or_make_spectrum(bridge, o.spectrum, spectrum);
    // A cache that fits the run is kept; one that does not was computed again.
    if (got == SpectrumSource::Kept)
      std::printf("spectrum %s exists and is kept (remove it to compute it again)\n", spectrum_file_name(bridge).c_str());
    // A batch run is for the files: one that could not be written fails it.
    if (got != SpectrumSource::Kept && got != SpectrumSource::Written) return -1;
  }
  return 0;
}

int run_startup(int argc, char** argv, const Options& o, const ViewerStart* viewer) {
  if (!check_templates(o)) return -1;
  DatasetOptions dataset;
  dataset.isMesh = is_mesh_name(o.data);
  if (!dataset.isMesh && !check_grid_options(argc, argv, o)) return -1;
  dataset.threads = unsigned(o.threads);
  dataset.layoutAspect = o.aspect;
  dataset.layoutScale = !o.notscale;
  // A spectrum that has to be made without a count given gets the default.
  if (o.spectrum > 0) dataset.signatureSamples = o.spectrum;
  dataset.dataType = o.datatype;
  dataset.var = o.var;
  dataset.dataName = o.data;
  dataset.ctName = o.ct;
  dataset.ctlName = o.ctl;
  dataset.sceneName = o.scene;
  for (int a = 0; a < 3; ++a) dataset.dim[a] = Size(o.dim[a]);
  dataset.swapBytes = o.swapbyte != 0;
  dataset.tmin = o.time[0];
  dataset.tmax = o.time[1];
  dataset.tdelta = o.time[2];

  if (!o.batch && viewer && !viewer->check(o)) return -1;
  const auto t_first = std::chrono::steady_clock::now();
  auto data = std::make_unique<MainData>(dataset);
  if (!data->ok()) return -1;
  if (o.batch) return run_batch(*data, o, t_first);
  if (viewer) return viewer->start(argc, argv, *data, o);
  std::puts("the first time step is loaded; the viewer is not part of this build (use --batch for every step)");
  return 0;
}

}  // namespace ctree
