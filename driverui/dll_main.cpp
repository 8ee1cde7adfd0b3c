// Windows library entry: keeps the module handle the property pages load
// their dialog templates and texts from.
#include <windows.h>

#include "sheets.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) SetResourceModule(instance);
  return TRUE;
}
