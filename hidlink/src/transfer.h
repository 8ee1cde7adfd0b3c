// Poll and chunked write over the printer's HID reports.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

#include "report.h"
#include "ring.h"

namespace hidlink {

// A poll ends after this many consecutive feature reports that announce
// pending input (bytes 5-6) but carry none, so a printer stuck in that
// state cannot hold the caller forever.
constexpr int kMaxEmptyPendingReports = 32;
// A write that makes no progress (the printer reports no free space) for
// this long on the tick clock gives up and returns what was accepted.
constexpr DWORD kStalledWriteLimitMs = 5000;
// Pause after every chunk of a write.
constexpr DWORD kChunkPauseMs = 10;

// Moves whole 65-byte reports to and from the device.
class ReportPort {
 public:
  virtual ~ReportPort() = default;
  // Reads one feature report (report id 0 in byte 0 of the zeroed buffer).
  virtual bool readFeature(uint8_t (&report)[kReportSize]) = 0;
  // Sends one output report; true only when all 65 bytes were written.
  virtual bool writeOutput(const uint8_t (&report)[kReportSize]) = 0;
};

// Reads feature reports into `ring` while the printer announces pending
// input, within the bounds above, and stops early once the ring is full
// (what the printer still holds stays there). Returns the free space of
// the last report, or -1 when a feature read failed.
int64_t poll(ReportPort& port, ByteRing& ring);

// Sends at most what the printer can take now: polls, then min(size, free
// space) bytes in 63-byte reports and one closing zero-count report.
// Returns the bytes sent, 0 when the printer has no room, -1 when the poll
// or a report write failed (bytes already sent stay sent).
int64_t writeChunk(ReportPort& port, ByteRing& ring, const uint8_t* data, size_t size);

// Writes all `size` bytes chunk by chunk, sleeping kChunkPauseMs after each
// chunk. Stops at the first failed chunk or after kStalledWriteLimitMs
// without progress. Returns the bytes the printer accepted.
size_t writeAll(ReportPort& port, ByteRing& ring, const uint8_t* data, size_t size);

}  // namespace hidlink
