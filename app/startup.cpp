#include "app/startup.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdint>
#include <cstdio>

#include "workspace/contour_data.h"
#include "workspace/make_spectrum.h"
#include "app/console.h"
#include "workspace/step_names.h"
#include "workspace/main_data.h"
#include "fields/raw_reader.h"
#include "fields/volume_file.h"
#include "io/povray.h"
#include "workspace/step_regions.h"

namespace ctree {

// Every template is checked before any of them is formatted.
static bool check_templates(const Options& o) {
  const std::pair<const char*, const std::string*> named[] = {
      {"--data", &o.data}, {"--ct", &o.ct}, {"--ctl", &o.ctl}, {"--scene", &o.scene}, {"--regions", &o.regions}};
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
  // The laid-out tree would be read back as the contour tree.
  if (!o.ct.empty() && o.ct == o.ctl) {
    std::fprintf(
        stderr,
        "Error: --ct and --ctl both name \"%s\"; the contour tree and the laid-out tree need files of their own\n",
        o.ct.c_str());
    return false;
  }
  return true;
}

// The grid options of a headerless raw file: three sizes of at least 2
// whose product fits an Index, a known element type, and a first file that
// holds them.
static bool check_grid_options(int argc, char** argv, const Options& o) {
  if (o.dim[0] <= 0 || o.dim[1] <= 0 || o.dim[2] <= 0) {
    std::puts("Error specify volumetric grid dimension");
    printhelp(argc, argv);
    return false;
  }
  if (o.dim[0] < 2 || o.dim[1] < 2 || o.dim[2] < 2) {
    std::fprintf(stderr, "Error: --dim %d %d %d: every grid dimension must be at least 2 for the contour tree\n",
                 o.dim[0], o.dim[1], o.dim[2]);
    return false;
  }
  std::uint64_t n = 0;
  if (!checked_product(Size(o.dim[0]), Size(o.dim[1]), Size(o.dim[2]), 1, std::uint64_t(INT32_MAX), n)) {
    std::fprintf(stderr, "Error: --dim %d %d %d: more vertices than 32-bit indices address (%d)\n", o.dim[0], o.dim[1],
                 o.dim[2], INT32_MAX);
    return false;
  }
  const DataType type = type_from_string(o.datatype);
  if (type == TYPE_UNKNOWN) {
    std::fprintf(stderr, "Error: unknown --datatype \"%s\"; accepted types: %s\n", o.datatype.c_str(),
                 data_type_names());
    return false;
  }
  // The first file must hold the grid, checked before anything is
  // allocated (a missing file is reported when the step is loaded).
  const std::string first = step_filename(o.data, o.time[0]);
  struct stat st;
  if (stat(first.c_str(), &st) != 0) return true;
  Report report;
  std::uint64_t found = 0;
  if (!regular_file_size(first, found, report)) return print_report(report, console_messages());
  const std::uint64_t needed = n * std::uint64_t(data_type_size(type));
  if (found < needed) {
    std::fprintf(stderr, "Error: --dim %d %d %d --datatype %s needs %llu bytes; %s holds %llu\n", o.dim[0], o.dim[1],
                 o.dim[2], o.datatype.c_str(), (unsigned long long)needed, first.c_str(), (unsigned long long)found);
    return false;
  }
  return true;
}

// A file with a header (or a named raw file): its header read and checked
// against the options, its size and volumes taken into the dataset.
static bool check_volume_header(const Options& o, DatasetOptions& dataset) {
  const std::string first = step_filename(o.data, o.time[0]);
  struct stat st;
  if (stat(first.c_str(), &st) != 0) return true;  // reported when the step is loaded
  VolumeHeader& header = dataset.grid;
  Report report;
  if (!read_volume_header(first, dataset.volume, header, report)) return print_report(report, console_messages());
  if (header.dim[0] < 2 || header.dim[1] < 2 || header.dim[2] < 2) {
    std::fprintf(stderr,
                 "Error: %s: a grid of %u x %u x %u vertices; the contour tree needs at least 2 along each axis\n",
                 first.c_str(), header.dim[0], header.dim[1], header.dim[2]);
    return false;
  }
  std::uint64_t n = 0;
  if (!checked_product(header.dim[0], header.dim[1], header.dim[2], 1, std::uint64_t(INT32_MAX), n)) {
    std::fprintf(stderr, "Error: %s: %u x %u x %u vertices are more than 32-bit indices address\n", first.c_str(),
                 header.dim[0], header.dim[1], header.dim[2]);
    return false;
  }
  dataset.gridRead = true;
  if (header.volumes > 1) {
    // The volumes of one file are the time steps: --time picks among them.
    if (is_step_template(o.data)) {
      std::fprintf(stderr, "Error: %s holds %u volumes; a --data template names one volume per file\n", first.c_str(),
                   header.volumes);
      return false;
    }
    if (o.time[0] < 0 || Size(o.time[1]) >= header.volumes) {
      std::fprintf(stderr, "Error: --time %d %d %d: %s holds volumes 0 to %u\n", o.time[0], o.time[1], o.time[2],
                   first.c_str(), header.volumes - 1);
      return false;
    }
    dataset.stepsAreVolumes = true;
  }
  std::printf("%s: %s, %u x %u x %u %s%s, spacing %g %g %g, origin %g %g %g\n", first.c_str(),
              volume_format_name(header.format), header.dim[0], header.dim[1], header.dim[2], header.type.c_str(),
              header.volumes > 1 ? (", " + std::to_string(header.volumes) + " volumes").c_str() : "", header.spacing[0],
              header.spacing[1], header.spacing[2], header.origin[0], header.origin[1], header.origin[2]);
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
    if (!mesh2povray(mesh, *data.field2d, report)) return print_report(report, console_messages());
  }
  const FlatTree* ct = data.ctreel ? data.ctreel : data.ctree;
  float lo[3] = {data.modelBox.x, data.modelBox.y, data.modelBox.z};
  float hi[3] = {lo[0] + data.modelBox.dx, lo[1] + data.modelBox.dy, lo[2] + data.modelBox.dz};
  if (ct) {
    tree = base + ".tree.inc";
    if (!ctree2povray(tree, *ct, 0.0f, nullptr, report)) return print_report(report, console_messages());
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
    return print_report(report, console_messages());
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
        tree && !tree->empty() ? tree->root().persistence : 0.0, seconds, p.read, p.mergeTrees, p.contourTree, p.files,
        p.layout);
    std::fflush(stdout);
    if (!o.povray.empty() && !write_povray_step(data, o.povray, t)) return -1;
    if (!o.regions.empty()) {
      Report report;
      std::string written;
      if (!write_step_regions(data, step_filename(o.regions, t), written, report))
        return print_report(report, console_messages()), -1;
      std::printf("wrote regions %s\n", written.c_str());
    }
  }
  if (o.spectrum > 0) {
    ContourData bridge(&data);
    SpectrumData spectrum;
    const SpectrumSource got = read_or_make_spectrum(bridge, o.spectrum, spectrum);
    // A cache that fits the run is kept; one that does not was computed again.
    if (got == SpectrumSource::Kept)
      std::printf("spectrum %s exists and is kept (remove it to compute it again)\n",
                  spectrum_file_name(bridge).c_str());
    // A batch run is for the files: one that could not be written fails it.
    if (got != SpectrumSource::Kept && got != SpectrumSource::Written) return -1;
  }
  return 0;
}

