// The windows as a person sees them, under the X server of the test run
// (xvfb-run): pictures saved with --snapshot, and windows driven with real
// mouse and key events (xdotool) and photographed with xwd.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "window_driver.h"

using namespace ctree;
using namespace windriver;
using testutil::run;
using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool reddish(Rgb c) { return c.r > 120 && c.g < 60 && c.b < 60; }
bool bluish(Rgb c) { return c.b > 120 && c.r < 60 && c.g < 60; }
bool greyish(Rgb c) { return c.r > 20 && c.r < 130 && std::abs(c.r - c.g) < 8 && std::abs(c.g - c.b) < 8; }
bool green(Rgb c) { return c.g > 200 && c.r < 80 && c.b < 80; }

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

// The display answers before the first case: a server that has just
// started may refuse a client for a moment.
struct DisplayReady : ::testing::Environment {
  void SetUp() override {
    if (!has_display()) return;
    for (int i = 0; i < 100 && run("xdpyinfo >/dev/null 2>&1").status != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
};
const auto* const display_ready = ::testing::AddGlobalTestEnvironment(new DisplayReady);

using Geometry = std::array<int, 4>;  // x, y, width, height
Geometry geometry(const std::string& id) {
  const std::string g = run("xdotool getwindowgeometry --shell " + id).output;
  auto field = [&](const char* name) { return std::atoi(g.substr(g.find(name) + std::strlen(name)).c_str()); };
  return {field("X="), field("Y="), field("WIDTH="), field("HEIGHT=")};
}

}  // namespace

TEST(Windows, snapshots_show_every_window_of_a_surface_run_and_the_spectrum_cache_drawn) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t;
  const auto r = run_orrery(t.args + " --spectrum 16 --snapshot " + t.dir.file("pics"));
  ASSERT_EQ(r.status, 0) << r.output;
  // 1600x1200 screen: the arrangement of the main window's start-up, the
  // left column shared by mesh, spectrum and tree.
  const RgbImage tree = load_png(t.dir.file("pics/GlutViewer_tree.png"));
  const RgbImage mesh = load_png(t.dir.file("pics/GlutViewer_mesh.png"));
  const RgbImage main = load_png(t.dir.file("pics/GlutViewer.png"));
  const RgbImage spectrum = load_png(t.dir.file("pics/Spectrum.png"));
  EXPECT_EQ(std::vector<int>({main.width, main.height, tree.width, tree.height, mesh.width, mesh.height, spectrum.width,
                              spectrum.height}),
            std::vector<int>({1010, 1095, 465, 365, 465, 340, 465, 330}));

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
  // Drawn over the whole window, not in the corner of its first size.
  EXPECT_FALSE(near(pixel(main, main.width - 5, 60), {0, 0, 0}, 20));
  EXPECT_GT(count_pixels(main, [](Rgb c) { return c.r > 200 && c.g > 200 && c.b < 60; }), 20);  // yellow letters
  // Spectrum: black, a colour bar on top, a grey frame.
  EXPECT_TRUE(near(pixel(spectrum, 2, spectrum.height - 3), {0, 0, 0}, 2));
  EXPECT_GT(count_pixels(spectrum, [](Rgb c) { return c.r > 200 && c.g > 200 && c.b < 60; }), 50);  // cross-hair
  EXPECT_TRUE(std::filesystem::exists(t.dir.file("t.ply.spectrum")));

  // The spectrum window draws a cache written by hand: T = 1, S = 4, G = 4;
  // the area rises from 0 to 3 along the isovalue. The value range is the
  // terrain's (a cache of another range is computed again): taken from the
  // cache the run above wrote. (Caches that do not fit their header are
  // refused in the spectrum file tests.)
  const std::string cache = t.dir.file("t.ply.spectrum");
  float range[2];
  std::memcpy(range, testutil::read_file(cache).data(), sizeof range);
  std::vector<float> v = {range[0], range[1], 1, 4, 4};
  for (int s = 0; s < 4; ++s)
    for (int g = 0; g < 4; ++g) v.push_back(g == 0 ? float(s) : 1.0f);
  std::vector<unsigned char> bytes(v.size() * 4);
  std::memcpy(bytes.data(), v.data(), bytes.size());  // this machine is little-endian, as the file is
  testutil::write_bytes(cache, bytes);
  const auto a = run_orrery(t.args + " --snapshot " + t.dir.file("a"));
  ASSERT_EQ(a.status, 0) << a.output;
  const RgbImage img = load_png(t.dir.file("a/Spectrum.png"));
  // The grey map of the area: dark on the left, light on the right.
  const Rgb left = pixel(img, 20, img.height / 2), right = pixel(img, img.width - 20, img.height / 2);
  EXPECT_LT(left.r + 100, right.r) << left.r << " " << right.r;
  EXPECT_EQ(left.r, left.g);
  EXPECT_EQ(testutil::read_file(cache), std::string(bytes.begin(), bytes.end()));

  // A cache that cannot be written: said in one line, the window shows the
  // spectrum computed in memory.
  std::filesystem::remove(cache);
  std::filesystem::create_directory(cache);
  const auto c = run_orrery(t.args + " --spectrum 32 --snapshot " + t.dir.file("c"));
  ASSERT_EQ(c.status, 0) << c.output;
  EXPECT_NE(c.output.find("kept in memory"), std::string::npos) << c.output;
  EXPECT_TRUE(std::filesystem::exists(t.dir.file("c/Spectrum.png")));
}

namespace {

int occurrences(const std::string& out, const std::string& text) {
  int n = 0;
  for (size_t p = out.find(text); p != std::string::npos; p = out.find(text, p + 1)) ++n;
  return n;
}

}  // namespace

