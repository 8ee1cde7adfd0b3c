// Scripting interface of the simulated GDI engine: bitmaps and palettes
// the driver creates, the device behind an HDEV, and scripted limits.
//
// Every engine service can be made to fail with sim::failNth under its own
// name ("EngCreateBitmap", "EngAssociateSurface", "EngMarkBandingSurface",
// "EngEraseSurface", "EngDeleteSurface", "EngCreatePalette",
// "EngDeletePalette", "EngBitBlt", ...); sim::callCount counts the calls.
#pragma once

#include "sim/world.h"

#include <string>
#include <vector>

#include <winddi.h>

namespace sim {

struct SurfaceInfo {
  SIZEL size{};
  LONG delta = 0;  // bytes per scanline
  ULONG format = 0;
  FLONG flags = 0;
  bool associated = false;
  HDEV hdev = nullptr;
  FLONG hooks = 0;
  bool banding = false;
};

// What GDI knows about an HDEV: the driver's device handle, copied into
// SURFOBJ::dhpdev of surfaces associated with it.
void bindDevice(HDEV hdev, DHPDEV dhpdev);

// Bitmaps larger than this many bytes cannot be created (0: no limit).
void setBitmapByteLimit(ULONG bytes);

size_t liveSurfaces();
size_t livePalettes();
// False when hsurf is not a live surface.
bool surfaceInfo(HSURF hsurf, SurfaceInfo* info);
// Sizes (cx, cy) and formats of every EngCreateBitmap request since reset,
// in order, including the ones that failed.
struct BitmapRequest {
  SIZEL size;
  LONG width;
  ULONG format;
  FLONG flags;
};
std::vector<BitmapRequest> bitmapRequests();
// Mode and colours of a live palette; empty when it is not live.
std::vector<ULONG> paletteColors(HPALETTE hpal, ULONG* mode = nullptr);

// GDI's clip object for a drawing bounded by `drawing` on a surface whose
// clip region is the rectangles `region` (not overlapping): rclBounds
// bounds the part of the region that meets the drawing, iDComplexity is
// DC_TRIVIAL when one region rectangle holds the whole drawing, DC_RECT
// when a single rectangle of the region meets it and DC_COMPLEX otherwise;
// iFComplexity describes the whole region. CLIPOBJ_cEnumStart and
// CLIPOBJ_bEnum then hand out the region's own rectangles, not cut to the
// drawing: every one with bAll TRUE, those meeting rclBounds with FALSE.
void makeClip(CLIPOBJ* pco, std::vector<RECTL> region, const RECTL& drawing);


// Engine services: the call fails with the scripted error (and is counted).
namespace api {
inline constexpr Api EngCreateBitmap{"EngCreateBitmap"};
inline constexpr Api EngAssociateSurface{"EngAssociateSurface"};
inline constexpr Api EngMarkBandingSurface{"EngMarkBandingSurface"};
inline constexpr Api EngEraseSurface{"EngEraseSurface"};
inline constexpr Api EngDeleteSurface{"EngDeleteSurface"};
inline constexpr Api EngLockSurface{"EngLockSurface"};
inline constexpr Api EngCreatePalette{"EngCreatePalette"};
inline constexpr Api EngDeletePalette{"EngDeletePalette"};
inline constexpr Api EngBitBlt{"EngBitBlt"};
inline constexpr Api EngStretchBlt{"EngStretchBlt"};
inline constexpr Api EngStretchBltROP{"EngStretchBltROP"};
inline constexpr Api EngCopyBits{"EngCopyBits"};
inline constexpr Api EngAlphaBlend{"EngAlphaBlend"};
inline constexpr Api EngGradientFill{"EngGradientFill"};
inline constexpr Api EngTransparentBlt{"EngTransparentBlt"};
inline constexpr Api EngPlgBlt{"EngPlgBlt"};
inline constexpr Api EngTextOut{"EngTextOut"};
inline constexpr Api EngStrokePath{"EngStrokePath"};
inline constexpr Api EngFillPath{"EngFillPath"};
inline constexpr Api EngStrokeAndFillPath{"EngStrokeAndFillPath"};
inline constexpr Api EngLineTo{"EngLineTo"};
inline constexpr Api EngPaint{"EngPaint"};
inline constexpr Api BRUSHOBJ_pvAllocRbrush{"BRUSHOBJ_pvAllocRbrush"};
inline constexpr Api BRUSHOBJ_pvGetRbrush{"BRUSHOBJ_pvGetRbrush"};
}  // namespace api
// The driver's hook table (from DrvEnableDriver), through which the engine
// calls back: DrvDitherColor and DrvRealizeBrush when it realizes a brush.
void bindDriver(const DRVENABLEDATA& ded);

// Makes `brush` GDI's brush of colour `rgb` (R | G << 8 | B << 16) for
// drawing on `target`: a colour of the target's palette (black or white on
// one bit, a grey on eight) is solid, with iSolidColor its index; any
// other colour has iSolidColor 0xFFFFFFFF and is realized on first use
// (BRUSHOBJ_pvGetRbrush): the driver's DrvDitherColor gives the pattern the
// engine draws, then DrvRealizeBrush gets RB_DITHERCOLOR | rgb.
void makeBrush(BRUSHOBJ* brush, SURFOBJ* target, ULONG rgb);
void forgetBrush(const BRUSHOBJ* brush);

// One call of an engine drawing service as the driver made it. Fields a
// service has no argument for stay unset (has* false, pointers null).
struct EngineCall {
  std::string name;
  SURFOBJ* dest = nullptr;
  SURFOBJ* source = nullptr;
  SURFOBJ* mask = nullptr;
  CLIPOBJ* clip = nullptr;
  int clipComplexity = -1;
  XLATEOBJ* xlate = nullptr;
  PATHOBJ* path = nullptr;
  bool hasRect = false;  // destination, target, opaque or bounds rectangle
  RECTL rect{};
  bool hasSourceRect = false;
  RECTL sourceRect{};
  bool hasSourcePoint = false;
  POINTL sourcePoint{};
  bool hasBrush = false;  // the brush's iSolidColor as passed
  ULONG brushColor = 0;
  bool hasOpaqueBrush = false;  // text's opaque brush, a path's stroke brush
  ULONG opaqueColor = 0;
  bool hasBrushOrigin = false;  // brush, halftone or dither origin
  POINTL brushOrigin{};
  bool hasColorAdjust = false;
  COLORADJUSTMENT colorAdjust{};
  ULONG rop = 0;   // rop4 or mix
  ULONG mode = 0;  // stretch mode, fill options or gradient mode
  ULONG transparent = 0;
  ULONG glyphs = 0;
  RECTL line{};  // EngLineTo's end points (x1, y1, x2, y2)
};
// Drawing calls since reset (or the last clear), in order.
std::vector<EngineCall> engineCalls();
void clearEngineCalls();

}  // namespace sim
