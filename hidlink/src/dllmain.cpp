// DLL entry point of VRDUSBHid.dll.
#include <windows.h>

#include "guard.h"
#include "link.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return support::dllEntry(
      reason, reserved, [&] { return hidlink::attach(instance); }, [] { hidlink::detach(); });
}
