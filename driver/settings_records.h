// Settings records with fixed layouts: the private part of the device mode,
// the printer data block and the device's effective settings. They are
// stored and travel with jobs, so their layouts never change.
#pragma once

#include <cstddef>

#include <windows.h>
#include <winddi.h>

namespace driver {

// The driver's private part of the device mode (dmDriverExtra bytes).
struct PrivateSettings {
  LONG LabelIndex;
  LONG MediaType;
  LONG PaperSource;
  LONG Orientation;
  LONG Copies;
  LONG PagesPerSheet;
  LONG Reserved24;
  LONG ReverseOrder;
  LONG Booklet;
  LONG Reserved36;
  LONG CustomWidth;
  LONG CustomHeight;
  LONG ColorMode;
  LONG ResolutionIndex;
  LONG DitherPattern;
  LONG HalftonePattern;
  COLORADJUSTMENT ColorAdjust;
  LONG LandscapeRotation;
  LONG DriverSolidFill;
  LONG ColorVariant;
  LONG TrackDrawnRegion;
  LONG Speed;
  LONG OffsetX;
  LONG OffsetY;
  LONG Direction;
  LONG Reserved120;
  LONG Reserved124;
  LONG PrintMethod;
  LONG GraphicsMode;
  SHORT Reserved136;
  BYTE Padding138[2];
};

// Stored as the printer data value "Private DevMode" (REG_BINARY).
struct PrinterDataBlock {
  LONG HalftoneFlags;
  LONG HalftonePatternSize;
  LONG DevicePelsDpi;
  COLORINFO ColorInfo;
  LONG Reserved132;
  LONG FeatureSelection[4];
};

// The device's effective settings. The first kStoredDevModeBytes travel
// with jobs; the PrinterDataBlock is stored separately.
struct DriverSettings {
  DEVMODEW Public;
  PrivateSettings Private;
  DWORD SettingsSignature;
  PrinterDataBlock PrinterData;
};

inline constexpr DWORD kSettingsSignature = 0x28116119;
inline constexpr WORD kDevModeSpecVersion = 0x0401;
inline constexpr WORD kDevModeDriverVersion = 0x0100;
inline constexpr WORD kDriverExtraBytes = sizeof(PrivateSettings) + sizeof(DWORD);
inline constexpr DWORD kStoredDevModeBytes = sizeof(DEVMODEW) + kDriverExtraBytes;
inline constexpr DWORD kPublicFieldsMask = 0x0200270F;

static_assert(sizeof(DEVMODEW) == 220, "DEVMODEW is 220 bytes");
static_assert(sizeof(COLORINFO) == 120 && sizeof(COLORADJUSTMENT) == 24, "settings building blocks");
static_assert(sizeof(PrivateSettings) == 140, "PrivateSettings is 140 bytes");
static_assert(offsetof(PrivateSettings, ColorAdjust) == 64 && offsetof(PrivateSettings, LandscapeRotation) == 88 &&
                  offsetof(PrivateSettings, Speed) == 104 && offsetof(PrivateSettings, GraphicsMode) == 132,
              "PrivateSettings field offsets");
static_assert(sizeof(PrinterDataBlock) == 152, "PrinterDataBlock is 152 bytes");
static_assert(offsetof(PrinterDataBlock, ColorInfo) == 12 && offsetof(PrinterDataBlock, FeatureSelection) == 136,
              "PrinterDataBlock field offsets");
static_assert(sizeof(DriverSettings) == 516, "DriverSettings is 516 bytes");
static_assert(offsetof(DriverSettings, Private) == 220 && offsetof(DriverSettings, SettingsSignature) == 360 &&
                  offsetof(DriverSettings, PrinterData) == 364,
              "DriverSettings field offsets");
static_assert(kStoredDevModeBytes == 364 && kDriverExtraBytes == 144, "stored device mode is 364 bytes");

}  // namespace driver
