// The windows as a person sees them, under the X server of the test run
// (xvfb-run): pictures saved with --snapshot, and windows driven with real
// mouse and key events (xdotool) and photographed with xwd.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <thread>

#include "gui/png_file.h"
#include "test_util.h"

using namespace ctree;
using testutil::run;
using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool has_display() { return std::getenv("DISPLAY") && *std::getenv("DISPLAY"); }

struct Rgb {
  int r, g, b;
};
Rgb pixel(const RgbImage& img, int x, int y) {
  const unsigned char* p = img.at(x, y);
  return {p[0], p[1], p[2]};
}
bool near(Rgb a, Rgb b, int tol = 6) {
  return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol;
}
// Pixels for which pred holds.
template <class P>
long count_pixels(const RgbImage& img, P pred) {
  long n = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) n += pred(pixel(img, x, y));
  return n;
}
bool reddish(Rgb c) { return c.r > 120 && c.g < 60 && c.b < 60; }
bool bluish(Rgb c) { return c.b > 120 && c.r < 60 && c.g < 60; }
bool greyish(Rgb c) { return c.r > 20 && c.r < 130 && std::abs(c.r - c.g) < 8 && std::abs(c.g - c.b) < 8; }
bool green(Rgb c) { return c.g > 200 && c.r < 80 && c.b < 80; }

RgbImage load(const std::string& name) {
  RgbImage img;
  std::string error;
  EXPECT_TRUE(read_png(name, img, error)) << error;
  return img;
}

// An X window dump (xwd's format: a big-endian header, the window name, a
// colour map, then the pixels) as RGB.
bool read_xwd(const std::string& bytes, RgbImage& img) {
  auto u32 = [&](size_t i) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * i;
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
  };
  if (bytes.size() < 100) return false;
  const std::uint32_t header = u32(0), width = u32(4), height = u32(5), byteOrder = u32(7), bpp = u32(11),
                      bpl = u32(12), rmask = u32(14), gmask = u32(15), bmask = u32(16), ncolors = u32(19);
  const size_t start = header + 12 * size_t(ncolors);
  if (bpp != 32 || bytes.size() < start + size_t(bpl) * height) return false;
  auto shift = [](std::uint32_t m) {
    int s = 0;
    while (m && !(m & 1)) m >>= 1, ++s;
    return s;
  };
  img.width = int(width), img.height = int(height);
  img.pixels.clear();
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + start + size_t(y) * bpl + 4 * x;
      const std::uint32_t v = byteOrder == 0 ? std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                                   std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24
                                             : std::uint32_t(p[3]) | std::uint32_t(p[2]) << 8 |
                                                   std::uint32_t(p[1]) << 16 | std::uint32_t(p[0]) << 24;
      img.pixels.push_back((unsigned char)((v & rmask) >> shift(rmask)));
      img.pixels.push_back((unsigned char)((v & gmask) >> shift(gmask)));
      img.pixels.push_back((unsigned char)((v & bmask) >> shift(bmask)));
    }
  return true;
}

// A generated terrain with its tree files and a small spectrum: the data
// of a complete run.
struct Terrain {
  TempDir dir;
  std::string args;
  Terrain() {
    EXPECT_EQ(testutil::run_gen("terrain --size 24 --bumps 5 --out " + dir.file("t.ply")).status, 0);
    args = "--data " + dir.file("t.ply") + " --ct " + dir.file("t.ctree.ply") + " --ctl " + dir.file("t.ctreel.ply") +
           " --scene " + dir.file("scene.%03d.txt");
  }
};

// A program running in the background, killed at the end.
struct Running {
  int pid = 0;
  std::string log;
  explicit Running(const std::string& args, const std::string& logName) : log(logName) {
    const auto r = run(std::string(ORRERY_EXE) + " " + args + " > " + log + " 2>&1 & echo $!");
    pid = std::atoi(r.output.c_str());
  }
  ~Running() {
    if (pid > 0) run("kill " + std::to_string(pid) + "; sleep 0.2; kill -9 " + std::to_string(pid) + " 2>/dev/null");
  }
};

std::string window_id(const std::string& title) {
  auto r = run("timeout 60 xdotool search --sync --onlyvisible --name '^" + title + "$' | head -1");
  return r.output.substr(0, r.output.find('\n'));
}

RgbImage photo(const std::string& id) {
  RgbImage img;
  const auto r = run("xwd -silent -id " + id + " -out /dev/stdout 2>/dev/null");
  EXPECT_TRUE(read_xwd(r.output, img)) << "xwd of " << id;
  return img;
}

// Waits until the window's picture differs from before and then holds
// still for a moment (several events may be on their way), or the time is up.
RgbImage photo_changed(const std::string& id, const RgbImage& before) {
  RgbImage now = before, last;
  for (int i = 0; i < 60; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    last = now;
    now = photo(id);
    if (now.pixels != before.pixels && now.pixels == last.pixels) break;
  }
  return now;
}

void xdo(const std::string& id, const std::string& actions) {
  // The pointer goes over the window first: without a window manager the
  // keyboard follows the pointer.
  run("xdotool mousemove --window " + id + " 40 60 " + actions);
}

}  // namespace

