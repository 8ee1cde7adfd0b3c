// The drawing hooks' work on a valid device: how each call's colours are
// adapted to the band bitmap before the engine service draws.
#include "colour_adapt.h"

#include "colour.h"
#include "dither.h"
#include "raster.h"

namespace driver {

namespace {

constexpr ROP4 kPatCopy = 0xF0F0;
constexpr MIX kCopyPen = 0x0D0D;  // R2_COPYPEN in both bytes

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
  return fillGreyRect(surface, rect, int(grey), &(*table)[0][0], band.exactWidth, band.exactHeight);
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

// One-bit DrvStretchBltROP from a source of more bits: halftoned into a
// one-bit bitmap of the destination's size first, then transferred with the
// caller's rop. Both steps keep the temporary rectangle well-ordered, so a
// mirrored destination is mirrored once, by the second step.
bool stretchRopThroughOneBit(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                             COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                             POINTL* pptlMask, BRUSHOBJ* pbo, DWORD rop4) {
  if (!prclDest) return false;
  const LONG w = prclDest->right >= prclDest->left ? prclDest->right - prclDest->left : prclDest->left - prclDest->right;
  const LONG h = prclDest->bottom >= prclDest->top ? prclDest->bottom - prclDest->top : prclDest->top - prclDest->bottom;
  HSURF temp = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{w, h}, (w + 7) / 8, BMF_1BPP, BMF_TOPDOWN, nullptr));
  if (!temp) return false;
  bool result = false;
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

}  // namespace

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

// DrvPaint paints the clip region itself, so its target is the clip's
// bounds.
bool paintHook(PrinterDevice& device, SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* origin, MIX mix) {
  recordDrawn(device, pco ? &pco->rclBounds : nullptr);
  if (greyMode(device)) {
    BRUSHOBJ brush;
    POINTL shifted;
    return EngPaint(pso, pco, greyBrush(device, pbo, brush), shiftedOrigin(device, origin, shifted), mix);
  }
  if (driverFills(device) && mix == kCopyPen && pbo && pco && pco->iDComplexity != DC_TRIVIAL) {
    BrushLevel level = BrushGrey(device, pbo);
    if (level.found && fillClipped(device, pso, pco, pco->rclBounds, level.grey)) return true;
  }
  return EngPaint(pso, pco, pbo, origin, mix);
}

bool bitBltHook(PrinterDevice& device, SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
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
      if (level.found && fillOnBand(device, psoTrg, *prclTrg, level.grey)) return true;
    } else if (pbo->iSolidColor != 0xFFFFFFFF) {
      // The copy-pen paint of the clip, kept inside the target; where the
      // driver cannot fill, the engine's blit (not its paint, which would
      // cover the whole clip region) draws.
      BrushLevel level = BrushGrey(device, pbo);
      if (level.found && fillClipped(device, psoTrg, pco, *prclTrg, level.grey)) return true;
    }
  }
  return EngBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
}

// DrvCopyBits with a destination rectangle and a source point: a halftoned
// stretch of the same size, the source rectangle cut to the source bitmap.
bool copyBitsHook(PrinterDevice& device, SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
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

bool stretchBltHook(PrinterDevice& device, SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                    XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                    POINTL* pptlMask) {
  recordDrawn(device, pco, prclDest);
  return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca ? pca : &device.render.colorAdjust, pptlHTOrg,
                       prclDest, prclSrc, pptlMask, HALFTONE);
}

bool plgBltHook(PrinterDevice& device, SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco,
                XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl,
                POINTL* pptl) {
  recordDrawn(device, pco, prcl);
  return EngPlgBlt(psoTrg, psoSrc, psoMsk, pco, pxlo, pca ? pca : &device.render.colorAdjust, pptlBrushOrg, pptfx,
                   prcl, pptl, HALFTONE);
}

bool stretchBltRopHook(PrinterDevice& device, SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                       XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                       POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  recordDrawn(device, pco, prclDest);
  POINTL shifted;
  POINTL* origin = pptlHTOrg;
  if (greyMode(device))
    origin = shiftedOrigin(device, pptlHTOrg, shifted);
  else if (psoSrc && psoSrc->iBitmapFormat != BMF_1BPP)
    return stretchRopThroughOneBit(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask,
                                   pbo, rop4);
  return EngStretchBltROP(psoDest, psoSrc, psoMask, pco, pxlo, pca, origin, prclDest, prclSrc, pptlMask, iMode, pbo,
                          rop4);
}

bool textOutHook(PrinterDevice& device, SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                 RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  if (pstro && pstro->cGlyphs > 0) recordDrawn(device, pco ? &pco->rclBounds : &pstro->rclBkGround);
  if (!greyMode(device))
    return EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
  BRUSHOBJ fore, opaque;
  POINTL shifted;
  BRUSHOBJ* opaqueUsed = prclOpaque ? greyBrush(device, pboOpaque, opaque) : pboOpaque;
  return EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, greyBrush(device, pboFore, fore), opaqueUsed,
                    shiftedOrigin(device, pptlOrg, shifted), mix);
}

bool fillPathHook(PrinterDevice& device, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo,
                  POINTL* pptlBrushOrg, MIX mix, FLONG flOptions) {
  recordDrawn(device, pco ? &pco->rclBounds : nullptr);
  if (!greyMode(device)) return EngFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
  BRUSHOBJ brush;
  POINTL shifted;
  return EngFillPath(pso, ppo, pco, greyBrush(device, pbo, brush), shiftedOrigin(device, pptlBrushOrg, shifted), mix,
                     flOptions);
}

bool lineToHook(PrinterDevice& device, SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
                RECTL* prclBounds, MIX mix) {
  RECTL span{x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, (x1 < x2 ? x2 : x1) + 1, (y1 < y2 ? y2 : y1) + 1};
  recordDrawn(device, pco ? &pco->rclBounds : &span);
  BRUSHOBJ pen;
  BRUSHOBJ* used = greyMode(device) ? greyPen(device, pbo, pen) : pbo;
  return EngLineTo(pso, pco, used, x1, y1, x2, y2, prclBounds, mix);
}

bool strokePathHook(PrinterDevice& device, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                    POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
  recordDrawn(device, pco ? &pco->rclBounds : nullptr);
  if (!greyMode(device)) return EngStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
  BRUSHOBJ pen;
  POINTL shifted;
  return EngStrokePath(pso, ppo, pco, pxo, greyPen(device, pbo, pen), shiftedOrigin(device, pptlBrushOrg, shifted),
                       plineattrs, mix);
}

}  // namespace driver
