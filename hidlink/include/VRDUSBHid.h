// VRDUSBHid: the USB HID link to a KV830 printer in HID mode.
//
// The library finds the printer (vendor 0x0471, product 0x0710) among the
// HID devices, holds it for one process at a time and moves raw bytes in
// the printer's 65-byte reports. It knows nothing of printer commands.
//
// Exclusion: the named mutex "Varodyn_USBHID_MUTEX" and the owner record
// (process id, 0) at the start of the 4096-byte shared section
// "Varodyn_USBHID_MEMMAP". The mutex is held by the thread that opened the
// link for as long as the link is open, so all calls of one process are
// made from that thread.
//
// Tokens: hidusbOpen returns the caller's process id; every other call takes
// it back and does nothing unless it is non-zero and equals the caller's
// current process id. No call reports an error code: failure is a 0 result
// or a short count. No call blocks for data; a write to a printer without
// room returns the short count after a few seconds without progress.
//
// Calling convention: WINAPI (stdcall on x86), exported undecorated.
#pragma once

#include <windows.h>

extern "C" {

// Writes the library version "1.0.1.0" (7 characters, no terminator of its
// own) after zero-filling `size` bytes of `buffer`, and returns 7. With a
// null buffer returns 7 and writes nothing; with size below 7 returns 0 and
// leaves the buffer untouched.
int WINAPI hidusbGetVersion(char* buffer, int size);

// Claims and opens the printer. Returns the token (the caller's process id)
// on success; 0 when another process holds the printer, no printer is
// attached, or HID.DLL or its services cannot be loaded. Opening again from
// the process that holds the link returns the same token, keeps one hold on
// the mutex and empties the receive buffer (reopening the device when a
// device change had closed it).
int WINAPI hidusbOpen(void);

// Releases the link: closes the device, empties the receive buffer, clears
// the owner record and releases the mutex. Returns 1, or 0 (doing nothing)
// for a token that is 0 or not the caller's process id.
int WINAPI hidusbClose(int token);

// Non-zero while the token is valid and the device is open. Turns 0 when a
// HID device arrives or leaves; the caller then closes and opens again.
int WINAPI hidusbIsOpened(int token);

// Reads what the printer has sent since the last call: polls the printer
// once and copies up to `length` received bytes to `buffer`. Returns the
// count, 0 when nothing has arrived (it never waits), when the token is not
// valid, the device is not open, or buffer/length are null or not positive.
// Received bytes beyond `length` stay for the next call (up to 8 MiB; more
// is dropped).
int WINAPI hidusbReadData(int token, unsigned char* buffer, int length);

// Sends `length` bytes to the printer in chunks the printer has room for.
// Returns the number of bytes the printer accepted: `length` on success, a
// short count when a report could not be sent or the printer reported no
// room for 5 s, and 0 for an invalid token, a closed device or bad
// arguments.
int WINAPI hidusbWriteData(int token, const unsigned char* data, int length);

// which 0: the address of the library's 1 MiB general buffer (owned by the
// library, valid while it is loaded); 1: the general handle value (0);
// anything else: null.
void* WINAPI hidusbGetHandle(int which);

// Pointer types for GetProcAddress.
typedef int(WINAPI* PFN_hidusbGetVersion)(char*, int);
typedef int(WINAPI* PFN_hidusbOpen)(void);
typedef int(WINAPI* PFN_hidusbClose)(int);
typedef int(WINAPI* PFN_hidusbIsOpened)(int);
typedef int(WINAPI* PFN_hidusbReadData)(int, unsigned char*, int);
typedef int(WINAPI* PFN_hidusbWriteData)(int, const unsigned char*, int);
typedef void*(WINAPI* PFN_hidusbGetHandle)(int);

}  // extern "C"
