// Windows property-sheet glue of the printer interface DLL: adds the pages
// through the common property-sheet UI and runs them as dialogs over the
// page logic (pages.h).
#pragma once

#include <windows.h>
#include <winddiui.h>

namespace driver {

// The module the dialog templates and texts are loaded from.
void SetResourceModule(HINSTANCE module);

// DrvDocumentPropertySheets with a sheet (PFNPROPSHEETUI protocol): the
// printing-preferences page for the DOCUMENTPROPERTYHEADER of INIT.
LONG DocumentPropertySheet(PPROPSHEETUI_INFO info, LPARAM lParam);
// DrvDevicePropertySheets with a sheet: the device-settings page for the
// DEVICEPROPERTYHEADER of INIT.
LONG DevicePropertySheet(PPROPSHEETUI_INFO info, LPARAM lParam);

}  // namespace driver
