// Test fixture that prints pages through the driver the way GDI drives it
// (gdiplay: enable, document, pages or bands, end, disable) on the
// simulated host.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <winddi.h>
#include <winspool.h>

#include "device.h"
#include "label_file.h"
#include "gdi_play.h"
#include "model_profile.h"
#include "printer_properties.h"
#include "settings.h"
#include "sim/engine.h"
#include "sim/profile.h"
#include "sim/spooler.h"
#include "sim/world.h"
#include "tables.h"

inline constexpr bool kModelA = driver::kModel.model == driver::ModelId::ModelA;

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
    sim::QueueSetup q;
    q.name = queue;
    q.driver = kModelA ? u"Varodyn TR7208" : u"Varodyn KV830";
    queueSetup(q);
    host = std::make_unique<gdiplay::PrinterQueue>(q);
    printer = host->printer();
    ASSERT_NE(printer, nullptr);
  }
  void TearDown() override {
    disable();
    host.reset();
    sim::reset();
  }
  virtual void queueSetup(sim::QueueSetup&) {}

  LPCWSTR name() const { return reinterpret_cast<LPCWSTR>(queue.c_str()); }

  // A second device record from `appMode` on this queue, as GDI creates
  // one for another device context; the caller disables it.
  DHPDEV enablePdev() {
    second = std::make_unique<gdiplay::DeviceContext>();
    if (!second->createDevice(printer, name(), reinterpret_cast<const DEVMODEW*>(appMode.data()))) return nullptr;
    DHPDEV d = second->device();
    second->release();
    return d;
  }

  // Enables a device whose application device mode carries the default
  // settings with `edit` applied, and its surface.
  driver::PrinterDevice* enable(const std::function<void(driver::PrivateSettings&)>& edit = {}) {
    driver::DriverSettings s;
    driver::DefaultSettings(&s, name());
    s.SettingsSignature = driver::kSettingsSignature;
    if (edit) edit(s.Private);
    driver::BuildPublicFields(&s, name());
    appMode.assign(reinterpret_cast<BYTE*>(&s), reinterpret_cast<BYTE*>(&s) + driver::kStoredDevModeBytes);
    dc = std::make_unique<gdiplay::DeviceContext>();
    const bool created = dc->create(printer, name(), reinterpret_cast<const DEVMODEW*>(appMode.data()));
    device = reinterpret_cast<driver::PrinterDevice*>(dc->device());
    pso = dc->surface();
    return created ? device : nullptr;
  }

  void disable() {
    dc.reset();
    device = nullptr;
    pso = nullptr;
  }

  LONG pageWidth() const { return device->wholePage.exactWidth; }
  LONG pageHeight() const { return device->wholePage.exactHeight; }

  // `page` as GDI draws a bitmap copied onto the page: DrvBitBlt SRCCOPY
  // of an 8-bit grey bitmap.
  static gdiplay::Page drawingOf(const Page& page) {
    auto image = std::make_shared<gdiplay::Image>();
    image->width = page.width;
    image->height = page.height;
    image->pixels = page.grey;
    gdiplay::Page drawing;
    drawing.blit(image, POINTL{0, 0});
    return drawing;
  }

  // Draws the part of `page` on the band at `origin`.
  void draw(const Page& page, POINTL origin) { dc->draw(drawingOf(page), origin); }

  // One page, band by band. Returns false when any entry point reported
  // failure.
  bool printPage(const Page& page) { return dc->printPage(drawingOf(page)); }

  bool printDocument(const std::vector<Page>& pages, DWORD jobId = 7) {
    bool ok = dc->startDoc(reinterpret_cast<LPCWSTR>(u"label"), jobId);
    for (const Page& p : pages) ok = printPage(p) && ok;
    return dc->endDoc() && ok;
  }

  std::vector<BYTE> written() const { return host->written(); }
  std::string writtenText() const {
    auto b = written();
    return std::string(b.begin(), b.end());
  }

  // The device's dither table 7 as the encoder reads it.
  std::vector<WORD> ditherTable() const {
    const WORD* t = reinterpret_cast<const WORD*>(device->work.buffer[driver::kDitherTable]);
    return std::vector<WORD>(t, t + 256 * 16);
  }

  std::u16string queue = u"Label Printer";
  std::unique_ptr<gdiplay::PrinterQueue> host;
  std::unique_ptr<gdiplay::DeviceContext> dc, second;
  HANDLE printer = nullptr;
  std::vector<BYTE> appMode;
  driver::PrinterDevice* device = nullptr;
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
