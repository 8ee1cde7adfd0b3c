// DrvEnablePDEV and the device record: GDIINFO and DEVINFO for both
// models, landscape, partial buffers, palette, reset, and failures that
// must release everything.
#include "driver_fixture.h"

using namespace driver;

namespace {

// What GDI is told for default settings (label 256 at the model's built-in
// size) in portrait and in landscape.
struct GeometryCase {
  LONG orientation;
  ULONG horzSize, vertSize, horzRes, vertRes;
  LONG physWidth, physHeight, offsetX, offsetY;
  ULONG logX, logY;
  LONG denStyleStep;
};

// Model A: 1100 x 530 with default side margins 30 (width above 1040).
const GeometryCase kModelA[] = {
    {1, 104, 53, 831, 423, 879, 423, 23, 0, 203, 203, 4},
    {2, 53, 104, 423, 831, 423, 879, 0, 23, 203, 203, 4},
};
// Model B: 1040 x 500, no margins; 299 x 304 dpi swap in landscape.
const GeometryCase kModelB[] = {
    {1, 104, 50, 1224, 598, 1224, 598, 0, 0, 299, 304, 5},
    {2, 50, 104, 598, 1224, 598, 1224, 0, 0, 304, 299, 6},
};

DEVMODEW publicDevMode(DWORD fields) {
  DEVMODEW dm{};
  dm.dmSize = sizeof dm;
  dm.dmSpecVersion = 0x0401;
  dm.dmFields = fields;
  return dm;
}

class EnablePdevTest : public DriverTest {};

TEST_F(EnablePdevTest, ReportsTheTabledGdiInfoForDefaultSettings) {
  for (const GeometryCase& c : kIsModelA ? kModelA : kModelB) {
    DEVMODEW dm = publicDevMode(DM_ORIENTATION);
    dm.dmOrientation = short(c.orientation);
    PrinterDevice* device = enable(&dm);
    ASSERT_NE(device, nullptr) << c.orientation;
    const GDIINFO& g = gdiInfo;
    SCOPED_TRACE(c.orientation);
    EXPECT_EQ(g.ulVersion, 0x400u);
    EXPECT_EQ(g.ulTechnology, ULONG(DT_RASPRINTER));
    EXPECT_EQ(g.ulHorzSize, c.horzSize);
    EXPECT_EQ(g.ulVertSize, c.vertSize);
    EXPECT_EQ(g.ulHorzRes, c.horzRes);
    EXPECT_EQ(g.ulVertRes, c.vertRes);
    EXPECT_EQ(g.cBitsPixel, 1u);
    EXPECT_EQ(g.cPlanes, 1u);
    EXPECT_EQ(g.ulNumColors, 2u);
    EXPECT_EQ(g.ulNumPalReg, 2u);
    EXPECT_EQ(g.ulLogPixelsX, c.logX);
    EXPECT_EQ(g.ulLogPixelsY, c.logY);
    EXPECT_EQ(g.ulAspectX, c.logX);
    EXPECT_EQ(g.ulAspectY, c.logY);
    EXPECT_EQ(g.ulAspectXY, ULONG(kModel.resolution.diagonal));
    EXPECT_EQ(g.xStyleStep, 1);
    EXPECT_EQ(g.yStyleStep, 1);
    EXPECT_EQ(g.denStyleStep, c.denStyleStep);
    EXPECT_EQ(g.ptlPhysOffset.x, c.offsetX);
    EXPECT_EQ(g.ptlPhysOffset.y, c.offsetY);
    EXPECT_EQ(g.szlPhysSize.cx, c.physWidth);
    EXPECT_EQ(g.szlPhysSize.cy, c.physHeight);
    EXPECT_EQ(g.ciDevice.Cyan.Y, 65534);
    EXPECT_EQ(g.ciDevice.Red.x, 6810);
    EXPECT_EQ(g.ciDevice.MagentaInYellowDye, 248);
    EXPECT_EQ(g.ulDevicePelsDPI, 0u);
    EXPECT_EQ(g.ulHTPatternSize, 7u);
    EXPECT_EQ(g.ulHTOutputFormat, ULONG(HT_FORMAT_1BPP));
    EXPECT_EQ(g.flHTFlags, ULONG(HT_FLAG_HAS_BLACK_DYE));
    EXPECT_EQ(g.flRaster | g.flTextCaps | g.ulDACRed | g.ulPrimaryOrder | g.ulVRefresh, 0u);
    EXPECT_EQ(device->render.layout, c.orientation == 1 ? PageLayout::Portrait : PageLayout::LandscapeReversed);
    DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
  }
}

TEST_F(EnablePdevTest, ReportsTheTabledDevInfoForDefaultSettings) {
  PrinterDevice* device = enable();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(devInfo.flGraphicsCaps, 0x10A0A53Du);
  const LONG height = kIsModelA ? -29 : -42;
  struct FontCase {
    const LOGFONTW* font;
    BYTE charset;
    BYTE pitch;
    std::u16string face;
  };
  const FontCase fonts[] = {
      {&devInfo.lfDefaultFont, SHIFTJIS_CHARSET, 0x11, u"俵俽 柧挬"},
      {&devInfo.lfAnsiVarFont, ANSI_CHARSET, 0x22, u"Helvetica"},
      {&devInfo.lfAnsiFixFont, ANSI_CHARSET, 0x31, u"Courier"},
  };
  for (const FontCase& f : fonts) {
    SCOPED_TRACE(std::string(f.face.begin(), f.face.end()));
    EXPECT_EQ(f.font->lfHeight, height);
    EXPECT_EQ(f.font->lfWidth | f.font->lfEscapement | f.font->lfOrientation, 0);
    EXPECT_EQ(f.font->lfWeight, 400);
    EXPECT_EQ(f.font->lfItalic | f.font->lfUnderline | f.font->lfStrikeOut | f.font->lfQuality, 0);
    EXPECT_EQ(f.font->lfCharSet, f.charset);
    EXPECT_EQ(f.font->lfOutPrecision, 2);
    EXPECT_EQ(f.font->lfClipPrecision, 1);
    EXPECT_EQ(f.font->lfPitchAndFamily, f.pitch);
    EXPECT_EQ(text16(f.font->lfFaceName), f.face);
  }
  EXPECT_EQ(devInfo.cFonts, 0u);
  EXPECT_EQ(devInfo.iDitherFormat, ULONG(BMF_1BPP));
  EXPECT_EQ(devInfo.cxDither, 32);
  EXPECT_EQ(devInfo.cyDither, 16);
  EXPECT_EQ(devInfo.flGraphicsCaps2, 0u);
  ULONG mode = 0;
  EXPECT_EQ(sim::paletteColors(devInfo.hpalDefault, &mode), (std::vector<ULONG>{0x000000, 0xFFFFFF}));
  EXPECT_EQ(mode, ULONG(PAL_INDEXED));
  for (HSURF p : patterns) EXPECT_EQ(p, nullptr);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
  EXPECT_EQ(sim::livePalettes(), 0u);
}

// Settings that change what DEVINFO and GDIINFO report.
TEST_F(EnablePdevTest, ColourModeAndSolidFillChangeCapsPaletteAndDither) {
  struct Case {
    LONG colorMode;
    LONG solidFill;
    FLONG caps;
    ULONG bits;
    ULONG ditherFormat;
    USHORT cxDither;
    size_t paletteSize;
    LDECI4 cyanY;
    ULONG patternSize;  // the stored block says 9
    ULONG pelsDpi;      // the stored block says 300
  };
  const Case cases[] = {
      {0, 1, 0x10A0A53D, 1, BMF_1BPP, 32, 2, 65534, 9, 300},
      {0, 0, 0x00A0253D, 1, BMF_1BPP, 32, 2, 65534, 9, 300},
      {1, 1, 0x10A0A53D, 8, BMF_8BPP, 1, 256, 65534, 9, 300},
      {2, 1, 0x00A0253D, 8, BMF_8BPP, 1, 256, 0, 7, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colorMode * 10 + c.solidFill);
    sim::setQueueDevMode(queueName, storedDevMode([&](DriverSettings& s) {
                           s.Private.ColorMode = c.colorMode;
                           s.Private.DriverSolidFill = c.solidFill;
                         }));
    sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, privateBlock([](PrinterDataBlock& b) {
                          b.HalftonePatternSize = 9;
                          b.DevicePelsDpi = 300;
                        }));
    PrinterDevice* device = enable();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(devInfo.flGraphicsCaps, c.caps);
    EXPECT_EQ(gdiInfo.ulHTPatternSize, c.patternSize);
    EXPECT_EQ(gdiInfo.ulDevicePelsDPI, c.pelsDpi);
    EXPECT_EQ(gdiInfo.cBitsPixel, c.bits);
    EXPECT_EQ(devInfo.iDitherFormat, c.ditherFormat);
    EXPECT_EQ(devInfo.cxDither, c.cxDither);
    EXPECT_EQ(gdiInfo.ciDevice.Cyan.Y, c.cyanY);
    std::vector<ULONG> palette = sim::paletteColors(devInfo.hpalDefault);
    ASSERT_EQ(palette.size(), c.paletteSize);
    for (size_t i = 0; i < palette.size() && c.paletteSize == 256; ++i) ASSERT_EQ(palette[i], i * 0x010101);
    DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
  }
}

