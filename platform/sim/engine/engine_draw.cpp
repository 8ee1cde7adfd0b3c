// The simulated GDI engine's drawing services: bit-block transfers with
// ternary rops, stretching with halftoning, paint, path fill and stroke,
// lines, glyph text, alpha blend, gradients and transparent copies onto 1-,
// 8-, 24- and 32-bit bitmaps; brush realization through the driver's hooks;
// paths. Every service records its arguments for tests.
#include <windows.h>
#include <winddi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "internal.h"
#include "sim/engine.h"
#include "sim/world.h"

namespace sim {
namespace {

struct BrushRecord {
  ULONG rgb = 0;
  SURFOBJ* target = nullptr;
  bool dithered = false;  // the driver gave a dither
  ULONG dither[16] = {};
};

struct PathRecord {
  PATHOBJ obj{};
  std::vector<std::vector<POINTFIX>> figures;
  std::vector<bool> closed;
  size_t next = 0;
};

struct Drawing {
  std::recursive_mutex lock;
  std::vector<DRVFN> driver;
  std::map<const BRUSHOBJ*, BrushRecord> brushes;
  std::map<PATHOBJ*, std::unique_ptr<PathRecord>> paths;
  std::vector<EngineCall> calls;
};

Drawing& drawing() {
  static Drawing* d = new Drawing;
  return *d;
}

const bool g_registered = [] {
  onReset([] {
    std::lock_guard<std::recursive_mutex> g(drawing().lock);
    drawing().driver.clear();
    drawing().brushes.clear();
    drawing().paths.clear();
    drawing().calls.clear();
  });
  return true;
}();

PFN driverFunction(ULONG index) {
  for (const DRVFN& f : drawing().driver)
    if (f.iFunc == index) return f.pfn;
  return nullptr;
}

// --- pixels -----------------------------------------------------------

int bitsOf(ULONG format) {
  switch (format) {
    case BMF_1BPP: return 1;
    case BMF_8BPP: return 8;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
  }
}

bool drawable(const SURFOBJ* so) { return so && so->pvScan0 && bitsOf(so->iBitmapFormat) != 0; }

BYTE* rowOf(const SURFOBJ* so, LONG y) { return static_cast<BYTE*>(so->pvScan0) + ptrdiff_t(y) * so->lDelta; }

// The raw value of a pixel: the index of 1- and 8-bit bitmaps, the colour
// (R | G << 8 | B << 16) of 24- and 32-bit ones.
ULONG pixel(const SURFOBJ* so, LONG x, LONG y) {
  const BYTE* row = rowOf(so, y);
  switch (so->iBitmapFormat) {
    case BMF_1BPP: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case BMF_8BPP: return row[x];
    case BMF_24BPP: return ULONG(row[3 * x + 2]) | ULONG(row[3 * x + 1]) << 8 | ULONG(row[3 * x]) << 16;
    default: return ULONG(row[4 * x + 2]) | ULONG(row[4 * x + 1]) << 8 | ULONG(row[4 * x]) << 16;
  }
}

void setPixel(SURFOBJ* so, LONG x, LONG y, ULONG v) {
  BYTE* row = rowOf(so, y);
  switch (so->iBitmapFormat) {
    case BMF_1BPP: {
      const BYTE mask = BYTE(0x80 >> (x & 7));
      row[x >> 3] = BYTE((v & 1) ? row[x >> 3] | mask : row[x >> 3] & ~mask);
      break;
    }
    case BMF_8BPP: row[x] = BYTE(v); break;
    case BMF_24BPP:
      row[3 * x] = BYTE(v >> 16), row[3 * x + 1] = BYTE(v >> 8), row[3 * x + 2] = BYTE(v);
      break;
    default:
      row[4 * x] = BYTE(v >> 16), row[4 * x + 1] = BYTE(v >> 8), row[4 * x + 2] = BYTE(v), row[4 * x + 3] = 0;
      break;
  }
}

bool indexed(const SURFOBJ* so) { return so->iBitmapFormat == BMF_1BPP || so->iBitmapFormat == BMF_8BPP; }

// Colour of a raw pixel value: 1-bit bitmaps are black and white, 8-bit
// ones grey levels (the palettes of this printer's surfaces).
ULONG colorOf(const SURFOBJ* so, ULONG v) {
  if (so->iBitmapFormat == BMF_1BPP) return v ? 0xFFFFFF : 0;
  if (so->iBitmapFormat == BMF_8BPP) return v * 0x010101;
  return v;
}

ULONG luma(ULONG rgb) {
  const ULONG r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
  return (299 * r + 587 * g + 114 * b + 500) / 1000;
}

// The destination value nearest to a colour.
ULONG nearest(const SURFOBJ* dst, ULONG rgb) {
  switch (dst->iBitmapFormat) {
    case BMF_1BPP: return luma(rgb) >= 128 ? 1 : 0;
    case BMF_8BPP: return luma(rgb);
    default: return rgb & 0xFFFFFF;
  }
}

// Source value translated for the destination: the colour translation's
// table for indexed sources, else the nearest destination colour.
ULONG translate(const SURFOBJ* src, const SURFOBJ* dst, XLATEOBJ* xlo, ULONG v) {
  if (xlo && xlo->pulXlate && indexed(src) && v < xlo->cEntries) return xlo->pulXlate[v];
  return nearest(dst, colorOf(src, v));
}

// 8 x 8 ordered dither thresholds for halftoning to one bit.
const BYTE kBayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                           {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                           {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                           {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

// Halftoned destination value of a colour at (x, y): one-bit surfaces get
// an ordered dither anchored at `origin`; deeper ones the nearest colour.
ULONG halftone(const SURFOBJ* dst, ULONG rgb, LONG x, LONG y, POINTL origin) {
  if (dst->iBitmapFormat != BMF_1BPP) return nearest(dst, rgb);
  const ULONG level = luma(rgb);
  const ULONG threshold = kBayer[ULONG(y - origin.y) & 7][ULONG(x - origin.x) & 7] * 4 + 2;
  return level > threshold ? 1 : 0;
}

// --- rops, clips, brushes ------------------------------------------------

ULONG rop3Apply(BYTE rop, ULONG p, ULONG s, ULONG d, int bits) {
  switch (rop) {
    case 0xCC: return s;
    case 0xF0: return p;
    case 0xAA: return d;
    default: break;
  }
  ULONG out = 0;
  for (int b = 0; b < bits; ++b) {
    const int i = int(((p >> b) & 1) << 2 | ((s >> b) & 1) << 1 | ((d >> b) & 1));
    out |= ULONG((rop >> i) & 1) << b;
  }
  return out;
}
bool ropUsesSource(BYTE rop) { return ((rop >> 2) & 0x33) != (rop & 0x33); }
bool ropUsesPattern(BYTE rop) { return ((rop >> 4) & 0x0F) != (rop & 0x0F); }

// The ternary rop of a binary mix (R2_* in the low byte).
BYTE ropOfMix(MIX mix) {
  const ULONG r2 = ((mix & 0xFF) - 1) & 0x0F;
  BYTE rop = 0;
  for (int i = 0; i < 8; ++i)
    if ((r2 >> (((i >> 2) & 1) << 1 | (i & 1))) & 1) rop |= BYTE(1 << i);
  return rop;
}

RECTL ordered(const RECTL& r) {
  return RECTL{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
}

RECTL intersect(const RECTL& a, const RECTL& b) {
  return RECTL{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}
bool empty(const RECTL& r) { return r.right <= r.left || r.bottom <= r.top; }

// The parts of `area` that a clip object lets through, inside the bitmap.
std::vector<RECTL> clipped(const SURFOBJ* so, CLIPOBJ* pco, const RECTL& area) {
  const RECTL bitmap{0, 0, so->sizlBitmap.cx, so->sizlBitmap.cy};
  RECTL bounded = intersect(area, bitmap);
  std::vector<RECTL> out;
  if (empty(bounded)) return out;
  if (!pco || pco->iDComplexity == DC_TRIVIAL) {
    out.push_back(bounded);
    return out;
  }
  bounded = intersect(bounded, pco->rclBounds);
  if (empty(bounded)) return out;
  if (pco->iDComplexity != DC_COMPLEX) {
    out.push_back(bounded);
    return out;
  }
  CLIPOBJ_cEnumStart(pco, FALSE, CT_RECTANGLES, CD_ANY, 0);
  struct {
    ULONG c;
    RECTL arcl[8];
  } batch;
  BOOL more;
  do {
    more = CLIPOBJ_bEnum(pco, sizeof batch, reinterpret_cast<ULONG*>(&batch));
    for (ULONG i = 0; i < batch.c && i < 8; ++i) {
      RECTL r = intersect(batch.arcl[i], bounded);
      if (!empty(r)) out.push_back(r);
    }
  } while (more);
  return out;
}

void realize(BRUSHOBJ* pbo);

// A brush as the engine draws it: a solid value or the driver's one-bit
// dither (32 x 16, each row a little-endian ULONG, bits MSB first per byte).
struct Pattern {
  bool solid = true;
  ULONG value = 0;
  const ULONG* rows = nullptr;
  POINTL origin{0, 0};
  ULONG at(LONG x, LONG y) const {
    if (solid) return value;
    const ULONG px = ULONG(x - origin.x) & 31, py = ULONG(y - origin.y) & 15;
    const BYTE byte = BYTE(rows[py] >> (8 * (px >> 3)));
    return (byte >> (7 - (px & 7))) & 1;
  }
};

Pattern patternOf(const SURFOBJ* dst, BRUSHOBJ* pbo, const POINTL* origin) {
  Pattern p;
  if (origin) p.origin = *origin;
  if (!pbo) return p;
  if (pbo->iSolidColor != 0xFFFFFFFF) {
    p.value = pbo->iSolidColor;
    return p;
  }
  auto it = drawing().brushes.find(pbo);
  if (it == drawing().brushes.end()) return p;
  if (!pbo->pvRbrush) realize(pbo);
  const BrushRecord& b = it->second;
  if (!b.dithered) {
    p.value = nearest(dst, b.rgb);
  } else if (dst->iBitmapFormat == BMF_1BPP) {
    p.solid = false;
    p.rows = b.dither;
  } else {
    p.value = b.dither[0];
  }
  return p;
}

// GDI's realization of a brush on the driver's device: the driver's dither
// of the colour (DrvDitherColor), then DrvRealizeBrush with the colour
// marked as a dither colour.
void realize(BRUSHOBJ* pbo) {
  auto it = drawing().brushes.find(pbo);
  if (it == drawing().brushes.end()) return;
  BrushRecord& b = it->second;
  DHPDEV dhpdev = b.target ? b.target->dhpdev : nullptr;
  using DitherFn = ULONG(APIENTRY*)(DHPDEV, ULONG, ULONG, ULONG*);
  using RealizeFn = BOOL(APIENTRY*)(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG);
  if (auto dither = reinterpret_cast<DitherFn>(reinterpret_cast<void*>(driverFunction(INDEX_DrvDitherColor)))) {
    ULONG out[16] = {};
    if (dither(dhpdev, DM_DEFAULT, b.rgb, out) == DCR_DRIVER) {
      b.dithered = true;
      std::memcpy(b.dither, out, sizeof out);
    }
  }
  if (auto realizeBrush = reinterpret_cast<RealizeFn>(reinterpret_cast<void*>(driverFunction(INDEX_DrvRealizeBrush))))
    realizeBrush(pbo, b.target, nullptr, nullptr, nullptr, RB_DITHERCOLOR | (b.rgb & 0xFFFFFF));
}

// --- recording -----------------------------------------------------------

EngineCall& record(const char* name, SURFOBJ* dst, SURFOBJ* src, CLIPOBJ* pco) {
  EngineCall c;
  c.name = name;
  c.dest = dst;
  c.source = src;
  c.clip = pco;
  if (pco) c.clipComplexity = pco->iDComplexity;
  drawing().calls.push_back(c);
  return drawing().calls.back();
}
void noteRect(EngineCall& c, const RECTL* r) {
  if (r) c.hasRect = true, c.rect = *r;
}
void noteSourceRect(EngineCall& c, const RECTL* r) {
  if (r) c.hasSourceRect = true, c.sourceRect = *r;
}
void noteSourcePoint(EngineCall& c, const POINTL* p) {
  if (p) c.hasSourcePoint = true, c.sourcePoint = *p;
}
void noteBrush(EngineCall& c, const BRUSHOBJ* b, const POINTL* origin) {
  if (b) c.hasBrush = true, c.brushColor = b->iSolidColor;
  if (origin) c.hasBrushOrigin = true, c.brushOrigin = *origin;
}
void noteAdjust(EngineCall& c, const COLORADJUSTMENT* ca) {
  if (ca) c.hasColorAdjust = true, c.colorAdjust = *ca;
}

// --- the drawing cores ---------------------------------------------------

// Writes rop3(P, S, D) over `area` of `dst` within the clip. `source(x, y,
// &value)` gives the translated source value, false to leave the pixel.
template <class Source>
void blit(SURFOBJ* dst, CLIPOBJ* pco, const RECTL& area, BYTE rop, const Pattern& pattern, Source&& source) {
  const int bits = bitsOf(dst->iBitmapFormat);
  const bool useSource = ropUsesSource(rop), usePattern = ropUsesPattern(rop);
  for (const RECTL& r : clipped(dst, pco, area))
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) {
        ULONG s = 0;
        if (useSource && !source(x, y, &s)) continue;
        const ULONG p = usePattern ? pattern.at(x, y) : 0;
        setPixel(dst, x, y, rop3Apply(rop, p, s, pixel(dst, x, y), bits));
      }
}

void fillArea(SURFOBJ* dst, CLIPOBJ* pco, const RECTL& area, BYTE rop, const Pattern& pattern) {
  blit(dst, pco, area, rop, pattern, [](LONG, LONG, ULONG*) { return false; });
}

// Maps destination pixels of a stretch to source boxes, mirroring when one
// rectangle is flipped and the other is not.
struct Stretch {
  RECTL dst, src;
  bool flipX, flipY;
  const SURFOBJ* so;
  Stretch(const RECTL& d, const RECTL& s, const SURFOBJ* source)
      : dst(ordered(d)), src(ordered(s)), flipX((d.right < d.left) != (s.right < s.left)),
        flipY((d.bottom < d.top) != (s.bottom < s.top)), so(source) {}
  // The average colour of the source box behind destination pixel (x, y);
  // false when the box lies outside the source bitmap.
  bool average(LONG x, LONG y, ULONG* rgb) const {
    const LONG w = dst.right - dst.left, h = dst.bottom - dst.top;
    const LONG sw = src.right - src.left, sh = src.bottom - src.top;
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
    LONG u = x - dst.left, v = y - dst.top;
    if (flipX) u = w - 1 - u;
    if (flipY) v = h - 1 - v;
    LONG x0 = src.left + LONG(int64_t(u) * sw / w), x1 = src.left + LONG(int64_t(u + 1) * sw / w);
    LONG y0 = src.top + LONG(int64_t(v) * sh / h), y1 = src.top + LONG(int64_t(v + 1) * sh / h);
    if (x1 <= x0) x1 = x0 + 1;
    if (y1 <= y0) y1 = y0 + 1;
    x0 = std::max<LONG>(x0, 0), y0 = std::max<LONG>(y0, 0);
    x1 = std::min<LONG>(x1, so->sizlBitmap.cx), y1 = std::min<LONG>(y1, so->sizlBitmap.cy);
    if (x1 <= x0 || y1 <= y0) return false;
    const LONG stepX = std::max<LONG>(1, (x1 - x0) / 8), stepY = std::max<LONG>(1, (y1 - y0) / 8);
    ULONG r = 0, g = 0, b = 0, n = 0;
    for (LONG sy = y0; sy < y1; sy += stepY)
      for (LONG sx = x0; sx < x1; sx += stepX) {
        const ULONG c = colorOf(so, pixel(so, sx, sy));
        r += c & 0xFF, g += (c >> 8) & 0xFF, b += (c >> 16) & 0xFF, ++n;
      }
    *rgb = (r / n) | (g / n) << 8 | (b / n) << 16;
    return true;
  }
  // The nearest source pixel's raw value.
  bool sample(LONG x, LONG y, ULONG* value) const {
    const LONG w = dst.right - dst.left, h = dst.bottom - dst.top;
    const LONG sw = src.right - src.left, sh = src.bottom - src.top;
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
    LONG u = x - dst.left, v = y - dst.top;
    if (flipX) u = w - 1 - u;
    if (flipY) v = h - 1 - v;
    const LONG sx = src.left + LONG((int64_t(u) * 2 + 1) * sw / (2 * w));
    const LONG sy = src.top + LONG((int64_t(v) * 2 + 1) * sh / (2 * h));
    if (sx < 0 || sy < 0 || sx >= so->sizlBitmap.cx || sy >= so->sizlBitmap.cy) return false;
    *value = pixel(so, sx, sy);
    return true;
  }
};

BOOL stretchCore(SURFOBJ* dst, SURFOBJ* src, CLIPOBJ* pco, XLATEOBJ* xlo, POINTL* htOrg, RECTL* prclDest,
                 RECTL* prclSrc, ULONG mode, BYTE rop, const Pattern& pattern) {
  if (!drawable(dst) || !drawable(src) || !prclDest) return TRUE;
  const RECTL whole{0, 0, src->sizlBitmap.cx, src->sizlBitmap.cy};
  Stretch map(*prclDest, prclSrc ? *prclSrc : whole, src);
  const POINTL origin = htOrg ? *htOrg : POINTL{0, 0};
  if (mode == HALFTONE)
    blit(dst, pco, map.dst, rop, pattern, [&](LONG x, LONG y, ULONG* s) {
      ULONG rgb;
      if (!map.average(x, y, &rgb)) return false;
      *s = halftone(dst, rgb, x, y, origin);
      return true;
    });
  else
    blit(dst, pco, map.dst, rop, pattern, [&](LONG x, LONG y, ULONG* s) {
      ULONG v;
      if (!map.sample(x, y, &v)) return false;
      *s = translate(src, dst, xlo, v);
      return true;
    });
  return TRUE;
}

// Straight line from (x1, y1) towards (x2, y2), the last pixel excluded.
void line(SURFOBJ* dst, CLIPOBJ* pco, LONG x1, LONG y1, LONG x2, LONG y2, BYTE rop, const Pattern& pattern) {
  const RECTL bitmap{0, 0, dst->sizlBitmap.cx, dst->sizlBitmap.cy};
  const std::vector<RECTL> rects = clipped(dst, pco, bitmap);
  const int bits = bitsOf(dst->iBitmapFormat);
  const LONG dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
  const LONG stepX = x1 < x2 ? 1 : -1, stepY = y1 < y2 ? 1 : -1;
  LONG err = dx + dy, x = x1, y = y1;
  while (x != x2 || y != y2) {
    for (const RECTL& r : rects)
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
        setPixel(dst, x, y, rop3Apply(rop, pattern.at(x, y), 0, pixel(dst, x, y), bits));
        break;
      }
    const LONG e2 = 2 * err;
    if (e2 >= dy) err += dy, x += stepX;
    if (e2 <= dx) err += dx, y += stepY;
  }
}

PathRecord* pathOf(PATHOBJ* ppo) {
  auto it = drawing().paths.find(ppo);
  return it == drawing().paths.end() ? nullptr : it->second.get();
}

// Fills the path's figures (closed implicitly), sampling pixel centres.
void fillPath(SURFOBJ* dst, const PathRecord& path, CLIPOBJ* pco, BYTE rop, const Pattern& pattern, bool winding) {
  struct Edge {
    double x0, y0, x1, y1;
    int dir;
  };
  std::vector<Edge> edges;
  RECTL box{0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF};
  for (const auto& fig : path.figures)
    for (size_t i = 0; i < fig.size(); ++i) {
      const POINTFIX& a = fig[i];
      const POINTFIX& b = fig[(i + 1) % fig.size()];
      box.left = std::min(box.left, LONG(a.x >> 4)), box.right = std::max(box.right, LONG((a.x + 15) >> 4) + 1);
      box.top = std::min(box.top, LONG(a.y >> 4)), box.bottom = std::max(box.bottom, LONG((a.y + 15) >> 4) + 1);
      if (a.y == b.y) continue;
      edges.push_back(Edge{a.x / 16.0, a.y / 16.0, b.x / 16.0, b.y / 16.0, b.y > a.y ? 1 : -1});
    }
  if (edges.empty()) return;
  const int bits = bitsOf(dst->iBitmapFormat);
  for (const RECTL& r : clipped(dst, pco, box))
    for (LONG y = r.top; y < r.bottom; ++y) {
      const double cy = y + 0.5;
      std::vector<std::pair<double, int>> xs;
      for (const Edge& e : edges) {
        const double lo = std::min(e.y0, e.y1), hi = std::max(e.y0, e.y1);
        if (cy < lo || cy >= hi) continue;
        xs.emplace_back(e.x0 + (cy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir);
      }
      std::sort(xs.begin(), xs.end());
      int count = 0;
      for (size_t i = 0; i + 1 < xs.size(); ++i) {
        count += winding ? xs[i].second : 1;
        const bool inside = winding ? count != 0 : (count & 1);
        if (!inside) continue;
        // Pixels whose centre lies in [xs[i], xs[i+1]).
        LONG from = std::max<LONG>(r.left, LONG(std::ceil(xs[i].first - 0.5)));
        LONG to = std::min<LONG>(r.right, LONG(std::ceil(xs[i + 1].first - 0.5)));
        for (LONG x = from; x < to; ++x)
          setPixel(dst, x, y, rop3Apply(rop, pattern.at(x, y), 0, pixel(dst, x, y), bits));
      }
    }
}

void strokePath(SURFOBJ* dst, const PathRecord& path, CLIPOBJ* pco, BYTE rop, const Pattern& pattern) {
  for (size_t f = 0; f < path.figures.size(); ++f) {
    const auto& fig = path.figures[f];
    const size_t n = fig.size();
    const size_t segments = path.closed[f] ? n : (n ? n - 1 : 0);
    for (size_t i = 0; i < segments; ++i) {
      const POINTFIX& a = fig[i];
      const POINTFIX& b = fig[(i + 1) % n];
      line(dst, pco, (a.x + 8) >> 4, (a.y + 8) >> 4, (b.x + 8) >> 4, (b.y + 8) >> 4, rop, pattern);
    }
    // An open figure's last point is drawn too.
    if (!path.closed[f] && n) {
      const LONG x = (fig[n - 1].x + 8) >> 4, y = (fig[n - 1].y + 8) >> 4;
      line(dst, pco, x, y, x + 1, y, rop, pattern);
    }
  }
}

}  // namespace

void bindDriver(const DRVENABLEDATA& ded) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  drawing().driver.assign(ded.pdrvfn, ded.pdrvfn + ded.c);
}

void makeBrush(BRUSHOBJ* brush, SURFOBJ* target, ULONG rgb) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  rgb &= 0xFFFFFF;
  *brush = BRUSHOBJ{};
  brush->iSolidColor = 0xFFFFFFFF;
  const ULONG r = rgb & 0xFF, gr = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
  if (target && target->iBitmapFormat == BMF_1BPP && (rgb == 0 || rgb == 0xFFFFFF)) brush->iSolidColor = rgb ? 1 : 0;
  if (target && target->iBitmapFormat == BMF_8BPP && r == gr && gr == b) brush->iSolidColor = r;
  BrushRecord record;
  record.rgb = rgb;
  record.target = target;
  drawing().brushes[brush] = record;
}

void forgetBrush(const BRUSHOBJ* brush) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  drawing().brushes.erase(brush);
}

void realizeRegisteredBrush(BRUSHOBJ* brush) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  realize(brush);
}

std::vector<EngineCall> engineCalls() {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  return drawing().calls;
}

void clearEngineCalls() {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  drawing().calls.clear();
}

}  // namespace sim

