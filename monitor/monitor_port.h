// The monitor's port records and its process-wide port list.
#pragma once

#include <cstddef>
#include <type_traits>

#include <windows.h>
#include <winspool.h>

#include "guard.h"
#include "port_table.h"

namespace trmon {

inline constexpr DWORD kPortSignature = 0x8940;
inline constexpr DWORD kDocumentOpen = 0x2;  // flags bit: StartDocPort opened a document
inline constexpr size_t kPrinterNameChars = 512;
inline constexpr size_t kDocumentNameChars = 256;
// Longest port name accepted, terminator not counted; a name without a
// terminator within this bound is refused rather than read further.
inline constexpr size_t kMaxPortNameChars = 259;

// One open port: one zero-filled heap allocation holding this record and,
// right after it, the port-name text. Handed to the spooler as the port
// handle. The fields keep the record's documented order; those the monitor
// itself never reads say so.
struct MonitorPort {
  DWORD signature;
  // Record plus port-name text and terminator; part of the documented
  // record, read by no code (the heap knows the size it frees).
  DWORD allocationSize;
  MonitorPort* next;
  DWORD flags;
  LPSTR portName;  // points at the text after the record
  PortFunctionTable portMonitor;
  HANDLE portMonitorHandle;
  DWORD reserved;  // always 0; holds the documented record's slot
  // The document block, cleared as a whole by StartDocPort.
  CHAR printerName[kPrinterNameChars];
  // The running document's name and job id: part of the documented
  // document block; only the job id's non-zero test at StartDocPort acts on
  // them, nothing reads them later.
  CHAR documentName[kDocumentNameChars];
  DWORD jobId;
  HANDLE printer;  // spooler handle for the current job, owned by the record
  // Set only for a port opened through the MONITOR2 table: the port
  // monitor's wide entries (its other entries are in portMonitor) and the
  // monitor instance that opened the port, whose Shutdown closes it.
  WidePortMonitor widePortMonitor;
  const void* owner;
};

// Creates the monitor lock if it does not exist yet; it is never deleted.
void createMonitorLock();

// Longest registry root accepted (the registry's key path limit).
inline constexpr size_t kMaxRegistryRootChars = 32767;

// Keeps a private copy of the registry root (replacing an earlier copy);
// false with ERROR_INVALID_PARAMETER when it has no terminator within the
// bound, false with ERROR_NOT_ENOUGH_MEMORY when it cannot be copied.
bool keepRegistryRoot(LPCSTR root);

// The record behind a port handle when the handle is one of the listed
// records and carries the signature; null otherwise. A foreign pointer is
// never dereferenced.
MonitorPort* validPort(HANDLE handle);

// The shape of every entry point that takes a port handle (both tables):
// no exception leaves (support::guardedCall), a handle that is not a listed port
// gives `failure`, and otherwise `body` runs on the port's record. The BOOL
// entries report a bad handle through the last error
// (ERROR_INVALID_PARAMETER) as every port function does; an entry that
// returns an error code (SendRecvBidiDataFromPort) reports it as `failure`.
template <class Result, class Body>
Result withPort(HANDLE handle, Result failure, Body&& body) noexcept {
  return support::guardedCall(failure, [&]() -> Result {
    MonitorPort* port = validPort(handle);
    if (port) return body(*port);
    if constexpr (std::is_same_v<Result, BOOL>) SetLastError(ERROR_INVALID_PARAMETER);
    return failure;
  });
}

// Port functions behind the table entries. Each sets the last error itself
// on failure (ERROR_INVALID_PARAMETER for bad arguments) or leaves the port
// monitor's error in place when the port monitor failed.
// openPortEx serves both tables: with `wide` null the port monitor is the
// 13-slot table; otherwise `portMonitor` holds its entries of 13-slot
// signature, `wide` the others, widePortName the name its OpenPort gets
// and `owner` the monitor instance opening the port.
bool openPortEx(LPSTR portName, LPSTR printerName, PHANDLE outHandle, const PortFunctionTable* portMonitor,
                const WidePortMonitor* wide = nullptr, LPWSTR widePortName = nullptr, const void* owner = nullptr);
// StartDocPort of the 13-slot table (ANSI names, DOC_INFO_1A/2A) and of
// the MONITOR2 table (wide names, DOC_INFO_1W/2W); each refuses a port the
// other table opened.
bool startDocPort(MonitorPort& port, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo);
bool startDocPortW(MonitorPort& port, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo);
bool writePort(MonitorPort& port, LPBYTE buffer, DWORD count, LPDWORD done);
bool readPort(MonitorPort& port, LPBYTE buffer, DWORD count, LPDWORD done);
bool endDocPort(MonitorPort& port);
bool closePort(MonitorPort& port);

// Opens a level-1 RAW document on the port monitor, through whichever
// table the port came from, under the record's printer name.
bool portMonitorStartDoc(MonitorPort& port, LPSTR documentName);

inline bool isWidePort(const MonitorPort& port) { return port.widePortMonitor.pfnOpenPort != nullptr; }

// Closes every port `owner` opened, as ClosePort does.
void closePortsOf(const void* owner);

// Number of records in the port list.
size_t listedPorts();

// Writes the ANSI form of at most maxChars characters of `text` to `out`
// (outSize bytes, terminator included; 2 bytes a character always fit) and
// tells whether that was the whole text. Null converts to an empty string;
// a text that does not convert leaves `out` empty and gives false.
bool toAnsi(LPCWSTR text, size_t maxChars, LPSTR out, int outSize);

// Last error helper: sets `code` and returns false.
inline bool fail(DWORD code) {
  SetLastError(code);
  return false;
}

// Keeps the thread's last error across cleanup calls.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : saved_(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(saved_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  DWORD saved_;
};

}  // namespace trmon
