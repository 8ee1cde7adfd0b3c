// The ranges the printer interface DLL accepts for each setting it lets a
// user or an application change, taken from the model's tables.
#pragma once

#include <windows.h>

#include "model_profile.h"
#include "label_file.h"
#include "settings.h"
#include "tables.h"

namespace driver {

// Custom (label 256) size limits in 0.1 mm: the job header cuts wider
// labels to the model's width limit and longer ones to 400.0 mm.
inline constexpr LONG kMinLabelExtent = 100;
inline constexpr LONG kMaxLabelLength = 4000;
inline constexpr LONG kMaxLabelWidth = kModel.jobWidthLimit;
inline constexpr LONG kMaxCopies = 9999;
inline constexpr LONG kMaxGap = 80;
inline constexpr LONG kMaxDensity = 16;
inline constexpr LONG kMaxOffsetX = 400;
inline constexpr LONG kMaxOffsetY = 800;
inline constexpr int kPrintModeCount = 4;

// Number of named entries of a display-name list of the profile.
template <int N>
constexpr LONG namedCount(const WCHAR* const (&names)[N]) {
  LONG n = 0;
  while (n < N && names[n]) ++n;
  return n;
}
inline constexpr LONG kSpeedCount = namedCount(kModel.speedNames);
inline constexpr LONG kPrintMethodCount = namedCount(kModel.printMethodNames);

// One private setting with a closed range; values outside it are replaced
// by the fallback.
struct SettingRange {
  LONG PrivateSettings::* field;
  LONG min;
  LONG max;
  LONG fallback;
};
inline constexpr SettingRange kSettingRanges[] = {
    {&PrivateSettings::Orientation, DMORIENT_PORTRAIT, DMORIENT_LANDSCAPE, DMORIENT_PORTRAIT},
    {&PrivateSettings::Copies, 1, kMaxCopies, 1},
    {&PrivateSettings::CustomWidth, kMinLabelExtent, kMaxLabelWidth, kModel.defaultLabelWidth},
    {&PrivateSettings::CustomHeight, kMinLabelExtent, kMaxLabelLength, kModel.defaultLabelHeight},
    {&PrivateSettings::ColorMode, 0, 1, 0},
    {&PrivateSettings::ResolutionIndex, 0, 0, 0},
    {&PrivateSettings::DitherPattern, 0, kThresholdPatternCount - 1, 1},
    {&PrivateSettings::HalftonePattern, 0, kThresholdPatternCount - 1, 1},
    {&PrivateSettings::LandscapeRotation, 0, 1, 0},
    {&PrivateSettings::Speed, 1, kSpeedCount, kModel.defaultSpeed},
    {&PrivateSettings::OffsetX, 0, kMaxOffsetX, 0},
    {&PrivateSettings::OffsetY, 0, kMaxOffsetY, 0},
    {&PrivateSettings::Direction, 0, 1, 1},
    {&PrivateSettings::PrintMethod, 1, kPrintMethodCount, kModel.defaultPrintMethod},
    {&PrivateSettings::GraphicsMode, 0, 1, 1},
};

// Replaces every out-of-range private setting (including a label the list
// does not hold, an unknown media type or paper source) by its default, and
// rebuilds the public fields. The label list must be current.
void ClampSettings(DriverSettings* settings);

}  // namespace driver
