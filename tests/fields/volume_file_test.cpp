// Volume files: NIfTI and NRRD written by their own libraries and read back
// (every element type, both byte orders, gzip, 4-D), files written byte by
// byte by hand, named raw files, and the refusals.
#include "fields/volume_file.h"

#include <gtest/gtest.h>

#include <nifti2_io.h>
#include <teem/nrrd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fields/raw_reader.h"
#include "test_util.h"

using namespace ctree;
using testutil::TempDir;
using testutil::write_bytes;

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Read {
  bool ok = false;
  ScalarField3DGrid grid;
  Report report;
};

VolumeHeader header(const std::string& path) {
  VolumeHeader h;
  Report report;
  EXPECT_TRUE(read_volume_header(path, VolumeOptions(), h, report)) << report.error;
  return h;
}

Read read(const std::string& path, const VolumeOptions& options = VolumeOptions(), Size volume = 0) {
  Read r;
  r.ok = read_volume(path, options, volume, r.grid, r.report, no_progress());
  return r;
}

// A value of sample i that every element type holds exactly.
double sample(const std::string& type, size_t i) {
  const double k = double((i * 37) % 101);
  if (type == "uint8" || type == "uint16" || type == "uint32") return k * 2;
  if (type == "int64") return -4503599627370496.0 + k;  // -2^52 + k
  if (type == "uint64") return 4503599627370496.0 + k;
  if (type == "float32" || type == "float64") return k * 0.25 - 7;
  return k - 50;
}

template <class T>
void put(std::vector<unsigned char>& out, double v) {
  const T t = T(v);
  const size_t at = out.size();
  out.resize(at + sizeof(T));
  std::memcpy(&out[at], &t, sizeof(T));
}

struct TypeCodes {
  const char* name;
  int nifti, nrrd, width;
  void (*put)(std::vector<unsigned char>&, double);
};
const TypeCodes types[] = {{"int8", DT_INT8, nrrdTypeChar, 1, put<std::int8_t>},
                           {"uint8", DT_UINT8, nrrdTypeUChar, 1, put<std::uint8_t>},
                           {"int16", DT_INT16, nrrdTypeShort, 2, put<std::int16_t>},
                           {"uint16", DT_UINT16, nrrdTypeUShort, 2, put<std::uint16_t>},
                           {"int32", DT_INT32, nrrdTypeInt, 4, put<std::int32_t>},
                           {"uint32", DT_UINT32, nrrdTypeUInt, 4, put<std::uint32_t>},
                           {"int64", DT_INT64, nrrdTypeLLong, 8, put<std::int64_t>},
                           {"uint64", DT_UINT64, nrrdTypeULLong, 8, put<std::uint64_t>},
                           {"float32", DT_FLOAT32, nrrdTypeFloat, 4, put<float>},
                           {"float64", DT_FLOAT64, nrrdTypeDouble, 8, put<double>}};

// Samples of type in this machine's order.
std::vector<unsigned char> samples(const std::string& type, size_t n) {
  const TypeCodes& t = *std::find_if(std::begin(types), std::end(types),
                                     [&](const TypeCodes& c) { return c.name == type; });
  std::vector<unsigned char> out;
  for (size_t i = 0; i < n; ++i) t.put(out, sample(type, i));
  return out;
}

// A NIfTI file written by the library: nx·ny·nz·nt samples of type.
void write_nifti(const std::string& path, const TypeCodes& t, int nx, int ny, int nz, int nt, int version,
                 double slope = 0, double inter = 0) {
  const int64_t dims[8] = {nt > 1 ? 4 : 3, nx, ny, nz, nt, 1, 1, 1};
  nifti_image* nim = nifti_make_new_nim(dims, t.nifti, 1);
  ASSERT_NE(nim, nullptr);
  const auto bytes = samples(t.name, size_t(nx) * ny * nz * nt);
  std::memcpy(nim->data, bytes.data(), bytes.size());
  nim->pixdim[1] = nim->dx = 0.5;
  nim->pixdim[2] = nim->dy = 2;
  nim->pixdim[3] = nim->dz = 1.25;
  nim->scl_slope = slope;
  nim->scl_inter = inter;
  nim->sform_code = 1;
  nim->sto_xyz.m[0][3] = -10, nim->sto_xyz.m[1][3] = 20, nim->sto_xyz.m[2][3] = 3.5;
  nim->nifti_type = version == 2 ? NIFTI_FTYPE_NIFTI2_1 : NIFTI_FTYPE_NIFTI1_1;
  ASSERT_EQ(nifti_set_filenames(nim, path.c_str(), 0, 1), 0);
  nifti_image_write(nim);
  nifti_image_free(nim);
}

