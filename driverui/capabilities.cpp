// The queue's capabilities from the model tables, the label list and the
// settings.
#include "capabilities.h"

#include <wtext.h>

#include "document_modes.h"
#include "heap_block.h"
#include "lock.h"
#include "model_profile.h"
#include "setting_limits.h"
#include "label_file.h"
#include "settings.h"
#include "tables.h"

namespace driver {

namespace {

// Pages-per-sheet counts the print processor lays out when N-up is left to
// it; one otherwise.
constexpr DWORD kSystemNup[] = {1, 2, 4, 6, 9, 16};
constexpr DWORD kOneUp[] = {1};

// Writes a list of `count` entries through `put(i)` when output is given.
template <class Put>
DWORD list(void* output, DWORD count, Put put) {
  if (output)
    for (DWORD i = 0; i < count; ++i) put(i);
  return count;
}

// Copies text into a fixed-width, zero-padded name entry.
void putName(WCHAR* entry, int width, LPCWSTR text) {
  ZeroMemory(entry, width * sizeof(WCHAR));
  if (text) lstrcpynW(entry, text, width);
}

template <class T, int N>
constexpr DWORD countOf(const T (&)[N]) {
  return N;
}

DWORD tableCount(const MediaTypeEntry* t) {
  DWORD n = 0;
  while (t[n].name) ++n;
  return n;
}

DWORD tableCount(const PaperSourceEntry* t) {
  DWORD n = 0;
  while (t[n].name) ++n;
  return n;
}

// The label list as the last sizing call (no output buffer) of a label
// capability counted it. "If pOutput is NULL, the function should just
// return the number of array elements required", and the filling call
// brings no buffer size: so it writes that list, cut to what was announced
// for its own capability, however the label file changed since.
class LabelAnnouncement {
 public:
  // The labels a call of `cap` reports into `labels`; returns their count.
  DWORD labelsFor(WORD cap, bool sizing, LabelListEntry* labels) {
    support::ScopedLock hold(lock_);
    const int slot = slotOf(cap);
    // The settings of the call have just rebuilt the process-wide list.
    if (sizing || !taken_) {
      count_ = DWORD(copyLabelList(labels_));
      taken_ = true;
    }
    DWORD count = count_;
    if (sizing) {
      announced_[slot] = count;
    } else if (announced_[slot] != kNotAnnounced && announced_[slot] < count) {
      count = announced_[slot];
    }
    CopyMemory(labels, labels_, sizeof labels_);
    return count;
  }

 private:
  static int slotOf(WORD cap) { return cap == DC_PAPERS ? 0 : cap == DC_PAPERNAMES ? 1 : 2; }
  static constexpr DWORD kNotAnnounced = ~DWORD(0);
  support::CriticalSection lock_;
  bool taken_ = false;
  LabelListEntry labels_[kLabelListCapacity + 1] = {};
  DWORD count_ = 0;
  DWORD announced_[3] = {kNotAnnounced, kNotAnnounced, kNotAnnounced};
};

LabelAnnouncement& labelAnnouncement() {
  static LabelAnnouncement announcement;
  return announcement;
}

DWORD answer(const DriverSettings& settings, WORD cap, void* output) {
  LabelListEntry labels[kLabelListCapacity + 1];
  DWORD labelCount = 0;
  if (cap == DC_PAPERS || cap == DC_PAPERNAMES || cap == DC_PAPERSIZE)
    labelCount = labelAnnouncement().labelsFor(cap, output == nullptr, labels);
  switch (cap) {
    case DC_FIELDS: return settings.Public.dmFields;
    case DC_SIZE: return settings.Public.dmSize;
    case DC_EXTRA: return settings.Public.dmDriverExtra;
    case DC_VERSION: return settings.Public.dmSpecVersion;
    case DC_DRIVER: return settings.Public.dmDriverVersion;
    case DC_PAPERS:
      return list(output, labelCount, [&](DWORD i) { static_cast<WORD*>(output)[i] = WORD(labels[i].index); });
    case DC_PAPERNAMES:
      return list(output, labelCount, [&](DWORD i) {
        putName(static_cast<WCHAR*>(output) + i * kPaperNameChars, kPaperNameChars, labels[i].name);
      });
    case DC_PAPERSIZE:
      return list(output, labelCount, [&](DWORD i) {
        // The custom label's size is the settings' one.
        LabelSize size = labels[i].index == kCustomLabelIndex ? GetLabelSize(settings, kCustomLabelIndex)
                                                               : LabelSize{labels[i].width, labels[i].height};
        static_cast<POINT*>(output)[i] = POINT{size.width, size.height};
      });
    case DC_MINEXTENT: return DWORD(MAKELONG(kRules.labelWidth.low, kRules.labelHeight.low));
    case DC_MAXEXTENT: return DWORD(MAKELONG(kRules.labelWidth.high, kRules.labelHeight.high));
    case DC_BINS:
      return list(output, tableCount(kPaperSources),
                  [&](DWORD i) { static_cast<WORD*>(output)[i] = WORD(kPaperSources[i].id); });
    case DC_BINNAMES:
      return list(output, tableCount(kPaperSources), [&](DWORD i) {
        putName(static_cast<WCHAR*>(output) + i * kBinNameChars, kBinNameChars, kPaperSources[i].name);
      });
    case DC_MEDIATYPES:
      return list(output, tableCount(kMediaTypes),
                  [&](DWORD i) { static_cast<DWORD*>(output)[i] = DWORD(kMediaTypes[i].id); });
    case DC_MEDIATYPENAMES:
      return list(output, tableCount(kMediaTypes), [&](DWORD i) {
        putName(static_cast<WCHAR*>(output) + i * kMediaTypeNameChars, kMediaTypeNameChars, kMediaTypes[i].name);
      });
    case DC_ENUMRESOLUTIONS:
      return list(output, 1, [&](DWORD) {
        static_cast<LONG*>(output)[0] = kModel.resolution.dpiX;
        static_cast<LONG*>(output)[1] = kModel.resolution.dpiY;
      });
    case DC_NUP: {
      const bool system = featureValue(settings, kFeatureNup) == kByPrintProcessor;
      const DWORD* counts = system ? kSystemNup : kOneUp;
      return list(output, system ? countOf(kSystemNup) : countOf(kOneUp),
                  [&](DWORD i) { static_cast<DWORD*>(output)[i] = counts[i]; });
    }
    // Landscape pages are turned a quarter counter-clockwise.
    case DC_ORIENTATION: return 90;
    case DC_COPIES: return DWORD(kRules.copies.high);
    case DC_COLLATE: return featureValue(settings, kFeatureCollate) == kByPrintProcessor ? 1 : 0;
    case DC_DUPLEX: return 0;
    case DC_COLORDEVICE: return 0;
    case DC_TRUETYPE: return DCTT_BITMAP;
    case DC_FILEDEPENDENCIES: return 0;
    default: return GDI_ERROR;
  }
}

}  // namespace

DWORD DeviceCapability(HANDLE printer, LPCWSTR deviceName, WORD cap, void* output, const DEVMODEW* dm) {
  support::HeapBlock<DriverSettings> settings(sizeof(DriverSettings));
  if (!settings) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return GDI_ERROR;
  }
  DocumentSettings(printer, deviceName, dm, DevModeClaimedBytes(dm), settings.get());
  return answer(*settings, cap, output);
}

}  // namespace driver