using namespace sim;

extern "C" {

namespace {

BOOL bitBltCore(SURFOBJ* psoTrg, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, const RECTL& target,
                const POINTL* pptlSrc, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  if (!drawable(psoTrg)) return TRUE;
  const BYTE rop = BYTE(rop4);
  RECTL area = ordered(target);
  POINTL from = pptlSrc ? *pptlSrc : POINTL{area.left, area.top};
  if (ropUsesSource(rop)) {
    if (!drawable(psoSrc)) return TRUE;
    // Only the part of the target that has source pixels behind it.
    if (from.x < 0) area.left -= from.x, from.x = 0;
    if (from.y < 0) area.top -= from.y, from.y = 0;
    area.right = std::min(area.right, area.left + psoSrc->sizlBitmap.cx - from.x);
    area.bottom = std::min(area.bottom, area.top + psoSrc->sizlBitmap.cy - from.y);
  }
  const Pattern pattern = ropUsesPattern(rop) ? patternOf(psoTrg, pbo, pptlBrush) : Pattern{};
  const RECTL a = area;
  blit(psoTrg, pco, area, rop, pattern, [&](LONG x, LONG y, ULONG* s) {
    *s = translate(psoSrc, psoTrg, pxlo, pixel(psoSrc, from.x + x - a.left, from.y + y - a.top));
    return true;
  });
  return TRUE;
}

}  // namespace

// Ternary rops (the low byte of rop4; masks are recorded, not applied)
// with solid and dithered brushes and sources of any supported depth.
BOOL APIENTRY EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                        RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                        ROP4 rop4) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngBitBlt", psoTrg, psoSrc, pco);
  noteRect(c, prclTrg), noteSourcePoint(c, pptlSrc), noteBrush(c, pbo, pptlBrush);
  c.rop = rop4, c.xlate = pxlo, c.mask = psoMask, (void)pptlMask;
  if (faulted(sim::api::EngBitBlt)) return FALSE;
  if (!prclTrg) return TRUE;
  return bitBltCore(psoTrg, psoSrc, pco, pxlo, *prclTrg, pptlSrc, pbo, pptlBrush, rop4);
}