// A scene may stack windows so that one covers another whole (here every
// window at one place, the mesh window at the top edge): a covered window
// gets no expose, so each window still waiting for its snapshot is raised
// in turn, and every window draws.
TEST(Windows, windows_a_scene_stacks_over_each_other_all_draw_their_snapshots) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t;
  ASSERT_EQ(run_orrery(t.args + " --spectrum 16 --batch").status, 0);
  testutil::write_text(
      t.dir.file("scene.000.txt"),
      "1 -0.641165 -0.439792 0.62888 0 0.7674 -0.365081 0.527081 0 -0.0022144 0.820548 0.571573 0 0 0 0 1 \n"
      "1 0 0 0 1 0 0 0 1 2\n"
      "-0.92 0.92 -1 1 -10 10\n"
      "1600 1200 50 50 800 800 \n"
      " 256 \n"
      "0 3.5 0 0 0 1 0 0 0 0 0 0 0  1 0.75 0 \n"
      " \n"
      "0 1 1 1 1 0.0625 0.25 1 \n"
      " \n"
      "1\n"
      "0.5 \n"
      " \n"
      "1  \n"
      "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
      "1 0 0 0 1 0 0 0 1 2.5\n"
      "-1 1 -1.56 1.56 -10 10\n"
      "1600 1200 50 50 800 800 \n"
      " 1 1 30 30 1 0.01 0.04 1 \n"
      " \n"
      "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
      "1 0 0 0 1 0 0 0 1 2\n"
      "-1.3 1.3 -1 1 -10 10\n"
      "1600 1200 50 0 800 800 \n"
      " 2  \n"
      " \n"
      "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
      "1 0 0 0 1 0 0 0 1 2\n"
      "-1.4 1.4 -1 1 -10 10\n"
      "1600 1200 50 50 800 800 \n"
      " \n"
      "0 3 0.25 2 10 0 1  \n");
  const auto r = run_orrery(t.args + " --spectrum 16 --openscene --snapshot " + t.dir.file("stacked"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("] opened"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("drew no frame"), std::string::npos) << r.output;
  for (const char* name : {"GlutViewer", "GlutViewer_mesh", "GlutViewer_tree", "Spectrum"})
    EXPECT_GT(load_png(t.dir.file(std::string("stacked/") + name + ".png")).width, 0) << name;
}

TEST(Windows, mouse_and_keys_turn_filter_move_the_contour_and_keep_scenes) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t;
  Running app(t.args, t.dir.file("log"));
  const std::string tree = window_id("GlutViewer: tree"), main = window_id("GlutViewer");
  ASSERT_FALSE(tree.empty());
  ASSERT_FALSE(main.empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  // A drag in the tree window rotates the tree.
  const RgbImage tree_start = photo(tree);
  ASSERT_GT(count_pixels(tree_start, reddish), 10);
  xdo(tree, "mousemove --window " + tree + " 200 300 mousedown 1 mousemove --window " + tree + " 260 330 mouseup 1");
  const RgbImage tree_turned = photo_changed(tree, tree_start);
  EXPECT_NE(tree_turned.pixels, tree_start.pixels);
  // g four times: mode 0 draws nothing but the background.
  xdo(tree, "key g g g g");
  const RgbImage empty = photo_changed(tree, tree_turned);
  EXPECT_EQ(count_pixels(empty, reddish), 0);
  EXPECT_EQ(count_pixels(empty, bluish), 0);
  EXPECT_EQ(count_pixels(empty, greyish), 0);
  // Once more: back to tubes and spheres.
  xdo(tree, "key g");
  EXPECT_GT(count_pixels(photo_changed(tree, empty), reddish), 10);

  const RgbImage start = photo(main);
  EXPECT_EQ(count_pixels(start, green), 0) << "no contour before c";

  // "s" with the frame selected saves scene 0.
  xdo(main, "key s");
  ASSERT_TRUE(app.waitFor("scene file [" + t.dir.file("scene.000.txt") + "] saved")) << app.output();
  const std::string saved = testutil::read_file(t.dir.file("scene.000.txt"));
  EXPECT_EQ(saved.substr(0, 2), "1 ");
  // A rotation, then "o" brings the saved view back; saving it again
  // writes the same file.
  xdo(main, "mousemove --window " + main + " 300 300 mousedown 1 mousemove --window " + main + " 420 360 mouseup 1");
  const RgbImage turned = photo_changed(main, start);
  EXPECT_NE(turned.pixels, start.pixels);
  xdo(main, "key o");
  ASSERT_TRUE(app.waitFor("] opened")) << app.output();
  const RgbImage restored = photo_changed(main, turned);
  long differing = 0;
  for (size_t i = 0; i < start.pixels.size() && restored.pixels.size() == start.pixels.size(); ++i)
    differing += start.pixels[i] != restored.pixels[i];
  EXPECT_LT(differing, long(start.pixels.size() / 200)) << "the view of the scene comes back";
  xdo(main, "key s");
  ASSERT_TRUE(app.waitFor("] saved"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Window positions are saved 10 pixels up (room for a title bar a window
  // manager adds), so only they may differ.
  auto without_geometry = [](const std::string& text) {
    std::string out, line;
    std::istringstream in(text);
    while (std::getline(in, line))
      if (line.rfind("1600 1200 ", 0) != 0) out += line + "\n";
    return out;
  };
  EXPECT_EQ(without_geometry(testutil::read_file(t.dir.file("scene.000.txt"))), without_geometry(saved));

  // Left selects "threshold" (its steps are the big tree's test), Right
  // twice "iso"; c shows the green contour, Up moves it.
  xdo(main, "key Left Right Right c");
  const RgbImage contour = photo_changed(main, restored);
  EXPECT_GT(count_pixels(contour, green), 20);
  xdo(main, "key Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up");
  const RgbImage moved = photo_changed(main, contour);
  EXPECT_NE(moved.pixels, contour.pixels);
  EXPECT_GT(count_pixels(moved, green), 20);
  EXPECT_TRUE(app.waitFor("Set isovalue to"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(occurrences(app.output(), "Set isovalue to"), 20);

  // The scene of a 1600x1200 screen on one of 800x600: every window at
  // half its position and size.
  const auto half = run("xvfb-run -a -s '-screen 0 800x600x24 -noreset' " + std::string(ORRERY_EXE) + " " + t.args +
                        " --openscene --snapshot " + t.dir.file("half"));
  ASSERT_EQ(half.status, 0) << half.output;
  EXPECT_NE(half.output.find("] opened"), std::string::npos) << half.output;
  EXPECT_EQ(load_png(t.dir.file("half/GlutViewer.png")).width, 505);
  EXPECT_EQ(load_png(t.dir.file("half/GlutViewer.png")).height, 547);
  EXPECT_EQ(load_png(t.dir.file("half/GlutViewer_tree.png")).width, 232);
}

TEST(Windows, time_steps_follow_the_arrows_and_the_spectrum_picks) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("series --dim 12 10 8 --bumps 3 --steps 3 --out " + dir.file("s.%02d.raw")).status, 0);
  const std::string args = "--data " + dir.file("s.%02d.raw") + " --dim 12 10 8 --time 0 2 1 --spectrum 16 --ct " +
                           dir.file("s.%02d.ct.ply") + " --ctl " + dir.file("s.%02d.ctl.ply") + " --scene " +
                           dir.file("scene.%03d.txt");
  Running app(args, dir.file("log"));
  const std::string main = window_id("GlutViewer"), spectrum = window_id("Spectrum");
  ASSERT_FALSE(main.empty());
  ASSERT_FALSE(spectrum.empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // The spectrum visited every step; the run is back at step 0.
  EXPECT_TRUE(app.waitFor("spectrum of time step 2 done")) << app.output();

  // Right twice selects "time"; Up goes to step 1, which is cached.
  const RgbImage before = photo(spectrum);
  xdo(main, "key Right Right Up");
  const RgbImage after = photo_changed(spectrum, before);
  EXPECT_NE(after.pixels, before.pixels) << "the cross-hair follows the time step";
  // A click on the bottom edge of the spectrum's plot (24 pixels up, above
  // the isovalue axis; the time index is truncated) picks the last step.
  const int BOTTOM_ROW = 24;
  const int w = geometry(spectrum)[2], h = geometry(spectrum)[3];
  xdo(spectrum, "mousemove --window " + spectrum + " " + std::to_string(w / 2) + " " + std::to_string(h - BOTTOM_ROW) +
                    " click 1");
  const RgbImage picked = photo_changed(spectrum, after);
  EXPECT_NE(picked.pixels, after.pixels);
  // A middle click changes the palette of the image.
  xdo(spectrum,
      "mousemove --window " + spectrum + " " + std::to_string(w / 2) + " " + std::to_string(h / 2) + " click 2");
  const RgbImage coloured = photo_changed(spectrum, picked);
  EXPECT_GT(count_pixels(coloured, [](Rgb c) { return std::abs(c.r - c.b) > 60; }), 1000) << "map 1 is not grey";
  // Saving the scene records the picked step.
  xdo(main, "key Left Left s");
  ASSERT_TRUE(app.waitFor("] saved")) << app.output();
  std::istringstream lines(testutil::read_file(dir.file("scene.000.txt")));
  std::string line;
  for (int i = 0; i < 5; ++i) std::getline(lines, line);   // format + camera, tune steps
  std::getline(lines, line);                               // the dataset's record
  EXPECT_EQ(line.substr(line.size() - 3), " 2 ") << line;  // time 2
}

namespace {

// The box of the tree's pixels in a picture of the tree window: spheres
// (red, blue) and tubes (dark), none of which the background gradient has.
struct PixelBox {
  int left = -1, right = -1, top = -1, bottom = -1;
  long count = 0;
};
PixelBox tree_pixels(const RgbImage& img) {
  PixelBox b;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const Rgb c = pixel(img, x, y);
      if (!(reddish(c) || bluish(c) || std::max({c.r, c.g, c.b}) < 110)) continue;
      if (b.count++ == 0) b.left = b.right = x, b.top = b.bottom = y;
      b.left = std::min(b.left, x), b.right = std::max(b.right, x);
      b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
    }
  return b;
}

// The whole tree inside the picture, clear of every edge, and not lost in
// a corner: it spans a good part of the width or of the height.
void expect_whole_tree(const RgbImage& img, const char* what) {
  const PixelBox b = tree_pixels(img);
  ASSERT_GT(b.count, 100) << what;
  EXPECT_GE(b.left, 4) << what;
  EXPECT_GE(b.top, 4) << what;
  EXPECT_LE(b.right, img.width - 5) << what;
  EXPECT_LE(b.bottom, img.height - 5) << what;
  EXPECT_TRUE(b.right - b.left > img.width / 3 || b.bottom - b.top > img.height / 3)
      << what << ": " << b.left << ".." << b.right << " x " << b.top << ".." << b.bottom;
}

}  // namespace

// A terrain whose laid-out tree spreads far from its root's pole (the cow's
// case): the first view shows all of it, and after turning and zooming the
// key s brings back a view of the whole tree.
TEST(Windows, the_tree_window_shows_the_whole_tree_first_and_after_s) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("terrain --size 80 --bumps 80 --seed 3 --out " + dir.file("t.ply")).status, 0);
  const std::string args = "--data " + dir.file("t.ply") + " --ct " + dir.file("t.ctree.ply") + " --ctl " +
                           dir.file("t.ctreel.ply");
  Running app(args, dir.file("log"));
  const std::string tree = window_id("GlutViewer: tree");
  ASSERT_FALSE(tree.empty());
  RgbImage start = photo(tree);
  // Until the window has drawn: nothing of the tree yet, or a window still
  // black (every pixel as dark as a tube) on a loaded machine.
  auto undrawn = [](const RgbImage& img) {
    const long n = tree_pixels(img).count;
    return n == 0 || n > long(img.width) * img.height / 2;
  };
  for (int i = 0; i < 10 && undrawn(start); ++i) start = photo_changed(tree, start);
  EXPECT_EQ(start.width, 465);
  EXPECT_EQ(start.height, 725);
  expect_whole_tree(start, "first view");
  // Turned, and zoomed in with Shift and a drag to the left.
  xdo(tree, "mousemove --window " + tree + " 200 150 mousedown 1 mousemove --window " + tree + " 290 230 mouseup 1");
  const RgbImage turned = photo_changed(tree, start);
  xdo(tree, "mousemove --window " + tree + " 300 150 keydown shift mousedown 1 mousemove --window " + tree +
                " 60 150 mouseup 1 keyup shift");
  const RgbImage zoomed = photo_changed(tree, turned);
  const PixelBox z = tree_pixels(zoomed);
  EXPECT_TRUE(z.left < 4 || z.top < 4 || z.right > zoomed.width - 5 || z.bottom > zoomed.height - 5)
      << "zoomed in, the tree runs past the edges";
  xdo(tree, "key s");
  const RgbImage standard = photo_changed(tree, zoomed);
  EXPECT_NE(standard.pixels, zoomed.pixels);
  expect_whole_tree(standard, "after s");
}

namespace {

// Waits until the window shows what pred wants, or the time is up.
template <class P>
RgbImage photo_until(const std::string& id, P pred) {
  RgbImage img = photo(id);
  for (int i = 0; i < 40 && !pred(img); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    img = photo(id);
  }
  return img;
}

bool yellow(Rgb c) { return c.r > 200 && c.g > 200 && c.b < 60; }
bool white(Rgb c) { return c.r > 230 && c.g > 230 && c.b > 230; }
// The isosurface's front colour, lit: warm, red above blue.
bool surface(Rgb c) { return c.r > 60 && c.r > c.b + 25 && c.g > 20 && !reddish(c); }

}  // namespace

// A volume has no mesh window (and, without --ct, no tree window); with no
// display it is refused before any work. It starts with its isosurface at
// the value printed; c turns it to a wireframe, off and on again, each
// drawn at once, also when the spectrum was read from its file.
TEST(Windows, a_volume_has_no_mesh_window_starts_with_its_isosurface_and_c_draws_at_once) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 24 20 16 --bumps 4 --out " + dir.file("v.raw")).status, 0);
  const std::string args = "--data " + dir.file("v.raw") + " --dim 24 20 16 --ct " + dir.file("v.ct.ply");
  const auto r = run_orrery(args + " --ctl " + dir.file("v.ctl.ply") + " --snapshot " + dir.file("pics"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("pics")), {}), 2);
  EXPECT_TRUE(std::filesystem::exists(dir.file("pics/GlutViewer.png")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("pics/GlutViewer_tree.png")));

  // Without --ct there is no tree window: the main window alone.
  const auto plain = run_orrery("--data " + dir.file("v.raw") + " --dim 24 20 16 --snapshot " + dir.file("plain"));
  ASSERT_EQ(plain.status, 0) << plain.output;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("plain")), {}), 1);
  EXPECT_TRUE(std::filesystem::exists(dir.file("plain/GlutViewer.png")));

  const auto none = run("env -u DISPLAY " + std::string(ORRERY_EXE) + " " + args);
  EXPECT_NE(none.status, 0);
  EXPECT_NE(none.output.find("cannot open the X display"), std::string::npos) << none.output;
  EXPECT_EQ(none.output.find("reading"), std::string::npos) << "no work before the check";

  // The spectrum computed once, then read by the run under test.
  ASSERT_EQ(run_orrery(args + " --spectrum 8 --batch").status, 0);
  Running app(args + " --spectrum 8", dir.file("log"));
  const std::string main = window_id("GlutViewer");
  ASSERT_FALSE(main.empty());
  ASSERT_TRUE(app.waitFor("isosurface at ")) << app.output();
  const RgbImage start = photo_until(main, [](const RgbImage& i) { return count_pixels(i, surface) > 2000; });
  EXPECT_GT(count_pixels(start, surface), 2000) << "the surface from the start";
  // The panel shows the true isovalue and range, not 0 [0/0].
  const std::string log = app.output();
  const std::string iso = log.substr(log.find("isosurface at ") + 14, 6);
  EXPECT_NE(std::atof(iso.c_str()), 0.0) << log;
  xdo(main, "key c");  // wireframe: dark lines, no lit surface
  const RgbImage wire = photo_changed(main, start);
  EXPECT_LT(count_pixels(wire, surface), count_pixels(start, surface) / 4);
  xdo(main, "key c");  // off
  const RgbImage off = photo_changed(main, wire);
  xdo(main, "key c");  // on again, drawn with no other key
  const RgbImage on = photo_changed(main, off);
  EXPECT_GT(count_pixels(on, surface), 2000);
  EXPECT_LT(count_pixels(off, surface), 200);
}

