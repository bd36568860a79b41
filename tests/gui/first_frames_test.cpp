// The windows as started by a user (no --snapshot) against the pictures
// --snapshot saves of the same run: each window's first frames on the
// screen must be those pictures, also when a scene resizes the windows.
// And what a redisplay costs, counted from the frame log
// (ORRERY_FRAME_LOG): keys that change only the panel put the kept
// pictures back instead of drawing the scenes again.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "window_driver.h"

using namespace ctree;
using namespace windriver;
using testutil::run;
using testutil::run_orrery;
using testutil::TempDir;

namespace {

const char* const TITLES[4] = {"GlutViewer", "GlutViewer: tree", "GlutViewer: mesh", "Spectrum"};
const char* const PICTURES[4] = {"GlutViewer.png", "GlutViewer_tree.png", "GlutViewer_mesh.png", "Spectrum.png"};

// Waits (20 s at most) until the window shows the picture, or nearly
// (a few pixels of a line may fall otherwise); returns the last photo.
RgbImage photo_like(const std::string& id, const RgbImage& picture) {
  RgbImage img = photo(id);
  for (int i = 0; i < 100 && differing_pixels(img, picture) > long(picture.pixels.size() / 3 / 500); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    img = photo(id);
  }
  return img;
}

// Windows 0 1 3 (a volume's: no mesh window).
const int VOLUME_WINDOWS[3] = {0, 1, 3};

void expect_screen_shows_snapshots(const std::string& args, const std::string& pics, const std::string& log) {
  Running app(args, log);
  for (int w : VOLUME_WINDOWS) {
    const char* title = TITLES[w];
    const std::string id = window_id(title);
    ASSERT_FALSE(id.empty()) << title;
    const RgbImage picture = load_png(pics + "/" + PICTURES[w]);
    const RgbImage shown = photo_like(id, picture);
    EXPECT_EQ(shown.width, picture.width) << title;
    EXPECT_EQ(shown.height, picture.height) << title;
    EXPECT_LE(differing_pixels(shown, picture), long(picture.pixels.size() / 3 / 500))
        << title << ": the first frames on the screen differ from the --snapshot picture";
  }
}

// The counts of the last frame line of a frame log: {drawn, kept}, or
// {-1, -1} when there is none.
std::pair<long, long> last_counts(const std::string& log) {
  static const std::regex counts("frames drawn ([0-9]+) kept ([0-9]+)");
  std::pair<long, long> out(-1, -1);
  for (std::sregex_iterator i(log.begin(), log.end(), counts), end; i != end; ++i)
    out = {std::atol((*i)[1].str().c_str()), std::atol((*i)[2].str().c_str())};
  return out;
}

// Waits until the frame log has been still for two seconds (20 s at most).
std::pair<long, long> settled_counts(const Running& app) {
  std::pair<long, long> last = last_counts(app.output());
  for (int i = 0, still = 0; i < 100 && still < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::pair<long, long> now = last_counts(app.output());
    still = now == last && now.first > 0 ? still + 1 : 0;
    last = now;
  }
  return last;
}

}  // namespace

// A volume's windows: its main window draws its isosurface at once,
// before the windows have their places (the case that showed a black
// spectrum and a tree window shifted down under a grey band).
struct Volume {
  TempDir dir;
  std::string args;
  Volume() {
    EXPECT_EQ(testutil::run_gen("volume --dim 48 40 32 --bumps 8 --out " + dir.file("v.raw")).status, 0);
    args = "--data " + dir.file("v.raw") + " --dim 48 40 32 --ct " + dir.file("v.ct.ply") + " --ctl " +
           dir.file("v.ctl.ply") + " --scene " + dir.file("scene.%03d.txt") + " --spectrum 16";
  }
};

TEST(WindowFrames, first_frames_without_snapshot_are_the_snapshot_pictures_also_after_a_scene_resized_them) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Volume t;
  const auto snap = run_orrery(t.args + " --snapshot " + t.dir.file("pics"));
  ASSERT_EQ(snap.status, 0) << snap.output;
  expect_screen_shows_snapshots(t.args, t.dir.file("pics"), t.dir.file("log"));

  // A scene of smaller windows at other places: opened at the start, it
  // resizes every window before its first frame.
  {
    Running app(t.args, t.dir.file("log2"));
    const std::string main = window_id(TITLES[0]);
    ASSERT_FALSE(main.empty());
    for (int i : VOLUME_WINDOWS)
      run("xdotool windowsize " + window_id(TITLES[i]) + " " + std::to_string(300 + 40 * i) + " " +
          std::to_string(260 + 30 * i) + " windowmove " + window_id(TITLES[i]) + " " + std::to_string(20 + 380 * i) +
          " 500");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    xdo(main, "key s");
    ASSERT_TRUE(app.waitFor("] saved")) << app.output();
  }
  const auto scene = run_orrery(t.args + " --openscene --snapshot " + t.dir.file("scene"));
  ASSERT_EQ(scene.status, 0) << scene.output;
  EXPECT_EQ(load_png(t.dir.file("scene/Spectrum.png")).width, 420);
  expect_screen_shows_snapshots(t.args + " --openscene", t.dir.file("scene"), t.dir.file("log3"));
}

namespace {

// The frame lines of the windows with a kept picture (not the spectrum,
// which draws itself whole at every frame) in text: {drawn, kept}.
std::pair<int, int> scene_frames(const std::string& text) {
  std::pair<int, int> n(0, 0);
  for (const char* title : {TITLES[0], TITLES[1], TITLES[2]}) {
    const std::string line = std::string("frame \"") + title + "\" ";
    for (size_t p = text.find(line); p != std::string::npos; p = text.find(line, p + 1)) {
      const std::string rest = text.substr(p, text.find('\n', p) - p);
      n.first += rest.find("scene drawn") != std::string::npos;
      n.second += rest.find("scene kept") != std::string::npos;
    }
  }
  return n;
}

}  // namespace