BOOL APIENTRY EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                          POINTL* pptlSrc) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngCopyBits", psoDest, psoSrc, pco);
  noteRect(c, prclDest), noteSourcePoint(c, pptlSrc);
  c.xlate = pxlo;
  if (faulted(sim::api::EngCopyBits)) return FALSE;
  if (!prclDest) return TRUE;
  return bitBltCore(psoDest, psoSrc, pco, pxlo, *prclDest, pptlSrc, nullptr, nullptr, 0xCCCC);
}

BOOL APIENTRY EngStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                            COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                            POINTL* pptlMask, ULONG iMode) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngStretchBlt", psoDest, psoSrc, pco);
  noteRect(c, prclDest), noteSourceRect(c, prclSrc), noteAdjust(c, pca), noteBrush(c, nullptr, pptlHTOrg);
  c.mode = iMode, c.xlate = pxlo, c.mask = psoMask, (void)pptlMask;
  if (faulted(sim::api::EngStretchBlt)) return FALSE;
  return stretchCore(psoDest, psoSrc, pco, pxlo, pptlHTOrg, prclDest, prclSrc, iMode, 0xCC, Pattern{});
}

BOOL APIENTRY EngStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                               COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                               POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngStretchBltROP", psoDest, psoSrc, pco);
  noteRect(c, prclDest), noteSourceRect(c, prclSrc), noteAdjust(c, pca), noteBrush(c, pbo, pptlHTOrg);
  c.mode = iMode, c.rop = rop4, c.xlate = pxlo, c.mask = psoMask, (void)pptlMask;
  if (faulted(sim::api::EngStretchBltROP)) return FALSE;
  const BYTE rop = BYTE(rop4);
  const Pattern pattern = ropUsesPattern(rop) && drawable(psoDest) ? patternOf(psoDest, pbo, nullptr) : Pattern{};
  return stretchCore(psoDest, psoSrc, pco, pxlo, pptlHTOrg, prclDest, prclSrc, iMode, rop, pattern);
}

