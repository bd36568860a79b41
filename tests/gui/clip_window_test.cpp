// The clip plane and the axis labels in the main window, under the X server
// of the test run: keys put a plane into a saved scene, the scene's
// picture (--openscene --snapshot) shows the cut and its outline, and a
// scene saved again from the reopened one gives the same file and the same
// picture; a scene without the clip record is the uncut view.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <sstream>
#include <thread>

#include "gui/png_file.h"
#include "test_util.h"

using namespace ctree;
using testutil::run;
using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool has_display() { return std::getenv("DISPLAY") && *std::getenv("DISPLAY"); }

RgbImage load(const std::string& name) {
  RgbImage img;
  std::string error;
  EXPECT_TRUE(read_png(name, img, error)) << error;
  return img;
}

template <class P>
long count_pixels(const RgbImage& img, P pred) {
  long n = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const unsigned char* p = img.at(x, y);
      n += pred(int(p[0]), int(p[1]), int(p[2]));
    }
  return n;
}

bool outline(int r, int g, int b) { return r > 235 && g > 95 && g < 135 && b < 30; }
bool label(int r, int g, int b) { return std::abs(r - 41) < 12 && std::abs(g - 41) < 12 && std::abs(b - 110) < 14; }

// An X window dump (xwd: a big-endian header, the window name, a colour
// map, then 32-bit pixels) as RGB.
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
      std::uint32_t v = 0;
      for (int k = 0; k < 4; ++k) v |= std::uint32_t(p[byteOrder == 0 ? k : 3 - k]) << (8 * k);
      for (std::uint32_t m : {rmask, gmask, bmask}) img.pixels.push_back((unsigned char)((v & m) >> shift(m)));
    }
  return true;
}

RgbImage photo(const std::string& id) {
  RgbImage img;
  EXPECT_TRUE(read_xwd(run("xwd -silent -id " + id + " -out /dev/stdout 2>/dev/null").output, img)) << id;
  return img;
}

long differing(const RgbImage& a, const RgbImage& b) {
  if (a.width != b.width || a.height != b.height) return long(a.pixels.size() + b.pixels.size());
  long n = 0;
  for (size_t i = 0; i < a.pixels.size(); i += 3)
    n += a.pixels[i] != b.pixels[i] || a.pixels[i + 1] != b.pixels[i + 1] || a.pixels[i + 2] != b.pixels[i + 2];
  return n;
}

