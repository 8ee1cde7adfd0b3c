// PNG reading through libpng and box-filtered scaling onto the page.
#include "image.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace labelprint {

bool readPng(const std::string& path, GreyImage* image, std::string* error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    *error = "cannot read image '" + path + "': " + png.message;
    return false;
  }
  png.format = PNG_FORMAT_GRAY;
  if (png.width == 0 || png.height == 0 || png.width > 20000 || png.height > 20000) {
    png_image_free(&png);
    *error = "image '" + path + "' has an unusable size";
    return false;
  }
  image->width = int(png.width);
  image->height = int(png.height);
  image->pixels.assign(PNG_IMAGE_SIZE(png), 255);
  png_color white{255, 255, 255};
  if (!png_image_finish_read(&png, &white, image->pixels.data(), 0, nullptr)) {
    *error = "cannot decode image '" + path + "': " + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

GreyImage fitToPage(const GreyImage& image, int width, int height) {
  GreyImage page;
  page.width = width;
  page.height = height;
  page.pixels.assign(size_t(width) * height, 255);
  if (image.width <= 0 || image.height <= 0 || width <= 0 || height <= 0) return page;
  // Scale = min(width / iw, height / ih), kept as a fraction num / den.
  long long num = width, den = image.width;
  if (static_cast<long long>(height) * image.width < static_cast<long long>(width) * image.height) {
    num = height;
    den = image.height;
  }
  const int w = std::max(1, int(image.width * num / den));
  const int h = std::max(1, int(image.height * num / den));
  const int left = (width - w) / 2, top = (height - h) / 2;
  for (int y = 0; y < h; ++y) {
    int sy0 = int(static_cast<long long>(y) * image.height / h);
    int sy1 = std::max(sy0 + 1, int(static_cast<long long>(y + 1) * image.height / h));
    for (int x = 0; x < w; ++x) {
      int sx0 = int(static_cast<long long>(x) * image.width / w);
      int sx1 = std::max(sx0 + 1, int(static_cast<long long>(x + 1) * image.width / w));
      unsigned long sum = 0;
      for (int sy = sy0; sy < sy1; ++sy)
        for (int sx = sx0; sx < sx1; ++sx) sum += image.at(sx, sy);
      page.pixels[size_t(top + y) * width + left + x] = uint8_t(sum / (unsigned long)((sy1 - sy0) * (sx1 - sx0)));
    }
  }
  return page;
}

}  // namespace labelprint