// Axis-aligned parallelograms only (A top-left, B top-right, C bottom-left
// in 28.4 fixed point); others are recorded and not drawn.
BOOL APIENTRY EngPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
                        COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl,
                        ULONG iMode) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngPlgBlt", psoTrg, psoSrc, pco);
  noteSourceRect(c, prcl), noteAdjust(c, pca), noteBrush(c, nullptr, pptlBrushOrg);
  c.mode = iMode, c.xlate = pxlo, c.mask = psoMsk, (void)pptl;
  if (faulted(sim::api::EngPlgBlt)) return FALSE;
  if (!pptfx || pptfx[0].y != pptfx[1].y || pptfx[0].x != pptfx[2].x) return TRUE;
  RECTL dest{pptfx[0].x >> 4, pptfx[0].y >> 4, pptfx[1].x >> 4, pptfx[2].y >> 4};
  c.hasRect = true, c.rect = dest;
  return stretchCore(psoTrg, psoSrc, pco, pxlo, pptlBrushOrg, &dest, prcl, iMode, 0xCC, Pattern{});
}

// Constant alpha (SourceConstantAlpha) over the destination's grey,
// halftoned onto one-bit surfaces; per-pixel source alpha is not applied.
BOOL APIENTRY EngAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                            RECTL* prclSrc, BLENDOBJ* pBlendObj) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngAlphaBlend", psoDest, psoSrc, pco);
  noteRect(c, prclDest), noteSourceRect(c, prclSrc);
  c.xlate = pxlo;
  if (faulted(sim::api::EngAlphaBlend)) return FALSE;
  if (!drawable(psoDest) || !drawable(psoSrc) || !prclDest || !prclSrc || !pBlendObj) return TRUE;
  const ULONG alpha = pBlendObj->BlendFunction.SourceConstantAlpha;
  Stretch map(*prclDest, *prclSrc, psoSrc);
  for (const RECTL& r : clipped(psoDest, pco, map.dst))
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) {
        ULONG v;
        if (!map.sample(x, y, &v)) continue;
        const ULONG s = luma(colorOf(psoSrc, v)), d = luma(colorOf(psoDest, pixel(psoDest, x, y)));
        const ULONG grey = (s * alpha + d * (255 - alpha) + 127) / 255;
        setPixel(psoDest, x, y, halftone(psoDest, grey * 0x010101, x, y, POINTL{0, 0}));
      }
  return TRUE;
}