void write_nrrd(const std::string& path, const TypeCodes& t, int nx, int ny, int nz, int endian, bool gzip,
                bool directions) {
  auto bytes = samples(t.name, size_t(nx) * ny * nz);
  Nrrd* n = nrrdNew();
  ASSERT_EQ(nrrdWrap_va(n, bytes.data(), t.nrrd, 3, size_t(nx), size_t(ny), size_t(nz)), 0);
  if (directions) {
    nrrdSpaceSet(n, nrrdSpaceRightAnteriorSuperior);
    const double dirs[3][NRRD_SPACE_DIM_MAX] = {{0.5, 0, 0}, {0, -2, 0}, {0, 0, 1.25}};
    nrrdAxisInfoSet_va(n, nrrdAxisInfoSpaceDirection, dirs[0], dirs[1], dirs[2]);
    const double origin[3] = {-10, 20, 3.5};
    nrrdSpaceOriginSet(n, origin);
  } else {
    nrrdAxisInfoSet_va(n, nrrdAxisInfoSpacing, 0.5, 2.0, 1.25);
  }
  // teem writes the samples as they are in memory and the header's
  // "endian" from the io state: swap them first for the other order.
  if (endian != airMyEndian()) nrrdSwapEndian(n);
  NrrdIoState* io = nrrdIoStateNew();
  io->endian = endian;
  if (gzip) io->encoding = nrrdEncodingGzip;
  EXPECT_EQ(nrrdSave(path.c_str(), n, io), 0) << biffGetDone(NRRD);
  nrrdIoStateNix(io);
  nrrdNix(n);  // the samples are the vector's
}

void expect_values(const Read& r, const std::string& type, int nx, int ny, int nz, size_t first = 0, double slope = 1,
                   double inter = 0) {
  ASSERT_TRUE(r.ok) << r.report.error;
  ASSERT_EQ(r.grid.dim[0], Size(nx));
  ASSERT_EQ(r.grid.dim[1], Size(ny));
  ASSERT_EQ(r.grid.dim[2], Size(nz));
  ASSERT_EQ(r.grid.values.size(), size_t(nx) * ny * nz);
  for (size_t i = 0; i < r.grid.values.size(); ++i)
    ASSERT_EQ(r.grid.values[i], slope * sample(type, first + i) + inter) << type << " sample " << i;
}

void expect_geometry(const Read& r) {
  EXPECT_EQ(r.grid.spacing[0], 0.5);
  EXPECT_EQ(r.grid.spacing[1], 2);
  EXPECT_EQ(r.grid.spacing[2], 1.25);
  EXPECT_EQ(r.grid.origin[0], -10);
  EXPECT_EQ(r.grid.origin[1], 20);
  EXPECT_EQ(r.grid.origin[2], 3.5);
}

// The 348-byte NIfTI-1 header plus 4 extension bytes, written field by
// field in the given byte order; samples follow at vox_offset.
struct Nifti1 {
  short dim[8] = {3, 3, 2, 2, 1, 1, 1, 1};
  short datatype = 4, bitpix = 16;  // int16
  float pixdim[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  float vox_offset = 352, scl_slope = 0, scl_inter = 0;
  short qform_code = 0, sform_code = 0;
  float qoffset[3] = {0, 0, 0};
  char magic[4] = {'n', '+', '1', 0};

  std::vector<unsigned char> bytes(bool big, const std::vector<unsigned char>& data) const {
    std::vector<unsigned char> h(352, 0);
    auto at = [&](size_t off, const void* v, size_t n) {
      std::memcpy(&h[off], v, n);
      if (big) std::reverse(h.begin() + long(off), h.begin() + long(off + n));
    };
    const int sizeof_hdr = 348;
    at(0, &sizeof_hdr, 4);
    for (int i = 0; i < 8; ++i) at(40 + 2 * size_t(i), &dim[i], 2);
    at(70, &datatype, 2);
    at(72, &bitpix, 2);
    for (int i = 0; i < 8; ++i) at(76 + 4 * size_t(i), &pixdim[i], 4);
    at(108, &vox_offset, 4);
    at(112, &scl_slope, 4);
    at(116, &scl_inter, 4);
    at(252, &qform_code, 2);
    at(254, &sform_code, 2);
    for (int i = 0; i < 3; ++i) at(268 + 4 * size_t(i), &qoffset[i], 4);
    std::memcpy(&h[344], magic, 4);
    h.resize(size_t(std::max(352.0f, vox_offset)), 0);
    h.insert(h.end(), data.begin(), data.end());
    return h;
  }
};

// int16 samples 0, -1, 2, -3, ... in the given byte order.
std::vector<unsigned char> int16_samples(size_t n, bool big) {
  std::vector<unsigned char> out;
  for (size_t i = 0; i < n; ++i) {
    const std::int16_t v = std::int16_t(i % 2 ? -int(i) : int(i));
    unsigned char b[2];
    std::memcpy(b, &v, 2);
    if (big) std::swap(b[0], b[1]);
    out.insert(out.end(), b, b + 2);
  }
  return out;
}

}  // namespace

TEST(VolumeFiles, nifti_written_by_the_library_reads_back_every_type_version_compression_scaling_and_volume) {
  TempDir dir;
  for (const TypeCodes& t : types)
    for (int version : {1, 2})
      for (const char* ending : {".nii", ".nii.gz"}) {
        const std::string path = dir.file(std::string(t.name) + "_v" + std::to_string(version) + ending);
        write_nifti(path, t, 5, 4, 3, 1, version);
        const Read r = read(path);
        SCOPED_TRACE(path);
        expect_values(r, t.name, 5, 4, 3);
        expect_geometry(r);
        const VolumeHeader h = header(path);
        EXPECT_EQ(h.type, t.name);
      }
  const std::string path = dir.file("series.nii.gz");
  write_nifti(path, types[2], 4, 3, 2, 5, 1, 0.5, 100);  // int16, 5 volumes
  const VolumeHeader h = header(path);
  EXPECT_EQ(h.volumes, 5u);
  for (Size v = 0; v < 5; ++v) {
    SCOPED_TRACE(v);
    expect_values(read(path, VolumeOptions(), v), "int16", 4, 3, 2, size_t(v) * 24, 0.5, 100);
  }
  const Read past = read(path, VolumeOptions(), 5);
  EXPECT_FALSE(past.ok);
  EXPECT_TRUE(has(past.report.error, "volume 5")) << past.report.error;
}

