// Driver entry: the three exports, the hook table, and the device and
// surface lifecycle entry points.
#include <windows.h>
#include <winddi.h>

#include "device.h"
#include "guard.h"
#include "page_sequence.h"
#include "pdev.h"

namespace driver {

namespace {

// GDI's table wants one function-pointer type; void(*)() converts to and
// from any function pointer without a cast-function-type warning.
template <class F>
PFN hook(F* f) {
  return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(f));
}

// The hook table, in the order GDI is handed it.
const DRVFN kHooks[] = {
    {INDEX_DrvDisableDriver, hook(DrvDisableDriver)},
    {INDEX_DrvEnablePDEV, hook(DrvEnablePDEV)},
    {INDEX_DrvResetPDEV, hook(DrvResetPDEV)},
    {INDEX_DrvCompletePDEV, hook(DrvCompletePDEV)},
    {INDEX_DrvDisablePDEV, hook(DrvDisablePDEV)},
    {INDEX_DrvEnableSurface, hook(DrvEnableSurface)},
    {INDEX_DrvDisableSurface, hook(DrvDisableSurface)},
    {INDEX_DrvBitBlt, hook(DrvBitBlt)},
    {INDEX_DrvStretchBlt, hook(DrvStretchBlt)},
    {INDEX_DrvCopyBits, hook(DrvCopyBits)},
    {INDEX_DrvDitherColor, hook(DrvDitherColor)},
    {INDEX_DrvAlphaBlend, hook(DrvAlphaBlend)},
    {INDEX_DrvGradientFill, hook(DrvGradientFill)},
    {INDEX_DrvPlgBlt, hook(DrvPlgBlt)},
    {INDEX_DrvStretchBltROP, hook(DrvStretchBltROP)},
    {INDEX_DrvTransparentBlt, hook(DrvTransparentBlt)},
    {INDEX_DrvSynchronize, hook(DrvSynchronize)},
    {INDEX_DrvQueryGlyphAttrs, hook(DrvQueryGlyphAttrs)},
    {INDEX_DrvTextOut, hook(DrvTextOut)},
    {INDEX_DrvGetGlyphMode, hook(DrvGetGlyphMode)},
    {INDEX_DrvRealizeBrush, hook(DrvRealizeBrush)},
    {INDEX_DrvPaint, hook(DrvPaint)},
    {INDEX_DrvFillPath, hook(DrvFillPath)},
    {INDEX_DrvStrokeAndFillPath, hook(DrvStrokeAndFillPath)},
    {INDEX_DrvLineTo, hook(DrvLineTo)},
    {INDEX_DrvStrokePath, hook(DrvStrokePath)},
    {INDEX_DrvStartDoc, hook(DrvStartDoc)},
    {INDEX_DrvStartPage, hook(DrvStartPage)},
    {INDEX_DrvSendPage, hook(DrvSendPage)},
    {INDEX_DrvEndDoc, hook(DrvEndDoc)},
    {INDEX_DrvStartBanding, hook(DrvStartBanding)},
    {INDEX_DrvNextBand, hook(DrvNextBand)},
    {INDEX_DrvQueryFont, hook(DrvQueryFont)},
    {INDEX_DrvQueryFontTree, hook(DrvQueryFontTree)},
    {INDEX_DrvQueryFontData, hook(DrvQueryFontData)},
    {INDEX_DrvEscape, hook(DrvEscape)},
};
static_assert(sizeof kHooks / sizeof kHooks[0] == 36, "GDI is handed 36 hooks");

constexpr ULONG kDriverVersion = DDI_DRIVER_VERSION_NT5;
constexpr ULONG kMinEngineVersion = DDI_DRIVER_VERSION_NT4;
constexpr ULONG kEnableDataBytes = 12;  // iDriverVersion, c, pdrvfn on 32-bit hosts

}  // namespace

}  // namespace driver

using namespace driver;

extern "C" {

BOOL APIENTRY DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded) {
  return support::guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    if (iEngineVersion < kMinEngineVersion || cj < kEnableDataBytes || !pded) {
      SetLastError(ERROR_BAD_DRIVER_LEVEL);
      return FALSE;
    }
    pded->iDriverVersion = kDriverVersion;
    pded->c = sizeof kHooks / sizeof kHooks[0];
    pded->pdrvfn = const_cast<DRVFN*>(kHooks);
    return TRUE;
  });
}

VOID APIENTRY DrvDisableDriver(VOID) {}

BOOL APIENTRY DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded) {
  return support::guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    if (dwMode != DRVQUERY_USERMODE || !pcbNeeded) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    *pcbNeeded = sizeof(DWORD);
    if (!pBuffer || cbBuf < sizeof(DWORD)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    *static_cast<DWORD*>(pBuffer) = TRUE;
    return TRUE;
  });
}

DHPDEV APIENTRY DrvEnablePDEV(DEVMODEW* pdm, LPWSTR, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                              ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV, LPWSTR, HANDLE hDriver) {
  return support::guardedCall<DHPDEV>(nullptr, [&]() -> DHPDEV {
    return reinterpret_cast<DHPDEV>(
        createDevice(pdm, cPat, phsurfPatterns, cjCaps, pdevcaps, cjDevInfo, pdi, hDriver));
  });
}

VOID APIENTRY DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  withDevice(dhpdev, [&](PrinterDevice& device) { device.hdev = hdev; });
}

BOOL APIENTRY DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew) {
  return withDevice(dhpdevOld, FALSE, [&](PrinterDevice& oldDevice) -> BOOL {
    if (!validDevice(dhpdevNew)) return FALSE;
    // Nothing of the old record is carried over: the new one counts its own
    // pages, so its first page sends the job header again.
    closeDeviceOutput(oldDevice);
    return TRUE;
  });
}

VOID APIENTRY DrvDisablePDEV(DHPDEV dhpdev) {
  withDevice(dhpdev, [](PrinterDevice& device) { destroyDevice(&device); });
}

HSURF APIENTRY DrvEnableSurface(DHPDEV dhpdev) {
  return withDevice(dhpdev, HSURF(nullptr), [](PrinterDevice& device) { return enableSurface(device); });
}

VOID APIENTRY DrvDisableSurface(DHPDEV dhpdev) {
  withDevice(dhpdev, [](PrinterDevice& device) { disableSurface(device); });
}

}  // extern "C"
