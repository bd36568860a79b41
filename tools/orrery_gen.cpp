// orrery_gen: deterministic sample data for demos, tests and benchmarks.
//
//   orrery_gen volume --dim X Y Z --out FILE [--type T] [--endian big|little]
//                     [--bumps N] [--seed S] [--step K]
//   orrery_gen series --dim X Y Z --out TEMPLATE --steps K [same options]
//   orrery_gen terrain --size N --out FILE.ply [--format ascii|big|little]
//                      [--strips] [--bumps N] [--seed S] [--step K]
//                      [--two-components] [--stray-vertex]
//   orrery_gen samples DIR
//
// A volume is a sum of Gaussian bumps of alternating sign on a jittered
// lattice, quantised to the element type. Every file gets a sidecar
// FILE.info that states the grid, the type, the byte order and the number of
// local maxima and minima of the samples as written, counted over the grid's
// 14-neighbour (six tetrahedra per cube) neighbourhood with ties broken by
// index. In a series the bumps drift with the step number.
//
// A terrain is an N×N height field in the x-z plane whose height y is a sum
// of bumps (peaks, pits and the passes between them), written as a PLY mesh
// of triangles (or one triangle strip per row with --strips). Its sidecar
// FILE.info counts the critical points of the written heights.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <type_traits>
#include <vector>

