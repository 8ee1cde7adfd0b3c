// The drawing hooks' work on a valid device: colour adapted to the band
// bitmap (grey brushes, black-or-white pens, halftoned transfers, the
// driver's own pattern fills) before the matching engine service draws,
// and the drawn-region record widened by what each call covers.
#pragma once

#include <windows.h>
#include <winddi.h>

#include "device.h"

namespace driver {

// Widens the drawn-region record by `rect` (band coordinates) when the
// device keeps one: one entry per scanline along the band's long side.
void recordDrawn(PrinterDevice& device, const RECTL* rect);
// The same by the clip's bounds, or by `target` without a clip.
void recordDrawn(PrinterDevice& device, CLIPOBJ* clip, RECTL* target);

// Each hook's work, with the hook's own arguments after the device.
bool bitBltHook(PrinterDevice& device, SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                XLATEOBJ* pxlo, RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                ROP4 rop4);
bool stretchBltHook(PrinterDevice& device, SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                    XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                    POINTL* pptlMask);
bool copyBitsHook(PrinterDevice& device, SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                  RECTL* prclDest, POINTL* pptlSrc);
bool plgBltHook(PrinterDevice& device, SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco,
                XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl,
                POINTL* pptl);
bool stretchBltRopHook(PrinterDevice& device, SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                       XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                       POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
bool textOutHook(PrinterDevice& device, SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                 RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
bool paintHook(PrinterDevice& device, SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* origin, MIX mix);
bool fillPathHook(PrinterDevice& device, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo,
                  POINTL* pptlBrushOrg, MIX mix, FLONG flOptions);
bool lineToHook(PrinterDevice& device, SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
                RECTL* prclBounds, MIX mix);
bool strokePathHook(PrinterDevice& device, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                    POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix);

}  // namespace driver
