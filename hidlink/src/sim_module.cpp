// Registers the HID link library as the simulated host's "VRDUSBHid.dll".
#include <VRDUSBHid.h>
#include <VRDUSBHid_sim.h>

#include "link.h"
#include "sim/module.h"
#include "sim/world.h"

namespace hidlink {
namespace {

BOOL entry(HINSTANCE instance, DWORD reason, LPVOID) {
  try {
    if (reason == DLL_PROCESS_ATTACH) return attach(instance) ? TRUE : FALSE;
    if (reason == DLL_PROCESS_DETACH) detach();
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool registerSimModule() {
  // A reset forgets loaded modules without unloading them; the library's
  // claim and handles are given up first, while they are still valid.
  static const bool hooked = [] {
    sim::onReset([] { detach(); });
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
  m.entry = entry;
  return sim::registerModule(m);
}

}  // namespace hidlink
