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
  size_t count = printer_.hostRead(report + 8, kFeaturePayload);
  size_t rest = printer_.pending();
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

}  // namespace emu
