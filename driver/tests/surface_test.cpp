// DrvEnableSurface and DrvDisableSurface: band search, association,
// banding, region list, work buffers and dither tables, failures, and the
// print-processor capability check.
#include "driver_fixture.h"

using namespace driver;

namespace {

class SurfaceTest : public DriverTest {
 protected:
  // Stores settings (device mode and "Private DevMode") on the queue.
  template <class Edit>
  void storeSettings(Edit edit) {
    DriverSettings s;
    DefaultSettings(&s, queueName.c_str());
    s.SettingsSignature = kSettingsSignature;
    edit(s);
    const BYTE* p = reinterpret_cast<const BYTE*>(&s);
    sim::setQueueDevMode(queueName, std::vector<BYTE>(p, p + kStoredDevModeBytes));
    const BYTE* d = reinterpret_cast<const BYTE*>(&s.PrinterData);
    sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, std::vector<BYTE>(d, d + sizeof s.PrinterData));
  }
  DHPDEV handle(PrinterDevice* d) { return reinterpret_cast<DHPDEV>(d); }
};

TEST_F(SurfaceTest, OneBitPageIsOneUnbandedBitmapWithTheHooks) {
  PrinterDevice* device = enable();
  ASSERT_NE(device, nullptr);
  HSURF surface = DrvEnableSurface(handle(device));
  ASSERT_NE(surface, nullptr);
  std::vector<sim::BitmapRequest> requests = sim::bitmapRequests();
  ASSERT_EQ(requests.size(), 1u);
  const LONG width = (gdiInfo.ulHorzRes + 31) / 32 * 32;
  const LONG height = (gdiInfo.ulVertRes + 7) / 8 * 8;
  EXPECT_EQ(requests[0].size.cx, width);
  EXPECT_EQ(requests[0].size.cy, height);
  EXPECT_EQ(requests[0].width, width / 8);
  EXPECT_EQ(requests[0].format, ULONG(BMF_1BPP));
  EXPECT_EQ(requests[0].flags, FLONG(BMF_TOPDOWN));
  sim::SurfaceInfo info;
  ASSERT_TRUE(sim::surfaceInfo(surface, &info));
  EXPECT_TRUE(info.associated);
  EXPECT_EQ(info.hdev, hdev);
  EXPECT_EQ(info.hooks, 0x3A5FFu);
  EXPECT_FALSE(info.banding);
  EXPECT_FALSE(device->bandingMode);
  EXPECT_EQ(device->bandCount, 1);
  EXPECT_EQ(device->bands[0].exactWidth, LONG(gdiInfo.ulHorzRes));
  EXPECT_EQ(device->bands[0].exactHeight, LONG(gdiInfo.ulVertRes));
  EXPECT_EQ(device->bandSize.allocWidth, width);
  EXPECT_EQ(device->bandSize.allocHeight, height);
  EXPECT_EQ(device->bandSize.bytesPerScanline, width / 8);
  EXPECT_EQ(device->regionCount, height);
  ASSERT_NE(device->regions, nullptr);
  EXPECT_NE(device->work.buffer[kOutputStaging], nullptr);
  EXPECT_EQ(device->scratch.size, kGraphScratchBytes);

  // Both tables come from the dither pattern (entry 1, an 8 x 8 matrix
  // whose thresholds are all above 0 and at most 255).
  const auto* t7 = reinterpret_cast<const WORD(*)[16]>(device->work.buffer[kDitherTable]);
  const auto* t8 = reinterpret_cast<const WORD(*)[16]>(device->work.buffer[kFillDitherTable]);
  for (int r = 0; r < 16; ++r) {
    EXPECT_EQ(t7[0][r], 0) << r;
    EXPECT_EQ(t7[255][r], 0xFFFF) << r;
  }
  EXPECT_EQ(std::memcmp(t7, t8, 256 * 16 * sizeof(WORD)), 0);

  // A second call keeps the surface it has.
  EXPECT_EQ(DrvEnableSurface(handle(device)), surface);
  EXPECT_EQ(sim::bitmapRequests().size(), 1u);

  DrvDisableSurface(handle(device));
  EXPECT_EQ(sim::liveSurfaces(), 0u);
  EXPECT_EQ(device->surface, nullptr);
  EXPECT_EQ(device->regions, nullptr);
  EXPECT_EQ(device->work.block, nullptr);
  EXPECT_EQ(device->work.buffer[kDitherTable], nullptr);
  EXPECT_EQ(device->work.size[kOutputStaging], 0u);
  EXPECT_EQ(device->scratch.buffer, nullptr);
  DrvDisablePDEV(handle(device));
}