TEST(VolumeFiles, nrrd_written_by_teem_reads_back_every_type_byte_order_encoding_and_layout) {
  TempDir dir;
  for (const TypeCodes& t : types)
    for (int endian : {airEndianLittle, airEndianBig})
      for (bool gzip : {false, true})
        for (const char* ending : {".nrrd", ".nhdr"}) {
          const std::string path = dir.file(std::string(t.name) + (endian == airEndianBig ? "_be" : "_le") +
                                            (gzip ? "_gz" : "") + ending);
          const bool directions = gzip;  // both ways of giving the spacing
          write_nrrd(path, t, 5, 4, 3, endian, gzip, directions);
          SCOPED_TRACE(path);
          const Read r = read(path);
          expect_values(r, t.name, 5, 4, 3);
          EXPECT_EQ(r.grid.spacing[0], 0.5);
          EXPECT_EQ(r.grid.spacing[1], 2) << "the length of a direction, whatever its sign";
          EXPECT_EQ(r.grid.spacing[2], 1.25);
          if (directions) {
            EXPECT_EQ(r.grid.origin[0], -10);
            EXPECT_EQ(r.grid.origin[1], 20);
          }
          const VolumeHeader h = header(path);
          if (t.width > 1) {
            EXPECT_EQ(h.littleEndian, endian == airEndianLittle);
          }
        }
}

TEST(VolumeFiles, a_minimal_nifti1_header_written_by_hand_in_either_byte_order) {
  TempDir dir;
  for (bool big : {false, true}) {
    Nifti1 n;
    n.pixdim[1] = 0.75f, n.pixdim[2] = -2.0f, n.pixdim[3] = 3.0f;
    n.scl_slope = 2, n.scl_inter = -1;
    n.qform_code = 1, n.qoffset[0] = 5, n.qoffset[1] = -6, n.qoffset[2] = 7;
    const std::string path = dir.file(big ? "big.nii" : "little.nii");
    write_bytes(path, n.bytes(big, int16_samples(12, big)));
    const Read r = read(path);
    ASSERT_TRUE(r.ok) << r.report.error;
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(r.grid.values[i], 2.0 * (i % 2 ? -double(i) : double(i)) - 1) << i;
    EXPECT_EQ(r.grid.spacing[0], 0.75);
    EXPECT_EQ(r.grid.spacing[1], 2.0) << "a negative pixdim is a flip; the spacing is its length";
    EXPECT_EQ(r.grid.origin[0], 5);
    EXPECT_EQ(r.grid.origin[1], -6);
    const VolumeHeader h = header(path);
    EXPECT_EQ(h.littleEndian, !big);
  }
}

TEST(VolumeFiles, an_attached_nrrd_written_by_hand) {
  TempDir dir;
  std::string text =
      "NRRD0004\n# hand-made\ntype: short\ndimension: 3\nsizes: 3 2 2\nspacings: 1.5 1 0.25\n"
      "axis mins: 10 20 30\nendian: big\nencoding: raw\n\n";
  auto data = int16_samples(12, true);
  std::vector<unsigned char> bytes(text.begin(), text.end());
  bytes.insert(bytes.end(), data.begin(), data.end());
  write_bytes(dir.file("hand.nrrd"), bytes);
  const Read r = read(dir.file("hand.nrrd"));
  ASSERT_TRUE(r.ok) << r.report.error;
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(r.grid.values[i], i % 2 ? -double(i) : double(i)) << i;
  EXPECT_EQ(r.grid.spacing[0], 1.5);
  EXPECT_EQ(r.grid.spacing[2], 0.25);
  EXPECT_EQ(r.grid.origin[0], 10);
  EXPECT_EQ(r.grid.origin[2], 30);
}