TEST_F(EnablePdevTest, PartialInfoBuffersReceiveOnlyTheirFirstBytes) {
  PrinterDevice* full = enable();
  ASSERT_NE(full, nullptr);
  const GDIINFO fullGdi = gdiInfo;
  const DEVINFO fullDev = devInfo;
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(full));

  for (ULONG cj : {0u, 4u, 16u, 100u, 303u}) {
    BYTE caps[sizeof(GDIINFO) + 8];
    BYTE dev[sizeof(DEVINFO) + 8];
    FillMemory(caps, sizeof caps, 0xCC);
    FillMemory(dev, sizeof dev, 0xCC);
    DHPDEV d = DrvEnablePDEV(nullptr, nullptr, 0, nullptr, cj, reinterpret_cast<ULONG*>(caps), cj,
                             reinterpret_cast<DEVINFO*>(dev), hdev, nullptr, printer);
    ASSERT_NE(d, nullptr) << cj;
    EXPECT_EQ(std::memcmp(caps, &fullGdi, cj), 0) << cj;
    EXPECT_EQ(std::memcmp(dev + 0, &fullDev, cj < 100 ? cj : 100), 0) << cj;
    for (size_t i = cj; i < sizeof caps; ++i) ASSERT_EQ(caps[i], 0xCC) << "GDIINFO byte " << i << " cj " << cj;
    for (size_t i = cj; i < sizeof dev; ++i) ASSERT_EQ(dev[i], 0xCC) << "DEVINFO byte " << i << " cj " << cj;
    DrvDisablePDEV(d);
  }
  // A buffer larger than the record gets the record and nothing more.
  BYTE caps[sizeof(GDIINFO) + 8];
  FillMemory(caps, sizeof caps, 0xCC);
  DHPDEV d = DrvEnablePDEV(nullptr, nullptr, 0, nullptr, sizeof caps, reinterpret_cast<ULONG*>(caps), 0, nullptr,
                           hdev, nullptr, printer);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(std::memcmp(caps, &fullGdi, sizeof fullGdi), 0);
  for (size_t i = sizeof(GDIINFO); i < sizeof caps; ++i) EXPECT_EQ(caps[i], 0xCC);
  DrvDisablePDEV(d);
}

