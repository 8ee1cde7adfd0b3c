// A scripted printer behind a simulated HID device, for the link tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sim/hid.h"

namespace hidtest {

class FakePrinter : public sim::HidBackend {
 public:
  // Every output report the host wrote, whole.
  std::vector<std::vector<BYTE>> outputs;
  // Input bytes the printer still has to send.
  std::vector<BYTE> reply;
  uint32_t freeSpace = 4096;
  // The next this many feature reports say "no free space".
  int busyReports = 0;
  // Feature reports keep announcing pending input without carrying any.
  bool stuckPending = false;
  int featureReads = 0;

  bool outputReport(const BYTE* report, size_t size) override {
    outputs.emplace_back(report, report + size);
    return true;
  }

  bool featureReport(BYTE* r, size_t) override {
    ++featureReads;
    uint32_t space = freeSpace;
    if (busyReports > 0) {
      --busyReports;
      space = 0;
    }
    size_t count = stuckPending ? 0 : std::min<size_t>(57, reply.size());
    size_t pending = stuckPending ? 1 : reply.size() - count;
    r[1] = BYTE(space >> 24);
    r[2] = BYTE(space >> 16);
    r[3] = BYTE(space >> 8);
    r[4] = BYTE(space);
    r[5] = BYTE(pending >> 8);
    r[6] = BYTE(pending);
    r[7] = BYTE(count);
    std::copy(reply.begin(), reply.begin() + long(count), r + 8);
    reply.erase(reply.begin(), reply.begin() + long(count));
    return true;
  }

  // The count byte of each output report, in order.
  std::vector<int> counts() const {
    std::vector<int> c;
    for (auto& o : outputs) c.push_back(o[1]);
    return c;
  }
  // The payload bytes of all output reports, concatenated.
  std::vector<BYTE> payload() const {
    std::vector<BYTE> p;
    for (auto& o : outputs) p.insert(p.end(), o.begin() + 2, o.begin() + 2 + o[1]);
    return p;
  }
};

inline sim::HidDeviceSetup printerSetup(std::shared_ptr<sim::HidBackend> backend, USHORT vid = 0x0471,
                                        USHORT pid = 0x0710) {
  sim::HidDeviceSetup s;
  s.vendorId = vid;
  s.productId = pid;
  s.product = u"KV830";
  s.backend = std::move(backend);
  return s;
}

}  // namespace hidtest