TEST_F(SurfaceTest, RegionListFollowsTheBandsLongSideOrIsAbsent) {
  struct Case {
    LONG orientation;
    LONG track;
  };
  for (const Case c : {Case{1, 1}, Case{2, 1}, Case{1, 0}}) {
    storeSettings([&](DriverSettings& s) {
      s.Private.Orientation = c.orientation;
      s.Private.TrackDrawnRegion = c.track;
    });
    PrinterDevice* device = enable();
    ASSERT_NE(device, nullptr);
    ASSERT_NE(DrvEnableSurface(handle(device)), nullptr);
    if (!c.track) {
      EXPECT_EQ(device->regions, nullptr);
    } else {
      EXPECT_NE(device->regions, nullptr);
      EXPECT_EQ(device->regionCount, c.orientation == 1 ? device->bandSize.allocHeight : device->bandSize.allocWidth);
    }
    DrvDisableSurface(handle(device));
    DrvDisablePDEV(handle(device));
  }
}

TEST_F(SurfaceTest, ModesWithoutAnEngineBitmapFailWithNoMemory) {
  for (LONG mode : {2, 3, 7, -1}) {
    storeSettings([&](DriverSettings& s) { s.Private.ColorMode = mode; });
    PrinterDevice* device = enable();
    ASSERT_NE(device, nullptr) << mode;
    const size_t afterPdev = sim::liveAllocations();
    SetLastError(0);
    EXPECT_EQ(DrvEnableSurface(handle(device)), nullptr) << mode;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY)) << mode;
    EXPECT_EQ(sim::liveSurfaces(), 0u);
    EXPECT_EQ(sim::liveAllocations(), afterPdev);
    DrvDisablePDEV(handle(device));
  }
}

// 8-bit pages search band counts upward until a band bitmap fits; one band
// leaves banding off, more turn it on.
TEST_F(SurfaceTest, GreyPagesUseTheFirstBandCountWhoseBitmapCanBeMade) {
  struct Case {
    ULONG byteLimit;
    LONG bands;
    LONG bandHeight;
  };
  // Model A pages are 832 x 423 grey bytes, model B pages 1224 x 598.
  const Case modelA[] = {{0, 1, 423}, {200000, 2, 212}, {120000, 3, 141}};
  const Case modelB[] = {{0, 1, 598}, {400000, 2, 299}, {120000, 7, 86}};
  storeSettings([](DriverSettings& s) { s.Private.ColorMode = 1; });
  for (const Case& c : kIsModelA ? modelA : modelB) {
    SCOPED_TRACE(c.byteLimit);
    sim::setBitmapByteLimit(0);
    PrinterDevice* device = enable();
    ASSERT_NE(device, nullptr);
    const size_t before = sim::bitmapRequests().size();
    sim::setBitmapByteLimit(c.byteLimit);
    HSURF surface = DrvEnableSurface(handle(device));
    ASSERT_NE(surface, nullptr);
    std::vector<sim::BitmapRequest> requests = sim::bitmapRequests();
    ASSERT_EQ(LONG(requests.size() - before), c.bands);
    EXPECT_EQ(requests.back().size.cy, c.bandHeight);
    EXPECT_EQ(requests.back().format, ULONG(BMF_8BPP));
    EXPECT_EQ(device->bandCount, c.bands);
    EXPECT_EQ(bool(device->bandingMode), c.bands > 1);
    sim::SurfaceInfo info;
    ASSERT_TRUE(sim::surfaceInfo(surface, &info));
    EXPECT_EQ(info.banding, c.bands > 1);
    DrvDisableSurface(handle(device));
    DrvDisablePDEV(handle(device));
  }
}

