// The monitor's current entry point: InitializePrintMonitor2 hands the
// spooler a MONITOR2 table whose port functions take wide strings and an
// instance handle and reach the same port code as the 13-slot table of
// InitializeMonitorEx (trmon.h).
#pragma once

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

extern "C" {

// Makes a monitor instance and returns the MONITOR2 table (cbSize
// sizeof(MONITOR2)): OpenPortEx, StartDocPort, WritePort, ReadPort,
// EndDocPort, ClosePort, GetPrinterDataFromPort, Shutdown and
// SendRecvBidiDataFromPort (passed on to the port monitor's); the port
// monitor's own entries (EnumPorts, AddPort, Xcv...) are null.
// *phMonitor receives the instance handle that OpenPortEx and Shutdown
// take. Null with ERROR_INVALID_PARAMETER when either argument is null or
// the MONITORINIT is smaller than its cbSize says it must be; null with
// ERROR_NOT_ENOUGH_MEMORY when the instance cannot be made.
LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor);

}  // extern "C"