// Rectangle gradients (GRADIENT_FILL_RECT_H / _V) and triangles, colours
// interpolated per pixel and halftoned onto one-bit surfaces.
BOOL APIENTRY EngGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                              PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngGradientFill", psoDest, nullptr, pco);
  noteRect(c, prclExtents), noteBrush(c, nullptr, pptlDitherOrg);
  c.mode = ulMode, c.xlate = pxlo;
  if (faulted(sim::api::EngGradientFill)) return FALSE;
  if (!drawable(psoDest) || !pVertex || !pMesh) return TRUE;
  const POINTL origin = pptlDitherOrg ? *pptlDitherOrg : POINTL{0, 0};
  auto colorAt = [](const TRIVERTEX& v) { return ULONG(v.Red >> 8) | ULONG(v.Green >> 8) << 8 | ULONG(v.Blue >> 8) << 16; };
  auto mixColors = [](ULONG a, ULONG b, double t) {
    ULONG out = 0;
    for (int k = 0; k < 3; ++k) {
      const double ca = (a >> (8 * k)) & 0xFF, cb = (b >> (8 * k)) & 0xFF;
      out |= ULONG(ca + (cb - ca) * t + 0.5) << (8 * k);
    }
    return out;
  };
  auto put = [&](LONG x, LONG y, ULONG rgb) { setPixel(psoDest, x, y, halftone(psoDest, rgb, x, y, origin)); };
  if (ulMode == GRADIENT_FILL_RECT_H || ulMode == GRADIENT_FILL_RECT_V) {
    const GRADIENT_RECT* rects = static_cast<const GRADIENT_RECT*>(pMesh);
    for (ULONG m = 0; m < nMesh; ++m) {
      if (rects[m].UpperLeft >= nVertex || rects[m].LowerRight >= nVertex) continue;
      const TRIVERTEX& a = pVertex[rects[m].UpperLeft];
      const TRIVERTEX& b = pVertex[rects[m].LowerRight];
      const RECTL area = ordered(RECTL{a.x, a.y, b.x, b.y});
      for (const RECTL& r : clipped(psoDest, pco, area))
        for (LONG y = r.top; y < r.bottom; ++y)
          for (LONG x = r.left; x < r.right; ++x) {
            const double t = ulMode == GRADIENT_FILL_RECT_H
                                 ? (area.right - area.left > 1 ? double(x - area.left) / (area.right - area.left - 1) : 0)
                                 : (area.bottom - area.top > 1 ? double(y - area.top) / (area.bottom - area.top - 1) : 0);
            put(x, y, mixColors(colorAt(a), colorAt(b), t));
          }
    }
    return TRUE;
  }
  if (ulMode != GRADIENT_FILL_TRIANGLE) return TRUE;
  const ULONG* tris = static_cast<const ULONG*>(pMesh);  // GRADIENT_TRIANGLE: three vertex indices
  for (ULONG m = 0; m < nMesh; ++m) {
    const ULONG i0 = tris[3 * m], i1 = tris[3 * m + 1], i2 = tris[3 * m + 2];
    if (i0 >= nVertex || i1 >= nVertex || i2 >= nVertex) continue;
    const TRIVERTEX &a = pVertex[i0], &b = pVertex[i1], &t = pVertex[i2];
    const double det = double(b.y - t.y) * (a.x - t.x) + double(t.x - b.x) * (a.y - t.y);
    if (det == 0) continue;
    const RECTL area{std::min({a.x, b.x, t.x}), std::min({a.y, b.y, t.y}), std::max({a.x, b.x, t.x}) + 1,
                     std::max({a.y, b.y, t.y}) + 1};
    for (const RECTL& r : clipped(psoDest, pco, area))
      for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x) {
          const double px = x + 0.5, py = y + 0.5;
          const double l0 = ((b.y - t.y) * (px - t.x) + (t.x - b.x) * (py - t.y)) / det;
          const double l1 = ((t.y - a.y) * (px - t.x) + (a.x - t.x) * (py - t.y)) / det;
          const double l2 = 1 - l0 - l1;
          if (l0 < 0 || l1 < 0 || l2 < 0) continue;
          ULONG rgb = 0;
          for (int k = 0; k < 3; ++k) {
            const double v = l0 * ((colorAt(a) >> (8 * k)) & 0xFF) + l1 * ((colorAt(b) >> (8 * k)) & 0xFF) +
                             l2 * ((colorAt(t) >> (8 * k)) & 0xFF);
            rgb |= ULONG(v + 0.5) << (8 * k);
          }
          put(x, y, rgb);
        }
  }
  return TRUE;
}

