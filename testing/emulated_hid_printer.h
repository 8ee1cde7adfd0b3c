// Puts an emulated printer on the simulated host as a HID device
// (vendor 0x0471, product 0x0710), so the HID link library finds it.
#pragma once

#include <memory>

#include "endpoint.h"
#include "hid_endpoint.h"
#include "sim/hid.h"

namespace emu {

class SimHidPrinter : public sim::HidBackend {
 public:
  explicit SimHidPrinter(Endpoint& printer) : endpoint_(printer) {}
  HidEndpoint& endpoint() { return endpoint_; }

  bool outputReport(const BYTE* report, size_t size) override { return endpoint_.outputReport(report, size); }
  bool featureReport(BYTE* report, size_t size) override { return endpoint_.featureReport(report, size); }

 private:
  HidEndpoint endpoint_;
};

// Adds the printer as a present HID device; the backend must outlive the
// device (until it is unplugged or sim::reset()).
inline sim::HidDeviceId plugInHidPrinter(std::shared_ptr<SimHidPrinter> backend) {
  sim::HidDeviceSetup s;
  s.vendorId = 0x0471;
  s.productId = 0x0710;
  s.product = u"KV830";
  s.backend = std::move(backend);
  return sim::addHidDevice(s);
}

}  // namespace emu
