// The emulated printer on the simulated host's USB (see usb_printer.h).
#include "usb_printer.h"

#include <vector>

#include "sim/spool_client.h"
#include "sim/spooler.h"

namespace emu {

std::shared_ptr<UsbPrinter> UsbPrinter::create(PrinterModel model, USHORT vendorId, USHORT productId) {
  return std::shared_ptr<UsbPrinter>(new UsbPrinter(model, vendorId, productId));
}

void UsbPrinter::attachQueue(const std::u16string& queue) {
  queue_ = queue;
  std::weak_ptr<UsbPrinter> weak = shared_from_this();
  sim::setWriteSink(queue, [weak](const BYTE* data, DWORD size, DWORD* written) {
    auto printer = weak.lock();
    if (!printer) return FALSE;
    printer->jobData(data, size);
    *written = size;
    return TRUE;
  });
  sim::holdJobs(queue, stuck_);
}

void UsbPrinter::jobData(const BYTE* data, DWORD size) {
  settle();
  if (stuck_ || inHidMode()) {
    // Nothing takes the job from the queue: it stays there.
    sim::holdJobs(queue_, true);
    return;
  }
  take(data, size);
  settle();
}

void UsbPrinter::enterHidMode() {
  device_.setUsbClass(1);
  settle();
}

void UsbPrinter::settle() {
  bool present = inHidMode() && !neverOnHid_ && !lost_ && !pulled_;
  if (present && !plugged_) {
    if (id_ < 0) {
      sim::HidDeviceSetup setup;
      setup.vendorId = vendorId_;
      setup.productId = productId_;
      setup.product = u"KV830";
      setup.backend = shared_from_this();
      plugged_ = true;  // before the arrival broadcast, which may open it
      id_ = sim::addHidDevice(setup);
    } else {
      plugged_ = true;
      sim::replugHid(id_);
    }
  } else if (!present && plugged_) {
    plugged_ = false;
    sim::unplugHid(id_);
  }
  // Back in printer mode, the queue's jobs reach the printer again: first
  // those that waited for it, then the new ones as they are written.
  if (!queue_.empty() && !inHidMode() && !stuck_) {
    sim::holdJobs(queue_, false);
    for (const std::vector<BYTE>& data : sim::takeFinishedJobs(queue_)) take(data.data(), data.size());
  }
}

void UsbPrinter::take(const BYTE* data, size_t size) {
  device_.hostWrite(data, size);
  // A reply to a query sent as job data would go to the printer class's
  // own read channel, which the host here does not read; it must not turn
  // up later over HID.
  std::vector<uint8_t> unread(device_.pending());
  if (!unread.empty()) device_.hostRead(unread.data(), unread.size());
}

void UsbPrinter::setStuckQueue(bool stuck) {
  stuck_ = stuck;
  if (!queue_.empty()) sim::holdJobs(queue_, stuck || inHidMode());
  settle();
}

void UsbPrinter::setNeverOnHid(bool never) {
  neverOnHid_ = never;
  settle();
}

void UsbPrinter::unplug() {
  pulled_ = true;
  settle();
}

void UsbPrinter::replug() {
  pulled_ = false;
  lost_ = false;
  settle();
}

bool UsbPrinter::outputReport(const BYTE* report, size_t size) {
  if (!live()) return false;
  size_t seen = device_.commands().size();
  bool ok = hid_.outputReport(report, size);
  if (!loseAfter_.empty() && device_.commands().size() > seen && device_.commands().back() == loseAfter_)
    lost_ = true;
  return ok;
}

bool UsbPrinter::featureReport(BYTE* report, size_t size) { return live() && hid_.featureReport(report, size); }

}  // namespace emu
