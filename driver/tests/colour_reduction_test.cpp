// Drawing hooks' colour reduction: grey levels, dither brushes, brush
// realization, grey brushes and pens, the driver's own pattern fills, the
// halftoned transfers, escapes, and records that fail the validity test.
#include <algorithm>
#include <cstring>
#include <tuple>

#include "colour.h"
#include "dither.h"
#include "driver_fixture.h"
#include "sim/world.h"

using namespace driver;

namespace {

constexpr ULONG kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// A device of this model with its surface, one-bit or grey, and the
// engine bound to the driver's hook table so brushes realize through it.
class DrawingTest : public DriverTest {
 protected:
  void start(bool grey, LONG solidFill = 1, LONG track = 0) {
    std::vector<BYTE> appMode = storedDevMode([&](DriverSettings& s) {
      s.Private.ColorMode = grey ? 1 : 0;
      s.Private.DriverSolidFill = solidFill;
      s.Private.TrackDrawnRegion = track;
    });
    DRVENABLEDATA ded{};
    ASSERT_TRUE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof ded, &ded));
    sim::bindDriver(ded);
    device = enable(reinterpret_cast<DEVMODEW*>(appMode.data()));
    ASSERT_NE(device, nullptr);
    HSURF surface = DrvEnableSurface(dhpdev());
    ASSERT_NE(surface, nullptr);
    so = EngLockSurface(surface);
    ASSERT_NE(so, nullptr);
    ASSERT_EQ(so->iBitmapFormat, ULONG(grey ? BMF_8BPP : BMF_1BPP));
    RECTL all{0, 0, so->sizlBitmap.cx, so->sizlBitmap.cy};
    EngEraseSurface(so, &all, grey ? 255 : 1);
    sim::clearEngineCalls();
  }
  void TearDown() override {
    if (device) {
      DrvDisableSurface(dhpdev());
      DrvDisablePDEV(dhpdev());
    }
    DriverTest::TearDown();
  }
  DHPDEV dhpdev() const { return reinterpret_cast<DHPDEV>(device); }
  ULONG pixel(LONG x, LONG y) const {
    const BYTE* row = static_cast<const BYTE*>(so->pvScan0) + ptrdiff_t(y) * so->lDelta;
    return so->iBitmapFormat == BMF_1BPP ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x];
  }
  std::vector<sim::EngineCall> calls(const std::string& name) const {
    std::vector<sim::EngineCall> out;
    for (const sim::EngineCall& c : sim::engineCalls())
      if (c.name == name) out.push_back(c);
    return out;
  }
  const WORD* fillTable() { return &(*ditherTable(*device, kFillDitherTable))[0][0]; }

  PrinterDevice* device = nullptr;
  SURFOBJ* so = nullptr;
};

// --- grey levels and dithers ---------------------------------------------

struct LevelCase {
  const char* name;
  ULONG color;
  ULONG grey;
};
class DitherColorLevels : public DrawingTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(DitherColorLevels, OneBitWritesTheLevelsPatternRowsTwicePerWord) {
  start(false);
  EXPECT_EQ(GreyLevel(GetParam().color), GetParam().grey);
  ULONG out[16] = {};
  EXPECT_EQ(DrvDitherColor(dhpdev(), DM_DEFAULT, GetParam().color, out), ULONG(DCR_DRIVER));
  const DitherTable* table = ditherTable(*device, kDitherTable);
  ASSERT_NE(table, nullptr);
  for (int r = 0; r < 16; ++r) {
    const ULONG w = (*table)[GetParam().grey][r];
    EXPECT_EQ(out[r], w | (w << 16)) << "row " << r;
  }
  if (GetParam().grey == 255) {
    for (ULONG w : out) EXPECT_EQ(w, 0xFFFFFFFFu);  // white prints nothing
  }
}

TEST_P(DitherColorLevels, GreyModeWritesTheLevel) {
  start(true);
  ULONG out[16] = {};
  EXPECT_EQ(DrvDitherColor(dhpdev(), DM_DEFAULT, GetParam().color, out), ULONG(DCR_DRIVER));
  EXPECT_EQ(out[0], GetParam().grey);
}

