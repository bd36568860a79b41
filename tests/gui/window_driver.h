#pragma once
// Driving the program's windows from a test under the X server of the test
// run (xvfb-run): the program started in the background, its windows
// found by title, photographed with xwd and given keys with xdotool.

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "gui/png_file.h"
#include "test_util.h"

namespace windriver {

inline bool has_display() { return std::getenv("DISPLAY") && *std::getenv("DISPLAY"); }

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

// The program running in the background with its output in log, killed at
// the end (and its windows waited for, so that the next test finds none).
struct Running {
  int pid = 0;
  std::string log;
  Running(const std::string& args, const std::string& logName, const std::string& env = "") : log(logName) {
    const auto r = testutil::run(env + " " + std::string(ORRERY_EXE) + " " + args + " > " + log + " 2>&1 & echo $!");
    pid = std::atoi(r.output.c_str());
  }
  ~Running() {
    if (pid <= 0) return;
    const std::string p = std::to_string(pid);
    testutil::run("kill " + p + "; sleep 0.2; kill -9 " + p + " 2>/dev/null");
    testutil::run("for i in $(seq 100); do kill -0 " + p +
                  " 2>/dev/null || break; sleep 0.1; done; "
                  "for i in $(seq 100); do xdotool search --onlyvisible --name '^(GlutViewer|Spectrum)' >/dev/null "
                  "2>&1 || break; sleep 0.1; done");
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
  read_xwd(testutil::run("xwd -silent -id " + id + " -out /dev/stdout 2>/dev/null").output, img);
  return img;
}

// The pointer goes over the window first: without a window manager the
// keyboard follows the pointer.
inline void xdo(const std::string& id, const std::string& actions) {
  testutil::run("xdotool mousemove --window " + id + " 40 60 " + actions);
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

}  // namespace windriver
