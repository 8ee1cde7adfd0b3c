// The device-mode path of the driver: an application device mode, the
// queue's stored device mode, its "Private DevMode" printer data and the
// label-definition file, each of any size and content (or a default one
// patched at chosen places), through DrvEnablePDEV, DrvCompletePDEV and
// DrvEnableSurface and back. Every block the driver takes from the heap
// must be given back when the device is disabled.
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>
#include <winddi.h>
#include <winspool.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "model_profile.h"
#include "label_file.h"
#include "settings.h"
#include "sim/engine.h"
#include "sim/profile.h"
#include "sim/spooler.h"
#include "sim/world.h"

using namespace driver;

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "device mode path: %s\n", what);
  std::abort();
}

const char16_t kQueue[] = u"Label Printer";

// A block of any content, or the default stored device mode with a few
// ranges overwritten, or nothing.
std::vector<BYTE> block(FuzzedDataProvider& in, const std::vector<BYTE>& defaults) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return {};
    case 1:
      return in.ConsumeBytes<BYTE>(in.ConsumeIntegralInRange<size_t>(0, 600));
    default: {
      std::vector<BYTE> b = defaults;
      b.resize(std::max<size_t>(0, b.size() + in.ConsumeIntegralInRange<int>(-8, 8)));
      for (int patches = in.ConsumeIntegralInRange(0, 6); patches > 0 && !b.empty(); --patches) {
        size_t at = in.ConsumeIntegralInRange<size_t>(0, b.size() - 1);
        for (BYTE v : in.ConsumeBytes<BYTE>(in.ConsumeIntegralInRange<size_t>(1, 8)))
          if (at < b.size()) b[at++] = v;
      }
      return b;
    }
  }
}

// The Windows directory of every input: one directory, emptied for each
// input, on a memory file system where the host has one. The driver writes
// the label file key by key, one whole rewrite per key, and a disk file
// system flushes each truncated rewrite to the device: in a fresh directory
// on disk that was most of an input's time.
class WindowsDirectory {
 public:
  WindowsDirectory() {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
    path_ = base / ("devmode-fuzz-windir-" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_, ec);
    if (!std::filesystem::create_directories(path_, ec)) fail("cannot make the Windows directory");
    wide_ = path_.u16string();
  }
  ~WindowsDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  // Empties the directory and makes it the simulated host's Windows
  // directory (a world reset forgets it).
  void use() {
    for (const auto& entry : std::filesystem::directory_iterator(path_)) std::filesystem::remove_all(entry.path());
    sim::setWindowsDirectory(wide_);
  }

 private:
  std::filesystem::path path_;
  std::u16string wide_;
};

struct Defaults {
  std::vector<BYTE> devMode;  // the stored device mode
  std::vector<BYTE> block;    // the "Private DevMode" printer data
  std::string labelFile;
};

// Call with an empty Windows directory in place.
const Defaults& makeDefaults() {
  static Defaults made;
  DriverSettings defaults;
  DefaultSettings(&defaults, reinterpret_cast<LPCWSTR>(kQueue));
  defaults.SettingsSignature = kSettingsSignature;
  const BYTE* d = reinterpret_cast<const BYTE*>(&defaults);
  made.devMode.assign(d, d + kStoredDevModeBytes);
  const BYTE* p = reinterpret_cast<const BYTE*>(&defaults.PrinterData);
  made.block.assign(p, p + sizeof defaults.PrinterData);
  made.labelFile = sim::readFileBytes(sim::windowsFilePath(kModel.labelFileName));
  if (made.labelFile.empty()) fail("building the defaults wrote no label file");
  return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  sim::reset();
  static WindowsDirectory windowsDirectory;
  windowsDirectory.use();
  sim::QueueSetup q;
  q.name = kQueue;
  q.driver = kModel.model == ModelId::ModelA ? u"Varodyn TR7208" : u"Varodyn KV830";
  sim::addQueue(q);

  // The default records, and the label file as building them leaves it
  // (the built-in labels written into it), are the same for every input:
  // made once, and the file put back in place for each input.
  static const Defaults& made = makeDefaults();
  const std::vector<BYTE>& defaultDevMode = made.devMode;
  const std::vector<BYTE>& defaultBlock = made.block;
  sim::writeUtf8File(sim::windowsFilePath(kModel.labelFileName), made.labelFile);
  BuildLabelList();

  sim::setQueueDevMode(kQueue, block(in, defaultDevMode));
  if (in.ConsumeBool()) sim::setPrinterData(kQueue, u"Private DevMode", REG_BINARY, block(in, defaultBlock));
  if (in.ConsumeBool()) sim::writeUtf8File(sim::windowsFilePath(kModel.labelFileName), in.ConsumeRandomLengthString(3000));

  // The application's device mode: GDI hands over one whose dmSize and
  // dmDriverExtra describe the buffer, so the buffer is cut or zero-padded
  // to exactly what those fields say.
  std::vector<BYTE> app = block(in, defaultDevMode);
  const bool hasApp = !app.empty();
  if (hasApp) {
    app.resize(std::max(app.size(), offsetof(DEVMODEW, dmDriverExtra) + sizeof(WORD)));
    DEVMODEW head;
    std::memcpy(&head, app.data(), std::min(app.size(), sizeof head));
    app.resize(size_t(head.dmSize) + head.dmDriverExtra);
    app.resize(std::max(app.size(), offsetof(DEVMODEW, dmDriverExtra) + sizeof(WORD)));
  }

  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(kQueue)), &printer, nullptr)) fail("no queue");
  const size_t baseline = sim::liveAllocations();
  GDIINFO gdiInfo{};
  DEVINFO devInfo{};
  HSURF patterns[6] = {};
  const HDEV hdev = reinterpret_cast<HDEV>(0x4D00);
  DHPDEV device = DrvEnablePDEV(hasApp ? reinterpret_cast<DEVMODEW*>(app.data()) : nullptr,
                                const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(u"USB001")), 6, patterns, sizeof gdiInfo,
                                reinterpret_cast<ULONG*>(&gdiInfo), sizeof devInfo, &devInfo, hdev,
                                const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(kQueue)), printer);
  if (device) {
    sim::bindDevice(hdev, device);
    DrvCompletePDEV(device, hdev);
    if (HSURF surface = DrvEnableSurface(device)) {
      (void)surface;
      DrvDisableSurface(device);
    }
    DrvDisablePDEV(device);
  }
  if (sim::liveAllocations() != baseline) fail("heap blocks left after the device was disabled");
  ClosePrinter(printer);
  // Nothing of this input is left behind, so libFuzzer's per-input leak
  // check (which reruns an input whose allocations do not balance) stays
  // quiet.
  sim::reset();
  return 0;
}