TEST_F(EnablePdevTest, RecordCarriesSignaturesNameAndCopies) {
  DEVMODEW dm = publicDevMode(DM_COPIES);
  dm.dmCopies = 3;
  PrinterDevice* device = enable(&dm);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->signature, kModel.signature);
  EXPECT_EQ(device->signatureEnd, kModel.signature);
  EXPECT_EQ(device->size, sizeof(PrinterDevice));
  EXPECT_EQ(device->self, device);
  EXPECT_EQ(device->hdev, hdev);
  EXPECT_EQ(device->printer, printer);
  EXPECT_EQ(text16(device->printerName), queueName);
  EXPECT_EQ(device->copyCount, 3);
  EXPECT_EQ(device->copyCount, 3);
  EXPECT_FALSE(device->OutputSuppressed);
  EXPECT_EQ(device->render.options, kOptionSolidFill | kOptionDontJournal | kOptionBlackWhitePens | kOptionTrackRegion);
  EXPECT_EQ(device->render.patternKind, 3);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
}

TEST_F(EnablePdevTest, LongPrinterNamesAreCutToThirtyOneCharacters) {
  const std::u16string longName = u"A printer name that is far longer than thirty-one";
  sim::QueueSetup q = sim::queueSetup(queueName);
  q.name = longName;
  sim::addQueue(q);
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(longName.c_str()), &h, nullptr));
  DHPDEV d = DrvEnablePDEV(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, hdev, nullptr, h);
  ASSERT_NE(d, nullptr);
  PrinterDevice* device = reinterpret_cast<PrinterDevice*>(d);
  EXPECT_EQ(text16(device->printerName), longName.substr(0, 31));
  EXPECT_EQ(text16(device->settings.Public.dmDeviceName), longName.substr(0, 31));
  DrvDisablePDEV(d);
  ClosePrinter(h);
}

