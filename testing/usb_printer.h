// An emulated printer plugged into the simulated host by USB, whose USB
// interface changes class the way the printer's does.
//
// At first the interface is the printer class: the jobs of the spooler
// queue the printer is attached to reach it as they are written (setting
// commands change its settings memory). A delivered "USBS CLS=1" turns the
// interface into HID: the printer arrives on the HID bus (vendor 0x0471,
// product 0x0710, with the device-change broadcast) and answers over
// reports, while new jobs of its queue stay queued because no printer-class
// interface takes them. "USBS CLS=0" or "USBS CLS=2" received over HID turns
// it back: its reports fail at once, and at the next point where the host
// is not inside a HID call (the next job written to its queue, or settle())
// it leaves the HID bus and takes the jobs that are still queued.
//
// Bus changes are broadcast synchronously on the simulated host, so they
// are never made from inside a report: a library that is reading or
// writing must not see its device closed under it.
#pragma once

#include <memory>
#include <string>

#include "hid_endpoint.h"
#include "emulated_printer.h"
#include "sim/hid.h"

namespace emu {

class UsbPrinter : public sim::HidBackend, public std::enable_shared_from_this<UsbPrinter> {
 public:
  // The printer's USB ids on the HID bus (the link library looks for
  // vendor 0x0471, product 0x0710; other ids make another device).
  static std::shared_ptr<UsbPrinter> create(PrinterModel model = PrinterModel::KV830, USHORT vendorId = 0x0471,
                                            USHORT productId = 0x0710);

  EmulatedPrinter& device() { return device_; }
  HidEndpoint& hid() { return hid_; }

  // The jobs written to `queue` reach the printer from now on (the queue's
  // write sink). The queue must exist.
  void attachQueue(const std::u16string& queue);
  // Switches the interface to HID at once, as a delivered "USBS CLS=1"
  // does, and puts the printer on the HID bus.
  void enterHidMode();

  // The printer's own state: its interface is HID.
  bool inHidMode() const { return device_.usbClass() == 1; }
  // Present on the simulated HID bus, and its id there (-1 before it
  // first arrived).
  bool onHidBus() const { return plugged_; }
  sim::HidDeviceId hidDevice() const { return id_; }
  // Applies a pending change of presence on the HID bus. Call only while
  // the host is not inside a HID call.
  void settle();

  // ---- scripted faults ------------------------------------------------------
  // The queue never drains: jobs stay queued and the printer sees nothing
  // (until the fault is lifted).
  void setStuckQueue(bool stuck);
  // The printer switches to HID but never shows up on the HID bus.
  void setNeverOnHid(bool never);
  // The HID link breaks as soon as the printer has received `commandLine`
  // (without CR LF) over HID: every later report fails, and the printer
  // leaves the bus at the next settle point. Empty: no such fault.
  void loseHidAfter(std::string commandLine) { loseAfter_ = std::move(commandLine); }
  // The cable is pulled / plugged back in, now (between host calls only).
  // Plugging back in also ends a link broken by loseHidAfter.
  void unplug();
  void replug();

  // sim::HidBackend: reports pass only while the printer is on the bus, in
  // HID mode and its link is not broken.
  bool outputReport(const BYTE* report, size_t size) override;
  bool featureReport(BYTE* report, size_t size) override;

 private:
  UsbPrinter(PrinterModel model, USHORT vendorId, USHORT productId)
      : device_(model), hid_(device_), vendorId_(vendorId), productId_(productId) {}
  bool live() const { return plugged_ && inHidMode() && !lost_ && !pulled_; }
  // A job's bytes from the queue's write sink.
  void jobData(const BYTE* data, DWORD size);
  // Job data the printer-class interface takes.
  void take(const BYTE* data, size_t size);

  EmulatedPrinter device_;
  HidEndpoint hid_;
  USHORT vendorId_;
  USHORT productId_;
  std::u16string queue_;
  sim::HidDeviceId id_ = -1;
  bool plugged_ = false;
  bool stuck_ = false;
  bool neverOnHid_ = false;
  bool lost_ = false;
  bool pulled_ = false;
  std::string loseAfter_;
};

}  // namespace emu
