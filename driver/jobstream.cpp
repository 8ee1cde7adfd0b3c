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
    BOOL ok = writer ? writer(context, data, n, &done) : FALSE;
    if (ok && done == 0) {
      // A write that succeeds without taking anything would spin forever.
      ok = FALSE;
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

BOOL OutputStage::put(const void* bytes, DWORD n) {
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

BOOL OutputStage::flush() {
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

bool inRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

int formatDefLine(char* out, int capacity, const DefValues& v, const DefRules& rules) {
  if (!out || capacity <= 0) return 0;
  out[0] = 0;
  LineBuilder line(out, capacity);
  line.text(jobcmd::kDef);
  line.field("MK", v.labelType);
  line.field("PW", tenthsToDots(v.width > rules.widthLimit ? rules.widthLimit : v.width, rules.widthFactor));
  line.field("PH", tenthsToDots(v.height > 4000 ? 4000 : v.height, rules.lengthFactor));
  line.field("PG", tenthsToDots(inRange(v.gap, 0, 80) ? v.gap : 20, rules.lengthFactor));
  line.field("DR", v.direction);
  line.field("DK", inRange(v.density, 1, 16) ? v.density : 8);
  line.field("SP", v.speed);
  line.field("PS", inRange(v.stopPosition, 0, rules.stopMax) ? v.stopPosition : rules.stopDefault);
  switch (v.printMode) {
    case 1:
      line.field("TO", v.offsetTearOff);
      break;
    case 3:
      line.field("PO", v.offsetPeelOff);
      break;
    case 4:
      line.field("CO", v.offsetCutter);
      line.field("CP", inRange(v.cutInterval, 1, 99) ? v.cutInterval : 0);
      break;
    default:
      break;
  }
  if (rules.sendOffsets) {
    if (inRange(v.offsetX, 0, 400)) line.field("XO", v.offsetX);
    if (inRange(v.offsetY, 0, 800)) line.field("YO", v.offsetY);
  }
  line.field("GM", v.graphicsMode);
  line.field("TR", v.printMethod);
  line.field("MD", v.printMode);
  line.field("LM", tenthsToDots(v.leftMargin, rules.lengthFactor));
  line.field("RM", tenthsToDots(v.rightMargin, rules.lengthFactor));
  line.field("TM", tenthsToDots(v.topMargin, rules.lengthFactor));
  line.field("BM", tenthsToDots(v.bottomMargin, rules.lengthFactor));
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

BOOL finishDocument(OutputStage& out) {
  if (out.state & HeaderSent) writeJobEnd(out);
  out.flush();
  BOOL ok = !out.failed();
  out.state = 0;
  return ok;
}

}  // namespace driver
