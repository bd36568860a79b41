#pragma once
// Driving the program's windows from a test under the X server of the test
// run (xvfb-run): the program started in the background, its windows
// found by title, given mouse and key events with xdotool and photographed
// with xwd; pictures saved with --snapshot read back; pixels compared.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "gui/png_file.h"
#include "test_util.h"

namespace windriver {

inline bool has_display() { return std::getenv("DISPLAY") && *std::getenv("DISPLAY"); }

struct Rgb {
  int r, g, b;
};
inline Rgb pixel(const ctree::RgbImage& img, int x, int y) {
  const unsigned char* p = img.at(x, y);
  return {p[0], p[1], p[2]};
}
inline bool near(Rgb a, Rgb b, int tol = 6) {
  return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol;
}
// Pixels for which pred holds.
template <class P>
long count_pixels(const ctree::RgbImage& img, P pred) {
  long n = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) n += pred(pixel(img, x, y));
  return n;
}

// Pixels of a and b (of one size) with a channel apart by more than tol;
// every pixel when the sizes differ.
inline long differing_pixels(const ctree::RgbImage& a, const ctree::RgbImage& b, int tol = 24) {
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size())
    return long(std::max(a.pixels.size(), b.pixels.size()) / 3);
  long n = 0;
  for (size_t i = 0; i < a.pixels.size(); i += 3) {
    bool apart = false;
    for (size_t k = 0; k < 3; ++k) apart = apart || std::abs(int(a.pixels[i + k]) - int(b.pixels[i + k])) > tol;
    n += apart;
  }
  return n;
}

inline ctree::RgbImage load_png(const std::string& name) {
  ctree::RgbImage img;
  std::string error;
  EXPECT_TRUE(ctree::read_png(name, img, error)) << error;
  return img;
}

// An X window dump (xwd's format: a big-endian header, the window name, a
// colour map, then the pixels, 3 or 4 bytes each) as RGB.
inline bool read_xwd(const std::string& bytes, ctree::RgbImage& img) {
  auto u32 = [&](size_t i) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * i;
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
  };
  if (bytes.size() < 100) return false;
  const std::uint32_t header = u32(0), width = u32(4), height = u32(5), byteOrder = u32(7), bpp = u32(11),
                      bpl = u32(12), rmask = u32(14), gmask = u32(15), bmask = u32(16), ncolors = u32(19);
  const size_t start = header + 12 * size_t(ncolors), step = bpp / 8;
  if ((bpp != 32 && bpp != 24) || bpl < step * width || bytes.size() < start + size_t(bpl) * height) return false;
  auto shift = [](std::uint32_t m) {
    int s = 0;
    while (m && !(m & 1)) m >>= 1, ++s;
    return s;
  };
  img.width = int(width), img.height = int(height);
  img.pixels.clear();
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + start + size_t(y) * bpl + step * x;
      std::uint32_t v = 0;
      for (size_t k = 0; k < step; ++k) v |= std::uint32_t(p[byteOrder == 0 ? k : step - 1 - k]) << (8 * k);
      for (std::uint32_t m : {rmask, gmask, bmask}) img.pixels.push_back((unsigned char)((v & m) >> shift(m)));
    }
  return true;
}

// The program running in the background with its output in log (env
// before it: variables for its environment), ended at the end, its output
// shown when the case failed. The windows are waited for, so that the next
// case, which finds windows by title, photographs no stale id.
struct Running {
  int pid = 0;
  std::string log;
  Running(const std::string& args, const std::string& logName, const std::string& env = "") : log(logName) {
    const auto r = testutil::run(env + " " + std::string(ORRERY_EXE) + " " + args + " > " + log + " 2>&1 & echo $!");
    pid = std::atoi(r.output.c_str());
  }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;
  ~Running() {
    if (::testing::Test::HasFailure()) {
      const std::string out = output();
      std::printf("--- output of the program (last 3000 bytes):\n%s\n",
                  out.substr(out.size() > 3000 ? out.size() - 3000 : 0).c_str());
    }
    if (pid <= 0) return;
    const std::string p = std::to_string(pid);
    testutil::run("kill " + p + "; for i in $(seq 100); do kill -0 " + p + " 2>/dev/null || break; sleep 0.1; done; " +
                  "kill -9 " + p +
                  " 2>/dev/null; for i in $(seq 100); do xdotool search --onlyvisible --name "
                  "'^(GlutViewer|Spectrum)' >/dev/null 2>&1 || break; sleep 0.1; done");
  }
  std::string output() const { return testutil::read_file(log); }
  // Waits (up to seconds) until the output holds text.
  bool waitFor(const std::string& text, double seconds = 10) const {
    for (int i = 0; i < int(seconds * 10); ++i) {
      if (output().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
};

inline std::string window_id(const std::string& title) {
  auto r = testutil::run("timeout 60 xdotool search --sync --onlyvisible --name '^" + title + "$' | head -1");
  return r.output.substr(0, r.output.find('\n'));
}

inline ctree::RgbImage photo(const std::string& id) {
  ctree::RgbImage img;
  const auto r = testutil::run("xwd -silent -id " + id + " -out /dev/stdout 2>/dev/null");
  EXPECT_TRUE(read_xwd(r.output, img)) << "xwd of " << id;
  return img;
}

// The pointer goes over the window first: without a window manager the
// keyboard follows the pointer.
inline void xdo(const std::string& id, const std::string& actions) {
  testutil::run("xdotool mousemove --window " + id + " 40 60 " + actions);
}

// A generated terrain with its tree files and scenes (more: further
// arguments): the data of a complete run.
struct Terrain {
  testutil::TempDir dir;
  std::string args;
  explicit Terrain(const std::string& more = "") {
    EXPECT_EQ(testutil::run_gen("terrain --size 24 --bumps 5 --out " + dir.file("t.ply")).status, 0);
    args = "--data " + dir.file("t.ply") + " --ct " + dir.file("t.ctree.ply") + " --ctl " + dir.file("t.ctreel.ply") +
           " --scene " + dir.file("scene.%03d.txt") + more;
  }
};

// White noise of n^3 floats in [0, 1) (little-endian, as this machine
// writes them) from seed, written to path: a tree of very many branches
// and a surface of very many triangles.
inline void write_noise_volume(const std::string& path, int n, unsigned seed) {
  std::vector<unsigned char> bytes(size_t(n) * n * n * 4);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < bytes.size(); i += 4) {
    const float v = float(rng() % 1000000) / 1e6f;
    std::memcpy(&bytes[i], &v, 4);
  }
  testutil::write_bytes(path, bytes);
}

}  // namespace windriver
