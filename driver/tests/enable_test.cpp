// Driver entry: DrvEnableDriver, DrvQueryDriverInfo, the hook table, and
// the device handle check of every entry point.
#include "driver_fixture.h"

using namespace driver;

namespace {

TEST(DrvEnableDriverTest, RejectsOldEnginesAndShortEnableData) {
  struct Case {
    ULONG engine;
    ULONG cj;
    BOOL ok;
  };
  const Case cases[] = {
      {0x1FFFF, 12, FALSE}, {0x20000, 11, FALSE}, {0x20000, 12, TRUE}, {0x30000, 16, TRUE}, {0, 0, FALSE}};
  for (const Case& c : cases) {
    DRVENABLEDATA ded{};
    SetLastError(0);
    EXPECT_EQ(DrvEnableDriver(c.engine, c.cj, &ded), c.ok) << std::hex << c.engine << " cj " << c.cj;
    if (c.ok) {
      EXPECT_EQ(ded.iDriverVersion, 0x30000u);
      EXPECT_EQ(ded.c, 36u);
      EXPECT_NE(ded.pdrvfn, nullptr);
    } else {
      EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_DRIVER_LEVEL));
      EXPECT_EQ(ded.pdrvfn, nullptr);
    }
  }
}

template <class F>
PFN fn(F* f) {
  return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(f));
}

TEST(DrvEnableDriverTest, HookTableHasTheThirtySixEntriesInOrder) {
  const DRVFN expected[] = {
      {INDEX_DrvDisableDriver, fn(DrvDisableDriver)},     {INDEX_DrvEnablePDEV, fn(DrvEnablePDEV)},
      {INDEX_DrvResetPDEV, fn(DrvResetPDEV)},             {INDEX_DrvCompletePDEV, fn(DrvCompletePDEV)},
      {INDEX_DrvDisablePDEV, fn(DrvDisablePDEV)},         {INDEX_DrvEnableSurface, fn(DrvEnableSurface)},
      {INDEX_DrvDisableSurface, fn(DrvDisableSurface)},   {INDEX_DrvBitBlt, fn(DrvBitBlt)},
      {INDEX_DrvStretchBlt, fn(DrvStretchBlt)},           {INDEX_DrvCopyBits, fn(DrvCopyBits)},
      {INDEX_DrvDitherColor, fn(DrvDitherColor)},         {INDEX_DrvAlphaBlend, fn(DrvAlphaBlend)},
      {INDEX_DrvGradientFill, fn(DrvGradientFill)},       {INDEX_DrvPlgBlt, fn(DrvPlgBlt)},
      {INDEX_DrvStretchBltROP, fn(DrvStretchBltROP)},     {INDEX_DrvTransparentBlt, fn(DrvTransparentBlt)},
      {INDEX_DrvSynchronize, fn(DrvSynchronize)},         {INDEX_DrvQueryGlyphAttrs, fn(DrvQueryGlyphAttrs)},
      {INDEX_DrvTextOut, fn(DrvTextOut)},                 {INDEX_DrvGetGlyphMode, fn(DrvGetGlyphMode)},
      {INDEX_DrvRealizeBrush, fn(DrvRealizeBrush)},       {INDEX_DrvPaint, fn(DrvPaint)},
      {INDEX_DrvFillPath, fn(DrvFillPath)},               {INDEX_DrvStrokeAndFillPath, fn(DrvStrokeAndFillPath)},
      {INDEX_DrvLineTo, fn(DrvLineTo)},                   {INDEX_DrvStrokePath, fn(DrvStrokePath)},
      {INDEX_DrvStartDoc, fn(DrvStartDoc)},               {INDEX_DrvStartPage, fn(DrvStartPage)},
      {INDEX_DrvSendPage, fn(DrvSendPage)},               {INDEX_DrvEndDoc, fn(DrvEndDoc)},
      {INDEX_DrvStartBanding, fn(DrvStartBanding)},       {INDEX_DrvNextBand, fn(DrvNextBand)},
      {INDEX_DrvQueryFont, fn(DrvQueryFont)},             {INDEX_DrvQueryFontTree, fn(DrvQueryFontTree)},
      {INDEX_DrvQueryFontData, fn(DrvQueryFontData)},     {INDEX_DrvEscape, fn(DrvEscape)},
  };
  DRVENABLEDATA ded{};
  ASSERT_TRUE(DrvEnableDriver(0x20000, sizeof ded, &ded));
  ASSERT_EQ(ded.c, sizeof expected / sizeof expected[0]);
  for (ULONG i = 0; i < ded.c; ++i) {
    EXPECT_EQ(ded.pdrvfn[i].iFunc, expected[i].iFunc) << "entry " << i;
    EXPECT_EQ(ded.pdrvfn[i].pfn, expected[i].pfn) << "entry " << i;
  }
}

