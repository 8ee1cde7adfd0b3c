// The printer's 65-byte HID reports: output framing and feature parsing.
#include "report.h"

#include <cstring>

namespace hidlink {

FeatureReport parseFeatureReport(const uint8_t (&report)[kReportSize]) {
  FeatureReport r;
  r.freeSpace = (uint32_t(report[1]) << 24) | (uint32_t(report[2]) << 16) | (uint32_t(report[3]) << 8) | report[4];
  r.pending = uint16_t((report[5] << 8) | report[6]);
  r.count = report[7] > kFeaturePayload ? uint8_t(kFeaturePayload) : report[7];
  r.data = report + 8;
  return r;
}

bool buildOutputReport(uint8_t (&report)[kReportSize], const uint8_t* data, size_t count) {
  if (count > kOutputPayload || (count && !data)) return false;
  std::memset(report, 0, kReportSize);
  report[1] = uint8_t(count);
  if (count) std::memcpy(report + 2, data, count);
  return true;
}

}  // namespace hidlink