// A grey page tries every band count; a one-bit page is never banded, so
// a bitmap limit below its page fails it after the one whole-page try.
TEST_F(SurfaceTest, NoBandCountFittingFailsAfterTryingEveryCountTheModeAllows) {
  struct Case {
    LONG colorMode;
    ULONG byteLimit;
    size_t tries;
  };
  const Case cases[] = {{1, 1, 128}, {0, 1, 1}, {0, 20000, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.colorMode << ", limit " << c.byteLimit);
    storeSettings([&](DriverSettings& s) { s.Private.ColorMode = c.colorMode; });
    PrinterDevice* device = enable();
    ASSERT_NE(device, nullptr);
    const size_t before = sim::bitmapRequests().size();
    sim::setBitmapByteLimit(c.byteLimit);
    SetLastError(0);
    EXPECT_EQ(DrvEnableSurface(handle(device)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(sim::bitmapRequests().size() - before, c.tries);
    sim::setBitmapByteLimit(0);
    DrvDisablePDEV(handle(device));
  }
}

TEST_F(SurfaceTest, EngineFailuresDeleteTheBitmapAndReleaseEverything) {
  struct Case {
    sim::Api api;
    LONG colorMode;  // 1 with a byte limit forces banding
    DWORD error;
  };
  const Case cases[] = {
      {sim::api::EngAssociateSurface, 0, ERROR_INVALID_PARAMETER},
      {sim::api::EngMarkBandingSurface, 1, ERROR_INVALID_PARAMETER},
      {sim::api::EngCreateBitmap, 0, ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const Case& c : cases) {
    storeSettings([&](DriverSettings& s) { s.Private.ColorMode = c.colorMode; });
    PrinterDevice* device = enable();
    ASSERT_NE(device, nullptr);
    if (c.colorMode == 1) sim::setBitmapByteLimit(120000);
    const size_t afterPdev = sim::liveAllocations();
    sim::failFrom(c.api, 1, ERROR_GEN_FAILURE);
    SetLastError(0);
    EXPECT_EQ(DrvEnableSurface(handle(device)), nullptr) << c.api.name;
    EXPECT_EQ(GetLastError(), c.error) << c.api.name;
    EXPECT_EQ(sim::liveSurfaces(), 0u) << c.api.name;
    EXPECT_EQ(sim::liveAllocations(), afterPdev) << c.api.name;
    EXPECT_EQ(device->surface, nullptr);
    sim::clearFaults();
    sim::setBitmapByteLimit(0);
    DrvDisablePDEV(handle(device));
  }
}

TEST_F(SurfaceTest, EachBufferAllocationFailureReleasesEverything) {
  PrinterDevice* device = enable();
  ASSERT_NE(device, nullptr);
  const size_t afterPdev = sim::liveAllocations();
  // Region list, work buffers, scratch.
  for (int n = 1; n <= 3; ++n) {
    sim::clearFaults();
    sim::failNth(sim::api::HeapAlloc, n, ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(0);
    EXPECT_EQ(DrvEnableSurface(handle(device)), nullptr) << n;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY)) << n;
    EXPECT_EQ(sim::liveSurfaces(), 0u) << n;
    EXPECT_EQ(sim::liveAllocations(), afterPdev) << n;
  }
  sim::clearFaults();
  ASSERT_NE(DrvEnableSurface(handle(device)), nullptr);
  DrvDisableSurface(handle(device));
  EXPECT_EQ(sim::liveAllocations(), afterPdev);
  DrvDisablePDEV(handle(device));
}

TEST_F(SurfaceTest, DisablingTheRecordReleasesASurfaceLeftEnabled) {
  const size_t baseline = sim::liveAllocations();
  PrinterDevice* device = enable();
  ASSERT_NE(device, nullptr);
  ASSERT_NE(DrvEnableSurface(handle(device)), nullptr);
  DrvDisablePDEV(handle(device));
  EXPECT_EQ(sim::liveSurfaces(), 0u);
  EXPECT_EQ(sim::livePalettes(), 0u);
  EXPECT_EQ(sim::liveAllocations(), baseline);
}

// OutputSuppressed from features left to the print processor and what the
// processor can do.
struct SuppressCase {
  const char* name;
  DWORD attributes;
  bool capsStored;
  PRINTPROCESSOR_CAPS_1 caps;
  LONG nupOption, orderOption, copiesOption;  // FeatureSelection indices
  LONG pagesPerSheet, reverse, booklet, copies;
  bool duplexPublic;
  bool suppressed;
};

const PRINTPROCESSOR_CAPS_1 kCaps{1, 0x0B, REVERSE_PRINT | 0x2, 5};  // 1, 2 and 4 up

const SuppressCase kSuppressCases[] = {
    {"nothing left to the processor", PRINTER_ATTRIBUTE_RAW_ONLY, false, {}, 0, 0, 0, 4, 1, 1, 9, false, false},
    {"raw-only queue, copies requested", PRINTER_ATTRIBUTE_RAW_ONLY, true, kCaps, 0, 0, 1, 0, 0, 0, 2, false, true},
    {"copies within the processor's limit", 0, true, kCaps, 0, 0, 1, 0, 0, 0, 5, false, false},
    {"copies above the processor's limit", 0, true, kCaps, 0, 0, 1, 0, 0, 0, 6, false, true},
    {"caps of the wrong level", 0, true, {2, 0x0B, 3, 99}, 0, 0, 1, 0, 0, 0, 2, false, true},
    {"no caps value", 0, false, {}, 0, 0, 1, 0, 0, 0, 2, false, true},
    {"supported pages per sheet", 0, true, kCaps, 1, 0, 0, 4, 0, 0, 1, false, false},
    {"unsupported pages per sheet", 0, true, kCaps, 1, 0, 0, 3, 0, 0, 1, false, true},
    {"pages per sheet beyond the option bits", 0, true, kCaps, 1, 0, 0, 40, 0, 0, 1, false, true},
    {"no pages per sheet asked", 0, true, {1, 0, 0, 0}, 1, 0, 0, 0, 0, 0, 1, false, false},
    {"reverse order supported", 0, true, kCaps, 0, 1, 0, 0, 1, 0, 1, false, false},
    {"reverse order unsupported", 0, true, {1, 0x0B, 0x2, 5}, 0, 1, 0, 0, 1, 0, 1, false, true},
    {"booklet on a simplex device mode", 0, true, kCaps, 0, 1, 0, 0, 0, 1, 1, false, true},
    {"booklet with duplex and support", 0, true, kCaps, 0, 1, 0, 0, 0, 1, 1, true, false},
};

class SuppressTest : public SurfaceTest, public ::testing::WithParamInterface<SuppressCase> {
  void setup(sim::QueueSetup& q) override { q.attributes = GetParam().attributes; }
};

TEST_P(SuppressTest, DecidesOutputSuppressedFromTheProcessorCaps) {
  const SuppressCase& c = GetParam();
  storeSettings([&](DriverSettings& s) {
    s.PrinterData.FeatureSelection[kFeatureNup] = c.nupOption;
    s.PrinterData.FeatureSelection[kFeaturePageOrder] = c.orderOption;
    s.PrinterData.FeatureSelection[kFeatureCopies] = c.copiesOption;
    s.Private.PagesPerSheet = c.pagesPerSheet;
    s.Private.ReverseOrder = c.reverse;
    s.Private.Booklet = c.booklet;
    s.Private.Copies = c.copies;
    BuildPublicFields(&s, queueName.c_str());
    if (c.duplexPublic) {
      s.Public.dmFields |= DM_DUPLEX;
      s.Public.dmDuplex = 2;
    }
  });
  if (c.capsStored) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&c.caps);
    sim::setPrinterData(queueName, u"PrintProcCaps_NT EMF 1.006", REG_BINARY, std::vector<BYTE>(p, p + sizeof c.caps));
  }
  PrinterDevice* device = enable();
  ASSERT_NE(device, nullptr);
  ASSERT_NE(DrvEnableSurface(handle(device)), nullptr);
  EXPECT_EQ(bool(device->OutputSuppressed), c.suppressed);
  DrvDisableSurface(handle(device));
  DrvDisablePDEV(handle(device));
}

INSTANTIATE_TEST_SUITE_P(Cases, SuppressTest, ::testing::ValuesIn(kSuppressCases),
                         [](const ::testing::TestParamInfo<SuppressCase>& info) {
                           std::string n;
                           for (const char* p = info.param.name; *p; ++p)
                             n += (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
                           return n;
                         });

}  // namespace
