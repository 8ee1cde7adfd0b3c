// Test support: makes the HID link library loadable on the simulated
// host as "VRDUSBHid.dll" (LoadLibraryA/GetProcAddress/FreeLibrary), with
// its load and unload behaviour running on the first load and last free.
#pragma once

namespace hidlink {

// Registers the module; call again after sim::reset(), which forgets it
// (a copy still loaded at the reset is unloaded first, giving up its claim
// on the printer). Returns false while a copy is loaded.
bool registerSimModule();

}  // namespace hidlink