// Copies (stretching to the nearest pixel) every source pixel whose raw
// value is not the transparent colour.
BOOL APIENTRY EngTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                                RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngTransparentBlt", psoDst, psoSrc, pco);
  noteRect(c, prclDst), noteSourceRect(c, prclSrc);
  c.xlate = pxlo, c.transparent = iTransColor, (void)ulReserved;
  if (faulted(sim::api::EngTransparentBlt)) return FALSE;
  if (!drawable(psoDst) || !drawable(psoSrc) || !prclDst || !prclSrc) return TRUE;
  Stretch map(*prclDst, *prclSrc, psoSrc);
  blit(psoDst, pco, map.dst, 0xCC, Pattern{}, [&](LONG x, LONG y, ULONG* s) {
    ULONG v;
    if (!map.sample(x, y, &v) || v == iTransColor) return false;
    *s = translate(psoSrc, psoDst, pxlo, v);
    return true;
  });
  return TRUE;
}

// The opaque rectangle in the opaque brush, then each glyph bitmap of the
// string's positions (pgp) in the foreground brush, then the extra
// rectangles (a list ended by an empty one).
BOOL APIENTRY EngTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                         RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngTextOut", pso, nullptr, pco);
  noteRect(c, prclOpaque), noteBrush(c, pboFore, pptlOrg);
  c.rop = mix, c.glyphs = pstro ? pstro->cGlyphs : 0, (void)pfo;
  if (pboOpaque) c.hasOpaqueBrush = true, c.opaqueColor = pboOpaque->iSolidColor;
  if (faulted(sim::api::EngTextOut)) return FALSE;
  if (!drawable(pso)) return TRUE;
  if (prclOpaque && pboOpaque) fillArea(pso, pco, ordered(*prclOpaque), 0xF0, patternOf(pso, pboOpaque, pptlOrg));
  const Pattern fore = patternOf(pso, pboFore, pptlOrg);
  const int bits = bitsOf(pso->iBitmapFormat);
  if (pstro && pstro->pgp) {
    for (ULONG i = 0; i < pstro->cGlyphs; ++i) {
      const GLYPHPOS& gp = pstro->pgp[i];
      const GLYPHBITS* gb = gp.pgdf ? gp.pgdf->pgb : nullptr;
      if (!gb || gb->sizlBitmap.cx <= 0 || gb->sizlBitmap.cy <= 0) continue;
      const LONG left = gp.ptl.x + gb->ptlOrigin.x, top = gp.ptl.y + gb->ptlOrigin.y;
      const LONG stride = (gb->sizlBitmap.cx + 7) / 8;
      const RECTL area{left, top, left + gb->sizlBitmap.cx, top + gb->sizlBitmap.cy};
      for (const RECTL& r : clipped(pso, pco, area))
        for (LONG y = r.top; y < r.bottom; ++y) {
          const BYTE* row = gb->aj + size_t(y - top) * size_t(stride);
          for (LONG x = r.left; x < r.right; ++x) {
            const LONG u = x - left;
            if ((row[u >> 3] >> (7 - (u & 7))) & 1) setPixel(pso, x, y, rop3Apply(0xF0, fore.at(x, y), 0, 0, bits));
          }
        }
    }
  }
  for (RECTL* r = prclExtra; r && !(r->left == 0 && r->top == 0 && r->right == 0 && r->bottom == 0); ++r)
    fillArea(pso, pco, ordered(*r), 0xF0, fore);
  return TRUE;
}

