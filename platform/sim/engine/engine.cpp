// The simulated GDI engine: bitmaps, surfaces, palettes, brush
// realizations, clip enumeration and the drawing fall-backs.
#include <windows.h>
#include <winddi.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "internal.h"
#include "sim/engine.h"
#include "sim/world.h"

namespace sim {
namespace {

struct Surface {
  SURFOBJ so{};
  std::vector<BYTE> bits;
  SurfaceInfo info;
};

struct Palette {
  ULONG mode = 0;
  std::vector<ULONG> colors;
};

// A clip object's region and the rectangles of one enumeration.
struct ClipEnum {
  std::vector<RECTL> region;
  std::vector<RECTL> rects;
  size_t next = 0;
};

bool meets(const RECTL& a, const RECTL& b) {
  return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

struct Engine {
  std::map<HSURF, std::unique_ptr<Surface>> surfaces;
  std::map<HPALETTE, Palette> palettes;
  std::map<HDEV, DHPDEV> devices;
  std::map<const CLIPOBJ*, ClipEnum> clips;
  std::map<const BRUSHOBJ*, std::vector<BYTE>> realizations;
  std::vector<BitmapRequest> requests;
  ULONG byteLimit = 0;
  uintptr_t nextHandle = 0x5000;
};

Service<Engine>& engine() { return service<Engine>(); }

Surface* surfaceOf(HSURF h) {
  auto it = engine().surfaces.find(h);
  return it == engine().surfaces.end() ? nullptr : it->second.get();
}

Surface* surfaceOf(SURFOBJ* so) {
  if (!so) return nullptr;
  for (auto& [h, s] : engine().surfaces)
    if (&s->so == so) return s.get();
  return nullptr;
}

ULONG bitsPerPixel(ULONG format) {
  switch (format) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 4;
    case BMF_8BPP: return 8;
    case BMF_16BPP: return 16;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
  }
}

// Fills a rectangle of a 1- or 8-bit surface with a colour index.
void fillRect(Surface& s, RECTL r, ULONG color) {
  ULONG bpp = bitsPerPixel(s.info.format);
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, s.info.size.cx);
  r.bottom = std::min<LONG>(r.bottom, s.info.size.cy);
  for (LONG y = r.top; y < r.bottom; ++y) {
    BYTE* row = s.bits.data() + size_t(y) * size_t(s.info.delta);
    for (LONG x = r.left; x < r.right; ++x) {
      if (bpp == 1) {
        BYTE mask = BYTE(0x80 >> (x % 8));
        if (color & 1)
          row[x / 8] |= mask;
        else
          row[x / 8] &= BYTE(~mask);
      } else if (bpp == 8) {
        row[x] = BYTE(color);
      }
    }
  }
}

}  // namespace

void bindDevice(HDEV hdev, DHPDEV dhpdev) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  engine().devices[hdev] = dhpdev;
}

void setBitmapByteLimit(ULONG bytes) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  engine().byteLimit = bytes;
}

size_t liveSurfaces() {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  return engine().surfaces.size();
}

size_t livePalettes() {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  return engine().palettes.size();
}

bool surfaceInfo(HSURF hsurf, SurfaceInfo* info) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  Surface* s = surfaceOf(hsurf);
  if (!s) return false;
  if (info) *info = s->info;
  return true;
}

std::vector<BitmapRequest> bitmapRequests() {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  return engine().requests;
}

std::vector<ULONG> paletteColors(HPALETTE hpal, ULONG* mode) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  auto it = engine().palettes.find(hpal);
  if (it == engine().palettes.end()) return {};
  if (mode) *mode = it->second.mode;
  return it->second.colors;
}

