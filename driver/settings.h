// Driver settings records (device mode private part, printer data block),
// label definitions and the operations that assemble a device's settings.
#pragma once

#include <cstddef>

#include <windows.h>
#include <winddi.h>
#include <winspool.h>

// ---- records with fixed layouts (stored and exchanged; pointer-free) -----

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

// One section of the label-definition file.
inline constexpr int kLabelNameSlot = 34;  // code units including terminator
struct LabelDefinition {
  LONG LabelIndex;
  WCHAR LabelName[kLabelNameSlot];
  LONG LabelWidth;
  LONG LabelHeight;
  LONG LabelGap;
  LONG PrintMode;
  LONG StopPosition;
  LONG Density;
  LONG LabelType;
  LONG AutoMargin;
  LONG LeftMargin;
  LONG RightMargin;
  LONG TopMargin;
  LONG BottomMargin;
  LONG OffsetTearOff;
  LONG OffsetPeerOff;
  LONG OffsetCutter;
  LONG CutInterval;
};

// One entry of the process-wide label list; an empty name ends the list.
struct LabelListEntry {
  WCHAR name[kLabelNameSlot];
  LONG index;
  LONG width;
  LONG height;
};

inline constexpr DWORD kSettingsSignature = 0x28116119;
inline constexpr WORD kDevModeSpecVersion = 0x0401;
inline constexpr WORD kDevModeDriverVersion = 0x0100;
inline constexpr WORD kDriverExtraBytes = sizeof(PrivateSettings) + sizeof(DWORD);
inline constexpr DWORD kStoredDevModeBytes = sizeof(DEVMODEW) + kDriverExtraBytes;
inline constexpr DWORD kPublicFieldsMask = 0x0200270F;
inline constexpr int kLabelListCapacity = 22;  // entries before the end entry

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

// ---- model tables --------------------------------------------------------

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
bool MediaTypeKnown(LONG id);
bool PaperSourceKnown(LONG id);
inline constexpr int kThresholdPatternCount = 4;
// Used when the settings name no pattern (ColorMode neither 0 nor 1).
extern const ThresholdPattern kDeviceDefaultPattern;
// Bytes of threshold data for a pattern kind (0 for unknown kinds).
int patternDataLength(LONG kind);
// Printable-range lookup of the threshold-pattern table: null when index is
// outside it.
const ThresholdPattern* thresholdPattern(LONG index);

// Feature option tables (identical in both models).
inline constexpr int kFeatureCount = 4;
struct FeatureOptions {
  LONG id;
  LONG values[2];
};
extern const FeatureOptions kFeatures[kFeatureCount];
// Option value selected for feature f; an index outside the option list
// selects the first option.
LONG featureValue(const DriverSettings& settings, int feature);

// Defaults.
extern const COLORADJUSTMENT kDefaultColorAdjust;
extern const COLORINFO kDefaultColorInfo;
// The same block with Cyan (2000, 2450, 0), used without a halftone pattern.
extern const COLORINFO kBuiltinColorInfo;

// ---- label-definition file -----------------------------------------------

// Writes "<windows dir>\<model file name>" into buf (cch code units) and
// returns its length; 0 (buf empty) when the Windows directory is
// unavailable or the path does not fit.
int LabelFilePath(WCHAR* buf, int cch);
// True when index is 256, 257 or one of the model's user slots.
bool LabelIndexValid(LONG index);
// Reads LabelName of section index into name (kLabelNameSlot units, cut to
// fit); empty when missing.
void ReadLabelName(LONG index, WCHAR* name);
// Fills def from section index, missing keys taking the defaults. Returns 1
// when the label is defined (valid index and non-empty name), else 0.
int ReadLabelDefinition(LONG index, LabelDefinition* def);
// Writes all 18 keys of def in the file's key order. 0 when def's index is
// invalid for the model, else 1 (a missing file path skips the write).
int WriteLabelDefinition(const LabelDefinition& def);
// The record used when a label has no definition.
void DefaultLabelDefinition(LONG index, LabelDefinition* def);
// Writes every built-in label whose section has no name.
void SeedBuiltinLabels();
// Rebuilds the process-wide label list (seeding first).
void BuildLabelList();
// Position of index in the label list, or -1.
int FindLabel(LONG index);
// Copies the list entry of index; false when the list has none.
bool CopyLabel(LONG index, LabelListEntry* entry);
// Copies the label list as last built, with its end entry, into entries
// (kLabelListCapacity + 1 of them) and returns the number of labels.
int CopyLabelList(LabelListEntry* entries);
// The label list as last built (terminated by an entry with empty name),
// for inspection while no other device rebuilds it.
const LabelListEntry* LabelList();

// ---- derived values ------------------------------------------------------

struct LabelSize {
  LONG width;
  LONG height;
};
struct LabelMargins {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
LabelSize GetLabelSize(const DriverSettings& settings, LONG index);
LabelMargins GetLabelMargins(const DriverSettings& settings, LONG index);
// Whether a definition's margins are used for a label of `size`: none
// negative, the printable width within 104.0 mm and centred on wider
// labels, and some label left between them.
bool MarginsFit(LabelSize size, const LabelMargins& margins);

enum class Dimension { LabelWidth, Other };
// ((value / 10) * factor) / 10 with the model's factor for the dimension.
LONG DotsFromTenthsMm(LONG value, Dimension dimension);

// ---- settings assembly ---------------------------------------------------

void DefaultSettings(DriverSettings* settings, LPCWSTR printerName);
bool SettingsValid(const DriverSettings& settings, LPCWSTR printerName);
void BuildPublicFields(DriverSettings* settings, LPCWSTR printerName);
// Takes the acceptable public fields of dm (dmSize bytes at most, and never
// more than available bytes) into settings' private part.
void MergeApplicationFields(const DEVMODEW* dm, DWORD available, DriverSettings* settings, bool forceCopies);

// The queue's stored defaults (default device mode and "Private DevMode",
// when both are this driver's), else the built-in defaults with the
// signature set.
void LoadQueueSettings(DriverSettings* settings, HANDLE printer, LPCWSTR printerName);
// Takes an application's device mode (`available` bytes of it may be read)
// into settings: its private part when the record is this driver's, then
// its acceptable public fields; copies always when forceCopies is set.
void ApplyApplicationDevMode(DriverSettings* settings, const DEVMODEW* dm, DWORD available, LPCWSTR printerName,
                             bool forceCopies);

struct PrinterDevice;
// Builds the effective settings of a new device from the application's
// device mode (may be null; `available` is how many bytes of it may be
// read), the queue's stored defaults and the built-in defaults. 1, or 0
// when the working record cannot be allocated.
int LoadDeviceSettings(PrinterDevice* device, const DEVMODEW* dm, DWORD available, HANDLE printer,
                       LPCWSTR printerName);

// ---- spooler queries -----------------------------------------------------

enum class PrinterProperty { PrinterName, DefaultDevMode, PrintProcessor, Attributes, JobDocument };
// Copies the property into buffer (size bytes; strings are cut to the buffer
// and always terminated). jobId is used by JobDocument only. 1 on success;
// 0 with the buffer zeroed when any spooler call or allocation fails.
int QueryPrinterProperty(HANDLE printer, PrinterProperty selector, void* buffer, DWORD size, DWORD jobId = 0);
