// GDI's side of printing on the simulated host: a device context on the
// driver (enable, surface, disable), documents and pages, and drawing
// requests turned into the driver calls GDI makes for them, band by band,
// with the clip, brush, colour-translation, path and string objects GDI
// would pass. Used by the driver's tests, labelprint and the benchmarks.
#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <windows.h>
#include <winddi.h>

#include "sim/spooler.h"

namespace gdiplay {

// Colours are R | G << 8 | B << 16.
inline constexpr ULONG kBlack = 0x000000;
inline constexpr ULONG kWhite = 0xFFFFFF;

// A source image: top-down rows without padding, 8-bit grey (0 black) or
// 24-bit colour (R, G, B bytes).
struct Image {
  LONG width = 0;
  LONG height = 0;
  int bitsPerPixel = 8;
  std::vector<BYTE> pixels;
};

// One glyph as a bitmap: one bit per pixel (set = ink), rows padded to
// whole bytes, MSB first; `left`/`top` place its top-left corner relative
// to the glyph's origin on the baseline.
struct Glyph {
  POINTL origin;  // on the page
  LONG left = 0;
  LONG top = 0;
  LONG width = 0;
  LONG height = 0;
  std::vector<BYTE> bits;
};

// Drawing requests in page coordinates (dots from the printable area's
// top-left corner) and what GDI calls for each.
struct FillRect {  // DrvBitBlt PATCOPY with a solid brush of `color`
  RECTL rect{};
  ULONG color = kBlack;
};
struct Line {  // DrvLineTo for width 1; wider pens are widened into a polygon and filled (DrvFillPath)
  POINTL from{};
  POINTL to{};
  ULONG color = kBlack;
  LONG width = 1;
};
struct Polygon {  // DrvFillPath, alternate fill
  std::vector<POINTL> points;
  ULONG color = kBlack;
};
struct Text {  // DrvTextOut with the glyphs' bitmaps and a foreground brush
  std::vector<Glyph> glyphs;
  ULONG color = kBlack;
};
struct StretchImage {  // DrvStretchBlt (COLORONCOLOR asked; the driver decides)
  std::shared_ptr<const Image> image;
  RECTL dest{};
};
struct CopyImage {  // DrvCopyBits of the whole image, top-left at `at`
  std::shared_ptr<const Image> image;
  POINTL at{};
};
struct BlitImage {  // DrvBitBlt SRCCOPY of the whole image, top-left at `at`
  std::shared_ptr<const Image> image;
  POINTL at{};
};
struct ClipRegion {  // the application's clip region for the requests after it; empty: none
  std::vector<RECTL> rects;  // not overlapping
};
using Request = std::variant<FillRect, Line, Polygon, Text, StretchImage, CopyImage, BlitImage, ClipRegion>;

struct Page {
  std::vector<Request> requests;
  void fill(RECTL rect, ULONG color) { requests.push_back(FillRect{rect, color}); }
  void line(POINTL from, POINTL to, ULONG color, LONG width = 1) { requests.push_back(Line{from, to, color, width}); }
  // The outline of `rect`, `thickness` dots wide inside it, as four fills.
  void frame(RECTL rect, LONG thickness, ULONG color);
  void polygon(std::vector<POINTL> points, ULONG color) { requests.push_back(Polygon{std::move(points), color}); }
  void text(std::vector<Glyph> glyphs, ULONG color) { requests.push_back(Text{std::move(glyphs), color}); }
  void stretch(std::shared_ptr<const Image> image, RECTL dest) { requests.push_back(StretchImage{std::move(image), dest}); }
  void copy(std::shared_ptr<const Image> image, POINTL at) { requests.push_back(CopyImage{std::move(image), at}); }
  void blit(std::shared_ptr<const Image> image, POINTL at) { requests.push_back(BlitImage{std::move(image), at}); }
  // Clips the requests after it to `rects` (none: the whole page again).
  void clip(std::vector<RECTL> rects) { requests.push_back(ClipRegion{std::move(rects)}); }
};

// A queue of the driver on the simulated spooler: a fresh host with a
// Windows directory, the queue added and a printer handle open on it.
class PrinterQueue {
 public:
  // Resets the host, makes its Windows directory, adds the queue and opens
  // it (printer() is null when that fails).
  explicit PrinterQueue(const sim::QueueSetup& setup);
  ~PrinterQueue();
  PrinterQueue(const PrinterQueue&) = delete;
  PrinterQueue& operator=(const PrinterQueue&) = delete;
  HANDLE printer() const { return printer_; }
  LPWSTR name() const { return const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(name_.c_str())); }
  // Everything WritePrinter delivered on the queue so far.
  std::vector<BYTE> written() const;
  const std::u16string& windowsDirectory() const { return windowsDir_; }

