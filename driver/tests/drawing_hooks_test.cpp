// Drawing hooks reach their engine fall-back with the caller's result, an
// engine failure included; the font queries report no device fonts.
#include "driver_fixture.h"

using namespace driver;

namespace {

struct HookCase {
  sim::Api engine;
  BOOL (*call)(SURFOBJ* so);
};

RECTL gRect{0, 0, 8, 8};
POINTL gPoint{0, 0};

const HookCase kHooks[] = {
    {sim::api::EngBitBlt, [](SURFOBJ* so) { return DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &gRect, nullptr, nullptr, nullptr, nullptr, 0xCCCC); }},
    {sim::api::EngStretchBlt, [](SURFOBJ* so) { return DrvStretchBlt(so, so, nullptr, nullptr, nullptr, nullptr, nullptr, &gRect, &gRect, nullptr, HALFTONE); }},
    {sim::api::EngCopyBits, [](SURFOBJ* so) { return DrvCopyBits(so, so, nullptr, nullptr, &gRect, nullptr); }},
    {sim::api::EngStretchBlt, [](SURFOBJ* so) { return DrvCopyBits(so, so, nullptr, nullptr, &gRect, &gPoint); }},
    {sim::api::EngAlphaBlend, [](SURFOBJ* so) { return DrvAlphaBlend(so, so, nullptr, nullptr, &gRect, &gRect, nullptr); }},
    {sim::api::EngGradientFill, [](SURFOBJ* so) { return DrvGradientFill(so, nullptr, nullptr, nullptr, 0, nullptr, 0, &gRect, &gPoint, 0); }},
    {sim::api::EngPlgBlt, [](SURFOBJ* so) { return DrvPlgBlt(so, so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &gRect, nullptr, HALFTONE); }},
    {sim::api::EngStretchBltROP, [](SURFOBJ* so) { return DrvStretchBltROP(so, so, nullptr, nullptr, nullptr, nullptr, nullptr, &gRect, &gRect, nullptr, HALFTONE, nullptr, 0xCCCC); }},
    {sim::api::EngTransparentBlt, [](SURFOBJ* so) { return DrvTransparentBlt(so, so, nullptr, nullptr, &gRect, &gRect, 0, 0); }},
    {sim::api::EngTextOut, [](SURFOBJ* so) { return DrvTextOut(so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0x0D0D); }},
    {sim::api::EngPaint, [](SURFOBJ* so) { return DrvPaint(so, nullptr, nullptr, nullptr, 0x0D0D); }},
    {sim::api::EngFillPath, [](SURFOBJ* so) { return DrvFillPath(so, nullptr, nullptr, nullptr, nullptr, 0x0D0D, 0); }},
    {sim::api::EngStrokeAndFillPath, [](SURFOBJ* so) { return DrvStrokeAndFillPath(so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0x0D0D, 0); }},
    {sim::api::EngLineTo, [](SURFOBJ* so) { return DrvLineTo(so, nullptr, nullptr, 0, 0, 4, 4, &gRect, 0x0D0D); }},
    {sim::api::EngStrokePath, [](SURFOBJ* so) { return DrvStrokePath(so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0x0D0D); }},
};

class DrawingHookTest : public DriverTest {};

TEST_F(DrawingHookTest, EachHookReturnsWhatItsEngineServiceReturns) {
  PrinterDevice* device = enable();
  ASSERT_NE(device, nullptr);
  HSURF surface = DrvEnableSurface(reinterpret_cast<DHPDEV>(device));
  ASSERT_NE(surface, nullptr);
  SURFOBJ* so = EngLockSurface(surface);
  ASSERT_NE(so, nullptr);
  ASSERT_EQ(so->dhpdev, reinterpret_cast<DHPDEV>(device));
  for (const HookCase& h : kHooks) {
    SCOPED_TRACE(h.engine.name);
    const int before = sim::callCount(h.engine);
    EXPECT_TRUE(h.call(so));
    EXPECT_EQ(sim::callCount(h.engine), before + 1);
    sim::failNth(h.engine, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(h.call(so));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    sim::clearFaults();
  }
  DrvDisableSurface(reinterpret_cast<DHPDEV>(device));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
}

TEST_F(DrawingHookTest, NoDeviceFontsAndBitmapGlyphs) {
  PrinterDevice* device = enable();
  ASSERT_NE(device, nullptr);
  DHPDEV d = reinterpret_cast<DHPDEV>(device);
  EXPECT_EQ(DrvQueryFont(d, 0, 1, nullptr), nullptr);
  EXPECT_EQ(DrvQueryFontTree(d, 0, 1, 0, nullptr), nullptr);
  EXPECT_EQ(DrvQueryFontData(d, nullptr, 0, 0, nullptr, nullptr, 0), LONG(FD_ERROR));
  EXPECT_EQ(DrvGetGlyphMode(d, nullptr), ULONG(FO_GLYPHBITS));
  EXPECT_EQ(DrvQueryGlyphAttrs(nullptr, 0), nullptr);
  DrvDisablePDEV(d);
}

}  // namespace
