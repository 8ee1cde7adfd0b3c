// Prints a label through this build's driver on the simulated host, as an
// application would through GDI, and returns what the printer receives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"
#include "options.h"

namespace labelprint {

struct PrintResult {
  std::vector<uint8_t> bytes;  // everything WritePrinter delivered
  int pageWidth = 0;           // printable page in dots
  int pageHeight = 0;
  int dpi = 0;
  int bands = 0;
};

// Name of the model this build's driver serves ("TR7208" or "KV830").
const char* driverModel();

// Dots for a length in millimetres at `dpi`, rounded to the nearest dot.
long dotsOf(double millimetres, int dpi);

// Sets up a queue with the options' settings (and label file), creates the
// device context, sets the copy count with the SETCOPYCOUNT escape, draws
// one page (the image, if any, stretched into its box by DrvStretchBlt,
// then the options' items: text by DrvTextOut, barcodes, boxes and lines
// by pattern fills) and ends the document. False with a one-line reason in
// *error when a setting or item is not valid for the model or the driver
// refuses a step.
bool printLabel(const Options& options, const GreyImage* image, PrintResult* result, std::string* error);

}  // namespace labelprint