// A detached header's data file is checked before it is opened: a pipe
// or a device is refused (not waited on, not read as zeros), and its size
// must hold the samples the header declares; every refusal names both
// files. Absolute and ../ names are legal and read.
TEST(VolumeFiles, detached_nrrd_data_files_are_checked_before_they_are_read) {
  TempDir dir;
  const std::string sub = dir.file("sub");
  ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
  write_bytes(dir.file("d.raw"), int16_samples(12, false));
  auto header = [](const std::string& data_file) {
    return std::string(
               "NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nendian: little\nencoding: raw\n"
               "data file: ") +
           data_file + "\n\n";
  };
  const std::string h = sub + "/h.nhdr";
  for (const std::string& name : {std::string("../d.raw"), dir.file("d.raw")}) {
    testutil::write_text(h, header(name));
    const Read r = read(h);
    ASSERT_TRUE(r.ok) << name << ": " << r.report.error;
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(r.grid.values[i], i % 2 ? -double(i) : double(i)) << i;
  }
  ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
  write_bytes(dir.file("short.raw"), int16_samples(11, false));
  struct Case {
    std::string data_file, says;
  } cases[] = {{"../pipe", "is a pipe"},
               {"/dev/zero", "/dev/zero is a character device"},
               {"../short.raw", "declares 24 bytes of samples, more than the 22 bytes of its data file"},
               {"../missing.raw", "No such file"},
               {"..", "is a directory"}};
  for (const Case& c : cases) {
    testutil::write_text(h, header(c.data_file));
    const Read r = read(h);
    EXPECT_FALSE(r.ok) << c.data_file;
    EXPECT_TRUE(has(r.report.error, h + ": ")) << r.report.error;
    EXPECT_TRUE(has(r.report.error, c.data_file == "/dev/zero" ? c.data_file : sub + "/" + c.data_file))
        << r.report.error;
    EXPECT_TRUE(has(r.report.error, c.says)) << c.data_file << ": " << r.report.error;
  }
  // A data file that teem cannot decode: the refusal names it too.
  testutil::write_text(dir.file("bad.txt"), "1 2 3 4 5 6 7 8 9 10 eleven twelve thirteen fourteen\n");
  testutil::write_text(h,
                       "NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nencoding: ascii\n"
                       "data file: ../bad.txt\n\n");
  const Read undecodable = read(h);
  EXPECT_FALSE(undecodable.ok);
  EXPECT_TRUE(has(undecodable.report.error, h + " (its data file " + sub + "/../bad.txt): "))
      << undecodable.report.error;
  // A header of 1290^3 doubles over a small file: refused on the sizes,
  // before anything is allocated.
  testutil::write_text(h,
                       "NRRD0004\ntype: double\ndimension: 3\nsizes: 1290 1290 1290\nendian: little\n"
                       "encoding: raw\ndata file: ../d.raw\n\n");
  const Read big = read(h);
  EXPECT_FALSE(big.ok);
  EXPECT_TRUE(has(big.report.error, "declares 17173512000 bytes of samples")) << big.report.error;
  // Several files by template, and by list.
  write_bytes(dir.file("p1.raw"), int16_samples(6, false));
  std::vector<unsigned char> second = int16_samples(12, false);
  second.erase(second.begin(), second.begin() + 12);
  write_bytes(dir.file("p2.raw"), second);
  testutil::write_text(h,
                       "NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nendian: little\nencoding: raw\n"
                       "data file: ../p%d.raw 1 2 1 2\n\n");
  Read parts = read(h);
  ASSERT_TRUE(parts.ok) << parts.report.error;
  EXPECT_EQ(parts.grid.values[11], -11);
  testutil::write_text(h,
                       "NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nendian: little\nencoding: raw\n"
                       "data file: LIST 2\n../p1.raw\n../pipe\n");
  parts = read(h);
  EXPECT_FALSE(parts.ok);
  EXPECT_TRUE(has(parts.report.error, "is a pipe")) << parts.report.error;
}

// A grid that the header and the file allow but memory does not (here a
// sparse file of 1290^3 bytes under a 2 GB address-space limit, in a child
// process) is refused with the bytes it needs, not ended by an abort.
TEST(VolumeFiles, a_grid_larger_than_memory_is_refused_with_the_bytes_it_needs) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#endif
  TempDir dir;
  const std::string path = dir.file("big_1290x1290x1290_uint8.raw");
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(ftruncate(fileno(f), off_t(1290) * 1290 * 1290), 0);
    std::fclose(f);
  }
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{rlim_t(2) << 30, rlim_t(2) << 30};
    setrlimit(RLIMIT_AS, &limit);
    const Read r = read(path);
    _exit(r.ok ? 1 : has(r.report.error, path + ": a grid of 1290 1290 1290 samples needs 17173512000 bytes") ? 0 : 2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: read, 2: another message";
}

// An origin so far out that a step no longer changes the position (or
// beyond the coordinates isosurfaces take) is refused before anything is
// computed, naming the file and the axis; far but resolvable origins read.
TEST(VolumeFiles, an_origin_that_positions_cannot_resolve_is_refused) {
  TempDir dir;
  write_bytes(dir.file("v.raw"), std::vector<unsigned char>(24, 3));
  VolumeOptions o;
  o.hasDim = true, o.dim[0] = 4, o.dim[1] = 3, o.dim[2] = 2;
  o.type = "uchar", o.hasType = true;
  o.hasOrigin = true;
  o.origin[0] = 1e16;
  Read r = read(dir.file("v.raw"), o);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(has(r.report.error, dir.file("v.raw") + ": origin 1e+16 0 0 and spacing 1 1 1 place the grid's x "
                                                      "positions beyond +-1e15"))
      << r.report.error;
  o.origin[0] = 0, o.origin[2] = 1e12, o.hasSpacing = true, o.spacing[2] = 1e-4;
  r = read(dir.file("v.raw"), o);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(has(r.report.error, "z positions up to 1e+12 in steps of 0.0001, too fine")) << r.report.error;
  o.origin[2] = -1e6, o.spacing[2] = 0.5;
  r = read(dir.file("v.raw"), o);
  ASSERT_TRUE(r.ok) << r.report.error;
  // Independently: every point's position differs from its neighbour's.
  EXPECT_NE(r.grid.origin[2] + r.grid.spacing[2], r.grid.origin[2]);

  Nifti1 n;
  n.qform_code = 1, n.qoffset[1] = 1e20f;
  write_bytes(dir.file("far.nii"), n.bytes(false, int16_samples(12, false)));
  r = read(dir.file("far.nii"));
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(has(r.report.error, dir.file("far.nii") + ": origin 0 1.00000002e+20 0")) << r.report.error;
}

