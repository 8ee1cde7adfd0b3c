// The range and default of every setting a user, an application or a label
// file can change, in one table: the job header, the label file's missing
// keys, the built-in labels, the interface DLL's clamps and checks, the
// property pages and the printer application all read it, so a range is
// changed here and nowhere else. Where the two models differ the row takes
// the value from the model's profile.
#pragma once

#include <windows.h>

namespace driver {

struct SettingRule {
  const char* jobKey;  // the job header's keyword, or null when the header does not carry it
  LONG low;
  LONG high;
  LONG fallback;  // the default, and what replaces a value outside low..high

  constexpr bool admits(LONG v) const { return v >= low && v <= high; }
  constexpr LONG orFallback(LONG v) const { return admits(v) ? v : fallback; }
};

// Number of named entries of a display-name list of a profile.
template <int N>
constexpr LONG namedCount(const WCHAR* const (&names)[N]) {
  LONG n = 0;
  while (n < N && names[n]) ++n;
  return n;
}

// The rows both models share. Lengths in 0.1 mm.
inline constexpr LONG kMinLabelExtent = 100;  // shortest label a user may type
inline constexpr LONG kMaxLabelLength = 4000;  // the job header holds longer labels to 400.0 mm
inline constexpr SettingRule kLabelGapRule{"PG", 0, 80, 20};
inline constexpr SettingRule kDensityRule{"DK", 1, 16, 8};
inline constexpr SettingRule kCutIntervalRule{"CP", 1, 99, 0};  // out of range the header sends 0: no interval
inline constexpr SettingRule kPrintModeRule{"MD", 1, 4, 1};
inline constexpr SettingRule kLabelTypeRule{"MK", 1, 3, 2};
inline constexpr SettingRule kAutoMarginRule{nullptr, 0, 1, 1};

struct SettingRules {
  // The label definition's values.
  SettingRule labelWidth;  // the job header holds a wider label to `high`
  SettingRule labelHeight;
  SettingRule labelGap;
  SettingRule density;
  SettingRule stopPosition;
  SettingRule cutInterval;
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
  SettingRule ditherPattern;    // one of the four threshold patterns
  SettingRule halftonePattern;
  SettingRule landscapeRotation;
};

// The table of a model. A template over the profile so that the profiles,
// which this header comes before, can take the shared rows' defaults.
template <class Profile>
constexpr SettingRules settingRulesOf(const Profile& m) {
  return SettingRules{
      .labelWidth = {"PW", kMinLabelExtent, m.jobWidthLimit, m.defaultLabelWidth},
      .labelHeight = {"PH", kMinLabelExtent, kMaxLabelLength, m.defaultLabelHeight},
      .labelGap = kLabelGapRule,
      .density = kDensityRule,
      .stopPosition = {"PS", 0, m.stopPositionMax, m.defaultStopPosition},
      .cutInterval = kCutIntervalRule,
      .printMode = kPrintModeRule,
      .labelType = kLabelTypeRule,
      .autoMargin = kAutoMarginRule,
      .offsetX = {"XO", 0, 400, 0},
      .offsetY = {"YO", 0, 800, 0},
      .copies = {"QTY", 1, 9999, 1},
      .speed = {"SP", 1, namedCount(m.speedNames), m.defaultSpeed},
      .printMethod = {"TR", 1, namedCount(m.printMethodNames), m.defaultPrintMethod},
      .direction = {"DR", 0, 1, 1},
      .graphicsMode = {"GM", 0, 1, 1},
      .orientation = {nullptr, DMORIENT_PORTRAIT, DMORIENT_LANDSCAPE, DMORIENT_PORTRAIT},
      .colorMode = {nullptr, 0, 1, 0},
      .resolutionIndex = {nullptr, 0, 0, 0},
      .ditherPattern = {nullptr, 0, 3, 1},
      .halftonePattern = {nullptr, 0, 3, 1},
      .landscapeRotation = {nullptr, 0, 1, 0},
  };
}

}  // namespace driver
