// Printer interface DLL interface of the simulated host (winddiui.h
// subset): the records the spooler hands a driver's interface DLL.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "winddiui_records.h"

#define PRINTER_EVENT_CONFIGURATION_CHANGE 0
#define PRINTER_EVENT_ADD_CONNECTION 1
#define PRINTER_EVENT_DELETE_CONNECTION 2
#define PRINTER_EVENT_INITIALIZE 3
#define PRINTER_EVENT_DELETE 4
#define PRINTER_EVENT_CACHE_REFRESH 5
#define PRINTER_EVENT_CACHE_DELETE 6
#define PRINTER_EVENT_ATTRIBUTES_CHANGED 7
#define PRINTER_EVENT_FLAG_NO_UI 0x00000001

// Results of the property-sheet functions called without a sheet.
#define CPSUI_OK 1
#define ERR_CPSUI_GETLASTERROR (-1)
