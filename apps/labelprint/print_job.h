// Prints an image through this build's driver on the simulated host, as an
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
  int bands = 0;
};

// Name of the model this build's driver serves ("TR7208" or "KV830").
const char* driverModel();

// Sets up a queue with the options' settings (and label file), enables
// the driver's device and surface, prints one page holding `image` fitted
// to the printable area, and ends the document. False with a one-line
// reason in *error when a setting is not valid for the model or the driver
// refuses a step.
bool printImage(const Options& options, const GreyImage& image, PrintResult* result, std::string* error);

}  // namespace labelprint
