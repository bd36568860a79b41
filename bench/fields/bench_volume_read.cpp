// Opening a compressed NIfTI volume against its floor: gunzip of the same
// file into memory plus the raw read of the decompressed samples.
//
//   bench_volume_read [FILE.nii.gz]   (default: the MRI brain of mricron-data)
//
// Prints the best of five runs of each, in seconds, and the ratio of the
// NIfTI open to the floor (the goal: at most 1).

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fields/raw_reader.h"
#include "fields/volume_file.h"

using namespace ctree;

static double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The whole decompressed file.
static std::vector<unsigned char> gunzip(const std::string& path) {
  std::vector<unsigned char> out;
  gzFile f = gzopen(path.c_str(), "rb");
  if (!f) return out;
  gzbuffer(f, 1 << 17);
  unsigned char buf[1 << 16];
  int n;
  while ((n = gzread(f, buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + n);
  gzclose(f);
  return out;
}

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "/usr/share/mricron/templates/ch2.nii.gz";
  VolumeHeader header;
  Report report;
  if (!read_volume_header(path, VolumeOptions(), header, report)) {
    std::fprintf(stderr, "%s\n", report.error.c_str());
    return 1;
  }
  const std::uint64_t samples = std::uint64_t(header.dim[0]) * header.dim[1] * header.dim[2];
  const std::string raw =
      (std::filesystem::temp_directory_path() / ("orrery-bench-" + std::to_string(getpid()) + ".raw")).string();

  double t_gunzip = 1e30, t_raw = 1e30, t_nifti = 1e30;
  for (int run = 0; run < 5; ++run) {
    auto t0 = std::chrono::steady_clock::now();
    const std::vector<unsigned char> whole = gunzip(path);
    t_gunzip = std::min(t_gunzip, seconds_since(t0));
    if (run == 0) {
      // The samples alone, as a raw file of the same type (in the page cache).
      const std::size_t data = whole.size() - std::size_t(352);
      std::FILE* f = std::fopen(raw.c_str(), "wb");
      if (!f) return 1;
      std::fwrite(whole.data() + 352, 1, data, f);
      std::fclose(f);
    }
    VolumeOptions o;
    o.hasDim = true;
    for (int a = 0; a < 3; ++a) o.dim[a] = header.dim[a];
    ScalarField3DGrid g;
    Report r;
    const Index start[3] = {0, 0, 0};
    const Real origin[3] = {0, 0, 0}, spacing[3] = {1, 1, 1};
    std::string type = header.type == "uint8" ? "uchar" : header.type == "int16" ? "short" : "float";
    t0 = std::chrono::steady_clock::now();
    if (!read_raw_field(raw, type, start, header.dim, header.dim, origin, spacing, false, g, r, no_progress())) {
      std::fprintf(stderr, "%s\n", r.error.c_str());
      return 1;
    }
    t_raw = std::min(t_raw, seconds_since(t0));
    ScalarField3DGrid n;
    t0 = std::chrono::steady_clock::now();
    if (!read_volume(path, VolumeOptions(), 0, n, r, no_progress())) {
      std::fprintf(stderr, "%s\n", r.error.c_str());
      return 1;
    }
    t_nifti = std::min(t_nifti, seconds_since(t0));
    if (n.values != g.values) {
      std::fprintf(stderr, "the NIfTI read and the raw read of its samples differ\n");
      return 1;
    }
  }
  std::filesystem::remove(raw);
  std::printf("%s: %u x %u x %u %s (%llu samples), best of 5\n", path.c_str(), header.dim[0], header.dim[1],
              header.dim[2], header.type.c_str(), (unsigned long long)samples);
  std::printf("gunzip %.3f s + raw read %.3f s = floor %.3f s; NIfTI open %.3f s; ratio %.2f (goal <= 1)\n", t_gunzip,
              t_raw, t_gunzip + t_raw, t_nifti, t_nifti / (t_gunzip + t_raw));
  return 0;
}