TEST(WindowFrames, panel_keys_and_the_key_help_put_the_kept_pictures_back_and_draw_no_scene) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  Terrain t(" --spectrum 16");  // every window of a run
  Running app(t.args, t.dir.file("log"), "ORRERY_FRAME_LOG=1");
  const std::string main = window_id(TITLES[0]);
  ASSERT_FALSE(main.empty());
  ASSERT_GE(settled_counts(app).first, 4) << app.output();
  const size_t mark = app.output().size();
  const RgbImage before = photo(main);
  // Left and Right select panel settings (every window is redisplayed);
  // h shows and hides the key help.
  xdo(main, "key Left Left Right Left h h");
  settled_counts(app);
  const std::pair<int, int> panel = scene_frames(app.output().substr(mark));
  EXPECT_EQ(panel.first, 0) << "no scene drawn again:\n" << app.output().substr(mark);
  EXPECT_GE(panel.second, 3) << "every picture put back (quick keys may share a frame):\n" << app.output().substr(mark);
  EXPECT_NE(photo(main).pixels, before.pixels) << "the panel shows the setting selected";
  // Up with the threshold selected changes what is drawn: the main and the
  // tree window draw their scenes again.
  const size_t mark2 = app.output().size();
  xdo(main, "key Right Up");
  settled_counts(app);
  EXPECT_GE(scene_frames(app.output().substr(mark2)).first, 2) << app.output().substr(mark2);
}

namespace {

// The number after name in the last frame line of the main window.
long main_count(const std::string& log, const std::string& name) {
  const size_t line = log.rfind("frame \"GlutViewer\" ");
  if (line == std::string::npos) return -1;
  const size_t at = log.find(name + " ", line);
  return at == std::string::npos ? -1 : std::atol(log.c_str() + at + name.size() + 1);
}

bool lit_surface(const unsigned char* p) { return p[0] > 60 && p[0] > p[2] + 25 && p[1] > 20; }

long surface_pixels(const RgbImage& img) {
  long n = 0;
  for (size_t i = 0; i < img.pixels.size(); i += 3) n += lit_surface(&img.pixels[i]);
  return n;
}

}  // namespace

// A surface of a few hundred thousand triangles (white noise): shown first
// coarse, then full; turned by a drag, the frames while the button is held
// draw the whole surface of a coarser grid, made once, not the full
// surface again and again; the release brings the full surface back,
// uploaded to GL only once in all. Quick isovalue presses share their
// extractions.
TEST(WindowFrames, a_drag_turns_a_coarse_whole_surface_and_the_release_brings_the_full_one_back) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  const int N = 64;
  write_noise_volume(dir.file("noise.raw"), N, 5);
  Running app("--data " + dir.file("noise.raw") + " --dim 64 64 64 --datatype float --swapbyte 0", dir.file("log"),
              "ORRERY_FRAME_LOG=1");
  const std::string main = window_id(TITLES[0]);
  ASSERT_FALSE(main.empty());
  settled_counts(app);
  const RgbImage full = photo(main);
  // The first frame drew the coarse surface, the next the full one.
  const long uploads = main_count(app.output(), "surface uploads"),
             coarse = main_count(app.output(), "coarse surfaces");
  EXPECT_EQ(uploads, 2) << app.output();
  EXPECT_EQ(coarse, 1) << app.output();
  xdo(main, "mousemove --window " + main + " 400 400 mousedown 1 mousemove --window " + main +
                " 420 410 sleep 0.3 mousemove --window " + main + " 440 420 sleep 0.3 mousemove --window " + main +
                " 460 430");
  settled_counts(app);
  const RgbImage turning = photo(main);
  const std::string during = app.output();
  xdo(main, "mouseup 1");
  settled_counts(app);
  const std::string after = app.output();
  EXPECT_EQ(main_count(during, "coarse surfaces"), coarse) << "the coarse surface of this isovalue, kept\n" << during;
  EXPECT_EQ(main_count(after, "coarse surfaces"), coarse) << after;
  EXPECT_EQ(main_count(after, "surface uploads"), uploads) << "nothing uploaded again\n" << after;
  EXPECT_NE(turning.pixels, full.pixels);
  // Whole, not a sparse share: about as much of the window is surface.
  EXPECT_GT(surface_pixels(turning), surface_pixels(full) * 8 / 10)
      << surface_pixels(turning) << " of " << surface_pixels(full);
  const RgbImage released = photo(main);
  EXPECT_NE(released.pixels, turning.pixels) << "the full surface back";
  // A new isovalue: its coarse surface first, then the full one.
  xdo(main, "key Right Up");
  settled_counts(app);
  EXPECT_EQ(main_count(app.output(), "coarse surfaces"), coarse + 1) << app.output();
  EXPECT_EQ(main_count(app.output(), "surface uploads"), uploads + 2) << app.output();
  // Twenty quick presses: each is said, the surface is extracted once for
  // the presses a frame's time brings, not once for each.
  const size_t mark = app.output().size();
  std::string ups;
  for (int i = 0; i < 20; ++i) ups += " Up";
  xdo(main, "key --delay 5" + ups);
  settled_counts(app);
  const std::string keys = app.output().substr(mark);
  auto count = [&](const std::string& text) {
    long n = 0;
    for (size_t p = keys.find(text); p != std::string::npos; p = keys.find(text, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("Set isovalue to"), 20) << keys;
  EXPECT_GE(count("calculating contour"), 1) << keys;
  EXPECT_LT(count("calculating contour"), 20) << keys;
}