// The usual CT scaling: slope 1, intercept -1024. Every value shifts.
TEST(VolumeFiles, a_nifti_intercept_applies_with_a_slope_of_one) {
  TempDir dir;
  Nifti1 n;
  n.scl_slope = 1, n.scl_inter = -1024;
  write_bytes(dir.file("ct.nii"), n.bytes(false, int16_samples(12, false)));
  const Read r = read(dir.file("ct.nii"));
  ASSERT_TRUE(r.ok) << r.report.error;
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(r.grid.values[i], (i % 2 ? -double(i) : double(i)) - 1024) << i;
}

// A negative spacing is the length of a step the other way: the grid stays
// in index order with a positive spacing, as with space directions.
TEST(VolumeFiles, a_negative_nrrd_spacing_is_a_step_length) {
  TempDir dir;
  std::string text =
      "NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nspacings: -1.5 2 -0.25\n"
      "axis mins: 10 20 30\nendian: little\nencoding: raw\n\n";
  std::vector<unsigned char> bytes(text.begin(), text.end());
  const auto data = int16_samples(12, false);
  bytes.insert(bytes.end(), data.begin(), data.end());
  write_bytes(dir.file("m.nrrd"), bytes);
  const Read r = read(dir.file("m.nrrd"));
  ASSERT_TRUE(r.ok) << r.report.error;
  EXPECT_EQ(r.grid.spacing[0], 1.5);
  EXPECT_EQ(r.grid.spacing[1], 2);
  EXPECT_EQ(r.grid.spacing[2], 0.25);
  EXPECT_EQ(r.grid.values[1], -1);
}

TEST(VolumeFiles, broken_headers_are_refused_naming_the_file_and_the_field) {
  TempDir dir;
  auto refused = [&](const std::string& name, const std::vector<unsigned char>& bytes, const char* says) {
    const std::string path = dir.file(name);
    write_bytes(path, bytes);
    const Read r = read(path);
    EXPECT_FALSE(r.ok) << name;
    EXPECT_TRUE(has(r.report.error, path)) << r.report.error;
    EXPECT_TRUE(has(r.report.error, says)) << name << ": " << r.report.error;
  };
  const auto data = int16_samples(12, false);
  Nifti1 good;
  auto nifti = [&](auto change) {
    Nifti1 n = good;
    change(n);
    return n.bytes(false, data);
  };
  auto cut_end = good.bytes(false, data);
  cut_end.resize(cut_end.size() - 3);
  refused("truncated.nii", cut_end, "needs");
  auto far = good.bytes(false, data);
  const float beyond = 4000;
  std::memcpy(&far[108], &beyond, 4);
  refused("far_offset.nii", far, "vox_offset");
  refused("low_offset.nii", nifti([](Nifti1& n) { n.vox_offset = 100; }), "vox_offset");
  refused("unknown.nii", nifti([](Nifti1& n) { n.datatype = 77; }), "datatype");
  refused("bitpix.nii", nifti([](Nifti1& n) { n.bitpix = 8; }), "bitpix");
  refused("rank.nii", nifti([](Nifti1& n) { n.dim[0] = 9; }), "dim[0]");
  refused("negative.nii", nifti([](Nifti1& n) { n.dim[2] = -2; }), "dim[2]");
  refused("flat.nii", nifti([](Nifti1& n) { n.pixdim[3] = 0; }), "pixdim[3]");
  refused("nan_slope.nii", nifti([](Nifti1& n) { n.scl_slope = NAN; }), "scl_slope");
  refused("magic.nii", nifti([](Nifti1& n) { n.magic[2] = '2'; }), "magic");
  refused("short.nii", {1, 2, 3}, "not a NIfTI file");
  {
    // A compressed file of a few hundred bytes declaring 1000^3 floats.
    Nifti1 huge = good;
    huge.dim[1] = huge.dim[2] = huge.dim[3] = 1000;
    huge.datatype = 16, huge.bitpix = 32;
    const auto bytes = huge.bytes(false, data);
    const std::string path = dir.file("huge.nii.gz");
    gzFile f = gzopen(path.c_str(), "wb");
    gzwrite(f, bytes.data(), unsigned(bytes.size()));
    gzclose(f);
    const Read r = read(path);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(has(r.report.error, "declares 4000000352 bytes, more than a compressed file")) << r.report.error;
    // A compressed file whose samples end early.
    auto cut = good.bytes(false, data);
    cut.resize(cut.size() - 5);
    const std::string short_gz = dir.file("cut.nii.gz");
    f = gzopen(short_gz.c_str(), "wb");
    gzwrite(f, cut.data(), unsigned(cut.size()));
    gzclose(f);
    const Read c = read(short_gz);
    EXPECT_FALSE(c.ok);
    EXPECT_TRUE(has(c.report.error, short_gz + ": the data ends before the 12 samples")) << c.report.error;
  }

  auto nrrd = [](const std::string& header, size_t samples) {
    std::vector<unsigned char> b(header.begin(), header.end());
    b.resize(b.size() + samples * 2, 7);
    return b;
  };
  refused("truncated.nrrd",
          nrrd("NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nendian: little\nencoding: raw\n\n", 11),
          "fread got only 11");
  refused("type.nrrd", nrrd("NRRD0004\ntype: complex\ndimension: 3\nsizes: 3 2 2\nencoding: raw\n\n", 12), "type");
  refused("dimension.nrrd", nrrd("NRRD0004\ntype: short\ndimension: 2\nsizes: 6 2\nencoding: raw\n\n", 12),
          "dimension");
  refused("magic.nrrd", nrrd("9RRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nencoding: raw\n\n", 12), "magic");
  refused("sizes.nrrd", nrrd("NRRD0004\ntype: short\ndimension: 3\nsizes: 3 x 2\nencoding: raw\n\n", 12), "sizes");
  // Sizes no file of this length can hold are refused before teem
  // allocates them.
  refused("huge.nrrd",
          nrrd("NRRD0004\ntype: double\ndimension: 3\nsizes: 1200 1200 1200\nendian: little\nencoding: raw\n\n", 12),
          "\"sizes\" declares 13824000000 bytes");
  refused("wrap.nrrd",
          nrrd("NRRD0004\ntype: double\ndimension: 3\nsizes: 2147483647 2147483647 2147483647\nencoding: raw\n\n", 12),
          "too large");
}

