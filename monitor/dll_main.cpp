// Windows library entry: the C runtime's start-up code calls DllMain once
// it has initialised itself, and DllMain hands over to DllEntryPoint.
#include "trmon.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
  return DllEntryPoint(hInstance, dwReason, lpReserved);
}
