// The application's test label: model, resolution and label size as text,
// a Code 128 and a QR code holding the printer's name, and a 1-dot frame
// with tick marks at the edges, so alignment and sharpness can be checked.
#pragma once

#include <string>

#include "image.h"

namespace printerapp {

struct TestLabelInfo {
  std::string printerName;
  std::string model;
  int dpiX = 203, dpiY = 203;
  int widthDots = 0, heightDots = 0;  // the label's printable page
  int widthTenthsMm = 0, heightTenthsMm = 0;
};

// Draws the label (0 black .. 255 white). False with a reason when a
// barcode cannot be made or the label is too small to hold anything.
bool drawTestLabel(const TestLabelInfo& info, labelprint::GreyImage* out, std::string* error);

// Writes a grey image as an 8-bit grey PNG that declares the given
// resolution. False with a reason.
bool writeGreyPng(const std::string& path, const labelprint::GreyImage& image, int dpiX, int dpiY,
                  std::string* error);

}  // namespace printerapp
