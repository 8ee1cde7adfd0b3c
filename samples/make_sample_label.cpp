// Writes samples/sample-label.png: a label-like picture with a frame, a
// bar code, a filled circle, a checker field and a grey ramp, so every
// part of the print path (edges, fine lines, curves, grey) shows in a
// preview.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample_label OUT.png\n");
    return 2;
  }
  const int w = 880, h = 424;
  std::vector<unsigned char> px(size_t(w) * h, 255);
  auto set = [&](int x, int y, unsigned char v) {
    if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = v;
  };
  for (int t = 0; t < 6; ++t)  // frame
    for (int x = 0; x < w; ++x) set(x, t, 0), set(x, h - 1 - t, 0);
  for (int t = 0; t < 6; ++t)
    for (int y = 0; y < h; ++y) set(t, y, 0), set(w - 1 - t, y, 0);
  const int bars[] = {3, 1, 2, 1, 1, 3, 2, 2, 1, 1, 4, 1, 2, 3, 1, 1, 2, 1, 3, 2, 1, 2, 1, 1, 3, 1, 2, 2};
  int x = 40;
  for (size_t i = 0; i < sizeof bars / sizeof bars[0]; ++i) {  // bar code
    for (int k = 0; k < bars[i] * 4; ++k, ++x)
      if (i % 2 == 0)
        for (int y = 40; y < 260; ++y) set(x, y, 0);
  }
  for (int y = -90; y <= 90; ++y)  // circle
    for (int dx = -90; dx <= 90; ++dx)
      if (dx * dx + y * y <= 90 * 90) set(660 + dx, 150 + y, 0);
  for (int y = 40; y < 260; ++y)  // checker
    for (int cx = 0; cx < 120; ++cx) set(420 + cx, y, ((cx / 8 + y / 8) % 2) ? 0 : 255);
  for (int y = 300; y < 384; ++y)  // grey ramp
    for (int rx = 40; rx < 840; ++rx) set(rx, y, (unsigned char)((rx - 40) * 255 / 799));
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_GRAY;
  if (!png_image_write_to_file(&image, argv[1], 0, px.data(), w, nullptr)) {
    std::fprintf(stderr, "make_sample_label: %s\n", image.message);
    return 1;
  }
  return 0;
}
