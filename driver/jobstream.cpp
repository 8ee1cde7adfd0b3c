// Job language writers and the output stage that carries them to a writer.
#include "jobstream.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace driver {

void OutputStage::writeAll(const BYTE* data, DWORD n) {
  while (n > 0 && !failed()) {
    DWORD done = 0;
    SetLastError(ERROR_SUCCESS);
    bool ok = writer ? writer(context, data, n, &done) : false;
    if (ok && done == 0) {
      // A write that succeeds without taking anything would spin forever.
      ok = false;
      SetLastError(ERROR_WRITE_FAULT);
    }
    if (!ok || done > n) {
      state |= WriteFailed;
      writeError = GetLastError();
      if (writeError == ERROR_SUCCESS) writeError = ERROR_WRITE_FAULT;
      return;
    }
    data += done;
    n -= done;
  }
}

bool OutputStage::put(const void* bytes, DWORD n) {
  if (n == 0) return !failed();
  if (suppressed || !bytes) return !failed();
  const BYTE* src = static_cast<const BYTE*>(bytes);
  if (!staging || n > capacity) {
    flush();
    writeAll(src, n);
    return !failed();
  }
  if (fill + n >= capacity) flush();
  std::memcpy(staging + fill, src, n);
  fill += n;
  return !failed();
}

bool OutputStage::flush() {
  if (fill == 0) return !failed();
  DWORD n = fill;
  fill = 0;
  if (!suppressed) writeAll(staging, n);
  return !failed();
}

int tenthsToDots(int tenths, int factor) {
  // A corrupt label file or device mode can hold any length; the product is
  // taken in 64 bits and held to the int range instead of overflowing.
  const long long dots = static_cast<long long>(tenths / 10) * factor / 10;
  return static_cast<int>(std::clamp<long long>(dots, INT_MIN, INT_MAX));
}

namespace {

// Appends to a fixed buffer; remembers when anything did not fit.
class LineBuilder {
 public:
  LineBuilder(char* out, int capacity) : out_(out), capacity_(capacity) {}
  void text(const char* s) {
    int n = static_cast<int>(std::strlen(s));
    if (!ok_ || length_ + n >= capacity_) {
      ok_ = false;
      return;
    }
    std::memcpy(out_ + length_, s, n);
    length_ += n;
    out_[length_] = 0;
  }
  void field(const char* key, int value) {
    char piece[32];
    std::snprintf(piece, sizeof piece, "%s%s=%d", first_ ? "" : ",", key, value);
    first_ = false;
    text(piece);
  }
  int finish() { return ok_ ? length_ : 0; }

 private:
  char* out_;
  int capacity_;
  int length_ = 0;
  bool ok_ = true;
  bool first_ = true;
};

}  // namespace

int formatDefLine(char* out, int capacity, const LabelDefinition& label, const DefSettings& settings,
                  const DefRules& rules) {
  if (!out || capacity <= 0) return 0;
  out[0] = 0;
  LineBuilder line(out, capacity);
  const SettingRules& r = rules.rules;
  auto length = [&](const char* key, LONG tenths) { line.field(key, tenthsToDots(tenths, rules.lengthFactor)); };
  line.text(jobcmd::kDef);
  line.field(r.labelType.jobKey, label.LabelType);
  line.field(r.labelWidth.jobKey,
             tenthsToDots(std::min(label.LabelWidth, r.labelWidth.high), rules.widthFactor));
  length(r.labelHeight.jobKey, std::min(label.LabelHeight, r.labelHeight.high));
  length(r.labelGap.jobKey, r.labelGap.orFallback(label.LabelGap));
  line.field(r.direction.jobKey, settings.direction);
  line.field(r.density.jobKey, r.density.orFallback(label.Density));
  line.field(r.speed.jobKey, settings.speed);
  line.field(r.stopPosition.jobKey, r.stopPosition.orFallback(label.StopPosition));
  switch (label.PrintMode) {
    case 1:
      line.field("TO", label.OffsetTearOff);
      break;
    case 3:
      line.field("PO", label.OffsetPeerOff);
      break;
    case 4:
      line.field("CO", label.OffsetCutter);
      line.field(r.cutInterval.jobKey, r.cutInterval.orFallback(label.CutInterval));
      break;
    default:
      break;
  }
  if (rules.sendOffsets) {
    if (r.offsetX.admits(settings.offsetX)) line.field(r.offsetX.jobKey, settings.offsetX);
    if (r.offsetY.admits(settings.offsetY)) line.field(r.offsetY.jobKey, settings.offsetY);
  }
  line.field(r.graphicsMode.jobKey, settings.graphicsMode);
  line.field(r.printMethod.jobKey, settings.printMethod);
  line.field(r.printMode.jobKey, label.PrintMode);
  length("LM", label.LeftMargin);
  length("RM", label.RightMargin);
  length("TM", label.TopMargin);
  length("BM", label.BottomMargin);
  line.text(jobcmd::kLineEnd);
  int n = line.finish();
  if (n == 0) out[0] = 0;
  return n;
}

namespace {
void putText(OutputStage& out, const char* s) { out.put(s, static_cast<DWORD>(std::strlen(s))); }
}  // namespace

void writeJobHeader(OutputStage& out, const char* defLine, int defLength) {
  if (defLine && defLength > 0) out.put(defLine, static_cast<DWORD>(defLength));
  putText(out, jobcmd::kJobLine);
  out.state |= HeaderSent;
}

void writePageStart(OutputStage& out, int copies) {
  char line[32];
  putText(out, jobcmd::kStart);
  std::snprintf(line, sizeof line, jobcmd::kQtyFormat, copies);
  putText(out, line);
  out.state |= PageOpen;
}

void writePageEnd(OutputStage& out) {
  putText(out, jobcmd::kEnd);
  out.state &= ~DWORD(PageOpen);
  out.flush();
}

void writeJobEnd(OutputStage& out) {
  putText(out, jobcmd::kJobEnd);
  out.state &= ~DWORD(HeaderSent);
}

bool finishDocument(OutputStage& out) {
  if (out.state & HeaderSent) writeJobEnd(out);
  out.flush();
  const bool ok = !out.failed();
  out.state = 0;
  return ok;
}

}  // namespace driver
