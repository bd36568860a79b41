#pragma once
// 8-bit RGB pictures as PNG files (libpng). Rows are stored top row first.

#include <string>
#include <vector>

namespace ctree {

struct RgbImage {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;  // 3 bytes per pixel, top row first
  const unsigned char* at(int x, int y) const { return &pixels[3 * (size_t(y) * size_t(width) + size_t(x))]; }
};

// Writes through a temporary file beside name, renamed when complete; false
// with a message naming the file.
bool write_png(const std::string& name, const RgbImage& image, std::string& error);
// Reads any 8-bit PNG as RGB (alpha dropped, grey expanded).
bool read_png(const std::string& name, RgbImage& image, std::string& error);

}  // namespace ctree
