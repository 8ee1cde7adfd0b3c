// The private settings the printer interface DLL checks, each against its
// rule in kRules.
#pragma once

#include <windows.h>

#include "label_file.h"
#include "model_profile.h"
#include "settings.h"
#include "tables.h"

namespace driver {

static_assert(kRules.ditherPattern.high == kThresholdPatternCount - 1 &&
                  kRules.halftonePattern.high == kThresholdPatternCount - 1,
              "a pattern setting selects one of the threshold patterns");

// The speeds the model names, codes 1..kSpeedCount.
inline constexpr LONG kSpeedCount = kRules.speed.high;

// One private setting and its rule; values outside the rule's range are
// replaced by its fallback.
struct SettingRange {
  LONG PrivateSettings::* field;
  const SettingRule& rule;
};
inline constexpr SettingRange kSettingRanges[] = {
    {&PrivateSettings::Orientation, kRules.orientation},
    {&PrivateSettings::Copies, kRules.copies},
    {&PrivateSettings::CustomWidth, kRules.labelWidth},
    {&PrivateSettings::CustomHeight, kRules.labelHeight},
    {&PrivateSettings::ColorMode, kRules.colorMode},
    {&PrivateSettings::ResolutionIndex, kRules.resolutionIndex},
    {&PrivateSettings::DitherPattern, kRules.ditherPattern},
    {&PrivateSettings::HalftonePattern, kRules.halftonePattern},
    {&PrivateSettings::LandscapeRotation, kRules.landscapeRotation},
    {&PrivateSettings::Speed, kRules.speed},
    {&PrivateSettings::OffsetX, kRules.offsetX},
    {&PrivateSettings::OffsetY, kRules.offsetY},
    {&PrivateSettings::Direction, kRules.direction},
    {&PrivateSettings::PrintMethod, kRules.printMethod},
    {&PrivateSettings::GraphicsMode, kRules.graphicsMode},
};

// Replaces every out-of-range private setting (including a label the list
// does not hold, an unknown media type or paper source) by its default, and
// rebuilds the public fields. The label list must be current.
void ClampSettings(DriverSettings* settings);

}  // namespace driver
