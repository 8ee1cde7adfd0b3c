// The per-device record (PrinterDevice) every driver entry point works on,
// and its validation.
#pragma once

#include <windows.h>
#include <winddi.h>
#include <winspool.h>

#include "guard.h"
#include "model_profile.h"
#include "page_layout.h"
#include "raster.h"
#include "settings_records.h"

namespace driver {

// Page geometry: sizes in 0.1 mm and in dots, and the printable area's
// offset on the page in dots.
struct PageGeometry {
  LONG pageWidth;
  LONG pageHeight;
  LONG printableWidth;
  LONG printableHeight;
  LONG pageWidthDots;
  LONG pageHeightDots;
  LONG printableWidthDots;
  LONG printableHeightDots;
  LONG leftOffsetDots;
  LONG topOffsetDots;
};

struct BandParameters {
  LONG minBands;
  LONG maxBands;
  LONG scanlineAlignment;  // bytes (4)
  LONG bandAlignment;      // 8 for 1-bit, 1 for 8-bit
};

// BandEntry (one band of the page, also the whole-page record), the band
// layout and the encoder live in raster.h; the output stage in jobstream.h.

// The work areas, carved in this order from one zero-filled heap block,
// kWorkBufferBytes each.
enum WorkArea : int {
  kDitherTable,      // 8-bit dither table (raster encoder)
  kFillDitherTable,  // same shape, grey rectangle fill
  kOutputStaging,    // output staging area
  kWorkAreaCount
};
inline constexpr ULONG kWorkBufferBytes = 64 * 1024;
struct WorkBuffers {
  BYTE* block;  // owns every area
  BYTE* buffer[kWorkAreaCount];
  ULONG size[kWorkAreaCount];
};

// Dither tables: 256 levels x 16 rows of one 16-bit pattern word.
typedef WORD DitherTable[256][16];

// The raster encoder's scratch block.
inline constexpr ULONG kGraphScratchBytes = 0x30000;
struct GraphScratch {
  BYTE* buffer;
  ULONG size;
};

// One entry of the drawn-region record: first and last pixel covered on a
// line, and whether anything was drawn on it. The drawing hooks fill it
// (when TrackDrawnRegion is set) and each band start empties it; nothing in
// the driver reads it back: it is kept because the stored settings carry
// the switch and the record's tests pin what the hooks cover.
struct DrawnRegion {
  LONG first;
  LONG last;
  LONG used;
};
static_assert(sizeof(DrawnRegion) == 12, "drawn-region entries are 12 bytes");

// Option flags of the render parameters.
inline constexpr ULONG kOptionSolidFill = 0x01;
inline constexpr ULONG kOptionDontJournal = 0x04;
// The two pen flags are set for the record's readers but tested by no
// hook: 0x10 is present in both modes a surface exists for (1-bit, 8-bit
// grey), 0x40 only in the 24-bit modes, which get no surface.
inline constexpr ULONG kOptionBlackWhitePens = 0x10;
inline constexpr ULONG kOptionColorLines = 0x40;
inline constexpr ULONG kOptionTrackRegion = 0x100;

struct RenderParameters {
  PageLayout layout;  // from the orientation and LandscapeRotation
  LONG dpiX;
  LONG dpiY;
  LONG dpiXY;
  ULONG bitDepth;       // 1, 8, or 24 (no surface possible)
  ULONG options;
  LONG patternKind;           // of the DitherPattern entry (or the default)
  BYTE patternData[256];
  LONG patternLength;
  LONG halftoneKind;          // of the HalftonePattern entry
  COLORINFO colorInfo;
  COLORADJUSTMENT colorAdjust;
};

inline constexpr int kPrinterNameChars = 31;

inline constexpr int kDefaultFontCount = 3;

struct PrinterDevice {
  WORD signature;  // kModel.signature
  DWORD size;      // sizeof(PrinterDevice)

  DriverSettings settings;
  RenderParameters render;
  PageGeometry geometry;
  BandParameters banding;

  LOGFONTW fonts[kDefaultFontCount];  // default, ANSI variable, ANSI fixed
  HPALETTE palette;
  HDEV hdev;
  HANDLE printer;
  WCHAR printerName[kPrinterNameChars + 1];
  PrinterDevice* self;  // the record's own block: set at creation, freed through at DrvDisablePDEV

  // Surface and band layout.
  HSURF surface;
  bool bandingMode;
  LONG bandCount;
  BandEntry bandSize;  // allocated size of the band bitmap
  BandEntry wholePage;
  BandEntry bands[kMaxBands];
  LONG bandCursor;
  POINTL bandOrigin;
  DrawnRegion* regions;
  LONG regionCount;
  WorkBuffers work;
  GraphScratch scratch;

  // Job state.
  LONG pageCounter;
  OutputStage output;  // staging fill, job-state flags (HeaderSent, PageOpen, WriteFailed)
  LONG copyCount;
  bool OutputSuppressed;

  WORD signatureEnd;  // kModel.signature
};

// The record behind a driver handle, or null after
// SetLastError(ERROR_INVALID_PARAMETER) when it is null or its signatures
// or size do not match.
PrinterDevice* validDevice(DHPDEV handle);
// The same test without touching the last error.
bool isValidDevice(const PrinterDevice* device);
inline PrinterDevice* validDevice(SURFOBJ* pso) { return validDevice(pso ? pso->dhpdev : nullptr); }

// The shape of a device entry point: inside the catch-all guard, body runs
// on the record behind `handle` (a DHPDEV or a SURFOBJ*); without a valid
// record the entry point returns `failure` with validDevice's last error.
template <class Result, class Handle, class Body>
Result withDevice(Handle handle, Result failure, Body&& body) noexcept {
  return support::guardedCall<Result>(failure, [&]() -> Result {
    PrinterDevice* device = validDevice(handle);
    return device ? body(*device) : failure;
  });
}
// The same for entry points that return nothing.
template <class Handle, class Body>
void withDevice(Handle handle, Body&& body) noexcept {
  support::guardedVoid([&] {
    if (PrinterDevice* device = validDevice(handle)) body(*device);
  });
}

}  // namespace driver