namespace {

// splitmix64: the same numbers on every platform and library.
struct Rng {
  std::uint64_t s;
  std::uint64_t next() {
    std::uint64_t z = (s += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
};

struct Bump {
  double c[3], v[3], amp, sigma;
};

struct VolumeSpec {
  long dim[3] = {0, 0, 0};
  std::string type = "float";
  bool big_endian = true;
  int bumps = 8;
  std::uint64_t seed = 1;
  int step = 0;
};

struct TypeInfo {
  const char* name;
  int size;
  bool is_int;
  double lo, hi;  // range the field is scaled into for integer types
};

const TypeInfo types[] = {
    {"char", 1, true, -120, 120},       {"uchar", 1, true, 0, 250},
    {"short", 2, true, -30000, 30000},  {"ushort", 2, true, 0, 60000},
    {"long", 4, true, -2.0e9, 2.0e9},   {"ulong", 4, true, 0, 4.0e9},
    {"float", 4, false, 0, 0},          {"double", 8, false, 0, 0},
};

const TypeInfo* find_type(const std::string& name) {
  for (const TypeInfo& t : types)
    if (name == t.name) return &t;
  return nullptr;
}

std::vector<Bump> make_bumps(const VolumeSpec& s) {
  Rng rng{s.seed};
  std::vector<Bump> bumps(size_t(s.bumps));
  // Jittered lattice: bump i sits in cell i of a k×k×k lattice over the box.
  int k = 1;
  while (k * k * k < s.bumps) ++k;
  double cell[3];
  for (int a = 0; a < 3; ++a) cell[a] = double(s.dim[a] - 1) / k;
  double smallest = std::min(cell[0], std::min(cell[1], cell[2]));
  for (int i = 0; i < s.bumps; ++i) {
    Bump& b = bumps[size_t(i)];
    int l[3] = {i % k, (i / k) % k, i / (k * k)};
    for (int a = 0; a < 3; ++a) {
      b.c[a] = (l[a] + 0.3 + 0.4 * rng.uniform()) * cell[a];
      b.v[a] = (rng.uniform() - 0.5) * 0.1 * cell[a];
    }
    b.amp = (i % 2 == 0 ? 1.0 : -1.0) * (0.5 + 0.5 * rng.uniform());
    b.sigma = smallest * (0.15 + 0.1 * rng.uniform()) + 0.5;
  }
  return bumps;
}

std::vector<double> make_values(const VolumeSpec& s, const TypeInfo& t) {
  std::vector<Bump> bumps = make_bumps(s);
  const size_t n = size_t(s.dim[0]) * size_t(s.dim[1]) * size_t(s.dim[2]);
  std::vector<double> v(n, 0.0);
  size_t i = 0;
  for (long z = 0; z < s.dim[2]; ++z)
    for (long y = 0; y < s.dim[1]; ++y)
      for (long x = 0; x < s.dim[0]; ++x, ++i) {
        double f = 0;
        for (const Bump& b : bumps) {
          double dx = x - (b.c[0] + s.step * b.v[0]);
          double dy = y - (b.c[1] + s.step * b.v[1]);
          double dz = z - (b.c[2] + s.step * b.v[2]);
          f += b.amp * std::exp(-(dx * dx + dy * dy + dz * dz) / (2 * b.sigma * b.sigma));
        }
        // A slight tilt keeps far-away samples from being equal.
        v[i] = f + 1e-4 * (x + 0.7 * y + 0.3 * z) / double(s.dim[0] + s.dim[1] + s.dim[2]);
      }
  if (t.is_int) {
    double lo = v[0], hi = v[0];
    for (double x : v) lo = std::min(lo, x), hi = std::max(hi, x);
    double scale = hi > lo ? (t.hi - t.lo) / (hi - lo) : 0.0;
    for (double& x : v) x = std::floor(t.lo + (x - lo) * scale + 0.5);
  } else if (std::strcmp(t.name, "float") == 0) {
    for (double& x : v) x = double(float(x));
  }
  return v;
}

// Local extrema under the (value, index) order over the 14-neighbourhood.
void count_extrema(const VolumeSpec& s, const std::vector<double>& v, long& maxima, long& minima) {
  static const int off[7][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
  maxima = minima = 0;
  const long X = s.dim[0], Y = s.dim[1], Z = s.dim[2];
  for (long z = 0; z < Z; ++z)
    for (long y = 0; y < Y; ++y)
      for (long x = 0; x < X; ++x) {
        long i = x + X * (y + Y * z);
        bool higher = true, lower = true;
        for (int o = 0; o < 7; ++o)
          for (int sign = -1; sign <= 1; sign += 2) {
            long nx = x + sign * off[o][0], ny = y + sign * off[o][1], nz = z + sign * off[o][2];
            if (nx < 0 || ny < 0 || nz < 0 || nx >= X || ny >= Y || nz >= Z) continue;
            long j = nx + X * (ny + Y * nz);
            bool j_below = v[size_t(j)] < v[size_t(i)] || (v[size_t(j)] == v[size_t(i)] && j < i);
            if (j_below) lower = false;
            else higher = false;
          }
        maxima += higher;
        minima += lower;
      }
}

template <class T>
void put(std::vector<unsigned char>& out, T value, bool big_endian) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &value, sizeof(T));
  const std::uint16_t one = 1;
  bool machine_little = *reinterpret_cast<const unsigned char*>(&one) == 1;
  if (machine_little == big_endian)
    for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
  out.insert(out.end(), b, b + sizeof(T));
}

std::vector<unsigned char> encode(const std::vector<double>& v, const TypeInfo& t, bool big_endian) {
  std::vector<unsigned char> out;
  out.reserve(v.size() * size_t(t.size));
  for (double x : v) {
    switch (t.size * 10 + (t.is_int ? (t.lo < 0 ? 1 : 2) : 3)) {
      case 11: put<std::int8_t>(out, std::int8_t(x), big_endian); break;
      case 12: put<std::uint8_t>(out, std::uint8_t(x), big_endian); break;
      case 21: put<std::int16_t>(out, std::int16_t(x), big_endian); break;
      case 22: put<std::uint16_t>(out, std::uint16_t(x), big_endian); break;
      case 41: put<std::int32_t>(out, std::int32_t(x), big_endian); break;
      case 42: put<std::uint32_t>(out, std::uint32_t(x), big_endian); break;
      case 43: put<float>(out, float(x), big_endian); break;
      default: put<double>(out, x, big_endian); break;
    }
  }
  return out;
}

bool write_volume(const VolumeSpec& s, const std::string& path) {
  const TypeInfo* t = find_type(s.type);
  if (!t) {
    std::fprintf(stderr, "orrery_gen: unknown type \"%s\"\n", s.type.c_str());
    return false;
  }
  std::vector<double> v = make_values(s, *t);
  std::vector<unsigned char> bytes = encode(v, *t, s.big_endian);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "orrery_gen: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  long maxima, minima;
  count_extrema(s, v, maxima, minima);
  double lo = v[0], hi = v[0];
  for (double x : v) lo = std::min(lo, x), hi = std::max(hi, x);
  const char* order = s.big_endian ? "big" : "little";
  std::FILE* info = std::fopen((path + ".info").c_str(), "w");
  if (info) {
    std::fprintf(info, "dim %ld %ld %ld\ntype %s\nendian %s\nbumps %d\nseed %llu\nstep %d\n", s.dim[0],
                 s.dim[1], s.dim[2], t->name, order, s.bumps, (unsigned long long)s.seed, s.step);
    std::fprintf(info, "min %.17g\nmax %.17g\nmaxima %ld\nminima %ld\n", lo, hi, maxima, minima);
    std::fclose(info);
  }
  std::printf("wrote %s: %ldx%ldx%ld %s %s-endian, %d bumps, %ld maxima, %ld minima\n", path.c_str(),
              s.dim[0], s.dim[1], s.dim[2], t->name, order, s.bumps, maxima, minima);
  return true;
}

struct TerrainSpec {
  long size = 32;
  std::string format = "ascii";
  bool strips = false, two_components = false, stray = false;
  int bumps = 6;
  std::uint64_t seed = 1;
  int step = 0;
};

template <class T>
void put_value(std::string& out, T v, const std::string& format) {
  if (format == "ascii") {
    char buf[64];
    if (std::is_floating_point<T>::value)
      std::snprintf(buf, sizeof buf, "%.9g ", double(v));
    else
      std::snprintf(buf, sizeof buf, "%lld ", (long long)v);
    out += buf;
    return;
  }
  std::vector<unsigned char> b;
  put<T>(b, v, format == "big");
  out.append(b.begin(), b.end());
}

bool write_terrain(const TerrainSpec& t, const std::string& path) {
  const long n = t.size;
  // Heights: bumps of alternating sign over the square, well away from
  // float underflow, plus a slight tilt so no two heights tie.
  Rng rng{t.seed};
  std::vector<double> h(size_t(n * n), 0.0);
  for (int b = 0; b < t.bumps; ++b) {
    const double cx = rng.uniform() * (n - 1), cz = rng.uniform() * (n - 1);
    const double vx = (rng.uniform() - 0.5) * 0.05 * n, vz = (rng.uniform() - 0.5) * 0.05 * n;
    const double amp = (b % 2 ? -1.0 : 1.0) * (0.5 + 0.5 * rng.uniform()), sigma = n * (0.08 + 0.06 * rng.uniform());
    for (long j = 0; j < n; ++j)
      for (long i = 0; i < n; ++i) {
        const double dx = i - cx - t.step * vx, dz = j - cz - t.step * vz;
        h[size_t(i + n * j)] += amp * std::exp(-(dx * dx + dz * dz) / (2 * sigma * sigma));
      }
  }
  for (long j = 0; j < n; ++j)
    for (long i = 0; i < n; ++i) h[size_t(i + n * j)] += 1e-3 * (i + 0.37 * j) / double(n);
  struct P {
    float x, y, z;
  };
  std::vector<P> pts;
  std::vector<std::vector<int>> polys;
  const int copies = t.two_components ? 2 : 1;
  for (int c = 0; c < copies; ++c) {
    const int base = int(pts.size());
    for (long j = 0; j < n; ++j)
      for (long i = 0; i < n; ++i)
        pts.push_back({float(i + c * (n + 2)), float(h[size_t(i + n * j)] * n * 0.2 + c * 0.5), float(j)});
    if (!t.strips) {
      for (long j = 0; j + 1 < n; ++j)
        for (long i = 0; i + 1 < n; ++i) {
          int a = base + int(i + n * j), b = a + 1, d = a + int(n), e = d + 1;
          polys.push_back({a, d, e});
          polys.push_back({a, e, b});
        }
    } else {
      for (long j = 0; j + 1 < n; ++j) {
        std::vector<int> strip;
        for (long i = 0; i < n; ++i) {
          strip.push_back(base + int(i + n * j));
          strip.push_back(base + int(i + n * (j + 1)));
        }
        polys.push_back(strip);
      }
    }
  }
  if (t.stray) pts.push_back({-5, 0, -5});
  const char* fmt = t.format == "ascii" ? "ascii" : t.format == "big" ? "binary_big_endian" : "binary_little_endian";
  std::string out = std::string("ply\nformat ") + fmt + " 1.0\ncomment orrery_gen terrain\nelement vertex " +
                    std::to_string(pts.size()) + "\nproperty float x\nproperty float y\nproperty float z\n" +
                    "element " + (t.strips ? "tristrips " : "face ") + std::to_string(polys.size()) + "\n" +
                    (t.strips ? "property list int int vertex_indices\n" : "property list uchar int vertex_indices\n") +
                    "end_header\n";
  const bool ascii = t.format == "ascii";
  for (const P& p : pts) {
    put_value(out, p.x, t.format);
    put_value(out, p.y, t.format);
    put_value(out, p.z, t.format);
    if (ascii) out.back() = '\n';
  }
  for (const auto& poly : polys) {
    if (t.strips)
      put_value(out, std::int32_t(poly.size()), t.format);
    else
      put_value(out, std::uint8_t(poly.size()), t.format);
    for (int v : poly) put_value(out, std::int32_t(v), t.format);
    if (ascii) out.back() = '\n';
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "orrery_gen: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  std::printf("wrote %s: %ldx%ld terrain, %zu vertices, %zu %s, %s\n", path.c_str(), n, n, pts.size(), polys.size(),
              t.strips ? "strips" : "triangles", fmt);
  return true;
}

int usage() {
  std::fprintf(stderr,
               "usage: orrery_gen volume --dim X Y Z --out FILE [--type T] [--endian big|little]\n"
               "                         [--bumps N] [--seed S] [--step K]\n"
               "       orrery_gen series --dim X Y Z --out TEMPLATE --steps K [options as above]\n"
               "       orrery_gen terrain --size N --out FILE.ply [--format ascii|big|little] [--strips]\n"
               "                          [--bumps N] [--seed S] [--step K] [--two-components] [--stray-vertex]\n"
               "       orrery_gen samples DIR\n");
  return 2;
}

bool parse_long(const char* s, long& out) {
  char* end;
  errno = 0;
  out = std::strtol(s, &end, 10);
  return *s && !*end && errno == 0;
}

std::string format_step(const std::string& templ, int step) {
  char buf[4096];
  std::snprintf(buf, sizeof buf, templ.c_str(), step);
  return buf;
}

int samples(const std::string& dir) {
  mkdir(dir.c_str(), 0755);
  VolumeSpec s;
  s.dim[0] = s.dim[1] = s.dim[2] = 64;
  s.bumps = 12;
  bool ok = write_volume(s, dir + "/bumps64.raw");
  s.big_endian = false;
  ok = ok && write_volume(s, dir + "/bumps64-le.raw");
  s.big_endian = true;
  s.dim[0] = s.dim[1] = s.dim[2] = 48;
  s.bumps = 8;
  for (int step = 0; step < 4 && ok; ++step) {
    s.step = step;
    ok = write_volume(s, dir + "/" + format_step("series.%02d.raw", step));
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string cmd = argv[1];
  if (cmd == "samples") return argc == 3 ? samples(argv[2]) : usage();
  if (cmd == "terrain") {
    TerrainSpec t;
    std::string out;
    for (int i = 2; i < argc; ++i) {
      std::string a = argv[i];
      long v;
      auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
      if (a == "--size" && parse_long(next(), v) && v >= 2) t.size = v;
      else if (a == "--out") out = next();
      else if (a == "--format") {
        t.format = next();
        if (t.format != "ascii" && t.format != "big" && t.format != "little") return usage();
      } else if (a == "--strips") t.strips = true;
      else if (a == "--two-components") t.two_components = true;
      else if (a == "--stray-vertex") t.stray = true;
      else if (a == "--bumps" && parse_long(next(), v) && v >= 1) t.bumps = int(v);
      else if (a == "--seed" && parse_long(next(), v)) t.seed = std::uint64_t(v);
      else if (a == "--step" && parse_long(next(), v)) t.step = int(v);
      else return usage();
    }
    if (out.empty()) return usage();
    return write_terrain(t, out) ? 0 : 1;
  }
  if (cmd != "volume" && cmd != "series") return usage();
  VolumeSpec s;
  std::string out;
  long steps = 1;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    long v;
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--dim") {
      for (int k = 0; k < 3; ++k)
        if (!parse_long(next(), s.dim[k]) || s.dim[k] < 1) return usage();
    } else if (a == "--out") {
      out = next();
    } else if (a == "--type") {
      s.type = next();
    } else if (a == "--endian") {
      std::string e = next();
      if (e != "big" && e != "little") return usage();
      s.big_endian = e == "big";
    } else if (a == "--bumps" && parse_long(next(), v) && v >= 1) {
      s.bumps = int(v);
    } else if (a == "--seed" && parse_long(next(), v)) {
      s.seed = std::uint64_t(v);
    } else if (a == "--step" && parse_long(next(), v)) {
      s.step = int(v);
    } else if (a == "--steps" && parse_long(next(), v) && v >= 1) {
      steps = v;
    } else {
      return usage();
    }
  }
  if (out.empty() || s.dim[0] < 1) return usage();
  if (cmd == "volume") return write_volume(s, out) ? 0 : 1;
  for (int step = 0; step < steps; ++step) {
    s.step = step;
    if (!write_volume(s, format_step(out, step))) return 1;
  }
  return 0;
}
