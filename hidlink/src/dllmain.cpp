// DLL entry point of VRDUSBHid.dll.
#include <windows.h>

#include "link.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  try {
    if (reason == DLL_PROCESS_ATTACH) return hidlink::attach(instance) ? TRUE : FALSE;
    // At process exit (reserved non-null) the system reclaims everything;
    // calling into other DLLs then is unsafe.
    if (reason == DLL_PROCESS_DETACH && !reserved) hidlink::detach();
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}
