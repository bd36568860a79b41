// PNG pictures: a round trip of every pixel, refusals, no half-written file.
#include <gtest/gtest.h>

#include "gui/png_file.h"
#include "test_util.h"

using namespace ctree;

TEST(PngFile, every_pixel_round_trips_and_bad_files_are_refused) {
  testutil::TempDir dir;
  RgbImage img;
  img.width = 37, img.height = 5;  // odd row length: no padding assumptions
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      img.pixels.push_back((unsigned char)(x * 7));
      img.pixels.push_back((unsigned char)(y * 50));
      img.pixels.push_back((unsigned char)(x ^ y));
    }
  std::string error;
  const std::string name = dir.path() + "/a.png";
  ASSERT_TRUE(write_png(name, img, error)) << error;
  const std::string bytes = testutil::read_file(name);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
  RgbImage back;
  ASSERT_TRUE(read_png(name, back, error)) << error;
  EXPECT_EQ(back.width, 37);
  EXPECT_EQ(back.height, 5);
  EXPECT_EQ(back.pixels, img.pixels);
  EXPECT_EQ(back.at(3, 2)[0], 21);
  EXPECT_EQ(back.at(3, 2)[1], 100);

  testutil::write_text(dir.path() + "/junk.png", "not a picture");
  EXPECT_FALSE(read_png(dir.path() + "/junk.png", back, error));
  EXPECT_NE(error.find("junk.png"), std::string::npos);
  EXPECT_FALSE(read_png(dir.path() + "/none.png", back, error));
  EXPECT_FALSE(write_png(dir.path() + "/no/such/folder.png", img, error));
  EXPECT_NE(error.find("folder.png"), std::string::npos);
  img.pixels.pop_back();
  EXPECT_FALSE(write_png(dir.path() + "/short.png", img, error));
}
