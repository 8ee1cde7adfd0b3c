// The simulated GDI engine: bitmaps and surfaces, association, erase,
// palettes, faults, and the solid fills of EngBitBlt.
#include <gtest/gtest.h>

#include <vector>

#include <windows.h>
#include <winddi.h>

#include "sim/engine.h"
#include "sim/world.h"

namespace {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::reset(); }
  void TearDown() override { sim::reset(); }
  HSURF create(LONG cx, LONG cy, LONG delta, ULONG format, FLONG fl = BMF_TOPDOWN) {
    return reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{cx, cy}, delta, format, fl, nullptr));
  }
};

TEST_F(EngineTest, BitmapsHaveTheRequestedShapeAndAreZeroed) {
  struct Case {
    LONG cx, cy, delta;
    ULONG format;
    FLONG fl;
    LONG expectedDelta;
  };
  const Case cases[] = {
      {64, 8, 8, BMF_1BPP, BMF_TOPDOWN, 8},
      {33, 2, 0, BMF_1BPP, BMF_TOPDOWN, 8},  // rounded to 32 bits
      {10, 3, 12, BMF_8BPP, 0, 12},          // bottom-up
  };
  for (const Case& c : cases) {
    HSURF h = create(c.cx, c.cy, c.delta, c.format, c.fl);
    ASSERT_NE(h, nullptr);
    SURFOBJ* so = EngLockSurface(h);
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->sizlBitmap.cx, c.cx);
    EXPECT_EQ(so->iBitmapFormat, c.format);
    EXPECT_EQ(so->cjBits, ULONG(c.expectedDelta * c.cy));
    EXPECT_EQ(so->lDelta, (c.fl & BMF_TOPDOWN) ? c.expectedDelta : -c.expectedDelta);
    const BYTE* bits = static_cast<const BYTE*>(so->pvBits);
    for (ULONG i = 0; i < so->cjBits; ++i) ASSERT_EQ(bits[i], 0);
    EngUnlockSurface(so);
    EXPECT_TRUE(EngDeleteSurface(h));
  }
  EXPECT_EQ(sim::liveSurfaces(), 0u);
  EXPECT_EQ(sim::bitmapRequests().size(), 3u);
}