TEST_F(EnablePdevTest, StoredCopyCountsBelowOneCountAsOne) {
  for (LONG copies : {0, -3, 1, 7}) {
    sim::setQueueDevMode(queueName, storedDevMode([&](DriverSettings& s) { s.Private.Copies = copies; }));
    sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, privateBlock([](PrinterDataBlock&) {}));
    DHPDEV d = DrvEnablePDEV(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, hdev, nullptr, printer);
    ASSERT_NE(d, nullptr);
    PrinterDevice* device = reinterpret_cast<PrinterDevice*>(d);
    EXPECT_EQ(device->copyCount, copies > 0 ? copies : 1) << copies;
    DrvDisablePDEV(d);
  }
}

class EnablePdevFailureTest : public DriverTest {};

TEST_F(EnablePdevFailureTest, FailuresReturnNullWithTheErrorAndLeakNothing) {
  struct Case {
    sim::Api api;
    int nth;
    DWORD expectedError;
  };
  const Case cases[] = {
      {sim::api::GetPrinterW, 1, ERROR_INVALID_HANDLE},          // printer name size query
      {sim::api::GlobalAlloc, 1, ERROR_NOT_ENOUGH_MEMORY},       // the record
      {sim::api::EngCreatePalette, 1, ERROR_NOT_ENOUGH_MEMORY},  // the palette
  };
  const size_t baseline = sim::liveAllocations();
  for (const Case& c : cases) {
    sim::clearFaults();
    sim::failNth(c.api, c.nth, c.expectedError);
    SetLastError(0);
    EXPECT_EQ(enable(), nullptr) << c.api.name;
    EXPECT_EQ(GetLastError(), c.expectedError) << c.api.name;
    EXPECT_EQ(sim::liveAllocations(), baseline) << c.api.name;
    EXPECT_EQ(sim::livePalettes(), 0u) << c.api.name;
  }
}

// Every heap allocation the creation makes may fail: the call then either
// fails cleanly or, where the allocation only served an optional read,
// still succeeds; either way nothing outlives the record.
TEST_F(EnablePdevFailureTest, EachHeapAllocationFailureReleasesEverything) {
  sim::setQueueDevMode(queueName, storedDevMode([](DriverSettings&) {}));
  sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, privateBlock([](PrinterDataBlock&) {}));
  const size_t baseline = sim::liveAllocations();
  sim::clearFaults();
  PrinterDevice* reference = enable();
  ASSERT_NE(reference, nullptr);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(reference));
  const int allocations = sim::callCount(sim::api::HeapAlloc);
  ASSERT_GT(allocations, 0);
  for (int n = 1; n <= allocations; ++n) {
    sim::clearFaults();
    sim::failNth(sim::api::HeapAlloc, n, ERROR_NOT_ENOUGH_MEMORY);
    PrinterDevice* device = enable();
    if (device) DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
    EXPECT_EQ(sim::liveAllocations(), baseline) << "allocation " << n;
    EXPECT_EQ(sim::livePalettes(), 0u) << "allocation " << n;
  }
}

TEST_F(EnablePdevFailureTest, WorkingRecordFailureFailsTheDeviceWithNoMemory) {
  const size_t baseline = sim::liveAllocations();
  // Creation allocates: printer-name query buffer, then the settings'
  // working record after the record itself.
  sim::failNth(sim::api::HeapAlloc, 2, ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(0);
  EXPECT_EQ(enable(), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(sim::liveAllocations(), baseline);
}

class ResetPdevTest : public DriverTest {};

// The new record counts its own pages: the job header goes out again with
// its first page, whatever the old record had printed.
TEST_F(ResetPdevTest, NewRecordStartsItsOwnJob) {
  PrinterDevice* oldDevice = enable();
  PrinterDevice* newDevice = enable();
  ASSERT_TRUE(oldDevice && newDevice);
  oldDevice->pageCounter = 3;
  EXPECT_TRUE(DrvResetPDEV(reinterpret_cast<DHPDEV>(oldDevice), reinterpret_cast<DHPDEV>(newDevice)));
  EXPECT_EQ(newDevice->pageCounter, 0);
  EXPECT_EQ(newDevice->output.state, 0u);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(oldDevice));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(newDevice));
}

}  // namespace
