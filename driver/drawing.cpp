// Drawing, font and escape hooks. Each drawing hook checks the device and
// adapts colour to the band bitmap (grey brushes, black-or-white pens,
// halftoned transfers, the driver's own pattern fills) before the matching
// engine service draws; a call for a record that fails the check reaches
// the engine untouched.
#include <windows.h>
#include <winddi.h>

#include "colour.h"
#include "device.h"
#include "dither.h"
#include "guard.h"
#include "raster.h"

namespace driver {

namespace {

constexpr ROP4 kPatCopy = 0xF0F0;
constexpr MIX kCopyPen = 0x0D0D;  // R2_COPYPEN in both bytes

// The device behind a surface, or null (no error set) when it fails the
// validity test.
PrinterDevice* deviceOf(SURFOBJ* pso) {
  PrinterDevice* device = pso ? reinterpret_cast<PrinterDevice*>(pso->dhpdev) : nullptr;
  return isValidDevice(device) ? device : nullptr;
}

bool greyMode(const PrinterDevice& device) { return device.render.bitDepth == 8; }
bool driverFills(const PrinterDevice& device) {
  return device.render.bitDepth == 1 && (device.render.options & kOptionSolidFill);
}

// A point moved into band coordinates; negative points stay as they are.
POINTL ShiftToBand(const PrinterDevice& device, POINTL p) {
  if (p.x < 0 || p.y < 0) return p;
  return POINTL{p.x - device.bandOrigin.x, p.y - device.bandOrigin.y};
}

// A caller's brush origin moved into the band: the copy lives in `storage`.
POINTL* shiftedOrigin(const PrinterDevice& device, POINTL* origin, POINTL& storage) {
  if (!origin) return nullptr;
  storage = ShiftToBand(device, *origin);
  return &storage;
}

// Grey mode: a copy of the brush whose solid colour is its grey level, or
// the brush itself when it has no realization.
BRUSHOBJ* greyBrush(const PrinterDevice& device, BRUSHOBJ* brush, BRUSHOBJ& storage) {
  BrushLevel level = BrushGrey(device, brush);
  if (!level.found) return brush;
  storage = *brush;
  storage.iSolidColor = level.grey;
  return &storage;
}

// Grey mode pens: pure white stays white, every other level draws black.
BRUSHOBJ* greyPen(const PrinterDevice& device, BRUSHOBJ* pen, BRUSHOBJ& storage) {
  BrushLevel level = BrushGrey(device, pen);
  if (!level.found) return pen;
  storage = *pen;
  storage.iSolidColor = level.grey == 255 ? 255 : 0;
  return &storage;
}

// The band at the cursor (the whole page outside banding).
const BandEntry& currentBand(const PrinterDevice& device) {
  LONG i = device.bandCursor >= 0 && device.bandCursor < device.bandCount ? device.bandCursor : 0;
  return device.bands[i];
}

// Whether fillOnBand can draw on `pso`: a top-down one-bit band bitmap and
// the fill dither table.
bool canFillOnBand(PrinterDevice& device, const SURFOBJ* pso) {
  return ditherTable(device, kFillDitherTable) && pso && pso->iBitmapFormat == BMF_1BPP && pso->lDelta > 0;
}

// fillGreyRect on the band bitmap behind `pso` with the fill dither table.
bool fillOnBand(PrinterDevice& device, SURFOBJ* pso, const RECTL& rect, ULONG grey) {
  if (!canFillOnBand(device, pso)) return false;
  const DitherTable* table = ditherTable(device, kFillDitherTable);
  const BandEntry& band = currentBand(device);
  SurfaceDescription surface{1, static_cast<BYTE*>(pso->pvScan0), pso->sizlBitmap.cx, pso->sizlBitmap.cy, pso->lDelta};
  return fillGreyRect(surface, rect, int(grey), &(*table)[0][0], band.exactWidth, band.exactHeight) != FALSE;
}

RECTL intersection(const RECTL& a, const RECTL& b) {
  return RECTL{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
               a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}

// Fills with grey level `grey` the part of `target` that a DC_RECT or
// DC_COMPLEX clip lets through. GDI's rclBounds bounds the part of the clip
// region that meets the drawing, but the rectangles CLIPOBJ_bEnum hands
// out are the region's own and may reach far past it, so each is cut to
// the target. False, with nothing drawn, when the driver's fill cannot run
// on this surface or the clip is of another kind.
bool fillClipped(PrinterDevice& device, SURFOBJ* pso, CLIPOBJ* pco, const RECTL& target, ULONG grey) {
  if (!canFillOnBand(device, pso)) return false;
  const RECTL area = intersection(target, pco->rclBounds);
  if (pco->iDComplexity == DC_RECT) return fillOnBand(device, pso, area, grey);
  if (pco->iDComplexity != DC_COMPLEX) return false;
  CLIPOBJ_cEnumStart(pco, FALSE, CT_RECTANGLES, CD_ANY, 0);
  ENUMRECTS one;
  BOOL more;
  do {
    more = CLIPOBJ_bEnum(pco, sizeof one, reinterpret_cast<ULONG*>(&one));
    for (ULONG i = 0; i < one.c && i < 1; ++i) fillOnBand(device, pso, intersection(one.arcl[i], area), grey);
  } while (more);
  return true;
}

// Widens the drawn-region record by `rect` (band coordinates) when the
// device keeps one: one entry per scanline along the band's long side.
void recordDrawn(PrinterDevice& device, const RECTL* rect) {
  if (!rect || !device.regions || device.regionCount <= 0) return;
  const bool portrait = device.render.layout == PageLayout::Portrait;
  const BandEntry& band = currentBand(device);
  LONG left = rect->left < 0 ? 0 : rect->left, top = rect->top < 0 ? 0 : rect->top;
  LONG right = rect->right < band.exactWidth ? rect->right : band.exactWidth;
  LONG bottom = rect->bottom < band.exactHeight ? rect->bottom : band.exactHeight;
  if (right <= left || bottom <= top) return;
  // Lines run along y in portrait (entries are rows) and along x otherwise.
  LONG lineFirst = portrait ? top : left, lineEnd = portrait ? bottom : right;
  LONG first = portrait ? left : top, last = (portrait ? right : bottom) - 1;
  if (lineEnd > device.regionCount) lineEnd = device.regionCount;
  for (LONG line = lineFirst; line < lineEnd; ++line) {
    DrawnRegion& r = device.regions[line];
    if (!r.used || first < r.first) r.first = first;
    if (!r.used || last > r.last) r.last = last;
    r.used = 1;
  }
}

void recordDrawn(PrinterDevice& device, CLIPOBJ* clip, RECTL* target) {
  recordDrawn(device, clip ? &clip->rclBounds : target);
}

// Runs a drawing hook: `adapted` for a valid device, otherwise `engine`
// with the caller's arguments.
template <class Adapted, class Engine>
BOOL drawHook(SURFOBJ* pso, Adapted&& adapted, Engine&& engine) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = deviceOf(pso);
    return device ? adapted(*device) : engine();
  });
}