TEST_F(EngineTest, RefusesBadShapesLimitsAndScriptedFaults) {
  EXPECT_EQ(create(0, 5, 0, BMF_1BPP), nullptr);
  EXPECT_EQ(create(64, 1, 4, BMF_1BPP), nullptr);  // scanline shorter than the width
  EXPECT_EQ(create(8, 8, 0, 0), nullptr);
  sim::setBitmapByteLimit(63);
  EXPECT_EQ(create(64, 8, 8, BMF_1BPP), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  sim::setBitmapByteLimit(64);
  EXPECT_NE(create(64, 8, 8, BMF_1BPP), nullptr);
  sim::failNth(sim::api::EngCreateBitmap, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(create(64, 8, 8, BMF_1BPP), nullptr);
  EXPECT_EQ(sim::liveSurfaces(), 1u);
  EXPECT_FALSE(EngDeleteSurface(reinterpret_cast<HSURF>(0x1234)));
}

TEST_F(EngineTest, AssociationRecordsHooksAndTheBoundDevice) {
  HSURF h = create(32, 4, 4, BMF_1BPP);
  HDEV hdev = reinterpret_cast<HDEV>(0x77);
  DHPDEV dhpdev = reinterpret_cast<DHPDEV>(0x99);
  sim::bindDevice(hdev, dhpdev);
  sim::failNth(sim::api::EngAssociateSurface, 1, ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(EngAssociateSurface(h, hdev, 0x3A5FF));
  ASSERT_TRUE(EngAssociateSurface(h, hdev, 0x3A5FF));
  ASSERT_TRUE(EngMarkBandingSurface(h));
  sim::SurfaceInfo info;
  ASSERT_TRUE(sim::surfaceInfo(h, &info));
  EXPECT_EQ(info.hooks, 0x3A5FFu);
  EXPECT_EQ(info.hdev, hdev);
  EXPECT_TRUE(info.banding);
  EXPECT_EQ(EngLockSurface(h)->dhpdev, dhpdev);
}

TEST_F(EngineTest, EraseAndSolidBlitsFillOneAndEightBitBitmaps) {
  HSURF mono = create(16, 2, 4, BMF_1BPP);
  SURFOBJ* so = EngLockSurface(mono);
  RECTL all{0, 0, 16, 2};
  ASSERT_TRUE(EngEraseSurface(so, &all, 1));
  const BYTE* bits = static_cast<const BYTE*>(so->pvBits);
  EXPECT_EQ(bits[0], 0xFF);
  EXPECT_EQ(bits[1], 0xFF);
  EXPECT_EQ(bits[2], 0x00);  // padding beyond the width stays
  BRUSHOBJ black{0, nullptr, 0};
  RECTL part{3, 1, 11, 2};
  ASSERT_TRUE(EngBitBlt(so, nullptr, nullptr, nullptr, nullptr, &part, nullptr, nullptr, &black, nullptr, 0xF0F0));
  EXPECT_EQ(bits[4], 0xE0);
  EXPECT_EQ(bits[5], 0x1F);
  EXPECT_EQ(bits[0], 0xFF);

  HSURF grey = create(4, 2, 4, BMF_8BPP);
  SURFOBJ* g = EngLockSurface(grey);
  RECTL cell{1, 0, 3, 1};
  BRUSHOBJ level{0x80, nullptr, 0};
  ASSERT_TRUE(EngBitBlt(g, nullptr, nullptr, nullptr, nullptr, &cell, nullptr, nullptr, &level, nullptr, 0xF0F0));
  const BYTE* gb = static_cast<const BYTE*>(g->pvBits);
  EXPECT_EQ(std::vector<BYTE>(gb, gb + 8), (std::vector<BYTE>{0, 0x80, 0x80, 0, 0, 0, 0, 0}));
  sim::failNth(sim::api::EngEraseSurface, 1, ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(EngEraseSurface(g, &cell, 0));
}

TEST_F(EngineTest, PalettesKeepTheirColoursUntilDeleted) {
  ULONG colors[2] = {0x000000, 0xFFFFFF};
  HPALETTE p = EngCreatePalette(PAL_INDEXED, 2, colors, 0, 0, 0);
  ASSERT_NE(p, nullptr);
  ULONG mode = 0;
  EXPECT_EQ(sim::paletteColors(p, &mode), (std::vector<ULONG>{0, 0xFFFFFF}));
  EXPECT_EQ(mode, ULONG(PAL_INDEXED));
  EXPECT_EQ(EngCreatePalette(PAL_INDEXED, 0, nullptr, 0, 0, 0), nullptr);
  sim::failNth(sim::api::EngCreatePalette, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(EngCreatePalette(PAL_INDEXED, 2, colors, 0, 0, 0), nullptr);
  EXPECT_EQ(sim::livePalettes(), 1u);
  EXPECT_TRUE(EngDeletePalette(p));
  EXPECT_FALSE(EngDeletePalette(p));
  EXPECT_EQ(sim::livePalettes(), 0u);
}

// Clip objects as GDI hands them to a driver: the bounds and complexity
// describe the region where it meets the drawing, the enumeration hands out
// the region's whole rectangles.
TEST_F(EngineTest, ClipObjectsDescribeTheRegionWhereItMeetsTheDrawing) {
  const std::vector<RECTL> twoBars{{0, 0, 10, 100}, {50, 0, 60, 100}};
  struct Case {
    const char* name;
    std::vector<RECTL> region;
    RECTL drawing;
    BYTE complexity;
    BYTE fComplexity;
    RECTL bounds;
    std::vector<RECTL> relevant;  // enumerated with bAll FALSE
  };
  const Case cases[] = {
      {"InsideOneRectangle", twoBars, {2, 2, 8, 8}, DC_TRIVIAL, FC_RECT4, {2, 2, 8, 8}, {{0, 0, 10, 100}}},
      {"AcrossOneEdge", twoBars, {5, 5, 20, 20}, DC_RECT, FC_RECT4, {5, 5, 10, 20}, {{0, 0, 10, 100}}},
      {"OverBothBars", twoBars, {5, 40, 55, 45}, DC_COMPLEX, FC_RECT4, {5, 40, 55, 45}, twoBars},
      {"OneRectangleRegion", {{0, 0, 30, 30}}, {20, 20, 40, 40}, DC_RECT, FC_RECT, {20, 20, 30, 30}, {{0, 0, 30, 30}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CLIPOBJ clip;
    sim::makeClip(&clip, c.region, c.drawing);
    EXPECT_EQ(clip.iDComplexity, c.complexity);
    EXPECT_EQ(clip.iFComplexity, c.fComplexity);
    EXPECT_EQ(clip.iMode, TC_RECTANGLES);
    EXPECT_EQ(clip.rclBounds.left, c.bounds.left);
    EXPECT_EQ(clip.rclBounds.top, c.bounds.top);
    EXPECT_EQ(clip.rclBounds.right, c.bounds.right);
    EXPECT_EQ(clip.rclBounds.bottom, c.bounds.bottom);
    for (BOOL all : {FALSE, TRUE}) {
      const std::vector<RECTL>& expected = all ? c.region : c.relevant;
      EXPECT_EQ(CLIPOBJ_cEnumStart(&clip, all, CT_RECTANGLES, CD_ANY, 0), ULONG(expected.size()));
      std::vector<RECTL> got;
      ENUMRECTS one;
      BOOL more;
      do {
        more = CLIPOBJ_bEnum(&clip, sizeof one, reinterpret_cast<ULONG*>(&one));
        for (ULONG i = 0; i < one.c; ++i) got.push_back(one.arcl[i]);
      } while (more);
      ASSERT_EQ(got.size(), expected.size()) << "bAll " << all;
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].left, expected[i].left);
        EXPECT_EQ(got[i].top, expected[i].top);
        EXPECT_EQ(got[i].right, expected[i].right);
        EXPECT_EQ(got[i].bottom, expected[i].bottom);
      }
    }
  }
}

}  // namespace
