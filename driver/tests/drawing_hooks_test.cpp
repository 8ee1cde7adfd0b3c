// Drawing hooks reach their engine fall-back with the caller's result, an
// engine failure included, and hand it a record's call untouched when the
// record fails the validity test; the font queries report no device fonts.
#include <tuple>

#include "driver_fixture.h"

using namespace driver;

namespace {

// Every drawing hook with the arguments below, and the engine service it
// falls back to for a record that fails the validity test, called directly
// with the same arguments.
struct HookCase {
  sim::Api engine;  // the service a valid record ends in
  BOOL (*call)(SURFOBJ* so);
  BOOL (*direct)(SURFOBJ* so);
};

RECTL gRect{0, 0, 8, 8};
POINTL gPoint{0, 0};
POINTL gOrigin{10, 600};
BRUSHOBJ* gBrush = nullptr;
CLIPOBJ* gClip = nullptr;
constexpr ULONG kColorOnColor = 3;

const HookCase kHooks[] = {
    {sim::api::EngBitBlt,
     [](SURFOBJ* so) { return DrvBitBlt(so, nullptr, nullptr, gClip, nullptr, &gRect, nullptr, nullptr, gBrush, &gOrigin, 0xCCCC); },
     [](SURFOBJ* so) { return EngBitBlt(so, nullptr, nullptr, gClip, nullptr, &gRect, nullptr, nullptr, gBrush, &gOrigin, 0xCCCC); }},
    {sim::api::EngStretchBlt,
     [](SURFOBJ* so) { return DrvStretchBlt(so, so, nullptr, gClip, nullptr, nullptr, &gOrigin, &gRect, &gRect, nullptr, kColorOnColor); },
     [](SURFOBJ* so) { return EngStretchBlt(so, so, nullptr, gClip, nullptr, nullptr, &gOrigin, &gRect, &gRect, nullptr, kColorOnColor); }},
    {sim::api::EngCopyBits,
     [](SURFOBJ* so) { return DrvCopyBits(so, so, gClip, nullptr, &gRect, nullptr); },
     [](SURFOBJ* so) { return EngCopyBits(so, so, gClip, nullptr, &gRect, nullptr); }},
    {sim::api::EngStretchBlt,
     [](SURFOBJ* so) { return DrvCopyBits(so, so, gClip, nullptr, &gRect, &gPoint); },
     [](SURFOBJ* so) { return EngCopyBits(so, so, gClip, nullptr, &gRect, &gPoint); }},
    {sim::api::EngAlphaBlend,
     [](SURFOBJ* so) { return DrvAlphaBlend(so, so, gClip, nullptr, &gRect, &gRect, nullptr); },
     [](SURFOBJ* so) { return EngAlphaBlend(so, so, gClip, nullptr, &gRect, &gRect, nullptr); }},
    {sim::api::EngGradientFill,
     [](SURFOBJ* so) { return DrvGradientFill(so, gClip, nullptr, nullptr, 0, nullptr, 0, &gRect, &gOrigin, 0); },
     [](SURFOBJ* so) { return EngGradientFill(so, gClip, nullptr, nullptr, 0, nullptr, 0, &gRect, &gOrigin, 0); }},
    {sim::api::EngPlgBlt,
     [](SURFOBJ* so) { return DrvPlgBlt(so, so, nullptr, gClip, nullptr, nullptr, &gOrigin, nullptr, &gRect, nullptr, kColorOnColor); },
     [](SURFOBJ* so) { return EngPlgBlt(so, so, nullptr, gClip, nullptr, nullptr, &gOrigin, nullptr, &gRect, nullptr, kColorOnColor); }},
    {sim::api::EngStretchBltROP,
     [](SURFOBJ* so) { return DrvStretchBltROP(so, so, nullptr, gClip, nullptr, nullptr, &gOrigin, &gRect, &gRect, nullptr, kColorOnColor, gBrush, 0xCCCC); },
     [](SURFOBJ* so) { return EngStretchBltROP(so, so, nullptr, gClip, nullptr, nullptr, &gOrigin, &gRect, &gRect, nullptr, kColorOnColor, gBrush, 0xCCCC); }},
    {sim::api::EngTransparentBlt,
     [](SURFOBJ* so) { return DrvTransparentBlt(so, so, gClip, nullptr, &gRect, &gRect, 0, 0); },
     [](SURFOBJ* so) { return EngTransparentBlt(so, so, gClip, nullptr, &gRect, &gRect, 0, 0); }},
    {sim::api::EngTextOut,
     [](SURFOBJ* so) { return DrvTextOut(so, nullptr, nullptr, gClip, nullptr, &gRect, gBrush, gBrush, &gOrigin, 0x0D0D); },
     [](SURFOBJ* so) { return EngTextOut(so, nullptr, nullptr, gClip, nullptr, &gRect, gBrush, gBrush, &gOrigin, 0x0D0D); }},
    {sim::api::EngPaint,
     [](SURFOBJ* so) { return DrvPaint(so, gClip, gBrush, &gOrigin, 0x0D0D); },
     [](SURFOBJ* so) { return EngPaint(so, gClip, gBrush, &gOrigin, 0x0D0D); }},
    {sim::api::EngFillPath,
     [](SURFOBJ* so) { return DrvFillPath(so, nullptr, gClip, gBrush, &gOrigin, 0x0D0D, 0); },
     [](SURFOBJ* so) { return EngFillPath(so, nullptr, gClip, gBrush, &gOrigin, 0x0D0D, 0); }},
    {sim::api::EngStrokeAndFillPath,
     [](SURFOBJ* so) { return DrvStrokeAndFillPath(so, nullptr, gClip, nullptr, gBrush, nullptr, gBrush, &gOrigin, 0x0D0D, 0); },
     [](SURFOBJ* so) { return EngStrokeAndFillPath(so, nullptr, gClip, nullptr, gBrush, nullptr, gBrush, &gOrigin, 0x0D0D, 0); }},
    {sim::api::EngLineTo,
     [](SURFOBJ* so) { return DrvLineTo(so, gClip, gBrush, 0, 0, 4, 4, &gRect, 0x0D0D); },
     [](SURFOBJ* so) { return EngLineTo(so, gClip, gBrush, 0, 0, 4, 4, &gRect, 0x0D0D); }},
    {sim::api::EngStrokePath,
     [](SURFOBJ* so) { return DrvStrokePath(so, nullptr, gClip, nullptr, gBrush, &gOrigin, nullptr, 0x0D0D); },
     [](SURFOBJ* so) { return EngStrokePath(so, nullptr, gClip, nullptr, gBrush, &gOrigin, nullptr, 0x0D0D); }},
};

// What a hook can change on its way to the engine.
auto handedOver(const sim::EngineCall& c) {
  return std::make_tuple(c.name, c.dest, c.hasBrush, c.brushColor, c.opaqueColor, c.hasBrushOrigin, c.brushOrigin.x,
                         c.brushOrigin.y, c.hasColorAdjust, c.mode, c.rop, c.hasRect, c.rect.right, c.hasSourcePoint,
                         c.line.right);
}

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

// A grey-mode record whose end signature is broken: each hook hands the
// engine exactly what it was given (no grey brush, no shifted origin, the
// caller's stretch mode and colour adjustment), and sets no error.
TEST_F(DrawingHookTest, AnInvalidRecordReachesEachEngineServiceUntouched) {
  std::vector<BYTE> appMode = storedDevMode([](DriverSettings& s) { s.Private.ColorMode = 1; });
  DRVENABLEDATA ded{};
  ASSERT_TRUE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof ded, &ded));
  sim::bindDriver(ded);
  PrinterDevice* device = enable(reinterpret_cast<DEVMODEW*>(appMode.data()));
  ASSERT_NE(device, nullptr);
  device->bandOrigin = POINTL{0, 500};
  HSURF surface = DrvEnableSurface(reinterpret_cast<DHPDEV>(device));
  ASSERT_NE(surface, nullptr);
  SURFOBJ* so = EngLockSurface(surface);
  ASSERT_NE(so, nullptr);
  PrinterDevice copy = *device;
  copy.signatureEnd = 0;
  SURFOBJ foreign = *so;
  foreign.dhpdev = reinterpret_cast<DHPDEV>(&copy);
  BRUSHOBJ brush;
  sim::makeBrush(&brush, so, 0x00FF00);  // green: a grey level the driver would substitute
  CLIPOBJ clip;
  sim::makeClip(&clip, {RECTL{0, 0, 4, 8}}, gRect);
  gBrush = &brush, gClip = &clip;
  for (const HookCase& h : kHooks) {
    SCOPED_TRACE(h.engine.name);
    sim::clearEngineCalls();
    SetLastError(0xDEADBEEF);
    EXPECT_TRUE(h.call(&foreign));
    EXPECT_EQ(GetLastError(), 0xDEADBEEFu);
    const std::vector<sim::EngineCall> hooked = sim::engineCalls();
    sim::clearEngineCalls();
    h.direct(&foreign);
    const std::vector<sim::EngineCall> direct = sim::engineCalls();
    ASSERT_EQ(hooked.size(), 1u);
    ASSERT_EQ(direct.size(), 1u);
    EXPECT_EQ(handedOver(hooked[0]), handedOver(direct[0]));
  }
  gBrush = nullptr, gClip = nullptr;
  sim::forgetBrush(&brush);
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
