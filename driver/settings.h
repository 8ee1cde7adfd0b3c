// Assembling a device's effective settings from the application's device
// mode, the queue's stored settings and the built-in defaults, and the
// label sizes and margins derived from them.
#pragma once

#include <windows.h>

#include "settings_records.h"

namespace driver {

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
// Both, from one read of the label's definition.
struct LabelExtent {
  LabelSize size;
  LabelMargins margins;
};
LabelExtent labelExtent(const DriverSettings& settings, LONG index);
// Whether a definition's margins are used for a label of `size`: none
// negative, the printable width within 104.0 mm and centred on wider
// labels, and some label left between them.
bool marginsFit(LabelSize size, const LabelMargins& margins);

enum class Dimension { LabelWidth, Other };
// ((value / 10) * factor) / 10 with the model's factor for the dimension.
LONG DotsFromTenthsMm(LONG value, Dimension dimension);

// ---- settings assembly ---------------------------------------------------

void DefaultSettings(DriverSettings* settings, LPCWSTR printerName);
bool SettingsValid(const DriverSettings& settings, LPCWSTR printerName);
void BuildPublicFields(DriverSettings* settings, LPCWSTR printerName);
// BuildPublicFields for the printer the record's own dmDeviceName names:
// the step after any change of the private part.
void rebuildPublicFields(DriverSettings* settings);
// Takes the acceptable public fields of dm (dmSize bytes at most, and never
// more than available bytes) into settings' private part.
void MergeApplicationFields(const DEVMODEW* dm, DWORD available, DriverSettings* settings, bool forceCopies);

// The queue's stored defaults (default device mode and "Private DevMode",
// when both are this driver's), else the built-in defaults with the
// signature set.
void loadQueueSettings(DriverSettings* settings, HANDLE printer, LPCWSTR printerName);
// Takes an application's device mode (`available` bytes of it may be read)
// into settings: its private part when the record is this driver's, then
// its acceptable public fields; copies always when forceCopies is set.
void applyApplicationDevMode(DriverSettings* settings, const DEVMODEW* dm, DWORD available, LPCWSTR printerName,
                             bool forceCopies);

// Builds `settings`, the effective settings of a new device, from the application's
// device mode (may be null; `available` is how many bytes of it may be
// read), the queue's stored defaults and the built-in defaults. 1, or 0
// (settings untouched) when the working record cannot be allocated.
int LoadDeviceSettings(DriverSettings* settings, const DEVMODEW* dm, DWORD available, HANDLE printer,
                       LPCWSTR printerName);

}  // namespace driver
