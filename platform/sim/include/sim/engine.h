// Scripting interface of the simulated GDI engine: bitmaps and palettes
// the driver creates, the device behind an HDEV, and scripted limits.
//
// Every engine service can be made to fail with sim::failNth under its own
// name ("EngCreateBitmap", "EngAssociateSurface", "EngMarkBandingSurface",
// "EngEraseSurface", "EngDeleteSurface", "EngCreatePalette",
// "EngDeletePalette", "EngBitBlt", ...); sim::callCount counts the calls.
#pragma once

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

}  // namespace sim
