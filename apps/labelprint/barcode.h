// Barcodes for labelprint: libzint lays the symbol out, and each dark
// module becomes a whole number of dots, so the code stays sharp.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace labelprint {

// The dark areas of a `type` ("code128" or "qr") symbol for `data` with
// its top-left module at (x, y) dots: modules `module` dots wide (and tall,
// for two-dimensional codes), bars of linear codes `height` dots tall.
// Runs of dark modules on a row come as one rectangle. False with a
// one-line reason when the data cannot be encoded.
bool barcodeRects(const std::string& type, const std::string& data, LONG x, LONG y, LONG module, LONG height,
                  std::vector<RECTL>* rects, std::string* error);

}  // namespace labelprint
