// Loads each Windows deliverable the way its host would and checks its
// published entry points answer. Built by the Windows configurations and
// run under Wine by CI; prints "N passed, N failed".
#include <windows.h>
#include <winddi.h>
#include <winspool.h>
#include <winsplp.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "port_table.h"

namespace {

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  (ok ? g_passed : g_failed)++;
}

HMODULE load(const char* dir, const char* name) {
  std::string path = std::string(dir) + "\\" + name;
  HMODULE m = LoadLibraryA(path.c_str());
  check(m != nullptr, (std::string("load ") + name).c_str());
  return m;
}

template <class F>
F entry(HMODULE m, const char* name) {
  FARPROC p = m ? GetProcAddress(m, name) : nullptr;
  check(p != nullptr, (std::string("export ") + name).c_str());
  return reinterpret_cast<F>(reinterpret_cast<void*>(p));
}

std::string fileVersion(const char* dir, const char* name) {
  std::string path = std::string(dir) + "\\" + name;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (!size) return "";
  std::string data(size, '\0');
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return "";
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return text;
}

void driver(const char* dir, const char* name) {
  HMODULE m = load(dir, name);
  auto enable = entry<BOOL(APIENTRY*)(ULONG, ULONG, DRVENABLEDATA*)>(m, "DrvEnableDriver");
  auto query = entry<BOOL(APIENTRY*)(DWORD, PVOID, DWORD, PDWORD)>(m, "DrvQueryDriverInfo");
  if (enable) {
    DRVENABLEDATA ded{};
    SetLastError(0);
    check(!enable(0x1FFFF, sizeof ded, &ded) && GetLastError() == ERROR_BAD_DRIVER_LEVEL,
          "DrvEnableDriver rejects an old engine");
    check(enable(0x20000, sizeof ded, &ded) && ded.iDriverVersion == 0x30000 && ded.c == 36 && ded.pdrvfn,
          "DrvEnableDriver hands over 36 hooks");
  }
  if (query) {
    DWORD needed = 0, mode = 0;
    check(!query(DRVQUERY_USERMODE, nullptr, 0, &needed) && needed == 4, "DrvQueryDriverInfo sizes");
    check(query(DRVQUERY_USERMODE, &mode, 4, &needed) && mode == 1, "DrvQueryDriverInfo user mode");
  }
  check(!fileVersion(dir, name).empty(), (std::string("version resource ") + name).c_str());
}

// The printer interface DLL: its exports, and the device-mode size query
// that needs no queue.
void interfaceDll(const char* dir, const char* name) {
  HMODULE m = load(dir, name);
  for (const char* e : {"DrvDeviceCapabilities", "DrvDevicePropertySheets", "DrvConvertDevMode", "DevQueryPrintEx",
                        "DrvPrinterEvent", "DrvUpgradePrinter"})
    entry<FARPROC>(m, e);
  // The header's layout (winddiui.h): cbSize, Reserved, hPrinter,
  // pszPrinterName, pdmIn, pdmOut, cbOut, fMode.
  struct Header {
    WORD cbSize, Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    DEVMODEW *pdmIn, *pdmOut;
    DWORD cbOut, fMode;
  };
  auto sheets = entry<LONG(WINAPI*)(void*, LPARAM)>(m, "DrvDocumentPropertySheets");
  if (sheets) {
    Header h{};
    h.cbSize = sizeof h;
    check(sheets(nullptr, reinterpret_cast<LPARAM>(&h)) == 364 && h.cbOut == 364,
          (std::string(name) + " device mode is 364 bytes").c_str());
    check(sheets(nullptr, 0) == -1, (std::string(name) + " refuses a missing header").c_str());
  }
  check(!fileVersion(dir, name).empty(), (std::string("version resource ") + name).c_str());
}