 private:
  std::u16string name_;
  std::u16string windowsDir_;
  HANDLE printer_ = nullptr;
};

// A printer device context: DrvEnableDriver, DrvEnablePDEV,
// DrvCompletePDEV and DrvEnableSurface on creation; DrvDisableSurface and
// DrvDisablePDEV on destruction. Calls go through the driver's hook table.
class DeviceContext {
 public:
  DeviceContext() = default;
  ~DeviceContext();
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;

  // Creates the device on `printer` with the application's device mode
  // (may be null) and its surface. False, with step() naming the refused
  // call, when a step fails.
  bool create(HANDLE printer, LPCWSTR deviceName, const DEVMODEW* devmode);
  // Only the device (no surface), for tests of enabling itself.
  bool createDevice(HANDLE printer, LPCWSTR deviceName, const DEVMODEW* devmode);
  bool enableSurface();
  void destroy();
  // Forgets the device without disabling it (the caller owns it now).
  void release() {
    device_ = nullptr;
    hsurf_ = nullptr;
    surface_ = nullptr;
  }

  DHPDEV device() const { return device_; }
  SURFOBJ* surface() const { return surface_; }
  const GDIINFO& gdiInfo() const { return gdi_; }
  const DEVINFO& devInfo() const { return dev_; }
  bool banding() const;
  HDEV hdev() const { return hdev_; }
  // The pattern handles DrvEnablePDEV filled in (six).
  const HSURF* patterns() const { return patterns_; }
  const char* step() const { return step_; }

  ULONG escape(ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
  bool startDoc(LPCWSTR docName, DWORD jobId);
  bool endDoc();
  // DrvStartPage, the page's requests on each band (DrvStartBanding and
  // DrvNextBand on a banding surface), DrvSendPage. False when any call
  // failed; the rest of the page is still played, as GDI would.
  bool printPage(const Page& page);
  // The page's requests on the band bitmap at `bandOrigin`, for a caller
  // that makes the page and band calls itself.
  bool draw(const Page& page, POINTL bandOrigin);
  // Band origins reported for the last page.
  const std::vector<POINTL>& bandOrigins() const { return bands_; }

 private:
  bool fail(const char* step);
  PFN hook(ULONG index) const;
  template <class Fn>
  Fn hookAs(ULONG index) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(hook(index)));
  }
  bool playBand(const Page& page, POINTL origin);
  // `region`: the clip region in band coordinates (empty: none), which a
  // ClipRegion request replaces.
  bool play(const Request& request, POINTL origin, std::vector<RECTL>& region);
  void releaseSources();

  DRVENABLEDATA driver_{};
  DHPDEV device_ = nullptr;
  HSURF hsurf_ = nullptr;
  SURFOBJ* surface_ = nullptr;
  HDEV hdev_ = reinterpret_cast<HDEV>(0x6D00);
  GDIINFO gdi_{};
  DEVINFO dev_{};
  HSURF patterns_[6] = {};
  const char* step_ = "";
  std::vector<POINTL> bands_;
  // Source bitmaps of the page being played, one per image.
  struct SourceBitmap {
    const Image* image = nullptr;
    std::vector<BYTE> bits;
    SURFOBJ so{};
  };
  std::vector<std::unique_ptr<SourceBitmap>> sources_;
};

}  // namespace gdiplay
