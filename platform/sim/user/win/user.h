// Windows and messages of the simulated host (winuser.h subset).
//
// Windows exist as records with a class and a window procedure; messages
// are dispatched synchronously (SendMessageW). Device-change broadcasts
// reach the windows registered with RegisterDeviceNotificationW, on the
// thread that makes the simulated device arrive or leave.
#pragma once

#include "win/base.h"
#include "win/gdi.h"

extern "C" {

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HMENU);
typedef HICON HCURSOR;
typedef WORD ATOM;
typedef PVOID HDEVNOTIFY;

typedef struct tagWNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
} WNDCLASSW, *PWNDCLASSW, *LPWNDCLASSW;

#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_DEVICECHANGE 0x0219

#define WS_OVERLAPPED 0x00000000L
#define WS_VISIBLE 0x10000000L

#define DEVICE_NOTIFY_WINDOW_HANDLE 0x00000000
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_INVALID_WINDOW_HANDLE 1400L

// Message box flags and answers, and the notification codes the tool's
// windows receive with WM_COMMAND. (Message boxes themselves are shown by
// the tool's window layer, which the simulated host does not provide.)
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONMASK 0x000000F0L
#define MB_DEFMASK 0x00000F00L
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define BN_CLICKED 0
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define CBN_SELCHANGE 1
#define EN_CHANGE 0x0300

// Classes are keyed by name (case-insensitive) and instance.
ATOM WINAPI RegisterClassW(const WNDCLASSW* wndClass);
BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE instance);
// Sends WM_CREATE before returning; a window procedure answering -1 makes
// the creation fail.
HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY, unregisters the window's device notifications and
// removes it. A window may destroy itself from its own window procedure.
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Only DEVICE_NOTIFY_WINDOW_HANDLE registrations with a device-interface
// filter (DEV_BROADCAST_DEVICEINTERFACE_W of dbt.h) are supported.
HDEVNOTIFY WINAPI RegisterDeviceNotificationW(HANDLE recipient, LPVOID notificationFilter, DWORD flags);
BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY handle);

}  // extern "C"
