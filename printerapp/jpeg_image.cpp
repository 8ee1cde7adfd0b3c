// JPEG decoding with libjpeg; its errors end the read instead of the process.
#include "jpeg_image.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace printerapp {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf fail;
  char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
  auto* e = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, e->message);
  std::longjmp(e->fail, 1);
}

}  // namespace

bool readJpeg(const std::string& path, GreyImage* image, std::string* error, size_t maxPixels) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = "cannot open " + path;
    return false;
  }
  jpeg_decompress_struct info{};
  ErrorManager e{};
  info.err = jpeg_std_error(&e.base);
  e.base.error_exit = onError;
  // Everything the jump can skip lives outside this frame's locals.
  if (setjmp(e.fail)) {
    *error = e.message;
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, f);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  const size_t pixels = size_t(info.output_width) * size_t(info.output_height);
  if (pixels == 0 || pixels > maxPixels) {
    *error = "the image is " + std::to_string(info.output_width) + "x" + std::to_string(info.output_height) +
             " pixels, more than a label can take";
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return false;
  }
  image->width = static_cast<int>(info.output_width);
  image->height = static_cast<int>(info.output_height);
  image->pixels.assign(pixels, 255);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image->pixels.data() + size_t(info.output_scanline) * info.output_width;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(f);
  return true;
}

}  // namespace printerapp
