// Device-record lifecycle logic behind DrvEnablePDEV,
// DrvDisablePDEV, DrvEnableSurface and DrvDisableSurface.
#pragma once

#include <windows.h>
#include <winddi.h>

#include "device.h"
#include "settings.h"

namespace driver {

// Creates the device record (all steps of DrvEnablePDEV). Returns it, or
// null with the last error set; nothing stays allocated on failure.
PrinterDevice* createDevice(const DEVMODEW* pdm, ULONG cPat, HSURF* patterns, ULONG cjCaps,
                            ULONG* caps, ULONG cjDevInfo, DEVINFO* devInfo, HANDLE printer);

// Steps of createDevice, used only by it in the driver; declared here so
// the geometry tests can run them one at a time.
void deriveRenderParameters(PrinterDevice& device);
// The page of a label of `size` with margins `m` (0.1 mm) at dpiX x dpiY
// dots per inch, turned by `layout`.
PageGeometry pageGeometry(LabelSize size, const LabelMargins& m, LONG dpiX, LONG dpiY, PageLayout layout);
// The device's geometry from its selected label, read once from the
// label-definition file (which it never writes). False when the label
// leaves no printable area.
bool computeGeometry(PrinterDevice& device);
void computeBandParameters(PrinterDevice& device);
void buildDefaultFonts(PrinterDevice& device);
void fillGdiInfo(const PrinterDevice& device, GDIINFO* info);
void fillDevInfo(const PrinterDevice& device, DEVINFO* info);

// Frees the record and everything it still owns (surface, buffers,
// palette).
void destroyDevice(PrinterDevice* device);

// DrvEnableSurface / DrvDisableSurface logic. enableSurface returns the
// surface, or null with the last error set and nothing of this call left.
HSURF enableSurface(PrinterDevice& device);
void disableSurface(PrinterDevice& device);

// Decides OutputSuppressed from the feature selections and the print
// processor's capabilities.
void checkPrintProcessor(PrinterDevice& device);

}  // namespace driver