TEST(VolumeFiles, options_beside_a_header_or_a_named_raw_file_must_agree_with_it) {
  TempDir dir;
  const std::string nii = dir.file("v.nii"), shorts = dir.file("s.nrrd"), raw = dir.file("scan_4x3x2_int16.raw");
  write_nifti(nii, types[1], 5, 4, 3, 1, 1);  // uint8, spacing 0.5 2 1.25, origin -10 20 3.5
  write_nrrd(shorts, types[2], 3, 3, 3, airEndianBig, false, false);
  write_bytes(raw, samples("int16", 24));  // little-endian on this machine
  auto with = [](auto change) {
    VolumeOptions o;
    change(o);
    return o;
  };
  auto refused = [&](const std::string& file, const VolumeOptions& o, const std::vector<std::string>& says) {
    const Read r = read(file, o);
    EXPECT_FALSE(r.ok) << says[0];
    for (const std::string& part : says) EXPECT_TRUE(has(r.report.error, part)) << r.report.error;
  };
  auto dims = [](Size x, Size y, Size z) {
    return [=](VolumeOptions& o) { o.hasDim = true, o.dim[0] = x, o.dim[1] = y, o.dim[2] = z; };
  };
  auto type = [](const char* name) { return [=](VolumeOptions& o) { o.hasType = true, o.type = name; }; };
  auto swap = [](bool on) { return [=](VolumeOptions& o) { o.hasSwap = true, o.swap = on; }; };
  EXPECT_TRUE(read(nii, with(dims(5, 4, 3))).ok) << "agreeing options are accepted";
  refused(nii, with(dims(5, 4, 4)), {"--dim 5 4 4", "5 4 3", nii});
  refused(nii, with(type("short")), {"--datatype short", "uint8", nii});
  EXPECT_TRUE(read(nii, with(type("uchar"))).ok);
  refused(nii, with([](VolumeOptions& o) { o.hasSpacing = true, o.spacing[0] = 1; }),
          {"--spacing 1 1 1", "0.5 2 1.25", nii});
  refused(nii, with([](VolumeOptions& o) { o.hasOrigin = true; }), {"--origin 0 0 0", "-10 20 3.5", nii});
  refused(shorts, with(swap(false)), {"--swapbyte 0", "big-endian", shorts});

  // A named raw file takes size and type from its name.
  const Read r = read(raw, with([](VolumeOptions& o) {
                        o.hasSpacing = true, o.spacing[0] = 0.5, o.spacing[1] = 0.5, o.spacing[2] = 1.2;
                      }));
  expect_values(r, "int16", 4, 3, 2);
  EXPECT_EQ(r.grid.spacing[2], 1.2);
  refused(raw, with(dims(4, 3, 3)), {"its name says 4 3 2"});
  refused(raw, with(type("ushort")), {"--datatype ushort"});
  EXPECT_TRUE(read(raw, with(type("short"))).ok);
  refused(raw, with(swap(true)), {"--swapbyte 1"});
  for (const char* name : {"scan_4x3x2_uint9.raw", "scan_4x3x3_int16.raw"})
    write_bytes(dir.file(name), samples("int16", 24));
  refused(dir.file("scan_4x3x2_uint9.raw"), VolumeOptions(), {"uint9"});
  refused(dir.file("scan_4x3x3_int16.raw"), VolumeOptions(), {"needs 72"});
}

TEST(VolumeFiles, paths_that_are_not_regular_files_are_named_and_refused) {
  TempDir dir;
  VolumeOptions o;
  o.hasDim = true, o.dim[0] = o.dim[1] = o.dim[2] = 1290;
  Read r = read("/dev/null", o);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(has(r.report.error, "/dev/null is a character device")) << r.report.error;
  r = read(dir.path(), o);
  EXPECT_TRUE(has(r.report.error, "is a directory")) << r.report.error;
  r = read(dir.file("missing.nrrd"));
  EXPECT_TRUE(has(r.report.error, "missing.nrrd")) << r.report.error;
}

