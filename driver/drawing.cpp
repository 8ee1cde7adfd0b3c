// Drawing, font and escape hooks. Each drawing hook checks the device and
// hands a valid record's call to its work in colour_adapt.cpp, which adapts
// colour to the band bitmap before the matching engine service draws; a
// call for a record that fails the check reaches the engine untouched.
#include <windows.h>
#include <winddi.h>

#include "colour.h"
#include "colour_adapt.h"
#include "device.h"
#include "guard.h"
#include "page_sequence.h"

namespace driver {

namespace {

// The device behind a surface, or null (no error set) when it fails the
// validity test.
PrinterDevice* deviceOf(SURFOBJ* pso) {
  PrinterDevice* device = pso ? reinterpret_cast<PrinterDevice*>(pso->dhpdev) : nullptr;
  return isValidDevice(device) ? device : nullptr;
}

// Runs a drawing hook: `adapted` for a valid device, otherwise `engine`
// with the caller's arguments.
template <class Adapted, class Engine>
BOOL drawHook(SURFOBJ* pso, Adapted&& adapted, Engine&& engine) {
  return support::guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = deviceOf(pso);
    return device ? adapted(*device) : engine();
  });
}

}  // namespace

}  // namespace driver

using namespace driver;

extern "C" {

BOOL APIENTRY DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                        RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                        ROP4 rop4) {
  return drawHook(
      psoTrg,
      [&](PrinterDevice& d) {
        return bitBltHook(d, psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
      },
      [&] { return EngBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4); });
}

BOOL APIENTRY DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                            COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                            POINTL* pptlMask, ULONG iMode) {
  return drawHook(
      psoDest,
      [&](PrinterDevice& d) {
        return stretchBltHook(d, psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask);
      },
      [&] {
        return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, iMode);
      });
}

BOOL APIENTRY DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                          POINTL* pptlSrc) {
  return drawHook(
      psoDest, [&](PrinterDevice& d) { return copyBitsHook(d, psoDest, psoSrc, pco, pxlo, prclDest, pptlSrc); },
      [&] { return EngCopyBits(psoDest, psoSrc, pco, pxlo, prclDest, pptlSrc); });
}

ULONG APIENTRY DrvDitherColor(DHPDEV dhpdev, ULONG, ULONG rgb, ULONG* pul) {
  return support::guardedCall<ULONG>(DCR_SOLID, [&]() -> ULONG {
    PrinterDevice* device = validDevice(dhpdev);
    return device ? ditherColor(*device, rgb, pul) : ULONG(DCR_SOLID);
  });
}

BOOL APIENTRY DrvAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                            RECTL* prclSrc, BLENDOBJ* pBlendObj) {
  auto engine = [&] { return EngAlphaBlend(psoDest, psoSrc, pco, pxlo, prclDest, prclSrc, pBlendObj); };
  return drawHook(
      psoDest, [&](PrinterDevice& d) { return recordDrawn(d, pco, prclDest), engine(); }, engine);
}

BOOL APIENTRY DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                              PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode) {
  auto engine = [&] {
    return EngGradientFill(psoDest, pco, pxlo, pVertex, nVertex, pMesh, nMesh, prclExtents, pptlDitherOrg, ulMode);
  };
  return drawHook(
      psoDest, [&](PrinterDevice& d) { return recordDrawn(d, pco, prclExtents), engine(); }, engine);
}

BOOL APIENTRY DrvPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
                        COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl,
                        ULONG iMode) {
  return drawHook(
      psoTrg,
      [&](PrinterDevice& d) {
        return plgBltHook(d, psoTrg, psoSrc, psoMsk, pco, pxlo, pca, pptlBrushOrg, pptfx, prcl, pptl);
      },
      [&] { return EngPlgBlt(psoTrg, psoSrc, psoMsk, pco, pxlo, pca, pptlBrushOrg, pptfx, prcl, pptl, iMode); });
}

