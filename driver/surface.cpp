// The drawing surface and its buffers: band search, region list, engine
// association, work buffers, dither tables, scratch buffers, and the
// print-processor capability check.
#include <windows.h>
#include <winddi.h>
#include <winspool.h>
#include <wtext.h>

#include "bands.h"
#include "dither.h"
#include "heap_block.h"
#include "pdev.h"
#include "printer_properties.h"
#include "tables.h"

namespace driver {

namespace {

constexpr FLONG kSurfaceHooks = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_PLGBLT | HOOK_TEXTOUT | HOOK_PAINT |
                                HOOK_STROKEPATH | HOOK_FILLPATH | HOOK_STROKEANDFILLPATH | HOOK_LINETO |
                                HOOK_COPYBITS | HOOK_STRETCHBLTROP | HOOK_TRANSPARENTBLT | HOOK_ALPHABLEND |
                                HOOK_GRADIENTFILL;
static_assert(kSurfaceHooks == 0x3A5FF, "surface hook flags");

bool allocateWorkBuffers(PrinterDevice& device) {
  if (device.work.block) return true;
  support::HeapBlock<BYTE> owned(kWorkBufferBytes * kWorkAreaCount);
  if (!owned) return false;
  BYTE* block = device.work.block = owned.release();
  SIZE_T offset = 0;
  for (int area = 0; area < kWorkAreaCount; ++area) {
    device.work.buffer[area] = block + offset;
    device.work.size[area] = kWorkBufferBytes;
    offset += kWorkBufferBytes;
  }
  return true;
}

void freeWorkBuffers(PrinterDevice& device) {
  support::heapFree(device.work.block);
  ZeroMemory(&device.work, sizeof device.work);
  // The output stage stages into a work area: nothing staged survives it.
  device.output.staging = nullptr;
  device.output.capacity = 0;
  device.output.fill = 0;
}

bool allocateScratch(PrinterDevice& device) {
  if (device.scratch.buffer) return true;
  support::HeapBlock<BYTE> owned(kGraphScratchBytes);
  if (!owned) return false;
  device.scratch.buffer = owned.release();
  device.scratch.size = kGraphScratchBytes;
  return true;
}

void freeScratch(PrinterDevice& device) {
  support::heapFree(device.scratch.buffer);
  device.scratch.size = 0;
}

void freeRegions(PrinterDevice& device) {
  support::heapFree(device.regions);
  device.regionCount = 0;
}

void deleteSurface(PrinterDevice& device) {
  if (device.surface) EngDeleteSurface(device.surface);
  device.surface = nullptr;
  device.bandingMode = false;
}

// Tries band counts from the minimum up; the first bitmap that can be
// created is the band bitmap.
HSURF createBandBitmap(PrinterDevice& device) {
  const ULONG format = device.render.bitDepth == 1 ? BMF_1BPP : (device.render.bitDepth == 8 ? BMF_8BPP : 0);
  if (format == 0) return nullptr;  // no engine bitmap holds this depth
  LONG first = device.banding.minBands > 1 ? device.banding.minBands : 1;
  LONG last = device.banding.maxBands < kMaxBands ? device.banding.maxBands : kMaxBands;
  for (LONG n = first; n <= last; ++n) {
    layoutBands(device, n);
    SIZEL size{device.bandSize.allocWidth, device.bandSize.allocHeight};
    HBITMAP bitmap = EngCreateBitmap(size, device.bandSize.bytesPerScanline, format, BMF_TOPDOWN, nullptr);
    if (bitmap) return reinterpret_cast<HSURF>(bitmap);
  }
  return nullptr;
}

bool nupSupported(const PRINTPROCESSOR_CAPS_1& caps, LONG pages) {
  return pages >= 1 && pages <= 32 && (caps.dwNupOptions >> (pages - 1)) & 1;
}

}  // namespace

void checkPrintProcessor(PrinterDevice& device) {
  const DriverSettings& s = device.settings;
  const PrivateSettings& p = s.Private;
  const bool nupByProcessor = featureValue(s, kFeatureNup) == kByPrintProcessor;
  const bool orderByProcessor = featureValue(s, kFeaturePageOrder) == kByPrintProcessor;
  const bool copiesByProcessor = featureValue(s, kFeatureCopies) == kByPrintProcessor;
  device.OutputSuppressed = false;
  if (!nupByProcessor && !orderByProcessor && !copiesByProcessor) return;

  PRINTPROCESSOR_CAPS_1 caps{};
  DWORD attributes = 0;
  WCHAR processor[MAX_PATH];
  if (QueryPrinterProperty(device.printer, PrinterProperty::Attributes, &attributes, sizeof attributes) &&
      !(attributes & PRINTER_ATTRIBUTE_RAW_ONLY) &&
      QueryPrinterProperty(device.printer, PrinterProperty::PrintProcessor, processor, sizeof processor)) {
    PRINTPROCESSOR_CAPS_1 read{};
    DWORD type = 0, needed = 0;
    DWORD rc = GetPrinterDataW(device.printer, const_cast<LPWSTR>(WTEXT("PrintProcCaps_NT EMF 1.006")), &type,
                               reinterpret_cast<LPBYTE>(&read), sizeof read, &needed);
    if (rc == ERROR_SUCCESS && needed == sizeof read && read.dwLevel == 1) caps = read;
  }

  bool suppress = false;
  if (nupByProcessor && p.PagesPerSheet != 0 && s.Public.dmNup != DMNUP_ONEUP && !nupSupported(caps, p.PagesPerSheet))
    suppress = true;
  if (orderByProcessor) {
    if (p.Booklet != 0) {
      const bool bookletPossible =
          (s.Public.dmFields & DM_DUPLEX) && s.Public.dmDuplex != DMDUP_SIMPLEX && (caps.dwPageOrderFlags & 0x2);
      if (!bookletPossible) suppress = true;
    } else if (p.ReverseOrder == 1 && !(caps.dwPageOrderFlags & REVERSE_PRINT)) {
      suppress = true;
    }
  }
  if (copiesByProcessor && p.Copies != 0 && (long long)caps.dwNumberOfCopies < (long long)p.Copies) suppress = true;
  device.OutputSuppressed = suppress;
}

HSURF enableSurface(PrinterDevice& device) {
  const bool created = device.surface == nullptr;
  if (created) {
    HSURF surface = createBandBitmap(device);
    if (!surface) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    device.surface = surface;
    auto undo = [&](DWORD error) -> HSURF {
      freeRegions(device);
      deleteSurface(device);
      SetLastError(error);
      return nullptr;
    };
    if (device.render.options & kOptionTrackRegion) {
      LONG entries = device.render.layout == PageLayout::Portrait ? device.bandSize.allocHeight
                                                                  : device.bandSize.allocWidth;
      support::HeapBlock<DrawnRegion> regions(SIZE_T(entries) * sizeof(DrawnRegion));
      if (!regions) return undo(ERROR_NOT_ENOUGH_MEMORY);
      device.regions = regions.release();
      device.regionCount = entries;
    }
    if (!EngAssociateSurface(surface, device.hdev, kSurfaceHooks)) return undo(ERROR_INVALID_PARAMETER);
    if (device.bandCount > 1) {
      if (!EngMarkBandingSurface(surface)) return undo(ERROR_INVALID_PARAMETER);
      device.bandingMode = true;
    } else {
      device.bandingMode = false;
    }
  }
  const bool hadWork = device.work.block != nullptr;
  const bool hadScratch = device.scratch.buffer != nullptr;
  if (!allocateWorkBuffers(device) || (buildDitherTables(device), !allocateScratch(device))) {
    if (!hadScratch) freeScratch(device);
    if (!hadWork) freeWorkBuffers(device);
    if (created) {
      freeRegions(device);
      deleteSurface(device);
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  checkPrintProcessor(device);
  return device.surface;
}

void disableSurface(PrinterDevice& device) {
  deleteSurface(device);
  freeRegions(device);
  freeWorkBuffers(device);
  freeScratch(device);
}

}  // namespace driver