// A tree of about 10^5 branches (white noise) starts with a few hundred of
// its most persistent branches, says so, and steps down to all of them in
// a few dozen presses; o turns the threshold off.
TEST(Windows, a_big_tree_first_shows_a_few_hundred_branches_and_the_threshold_reaches_all) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  const int N = 90;
  write_noise_volume(dir.file("noise.raw"), N, 4);  // little-endian, as --swapbyte 0 reads
  const std::string args = "--data " + dir.file("noise.raw") + " --dim 90 90 90 --swapbyte 0 --ct " +
                           dir.file("n.ct.ply") + " --ctl " + dir.file("n.ctl.ply");
  const auto batch = run_orrery(args + " --batch");
  ASSERT_EQ(batch.status, 0) << batch.output;
  const size_t at = batch.output.find(" branches", batch.output.find("step 0:"));
  const long branches = std::atol(batch.output.substr(batch.output.rfind(' ', at - 1) + 1).c_str());
  ASSERT_GT(branches, 50000) << batch.output;
  Running app(args, dir.file("log"));
  const std::string main = window_id("GlutViewer"), tree = window_id("GlutViewer: tree");
  ASSERT_FALSE(main.empty() || tree.empty());
  ASSERT_TRUE(app.waitFor("most persistent of")) << app.output();
  const std::string log = app.output();
  const long shown = std::atol(log.substr(log.find("showing the ") + 12).c_str());
  EXPECT_GE(shown, 100);
  EXPECT_LE(shown, 300);
  // The tree window draws them: spheres there, a bounded number.
  const RgbImage first = photo_until(tree, [](const RgbImage& i) { return count_pixels(i, bluish) > 50; });
  const long spheres = count_pixels(first, bluish) + count_pixels(first, reddish);
  EXPECT_GT(spheres, 50);
  EXPECT_LT(spheres, 300 * 80) << "a few hundred spheres of a few dozen pixels";
  // Left selects the threshold; 35 presses of Down reach every branch.
  std::string downs;
  for (int i = 0; i < 35; ++i) downs += " Down";
  xdo(main, "key Left" + downs);
  ASSERT_TRUE(app.waitFor("threshold 0: " + std::to_string(branches) + " of " + std::to_string(branches)))
      << app.output().substr(app.output().size() > 2000 ? app.output().size() - 2000 : 0);
  EXPECT_LE(occurrences(app.output(), "threshold "), 37);
  const RgbImage all = photo_changed(tree, first);
  EXPECT_GT(count_pixels(all, bluish) + count_pixels(all, reddish), spheres * 2) << "every branch drawn";
  // o: off, and Up: back on at the first view's level.
  xdo(main, "key o Up");
  const std::string level = log.substr(log.find("(threshold ") + 11);
  EXPECT_TRUE(app.waitFor("\nthreshold " + level.substr(0, level.find(')')) + ": " + std::to_string(shown) + " of "))
      << app.output().substr(app.output().size() > 1000 ? app.output().size() - 1000 : 0);
}

