// The HID link library against a scripted printer whose every feature
// report (free space, pending count, count byte, payload) and every answer
// comes from the input, with report lengths of any size, and a sequence of
// opens, writes, reads, unplugs and closes chosen by the input. Counts must
// stay within what was asked, and closing must give the device back.
#include <fuzzer/FuzzedDataProvider.h>

#include <VRDUSBHid.h>
#include "hidlink_module.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "sim/hid.h"
#include "sim/world.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "hid reports: %s\n", what);
  std::abort();
}

// Answers each host request with the next bytes of the script.
class ScriptedPrinter : public sim::HidBackend {
 public:
  explicit ScriptedPrinter(FuzzedDataProvider& in) : in_(in) {}
  bool outputReport(const BYTE*, size_t) override { return in_.remaining_bytes() == 0 || in_.ConsumeIntegralInRange(0, 15) != 0; }
  bool featureReport(BYTE* report, size_t size) override { return fill(report, size); }
  bool inputReport(BYTE* report, size_t size) override { return in_.ConsumeBool() && fill(report, size); }

 private:
  bool fill(BYTE* report, size_t size) {
    if (in_.remaining_bytes() == 0) return false;
    const std::vector<BYTE> bytes = in_.ConsumeBytes<BYTE>(size);
    std::fill(report, report + size, BYTE(0));
    std::copy(bytes.begin(), bytes.end(), report);
    return true;
  }
  FuzzedDataProvider& in_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  sim::reset();
  auto printer = std::make_shared<ScriptedPrinter>(in);
  sim::HidDeviceSetup setup;
  setup.vendorId = 0x0471;
  setup.productId = 0x0710;
  setup.product = u"KV830";
  const bool oddLengths = in.ConsumeIntegralInRange(0, 7) == 0;
  setup.inputReportLength = oddLengths ? in.ConsumeIntegralInRange<USHORT>(0, 130) : 65;
  setup.outputReportLength = oddLengths ? in.ConsumeIntegralInRange<USHORT>(0, 130) : 65;
  setup.featureReportLength = oddLengths ? in.ConsumeIntegralInRange<USHORT>(0, 130) : 65;
  setup.backend = printer;
  const sim::HidDeviceId device = sim::addHidDevice(setup);
  if (!hidlink::registerSimModule()) fail("module not registered");
  HMODULE module = LoadLibraryA("VRDUSBHid.dll");
  if (!module) fail("module not loaded");

  int token = 0;
  std::vector<unsigned char> buffer;
  for (int step = 0; step < 24 && in.remaining_bytes() > 0; ++step) {
    switch (in.ConsumeIntegralInRange(0, 6)) {
      case 0:
        token = hidusbOpen();
        break;
      case 1: {
        const int length = in.ConsumeIntegralInRange(-1, 300);
        buffer.assign(size_t(std::max(length, 1)), 0x5A);
        const int n = hidusbWriteData(token, buffer.data(), length);
        if (n < 0 || n > std::max(length, 0)) fail("write count outside the request");
        break;
      }
      case 2: {
        const int length = in.ConsumeIntegralInRange(-1, 300);
        buffer.assign(size_t(std::max(length, 1)), 0);
        const int n = hidusbReadData(token, buffer.data(), length);
        if (n < 0 || n > std::max(length, 0)) fail("read count outside the request");
        break;
      }
      case 3:
        hidusbIsOpened(token);
        break;
      case 4:
        if (sim::hidPresent(device))
          sim::unplugHid(device);
        else
          sim::replugHid(device);
        break;
      case 5:
        hidusbClose(token);
        break;
      case 6:
        token = in.ConsumeIntegral<int>();
        break;
    }
  }
  hidusbClose(int(GetCurrentProcessId()));
  if (sim::openHidHandles(device) != 0) fail("device handle left open after close");
  FreeLibrary(module);
  return 0;
}
