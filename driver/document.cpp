// Document, page and band entry points. Placeholders: they validate the
// device and succeed; the job stream and band encoding land here later.
#include <windows.h>
#include <winddi.h>

#include "device.h"
#include "guard.h"

void closeDeviceOutput(PrinterDevice& device) {
  // Nothing is written before the job stream exists; keep the flags honest.
  device.jobFlags &= ~(kHeaderSent | kPageOpen);
}

extern "C" {

BOOL APIENTRY DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = validDevice(pso);
    if (!device) return FALSE;
    if (pwszDocName) lstrcpynW(device->documentName, pwszDocName, kDocumentNameChars + 1);
    device->jobId = dwJobId;
    return TRUE;
  });
}

BOOL APIENTRY DrvStartPage(SURFOBJ* pso) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL { return validDevice(pso) ? TRUE : FALSE; });
}

BOOL APIENTRY DrvSendPage(SURFOBJ* pso) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL { return validDevice(pso) ? TRUE : FALSE; });
}

BOOL APIENTRY DrvEndDoc(SURFOBJ* pso, FLONG) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL { return validDevice(pso) ? TRUE : FALSE; });
}

BOOL APIENTRY DrvStartBanding(SURFOBJ* pso, POINTL* pptl) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = validDevice(pso);
    if (!device || !pptl) return FALSE;
    device->bandCursor = 0;
    pptl->x = device->bands[0].x;
    pptl->y = device->bands[0].y;
    return TRUE;
  });
}

BOOL APIENTRY DrvNextBand(SURFOBJ* pso, POINTL* pptl) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = validDevice(pso);
    if (!device || !pptl) return FALSE;
    pptl->x = -1;
    pptl->y = -1;
    return TRUE;
  });
}

}  // extern "C"
