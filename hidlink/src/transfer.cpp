// Poll and chunked write over the printer's HID reports.
#include "transfer.h"

#include <cstring>

namespace hidlink {

int64_t poll(ReportPort& port, ByteRing& ring) {
  int emptyStreak = 0;
  for (;;) {
    uint8_t report[kReportSize];
    std::memset(report, 0, sizeof report);
    if (!port.readFeature(report)) return -1;
    FeatureReport f = parseFeatureReport(report);
    ring.append(f.data, f.count);
    if (f.pending == 0) return f.freeSpace;
    emptyStreak = f.count ? 0 : emptyStreak + 1;
    if (emptyStreak >= kMaxEmptyPendingReports || ring.room() == 0) return f.freeSpace;
  }
}

int64_t writeChunk(ReportPort& port, ByteRing& ring, const uint8_t* data, size_t size) {
  int64_t freeSpace = poll(port, ring);
  if (freeSpace < 0) return -1;
  size_t n = size < uint64_t(freeSpace) ? size : size_t(freeSpace);
  if (n == 0) return 0;
  uint8_t report[kReportSize];
  for (size_t sent = 0; sent < n;) {
    size_t part = n - sent < kOutputPayload ? n - sent : kOutputPayload;
    buildOutputReport(report, data + sent, part);
    if (!port.writeOutput(report)) return -1;
    sent += part;
  }
  buildOutputReport(report, nullptr, 0);
  if (!port.writeOutput(report)) return -1;
  return int64_t(n);
}

size_t writeAll(ReportPort& port, ByteRing& ring, const uint8_t* data, size_t size) {
  size_t total = 0;
  DWORD lastProgress = GetTickCount();
  while (total < size) {
    int64_t sent = writeChunk(port, ring, data + total, size - total);
    Sleep(kChunkPauseMs);
    if (sent < 0) break;
    if (sent > 0) {
      total += size_t(sent);
      lastProgress = GetTickCount();
    } else if (GetTickCount() - lastProgress >= kStalledWriteLimitMs) {
      break;
    }
  }
  return total;
}

}  // namespace hidlink
