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

FitRect fitInside(int imageWidth, int imageHeight, int width, int height) {
  if (imageWidth <= 0 || imageHeight <= 0 || width <= 0 || height <= 0) return FitRect{};
  // Scale = min(width / iw, height / ih), kept as a fraction num / den.
  long long num = width, den = imageWidth;
  if (static_cast<long long>(height) * imageWidth < static_cast<long long>(width) * imageHeight) {
    num = height;
    den = imageHeight;
  }
  const int w = std::max(1, int(imageWidth * num / den));
  const int h = std::max(1, int(imageHeight * num / den));
  return FitRect{(width - w) / 2, (height - h) / 2, w, h};
}

}  // namespace labelprint