INSTANTIATE_TEST_SUITE_P(Colours, DitherColorLevels,
                         ::testing::Values(LevelCase{"White", kWhite, 255}, LevelCase{"Red", kRed, 79},
                                           LevelCase{"Green", kGreen, 143}, LevelCase{"Blue", kBlue, 31},
                                           LevelCase{"Black", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DrawingTest, DitherColorWithoutAPatternKindIsSolid) {
  start(false);
  device->render.patternKind = 0;
  ULONG out[16] = {};
  EXPECT_EQ(DrvDitherColor(dhpdev(), DM_DEFAULT, kRed, out), ULONG(DCR_SOLID));
}

TEST_F(DrawingTest, DitherColorBuildsThePatternWhenTable7IsAbsent) {
  start(false);
  ULONG withTable[16], without[16];
  DrvDitherColor(dhpdev(), DM_DEFAULT, kGreen, withTable);
  const ULONG size = device->work.size[kDitherTable];
  device->work.size[kDitherTable] = 0;
  EXPECT_EQ(DrvDitherColor(dhpdev(), DM_DEFAULT, kGreen, without), ULONG(DCR_DRIVER));
  device->work.size[kDitherTable] = size;
  EXPECT_EQ(0, std::memcmp(withTable, without, sizeof without));
}

// --- brush realization ---------------------------------------------------

struct RealizeCase {
  const char* name;
  ULONG hatch;
  BOOL realized;
  DWORD error;
  WORD grey;
};
class RealizeBrush : public DrawingTest, public ::testing::WithParamInterface<RealizeCase> {};

TEST_P(RealizeBrush, OnlySolidDitherColours) {
  start(false);
  BRUSHOBJ brush{};
  SetLastError(0xDEADBEEF);
  EXPECT_EQ(DrvRealizeBrush(&brush, so, nullptr, nullptr, nullptr, GetParam().hatch), GetParam().realized);
  if (!GetParam().realized) {
    EXPECT_EQ(GetLastError(), GetParam().error);
    EXPECT_EQ(brush.pvRbrush, nullptr);
    return;
  }
  const DeviceBrush* r = static_cast<const DeviceBrush*>(brush.pvRbrush);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->color, GetParam().hatch);
  EXPECT_EQ(r->grey, GetParam().grey);
  EXPECT_EQ(r->valid, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Hatches, RealizeBrush,
    ::testing::Values(RealizeCase{"WhiteDither", 0x80FFFFFF, TRUE, 0, 255},
                      RealizeCase{"RedDither", 0x800000FF, TRUE, 0, 79},
                      RealizeCase{"Hatch3", 3, FALSE, ERROR_INVALID_PARAMETER, 0},
                      RealizeCase{"AllOnes", 0xFFFFFFFF, FALSE, ERROR_INVALID_PARAMETER, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DrawingTest, RealizeBrushAllocationFailureIsInsufficientBuffer) {
  start(false);
  BRUSHOBJ brush{};
  sim::failNth(sim::api::BRUSHOBJ_pvAllocRbrush, 1, ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(0);
  EXPECT_FALSE(DrvRealizeBrush(&brush, so, nullptr, nullptr, nullptr, 0x80000000));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

// A solid brush GDI has not realized yet is only realized for an index of
// the device's palette; any other index finds no level.
struct IndexCase {
  const char* name;
  bool grey;
  ULONG index;
  bool realized;
};
class SolidBrushIndex : public DrawingTest, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(SolidBrushIndex, IsRealizedOnlyWhenItIsAPaletteIndex) {
  start(GetParam().grey);
  BRUSHOBJ brush;
  sim::makeBrush(&brush, so, kRed);  // GDI could realize it
  brush.iSolidColor = GetParam().index;
  const int before = sim::callCount(sim::api::BRUSHOBJ_pvGetRbrush);
  const BrushLevel level = BrushGrey(*device, &brush);
  EXPECT_EQ(sim::callCount(sim::api::BRUSHOBJ_pvGetRbrush) - before, GetParam().realized ? 1 : 0);
  EXPECT_EQ(level.found, GetParam().realized);
  sim::forgetBrush(&brush);
}

INSTANTIATE_TEST_SUITE_P(Indices, SolidBrushIndex,
                         ::testing::Values(IndexCase{"OneBitWhite", false, 1, true},
                                           IndexCase{"OneBitIndex2", false, 2, false},
                                           IndexCase{"GreyIndex255", true, 255, true},
                                           IndexCase{"GreyIndex256", true, 256, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- grey mode: brushes become levels, pens black or white ----------------

class GreyPens : public DrawingTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(GreyPens, LinesAreBlackUnlessPureWhite) {
  start(true);
  BRUSHOBJ pen;
  sim::makeBrush(&pen, so, GetParam().color);
  RECTL bounds{10, 20, 60, 21};
  ASSERT_TRUE(DrvLineTo(so, nullptr, &pen, 10, 20, 60, 20, &bounds, 0x0D0D));
  auto lines = calls("EngLineTo");
  ASSERT_EQ(lines.size(), 1u);
  const ULONG expected = GetParam().color == kWhite ? 255 : 0;
  EXPECT_EQ(lines[0].brushColor, expected);
  for (LONG x = 10; x < 60; ++x) ASSERT_EQ(pixel(x, 20), expected) << x;
  sim::forgetBrush(&pen);
}

INSTANTIATE_TEST_SUITE_P(Colours, GreyPens,
                         ::testing::Values(LevelCase{"White", kWhite, 255}, LevelCase{"Red", kRed, 79},
                                           LevelCase{"NearWhite", 0xFEFEFE, 254}, LevelCase{"Black", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DrawingTest, GreyModePaintUsesTheBrushLevelAndMovesItsOriginIntoTheBand) {
  start(true);
  device->bandOrigin = POINTL{0, 500};
  BRUSHOBJ brush;
  sim::makeBrush(&brush, so, kGreen);
  CLIPOBJ clip{};
  clip.iDComplexity = DC_RECT;
  clip.rclBounds = RECTL{4, 4, 12, 12};
  POINTL origin{10, 600}, unchanged{-3, 40};
  ASSERT_TRUE(DrvPaint(so, &clip, &brush, &origin, 0x0D0D));
  ASSERT_TRUE(DrvPaint(so, &clip, &brush, &unchanged, 0x0D0D));
  auto paints = calls("EngPaint");
  ASSERT_EQ(paints.size(), 2u);
  EXPECT_EQ(paints[0].brushColor, 143u);
  EXPECT_EQ(paints[0].brushOrigin.x, 10);
  EXPECT_EQ(paints[0].brushOrigin.y, 100);
  EXPECT_EQ(paints[1].brushOrigin.x, -3);
  EXPECT_EQ(paints[1].brushOrigin.y, 40);
  EXPECT_EQ(origin.y, 600);  // the caller's point is not modified
  EXPECT_EQ(brush.iSolidColor, 0xFFFFFFFFu);
  EXPECT_EQ(pixel(5, 5), 143u);
  sim::forgetBrush(&brush);
}

// Every grey-mode hook that hands a brush or an origin to the engine: what
// the engine gets for a green brush (level 143), a red opaque brush (79),
// and an origin of (10, 600) with the band at (0, 500).
struct GreyArgs {
  SURFOBJ* so;
  SURFOBJ* source;
  BRUSHOBJ* brush;
  BRUSHOBJ* opaque;
  CLIPOBJ* clip;
  POINTL* origin;
};
RECTL gBox{0, 0, 8, 8};
struct GreyCase {
  const char* name;
  const char* engine;
  BOOL (*call)(const GreyArgs&);
  ULONG brush;        // iSolidColor the engine gets; kAny: not checked
  ULONG opaque;       // the opaque brush's; kAny: not checked
  bool shifted;       // the origin moved into the band
  ULONG mode;         // the stretch mode; kAny: not checked
};
constexpr ULONG kAny = 0xA5A5A5A5, kUnrealized = 0xFFFFFFFF;

const GreyCase kGreyCases[] = {
    {"TextOutWithOpaqueRectangle", "EngTextOut",
     [](const GreyArgs& a) { return DrvTextOut(a.so, nullptr, nullptr, a.clip, nullptr, &gBox, a.brush, a.opaque, a.origin, 0x0D0D); },
     143, 79, true, kAny},
    {"TextOutWithoutOpaqueRectangle", "EngTextOut",
     [](const GreyArgs& a) { return DrvTextOut(a.so, nullptr, nullptr, a.clip, nullptr, nullptr, a.brush, a.opaque, a.origin, 0x0D0D); },
     143, kUnrealized, true, kAny},
    {"BitBltPatCopyWithClip", "EngBitBlt",
     [](const GreyArgs& a) { return DrvBitBlt(a.so, nullptr, nullptr, a.clip, nullptr, &gBox, nullptr, nullptr, a.brush, a.origin, 0xF0F0); },
     143, kAny, true, kAny},
    {"BitBltPatCopyWithoutClip", "EngBitBlt",
     [](const GreyArgs& a) { return DrvBitBlt(a.so, nullptr, nullptr, nullptr, nullptr, &gBox, nullptr, nullptr, a.brush, a.origin, 0xF0F0); },
     kUnrealized, kAny, true, kAny},
    {"BitBltPatInvertWithClip", "EngBitBlt",
     [](const GreyArgs& a) { return DrvBitBlt(a.so, nullptr, nullptr, a.clip, nullptr, &gBox, nullptr, nullptr, a.brush, a.origin, 0x5A5A); },
     kUnrealized, kAny, true, kAny},
    {"FillPath", "EngFillPath",
     [](const GreyArgs& a) { return DrvFillPath(a.so, nullptr, a.clip, a.brush, a.origin, 0x0D0D, FP_ALTERNATEMODE); },
     143, kAny, true, kAny},
    {"StrokePathPenIsBlack", "EngStrokePath",
     [](const GreyArgs& a) { return DrvStrokePath(a.so, nullptr, a.clip, nullptr, a.brush, a.origin, nullptr, 0x0D0D); },
     0, kAny, true, kAny},
    {"StretchBltRopHalftoneOrigin", "EngStretchBltROP",
     [](const GreyArgs& a) { return DrvStretchBltROP(a.so, a.source, nullptr, a.clip, nullptr, nullptr, a.origin, &gBox, &gBox, nullptr, 3, a.brush, 0xCCCC); },
     kUnrealized, kAny, true, kAny},
    {"PlgBltIsHalftoned", "EngPlgBlt",
     [](const GreyArgs& a) { return DrvPlgBlt(a.so, a.source, nullptr, a.clip, nullptr, nullptr, a.origin, nullptr, &gBox, nullptr, 3); },
     kAny, kAny, false, HALFTONE},
};

class GreyHooks : public DrawingTest, public ::testing::WithParamInterface<GreyCase> {};

TEST_P(GreyHooks, BrushesBecomeLevelsAndOriginsMoveIntoTheBand) {
  const GreyCase& c = GetParam();
  start(true);
  device->bandOrigin = POINTL{0, 500};
  HSURF h = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{8, 8}, 0, BMF_8BPP, BMF_TOPDOWN, nullptr));
  BRUSHOBJ brush, opaque;
  sim::makeBrush(&brush, so, kGreen);
  sim::makeBrush(&opaque, so, kRed);
  CLIPOBJ clip;
  sim::makeClip(&clip, {RECTL{0, 0, 4, 8}}, gBox);
  POINTL origin{10, 600};
  ASSERT_TRUE(c.call(GreyArgs{so, EngLockSurface(h), &brush, &opaque, &clip, &origin}));
  auto made = calls(c.engine);
  ASSERT_EQ(made.size(), 1u);
  const sim::EngineCall& e = made[0];
  if (c.brush != kAny) {
    ASSERT_TRUE(e.hasBrush);
    EXPECT_EQ(e.brushColor, c.brush);
  }
  if (c.opaque != kAny) {
    ASSERT_TRUE(e.hasOpaqueBrush);
    EXPECT_EQ(e.opaqueColor, c.opaque);
  }
  ASSERT_TRUE(e.hasBrushOrigin);
  EXPECT_EQ(e.brushOrigin.x, 10);
  EXPECT_EQ(e.brushOrigin.y, c.shifted ? 100 : 600);
  if (c.mode != kAny) {
    EXPECT_EQ(e.mode, c.mode);
  }
  EXPECT_EQ(origin.y, 600);  // the caller's point is not modified
  EXPECT_EQ(brush.iSolidColor, kUnrealized);
  sim::forgetBrush(&brush);
  sim::forgetBrush(&opaque);
  EngDeleteSurface(h);
}

INSTANTIATE_TEST_SUITE_P(Hooks, GreyHooks, ::testing::ValuesIn(kGreyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- one-bit pattern fills ------------------------------------------------

// A 40 x 24 target at the band's corner, and clip regions whose rectangles
// reach well past it, as an application's clip region does.
constexpr RECTL kTarget{0, 0, 40, 24};
enum class Region { Whole, OneRect, TwoBars };
std::vector<RECTL> regionOf(Region r) {
  switch (r) {
    case Region::Whole: return {RECTL{0, 0, 200, 200}};
    case Region::OneRect: return {RECTL{8, 8, 80, 60}};
    case Region::TwoBars: return {RECTL{8, 8, 16, 60}, RECTL{30, 8, 80, 60}};
  }
  return {};
}
bool inside(const RECTL& r, LONG x, LONG y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

struct FillCase {
  const char* name;
  LONG solidFill;
  Region region;
  bool paint;            // DrvPaint of the clip, else DrvBitBlt PATCOPY of the target
  MIX mix;               // DrvPaint's mix
  ULONG color;           // black is palette index 0; red a dither colour
  bool noFillTable;      // the driver's fill cannot run
  const char* engine;    // the engine service that draws, or "" for the driver
};
class PatternFill : public DrawingTest, public ::testing::WithParamInterface<FillCase> {};

TEST_P(PatternFill, PaintsTheTargetWhereTheClipLetsItThrough) {
  const FillCase& c = GetParam();
  start(false, c.solidFill);
  if (c.noFillTable) device->work.size[kFillDitherTable] = 0;
  BRUSHOBJ brush;
  sim::makeBrush(&brush, so, c.color);
  const std::vector<RECTL> region = regionOf(c.region);
  CLIPOBJ clip;
  sim::makeClip(&clip, region, kTarget);
  RECTL target = kTarget;
  if (c.paint) {
    ASSERT_TRUE(DrvPaint(so, &clip, &brush, nullptr, c.mix));
  } else {
    ASSERT_TRUE(DrvBitBlt(so, nullptr, nullptr, &clip, nullptr, &target, nullptr, nullptr, &brush, nullptr, 0xF0F0));
  }
  const std::string engine = c.engine;
  for (const char* service : {"EngBitBlt", "EngPaint"})
    EXPECT_EQ(calls(service).size(), engine == service ? 1u : 0u) << service;
  // Inside the target and the region: black (the level-0 pattern prints
  // every dot). Anywhere else, the band stays white.
  const POINTL probes[] = {{9, 9}, {35, 20}, {20, 10}, {4, 4}, {12, 40}, {60, 10}, {35, 30}};
  for (const POINTL& p : probes) {
    const bool painted = inside(kTarget, p.x, p.y) &&
                         std::any_of(region.begin(), region.end(), [&](const RECTL& r) { return inside(r, p.x, p.y); });
    if (painted && c.color != 0) continue;  // a dither colour's dots vary
    EXPECT_EQ(pixel(p.x, p.y), painted ? 0u : 1u) << p.x << "," << p.y;
  }
  sim::forgetBrush(&brush);
}

constexpr MIX kCopyPen = 0x0D0D, kNot = 0x0606;
INSTANTIATE_TEST_SUITE_P(
    Cases, PatternFill,
    ::testing::Values(FillCase{"RectByDriver", 1, Region::OneRect, false, kCopyPen, 0, false, ""},
                      FillCase{"ComplexByDriver", 1, Region::TwoBars, false, kCopyPen, 0, false, ""},
                      FillCase{"RectByEngineWhenSolidFillIsOff", 0, Region::OneRect, false, kCopyPen, 0, false, "EngBitBlt"},
                      FillCase{"ComplexByEngineWhenSolidFillIsOff", 0, Region::TwoBars, false, kCopyPen, 0, false, "EngBitBlt"},
                      FillCase{"ComplexDitherColourByEngine", 1, Region::TwoBars, false, kCopyPen, kRed, false, "EngBitBlt"},
                      FillCase{"TrivialByEngineWithoutFillTable", 1, Region::Whole, false, kCopyPen, 0, true, "EngBitBlt"},
                      FillCase{"RectByEngineWithoutFillTable", 1, Region::OneRect, false, kCopyPen, 0, true, "EngBitBlt"},
                      FillCase{"ComplexByEngineWithoutFillTable", 1, Region::TwoBars, false, kCopyPen, 0, true, "EngBitBlt"},
                      FillCase{"PaintRectByDriver", 1, Region::OneRect, true, kCopyPen, 0, false, ""},
                      FillCase{"PaintComplexByDriver", 1, Region::TwoBars, true, kCopyPen, 0, false, ""},
                      FillCase{"PaintOtherMixByEngine", 1, Region::OneRect, true, kNot, 0, false, "EngPaint"},
                      FillCase{"PaintRectByEngineWithoutFillTable", 1, Region::OneRect, true, kCopyPen, 0, true, "EngPaint"},
                      FillCase{"PaintComplexByEngineWithoutFillTable", 1, Region::TwoBars, true, kCopyPen, 0, true, "EngPaint"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DrawingTest, TrivialClipFillUsesFillTableAndStaysInsideTheBand) {
  start(false);
  BRUSHOBJ brush;
  sim::makeBrush(&brush, so, kRed);  // not a palette colour: realized as a dither colour
  CLIPOBJ clip{};
  clip.iDComplexity = DC_TRIVIAL;
  RECTL target{-50, -50, so->sizlBitmap.cx + 500, 40};
  ASSERT_TRUE(DrvBitBlt(so, nullptr, nullptr, &clip, nullptr, &target, nullptr, nullptr, &brush, nullptr, 0xF0F0));
  EXPECT_TRUE(calls("EngBitBlt").empty());
  const WORD* table = fillTable();
  const LONG exact = device->bands[device->bandCursor].exactWidth;
  for (LONG y = 0; y < 40; ++y)
    for (LONG x = 0; x < so->sizlBitmap.cx; ++x) {
      const WORD word = table[79 * 16 + (y & 15)];
      const BYTE byte = (x >> 3) & 1 ? BYTE(word >> 8) : BYTE(word);
      const ULONG expected = x < exact ? (byte >> (7 - (x & 7))) & 1 : 1;  // padding stays white
      ASSERT_EQ(pixel(x, y), expected) << x << "," << y;
    }
  EXPECT_EQ(pixel(0, 40), 1u);
  sim::forgetBrush(&brush);
}

// --- halftoned transfers --------------------------------------------------

struct CopyCase {
  LONG destWidth, destHeight;
  POINTL from;
  RECTL source, dest;
};
class CopyBitsCut : public DrawingTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyBitsCut, BecomesAHalftonedStretchCutToTheSource) {
  start(false);
  HSURF h = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{100, 50}, 0, BMF_8BPP, BMF_TOPDOWN, nullptr));
  SURFOBJ* src = EngLockSurface(h);
  ASSERT_NE(src, nullptr);
  RECTL dest{10, 5, 10 + GetParam().destWidth, 5 + GetParam().destHeight};
  POINTL from = GetParam().from;
  ASSERT_TRUE(DrvCopyBits(so, src, nullptr, nullptr, &dest, &from));
  EXPECT_TRUE(calls("EngCopyBits").empty());
  auto stretches = calls("EngStretchBlt");
  ASSERT_EQ(stretches.size(), 1u);
  const sim::EngineCall& c = stretches[0];
  EXPECT_EQ(c.mode, ULONG(HALFTONE));
  ASSERT_TRUE(c.hasColorAdjust);
  EXPECT_EQ(0, std::memcmp(&c.colorAdjust, &device->render.colorAdjust, sizeof c.colorAdjust));
  const RECTL& s = GetParam().source;
  const RECTL& d = GetParam().dest;
  auto tuple = [](const RECTL& r) { return std::make_tuple(r.left, r.top, r.right, r.bottom); };
  EXPECT_EQ(tuple(c.sourceRect), tuple(s));
  EXPECT_EQ(tuple(c.rect), tuple(d));
  EngDeleteSurface(h);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CopyBitsCut,
                         ::testing::Values(CopyCase{120, 40, {0, 0}, RECTL{0, 0, 100, 40}, RECTL{10, 5, 110, 45}},
                                           CopyCase{80, 40, {0, 0}, RECTL{0, 0, 80, 40}, RECTL{10, 5, 90, 45}},
                                           CopyCase{80, 70, {0, 0}, RECTL{0, 0, 80, 50}, RECTL{10, 5, 90, 55}},
                                           CopyCase{120, 40, {30, 10}, RECTL{30, 10, 100, 50}, RECTL{10, 5, 80, 45}},
                                           CopyCase{40, 60, {30, 20}, RECTL{30, 20, 70, 50}, RECTL{10, 5, 50, 35}}));

TEST_F(DrawingTest, StretchBltForcesHalftoneAndTheSettingsColourAdjustment) {
  start(false);
  HSURF h = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, BMF_TOPDOWN, nullptr));
  SURFOBJ* src = EngLockSurface(h);
  RECTL dest{0, 0, 8, 8}, from{0, 0, 4, 4};
  COLORADJUSTMENT own{};
  own.caSize = sizeof own;
  own.caContrast = 7;
  ASSERT_TRUE(DrvStretchBlt(so, src, nullptr, nullptr, nullptr, nullptr, nullptr, &dest, &from, nullptr, 3));
  ASSERT_TRUE(DrvStretchBlt(so, src, nullptr, nullptr, nullptr, &own, nullptr, &dest, &from, nullptr, 3));
  auto stretches = calls("EngStretchBlt");
  ASSERT_EQ(stretches.size(), 2u);
  for (const auto& c : stretches) EXPECT_EQ(c.mode, ULONG(HALFTONE));
  EXPECT_EQ(0, std::memcmp(&stretches[0].colorAdjust, &device->render.colorAdjust, sizeof own));
  EXPECT_EQ(stretches[1].colorAdjust.caContrast, 7);
  EngDeleteSurface(h);
}

TEST_F(DrawingTest, MirroredStretchBltRopGoesThroughAOneBitBitmapAndStaysMirrored) {
  start(false);
  // 24-bit source: left half black, right half white.
  HSURF h = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{16, 4}, 0, BMF_24BPP, BMF_TOPDOWN, nullptr));
  SURFOBJ* src = EngLockSurface(h);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 8; x < 16; ++x) std::memset(static_cast<BYTE*>(src->pvScan0) + y * src->lDelta + 3 * x, 0xFF, 3);
  const size_t before = sim::bitmapRequests().size();
  RECTL dest{40, 0, 8, 4};  // right < left: mirrored
  RECTL from{0, 0, 16, 4};
  ASSERT_TRUE(DrvStretchBltROP(so, src, nullptr, nullptr, nullptr, nullptr, nullptr, &dest, &from, nullptr, 3,
                               nullptr, 0xCCCC));
  auto requests = sim::bitmapRequests();
  ASSERT_EQ(requests.size(), before + 1);  // the temporary bitmap
  EXPECT_EQ(requests.back().size.cx, 32);
  EXPECT_EQ(requests.back().size.cy, 4);
  EXPECT_EQ(requests.back().width, 4);
  EXPECT_EQ(requests.back().format, ULONG(BMF_1BPP));
  ASSERT_EQ(calls("EngStretchBlt").size(), 1u);
  auto rops = calls("EngStretchBltROP");
  ASSERT_EQ(rops.size(), 1u);
  EXPECT_EQ(rops[0].rect.left, 40);
  EXPECT_EQ(rops[0].rect.right, 8);
  EXPECT_EQ(rops[0].mode, ULONG(HALFTONE));
  EXPECT_EQ(rops[0].xlate, nullptr);
  // Mirrored once: the source's black left half lands on the right.
  EXPECT_EQ(pixel(10, 1), 1u);
  EXPECT_EQ(pixel(37, 1), 0u);
  EXPECT_EQ(sim::liveSurfaces(), size_t(2));  // the temporary bitmap is gone
  EngDeleteSurface(h);
}

TEST_F(DrawingTest, StretchBltRopFailsWhenTheTemporaryBitmapCannotBeMade) {
  start(false);
  HSURF h = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, BMF_TOPDOWN, nullptr));
  SURFOBJ* src = EngLockSurface(h);
  RECTL dest{0, 0, 8, 8}, from{0, 0, 4, 4};
  for (sim::Api step : {sim::api::EngCreateBitmap, sim::api::EngAssociateSurface}) {
    sim::failNth(step, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(DrvStretchBltROP(so, src, nullptr, nullptr, nullptr, nullptr, nullptr, &dest, &from, nullptr, 3,
                                  nullptr, 0xCCCC))
        << step.name;
    sim::clearFaults();
  }
  EXPECT_TRUE(calls("EngStretchBltROP").empty());
  EXPECT_EQ(sim::liveSurfaces(), size_t(2));
  EngDeleteSurface(h);
}

// --- escapes --------------------------------------------------------------

struct QueryCase {
  WORD escape;
  ULONG supported;
};
class QueryEscape : public DrawingTest, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryEscape, OnlyQueryAndCopyCount) {
  start(false);
  WORD queried = GetParam().escape;
  EXPECT_EQ(DrvEscape(so, QUERYESCSUPPORT, sizeof queried, &queried, 0, nullptr), GetParam().supported);
}

INSTANTIATE_TEST_SUITE_P(Escapes, QueryEscape,
                         ::testing::Values(QueryCase{QUERYESCSUPPORT, 1}, QueryCase{SETCOPYCOUNT, 1},
                                           QueryCase{PASSTHROUGH, 0}, QueryCase{20, 0}));

TEST_F(DrawingTest, SetCopyCount) {
  start(false);
  const LONG initial = device->copyCount;
  LONG out = -7;
  EXPECT_EQ(DrvEscape(so, SETCOPYCOUNT, 0, nullptr, sizeof out, &out), 1u);
  EXPECT_EQ(out, initial);  // no input: the current count
  LONG in = 5;
  EXPECT_EQ(DrvEscape(so, SETCOPYCOUNT, sizeof in, &in, sizeof out, &out), 1u);
  EXPECT_EQ(out, 5);
  EXPECT_EQ(device->copyCount, 5);
  WORD shortInput = 9;
  EXPECT_EQ(DrvEscape(so, SETCOPYCOUNT, sizeof shortInput, &shortInput, sizeof out, &out), 1u);
  EXPECT_EQ(out, 5);  // fewer than four bytes keep the count
  in = 0;
  EXPECT_EQ(DrvEscape(so, SETCOPYCOUNT, sizeof in, &in, sizeof out, &out), 1u);
  EXPECT_EQ(out, 1);  // never below one copy
  EXPECT_EQ(DrvEscape(so, PASSTHROUGH, 0, nullptr, 0, nullptr), 0u);
}

// --- records that fail the validity test ----------------------------------

TEST_F(DrawingTest, AnInvalidRecordReachesTheEngineUntouched) {
  start(true);
  PrinterDevice copy = *device;
  copy.signatureEnd = 0;  // fails the validity test
  SURFOBJ foreign = *so;
  foreign.dhpdev = reinterpret_cast<DHPDEV>(&copy);
  BRUSHOBJ brush;
  sim::makeBrush(&brush, so, kRed);
  CLIPOBJ clip{};
  clip.iDComplexity = DC_RECT;
  clip.rclBounds = RECTL{0, 0, 8, 8};
  RECTL target{0, 0, 8, 8};
  POINTL origin{30, 40};
  SetLastError(0xDEADBEEF);
  ASSERT_TRUE(DrvBitBlt(&foreign, nullptr, nullptr, &clip, nullptr, &target, nullptr, nullptr, &brush, &origin, 0xF0F0));
  ASSERT_TRUE(DrvStretchBlt(&foreign, so, nullptr, nullptr, nullptr, nullptr, nullptr, &target, &target, nullptr, 3));
  EXPECT_EQ(GetLastError(), 0xDEADBEEFu);
  auto blits = calls("EngBitBlt");
  ASSERT_EQ(blits.size(), 1u);
  EXPECT_EQ(blits[0].brushColor, 0xFFFFFFFFu);  // no grey substitution
  EXPECT_EQ(blits[0].brushOrigin.x, 30);        // no shift
  EXPECT_EQ(calls("EngStretchBlt")[0].mode, 3u);
  EXPECT_FALSE(calls("EngStretchBlt")[0].hasColorAdjust);

  DHPDEV invalid = reinterpret_cast<DHPDEV>(&copy);
  ULONG dither[16];
  SetLastError(0);
  EXPECT_EQ(DrvDitherColor(invalid, DM_DEFAULT, kRed, dither), ULONG(DCR_SOLID));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_FALSE(DrvRealizeBrush(&brush, &foreign, nullptr, nullptr, nullptr, 0x80FFFFFF));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  WORD q = SETCOPYCOUNT;
  EXPECT_EQ(DrvEscape(&foreign, QUERYESCSUPPORT, sizeof q, &q, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(DrvQueryFontData(invalid, nullptr, 0, 0, nullptr, nullptr, 0), LONG(FD_ERROR));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  sim::forgetBrush(&brush);
}

// --- drawn-region record ----------------------------------------------------

TEST_F(DrawingTest, DrawnRegionRecordWidensEachCoveredScanline) {
  start(false, 1, 1);
  ASSERT_NE(device->regions, nullptr);
  CLIPOBJ clip{};
  clip.iDComplexity = DC_RECT;
  clip.rclBounds = RECTL{20, 3, 50, 6};
  BRUSHOBJ brush;
  sim::makeBrush(&brush, so, 0);
  RECTL target{0, 0, 100, 100};
  DrvBitBlt(so, nullptr, nullptr, &clip, nullptr, &target, nullptr, nullptr, &brush, nullptr, 0xF0F0);
  RECTL bounds{5, 4, 31, 5};
  DrvLineTo(so, nullptr, &brush, 5, 4, 30, 4, &bounds, 0x0D0D);
  const bool portrait = device->render.layout == PageLayout::Portrait;
  ASSERT_TRUE(portrait);
  EXPECT_FALSE(device->regions[2].used);
  EXPECT_EQ(device->regions[3].first, 20);
  EXPECT_EQ(device->regions[3].last, 49);
  EXPECT_EQ(device->regions[4].first, 5);
  EXPECT_EQ(device->regions[4].last, 49);
  EXPECT_FALSE(device->regions[6].used);
  sim::forgetBrush(&brush);
}

}  // namespace
