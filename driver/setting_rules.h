// The range and default of every setting a user, an application or a label
// file can change, in one table: the job header, the label file's missing
// keys, the interface DLL's clamps and checks and the property pages all
// read it, so a range is changed here and nowhere else. Where the two
// models differ the row takes the value from the model's profile.
#pragma once

#include <windows.h>

#include "model_profile.h"
#include "tables.h"

namespace driver {

struct SettingRule {
  const char* jobKey;  // the job header's keyword, or null when the header does not carry it
  LONG low;
  LONG high;
  LONG fallback;  // the default, and what replaces a value outside low..high

  constexpr bool admits(LONG v) const { return v >= low && v <= high; }
  constexpr LONG orFallback(LONG v) const { return admits(v) ? v : fallback; }
};

// Number of named entries of a display-name list of the profile.
template <int N>
constexpr LONG namedCount(const WCHAR* const (&names)[N]) {
  LONG n = 0;
  while (n < N && names[n]) ++n;
  return n;
}

struct SettingRules {
  // Lengths in 0.1 mm. The job header holds a longer or wider label to
  // `high`; labels shorter than `low` are refused where a user types them.
  SettingRule labelWidth;
  SettingRule labelHeight;
  // The label definition's values.
  SettingRule labelGap;
  SettingRule density;
  SettingRule stopPosition;
  SettingRule cutInterval;  // out of range the header sends 0: no cut interval
  SettingRule printMode;
  SettingRule labelType;
  SettingRule autoMargin;
  // The device mode's private settings.
  SettingRule offsetX;
  SettingRule offsetY;
  SettingRule copies;
  SettingRule speed;
  SettingRule printMethod;
  SettingRule direction;
  SettingRule graphicsMode;
  SettingRule orientation;
  SettingRule colorMode;
  SettingRule resolutionIndex;  // the model has one resolution
  SettingRule ditherPattern;
  SettingRule halftonePattern;
  SettingRule landscapeRotation;
};

inline constexpr SettingRules kRules{
    .labelWidth = {"PW", 100, kModel.jobWidthLimit, kModel.defaultLabelWidth},
    .labelHeight = {"PH", 100, kLongLabelLimit, kModel.defaultLabelHeight},
    .labelGap = {"PG", 0, 80, 20},
    .density = {"DK", 1, 16, 8},
    .stopPosition = {"PS", 0, kModel.stopPositionMax, kModel.defaultStopPosition},
    .cutInterval = {"CP", 1, 99, 0},
    .printMode = {"MD", 1, 4, 1},
    .labelType = {"MK", 1, namedCount(kModel.labelTypeNames), 2},
    .autoMargin = {nullptr, 0, 1, 1},
    .offsetX = {"XO", 0, 400, 0},
    .offsetY = {"YO", 0, 800, 0},
    .copies = {"QTY", 1, 9999, 1},
    .speed = {"SP", 1, namedCount(kModel.speedNames), kModel.defaultSpeed},
    .printMethod = {"TR", 1, namedCount(kModel.printMethodNames), kModel.defaultPrintMethod},
    .direction = {"DR", 0, 1, 1},
    .graphicsMode = {"GM", 0, 1, 1},
    .orientation = {nullptr, DMORIENT_PORTRAIT, DMORIENT_LANDSCAPE, DMORIENT_PORTRAIT},
    .colorMode = {nullptr, 0, 1, 0},
    .resolutionIndex = {nullptr, 0, 0, 0},
    .ditherPattern = {nullptr, 0, kThresholdPatternCount - 1, 1},
    .halftonePattern = {nullptr, 0, kThresholdPatternCount - 1, 1},
    .landscapeRotation = {nullptr, 0, 1, 0},
};

}  // namespace driver
