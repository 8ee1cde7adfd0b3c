// Scripting interface of the simulated GDI engine: bitmaps and palettes
// the driver creates, the device behind an HDEV, and scripted limits.
//
// Every engine service can be made to fail with sim::failNth under its own
// name ("EngCreateBitmap", "EngAssociateSurface", "EngMarkBandingSurface",
// "EngEraseSurface", "EngDeleteSurface", "EngCreatePalette",
// "EngDeletePalette", "EngBitBlt", ...); sim::callCount counts the calls.
#pragma once

#include "sim/world.h"

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

// Rectangles CLIPOBJ_bEnum reports for a clip object (DC_COMPLEX clips).
void setClipRects(const CLIPOBJ* pco, std::vector<RECTL> rects);


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

}  // namespace sim