// No pointer, no key: every window is drawn from the start. h (or ?)
// prints the keys of the window it is pressed in and shows them over its
// picture; again, and they are gone. 1, 2, 3 turn the tree window to the
// axis views. A scene saved and opened three times over leaves every
// window where it was (position and size). Resized (with no window manager
// to send anything else), the windows are drawn again.
TEST(Windows, first_frames_key_help_axis_views_scenes_in_place_and_redraws_after_a_resize) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t;
  Running app(t.args + " --spectrum 16", t.dir.file("log"));
  const std::vector<std::string> ids = {window_id("GlutViewer"), window_id("GlutViewer: tree"),
                                        window_id("GlutViewer: mesh"), window_id("Spectrum")};
  for (const std::string& id : ids) ASSERT_FALSE(id.empty());
  const std::string &main = ids[0], &tree = ids[1], &spectrum = ids[3];
  auto tree_drawn = [](const RgbImage& i) { return count_pixels(i, reddish) > 20 && count_pixels(i, bluish) > 20; };
  auto mesh_drawn = [](const RgbImage& i) {
    return count_pixels(i, [](Rgb c) { return !near(c, {255, 242, 125}, 20); }) > 1000;
  };
  auto spectrum_drawn = [](const RgbImage& i) { return count_pixels(i, yellow) > 50; };
  auto main_drawn = [](const RgbImage& i) {
    // Yellow letters, spheres, and the panel's bands at the top and bottom.
    return count_pixels(i, yellow) > 20 && count_pixels(i, reddish) > 20 && near(pixel(i, 5, 3), {0, 0, 0}, 2) &&
           near(pixel(i, 5, i.height - 3), {0, 0, 0}, 2);
  };
  EXPECT_TRUE(tree_drawn(photo_until(tree, tree_drawn)));
  EXPECT_TRUE(mesh_drawn(photo_until(ids[2], mesh_drawn)));
  EXPECT_TRUE(spectrum_drawn(photo_until(spectrum, spectrum_drawn)));
  EXPECT_TRUE(main_drawn(photo_until(main, main_drawn)));
  const RgbImage before = photo(tree);
  xdo(tree, "key h");
  ASSERT_TRUE(app.waitFor("keys of the window \"GlutViewer: tree\"")) << app.output();
  EXPECT_NE(app.output().find("X x Y y Z z"), std::string::npos);
  const RgbImage help = photo_changed(tree, before);
  EXPECT_GT(count_pixels(help, white), 300) << "the bindings written over the picture";
  xdo(tree, "key h");
  const RgbImage gone = photo_changed(tree, help);
  EXPECT_LT(count_pixels(gone, white), 50);
  xdo(main, "key question");
  ASSERT_TRUE(app.waitFor("keys of the window \"GlutViewer\"")) << app.output();
  EXPECT_NE(app.output().find("isosurface: surface, wireframe, off"), std::string::npos);
  xdo(spectrum, "key h");
  ASSERT_TRUE(app.waitFor("keys of the window \"Spectrum\"")) << app.output();
  // The panel stays readable with the contour on and the mesh and the tree
  // off: yellow letters in both bands.
  xdo(main, "key question c m m m g g g g");
  const RgbImage panel = photo_until(main, [](const RgbImage& i) { return count_pixels(i, green) > 20; });
  long top = 0, bottom = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < panel.width; ++x) {
      top += yellow(pixel(panel, x, y));
      bottom += yellow(pixel(panel, x, panel.height - 1 - y));
    }
  EXPECT_GT(top, 20);
  EXPECT_GT(bottom, 60);
  // The axis views of the tree window differ from the first view and from
  // each other.
  xdo(tree, "key 1");
  const RgbImage one = photo_changed(tree, gone);
  xdo(tree, "key 2");
  const RgbImage two = photo_changed(tree, one);
  EXPECT_NE(one.pixels, gone.pixels);
  EXPECT_NE(two.pixels, one.pixels);
  expect_whole_tree(two, "axis view 2");

  std::vector<Geometry> start;
  for (const std::string& id : ids) start.push_back(geometry(id));
  for (int round = 0; round < 3; ++round) {
    xdo(main, "key s");
    for (int i = 0; i < 50 && occurrences(app.output(), "] saved") <= round; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    xdo(main, "key o");
    for (int i = 0; i < 50 && occurrences(app.output(), "] opened") <= round; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  EXPECT_EQ(occurrences(app.output(), "] opened"), 3) << app.output();
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(geometry(ids[i]), start[i]) << i;
  // The scene reopened in a new run puts the windows at the same places.
  const auto again = run_orrery(t.args + " --spectrum 16 --openscene --snapshot " + t.dir.file("again"));
  ASSERT_EQ(again.status, 0) << again.output;
  EXPECT_EQ(load_png(t.dir.file("again/GlutViewer.png")).width, start[0][2]);
  EXPECT_EQ(load_png(t.dir.file("again/GlutViewer.png")).height, start[0][3]);
  // A scene that cannot be read ends --openscene --snapshot with the file
  // and the field, and a non-zero status, at once.
  testutil::write_bytes(t.dir.file("scene.000.txt"), {'1', ' ', '2', '\n'});
  const auto cut = run_orrery(t.args + " --spectrum 16 --openscene --snapshot " + t.dir.file("cut"));
  EXPECT_NE(cut.status, 0);
  EXPECT_NE(cut.output.find("scene.000.txt: the file ends before the main window rotation element 2"),
            std::string::npos)
      << cut.output;
  // Smaller and larger (the main window's tree back on): drawn again at the new size.
  xdo(main, "key g");
  run("xdotool windowsize " + tree + " 300 280 windowsize " + main + " 700 900");
  const RgbImage small = photo_until(tree, [&](const RgbImage& i) { return i.width == 300 && tree_drawn(i); });
  EXPECT_EQ(small.width, 300);
  EXPECT_TRUE(tree_drawn(small));
  const RgbImage resized = photo_until(
      main, [&](const RgbImage& i) { return i.width == 700 && i.height == 900 && main_drawn(i); });
  EXPECT_EQ(resized.width, 700);
  EXPECT_EQ(resized.height, 900);
  EXPECT_TRUE(main_drawn(resized));
}

namespace {

bool magenta(Rgb c) { return c.r > 200 && c.g < 60 && c.b > 200; }
// The region's boundary, lit: green well above red and blue.
bool region_green(Rgb c) { return c.g > 60 && c.g > c.r + 40 && c.g > c.b + 30; }
// The isosurface's lit front: warm, red above green above blue.
bool surface_tan(Rgb c) { return c.r > 90 && c.r > c.g + 15 && c.g > c.b + 10; }

// A pixel inside a patch where pred holds (its neighbourhood of r pixels
// all does), away from the panel strips at the top and bottom; (-1, -1)
// when there is none.
// The rightmost such pixel with rightmost.
template <class P>
std::array<int, 2> inside_patch(const RgbImage& img, P pred, int r, bool rightmost = false) {
  std::array<int, 2> found = {-1, -1};
  for (int y = 45; y + 45 < img.height; ++y)
    for (int x = r; x + r < img.width; ++x) {
      bool all = true;
      for (int dy = -r; dy <= r && all; ++dy)
        for (int dx = -r; dx <= r && all; ++dx) all = pred(pixel(img, x + dx, y + dy));
      if (all && !rightmost) return {x, y};
      if (all && x > found[0]) found = {x, y};
    }
  return found;
}

void click(const std::string& id, std::array<int, 2> at) {
  xdo(id, "mousemove --window " + id + " " + std::to_string(at[0]) + " " + std::to_string(at[1]) + " click 1");
}

// The ramp of the tree colourings: its dark purple end, its middle and its
// amber end (gui/tree_colouring.h).
bool ramp_low(Rgb c) { return near(c, {22, 11, 57}, 12); }
bool ramp_middle(Rgb c) { return near(c, {168, 47, 94}, 12); }
bool ramp_high(Rgb c) { return near(c, {252, 165, 10}, 12); }

// Pixels for which pred holds in the rows y0..y1 (from the top) of img.
template <class P>
long count_rows(const RgbImage& img, int y0, int y1, P pred) {
  long n = 0;
  for (int y = std::max(0, y0); y <= std::min(img.height - 1, y1); ++y)
    for (int x = 0; x < img.width; ++x) n += pred(pixel(img, x, y));
  return n;
}

}  // namespace

// A click on a branch end drawn in the tree window selects that branch:
// it is drawn magenta in both trees, the line about it (values, persistence,
// region) is in the transcript; a click on empty space clears it, [ walks
// to the parent; a click on the isosurface selects the branch there and
// draws its region's boundary; a saved scene brings the selection back,
// the spectrum marking the branch's values.
TEST(Windows, a_click_selects_a_branch_in_every_window_keys_walk_and_scenes_keep_it) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 24 20 16 --bumps 4 --out " + dir.file("v.raw")).status, 0);
  const std::string args = "--data " + dir.file("v.raw") + " --dim 24 20 16 --ct " + dir.file("v.ct.ply") + " --ctl " +
                           dir.file("v.ctl.ply") + " --scene " + dir.file("scene.%03d.txt") + " --spectrum 16";
  Running app(args, dir.file("log"));
  const std::string tree = window_id("GlutViewer: tree"), main = window_id("GlutViewer");
  ASSERT_FALSE(tree.empty());
  ASSERT_FALSE(main.empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(800));

  const RgbImage tree0 = photo(tree), main0 = photo(main);
  EXPECT_EQ(count_pixels(tree0, magenta), 0);
  EXPECT_EQ(count_pixels(main0, magenta), 0);
  // The middle of a branch end's sphere.
  const std::array<int, 2> end = inside_patch(
      tree0, [](Rgb c) { return reddish(c) || bluish(c); }, 2);
  ASSERT_GE(end[0], 0) << "no sphere drawn";
  click(tree, end);
  ASSERT_TRUE(app.waitFor("selected branch")) << app.output();
  const RgbImage tree1 = photo_changed(tree, tree0);
  EXPECT_GT(count_pixels(tree1, magenta), 30);
  EXPECT_GT(count_pixels(photo_changed(main, main0), magenta), 10) << "highlighted in the main window too";
  const std::string line = app.output().substr(app.output().find("selected branch"));
  EXPECT_NE(line.find(" at ("), std::string::npos) << line;
  EXPECT_NE(line.find("persistence"), std::string::npos) << line;
  EXPECT_NE(line.find("voxels"), std::string::npos) << line;

  // Empty space (the left edge, inside the fitted margin) clears it.
  click(tree, {3, tree1.height / 2});
  ASSERT_TRUE(app.waitFor("selection cleared")) << app.output();
  EXPECT_EQ(count_pixels(photo_changed(tree, tree1), magenta), 0);

  // Selected again, [ goes to the parent (or stays on the root).
  click(tree, end);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  xdo(tree, "key bracketleft");
  for (int i = 0; i < 50 && occurrences(app.output(), "selected branch") < 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(occurrences(app.output(), "selected branch"), 3) << app.output();
  xdo(tree, "key BackSpace");
  for (int i = 0; i < 50 && occurrences(app.output(), "selection cleared") < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(occurrences(app.output(), "selection cleared"), 2) << app.output();

  // The isosurface in the main window: the branch behind it, its region's
  // boundary drawn. (The rightmost piece: the one around the highest
  // maximum lies on the root, whose region is the whole grid.)
  const RgbImage main1 = photo(main);
  const std::array<int, 2> onSurface = inside_patch(main1, surface_tan, 4, true);
  ASSERT_GE(onSurface[0], 0) << "no isosurface drawn";
  EXPECT_EQ(count_pixels(main1, region_green), 0);
  click(main, onSurface);
  for (int i = 0; i < 50 && occurrences(app.output(), "selected branch") < 4; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(occurrences(app.output(), "selected branch"), 4) << app.output();
  EXPECT_EQ(occurrences(app.output(), "selected branch 0 "), 1) << app.output();
  const RgbImage main2 = photo_changed(main, main1);
  EXPECT_GT(count_pixels(main2, region_green), 50);

  // Saved with the frame selected, and opened by a new run.
  xdo(main, "key s");
  ASSERT_TRUE(app.waitFor("] saved")) << app.output();
  EXPECT_NE(testutil::read_file(dir.file("scene.000.txt")).find("selection "), std::string::npos);
  const auto again = run_orrery(args + " --openscene --snapshot " + dir.file("again"));
  ASSERT_EQ(again.status, 0) << again.output;
  EXPECT_NE(again.output.find("selected branch"), std::string::npos) << again.output;
  EXPECT_GT(count_pixels(load_png(dir.file("again/GlutViewer_tree.png")), magenta), 30);
  EXPECT_GT(count_pixels(load_png(dir.file("again/GlutViewer.png")), region_green), 50);
  // The spectrum marks the branch's values over its isovalue axis.
  EXPECT_GT(count_pixels(load_png(dir.file("again/Spectrum.png")), magenta), 20);
}

// k cycles the tree colouring: by persistence, by value, back to the ends'
// red and blue. Coloured, the tree window shows the ramp as a bar along
// its bottom with white tick labels, and the branches take its colours;
// the main window shows the same bar above its panel.
TEST(Windows, k_colours_the_tree_by_persistence_then_value_with_a_colour_bar) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t;
  Running app(t.args, t.dir.file("log"));
  const std::string tree = window_id("GlutViewer: tree"), main = window_id("GlutViewer");
  ASSERT_FALSE(tree.empty() || main.empty());
  auto tree_drawn = [](const RgbImage& i) { return count_pixels(i, reddish) > 20 && count_pixels(i, bluish) > 20; };
  const RgbImage ends = photo_until(tree, tree_drawn);
  ASSERT_TRUE(tree_drawn(ends));
  EXPECT_EQ(count_pixels(ends, ramp_high), 0);
  const int band = 58;  // the bar's band at the bottom
  EXPECT_EQ(count_rows(ends, ends.height - band, ends.height - 1, white), 0);

  xdo(tree, "key k");
  const RgbImage persistence = photo_changed(tree, ends);
  const int h = persistence.height;
  // The bar: both ends and the middle of the ramp, in the bottom band.
  EXPECT_GT(count_rows(persistence, h - band, h - 1, ramp_low), 20);
  EXPECT_GT(count_rows(persistence, h - band, h - 1, ramp_middle), 20);
  EXPECT_GT(count_rows(persistence, h - band, h - 1, ramp_high), 20);
  EXPECT_GT(count_rows(persistence, h - band, h - 1, white), 30) << "tick labels and the title";
  // The branches above it: no more red and blue ends, ramp colours instead.
  EXPECT_LT(count_rows(persistence, 0, h - band - 1, bluish), 5);
  long coloured = 0;
  for (int y = 0; y < h - band; ++y)
    for (int x = 0; x < persistence.width; ++x) {
      const Rgb c = pixel(persistence, x, y);
      // Purple to amber: red above blue... or a dark purple.
      coloured += (c.r > c.g + 40 && c.r > 90) || ramp_low(c);
    }
  EXPECT_GT(coloured, 50);

  xdo(tree, "key k");
  const RgbImage value = photo_changed(tree, persistence);
  EXPECT_NE(value.pixels, persistence.pixels);
  EXPECT_GT(count_rows(value, h - band, h - 1, ramp_high), 20);
  // The main window draws its tree in the same colours, with the bar.
  const RgbImage main_value = photo_until(main, [](const RgbImage& i) { return count_pixels(i, ramp_high) > 20; });
  EXPECT_GT(count_pixels(main_value, ramp_high), 20);
  EXPECT_GT(count_pixels(main_value, ramp_middle), 20);

  xdo(tree, "key k");
  const RgbImage back = photo_changed(tree, value);
  EXPECT_GT(count_pixels(back, bluish), 20);
  EXPECT_EQ(count_rows(back, h - band, h - 1, ramp_high), 0);
  EXPECT_EQ(count_rows(back, h - band, h - 1, white), 0);
}

// With the threshold off, a tree of thousands of branches spreads far
// wider than its first view: each axis view still shows all of it, clear
// of the window's edges, and a good part of the window wide or high.
TEST(Windows, axis_views_frame_the_whole_tree_with_the_filter_off) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  const int N = 24;
  write_noise_volume(dir.file("noise.raw"), N, 9);
  const std::string args = "--data " + dir.file("noise.raw") + " --dim 24 24 24 --swapbyte 0 --ct " +
                           dir.file("n.ct.ply") + " --ctl " + dir.file("n.ctl.ply");
  ASSERT_EQ(run_orrery(args + " --batch").status, 0);
  Running app(args, dir.file("log"));
  const std::string main = window_id("GlutViewer"), tree = window_id("GlutViewer: tree");
  ASSERT_FALSE(main.empty() || tree.empty());
  ASSERT_TRUE(app.waitFor("most persistent of")) << app.output();
  const RgbImage first = photo_until(tree, [](const RgbImage& i) { return count_pixels(i, bluish) > 50; });
  // Left selects the threshold, o turns it off: every branch drawn.
  xdo(main, "key Left o");
  const RgbImage all = photo_changed(tree, first);
  EXPECT_GT(count_pixels(all, bluish) + count_pixels(all, reddish), count_pixels(first, bluish));
  expect_whole_tree(all, "every branch, first view");
  xdo(tree, "key 2");
  const RgbImage two = photo_changed(tree, all);
  expect_whole_tree(two, "every branch, axis view 2");
  xdo(tree, "key 3");
  const RgbImage three = photo_changed(tree, two);
  expect_whole_tree(three, "every branch, axis view 3");
  xdo(tree, "key 1");
  expect_whole_tree(photo_changed(tree, three), "every branch, axis view 1");
}

// A spectrum of one time step: the image over the isovalue has an axis of
// isovalues under it and the time step's tick beside it; g shows the graph
// over the isovalue (a red line, the area), with the area's axis, and g
// again the image.
TEST(Windows, a_spectrum_of_one_step_has_axes_and_its_graph_one_key_away) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t;
  Running app(t.args + " --spectrum 32", t.dir.file("log"));
  const std::string spectrum = window_id("Spectrum");
  ASSERT_FALSE(spectrum.empty());
  auto axis_pixels = [](const RgbImage& i, bool leftMargin) {
    // The axes' grey (191) in the bottom margin (24 rows) or the left one
    // (56 columns) of the plot.
    long n = 0;
    for (int y = 0; y < i.height; ++y)
      for (int x = 0; x < i.width; ++x) {
        const bool inMargin = leftMargin ? x < 56 && y > 78 && y < i.height - 24 : y >= i.height - 24 && x > 56;
        n += inMargin && near(pixel(i, x, y), {191, 191, 191}, 8);
      }
    return n;
  };
  // b (show everything, which it does already) draws the window whether
  // or not its first frame came by itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  xdo(spectrum, "key b");
  const RgbImage image = photo_until(spectrum, [&](const RgbImage& i) { return axis_pixels(i, false) > 30; });
  EXPECT_GT(axis_pixels(image, false), 30) << "isovalue ticks and labels";
  EXPECT_GT(axis_pixels(image, true), 10) << "the time step's label";
  EXPECT_LT(count_pixels(image, reddish), 20) << "no graph in the image";
  xdo(spectrum, "key g");
  const RgbImage graph = photo_changed(spectrum, image);
  long red = 0;  // the graph's line inside the plot
  for (int y = 80; y < graph.height - 24; ++y)
    for (int x = 57; x < graph.width - 12; ++x) red += reddish(pixel(graph, x, y));
  EXPECT_GT(red, 30);
  EXPECT_GT(axis_pixels(graph, true), 60) << "the area's ticks and values";
  EXPECT_GT(axis_pixels(graph, false), 30);
  xdo(spectrum, "key g");
  const RgbImage again = photo_changed(spectrum, graph);
  EXPECT_LT(count_pixels(again, reddish), 20);
  EXPECT_GT(axis_pixels(again, false), 30);
}