// A port monitor of this program's own, below the language monitor: it
// keeps what is written and answers reads with a queued reply. Its
// MONITOR2 entries know only their own instance handle.
namespace port {
int instanceTag = 0;
HANDLE const instance = &instanceTag;
int portTag = 0;
std::string written, reply, document;
int opened = 0, closed = 0;

BOOL WINAPI open(LPSTR, PHANDLE handle) {
  *handle = &portTag;
  ++opened;
  return TRUE;
}
BOOL WINAPI openWide(HANDLE monitor, LPWSTR, PHANDLE handle) {
  if (monitor != instance) return FALSE;
  return open(nullptr, handle);
}
BOOL WINAPI startDoc(HANDLE, LPSTR, DWORD, DWORD level, LPBYTE info) {
  document = level == 1 && info ? reinterpret_cast<DOC_INFO_1A*>(info)->pDocName : "";
  return TRUE;
}
BOOL WINAPI startDocWide(HANDLE, LPWSTR, DWORD, DWORD level, LPBYTE info) {
  document.clear();
  if (level == 1 && info)
    for (LPWSTR c = reinterpret_cast<DOC_INFO_1W*>(info)->pDocName; c && *c; ++c) document.push_back(char(*c));
  return TRUE;
}
BOOL WINAPI write(HANDLE, LPBYTE data, DWORD size, LPDWORD done) {
  written.append(reinterpret_cast<char*>(data), size);
  *done = size;
  return TRUE;
}
BOOL WINAPI read(HANDLE, LPBYTE data, DWORD size, LPDWORD done) {
  *done = DWORD(reply.size() < size ? reply.size() : size);
  std::memcpy(data, reply.data(), *done);
  reply.erase(0, *done);
  return TRUE;
}
BOOL WINAPI endDoc(HANDLE) { return TRUE; }
BOOL WINAPI close(HANDLE) {
  ++closed;
  return TRUE;
}

// The entries whose signatures the two tables share.
template <class Table>
void fillDataEntries(Table& t) {
  t.pfnWritePort = write;
  t.pfnReadPort = read;
  t.pfnEndDocPort = endDoc;
  t.pfnClosePort = close;
}
}  // namespace port

// What each table's run left: checked alike for both entries.
void checkPassThrough(const std::string& table, BOOL started, const std::string& document, BOOL wrote, BOOL ended,
                      BOOL asked, const std::string& version) {
  check(started && document == "label.prn", (table + ": StartDocPort reaches the port monitor").c_str());
  check(wrote && ended && port::written.rfind("JOB NM=QX\r\nJOBE\r\n", 0) == 0,
        (table + ": a job passes to the port unchanged").c_str());
  check(asked && version == "V1.02\r\n" && port::written.find("VER\r\n") != std::string::npos,
        (table + ": GetVersion sends VER and returns the reply").c_str());
}