// CLIPOBJ: "rclBounds: Specifies a RECTL structure that bounds the part of
// the region that intersects the drawing. If iDComplexity is DC_RECT, then
// this is the clipping rectangle to be considered." and iDComplexity is
// "the complexity of the part of the region that intersects with the
// drawing" (DC_TRIVIAL: "Clipping need not be considered; draw the whole
// figure").
void makeClip(CLIPOBJ* pco, std::vector<RECTL> region, const RECTL& drawing) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  region.erase(std::remove_if(region.begin(), region.end(),
                              [](const RECTL& r) { return r.right <= r.left || r.bottom <= r.top; }),
               region.end());
  *pco = CLIPOBJ{};
  pco->iMode = TC_RECTANGLES;
  pco->iFComplexity = region.size() <= 1 ? FC_RECT : region.size() <= 4 ? FC_RECT4 : FC_COMPLEX;
  size_t parts = 0;
  bool whole = false;
  RECTL bounds{0, 0, 0, 0};
  for (const RECTL& r : region) {
    if (!meets(r, drawing)) continue;
    const RECTL part{std::max(r.left, drawing.left), std::max(r.top, drawing.top), std::min(r.right, drawing.right),
                     std::min(r.bottom, drawing.bottom)};
    whole = whole || (part.left == drawing.left && part.top == drawing.top && part.right == drawing.right &&
                      part.bottom == drawing.bottom);
    bounds = parts++ == 0 ? part
                          : RECTL{std::min(bounds.left, part.left), std::min(bounds.top, part.top),
                                  std::max(bounds.right, part.right), std::max(bounds.bottom, part.bottom)};
  }
  pco->rclBounds = bounds;
  pco->iDComplexity = whole ? DC_TRIVIAL : parts <= 1 ? DC_RECT : DC_COMPLEX;
  engine().clips[pco] = ClipEnum{std::move(region), {}, 0};
}

}  // namespace sim

using namespace sim;

extern "C" {

HBITMAP APIENTRY EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  engine().requests.push_back(BitmapRequest{sizl, lWidth, iFormat, fl});
  if (faulted(api::EngCreateBitmap)) return nullptr;
  ULONG bpp = bitsPerPixel(iFormat);
  if (bpp == 0 || sizl.cx <= 0 || sizl.cy <= 0 || pvBits) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LONG minDelta = LONG((uint64_t(sizl.cx) * bpp + 7) / 8);
  LONG delta = lWidth > 0 ? lWidth : ((LONG((uint64_t(sizl.cx) * bpp + 31) / 32)) * 4);
  if (delta < minDelta) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  uint64_t bytes = uint64_t(delta) * uint64_t(sizl.cy);
  if ((engine().byteLimit && bytes > engine().byteLimit) || bytes > 0x40000000ull) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto s = std::make_unique<Surface>();
  s->bits.assign(size_t(bytes), 0);
  HSURF h = reinterpret_cast<HSURF>(engine().nextHandle += 0x10);
  s->info.size = sizl;
  s->info.delta = delta;
  s->info.format = iFormat;
  s->info.flags = fl;
  s->so.hsurf = h;
  s->so.sizlBitmap = sizl;
  s->so.cjBits = ULONG(bytes);
  s->so.pvBits = s->bits.data();
  s->so.iBitmapFormat = iFormat;
  s->so.iType = STYPE_BITMAP;
  s->so.fjBitmap = USHORT(fl & BMF_TOPDOWN);
  if (fl & BMF_TOPDOWN) {
    s->so.pvScan0 = s->bits.data();
    s->so.lDelta = delta;
  } else {
    s->so.pvScan0 = s->bits.data() + size_t(bytes) - size_t(delta);
    s->so.lDelta = -delta;
  }
  engine().surfaces[h] = std::move(s);
  return reinterpret_cast<HBITMAP>(h);
}

BOOL APIENTRY EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::EngAssociateSurface)) return FALSE;
  Surface* s = surfaceOf(hsurf);
  if (!s) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  s->info.associated = true;
  s->info.hdev = hdev;
  s->info.hooks = flHooks;
  s->so.hdev = hdev;
  auto dev = engine().devices.find(hdev);
  s->so.dhpdev = dev == engine().devices.end() ? nullptr : dev->second;
  return TRUE;
}

