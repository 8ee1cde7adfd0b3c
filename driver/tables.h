// Model tables shared by both builds: paper sources, media types,
// threshold patterns, feature options and the default colour data.
#pragma once

#include <windows.h>
#include <winddi.h>

#include "settings_records.h"

namespace driver {

struct PaperSourceEntry {
  const WCHAR* name;
  LONG id;
  LONG stringId;
};
struct MediaTypeEntry {
  const WCHAR* name;
  LONG id;
};
// Threshold pattern: kind 1 (one threshold), 2 (32 groups of 8 row bytes),
// 3 (8 x 8 matrix), 4 (16 x 16 matrix); data length follows from the kind.
struct ThresholdPattern {
  LONG kind;
  const BYTE* data;
  LONG stringId;
};

// Each table ends with an entry whose name (or kind) is empty.
extern const PaperSourceEntry kPaperSources[];
extern const MediaTypeEntry kMediaTypes[];
extern const ThresholdPattern kThresholdPatterns[];
// Whether the media-type / paper-source table holds the id.
bool mediaTypeKnown(LONG id);
bool paperSourceKnown(LONG id);
inline constexpr int kThresholdPatternCount = 4;
// Used when the settings name no pattern (ColorMode neither 0 nor 1).
extern const ThresholdPattern kDeviceDefaultPattern;
// Bytes of threshold data for a pattern kind (0 for unknown kinds).
int patternDataLength(LONG kind);
// Printable-range lookup of the threshold-pattern table: null when index is
// outside it.
const ThresholdPattern* thresholdPattern(LONG index);

// Feature option tables (identical in both models). Each feature is a part
// of the job the spooler's print processor may take over; its index into
// FeatureSelection and kFeatures:
enum Feature : int {
  kFeatureNup,        // pages per sheet
  kFeaturePageOrder,  // reverse order and booklet
  kFeatureCollate,
  kFeatureCopies,
  kFeatureCount
};
// The option value that leaves the feature to the print processor.
inline constexpr LONG kByPrintProcessor = 2;
struct FeatureOptions {
  LONG id;
  LONG values[2];
};
extern const FeatureOptions kFeatures[kFeatureCount];
// Option value selected for feature f; an index outside the option list
// selects the first option.
LONG featureValue(const DriverSettings& settings, Feature feature);

// Defaults.
extern const COLORADJUSTMENT kDefaultColorAdjust;
extern const COLORINFO kDefaultColorInfo;
// The same block with Cyan (2000, 2450, 0), used without a halftone pattern.
extern const COLORINFO kBuiltinColorInfo;

}  // namespace driver