// Raw sizes mutated around a small file: every read either succeeds with
// exactly the samples the sizes ask for or fails with a message, before
// allocating more than the file could fill (the sanitizer run checks for
// wraps and overreads).
TEST(VolumeFiles, mutated_raw_sizes_never_wrap_or_overread) {
  TempDir dir;
  const std::string path = dir.file("m.raw");
  std::mt19937 rng(26);
  const Size interesting[] = {0, 1, 2, 3, 4, 7, 16, 255, 65536, 1u << 30, 1073741824u, 2147483647u, 4294967295u};
  for (int round = 0; round < 3000; ++round) {
    const size_t length = rng() % 200;
    write_bytes(path, std::vector<unsigned char>(length, (unsigned char)round));
    Size dim[3];
    for (Size& d : dim) d = rng() % 3 ? Size(1 + rng() % 6) : interesting[rng() % (sizeof interesting / sizeof(Size))];
    const char* names[] = {"char", "uchar", "short", "ushort", "long", "ulong", "float", "double"};
    const char* type = names[rng() % 8];
    Size block[3] = {dim[0], dim[1], dim[2]};
    Index start[3] = {0, 0, 0};
    if (rng() % 4 == 0)
      for (int a = 0; a < 3; ++a) {
        start[a] = Index(rng() % 3) - (rng() % 10 == 0);
        block[a] = Size(rng() % 4);
      }
    const Real zero[3] = {0, 0, 0}, unit[3] = {1, 1, 1};
    ScalarField3DGrid g;
    Report report;
    const bool ok = read_raw_field(path, type, start, dim, block, zero, unit, false, g, report, no_progress());
    const std::uint64_t need = __uint128_t(dim[0]) * dim[1] * dim[2] * data_type_size(type_from_string(type)) >
                                       std::uint64_t(INT64_MAX)
                                   ? std::uint64_t(INT64_MAX)
                                   : std::uint64_t(dim[0]) * dim[1] * dim[2] * data_type_size(type_from_string(type));
    if (ok) {
      ASSERT_LE(need, length) << dim[0] << " " << dim[1] << " " << dim[2] << " " << type;
      ASSERT_EQ(g.values.size(), size_t(block[0]) * block[1] * block[2]);
    } else {
      ASSERT_FALSE(report.error.empty());
      ASSERT_TRUE(has(report.error, path));
    }
  }
}

// Headers with random bytes changed: every read either gives the grid its
// header declares or a message naming the file, never a crash or an
// overread (the sanitizer run checks).
TEST(VolumeFiles, mutated_nifti_and_nrrd_headers_are_read_or_refused) {
  TempDir dir;
  std::mt19937 rng(26);
  Nifti1 n;
  n.pixdim[1] = 0.5f;
  n.scl_slope = 2;
  const auto nifti = n.bytes(false, int16_samples(12, false));
  const std::string text =
      "NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nspacings: 1 2 3\nendian: little\n"
      "encoding: raw\n\n";
  std::vector<unsigned char> nrrd(text.begin(), text.end());
  const auto samples16 = int16_samples(12, false);
  nrrd.insert(nrrd.end(), samples16.begin(), samples16.end());
  // Detached: the samples in d.raw (or a pipe, p.raw, beside it).
  write_bytes(dir.file("d.raw"), samples16);
  ASSERT_EQ(mkfifo(dir.file("p.raw").c_str(), 0600), 0);
  const std::string detached_text =
      "NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\nspacings: 1 2 3\n"
      "endian: little\nencoding: raw\ndata file: d.raw\n\n";
  const std::vector<unsigned char> detached(detached_text.begin(), detached_text.end());
  const unsigned char interesting[] = {0, 1, 2, 3, 0x7f, 0x80, 0xff, '0', '9', ' ', '\n', '-', 'e', 'p', '/', '.'};
  for (int round = 0; round < 2250; ++round) {
    const bool is_nifti = round % 3 == 0, is_detached = round % 3 == 2;
    std::vector<unsigned char> bytes = is_nifti ? nifti : is_detached ? detached : nrrd;
    const size_t header = is_nifti ? 352 : is_detached ? detached.size() : text.size();
    for (int k = 1 + int(rng() % 3); k > 0; --k) {
      const size_t at = rng() % header;
      bytes[at] = rng() % 2 ? interesting[rng() % sizeof interesting] : (unsigned char)rng();
    }
    if (rng() % 8 == 0) bytes.resize(rng() % bytes.size());
    const std::string path = dir.file(is_nifti ? "m.nii" : is_detached ? "m.nhdr" : "m.nrrd");
    write_bytes(path, bytes);
    const Read r = read(path);
    if (r.ok) {
      ASSERT_EQ(r.grid.values.size(), size_t(r.grid.dim[0]) * r.grid.dim[1] * r.grid.dim[2]);
      ASSERT_LE(r.grid.values.size(), 12u) << "no more samples than the file holds";
    } else {
      ASSERT_TRUE(has(r.report.error, path)) << r.report.error;
    }
  }
}