// DrvPaint paints the clip region itself, so its target is the clip's
// bounds.
BOOL paintHook(PrinterDevice& device, SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* origin, MIX mix) {
  recordDrawn(device, pco ? &pco->rclBounds : nullptr);
  if (greyMode(device)) {
    BRUSHOBJ brush;
    POINTL shifted;
    return EngPaint(pso, pco, greyBrush(device, pbo, brush), shiftedOrigin(device, origin, shifted), mix);
  }
  if (driverFills(device) && mix == kCopyPen && pbo && pco && pco->iDComplexity != DC_TRIVIAL) {
    BrushLevel level = BrushGrey(device, pbo);
    if (level.found && fillClipped(device, pso, pco, pco->rclBounds, level.grey)) return TRUE;
  }
  return EngPaint(pso, pco, pbo, origin, mix);
}

BOOL bitBltHook(PrinterDevice& device, SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                XLATEOBJ* pxlo, RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                ROP4 rop4) {
  recordDrawn(device, pco, prclTrg);
  if (greyMode(device)) {
    BRUSHOBJ brush;
    POINTL shifted;
    BRUSHOBJ* used = rop4 == kPatCopy && pco ? greyBrush(device, pbo, brush) : pbo;
    return EngBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, used,
                     shiftedOrigin(device, pptlBrush, shifted), rop4);
  }
  if (driverFills(device) && rop4 == kPatCopy && pbo && pco && prclTrg) {
    if (pco->iDComplexity == DC_TRIVIAL) {
      BrushLevel level = BrushGrey(device, pbo);
      if (level.found && fillOnBand(device, psoTrg, *prclTrg, level.grey)) return TRUE;
    } else if (pbo->iSolidColor != 0xFFFFFFFF) {
      // The copy-pen paint of the clip, kept inside the target; where the
      // driver cannot fill, the engine's blit (not its paint, which would
      // cover the whole clip region) draws.
      BrushLevel level = BrushGrey(device, pbo);
      if (level.found && fillClipped(device, psoTrg, pco, *prclTrg, level.grey)) return TRUE;
    }
  }
  return EngBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
}

