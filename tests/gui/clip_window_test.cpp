// The clip plane and the axis labels in the main window, under the X server
// of the test run: keys put a plane into a saved scene, the scene's
// picture (--openscene --snapshot) shows the cut and its outline, and a
// scene saved again from the reopened one gives the same file and the same
// picture; a scene without the clip record is the uncut view.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "window_driver.h"

using namespace ctree;
using namespace windriver;
using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool outline(Rgb c) { return c.r > 235 && c.g > 95 && c.g < 135 && c.b < 30; }
bool label(Rgb c) { return std::abs(c.r - 41) < 12 && std::abs(c.g - 41) < 12 && std::abs(c.b - 110) < 14; }

// Keys to the window.
void keys(const std::string& id, const std::string& list) { xdo(id, "key --delay 60 " + list); }

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
  EXPECT_TRUE(app.waitFor("] saved", 20)) << app.output();
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
  const RgbImage cut = load_png(dir.file("a/GlutViewer.png"));
  EXPECT_GT(count_pixels(cut, outline), 100) << "the plane's outline";
  EXPECT_GT(count_pixels(cut, label), 20) << "the axis labels";
  // The view saved is the view reopened, to the pixel: every number of the
  // scene reads back as it was.
  EXPECT_EQ(differing_pixels(shown, cut, 0), 0);

  // The same scene as written before the clip plane: no cut, no outline,
  // and a different picture.
  testutil::write_text(dir.file("scene.000.txt"), first.substr(0, first.rfind("clip ")));
  const auto old = run_orrery(args + " --openscene --snapshot " + dir.file("old"));
  ASSERT_EQ(old.status, 0) << old.output;
  EXPECT_NE(old.output.find("] opened"), std::string::npos) << old.output;
  const RgbImage whole = load_png(dir.file("old/GlutViewer.png"));
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
  const RgbImage again = load_png(dir.file("b/GlutViewer.png"));
  ASSERT_EQ(again.width, cut.width);
  ASSERT_EQ(again.height, cut.height);
  long differing = 0;
  for (size_t i = 0; i < cut.pixels.size(); ++i) differing += cut.pixels[i] != again.pixels[i];
  EXPECT_EQ(differing, 0);
}