TEST(VolumeFiles, nifti_orientation_comes_from_the_sform_else_the_qform_as_the_library_computes_it) {
  TempDir dir;
  auto write = [&](const std::string& name, auto set) {
    const int64_t dims[8] = {3, 4, 3, 2, 1, 1, 1, 1};
    nifti_image* nim = nifti_make_new_nim(dims, DT_UINT8, 1);
    nim->pixdim[1] = nim->dx = 0.5;
    nim->pixdim[2] = nim->dy = 2;
    nim->pixdim[3] = nim->dz = 1.25;
    nim->sform_code = nim->qform_code = 0;
    nim->quatern_b = nim->quatern_c = nim->quatern_d = 0, nim->qfac = 1;
    for (auto& row : nim->sto_xyz.m)
      for (auto& e : row) e = 0;
    set(*nim);
    nim->nifti_type = NIFTI_FTYPE_NIFTI1_1;
    const std::string path = dir.file(name);
    EXPECT_EQ(nifti_set_filenames(nim, path.c_str(), 0, 1), 0);
    nifti_image_write(nim);
    nifti_image_free(nim);
    return header(path);
  };
  // No transform: nothing to label.
  EXPECT_FALSE(write("plain.nii", [](nifti_image&) {}).oriented);
  // An sform that swaps and flips axes: index x runs to the left, index y
  // upwards, index z to the front.
  const VolumeHeader s = write("sform.nii", [](nifti_image& n) {
    n.sform_code = 2;
    n.sto_xyz.m[0][0] = -0.5f, n.sto_xyz.m[2][1] = 2, n.sto_xyz.m[1][2] = 1.25f;
    n.sto_xyz.m[0][1] = 0.1f;  // a small shear leaves the axis where it was
  });
  ASSERT_TRUE(s.oriented);
  EXPECT_EQ(s.axes[0][0], -1);
  EXPECT_NEAR(s.axes[1][2], 2 / std::hypot(2.0, 0.1), 1e-6);
  EXPECT_EQ(s.axes[2][1], 1);
  // A qform only: a quarter turn about z, the third axis flipped by qfac;
  // the library's own matrix gives the directions.
  const float b = 0.1f, c = -0.2f, d = std::sqrt(0.5f);
  const VolumeHeader q = write("qform.nii", [&](nifti_image& n) {
    n.qform_code = 1;
    n.quatern_b = b, n.quatern_c = c, n.quatern_d = d, n.qfac = -1;
  });
  ASSERT_TRUE(q.oriented);
  const nifti_dmat44 m = nifti_quatern_to_dmat44(b, c, d, 0, 0, 0, 1, 1, 1, -1);
  for (int a = 0; a < 3; ++a)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(q.axes[a][k], m.m[k][a], 1e-6) << a << " " << k;
  // Both: the sform wins.
  const VolumeHeader both = write("both.nii", [&](nifti_image& n) {
    n.qform_code = 1, n.quatern_d = d;
    n.sform_code = 1, n.sto_xyz.m[0][0] = 0.5f, n.sto_xyz.m[1][1] = -2, n.sto_xyz.m[2][2] = 1.25f;
  });
  EXPECT_EQ(both.axes[1][1], -1);
  EXPECT_EQ(both.axes[0][0], 1);
}

TEST(VolumeFiles, nrrd_orientation_comes_from_an_anatomical_space_and_its_directions) {
  TempDir dir;
  auto hand = [&](const std::string& name, const std::string& fields) {
    const std::string text = "NRRD0004\ntype: short\ndimension: 3\nsizes: 3 2 2\n" + fields +
                             "endian: big\nencoding: raw\n\n";
    std::vector<unsigned char> bytes(text.begin(), text.end());
    const auto data = int16_samples(12, true);
    bytes.insert(bytes.end(), data.begin(), data.end());
    write_bytes(dir.file(name), bytes);
    return header(dir.file(name));
  };
  // DICOM's left-posterior-superior: x to the patient's left is -x of the
  // right-anterior-superior world, y to the back is -y.
  const VolumeHeader lps = hand("lps.nrrd",
                                "space: left-posterior-superior\nspace directions: (0,0,2) (-1.5,0,0) (0,0.5,0)\n");
  ASSERT_TRUE(lps.oriented);
  EXPECT_EQ(lps.axes[0][2], 1);   // index x runs up
  EXPECT_EQ(lps.axes[1][0], 1);   // index y: against the left, to the right
  EXPECT_EQ(lps.axes[2][1], -1);  // index z: to the back
  EXPECT_EQ(lps.spacing[1], 1.5);
  // Written by teem in right-anterior-superior space.
  write_nrrd(dir.file("ras.nrrd"), types[1], 5, 4, 3, airEndianLittle, false, true);
  const VolumeHeader ras = header(dir.file("ras.nrrd"));
  ASSERT_TRUE(ras.oriented);
  EXPECT_EQ(ras.axes[0][0], 1);
  EXPECT_EQ(ras.axes[1][1], -1);
  EXPECT_EQ(ras.axes[2][2], 1);
  // Spacings alone, or a space that is no anatomy: no orientation.
  EXPECT_FALSE(hand("plain.nrrd", "spacings: 1 1 1\n").oriented);
  EXPECT_FALSE(hand("xyz.nrrd", "space: 3D-right-handed\nspace directions: (1,0,0) (0,1,0) (0,0,1)\n").oriented);
}