// DrvCopyBits with a destination rectangle and a source point: a halftoned
// stretch of the same size, the source rectangle cut to the source bitmap.
BOOL copyBitsHook(PrinterDevice& device, SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                  RECTL* prclDest, POINTL* pptlSrc) {
  recordDrawn(device, pco, prclDest);
  if (!prclDest || !pptlSrc || !psoSrc) return EngCopyBits(psoDest, psoSrc, pco, pxlo, prclDest, pptlSrc);
  RECTL d = *prclDest;
  RECTL r{pptlSrc->x, pptlSrc->y, pptlSrc->x + (d.right - d.left), pptlSrc->y + (d.bottom - d.top)};
  const LONG width = psoSrc->sizlBitmap.cx, height = psoSrc->sizlBitmap.cy;
  if (r.right > width) {
    r.right = width;
    d.right = width - pptlSrc->x + d.left;
  }
  if (r.bottom > height) {
    r.bottom = height;
    d.bottom = height - pptlSrc->y + d.top;
  }
  POINTL origin{0, 0};
  return EngStretchBlt(psoDest, psoSrc, nullptr, pco, pxlo, &device.render.colorAdjust, &origin, &d, &r, nullptr,
                       HALFTONE);
}

// One-bit DrvStretchBltROP from a source of more bits: halftoned into a
// one-bit bitmap of the destination's size first, then transferred with the
// caller's rop. Both steps keep the temporary rectangle well-ordered, so a
// mirrored destination is mirrored once, by the second step.
BOOL stretchRopThroughOneBit(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                             COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                             POINTL* pptlMask, BRUSHOBJ* pbo, DWORD rop4) {
  if (!prclDest) return FALSE;
  const LONG w = prclDest->right >= prclDest->left ? prclDest->right - prclDest->left : prclDest->left - prclDest->right;
  const LONG h = prclDest->bottom >= prclDest->top ? prclDest->bottom - prclDest->top : prclDest->top - prclDest->bottom;
  HSURF temp = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{w, h}, (w + 7) / 8, BMF_1BPP, BMF_TOPDOWN, nullptr));
  if (!temp) return FALSE;
  BOOL result = FALSE;
  if (EngAssociateSurface(temp, psoDest->hdev, 0)) {
    if (SURFOBJ* tempSo = EngLockSurface(temp)) {
      RECTL whole{0, 0, w, h};
      result = EngStretchBlt(tempSo, psoSrc, psoMask, nullptr, pxlo, pca, pptlHTOrg, &whole, prclSrc, pptlMask,
                             HALFTONE);
      if (result)
        result = EngStretchBltROP(psoDest, tempSo, psoMask, pco, nullptr, pca, pptlHTOrg, prclDest, &whole,
                                  pptlMask, HALFTONE, pbo, rop4);
      EngUnlockSurface(tempSo);
    }
  }
  EngDeleteSurface(temp);
  return result;
}

// The copy-count escape's new count: the input's first 32-bit value when
// the input holds one, else the current count; never below one copy.
ULONG escape(PrinterDevice& device, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  switch (iEsc) {
    case QUERYESCSUPPORT: {
      if (!pvIn || cjIn < sizeof(WORD)) return 0;
      const WORD queried = *static_cast<const WORD*>(pvIn);
      return queried == QUERYESCSUPPORT || queried == SETCOPYCOUNT ? 1 : 0;
    }
    case SETCOPYCOUNT: {
      LONG count = device.copyCount;
      if (pvIn && cjIn >= sizeof(LONG)) CopyMemory(&count, pvIn, sizeof count);
      device.copyCount = count < 1 ? 1 : count;
      if (pvOut && cjOut >= sizeof(LONG)) CopyMemory(pvOut, &device.copyCount, sizeof(LONG));
      return 1;
    }
    default:
      return 0;
  }
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
        recordDrawn(d, pco, prclDest);
        return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca ? pca : &d.render.colorAdjust, pptlHTOrg,
                             prclDest, prclSrc, pptlMask, HALFTONE);
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
  return guardedCall<ULONG>(DCR_SOLID, [&]() -> ULONG {
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
        recordDrawn(d, pco, prcl);
        return EngPlgBlt(psoTrg, psoSrc, psoMsk, pco, pxlo, pca ? pca : &d.render.colorAdjust, pptlBrushOrg, pptfx,
                         prcl, pptl, HALFTONE);
      },
      [&] { return EngPlgBlt(psoTrg, psoSrc, psoMsk, pco, pxlo, pca, pptlBrushOrg, pptfx, prcl, pptl, iMode); });
}

