// Every value in which the two models differ: both profiles, for programs
// that serve both models; a driver build takes one through model_profile.h.
#pragma once

#include <windows.h>
#include <wtext.h>

#include "jobstream.h"
#include "label_record.h"

namespace driver {

// The model's single resolution entry.
struct ResolutionEntry {
  const WCHAR* name;
  LONG dpiX;
  LONG dpiY;
  LONG diagonal;  // truncated square root of dpiX^2 + dpiY^2
  LONG stringId;
};

// The two printer models; every driver build is for one of them.
enum class ModelId {
  ModelA,  // TR7208, 203 dpi, 20 user label slots
  ModelB,  // KV830, 300 dpi, built-in labels only
};

struct ModelProfile {
  ModelId model;
  const char* modelName;  // "TR7208" / "KV830"
  WORD signature;         // PrinterDevice signature of this build
  const WCHAR* labelFileName;
  ResolutionEntry resolution;
  LabelRecord builtinLabels[2];   // labels 256 and 257, in table order
  LONG firstUserSlot;             // first user label index (301)
  LONG userSlotCount;             // user slots read into the label list
  // Defaults for missing LabelWidth / LabelHeight / StopPosition keys, and
  // the fallback size of a label that has no definition.
  LONG defaultLabelWidth;
  LONG defaultLabelHeight;
  LONG defaultStopPosition;
  LONG defaultSpeed;
  LONG defaultPrintMethod;
  // 0.1 mm to dots: ((v / 10) * factor) / 10.
  LONG widthDotFactor;
  LONG lengthDotFactor;
  // Job header limits.
  LONG jobWidthLimit;  // PW before conversion
  LONG stopPositionMax;
  bool sendsOffsets;  // XO / YO keywords
  // Display names carried in the model data (index = code - 1).
  const WCHAR* speedNames[4];
  const WCHAR* labelTypeNames[3];
  const WCHAR* printMethodNames[2];
};

// Values shared by both models.
inline constexpr LONG kBandBudgetBytes = 16 * 1024 * 1024;  // band estimate budget
inline constexpr LONG kMaxBands = 128;
inline constexpr LONG kPrintableWidthLimit = 1040;  // 104.0 mm, margin rules
inline constexpr LONG kLongLabelLimit = 4000;       // 400.0 mm, margin rules
inline constexpr LONG kCustomLabelIndex = 256;

#include "profile_tr7208.h"
#include "profile_kv830.h"

// The DEF line's rules of a model.
inline constexpr DefRules defRulesOf(const ModelProfile& m) {
  return DefRules{static_cast<int>(m.widthDotFactor),      static_cast<int>(m.lengthDotFactor),
                  static_cast<int>(m.jobWidthLimit),       static_cast<int>(m.stopPositionMax),
                  static_cast<int>(m.defaultStopPosition), m.sendsOffsets};
}

}  // namespace driver