int run_startup(int argc, char** argv, const Options& o, const ViewerStart* viewer) {
  if (!check_templates(o)) return -1;
  DatasetOptions dataset;
  dataset.isMesh = is_mesh_name(o.data);
  dataset.volume.hasDim = o.has_dim;
  dataset.volume.hasType = o.has_datatype;
  dataset.volume.type = o.datatype;
  dataset.volume.hasSwap = o.has_swapbyte;
  dataset.volume.swap = o.swapbyte != 0;
  dataset.volume.hasSpacing = o.has_spacing;
  dataset.volume.hasOrigin = o.has_origin;
  for (int a = 0; a < 3; ++a) {
    dataset.volume.dim[a] = Size(o.dim[a]);
    dataset.volume.spacing[a] = o.spacing[a];
    dataset.volume.origin[a] = o.origin[a];
  }
  if (!o.regions.empty() && (dataset.isMesh || o.ct.empty() || !o.batch)) {
    std::fprintf(stderr,
                 "Error: --regions %s labels the voxels of a grid by its contour tree: it needs a volume, "
                 "--ct and --batch\n",
                 o.regions.c_str());
    return -1;
  }
  if (dataset.isMesh && (o.has_spacing || o.has_origin)) {
    std::fprintf(stderr, "Error: --spacing and --origin place grids; a mesh's vertices have their own positions\n");
    return -1;
  }
  const bool raw = volume_format_of(step_filename(o.data, o.time[0])) == VolumeFormat::Raw;
  dataset.dataType = o.datatype;
  if (!dataset.isMesh && raw && !check_grid_options(argc, argv, o)) return -1;
  if (!dataset.isMesh && !raw && !check_volume_header(o, dataset)) return -1;
  // A plain file name is one file: a range of several steps would read it
  // again for every step.
  if (!is_step_template(o.data) && !dataset.stepsAreVolumes && o.time[1] - o.time[0] >= o.time[2]) {
    std::fprintf(stderr,
                 "Error: --time %d %d %d asks for several time steps, but --data %s names one file holding one "
                 "volume (use a template such as name.%%02d.raw, or a 4-D NIfTI file)\n",
                 o.time[0], o.time[1], o.time[2], o.data.c_str());
    return -1;
  }
  dataset.threads = unsigned(o.threads);
  dataset.layoutAspect = o.aspect;
  dataset.layoutScale = !o.notscale;
  // A spectrum that has to be made without a count given gets the default.
  if (o.spectrum > 0) dataset.signatureSamples = o.spectrum;
  dataset.var = o.var;
  dataset.dataName = o.data;
  dataset.ctName = o.ct;
  dataset.ctlName = o.ctl;
  dataset.sceneName = o.scene;
  if (!dataset.isMesh && raw) {
    // A headerless file: its header is what the options say.
    VolumeOptions given = dataset.volume;
    given.hasDim = true;
    for (int a = 0; a < 3; ++a) given.dim[a] = Size(o.dim[a]);
    Report report;
    if (!read_volume_header(step_filename(o.data, o.time[0]), given, dataset.grid, report)) {
      print_report(report, console_messages());
      return -1;
    }
    dataset.gridRead = true;
  }
  dataset.tmin = o.time[0];
  dataset.tmax = o.time[1];
  dataset.tdelta = o.time[2];

  if (!o.batch && viewer && !viewer->check(o)) return -1;
  const auto t_first = std::chrono::steady_clock::now();
  auto data = std::make_unique<MainData>(dataset, console_messages(), console_meter());
  if (!data->ok()) return -1;
  if (o.batch) return run_batch(*data, o, t_first);
  if (viewer) return viewer->start(argc, argv, *data, o);
  std::puts("the first time step is loaded; the viewer is not part of this build (use --batch for every step)");
  return 0;
}

}  // namespace ctree
