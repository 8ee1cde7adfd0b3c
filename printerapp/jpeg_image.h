// Reading JPEG files as grey images.
#pragma once

#include <string>

#include "image_page.h"

namespace printerapp {

// Reads a baseline or progressive JPEG as 8-bit grey. False with a
// one-line reason in *error for a missing, unreadable or empty file, or
// one larger than `maxPixels`.
bool readJpeg(const std::string& path, GreyImage* image, std::string* error, size_t maxPixels);

}  // namespace printerapp
