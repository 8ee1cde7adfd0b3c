// Test fixture that prints pages through the driver the way GDI drives it
// (enable, document, pages or bands, end, disable) on the simulated host,
// and the mapping from a drawn page to the label the printer prints.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <winddi.h>
#include <winspool.h>

#include "device.h"
#include "label_file.h"
#include "model_profile.h"
#include "printer_properties.h"
#include "settings.h"
#include "sim/engine.h"
#include "sim/profile.h"
#include "sim/spooler.h"
#include "sim/world.h"
#include "tables.h"

inline constexpr bool kModelA = kModel.userSlotCount > 0;

// A page as drawn: printable width x height dots of grey (0 black .. 255
// white); one-bit surfaces take 0 as black and anything else as white.
struct Page {
  LONG width = 0;
  LONG height = 0;
  std::vector<BYTE> grey;
  BYTE at(LONG x, LONG y) const { return grey[size_t(y) * width + x]; }
};

class PrintSession : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    sim::makeTempWindowsDirectory();
    sim::QueueSetup q;
    q.name = queue;
    q.driver = kModelA ? u"Varodyn TR7208" : u"Varodyn KV830";
    queueSetup(q);
    sim::addQueue(q);
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name()), &printer, nullptr));
  }
  void TearDown() override {
    disable();
    if (printer) ClosePrinter(printer);
    sim::reset();
  }
  virtual void queueSetup(sim::QueueSetup&) {}

  LPCWSTR name() const { return reinterpret_cast<LPCWSTR>(queue.c_str()); }

  // A new device record from `appMode` on this queue, as GDI creates one.
  DHPDEV enablePdev() {
    GDIINFO gdi{};
    DEVINFO dev{};
    HSURF patterns[6] = {};
    return DrvEnablePDEV(reinterpret_cast<DEVMODEW*>(appMode.data()), const_cast<LPWSTR>(name()), 6, patterns,
                         sizeof gdi, reinterpret_cast<ULONG*>(&gdi), sizeof dev, &dev, hdev,
                         const_cast<LPWSTR>(name()), printer);
  }

  // Enables a device whose application device mode carries the default
  // settings with `edit` applied, and its surface.
  PrinterDevice* enable(const std::function<void(PrivateSettings&)>& edit = {}) {
    DriverSettings s;
    DefaultSettings(&s, name());
    s.SettingsSignature = kSettingsSignature;
    if (edit) edit(s.Private);
    BuildPublicFields(&s, name());
    appMode.assign(reinterpret_cast<BYTE*>(&s), reinterpret_cast<BYTE*>(&s) + kStoredDevModeBytes);
    DHPDEV d = enablePdev();
    if (!d) return nullptr;
    sim::bindDevice(hdev, d);
    DrvCompletePDEV(d, hdev);
    device = reinterpret_cast<PrinterDevice*>(d);
    HSURF surface = DrvEnableSurface(d);
    if (!surface) return nullptr;
    pso = EngLockSurface(surface);
    return pso ? device : nullptr;
  }

  void disable() {
    if (pso) EngUnlockSurface(pso);
    pso = nullptr;
    if (device) {
      DrvDisableSurface(reinterpret_cast<DHPDEV>(device));
      DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
    }
    device = nullptr;
  }

  LONG pageWidth() const { return device->wholePage.exactWidth; }
  LONG pageHeight() const { return device->wholePage.exactHeight; }

  // Copies the part of `page` that falls on the band at `origin` into the
  // surface bitmap, as GDI's drawing would.
  void draw(const Page& page, POINTL origin) {
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
        if (!oneBit) {
          line[sx] = g;
        } else if (g == 0) {
          line[sx / 8] &= BYTE(~(0x80 >> (sx % 8)));
        } else {
          line[sx / 8] |= BYTE(0x80 >> (sx % 8));
        }
      }
    }
  }

  // One page: StartPage, drawing (band by band in banding mode), SendPage.
  // Returns false when any entry point reported failure.
  bool printPage(const Page& page) {
    bool ok = DrvStartPage(pso) != FALSE;
    if (device->bandingMode) {
      POINTL origin{};
      ok = DrvStartBanding(pso, &origin) && ok;
      for (int guard = 0; origin.x != -1 && guard <= kMaxBands; ++guard) {
        draw(page, origin);
        ok = DrvNextBand(pso, &origin) && ok;
      }
      EXPECT_EQ(origin.x, -1) << "bands did not end";
    } else {
      draw(page, POINTL{0, 0});
    }
    return DrvSendPage(pso) && ok;
  }

  bool printDocument(const std::vector<Page>& pages, DWORD jobId = 7) {
    bool ok = DrvStartDoc(pso, const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(u"label")), jobId) != FALSE;
    for (const Page& p : pages) ok = printPage(p) && ok;
    return DrvEndDoc(pso, 0) && ok;
  }

  std::vector<BYTE> written() const { return sim::written(queue); }
  std::string writtenText() const {
    auto b = written();
    return std::string(b.begin(), b.end());
  }

  // The device's dither table 7 as the encoder reads it.
  std::vector<WORD> ditherTable() const {
    const WORD* t = reinterpret_cast<const WORD*>(device->work.buffer[kDitherTable]);
    return std::vector<WORD>(t, t + 256 * 16);
  }

  std::u16string queue = u"Label Printer";
  HANDLE printer = nullptr;
  HDEV hdev = reinterpret_cast<HDEV>(0x5D00);
  std::vector<BYTE> appMode;
  PrinterDevice* device = nullptr;
  SURFOBJ* pso = nullptr;
};

// Page contents used by the tests.
enum class Content { Blank, Corners, Stripes, Random };

inline Page makePage(LONG width, LONG height, Content content, bool grey, unsigned seed) {
  Page p;
  p.width = width;
  p.height = height;
  p.grey.assign(size_t(width) * height, 255);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (LONG y = 0; y < height; ++y) {
    for (LONG x = 0; x < width; ++x) {
      BYTE& g = p.grey[size_t(y) * width + x];
      switch (content) {
        case Content::Blank:
          break;
        case Content::Corners:
          if ((x == 0 || x == width - 1) && (y == 0 || y == height - 1)) g = 0;
          break;
        case Content::Stripes:
          if ((x / 3 + y / 5) % 2) g = grey ? BYTE((x * 7 + y) % 256) : 0;
          break;
        case Content::Random:
          g = grey ? BYTE(next()) : ((next() & 1) ? 0 : 255);
          break;
      }
    }
  }
  return p;
}