BOOL APIENTRY EngPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngPaint", pso, nullptr, pco);
  noteBrush(c, pbo, pptlBrushOrg);
  c.rop = mix;
  if (faulted(sim::api::EngPaint)) return FALSE;
  if (!drawable(pso) || !pco) return TRUE;
  const RECTL all{0, 0, pso->sizlBitmap.cx, pso->sizlBitmap.cy};
  fillArea(pso, pco, all, ropOfMix(mix), patternOf(pso, pbo, pptlBrushOrg));
  return TRUE;
}

BOOL APIENTRY EngFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                          FLONG flOptions) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngFillPath", pso, nullptr, pco);
  noteBrush(c, pbo, pptlBrushOrg);
  c.rop = mix, c.mode = flOptions, c.path = ppo;
  if (faulted(sim::api::EngFillPath)) return FALSE;
  const PathRecord* path = pathOf(ppo);
  if (!drawable(pso) || !path) return TRUE;
  fillPath(pso, *path, pco, ropOfMix(mix), patternOf(pso, pbo, pptlBrushOrg), flOptions & FP_WINDINGMODE);
  return TRUE;
}

// Cosmetic (one-pixel) strokes: line attributes are recorded, not applied.
BOOL APIENTRY EngStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngStrokePath", pso, nullptr, pco);
  noteBrush(c, pbo, pptlBrushOrg);
  c.rop = mix, c.path = ppo, (void)pxo, (void)plineattrs;
  if (faulted(sim::api::EngStrokePath)) return FALSE;
  const PathRecord* path = pathOf(ppo);
  if (!drawable(pso) || !path) return TRUE;
  strokePath(pso, *path, pco, ropOfMix(mix), patternOf(pso, pbo, pptlBrushOrg));
  return TRUE;
}

