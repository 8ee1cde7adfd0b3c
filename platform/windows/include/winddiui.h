// The printer interface DLL's records that mingw-w64's <winddiui.h> lacks
// (it declares only the document and printer events); the layouts are
// those of the Windows SDK.
#pragma once

#include_next <winddiui.h>

#include <winspool.h>

#ifndef DM_NOPERMISSION
#define DM_NOPERMISSION 0x0100
#endif
#ifndef DM_ADVANCED
#define DM_ADVANCED 0x0010
#endif

#include "winddiui_records.h"

#ifndef PRINTER_EVENT_CONFIGURATION_CHANGE
#define PRINTER_EVENT_CONFIGURATION_CHANGE 0
#endif
