// The printer's 65-byte HID reports: output framing and feature parsing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hidlink {

// Every report is 65 bytes; byte 0 is the report id, always 0.
constexpr size_t kReportSize = 65;
// An output report carries up to 63 payload bytes from byte 2 (byte 1 is
// the count).
constexpr size_t kOutputPayload = 63;
// A feature report carries up to 57 input bytes from byte 8 (byte 7 is the
// count).
constexpr size_t kFeaturePayload = 57;

// What one feature report says.
struct FeatureReport {
  uint32_t freeSpace = 0;    // bytes 1-4, big-endian: room in the printer's receive buffer
  uint16_t pending = 0;      // bytes 5-6, big-endian: input still waiting after this report
  uint8_t count = 0;         // byte 7, clamped to kFeaturePayload
  const uint8_t* data = nullptr;  // count input bytes, inside the report
};

// Decodes a feature report. A count byte above the 57 bytes a report can
// carry is clamped, so nothing is ever read past the report.
FeatureReport parseFeatureReport(const uint8_t (&report)[kReportSize]);

// Frames `count` (at most kOutputPayload) bytes of `data` as an output
// report; count 0 makes the closing report of a chunk. Bytes past the
// payload are zeroed so no earlier data is repeated to the printer. Returns
// false (leaving `report` untouched) when count is too large.
bool buildOutputReport(uint8_t (&report)[kReportSize], const uint8_t* data, size_t count);

}  // namespace hidlink