BOOL APIENTRY EngStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                                   LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                                   FLONG flOptions) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngStrokeAndFillPath", pso, nullptr, pco);
  noteBrush(c, pboFill, pptlBrushOrg);
  c.rop = mixFill, c.mode = flOptions, c.path = ppo, (void)pxo, (void)plineattrs;
  if (pboStroke) c.hasOpaqueBrush = true, c.opaqueColor = pboStroke->iSolidColor;
  if (faulted(sim::api::EngStrokeAndFillPath)) return FALSE;
  const PathRecord* path = pathOf(ppo);
  if (!drawable(pso) || !path) return TRUE;
  fillPath(pso, *path, pco, ropOfMix(mixFill), patternOf(pso, pboFill, pptlBrushOrg), flOptions & FP_WINDINGMODE);
  strokePath(pso, *path, pco, 0xF0, patternOf(pso, pboStroke, pptlBrushOrg));
  return TRUE;
}

BOOL APIENTRY EngLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
                        RECTL* prclBounds, MIX mix) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  EngineCall& c = record("EngLineTo", pso, nullptr, pco);
  noteRect(c, prclBounds), noteBrush(c, pbo, nullptr);
  c.rop = mix, c.line = RECTL{x1, y1, x2, y2};
  if (faulted(sim::api::EngLineTo)) return FALSE;
  if (!drawable(pso)) return TRUE;
  line(pso, pco, x1, y1, x2, y2, ropOfMix(mix), patternOf(pso, pbo, nullptr));
  return TRUE;
}

PATHOBJ* APIENTRY EngCreatePath(VOID) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  auto path = std::make_unique<PathRecord>();
  PATHOBJ* obj = &path->obj;
  drawing().paths[obj] = std::move(path);
  return obj;
}

VOID APIENTRY EngDeletePath(PATHOBJ* ppo) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  drawing().paths.erase(ppo);
}

BOOL APIENTRY PATHOBJ_bMoveTo(PATHOBJ* ppo, POINTFIX ptfx) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  PathRecord* p = pathOf(ppo);
  if (!p) return FALSE;
  p->figures.push_back({ptfx});
  p->closed.push_back(false);
  return TRUE;
}

BOOL APIENTRY PATHOBJ_bPolyLineTo(PATHOBJ* ppo, POINTFIX* pptfx, ULONG cptfx) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  PathRecord* p = pathOf(ppo);
  if (!p || p->figures.empty() || (!pptfx && cptfx)) return FALSE;
  p->figures.back().insert(p->figures.back().end(), pptfx, pptfx + cptfx);
  p->obj.cCurves += cptfx;
  return TRUE;
}

BOOL APIENTRY PATHOBJ_bCloseFigure(PATHOBJ* ppo) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  PathRecord* p = pathOf(ppo);
  if (!p || p->figures.empty()) return FALSE;
  p->closed.back() = true;
  return TRUE;
}

VOID APIENTRY PATHOBJ_vEnumStart(PATHOBJ* ppo) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  if (PathRecord* p = pathOf(ppo)) p->next = 0;
}

BOOL APIENTRY PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd) {
  std::lock_guard<std::recursive_mutex> g(drawing().lock);
  PathRecord* p = pathOf(ppo);
  if (!p || !ppd || p->next >= p->figures.size()) {
    if (ppd) *ppd = PATHDATA{};
    return FALSE;
  }
  const size_t f = p->next++;
  ppd->flags = PD_BEGINSUBPATH | PD_ENDSUBPATH | (p->closed[f] ? PD_CLOSEFIGURE : 0);
  ppd->count = ULONG(p->figures[f].size());
  ppd->pptfx = p->figures[f].data();
  return p->next < p->figures.size();
}

}  // extern "C"
