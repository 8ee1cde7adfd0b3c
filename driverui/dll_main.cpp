// Windows library entry: keeps the module handle the property pages load
// their dialog templates and texts from.
#include <windows.h>

#include "guard.h"
#include "sheets.h"

using namespace driver;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return support::dllEntry(
      reason, reserved,
      [&] {
        SetResourceModule(instance);
        return true;
      },
      [] {});
}
