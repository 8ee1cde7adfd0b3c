// The printer emulator's USB HID endpoint: turns the host's 65-byte output
// reports into bytes for an emu::Endpoint, and answers feature reads with
// the printer's free space, pending count and reply bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "endpoint.h"

namespace emu {

class HidEndpoint {
 public:
  static constexpr size_t kReportSize = 65;
  static constexpr size_t kOutputPayload = 63;
  static constexpr size_t kFeaturePayload = 57;
  // Free space reported while nothing else is scripted.
  static constexpr uint32_t kDefaultFreeSpace = 0x10000;

  explicit HidEndpoint(Endpoint& printer) : printer_(printer) {}

  // An output report: byte 0 report id 0, byte 1 the count (0-63), payload
  // from byte 2. The payload goes to the printer; a zero count (the end of
  // a chunk) carries nothing. Returns false, passing nothing on, for a
  // report of the wrong size or id or a count above 63.
  bool outputReport(const uint8_t* report, size_t size);

  // Fills a feature report: bytes 1-4 free space (big-endian), 5-6 reply
  // bytes still waiting after this report, 7 the count of reply bytes at
  // 8-64. Returns false for a buffer that is not one whole report.
  bool featureReport(uint8_t* report, size_t size);

  // ---- scripting ----------------------------------------------------------
  void setFreeSpace(uint32_t bytes) { freeSpace_ = bytes; }
  // The next `reports` feature reports say there is no free space.
  void reportFullFor(int reports) { fullReports_ = reports; }

  // ---- inspection -------------------------------------------------------
  int outputReports() const { return outputReports_; }
  int closingReports() const { return closingReports_; }
  int rejectedReports() const { return rejectedReports_; }
  int featureReports() const { return featureReports_; }

 private:
  Endpoint& printer_;
  uint32_t freeSpace_ = kDefaultFreeSpace;
  int fullReports_ = 0;
  int outputReports_ = 0;
  int closingReports_ = 0;
  int rejectedReports_ = 0;
  int featureReports_ = 0;
};

}  // namespace emu
