// Page geometry from label size and margins in portrait and both landscape
// turns, and the band layout of the printable area.
#include "bands.h"
#include "driver_fixture.h"
#include "pdev.h"

using namespace driver;

namespace {

struct GeometryCase {
  LONG orientation;
  LONG rotation;
  PageLayout layout;
  // model A, then model B
  PageGeometry a, b;
};

// Label 257 at 550 x 400 with margins left 20, right 40, top 60, bottom 80.
const GeometryCase kCases[] = {
    {1, 0, PageLayout::Portrait, {550, 400, 490, 260, 439, 319, 391, 207, 15, 47}, {550, 400, 490, 260, 647, 478, 576, 311, 23, 71}},
    {2, 1, PageLayout::LandscapeRotated, {400, 550, 260, 490, 319, 439, 207, 391, 47, 31}, {400, 550, 260, 490, 478, 647, 311, 576, 71, 47}},
    {2, 0, PageLayout::LandscapeReversed, {400, 550, 260, 490, 319, 439, 207, 391, 63, 15}, {400, 550, 260, 490, 478, 647, 311, 576, 95, 23}},
};

class GeometryTest : public DriverTest {};

TEST_F(GeometryTest, MarginsAndTurnsGiveTheTabledGeometry) {
  writeLabelFile("[257]\nLabelName=Asymmetric\nLabelWidth=550\nLabelHeight=400\nLeftMargin=20\nRightMargin=40\n"
                 "TopMargin=60\nBottomMargin=80\n");
  for (const GeometryCase& c : kCases) {
    SCOPED_TRACE(LONG(c.layout));
    static PrinterDevice device;
    ZeroMemory(&device, sizeof device);
    DefaultSettings(&device.settings, queueName.c_str());
    device.settings.Private.LabelIndex = 257;
    device.settings.Private.Orientation = c.orientation;
    device.settings.Private.LandscapeRotation = c.rotation;
    deriveRenderParameters(device);
    ASSERT_TRUE(computeGeometry(device));
    computeBandParameters(device);
    const PageGeometry& want = kIsModelA ? c.a : c.b;
    const PageGeometry& got = device.geometry;
    EXPECT_EQ(got.pageWidth, want.pageWidth);
    EXPECT_EQ(got.pageHeight, want.pageHeight);
    EXPECT_EQ(got.printableWidth, want.printableWidth);
    EXPECT_EQ(got.printableHeight, want.printableHeight);
    EXPECT_EQ(got.pageWidthDots, want.pageWidthDots);
    EXPECT_EQ(got.pageHeightDots, want.pageHeightDots);
    EXPECT_EQ(got.printableWidthDots, want.printableWidthDots);
    EXPECT_EQ(got.printableHeightDots, want.printableHeightDots);
    EXPECT_EQ(got.leftOffsetDots, want.leftOffsetDots);
    EXPECT_EQ(got.topOffsetDots, want.topOffsetDots);
    EXPECT_EQ(device.render.layout, c.layout);
  }
}

// The geometry only reads the label file: built-in labels missing from it
// stay missing.
TEST_F(GeometryTest, ComputingTheGeometryLeavesTheLabelFileAlone) {
  writeLabelFile("[257]\nLabelName=Only\nLabelWidth=550\nLabelHeight=400\n");
  const std::string before = sim::readFileBytes(labelFile());
  static PrinterDevice device;
  ZeroMemory(&device, sizeof device);
  device.settings.Private.LabelIndex = 257;
  device.settings.Private.Orientation = DMORIENT_PORTRAIT;
  deriveRenderParameters(device);
  ASSERT_TRUE(computeGeometry(device));
  EXPECT_EQ(device.geometry.pageWidth, 550);
  EXPECT_EQ(sim::readFileBytes(labelFile()), before);
}

TEST_F(GeometryTest, LabelsWithoutPrintableAreaFailTheDevice) {
  DEVMODEW dm{};
  dm.dmSize = sizeof dm;
  dm.dmFields = DM_PAPERSIZE;
  dm.dmPaperSize = 256;
  sim::setQueueDevMode(queueName, storedDevMode([](DriverSettings& s) {
                         s.Private.CustomWidth = 0;
                       }));
  sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, privateBlock([](PrinterDataBlock&) {}));
  const size_t baseline = sim::liveAllocations();
  SetLastError(0);
  EXPECT_EQ(enable(&dm), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(sim::liveAllocations(), baseline);
  EXPECT_EQ(sim::livePalettes(), 0u);
}

// Band layouts on a device whose printable area is set directly.
class BandLayoutTest : public ::testing::Test {
 protected:
  void prepare(LONG width, LONG height, ULONG bitDepth, PageLayout layout) {
    ZeroMemory(&device, sizeof device);
    device.geometry.printableWidthDots = width;
    device.geometry.printableHeightDots = height;
    device.render.bitDepth = bitDepth;
    device.banding.bandAlignment = bitDepth == 1 ? 8 : 1;
    device.render.layout = layout;
  }
  static PrinterDevice device;
};
PrinterDevice BandLayoutTest::device;

TEST_F(BandLayoutTest, PortraitStripsShareTheHeightAndTheLastTakesTheRest) {
  prepare(801, 1000, 8, PageLayout::Portrait);
  layoutBands(device, 3);
  ASSERT_EQ(device.bandCount, 3);
  const LONG exact[] = {334, 334, 332};
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(device.bands[j].x, 0);
    EXPECT_EQ(device.bands[j].y, 334 * j);
    EXPECT_EQ(device.bands[j].allocWidth, 804);
    EXPECT_EQ(device.bands[j].allocHeight, 334);
    EXPECT_EQ(device.bands[j].exactWidth, 801);
    EXPECT_EQ(device.bands[j].exactHeight, exact[j]);
    EXPECT_EQ(device.bands[j].bytesPerScanline, 804);
    EXPECT_EQ(device.bands[j].flags, 1);
  }
  EXPECT_EQ(device.wholePage.allocWidth, 804);
  EXPECT_EQ(device.wholePage.exactHeight, 1000);
}