BOOL APIENTRY EngMarkBandingSurface(HSURF hsurf) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::EngMarkBandingSurface)) return FALSE;
  Surface* s = surfaceOf(hsurf);
  if (!s) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  s->info.banding = true;
  return TRUE;
}

BOOL APIENTRY EngEraseSurface(SURFOBJ* pso, RECTL* prcl, ULONG iColor) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::EngEraseSurface)) return FALSE;
  Surface* s = surfaceOf(pso);
  if (!s || !prcl) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  fillRect(*s, *prcl, iColor);
  return TRUE;
}

BOOL APIENTRY EngDeleteSurface(HSURF hsurf) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::EngDeleteSurface)) return FALSE;
  if (!engine().surfaces.erase(hsurf)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

SURFOBJ* APIENTRY EngLockSurface(HSURF hsurf) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::EngLockSurface)) return nullptr;
  Surface* s = surfaceOf(hsurf);
  return s ? &s->so : nullptr;
}

VOID APIENTRY EngUnlockSurface(SURFOBJ*) {}

HPALETTE APIENTRY EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG, FLONG, FLONG) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::EngCreatePalette)) return nullptr;
  if (iMode == PAL_INDEXED && (!pulColors || cColors == 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HPALETTE h = reinterpret_cast<HPALETTE>(engine().nextHandle += 0x10);
  Palette p;
  p.mode = iMode;
  if (pulColors) p.colors.assign(pulColors, pulColors + cColors);
  engine().palettes[h] = std::move(p);
  return h;
}

BOOL APIENTRY EngDeletePalette(HPALETTE hpal) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::EngDeletePalette)) return FALSE;
  if (!engine().palettes.erase(hpal)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

PVOID APIENTRY BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::BRUSHOBJ_pvAllocRbrush) || !pbo || cj == 0) return nullptr;
  std::vector<BYTE>& block = engine().realizations[pbo];
  block.assign(cj, 0);
  pbo->pvRbrush = block.data();
  return block.data();
}

PVOID APIENTRY BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  if (faulted(api::BRUSHOBJ_pvGetRbrush) || !pbo) return nullptr;
  if (!pbo->pvRbrush) realizeRegisteredBrush(pbo);
  return pbo->pvRbrush;
}

// CLIPOBJ_cEnumStart: bAll "is TRUE if the whole region should be
// enumerated. It is FALSE if only the parts relevant to the present drawing
// operation should be enumerated." The rectangles are the region's own; a
// driver cuts them to its drawing itself.
ULONG APIENTRY CLIPOBJ_cEnumStart(CLIPOBJ* pco, BOOL bAll, ULONG, ULONG, ULONG) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  auto it = engine().clips.find(pco);
  if (it == engine().clips.end()) return 0;
  ClipEnum& e = it->second;
  e.rects.clear();
  for (const RECTL& r : e.region)
    if (bAll || meets(r, pco->rclBounds)) e.rects.push_back(r);
  e.next = 0;
  return ULONG(e.rects.size());
}

BOOL APIENTRY CLIPOBJ_bEnum(CLIPOBJ* pco, ULONG cj, ULONG* pul) {
  std::lock_guard<std::recursive_mutex> g(engine().lock);
  ENUMRECTS* out = reinterpret_cast<ENUMRECTS*>(pul);
  if (!out || cj < sizeof(ENUMRECTS)) return FALSE;
  out->c = 0;
  auto it = engine().clips.find(pco);
  if (it == engine().clips.end()) return FALSE;
  ClipEnum& e = it->second;
  ULONG room = ULONG((cj - sizeof(ULONG)) / sizeof(RECTL));
  while (out->c < room && e.next < e.rects.size()) out->arcl[out->c++] = e.rects[e.next++];
  return e.next < e.rects.size();
}

}  // extern "C"