// The program in the background, ended at the end of the case.
struct Running {
  int pid = 0;
  std::string log;
  Running(const std::string& args, const std::string& logName) : log(logName) {
    pid = std::atoi(run(std::string(ORRERY_EXE) + " " + args + " > " + log + " 2>&1 & echo $!").output.c_str());
  }
  bool waitFor(const std::string& text) const {
    for (int i = 0; i < 200; ++i) {
      if (testutil::read_file(log).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  ~Running() {
    if (pid <= 0) return;
    const std::string p = std::to_string(pid);
    run("kill " + p + "; for i in $(seq 100); do kill -0 " + p + " 2>/dev/null || break; sleep 0.1; done; kill -9 " +
        p +
        " 2>/dev/null; for i in $(seq 100); do xdotool search --onlyvisible --name '^(GlutViewer|Spectrum)' "
        ">/dev/null 2>&1 || break; sleep 0.1; done");
  }
};

std::string window_id(const std::string& title) {
  const auto r = run("timeout 60 xdotool search --sync --onlyvisible --name '^" + title + "$' | head -1");
  return r.output.substr(0, r.output.find('\n'));
}

// Keys to the window, the pointer over it first (no window manager: the
// keyboard follows the pointer).
void keys(const std::string& id, const std::string& list) {
  run("xdotool mousemove --window " + id + " 40 60 key --delay 60 " + list);
}

// Saves scene 0 from a run of args after keys, and returns its text; view
// is the main window as it was on the screen when saved.
std::string saved_scene(const TempDir& dir, const std::string& args, const std::string& list, const char* log,
                        RgbImage* view = nullptr) {
  Running app(args, dir.file(log));
  const std::string main = window_id("GlutViewer");
  EXPECT_FALSE(main.empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  if (!list.empty()) keys(main, list);
  keys(main, "s");
  EXPECT_TRUE(app.waitFor("] saved")) << testutil::read_file(app.log);
  if (view) {
    // Settled: two photographs alike.
    RgbImage last;
    *view = photo(main);
    for (int i = 0; i < 20 && last.pixels != view->pixels; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      last = *view;
      *view = photo(main);
    }
  }
  return testutil::read_file(dir.file("scene.000.txt"));
}

// The last record of a scene text (from its tag on).
std::string clip_record(const std::string& text) {
  const size_t at = text.rfind("clip ");
  return at == std::string::npos ? "" : text.substr(at);
}

}  // namespace

TEST(ClipWindow, a_clip_plane_scene_reopens_to_the_same_picture_and_saves_to_the_same_file) {
  if (!has_display()) GTEST_SKIP() << "no X display";
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 24 20 16 --bumps 4 --out " + dir.file("v.raw")).status, 0);
  const std::string args = "--data " + dir.file("v.raw") + " --dim 24 20 16 --ct " + dir.file("v.ct.ply") + " --ctl " +
                           dir.file("v.ctl.ply") + " --scene " + dir.file("scene.%03d.txt");
  ASSERT_EQ(run_orrery(args + " --batch").status, 0);

  // x puts the plane in, facing the viewer; X and Y turn it, > moves it.
  RgbImage shown;
  const std::string first = saved_scene(dir, args, "x X Y greater greater", "log1", &shown);
  const std::string record = clip_record(first);
  ASSERT_EQ(record.rfind("clip 1 ", 0), 0u) << first;
  EXPECT_EQ(std::count(record.begin(), record.end(), ' '), 6) << record;

  const auto a = run_orrery(args + " --openscene --snapshot " + dir.file("a"));
  ASSERT_EQ(a.status, 0) << a.output;
  const RgbImage cut = load(dir.file("a/GlutViewer.png"));
  EXPECT_GT(count_pixels(cut, outline), 100) << "the plane's outline";
  EXPECT_GT(count_pixels(cut, label), 20) << "the axis labels";
  // The view saved is the view reopened, to the pixel: every number of the
  // scene reads back as it was.
  EXPECT_EQ(differing(shown, cut), 0);

  // The same scene as written before the clip plane: no cut, no outline,
  // and a different picture.
  testutil::write_text(dir.file("scene.000.txt"), first.substr(0, first.rfind("clip ")));
  const auto old = run_orrery(args + " --openscene --snapshot " + dir.file("old"));
  ASSERT_EQ(old.status, 0) << old.output;
  EXPECT_NE(old.output.find("] opened"), std::string::npos) << old.output;
  const RgbImage whole = load(dir.file("old/GlutViewer.png"));
  EXPECT_EQ(count_pixels(whole, outline), 0);
  EXPECT_NE(whole.pixels, cut.pixels);

  // Reopened and saved again: the same text (window positions aside, kept
  // 10 pixels up for a title bar), and the same picture to the pixel.
  testutil::write_text(dir.file("scene.000.txt"), first);
  const std::string second = saved_scene(dir, args + " --openscene", "", "log2");
  EXPECT_EQ(clip_record(second), record);
  auto without_geometry = [](const std::string& text) {
    std::string out, line;
    std::istringstream in(text);
    while (std::getline(in, line))
      if (line.rfind("1600 1200 ", 0) != 0) out += line + "\n";
    return out;
  };
  EXPECT_EQ(without_geometry(second), without_geometry(first));
  const auto b = run_orrery(args + " --openscene --snapshot " + dir.file("b"));
  ASSERT_EQ(b.status, 0) << b.output;
  const RgbImage again = load(dir.file("b/GlutViewer.png"));
  ASSERT_EQ(again.width, cut.width);
  ASSERT_EQ(again.height, cut.height);
  long differing = 0;
  for (size_t i = 0; i < cut.pixels.size(); ++i) differing += cut.pixels[i] != again.pixels[i];
  EXPECT_EQ(differing, 0);
}
