// Document, page and band entry points, each one validated call into the
// page sequence (page_sequence.cpp).
#include <windows.h>
#include <winddi.h>

#include "device.h"
#include "guard.h"
#include "jobstream.h"
#include "page_sequence.h"

using namespace driver;

extern "C" {

// The document's name and job id are not kept: the job goes out through the
// printer handle, and nothing in the driver asks for either.
BOOL APIENTRY DrvStartDoc(SURFOBJ* pso, LPWSTR, DWORD) {
  return withDevice(pso, FALSE, [](PrinterDevice&) -> BOOL { return TRUE; });
}

BOOL APIENTRY DrvStartPage(SURFOBJ* pso) {
  return withDevice(pso, FALSE, [&](PrinterDevice& device) -> BOOL {
    bindOutput(device);
    ++device.pageCounter;
    if (device.bandingMode) return outputResult(device);
    openPage(device);
    device.bandCursor = 0;
    reportBandOrigin(device, &device.bandOrigin);
    clearSurface(device, pso);
    return outputResult(device);
  });
}

BOOL APIENTRY DrvSendPage(SURFOBJ* pso) {
  return withDevice(pso, FALSE, [&](PrinterDevice& device) -> BOOL {
    bindOutput(device);
    // In banding mode DrvNextBand sends the page; a page that was never
    // started has no START to close.
    if (device.bandingMode || !(device.output.state & PageOpen)) return outputResult(device);
    device.bandCursor = 0;
    const DWORD bandError = encodeCurrentBand(device, pso);
    clearSurface(device, pso);
    writePageEnd(device.output);
    return outputResult(device, bandError);
  });
}

BOOL APIENTRY DrvEndDoc(SURFOBJ* pso, FLONG) {
  return withDevice(pso, FALSE, [&](PrinterDevice& device) -> BOOL {
    bindOutput(device);
    const bool ok = finishDocument(device.output);
    device.pageCounter = 0;
    if (!ok) SetLastError(device.output.writeError);
    return ok;
  });
}

BOOL APIENTRY DrvStartBanding(SURFOBJ* pso, POINTL* pptl) {
  return withDevice(pso, FALSE, [&](PrinterDevice& device) -> BOOL {
    if (!pptl) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    bindOutput(device);
    device.bandCursor = 0;
    reportBandOrigin(device, pptl);
    device.bandOrigin = *pptl;
    clearSurface(device, pso);
    return outputResult(device);
  });
}

BOOL APIENTRY DrvNextBand(SURFOBJ* pso, POINTL* pptl) {
  return withDevice(pso, FALSE, [&](PrinterDevice& device) -> BOOL {
    if (!pptl || device.bandCount < 1) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    bindOutput(device);
    if (device.bandCursor < 0 || device.bandCursor >= device.bandCount) device.bandCursor = 0;
    if (device.bandCursor == 0) openPage(device);
    const DWORD bandError = encodeCurrentBand(device, pso);
    clearSurface(device, pso);
    if (device.bandCursor < device.bandCount - 1) {
      ++device.bandCursor;
      reportBandOrigin(device, pptl);
    } else {
      writePageEnd(device.output);
      device.bandCursor = 0;
      pptl->x = -1;
      pptl->y = -1;
    }
    device.bandOrigin = *pptl;
    return outputResult(device, bandError);
  });
}

}  // extern "C"
