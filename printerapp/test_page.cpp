#include "test_page.h"

#include <png.h>
#include <zint.h>

#include <cctype>
#include <cstdio>
#include <memory>

namespace printerapp {

namespace {

using labelprint::GreyImage;

// A 5 x 7 dot font of the characters the label's text uses; seven rows per
// glyph, the leftmost dot in bit 4.
struct Glyph {
  char c;
  uint8_t rows[7];
};
const Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},                      {'.', {0, 0, 0, 0, 0, 0x0C, 0x0C}},
    {':', {0, 0x0C, 0x0C, 0, 0x0C, 0x0C, 0}},          {'-', {0, 0, 0, 0x1F, 0, 0, 0}},
    {'/', {0, 0x01, 0x02, 0x04, 0x08, 0x10, 0}},       {'_', {0, 0, 0, 0, 0, 0, 0x1F}},
};
const Glyph kUnknown = {'?', {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F}};

const Glyph& glyphOf(char c) {
  c = char(std::toupper(static_cast<unsigned char>(c)));
  for (const Glyph& g : kFont)
    if (g.c == c) return g;
  return kUnknown;
}

void dot(GreyImage& image, int x, int y) {
  if (x >= 0 && y >= 0 && x < image.width && y < image.height) image.pixels[size_t(y) * image.width + x] = 0;
}

void block(GreyImage& image, int x, int y, int w, int h) {
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) dot(image, x + i, y + j);
}

// Text from (x, y), each font dot `scale` dots square; returns its height.
int drawText(GreyImage& image, int x, int y, int scale, const std::string& text) {
  for (char c : text) {
    const Glyph& g = glyphOf(c);
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (g.rows[row] & (0x10 >> col)) block(image, x + col * scale, y + row * scale, scale, scale);
    x += 6 * scale;
  }
  return 7 * scale;
}

// A barcode drawn from zint's bitmap at (x, y); *width / *height get its size.
bool drawBarcode(GreyImage& image, int symbology, const std::string& data, int module, float heightModules, int x,
                 int y, int* width, int* height, std::string* error) {
  std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(), ZBarcode_Delete);
  if (!symbol) {
    *error = "out of memory";
    return false;
  }
  symbol->symbology = symbology;
  symbol->show_hrt = 0;
  symbol->scale = float(module) / 2.0f;  // the bitmap's module is 2 x scale pixels
  if (heightModules > 0) symbol->height = heightModules;
  const int status = ZBarcode_Encode_and_Buffer(symbol.get(), reinterpret_cast<const unsigned char*>(data.data()),
                                                int(data.size()), 0);
  if (status >= ZINT_ERROR) {
    *error = symbol->errtxt;
    return false;
  }
  const unsigned char* bitmap = symbol->bitmap;
  for (int j = 0; j < symbol->bitmap_height; ++j)
    for (int i = 0; i < symbol->bitmap_width; ++i)
      if (bitmap[(size_t(j) * symbol->bitmap_width + i) * 3] < 128) dot(image, x + i, y + j);
  *width = symbol->bitmap_width;
  *height = symbol->bitmap_height;
  return true;
}

std::string millimetres(int tenths) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d", tenths / 10, tenths % 10);
  return text;
}

}  // namespace

bool drawTestLabel(const TestLabelInfo& info, GreyImage* out, std::string* error) {
  const int mm = (info.dpiX * 10 + 127) / 254;  // dots in one millimetre across
  if (info.widthDots < 10 * mm || info.heightDots < 10 * mm) {
    *error = "the label is too small for the test label";
    return false;
  }
  GreyImage image;
  image.width = info.widthDots;
  image.height = info.heightDots;
  image.pixels.assign(size_t(image.width) * image.height, 255);

  // The edges: a 1-dot frame, with 1-dot ticks every millimetre, longer
  // every fifth, pointing inwards from each side.
  block(image, 0, 0, image.width, 1);
  block(image, 0, image.height - 1, image.width, 1);
  block(image, 0, 0, 1, image.height);
  block(image, image.width - 1, 0, 1, image.height);
  for (int k = 1;; ++k) {
    const int x = int((long long)k * info.dpiX * 10 / 254);
    if (x >= image.width) break;
    const int length = k % 5 ? mm / 2 : mm + mm / 2;
    block(image, x, 0, 1, length);
    block(image, x, image.height - length, 1, length);
  }
  for (int k = 1;; ++k) {
    const int y = int((long long)k * info.dpiY * 10 / 254);
    if (y >= image.height) break;
    const int length = k % 5 ? mm / 2 : mm + mm / 2;
    block(image, 0, y, length, 1);
    block(image, image.width - length, y, length, 1);
  }

  const int scale = info.dpiX >= 250 ? 3 : 2;  // text and barcode modules: 0.25 mm
  const int left = 3 * mm;
  int y = 3 * mm;
  const std::string lines[] = {
      info.model,
      std::to_string(info.dpiX) + " X " + std::to_string(info.dpiY) + " DPI",
      millimetres(info.widthTenthsMm) + " X " + millimetres(info.heightTenthsMm) + " MM",
  };
  for (const std::string& line : lines) y += drawText(image, left, y, scale, line) + 2 * scale;
  y += mm;
  int width = 0, height = 0;
  if (!drawBarcode(image, BARCODE_CODE128, info.printerName, scale, 40, left, y, &width, &height, error))
    return false;
  // The QR code beside the Code 128 when the label is wide enough, else
  // below it.
  int qrX = left + width + 3 * mm, qrY = y;
  if (qrX + 25 * scale > image.width) {
    qrX = left;
    qrY = y + height + 2 * mm;
  }
  if (!drawBarcode(image, BARCODE_QRCODE, info.printerName, scale, 0, qrX, qrY, &width, &height, error)) return false;
  *out = std::move(image);
  return true;
}

bool writeGreyPng(const std::string& path, const GreyImage& image, int dpiX, int dpiY, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot create " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    std::fclose(f);
    *error = "cannot write " + path;
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, png_uint_32(dpiX * 10000 / 254), png_uint_32(dpiY * 10000 / 254), PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, const_cast<png_bytep>(image.pixels.data() + size_t(y) * image.width));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  const bool closed = std::fclose(f) == 0;
  if (!closed) *error = "cannot write " + path;
  return closed;
}

}  // namespace printerapp