void monitor(const char* dir) {
  HMODULE m = load(dir, "TRMON.dll");
  entry<FARPROC>(m, "DllEntryPoint");
  auto initEx = entry<BOOL(WINAPI*)(LPSTR, PortFunctionTable*)>(m, "InitializeMonitorEx");
  auto init2 = entry<LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE)>(m, "InitializePrintMonitor2");
  check(fileVersion(dir, "TRMON.dll").rfind("1.0", 0) == 0, "TRMON version resource");
  CHAR job[] = "JOB NM=QX\r\nJOBE\r\n";
  DWORD done = 0;

  if (initEx) {
    PortFunctionTable t{}, below{};
    below.pfnOpenPort = port::open;
    below.pfnStartDocPort = port::startDoc;
    port::fillDataEntries(below);
    CHAR root[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\TRMON";
    CHAR portName[] = "SMOKE1:", document[] = "label.prn", datatype[] = "RAW", query[] = "GetVersion";
    HANDLE h = nullptr;
    port::written.clear();
    port::reply = "V1.02\r\n";
    if (initEx(root, &t) && t.pfnOpenPortEx(portName, nullptr, &h, &below)) {
      DOC_INFO_1A info{document, nullptr, datatype};
      BOOL started = t.pfnStartDocPort(h, nullptr, 0, 1, reinterpret_cast<LPBYTE>(&info));
      std::string startedDocument = port::document;
      BOOL wrote = t.pfnWritePort(h, reinterpret_cast<LPBYTE>(job), DWORD(std::strlen(job)), &done);
      BOOL ended = t.pfnEndDocPort(h);
      CHAR out[64] = {};
      DWORD got = 0;
      BOOL asked = t.pfnGetPrinterDataFromPort(h, 0, query, nullptr, 0, out, sizeof out, &got);
      checkPassThrough("InitializeMonitorEx", started, startedDocument, wrote, ended, asked, std::string(out, got));
      check(t.pfnClosePort(h) && port::closed == port::opened, "InitializeMonitorEx: ClosePort closes the port");
    } else {
      check(false, "InitializeMonitorEx opens a port");
    }
  }

  if (init2) {
    MONITORINIT mi{};
    mi.cbSize = sizeof mi;
    mi.bLocal = TRUE;
    HANDLE monitor = nullptr;
    LPMONITOR2 t = init2(&mi, &monitor);
    check(t && monitor && t->cbSize == sizeof(MONITOR2) && t->pfnShutdown,
          "InitializePrintMonitor2 hands over a MONITOR2 with Shutdown");
    MONITOR2 below{};
    below.cbSize = sizeof below;
    below.pfnOpenPort = port::openWide;
    below.pfnStartDocPort = port::startDocWide;
    port::fillDataEntries(below);
    WCHAR portName[] = L"SMOKE2:", document[] = L"label.prn", datatype[] = L"RAW", query[] = L"GetVersion";
    HANDLE h = nullptr;
    port::written.clear();
    port::reply = "V1.02\r\n";
    if (t && t->pfnOpenPortEx(monitor, port::instance, portName, nullptr, &h, &below)) {
      DOC_INFO_1W info{document, nullptr, datatype};
      BOOL started = t->pfnStartDocPort(h, nullptr, 0, 1, reinterpret_cast<LPBYTE>(&info));
      std::string startedDocument = port::document;
      BOOL wrote = t->pfnWritePort(h, reinterpret_cast<LPBYTE>(job), DWORD(std::strlen(job)), &done);
      BOOL ended = t->pfnEndDocPort(h);
      CHAR out[64] = {};
      DWORD got = 0;
      BOOL asked = t->pfnGetPrinterDataFromPort(h, 0, query, nullptr, 0, reinterpret_cast<LPWSTR>(out),
                                                sizeof out, &got);
      checkPassThrough("InitializePrintMonitor2", started, startedDocument, wrote, ended, asked, std::string(out, got));
      // Shutdown closes the port the instance still holds.
      t->pfnShutdown(monitor);
      check(port::closed == port::opened, "InitializePrintMonitor2: Shutdown closes the instance's port");
    } else {
      check(false, "InitializePrintMonitor2 opens a port");
    }
  }
}

void hidlink(const char* dir) {
  HMODULE m = load(dir, "VRDUSBHid.dll");
  auto version = entry<int(WINAPI*)(char*, int)>(m, "hidusbGetVersion");
  auto open = entry<int(WINAPI*)()>(m, "hidusbOpen");
  if (version) {
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    check(version(nullptr, 0) == 7, "hidusbGetVersion(null, 0)");
    check(version(buf, 6) == 0 && buf[0] == 'x', "hidusbGetVersion short buffer untouched");
    check(version(buf, 16) == 7 && std::memcmp(buf, "1.0.1.0\0", 8) == 0, "hidusbGetVersion text");
  }
  // No printer is attached here: opening must fail cleanly.
  if (open) check(open() == 0, "hidusbOpen without a printer fails cleanly");
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = argc > 1 ? argv[1] : ".";
  std::string base(dir);
  driver((base + "\\driver").c_str(), "TR722.dll");
  driver((base + "\\driver").c_str(), "KV830.dll");
  interfaceDll((base + "\\driverui").c_str(), "TR722UI.dll");
  interfaceDll((base + "\\driverui").c_str(), "KV830UI.dll");
  monitor((base + "\\monitor").c_str());
  hidlink((base + "\\hidlink").c_str());
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed ? 1 : 0;
}
