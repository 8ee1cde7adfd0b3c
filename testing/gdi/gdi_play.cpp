// GDI's side of printing on the simulated host.
#include "gdi_play.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include <winspool.h>
#include <wtext.h>

#include "sim/engine.h"
#include "sim/profile.h"
#include "sim/world.h"

namespace gdiplay {

namespace {

constexpr MIX kCopyPen = R2_COPYPEN | (R2_COPYPEN << 8);
constexpr ULONG kColorOnColor = 3;
constexpr RECTL kNoBounds{0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF};

RECTL offset(RECTL r, POINTL by) { return RECTL{r.left - by.x, r.top - by.y, r.right - by.x, r.bottom - by.y}; }

RECTL ordered(const RECTL& r) {
  return RECTL{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
}

// GDI's clip for an object with band-coordinate bounds `r` on a band
// bitmap of `size` under the clip region `region` (band coordinates; empty:
// none): the region is cut to the band, and the clip object describes it
// where it meets the object (sim::makeClip). False when they share nothing.
bool clipFor(const RECTL& r, SIZEL size, const std::vector<RECTL>& region, CLIPOBJ* clip) {
  const RECTL band{0, 0, size.cx, size.cy};
  std::vector<RECTL> visible;
  if (region.empty()) visible.push_back(band);
  for (const RECTL& part : region)
    visible.push_back(RECTL{std::max(part.left, band.left), std::max(part.top, band.top),
                            std::min(part.right, band.right), std::min(part.bottom, band.bottom)});
  sim::makeClip(clip, std::move(visible), ordered(r));
  return clip->rclBounds.right > clip->rclBounds.left && clip->rclBounds.bottom > clip->rclBounds.top;
}

// A brush GDI made for one call, released after it.
struct Brush {
  BRUSHOBJ obj;
  Brush(SURFOBJ* target, ULONG color) { sim::makeBrush(&obj, target, color); }
  ~Brush() { sim::forgetBrush(&obj); }
};

POINTFIX fix(double x, double y) { return POINTFIX{FIX(std::lround(x * 16)), FIX(std::lround(y * 16))}; }

// The band-coordinate polygon of a pen `width` dots wide along from-to,
// square ends reaching half the width past each end point.
std::vector<POINTFIX> widened(POINTL from, POINTL to, LONG width, POINTL origin) {
  const double x1 = from.x - origin.x + 0.5, y1 = from.y - origin.y + 0.5;
  const double x2 = to.x - origin.x + 0.5, y2 = to.y - origin.y + 0.5;
  double dx = x2 - x1, dy = y2 - y1;
  const double len = std::hypot(dx, dy);
  if (len == 0) dx = 1, dy = 0;
  else dx /= len, dy /= len;
  const double h = width / 2.0;
  const double nx = -dy * h, ny = dx * h, ex = dx * h, ey = dy * h;
  return {fix(x1 - ex + nx, y1 - ey + ny), fix(x2 + ex + nx, y2 + ey + ny), fix(x2 + ex - nx, y2 + ey - ny),
          fix(x1 - ex - nx, y1 - ey - ny)};
}

}  // namespace

void Page::frame(RECTL r, LONG t, ULONG color) {
  fill(RECTL{r.left, r.top, r.right, r.top + t}, color);
  fill(RECTL{r.left, r.bottom - t, r.right, r.bottom}, color);
  fill(RECTL{r.left, r.top + t, r.left + t, r.bottom - t}, color);
  fill(RECTL{r.right - t, r.top + t, r.right, r.bottom - t}, color);
}

PrinterQueue::PrinterQueue(const sim::QueueSetup& setup) : name_(setup.name) {
  sim::reset();
  windowsDir_ = sim::makeTempWindowsDirectory();
  sim::addQueue(setup);
  if (!OpenPrinterW(name(), &printer_, nullptr)) printer_ = nullptr;
}

PrinterQueue::~PrinterQueue() {
  if (printer_) ClosePrinter(printer_);
}

std::vector<BYTE> PrinterQueue::written() const { return sim::written(name_); }

DeviceContext::~DeviceContext() { destroy(); }

bool DeviceContext::fail(const char* step) {
  step_ = step;
  return false;
}

PFN DeviceContext::hook(ULONG index) const {
  for (ULONG i = 0; i < driver_.c; ++i)
    if (driver_.pdrvfn[i].iFunc == index) return driver_.pdrvfn[i].pfn;
  return nullptr;
}

bool DeviceContext::createDevice(HANDLE printer, LPCWSTR deviceName, const DEVMODEW* devmode) {
  destroy();
  if (!DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof driver_, &driver_)) return fail("DrvEnableDriver");
  sim::bindDriver(driver_);
  using EnablePdev = decltype(&DrvEnablePDEV);
  gdi_ = GDIINFO{};
  dev_ = DEVINFO{};
  device_ = hookAs<EnablePdev>(INDEX_DrvEnablePDEV)(
      const_cast<DEVMODEW*>(devmode), const_cast<LPWSTR>(WTEXT("USB001")), 6, patterns_, sizeof gdi_,
      reinterpret_cast<ULONG*>(&gdi_), sizeof dev_, &dev_, hdev_, const_cast<LPWSTR>(deviceName), printer);
  if (!device_) return fail("DrvEnablePDEV");
  sim::bindDevice(hdev_, device_);
  hookAs<decltype(&DrvCompletePDEV)>(INDEX_DrvCompletePDEV)(device_, hdev_);
  return true;
}

bool DeviceContext::enableSurface() {
  hsurf_ = hookAs<decltype(&DrvEnableSurface)>(INDEX_DrvEnableSurface)(device_);
  if (!hsurf_) return fail("DrvEnableSurface");
  surface_ = EngLockSurface(hsurf_);
  if (!surface_) return fail("EngLockSurface");
  return true;
}

bool DeviceContext::create(HANDLE printer, LPCWSTR deviceName, const DEVMODEW* devmode) {
  return createDevice(printer, deviceName, devmode) && enableSurface();
}

void DeviceContext::destroy() {
  if (surface_) EngUnlockSurface(surface_);
  surface_ = nullptr;
  if (device_) {
    if (hsurf_) hookAs<decltype(&DrvDisableSurface)>(INDEX_DrvDisableSurface)(device_);
    hookAs<decltype(&DrvDisablePDEV)>(INDEX_DrvDisablePDEV)(device_);
  }
  hsurf_ = nullptr;
  device_ = nullptr;
}

bool DeviceContext::banding() const {
  sim::SurfaceInfo info;
  return hsurf_ && sim::surfaceInfo(hsurf_, &info) && info.banding;
}

ULONG DeviceContext::escape(ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  return hookAs<decltype(&DrvEscape)>(INDEX_DrvEscape)(surface_, iEsc, cjIn, pvIn, cjOut, pvOut);
}

bool DeviceContext::startDoc(LPCWSTR docName, DWORD jobId) {
  if (!hookAs<decltype(&DrvStartDoc)>(INDEX_DrvStartDoc)(surface_, const_cast<LPWSTR>(docName), jobId))
    return fail("DrvStartDoc");
  return true;
}

bool DeviceContext::endDoc() {
  if (!hookAs<decltype(&DrvEndDoc)>(INDEX_DrvEndDoc)(surface_, 0)) return fail("DrvEndDoc");
  return true;
}

bool DeviceContext::printPage(const Page& page) {
  bool ok = true;
  bands_.clear();
  if (!hookAs<decltype(&DrvStartPage)>(INDEX_DrvStartPage)(surface_)) ok = fail("DrvStartPage");
  if (banding()) {
    POINTL origin{};
    if (!hookAs<decltype(&DrvStartBanding)>(INDEX_DrvStartBanding)(surface_, &origin)) ok = fail("DrvStartBanding");
    // GDI stops after as many bands as a page can have.
    for (int guard = 0; origin.x != -1 && guard < 1024; ++guard) {
      bands_.push_back(origin);
      if (!playBand(page, origin)) ok = false;
      if (!hookAs<decltype(&DrvNextBand)>(INDEX_DrvNextBand)(surface_, &origin)) {
        ok = fail("DrvNextBand");
        break;
      }
    }
  } else {
    bands_.push_back(POINTL{0, 0});
    if (!playBand(page, POINTL{0, 0})) ok = false;
  }
  if (!hookAs<decltype(&DrvSendPage)>(INDEX_DrvSendPage)(surface_)) ok = fail("DrvSendPage");
  releaseSources();
  return ok;
}

bool DeviceContext::draw(const Page& page, POINTL bandOrigin) {
  const bool ok = playBand(page, bandOrigin);
  releaseSources();
  return ok;
}

void DeviceContext::releaseSources() { sources_.clear(); }

bool DeviceContext::playBand(const Page& page, POINTL origin) {
  bool ok = true;
  std::vector<RECTL> region;
  for (const Request& r : page.requests)
    if (!play(r, origin, region)) ok = false;
  return ok;
}

bool DeviceContext::play(const Request& request, POINTL origin, std::vector<RECTL>& region) {
  if (const ClipRegion* c = std::get_if<ClipRegion>(&request)) {
    region.clear();
    for (const RECTL& r : c->rects) region.push_back(offset(r, origin));
    return true;
  }
  const SIZEL size = surface_->sizlBitmap;
  // Brush and halftone origins in band coordinates, so patterns continue
  // across bands.
  POINTL patternOrigin{-origin.x, -origin.y};
  CLIPOBJ clip;

  // The application's bitmap as GDI hands it to the driver: a device-
  // independent bitmap in the application's memory, not an engine bitmap.
  auto source = [&](const Image& image) -> SURFOBJ* {
    for (auto& src : sources_)
      if (src->image == &image) return &src->so;
    auto src = std::make_unique<SourceBitmap>();
    const LONG bytes = image.bitsPerPixel == 24 ? 3 : 1;
    const LONG stride = (image.width * bytes + 3) / 4 * 4;
    src->image = &image;
    src->bits.assign(size_t(stride) * size_t(image.height), 0);
    SURFOBJ& so = src->so;
    so.sizlBitmap = SIZEL{image.width, image.height};
    so.cjBits = ULONG(src->bits.size());
    so.pvBits = so.pvScan0 = src->bits.data();
    so.lDelta = stride;
    so.iBitmapFormat = image.bitsPerPixel == 24 ? BMF_24BPP : BMF_8BPP;
    so.iType = STYPE_BITMAP;
    so.fjBitmap = BMF_TOPDOWN;
    for (LONG y = 0; y < image.height; ++y) {
      BYTE* row = src->bits.data() + size_t(y) * size_t(stride);
      const BYTE* from = image.pixels.data() + size_t(y) * size_t(image.width * bytes);
      for (LONG x = 0; x < image.width; ++x) {
        if (bytes == 1) {
          row[x] = from[x];
        } else {  // bitmap bytes are blue, green, red
          row[3 * x] = from[3 * x + 2], row[3 * x + 1] = from[3 * x + 1], row[3 * x + 2] = from[3 * x];
        }
      }
    }
    sources_.push_back(std::move(src));
    return &sources_.back()->so;
  };

  // A closed band-coordinate outline filled through DrvFillPath.
  auto fillOutline = [&](const std::vector<POINTFIX>& outline, ULONG color) -> bool {
    RECTL bounds = kNoBounds;
    for (const POINTFIX& p : outline) {
      bounds.left = std::min<LONG>(bounds.left, p.x >> 4), bounds.top = std::min<LONG>(bounds.top, p.y >> 4);
      bounds.right = std::max<LONG>(bounds.right, (p.x >> 4) + 1);
      bounds.bottom = std::max<LONG>(bounds.bottom, (p.y >> 4) + 1);
    }
    if (!clipFor(bounds, size, region, &clip)) return true;
    PATHOBJ* path = EngCreatePath();
    PATHOBJ_bMoveTo(path, outline[0]);
    PATHOBJ_bPolyLineTo(path, const_cast<POINTFIX*>(outline.data()) + 1, ULONG(outline.size() - 1));
    PATHOBJ_bCloseFigure(path);
    Brush brush(surface_, color);
    const BOOL ok = hookAs<decltype(&DrvFillPath)>(INDEX_DrvFillPath)(surface_, path, &clip, &brush.obj,
                                                                    &patternOrigin, kCopyPen, FP_ALTERNATEMODE);
    EngDeletePath(path);
    return ok;
  };

  if (const FillRect* f = std::get_if<FillRect>(&request)) {
    RECTL target = offset(f->rect, origin);
    if (!clipFor(target, size, region, &clip)) return true;
    Brush brush(surface_, f->color);
    return hookAs<decltype(&DrvBitBlt)>(INDEX_DrvBitBlt)(surface_, nullptr, nullptr, &clip, nullptr, &target, nullptr,
                                                        nullptr, &brush.obj, &patternOrigin, 0xF0F0);
  }
  if (const Line* l = std::get_if<Line>(&request)) {
    if (l->width <= 1) {
      RECTL bounds{std::min(l->from.x, l->to.x), std::min(l->from.y, l->to.y), std::max(l->from.x, l->to.x) + 1,
                   std::max(l->from.y, l->to.y) + 1};
      bounds = offset(bounds, origin);
      if (!clipFor(bounds, size, region, &clip)) return true;
      Brush pen(surface_, l->color);
      return hookAs<decltype(&DrvLineTo)>(INDEX_DrvLineTo)(surface_, &clip, &pen.obj, l->from.x - origin.x,
                                                          l->from.y - origin.y, l->to.x - origin.x,
                                                          l->to.y - origin.y, &bounds, kCopyPen);
    }
    return fillOutline(widened(l->from, l->to, l->width, origin), l->color);
  }
  if (const Polygon* p = std::get_if<Polygon>(&request)) {
    if (p->points.size() < 3) return true;
    std::vector<POINTFIX> outline;
    for (const POINTL& q : p->points) outline.push_back(POINTFIX{(q.x - origin.x) * 16, (q.y - origin.y) * 16});
    return fillOutline(outline, p->color);
  }
  if (const Text* t = std::get_if<Text>(&request)) {
    if (t->glyphs.empty()) return true;
    std::vector<std::vector<BYTE>> blocks;
    std::vector<GLYPHDEF> defs(t->glyphs.size());
    std::vector<GLYPHPOS> positions(t->glyphs.size());
    RECTL box = kNoBounds;
    for (size_t i = 0; i < t->glyphs.size(); ++i) {
      const Glyph& g = t->glyphs[i];
      blocks.emplace_back(std::max(sizeof(GLYPHBITS), offsetof(GLYPHBITS, aj) + g.bits.size()), BYTE(0));
      GLYPHBITS* gb = reinterpret_cast<GLYPHBITS*>(blocks.back().data());
      gb->ptlOrigin = POINTL{g.left, g.top};
      gb->sizlBitmap = SIZEL{g.width, g.height};
      std::copy(g.bits.begin(), g.bits.end(), gb->aj);
      defs[i].pgb = gb;
      positions[i].hg = HGLYPH(i);
      positions[i].pgdf = &defs[i];
      positions[i].ptl = POINTL{g.origin.x - origin.x, g.origin.y - origin.y};
      const LONG left = positions[i].ptl.x + g.left, top = positions[i].ptl.y + g.top;
      box.left = std::min(box.left, left), box.top = std::min(box.top, top);
      box.right = std::max(box.right, left + g.width), box.bottom = std::max(box.bottom, top + g.height);
    }
    if (!clipFor(box, size, region, &clip)) return true;
    STROBJ str{};
    str.cGlyphs = ULONG(positions.size());
    str.rclBkGround = box;
    str.pgp = positions.data();
    FONTOBJ font{};
    font.flFontType = 0;
    Brush fore(surface_, t->color);
    return hookAs<decltype(&DrvTextOut)>(INDEX_DrvTextOut)(surface_, &str, &font, &clip, nullptr, nullptr, &fore.obj,
                                                          nullptr, &patternOrigin, kCopyPen);
  }
  if (const StretchImage* s = std::get_if<StretchImage>(&request)) {
    RECTL dest = offset(s->dest, origin);
    if (!s->image || !clipFor(dest, size, region, &clip)) return true;
    SURFOBJ* src = source(*s->image);
    RECTL from{0, 0, s->image->width, s->image->height};
    return hookAs<decltype(&DrvStretchBlt)>(INDEX_DrvStretchBlt)(surface_, src, nullptr, &clip, nullptr, nullptr,
                                                                &patternOrigin, &dest, &from, nullptr, kColorOnColor);
  }
  const bool copy = std::holds_alternative<CopyImage>(request);
  const std::shared_ptr<const Image>& image = copy ? std::get<CopyImage>(request).image : std::get<BlitImage>(request).image;
  const POINTL at = copy ? std::get<CopyImage>(request).at : std::get<BlitImage>(request).at;
  if (!image) return true;
  RECTL dest{at.x - origin.x, at.y - origin.y, at.x - origin.x + image->width, at.y - origin.y + image->height};
  if (!clipFor(dest, size, region, &clip)) return true;
  SURFOBJ* src = source(*image);
  POINTL from{0, 0};
  if (copy) return hookAs<decltype(&DrvCopyBits)>(INDEX_DrvCopyBits)(surface_, src, &clip, nullptr, &dest, &from);
  return hookAs<decltype(&DrvBitBlt)>(INDEX_DrvBitBlt)(surface_, src, nullptr, &clip, nullptr, &dest, &from, nullptr,
                                                      nullptr, nullptr, 0xCCCC);
}

}  // namespace gdiplay
