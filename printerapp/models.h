// The two printer models as the printer application offers them: the
// driver names, sizes and ranges, all taken from the driver's model
// profiles.
#pragma once

#include <string>
#include <vector>

#include "label_job.h"
#include "model_profiles.h"

namespace printerapp {

// One label size offered as a PWG media name.
struct MediaEntry {
  std::string pwgName;
  LabelSpec label;  // the label's values, sizes in tenths of a millimetre
};

struct ModelInfo {
  const driver::ModelProfile* profile;
  const char* driverName;    // PAPPL driver name
  const char* description;   // "Varodyn TR7208 (203 dpi)"
  std::vector<MediaEntry> media;  // built-in labels, then common sizes
  std::string customMin;     // roll_min_...
  std::string customMax;     // roll_max_...: the model's width limit, 400 mm
};

const std::vector<ModelInfo>& models();
// The model of a PAPPL driver name; null for none.
const ModelInfo* modelByDriver(const std::string& driverName);

// The strings an IEEE 1284 device id of each model holds (MDL field),
// the one place they are kept: the printers' real ids are not known, so
// the match is on the model name.
const ModelInfo* modelOfDeviceId(const std::string& deviceId);

// The label for a media size (hundredths of a millimetre, as IPP gives
// it): the built-in label of that size, else a label of the model's
// default values with that size.
LabelSpec labelForSize(const ModelInfo& model, int widthHundredths, int lengthHundredths);

// print-darkness (-100..100, added to the configured darkness 0..100)
// onto DEF DK 1..16.
int densityOf(int configuredDarkness, int jobDarkness);
// The configured darkness that gives DK `density`.
int darknessOfDensity(int density);

// IPP media-type of a label type (1 mark, 2 gap, 3 continuous) and back
// (0 for an unknown name).
const char* mediaTypeOf(int labelType);
int labelTypeOf(const std::string& mediaType);

}  // namespace printerapp
