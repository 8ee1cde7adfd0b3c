// The printer emulator's USB HID endpoint.
#include "hid_endpoint.h"

#include <cstring>

namespace emu {

bool HidEndpoint::outputReport(const uint8_t* report, size_t size) {
  if (!report || size != kReportSize || report[0] != 0 || report[1] > kOutputPayload) {
    ++rejectedReports_;
    return false;
  }
  ++outputReports_;
  outputs_.emplace_back(report, report + size);
  if (report[1] == 0) {
    ++closingReports_;
    return true;
  }
  printer_.hostWrite(report + 2, report[1]);
  return true;
}

bool HidEndpoint::featureReport(uint8_t* report, size_t size) {
  if (!report || size != kReportSize) return false;
  ++featureReports_;
  uint32_t space = freeSpace_;
  if (fullReports_ > 0) {
    --fullReports_;
    space = 0;
  }
  std::memset(report, 0, kReportSize);
  size_t count = stuckPending_ ? 0 : printer_.hostRead(report + 8, kFeaturePayload);
  size_t rest = stuckPending_ ? 1 : printer_.pending();
  if (rest > 0xFFFF) rest = 0xFFFF;
  report[1] = uint8_t(space >> 24);
  report[2] = uint8_t(space >> 16);
  report[3] = uint8_t(space >> 8);
  report[4] = uint8_t(space);
  report[5] = uint8_t(rest >> 8);
  report[6] = uint8_t(rest);
  report[7] = uint8_t(count);
  return true;
}

std::vector<int> HidEndpoint::outputCounts() const {
  std::vector<int> counts;
  for (const auto& r : outputs_) counts.push_back(r[1]);
  return counts;
}

std::vector<uint8_t> HidEndpoint::outputPayload() const {
  std::vector<uint8_t> payload;
  for (const auto& r : outputs_) payload.insert(payload.end(), r.begin() + 2, r.begin() + 2 + r[1]);
  return payload;
}

}  // namespace emu