TEST(DrvQueryDriverInfoTest, ReportsUserModeThroughTheSizeProtocol) {
  struct Case {
    DWORD mode;
    bool buffer;
    DWORD cb;
    BOOL ok;
    DWORD error;
    DWORD needed;
  };
  const Case cases[] = {
      {DRVQUERY_USERMODE, false, 0, FALSE, ERROR_INSUFFICIENT_BUFFER, 4},
      {DRVQUERY_USERMODE, true, 3, FALSE, ERROR_INSUFFICIENT_BUFFER, 4},
      {DRVQUERY_USERMODE, true, 4, TRUE, 0, 4},
      {DRVQUERY_USERMODE, true, 5, TRUE, 0, 4},
      {2, true, 4, FALSE, ERROR_INVALID_PARAMETER, 0xAAAA},
  };
  for (const Case& c : cases) {
    DWORD value = 0xAAAA, needed = 0xAAAA;
    SetLastError(0);
    EXPECT_EQ(DrvQueryDriverInfo(c.mode, c.buffer ? &value : nullptr, c.cb, &needed), c.ok) << c.mode << "/" << c.cb;
    EXPECT_EQ(needed, c.needed);
    if (c.ok)
      EXPECT_EQ(value, 1u);
    else
      EXPECT_EQ(GetLastError(), c.error);
  }
}

class InvalidHandleTest : public DriverTest {};

// Every record-taking entry point refuses a null, foreign or freed record
// with ERROR_INVALID_PARAMETER and leaves it alone.
TEST_F(InvalidHandleTest, EntryPointsRefuseRecordsThatFailTheCheck) {
  PrinterDevice* live = enable();
  ASSERT_NE(live, nullptr);
  alignas(PrinterDevice) static BYTE foreign[sizeof(PrinterDevice)];
  ZeroMemory(foreign, sizeof foreign);
  PrinterDevice* wrongEnd = reinterpret_cast<PrinterDevice*>(foreign);
  wrongEnd->signature = kModel.signature;
  wrongEnd->size = sizeof(PrinterDevice);
  wrongEnd->signatureEnd = 0x1234;
  const std::vector<BYTE> before(foreign, foreign + sizeof foreign);

  for (DHPDEV bad : {DHPDEV(nullptr), reinterpret_cast<DHPDEV>(wrongEnd)}) {
    SURFOBJ so{};
    so.dhpdev = bad;
    POINTL pt{7, 7};
    auto expectRefused = [&](bool failed, const char* what) {
      EXPECT_TRUE(failed) << what;
      EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << what;
      SetLastError(0);
    };
    SetLastError(0);
    expectRefused(DrvEnableSurface(bad) == nullptr, "DrvEnableSurface");
    DrvDisableSurface(bad);
    expectRefused(true, "DrvDisableSurface");
    DrvCompletePDEV(bad, hdev);
    expectRefused(true, "DrvCompletePDEV");
    DrvDisablePDEV(bad);
    expectRefused(true, "DrvDisablePDEV");
    expectRefused(!DrvResetPDEV(bad, reinterpret_cast<DHPDEV>(live)), "DrvResetPDEV old");
    expectRefused(!DrvResetPDEV(reinterpret_cast<DHPDEV>(live), bad), "DrvResetPDEV new");
    expectRefused(!DrvStartDoc(&so, nullptr, 1), "DrvStartDoc");
    expectRefused(!DrvStartPage(&so), "DrvStartPage");
    expectRefused(!DrvSendPage(&so), "DrvSendPage");
    expectRefused(!DrvEndDoc(&so, 0), "DrvEndDoc");
    expectRefused(!DrvStartBanding(&so, &pt), "DrvStartBanding");
    expectRefused(!DrvNextBand(&so, &pt), "DrvNextBand");
    expectRefused(DrvDitherColor(bad, 0, 0xFFFFFF, nullptr) == DCR_SOLID, "DrvDitherColor");
    expectRefused(DrvQueryFont(bad, 0, 1, nullptr) == nullptr, "DrvQueryFont");
    expectRefused(DrvQueryFontTree(bad, 0, 1, 0, nullptr) == nullptr, "DrvQueryFontTree");
    expectRefused(DrvQueryFontData(bad, nullptr, 0, 0, nullptr, nullptr, 0) == LONG(FD_ERROR), "DrvQueryFontData");
    expectRefused(DrvEscape(&so, SETCOPYCOUNT, 0, nullptr, 0, nullptr) == 0, "DrvEscape");
    EXPECT_EQ(pt.x, 7);
  }
  EXPECT_EQ(std::vector<BYTE>(foreign, foreign + sizeof foreign), before);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(live));
}

TEST_F(InvalidHandleTest, DrawingHooksStillReachTheEngineForForeignSurfaces) {
  SURFOBJ so{};
  RECTL r{0, 0, 4, 4};
  SetLastError(0);
  int before = sim::callCount(sim::api::EngBitBlt);
  EXPECT_TRUE(DrvBitBlt(&so, nullptr, nullptr, nullptr, nullptr, &r, nullptr, nullptr, nullptr, nullptr, 0xF0F0));
  EXPECT_EQ(sim::callCount(sim::api::EngBitBlt), before + 1);
  EXPECT_EQ(GetLastError(), 0u);
}

}  // namespace