BOOL APIENTRY DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                               COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                               POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  return drawHook(
      psoDest,
      [&](PrinterDevice& d) {
        return stretchBltRopHook(d, psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask,
                                 iMode, pbo, rop4);
      },
      [&] {
        return EngStretchBltROP(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask,
                                iMode, pbo, rop4);
      });
}

BOOL APIENTRY DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                                RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved) {
  auto engine = [&] { return EngTransparentBlt(psoDst, psoSrc, pco, pxlo, prclDst, prclSrc, iTransColor, ulReserved); };
  return drawHook(
      psoDst, [&](PrinterDevice& d) { return recordDrawn(d, pco, prclDst), engine(); }, engine);
}

VOID APIENTRY DrvSynchronize(DHPDEV, RECTL*) {}

PFD_GLYPHATTR APIENTRY DrvQueryGlyphAttrs(FONTOBJ*, ULONG) { return nullptr; }

BOOL APIENTRY DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                         RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  return drawHook(
      pso,
      [&](PrinterDevice& d) {
        return textOutHook(d, pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
      },
      [&] { return EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix); });
}

ULONG APIENTRY DrvGetGlyphMode(DHPDEV, FONTOBJ*) { return FO_GLYPHBITS; }

BOOL APIENTRY DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG iHatch) {
  return support::guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    if (!validDevice(psoTarget)) return FALSE;
    return realizeDitherBrush(pbo, iHatch);
  });
}

BOOL APIENTRY DrvPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix) {
  return drawHook(
      pso, [&](PrinterDevice& d) { return paintHook(d, pso, pco, pbo, pptlBrushOrg, mix); },
      [&] { return EngPaint(pso, pco, pbo, pptlBrushOrg, mix); });
}

BOOL APIENTRY DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                          FLONG flOptions) {
  return drawHook(
      pso,
      [&](PrinterDevice& d) { return fillPathHook(d, pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions); },
      [&] { return EngFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions); });
}

BOOL APIENTRY DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                                   LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                                   FLONG flOptions) {
  auto engine = [&] {
    return EngStrokeAndFillPath(pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill, flOptions);
  };
  return drawHook(
      pso, [&](PrinterDevice& d) { return recordDrawn(d, pco ? &pco->rclBounds : nullptr), engine(); }, engine);
}

BOOL APIENTRY DrvLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
                        RECTL* prclBounds, MIX mix) {
  return drawHook(
      pso,
      [&](PrinterDevice& d) { return lineToHook(d, pso, pco, pbo, x1, y1, x2, y2, prclBounds, mix); },
      [&] { return EngLineTo(pso, pco, pbo, x1, y1, x2, y2, prclBounds, mix); });
}

BOOL APIENTRY DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
  return drawHook(
      pso,
      [&](PrinterDevice& d) { return strokePathHook(d, pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix); },
      [&] { return EngStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix); });
}

PIFIMETRICS APIENTRY DrvQueryFont(DHPDEV dhpdev, ULONG_PTR, ULONG, ULONG_PTR*) {
  return support::guardedCall<PIFIMETRICS>(nullptr, [&]() -> PIFIMETRICS {
    validDevice(dhpdev);
    return nullptr;  // no device fonts
  });
}

PVOID APIENTRY DrvQueryFontTree(DHPDEV dhpdev, ULONG_PTR, ULONG, ULONG, ULONG_PTR*) {
  return support::guardedCall<PVOID>(nullptr, [&]() -> PVOID {
    validDevice(dhpdev);
    return nullptr;
  });
}

LONG APIENTRY DrvQueryFontData(DHPDEV dhpdev, FONTOBJ*, ULONG, HGLYPH, GLYPHDATA*, PVOID, ULONG) {
  return support::guardedCall<LONG>(LONG(FD_ERROR), [&]() -> LONG {
    validDevice(dhpdev);
    return LONG(FD_ERROR);
  });
}

ULONG APIENTRY DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  return support::guardedCall<ULONG>(0, [&]() -> ULONG {
    PrinterDevice* device = validDevice(pso);
    return device ? documentEscape(*device, iEsc, cjIn, pvIn, cjOut, pvOut) : 0;
  });
}

}  // extern "C"