TEST(Windows, snapshots_show_every_window_of_a_surface_run) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t;
  const auto r = run_orrery(t.args + " --spectrum 16 --snapshot " + t.dir.file("pics"));
  ASSERT_EQ(r.status, 0) << r.output;
  // 1600x1200 screen: the arrangement of the main window's start-up, the
  // left column shared by mesh, spectrum and tree.
  const RgbImage tree = load(t.dir.file("pics/GlutViewer_tree.png"));
  const RgbImage mesh = load(t.dir.file("pics/GlutViewer_mesh.png"));
  const RgbImage main = load(t.dir.file("pics/GlutViewer.png"));
  const RgbImage spectrum = load(t.dir.file("pics/Spectrum.png"));
  EXPECT_EQ(main.width, 1010);
  EXPECT_EQ(main.height, 1095);
  EXPECT_EQ(tree.width, 465);
  EXPECT_EQ(tree.height, 365);
  EXPECT_EQ(mesh.width, 465);
  EXPECT_EQ(mesh.height, 340);
  EXPECT_EQ(spectrum.width, 465);
  EXPECT_EQ(spectrum.height, 330);

  // Tree: the gradient behind, red minima, blue maxima, grey tubes.
  EXPECT_TRUE(near(pixel(tree, 0, tree.height - 1), {144, 144, 255}, 8));
  EXPECT_TRUE(near(pixel(tree, 0, 0), {255, 242, 125}, 8));
  EXPECT_GT(count_pixels(tree, reddish), 20);
  EXPECT_GT(count_pixels(tree, bluish), 20);
  EXPECT_GT(count_pixels(tree, greyish), 50);
  // Mesh: flat pale yellow behind a grey surface.
  EXPECT_TRUE(near(pixel(mesh, 0, 0), {255, 242, 125}));
  EXPECT_TRUE(near(pixel(mesh, mesh.width - 1, mesh.height - 1), {255, 242, 125}));
  EXPECT_GT(count_pixels(mesh, [](Rgb c) { return !near(c, {255, 242, 125}, 20); }), 1000);
  // Main: the black bands of the panel, the grey gradient between them.
  EXPECT_TRUE(near(pixel(main, 0, 0), {0, 0, 0}, 2));
  EXPECT_TRUE(near(pixel(main, main.width - 1, main.height - 1), {0, 0, 0}, 2));
  EXPECT_TRUE(near(pixel(main, 0, main.height - 25), {216, 214, 221}, 8));
  EXPECT_GT(count_pixels(main, [](Rgb c) { return c.r > 200 && c.g > 200 && c.b < 60; }), 20);  // yellow letters
  // Spectrum: black, a colour bar on top, a grey frame.
  EXPECT_TRUE(near(pixel(spectrum, 2, spectrum.height - 3), {0, 0, 0}, 2));
  EXPECT_GT(count_pixels(spectrum, [](Rgb c) { return c.r > 200 && c.g > 200 && c.b < 60; }), 50);  // cross-hair
  EXPECT_TRUE(std::filesystem::exists(t.dir.file("t.ply.spectrum")));
}

TEST(Windows, a_grid_run_has_no_mesh_window_and_no_display_is_refused) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 12 10 8 --bumps 4 --out " + dir.file("v.raw")).status, 0);
  const std::string args = "--data " + dir.file("v.raw") + " --dim 12 10 8 --ct " + dir.file("v.ct.ply") + " --ctl " +
                           dir.file("v.ctl.ply");
  const auto r = run_orrery(args + " --snapshot " + dir.file("pics"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir.file("pics/GlutViewer.png")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("pics/GlutViewer_tree.png")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("pics/GlutViewer_mesh.png")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("pics/Spectrum.png")));

  const auto none = run("env -u DISPLAY " + std::string(ORRERY_EXE) + " " + args);
  EXPECT_NE(none.status, 0);
  EXPECT_NE(none.output.find("cannot open the X display"), std::string::npos) << none.output;
  EXPECT_EQ(none.output.find("reading"), std::string::npos) << "no work before the check";
}

TEST(Windows, mouse_and_keys_change_what_is_drawn) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t;
  Running app(t.args, t.dir.file("log"));
  const std::string tree = window_id("GlutViewer: tree"), main = window_id("GlutViewer");
  ASSERT_FALSE(tree.empty());
  ASSERT_FALSE(main.empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  // A drag in the tree window rotates the tree.
  const RgbImage start = photo(tree);
  ASSERT_GT(count_pixels(start, reddish), 10);
  xdo(tree, "mousemove --window " + tree + " 200 300 mousedown 1 mousemove --window " + tree +
                " 260 330 mouseup 1");
  const RgbImage turned = photo_changed(tree, start);
  EXPECT_NE(turned.pixels, start.pixels);
  // g four times: mode 0 draws nothing but the background.
  xdo(tree, "key g g g g");
  const RgbImage empty = photo_changed(tree, turned);
  EXPECT_EQ(count_pixels(empty, reddish), 0);
  EXPECT_EQ(count_pixels(empty, bluish), 0);
  EXPECT_EQ(count_pixels(empty, greyish), 0);
  // Once more: back to tubes and spheres.
  xdo(tree, "key g");
  const RgbImage back = photo_changed(tree, empty);
  EXPECT_GT(count_pixels(back, reddish), 10);

  // c in the main window shows the green isocontour.
  const RgbImage plain = photo(main);
  EXPECT_EQ(count_pixels(plain, green), 0);
  xdo(main, "key c");
  const RgbImage contour = photo_changed(main, plain);
  EXPECT_GT(count_pixels(contour, green), 20);
}
