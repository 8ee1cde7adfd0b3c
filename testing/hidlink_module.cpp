// Registers the HID link library as the simulated host's "VRDUSBHid.dll";
// loading and freeing it run the library's own DllMain.
#include "hidlink_module.h"

#include <windows.h>

#include <VRDUSBHid.h>

#include "sim/module.h"
#include "sim/world.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace hidlink {

bool registerSimModule() {
  // A reset forgets loaded modules without unloading them; the library's
  // claim and handles are given up first, while they are still valid.
  static const bool hooked = [] {
    sim::onReset([] { DllMain(nullptr, DLL_PROCESS_DETACH, nullptr); });
    return true;
  }();
  (void)hooked;
  sim::ModuleSetup m;
  m.name = "VRDUSBHid.dll";
  m.exports = {
      {"hidusbGetVersion", sim::asProc(&hidusbGetVersion)}, {"hidusbOpen", sim::asProc(&hidusbOpen)},
      {"hidusbClose", sim::asProc(&hidusbClose)},           {"hidusbIsOpened", sim::asProc(&hidusbIsOpened)},
      {"hidusbReadData", sim::asProc(&hidusbReadData)},     {"hidusbWriteData", sim::asProc(&hidusbWriteData)},
      {"hidusbGetHandle", sim::asProc(&hidusbGetHandle)},
  };
  m.entry = DllMain;
  return sim::registerModule(m);
}

}  // namespace hidlink