TEST_F(BandLayoutTest, OneBitPageIsOneBandRoundedToItsUnits) {
  prepare(831, 423, 1, PageLayout::Portrait);
  layoutBands(device, 1);
  ASSERT_EQ(device.bandCount, 1);
  EXPECT_EQ(device.bands[0].allocWidth, 832);
  EXPECT_EQ(device.bands[0].allocHeight, 424);
  EXPECT_EQ(device.bands[0].bytesPerScanline, 104);
  EXPECT_EQ(device.bands[0].exactHeight, 423);
  EXPECT_EQ(std::memcmp(&device.bands[0], &device.wholePage, sizeof(BandEntry)), 0);
}

TEST_F(BandLayoutTest, LandscapeStripsRunLeftToRightOrRightToLeft) {
  for (PageLayout layout : {PageLayout::LandscapeRotated, PageLayout::LandscapeReversed}) {
    SCOPED_TRACE(LONG(layout));
    prepare(1000, 301, 8, layout);
    layoutBands(device, 3);
    ASSERT_EQ(device.bandCount, 3);
    const bool reversed = layout == PageLayout::LandscapeReversed;
    for (int j = 0; j < 3; ++j) {
      const int strip = reversed ? 2 - j : j;
      EXPECT_EQ(device.bands[j].x, 336 * strip);
      EXPECT_EQ(device.bands[j].y, 0);
      EXPECT_EQ(device.bands[j].allocWidth, 336);
      EXPECT_EQ(device.bands[j].allocHeight, 301);
      EXPECT_EQ(device.bands[j].exactWidth, strip == 2 ? 328 : 336);
      EXPECT_EQ(device.bands[j].exactHeight, 301);
    }
  }
}

TEST_F(BandLayoutTest, BandCountsAreClampedAndFollowTheStripSize) {
  prepare(100, 10, 8, PageLayout::Portrait);
  layoutBands(device, 500);
  EXPECT_EQ(device.bandCount, 10);  // one-line strips
  layoutBands(device, 0);
  EXPECT_EQ(device.bandCount, 1);
  EXPECT_EQ(bandEstimate(4096, 4096, 1), 1);
  EXPECT_EQ(bandEstimate(4097, 4096, 1), 2);
  EXPECT_EQ(bandEstimate(40000, 40000, 3), 128);
  EXPECT_EQ(bandEstimate(0, 100, 1), 1);
}

}  // namespace
