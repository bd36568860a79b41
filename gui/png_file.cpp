#include "gui/png_file.h"

#include "core/whole_file.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace ctree {

bool write_png(const std::string& name, const RgbImage& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0 || image.pixels.size() != 3 * size_t(image.width) * size_t(image.height)) {
    error = name + ": picture has no pixels or a wrong pixel count";
    return false;
  }
  WholeFile file;
  std::string reason = "write error";
  if (!file.open(name, reason)) {
    error = "cannot write " + name + ": " + reason;
    return false;
  }
  FILE* f = file.stream();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  volatile bool ok = f && png && info;
  if (ok && setjmp(png_jmpbuf(png))) {
    ok = false;
  } else if (ok) {
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) png_write_row(png, image.at(0, y));
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (ok && !file.commit(reason)) ok = false;
  if (!ok) {
    file.abandon();
    error = "cannot write " + name + ": " + reason;
  }
  return ok;
}

bool read_png(const std::string& name, RgbImage& image, std::string& error) {
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) {
    error = "cannot open " + name;
    return false;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  volatile bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) {
    ok = false;
  } else if (ok) {
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    image.width = int(png_get_image_width(png, info));
    image.height = int(png_get_image_height(png, info));
    image.pixels.assign(3 * size_t(image.width) * size_t(image.height), 0);
    for (int y = 0; y < image.height; ++y)
      png_read_row(png, image.pixels.data() + 3 * size_t(y) * size_t(image.width), nullptr);
  }
  png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
  std::fclose(f);
  if (!ok) error = name + ": not a readable PNG file";
  return ok;
}

}  // namespace ctree
