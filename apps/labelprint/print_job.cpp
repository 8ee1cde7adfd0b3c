// The GDI side of printing one label: queue, device, surface, document,
// page, drawing, send, end, disable.
#include "print_job.h"

#include <windows.h>
#include <winddi.h>
#include <winspool.h>

#include <fstream>
#include <iterator>

#include "device.h"
#include "label_file.h"
#include "model_profile.h"
#include "settings.h"
#include "sim/engine.h"
#include "sim/profile.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace labelprint {

namespace {

const std::u16string kQueue = u"Label Printer";

LPWSTR wide(const std::u16string& s) { return const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(s.c_str())); }

bool copyFile(const std::string& from, const std::string& to, std::string* error) {
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    *error = "cannot read label file '" + from + "'";
    return false;
  }
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
  if (!out) {
    *error = "cannot install label file '" + from + "'";
    return false;
  }
  return true;
}

// Owns what GDI would hold for one device context, released in reverse.
class DeviceContext {
 public:
  ~DeviceContext() {
    if (pso_) EngUnlockSurface(pso_);
    if (device_) {
      if (surface_) DrvDisableSurface(device_);
      DrvDisablePDEV(device_);
    }
    if (printer_) ClosePrinter(printer_);
  }
  HANDLE printer_ = nullptr;
  DHPDEV device_ = nullptr;
  HSURF surface_ = nullptr;
  SURFOBJ* pso_ = nullptr;
};

// Draws the part of `page` that falls on the band bitmap at `origin`, the
// way the engine's bitmap copy would: 1-bit thresholds at mid grey.
void drawBand(SURFOBJ* pso, const GreyImage& page, POINTL origin) {
  const bool oneBit = pso->iBitmapFormat == BMF_1BPP;
  BYTE* bits = static_cast<BYTE*>(pso->pvBits);
  for (LONG sy = 0; sy < pso->sizlBitmap.cy; ++sy) {
    LONG py = origin.y + sy;
    if (py < 0 || py >= page.height) continue;
    BYTE* line = bits + size_t(sy) * pso->lDelta;
    for (LONG sx = 0; sx < pso->sizlBitmap.cx; ++sx) {
      LONG px = origin.x + sx;
      if (px < 0 || px >= page.width) continue;
      BYTE g = page.at(px, py);
      if (!oneBit)
        line[sx] = g;
      else if (g < 128)
        line[sx / 8] &= BYTE(~(0x80 >> (sx % 8)));
    }
  }
}

bool fail(std::string* error, const std::string& what) {
  *error = what + " failed (error " + std::to_string(GetLastError()) + ")";
  return false;
}

}  // namespace

const char* driverModel() { return kModel.modelName; }

bool printImage(const Options& o, const GreyImage& image, PrintResult* result, std::string* error) {
  if (o.model != kModel.modelName) {
    *error = "this program prints for " + std::string(kModel.modelName) + ", not " + o.model;
    return false;
  }
  sim::reset();
  sim::makeTempWindowsDirectory();
  if (!o.labelFile.empty() && !copyFile(o.labelFile, sim::windowsFilePath(kModel.labelFileName), error)) return false;
  sim::QueueSetup q;
  q.name = kQueue;
  q.driver = std::u16string(u"Varodyn ") + std::u16string(kModel.modelName, kModel.modelName + std::char_traits<char>::length(kModel.modelName));
  sim::addQueue(q);

  BuildLabelList();
  if (FindLabel(o.label) < 0) {
    *error = "label " + std::to_string(o.label) + " is not defined for " + kModel.modelName;
    return false;
  }

  DriverSettings s;
  DefaultSettings(&s, reinterpret_cast<LPCWSTR>(kQueue.c_str()));
  s.SettingsSignature = kSettingsSignature;
  PrivateSettings& p = s.Private;
  p.LabelIndex = o.label;
  if (o.width > 0) {
    p.CustomWidth = o.width;
    p.CustomHeight = o.height;
  }
  p.Copies = o.copies;
  p.Orientation = o.landscape ? 2 : 1;
  p.LandscapeRotation = o.rotate ? 1 : 0;
  p.ColorMode = o.grey ? 1 : 0;
  p.GraphicsMode = o.hex ? 0 : 1;
  BuildPublicFields(&s, reinterpret_cast<LPCWSTR>(kQueue.c_str()));

  DeviceContext dc;
  if (!OpenPrinterW(wide(kQueue), &dc.printer_, nullptr)) return fail(error, "OpenPrinterW");
  DRVENABLEDATA ded{};
  if (!DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof ded, &ded)) return fail(error, "DrvEnableDriver");
  GDIINFO gdi{};
  DEVINFO dev{};
  HSURF patterns[6] = {};
  HDEV hdev = reinterpret_cast<HDEV>(0x1D00);
  dc.device_ = DrvEnablePDEV(reinterpret_cast<DEVMODEW*>(&s), wide(kQueue), 6, patterns, sizeof gdi,
                             reinterpret_cast<ULONG*>(&gdi), sizeof dev, &dev, hdev, wide(kQueue), dc.printer_);
  if (!dc.device_) return fail(error, "DrvEnablePDEV");
  sim::bindDevice(hdev, dc.device_);
  DrvCompletePDEV(dc.device_, hdev);
  dc.surface_ = DrvEnableSurface(dc.device_);
  if (!dc.surface_) return fail(error, "DrvEnableSurface");
  dc.pso_ = EngLockSurface(dc.surface_);
  if (!dc.pso_) return fail(error, "EngLockSurface");

  const PrinterDevice* device = reinterpret_cast<const PrinterDevice*>(dc.device_);
  result->pageWidth = int(gdi.ulHorzRes);
  result->pageHeight = int(gdi.ulVertRes);
  result->bands = int(device->bandCount);
  const GreyImage page = fitToPage(image, result->pageWidth, result->pageHeight);

  SURFOBJ* pso = dc.pso_;
  if (!DrvStartDoc(pso, wide(u"labelprint"), 1)) return fail(error, "DrvStartDoc");
  if (!DrvStartPage(pso)) return fail(error, "DrvStartPage");
  if (device->bandingMode) {
    POINTL origin{};
    if (!DrvStartBanding(pso, &origin)) return fail(error, "DrvStartBanding");
    while (origin.x != -1) {
      drawBand(pso, page, origin);
      if (!DrvNextBand(pso, &origin)) return fail(error, "DrvNextBand");
    }
  } else {
    drawBand(pso, page, POINTL{0, 0});
  }
  if (!DrvSendPage(pso)) return fail(error, "DrvSendPage");
  if (!DrvEndDoc(pso, 0)) return fail(error, "DrvEndDoc");
  result->bytes = sim::written(kQueue);
  return true;
}

}  // namespace labelprint
