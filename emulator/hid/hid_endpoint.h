// The printer emulator's USB HID endpoint: turns the host's 65-byte output
// reports into bytes for an emu::Endpoint, and answers feature reads with
// the printer's free space, pending count and reply bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
  // Feature reports keep announcing waiting reply bytes without carrying
  // any (a printer whose pending count is stuck).
  void setStuckPending(bool stuck) { stuckPending_ = stuck; }

  // ---- inspection -------------------------------------------------------
  int outputReports() const { return outputReports_; }
  int closingReports() const { return closingReports_; }
  int rejectedReports() const { return rejectedReports_; }
  int featureReports() const { return featureReports_; }
  // Every accepted output report, whole, in order.
  const std::vector<std::vector<uint8_t>>& outputs() const { return outputs_; }
  void clearOutputs() { outputs_.clear(); }
  // The count byte of each accepted output report, and their payloads
  // joined.
  std::vector<int> outputCounts() const;
  std::vector<uint8_t> outputPayload() const;

 private:
  Endpoint& printer_;
  uint32_t freeSpace_ = kDefaultFreeSpace;
  int fullReports_ = 0;
  bool stuckPending_ = false;
  std::vector<std::vector<uint8_t>> outputs_;
  int outputReports_ = 0;
  int closingReports_ = 0;
  int rejectedReports_ = 0;
  int featureReports_ = 0;
};

}  // namespace emu