BOOL APIENTRY DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                               COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                               POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  auto engine = [&](POINTL* origin) {
    return EngStretchBltROP(psoDest, psoSrc, psoMask, pco, pxlo, pca, origin, prclDest, prclSrc, pptlMask, iMode,
                            pbo, rop4);
  };
  return drawHook(
      psoDest,
      [&](PrinterDevice& d) {
        recordDrawn(d, pco, prclDest);
        if (greyMode(d)) {
          POINTL shifted;
          return engine(shiftedOrigin(d, pptlHTOrg, shifted));
        }
        if (psoSrc && psoSrc->iBitmapFormat != BMF_1BPP)
          return stretchRopThroughOneBit(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc,
                                         pptlMask, pbo, rop4);
        return engine(pptlHTOrg);
      },
      [&] { return engine(pptlHTOrg); });
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
        if (pstro && pstro->cGlyphs > 0) recordDrawn(d, pco ? &pco->rclBounds : &pstro->rclBkGround);
        if (!greyMode(d))
          return EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
        BRUSHOBJ fore, opaque;
        POINTL shifted;
        BRUSHOBJ* opaqueUsed = prclOpaque ? greyBrush(d, pboOpaque, opaque) : pboOpaque;
        return EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, greyBrush(d, pboFore, fore), opaqueUsed,
                          shiftedOrigin(d, pptlOrg, shifted), mix);
      },
      [&] { return EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix); });
}

ULONG APIENTRY DrvGetGlyphMode(DHPDEV, FONTOBJ*) { return FO_GLYPHBITS; }

BOOL APIENTRY DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG iHatch) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
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
      [&](PrinterDevice& d) {
        recordDrawn(d, pco ? &pco->rclBounds : nullptr);
        if (!greyMode(d)) return EngFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
        BRUSHOBJ brush;
        POINTL shifted;
        return EngFillPath(pso, ppo, pco, greyBrush(d, pbo, brush), shiftedOrigin(d, pptlBrushOrg, shifted), mix,
                           flOptions);
      },
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
      [&](PrinterDevice& d) {
        RECTL span{x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, (x1 < x2 ? x2 : x1) + 1, (y1 < y2 ? y2 : y1) + 1};
        recordDrawn(d, pco ? &pco->rclBounds : &span);
        BRUSHOBJ pen;
        BRUSHOBJ* used = greyMode(d) ? greyPen(d, pbo, pen) : pbo;
        return EngLineTo(pso, pco, used, x1, y1, x2, y2, prclBounds, mix);
      },
      [&] { return EngLineTo(pso, pco, pbo, x1, y1, x2, y2, prclBounds, mix); });
}

BOOL APIENTRY DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
  return drawHook(
      pso,
      [&](PrinterDevice& d) {
        recordDrawn(d, pco ? &pco->rclBounds : nullptr);
        if (!greyMode(d)) return EngStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
        BRUSHOBJ pen;
        POINTL shifted;
        return EngStrokePath(pso, ppo, pco, pxo, greyPen(d, pbo, pen), shiftedOrigin(d, pptlBrushOrg, shifted),
                             plineattrs, mix);
      },
      [&] { return EngStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix); });
}

PIFIMETRICS APIENTRY DrvQueryFont(DHPDEV dhpdev, ULONG_PTR, ULONG, ULONG_PTR*) {
  return guardedCall<PIFIMETRICS>(nullptr, [&]() -> PIFIMETRICS {
    validDevice(dhpdev);
    return nullptr;  // no device fonts
  });
}

PVOID APIENTRY DrvQueryFontTree(DHPDEV dhpdev, ULONG_PTR, ULONG, ULONG, ULONG_PTR*) {
  return guardedCall<PVOID>(nullptr, [&]() -> PVOID {
    validDevice(dhpdev);
    return nullptr;
  });
}

LONG APIENTRY DrvQueryFontData(DHPDEV dhpdev, FONTOBJ*, ULONG, HGLYPH, GLYPHDATA*, PVOID, ULONG) {
  return guardedCall<LONG>(LONG(FD_ERROR), [&]() -> LONG {
    validDevice(dhpdev);
    return LONG(FD_ERROR);
  });
}

ULONG APIENTRY DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  return guardedCall<ULONG>(0, [&]() -> ULONG {
    PrinterDevice* device = validDevice(pso);
    return device ? escape(*device, iEsc, cjIn, pvIn, cjOut, pvOut) : 0;
  });
}

}  // extern "C"
