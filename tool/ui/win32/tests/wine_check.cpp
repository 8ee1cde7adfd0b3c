// Drives the real kvtool.exe under Wine and checks what it shows and sends.
//
//   kvtool_wine_check setup <port command>
//       registers the driver "Varodyn KV830" and one queue "KV830 USB" whose
//       port is <port command> (e.g. "|cat >> /out/Ne00.prn"), replacing any
//       queue of that driver left from an earlier run.
//   kvtool_wine_check run <kvtool.exe> <port file> <VRDUSBHid.dll> <screenshot.bmp>
//       starts kvtool.exe with no printer on HID, checks the main window and
//       its texts, answers the failed first read, saves a screenshot, sets
//       the buzzer to silent, checks that exactly its DEF line reached the
//       port file, closes the window and checks the INI file and the library
//       written beside the executable.
//   kvtool_wine_check select <port command> <kvtool.exe> <screenshot.bmp>
//       adds a second queue "KV830 USB 2" of the driver on <port command>,
//       starts kvtool.exe, checks the printer selection dialog it then shows
//       first (texts, both queues listed, the first preselected, every
//       control inside the client area), saves a screenshot, picks the second
//       queue and skips reading, checks that the main window took it and that
//       no job was sent, closes the program and removes the second queue.
//
// Every wait is bounded; any message box that is not the expected one fails
// the run with its text. Prints one line per check; exit code 0 when all
// passed.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <winspool.h>
#include <wtext.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resource.h"

namespace {

using Text = std::wstring;

constexpr char kDriverName[] = "Varodyn KV830";
constexpr char kQueueName[] = "KV830 USB";

int g_failed = 0;

std::string utf8(const Text& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
  return result;
}

Text wide(const char* text) {
  int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  Text result(size > 0 ? size - 1 : 0, WCHAR(0));
  if (size > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), size);
  return result;
}

bool check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  std::fflush(stdout);
  if (!ok) ++g_failed;
  return ok;
}

// WM_GETTEXT, which reaches an edit box's current text (GetWindowText of
// another process's window returns only the text stored with the window).
Text windowText(HWND window) {
  WCHAR buffer[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &copied);
  return buffer;
}

std::string fileBytes(const Text& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string data;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) data.append(buffer, read);
  CloseHandle(file);
  return data;
}

std::string printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c < 32 || c > 126) { char hex[8]; std::snprintf(hex, sizeof hex, "\\x%02x", c); out += hex; }
    else out += static_cast<char>(c);
  }
  return out;
}

// ---- setup -------------------------------------------------------------------

// A raw queue of the driver whose port is `portCommand`.
bool addQueue(const char* name, const char* portCommand) {
  PRINTER_INFO_2A queue = {};
  queue.pPrinterName = const_cast<char*>(name);
  queue.pPortName = const_cast<char*>(portCommand);
  queue.pDriverName = const_cast<char*>(kDriverName);
  queue.pPrintProcessor = const_cast<char*>("WinPrint");
  queue.pDatatype = const_cast<char*>("RAW");
  queue.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&queue));
  check(printer != nullptr, std::string("AddPrinterA level 2 \"") + name + "\" port " + portCommand + " (error " +
                                std::to_string(printer ? 0 : GetLastError()) + ")");
  if (printer) ClosePrinter(printer);
  return printer != nullptr;
}

bool removeQueue(const char* name) {
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterA(const_cast<char*>(name), &printer, &access)) return false;
  bool removed = DeletePrinter(printer) != FALSE;
  ClosePrinter(printer);
  return removed;
}

int setup(const char* portCommand) {
  // The spooler wants the driver's files to exist; which files they are does
  // not matter to the tool, which only reads the driver's name.
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  DRIVER_INFO_3A driver = {};
  driver.cVersion = 3;
  driver.pName = const_cast<char*>(kDriverName);
  driver.pDriverPath = self;
  driver.pDataFile = self;
  driver.pConfigFile = self;
  BOOL added = AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES);
  DWORD error = GetLastError();
  check(added || error == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED,
        "AddPrinterDriverExA level 3 \"Varodyn KV830\" (error " + std::to_string(added ? 0 : error) + ")");

  // Queues of this driver left from an earlier run go first, so the tool
  // sees exactly one.
  DWORD needed = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 1);
  if (needed && EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) {
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      if (!info[i].pDriverName || lstrcmpA(info[i].pDriverName, kDriverName) != 0) continue;
      check(removeQueue(info[i].pPrinterName), std::string("removed old queue ") + info[i].pPrinterName);
    }
  }

  return addQueue(kQueueName, portCommand) ? 0 : 1;
}

// ---- run ---------------------------------------------------------------------

DWORD g_process = 0;

struct Found {
  const WCHAR* caption;
  HWND window;
};

BOOL CALLBACK findOwnWindow(HWND window, LPARAM data) {
  auto* found = reinterpret_cast<Found*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == g_process && IsWindowVisible(window) && windowText(window) == found->caption) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK listOwnWindow(HWND window, LPARAM data) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == g_process && IsWindowVisible(window)) {
    *reinterpret_cast<std::string*>(data) += " \"" + utf8(windowText(window)) + "\"";
  }
  return TRUE;
}

// The captions of the tool's visible top-level windows, for failure lines.
std::string shownWindows() {
  std::string list;
  EnumWindows(listOwnWindow, reinterpret_cast<LPARAM>(&list));
  return list.empty() ? " none" : list;
}

HWND visibleWindow(const WCHAR* caption) {
  Found found = {caption, nullptr};
  EnumWindows(findOwnWindow, reinterpret_cast<LPARAM>(&found));
  return found.window;
}

// Message boxes have the dialog class and their text in control 0xFFFF.
Text messageBoxText(HWND box) { return windowText(GetDlgItem(box, 0xFFFF)); }

struct Boxes {
  std::vector<HWND> found;
};

BOOL CALLBACK findBoxes(HWND window, LPARAM data) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  WCHAR cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (pid == g_process && IsWindowVisible(window) && lstrcmpW(cls, WTEXT("#32770")) == 0 &&
      GetDlgItem(window, 0xFFFF)) {
    reinterpret_cast<Boxes*>(data)->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> openBoxes() {
  Boxes boxes;
  EnumWindows(findBoxes, reinterpret_cast<LPARAM>(&boxes));
  return boxes.found;
}

// Waits up to `seconds` for a visible window of the tool with `caption`;
// an unexpected message box ends the wait with a failure.
HWND waitForWindow(const WCHAR* caption, int seconds, const std::string& what) {
  for (int tick = 0; tick < seconds * 10; ++tick) {
    if (HWND window = visibleWindow(caption)) return window;
    for (HWND box : openBoxes()) {
      check(false, what + ": unexpected message box \"" + utf8(windowText(box)) + "\": \"" +
                       utf8(messageBoxText(box)) + "\" (windows shown:" + shownWindows() + ")");
      return nullptr;
    }
    Sleep(100);
  }
  check(false, what + ": no window \"" + utf8(caption) + "\" within " + std::to_string(seconds) +
                   " s (windows shown:" + shownWindows() + ")");
  return nullptr;
}

// Waits for a message box with the caption and text, then presses OK.
bool answerBox(const WCHAR* caption, const WCHAR* text, int seconds, const std::string& what) {
  for (int tick = 0; tick < seconds * 10; ++tick) {
    for (HWND box : openBoxes()) {
      Text got = messageBoxText(box);
      bool ok = check(windowText(box) == caption && got == text,
                      what + ": box \"" + utf8(windowText(box)) + "\": \"" + utf8(got) + "\"");
      PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
      for (int gone = 0; gone < 50 && IsWindow(box); ++gone) Sleep(100);
      return ok;
    }
    Sleep(100);
  }
  return check(false, what + ": no message box within " + std::to_string(seconds) + " s");
}

struct Expected {
  UINT id;
  const WCHAR* text;
};

// The main window's texts as the user must see them.
const Expected kMainTexts[] = {
    {IDC_MAIN_PRINTER_LABEL, WTEXT("打印机名:    ")},
    {IDC_MAIN_BUZZER_GROUP, WTEXT("打印机响铃设置")},
    {IDC_BUZZER_RADIOBUTTON, WTEXT("响铃  ")},
    {IDC_NOBUZZER_RADIOBUTTON, WTEXT("不响铃")},
    {IDC_MAIN_HEADCHECK_GROUP, WTEXT("打印头自动检测")},
    {IDC_AUTOHEADCHECK_ON_RADIOBUTTON, WTEXT("打开")},
    {IDC_AUTOHEADCHECK_OFF_RADIOBUTTON, WTEXT("关闭")},
    {IDC_MAIN_STOPPOS_GROUP, WTEXT("测纸功能(仅对模切纸有效)")},
    {IDC_AUTOSTOPPOS_OFF_RADIOBUTTON, WTEXT("关闭")},
    {IDC_AUTOSTOPPOS_FEED_RADIOBUTTON, WTEXT("手动(长按送纸键)")},
    {IDC_AUTOSTOPPOS_ON_RADIOBUTTON, WTEXT("自动")},
    {IDC_MAIN_FEED_GROUP, WTEXT("自动送纸")},
    {IDC_AUTOFEED_CHECKBOX, WTEXT("开机送纸")},
    {IDC_CLOSEACTION_CHECKBOX, WTEXT("关闭打印头送纸   ")},
    {IDC_MAIN_BUTTON1, WTEXT("设置")},
    {IDC_MAIN_BUTTON2, WTEXT("设置")},
    {IDC_MAIN_BUTTON3, WTEXT("设置")},
    {IDC_MAIN_BUTTON4, WTEXT("设置")},
    {IDC_MAIN_BUTTON5, WTEXT("获取版本号")},
    {IDC_MAIN_BUTTON6, WTEXT("获取打印距离")},
    {IDC_MAIN_BUTTON7, WTEXT("检测打印头")},
    {IDC_MAIN_BUTTON8, WTEXT("打印所有设置")},
    {IDC_MAIN_BUTTON10, WTEXT("打印识别标签")},
    {IDC_MAIN_BUTTON11, WTEXT("打印测试标签")},
    {IDC_MAIN_BUTTON14, WTEXT("恢复出厂设置")},
    {IDC_MAIN_BUTTON15, WTEXT("传感器设置")},
};

// The sensor window's texts.
const Expected kSensorTexts[] = {
    {IDC_SENSOR_GAP_GROUP, WTEXT("透光传感器  ")},
    {IDC_SENSOR_GAP_RANGE, WTEXT("1 - 100")},
    {IDC_SENSOR_BUTTON13, WTEXT("自动设置")},
    {IDC_SENSOR_BUTTON1, WTEXT("手动设置")},
    {IDC_SENSOR_MARK_GROUP, WTEXT("黑标传感器 ")},
    {IDC_SENSOR_MARK_RANGE, WTEXT("1 - 100")},
    {IDC_SENSOR_BUTTON12, WTEXT("自动设置")},
    {IDC_SENSOR_BUTTON2, WTEXT("手动设置")},
};

constexpr const WCHAR* kCommFailure =
    WTEXT("\r\n通信失败!请检查确认一下：\r\n1.打印机是否处于联机状态（打印）\r\n2.USB的连接线是否正确连接到打印机上？")
        WTEXT("\r\n3.是否正确选择了打印机名称（与实际编辑软件联机打印时选择的打印机匹配）");

constexpr const WCHAR* kMainCaption = WTEXT("KV830设定工具(V1.1)");
constexpr const WCHAR* kInfoCaption = WTEXT("系统提示");

template <size_t N>
void checkTexts(HWND window, const Expected (&texts)[N]) {
  for (const Expected& expected : texts) {
    Text got = windowText(GetDlgItem(window, static_cast<int>(expected.id)));
    check(got == expected.text, "control " + std::to_string(expected.id) + " reads \"" + utf8(expected.text) +
                                     "\" (got \"" + utf8(got) + "\")");
  }
}

// A level box, its up-down control bound to it with the range 1 to 100,
// and its text.
void checkLevel(HWND sensor, UINT edit, UINT upDown, const WCHAR* text) {
  HWND box = GetDlgItem(sensor, static_cast<int>(edit));
  HWND arrows = GetDlgItem(sensor, static_cast<int>(upDown));
  LRESULT range = SendMessageW(arrows, UDM_GETRANGE, 0, 0);
  check(reinterpret_cast<HWND>(SendMessageW(arrows, UDM_GETBUDDY, 0, 0)) == box && HIWORD(range) == 1 &&
            LOWORD(range) == 100,
        "up-down " + std::to_string(upDown) + " bound to box " + std::to_string(edit) + ", range " +
            std::to_string(HIWORD(range)) + " - " + std::to_string(LOWORD(range)));
  check(windowText(box) == text, "level box " + std::to_string(edit) + " shows " + utf8(text) + " (got \"" +
                                     utf8(windowText(box)) + "\")");
}

void checkMainTexts(HWND main) {
  checkTexts(main, kMainTexts);
  HWND printers = GetDlgItem(main, IDC_MAIN_COMBOBOX1);
  WCHAR item[256] = {};
  LRESULT count = SendMessageW(printers, CB_GETCOUNT, 0, 0);
  SendMessageW(printers, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
  check(count == 1 && Text(item) == wide(kQueueName), "ComboBox1 lists the one queue (" + std::to_string(count) +
                                                           " entries, first \"" + utf8(item) + "\")");
  check(!IsWindowEnabled(printers), "ComboBox1 is disabled");
  check(SendMessageW(printers, CB_GETCURSEL, 0, 0) == 0, "ComboBox1 has the queue selected");
}

// The whole screen as a 24-bit BMP.
bool saveScreenshot(const Text& path) {
  HDC screen = GetDC(nullptr);
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != FALSE;
    SelectObject(memory, old);
    GdiFlush();
    DWORD stride = ((width * 3 + 3) / 4) * 4;
    DWORD imageSize = stride * height;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageSize;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ok = ok && file != INVALID_HANDLE_VALUE && WriteFile(file, &header, sizeof header, &written, nullptr) &&
         WriteFile(file, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
         WriteFile(file, bits, imageSize, &written, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// The resource "rc_VRDUSBHid" of type "dll" inside `module`.
std::string embeddedLibrary(const Text& module) {
  HMODULE image = LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!image) return {};
  std::string data;
  HRSRC found = FindResourceW(image, WTEXT("rc_VRDUSBHid"), WTEXT("dll"));
  HGLOBAL loaded = found ? LoadResource(image, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes) data.assign(static_cast<const char*>(bytes), SizeofResource(image, found));
  FreeLibrary(image);
  return data;
}

// "a.b.c.d" from the fixed part of the version resource; empty without one.
std::string fileVersion(const Text& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (!size) return {};
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), WTEXT("\\"), reinterpret_cast<void**>(&info), &length) || !info) {
    return {};
  }
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

// "screen.bmp" with `suffix` before its extension: "screen-read.bmp".
Text alongside(const Text& path, const Text& suffix) {
  size_t dot = path.find_last_of(WTEXT('.'));
  return dot == Text::npos ? path + suffix : path.substr(0, dot) + suffix + path.substr(dot);
}

Text folderOf(const Text& path) {
  size_t slash = path.find_last_of(WTEXT("\\/"));
  return slash == Text::npos ? Text() : path.substr(0, slash + 1);
}

// Starts kvtool.exe in its own folder.
bool startTool(const Text& exe, PROCESS_INFORMATION& process) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  Text command = WTEXT("\"") + exe + WTEXT("\"");
  if (!check(CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folderOf(exe).c_str(),
                            &startup, &process) != FALSE,
             "start " + utf8(exe))) {
    return false;
  }
  g_process = process.dwProcessId;
  return true;
}

// Ends a program that a failed step left running.
void endTool(PROCESS_INFORMATION& process) {
  if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

// Closes the main window and waits for the program to end; message boxes
// still open are named.
bool closeTool(HWND main, const PROCESS_INFORMATION& process) {
  PostMessageW(main, WM_CLOSE, 0, 0);
  bool ended = WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0;
  if (!ended) {
    for (HWND box : openBoxes()) {
      check(false, "at close: message box \"" + utf8(windowText(box)) + "\": \"" + utf8(messageBoxText(box)) + "\"");
    }
  }
  return check(ended, "closing the main window ends the program");
}

int summary() {
  std::printf("%s\n", g_failed ? "kvtool under Wine: FAILED" : "kvtool under Wine: all checks passed");
  return g_failed ? 1 : 0;
}

int run(const Text& exe, const Text& portFile, const Text& builtLibrary, const Text& screenshot) {
  Text folder = folderOf(exe);
  Text ini = exe.substr(0, exe.size() - 4) + WTEXT(".ini");
  DeleteFileW(ini.c_str());
  DeleteFileW((folder + WTEXT("VRDUSBHid.dll")).c_str());
  DeleteFileW(portFile.c_str());

  std::string version = fileVersion(exe);
  check(version == "1.1.0.0", "version resource 1.1.0.0 (got \"" + version + "\")");

  PROCESS_INFORMATION process = {};
  if (!startTool(exe, process)) return 1;

  do {
    HWND main = waitForWindow(kMainCaption, 30, "main window");
    if (!check(main != nullptr, "main window \"KV830设定工具(V1.1)\" shown")) break;
    checkMainTexts(main);

    // First activation: one USB queue, read at once; no printer answers on
    // HID, so the read dialog gives up and the tool says so.
    check(waitForWindow(WTEXT("读出系统设置"), 15, "read dialog") != nullptr, "read dialog \"读出系统设置\" shown");
    Sleep(500);
    check(saveScreenshot(alongside(screenshot, WTEXT("-read"))), "screenshot of the read dialog");
    answerBox(kInfoCaption, WTEXT("获取打印机信息失败!"), 60, "failed first read");
    check(fileBytes(portFile) == "USBS CLS=1\r\n",
          "the read sent only its switch job (port file \"" + printable(fileBytes(portFile)) + "\")");
    check(IsWindowEnabled(GetDlgItem(main, IDC_MAIN_BUTTON5)) != FALSE, "query buttons stay enabled (USB queue)");

    Sleep(500);
    check(saveScreenshot(screenshot), "screenshot " + utf8(screenshot));

    // Silent buzzer, then its "设置": one setting job with exactly its line.
    HWND silent = GetDlgItem(main, IDC_NOBUZZER_RADIOBUTTON);
    PostMessageW(silent, BM_CLICK, 0, 0);
    for (int tick = 0; tick < 50 && SendMessageW(silent, BM_GETCHECK, 0, 0) != BST_CHECKED; ++tick) Sleep(100);
    check(SendMessageW(silent, BM_GETCHECK, 0, 0) == BST_CHECKED &&
              SendMessageW(GetDlgItem(main, IDC_BUZZER_RADIOBUTTON), BM_GETCHECK, 0, 0) == BST_UNCHECKED,
          "\"不响铃\" chosen by a click");
    std::string before = fileBytes(portFile);
    PostMessageW(GetDlgItem(main, IDC_MAIN_BUTTON1), BM_CLICK, 0, 0);
    answerBox(kInfoCaption, WTEXT("设置发送成功!  "), 30, "buzzer setting delivered");
    std::string after = fileBytes(portFile);
    check(after.size() >= before.size() && after.compare(0, before.size(), before) == 0 &&
              after.substr(before.size()) == "DEF BZ=1\r\n",
          "port file got exactly \"DEF BZ=1\\r\\n\" (got \"" +
              printable(after.size() >= before.size() ? after.substr(before.size()) : after) + "\")");

    // The sensor window: opened modally, reads the sensor values at its first
    // activation (failing without a printer), shows the stored levels, and
    // stores them when closed.
    PostMessageW(GetDlgItem(main, IDC_MAIN_BUTTON15), BM_CLICK, 0, 0);
    HWND sensor = waitForWindow(WTEXT("传感器设置"), 15, "sensor window");
    check(sensor != nullptr, "sensor window \"传感器设置\" shown");
    check(waitForWindow(WTEXT("获取传感器值"), 15, "sensor values read") != nullptr,
          "read dialog \"获取传感器值\" shown");
    answerBox(kInfoCaption, kCommFailure, 60, "failed sensor values read");
    Sleep(500);
    check(saveScreenshot(alongside(screenshot, WTEXT("-sensor"))), "screenshot of the sensor window");
    if (sensor) {
      checkTexts(sensor, kSensorTexts);
      checkLevel(sensor, IDC_SENSORLEVELGAP_EDIT, IDC_SENSORLEVELGAP_UPDOWN, WTEXT("27"));
      checkLevel(sensor, IDC_SENSORLEVELMARK_EDIT, IDC_SENSORLEVELMARK_UPDOWN, WTEXT("45"));
      PostMessageW(sensor, WM_CLOSE, 0, 0);
      for (int tick = 0; tick < 100 && IsWindow(sensor); ++tick) Sleep(100);
      check(!IsWindow(sensor), "sensor window closed");
    }

    // Closing ends the program and stores the choices.
    closeTool(main, process);
    struct Key {
      const WCHAR* name;
      int value;
    };
    const Key keys[] = {{WTEXT("Buzzer"), 1},      {WTEXT("AutoHeadCheck"), 0},  {WTEXT("AutoStopPos"), 2},
                        {WTEXT("AutoFeed"), 0},    {WTEXT("CloseAction"), 1},    {WTEXT("SensorLevelGap"), 27},
                        {WTEXT("SensorLevelMark"), 45}};
    for (const Key& key : keys) {
      int got = static_cast<int>(GetPrivateProfileIntW(WTEXT("Setting"), key.name, -1, ini.c_str()));
      check(got == key.value, "INI [Setting] " + utf8(key.name) + "=" + std::to_string(key.value) + " (got " +
                                  std::to_string(got) + ")");
    }

    std::string built = fileBytes(builtLibrary);
    std::string written = fileBytes(folder + WTEXT("VRDUSBHid.dll"));
    check(!built.empty() && embeddedLibrary(exe) == built,
          "resource rc_VRDUSBHid holds the built VRDUSBHid.dll (" + std::to_string(built.size()) + " bytes)");
    check(!built.empty() && written == built, "start-up wrote VRDUSBHid.dll beside the program byte for byte");
  } while (false);

  endTool(process);
  return summary();
}

// ---- select ------------------------------------------------------------------

constexpr char kSecondQueueName[] = "KV830 USB 2";

// The selection dialog's texts; the information text's lines are compared
// without their line-break characters.
const Expected kSelectTexts[] = {
    {IDC_SELECT_READ, WTEXT("读取信息")},
    {IDC_SELECT_SKIP, WTEXT("跳过读取信息")},
};

constexpr const WCHAR* kSelectInfo =
    WTEXT("请确认KV830处于联机状态，从下面列表中选择当前使用的打印机") WTEXT("如果要读取KV830信息，按下按钮“读取信息”")
        WTEXT("    操作必须选择USB端口的打印机") WTEXT("如果不需要读取KV830信息，按下按钮“跳过读取信息”");

Text withoutLineBreaks(Text text) {
  Text out;
  for (WCHAR c : text)
    if (c != WTEXT('\r') && c != WTEXT('\n')) out += c;
  return out;
}

int screenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

struct Placement {
  HWND parent;
  RECT client;
};

// Every visible control lies wholly inside the client area of its window.
BOOL CALLBACK checkInsideClient(HWND control, LPARAM data) {
  const auto* placement = reinterpret_cast<const Placement*>(data);
  if (!IsWindowVisible(control)) return TRUE;
  RECT box;
  GetWindowRect(control, &box);
  MapWindowPoints(nullptr, placement->parent, reinterpret_cast<POINT*>(&box), 2);
  const RECT& client = placement->client;
  check(box.left >= client.left && box.top >= client.top && box.right <= client.right && box.bottom <= client.bottom,
        "control " + std::to_string(GetDlgCtrlID(control)) + " at (" + std::to_string(box.left) + "," +
            std::to_string(box.top) + ")-(" + std::to_string(box.right) + "," + std::to_string(box.bottom) +
            ") lies inside the client area " + std::to_string(client.right) + " x " + std::to_string(client.bottom));
  return TRUE;
}

Text listItem(HWND list, int index) {
  LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length < 0 || length > 255) return {};
  WCHAR item[256] = {};
  SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(item));
  return item;
}

// With two queues of the driver on ports the tool takes, the first
// activation asks which one to use before anything is read.
int selectRun(const char* portCommand, const Text& exe, const Text& screenshot) {
  if (!addQueue(kSecondQueueName, portCommand)) return summary();
  // Both port files lie beside the copy of the program (run-under-wine.sh).
  Text portFile = folderOf(exe) + WTEXT("Ne00.prn");
  std::string portBefore = fileBytes(portFile);

  PROCESS_INFORMATION process = {};
  if (startTool(exe, process)) do {
    HWND dialog = waitForWindow(WTEXT("选择打印机"), 30, "selection dialog");
    if (!check(dialog != nullptr, "selection dialog \"选择打印机\" shown")) break;
    Sleep(500);
    check(saveScreenshot(alongside(screenshot, WTEXT("-select"))), "screenshot of the selection dialog");

    checkTexts(dialog, kSelectTexts);
    Text info = windowText(GetDlgItem(dialog, IDC_SELECT_INFO));
    check(withoutLineBreaks(info) == kSelectInfo, "the information text's four lines (got \"" + utf8(info) + "\")");
    HWND list = GetDlgItem(dialog, IDC_SELECT_LIST);
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    Text first = listItem(list, 0), second = listItem(list, 1);
    check(count == 2 && first == wide(kQueueName) && second == wide(kSecondQueueName),
          "the list holds both queues (" + std::to_string(count) + " entries: \"" + utf8(first) + "\", \"" +
              utf8(second) + "\")");
    check(SendMessageW(list, LB_GETCURSEL, 0, 0) == 0, "the first queue is preselected");

    int dpi = screenDpi();
    Placement placement = {dialog, {}};
    GetClientRect(dialog, &placement.client);
    int width = placement.client.right, height = placement.client.bottom;
    check(width == MulDiv(410, dpi, 96) && height == MulDiv(201, dpi, 96),
          "client area 410 x 201 at 96 dpi, scaled to " + std::to_string(dpi) + " dpi (got " + std::to_string(width) +
              " x " + std::to_string(height) + ")");
    EnumChildWindows(dialog, checkInsideClient, reinterpret_cast<LPARAM>(&placement));

    // The second queue, and no read: the main window takes that queue.
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    PostMessageW(GetDlgItem(dialog, IDC_SELECT_SKIP), BM_CLICK, 0, 0);
    for (int tick = 0; tick < 50 && IsWindowVisible(dialog); ++tick) Sleep(100);
    check(!IsWindowVisible(dialog), "\"跳过读取信息\" closes the dialog");
    HWND main = waitForWindow(kMainCaption, 15, "main window after the selection");
    if (!check(main != nullptr, "main window shown after the selection")) break;
    HWND printers = GetDlgItem(main, IDC_MAIN_COMBOBOX1);
    WCHAR item[256] = {};
    LRESULT chosen = SendMessageW(printers, CB_GETCURSEL, 0, 0);
    if (chosen >= 0) SendMessageW(printers, CB_GETLBTEXT, chosen, reinterpret_cast<LPARAM>(item));
    check(SendMessageW(printers, CB_GETCOUNT, 0, 0) == 2 && Text(item) == wide(kSecondQueueName),
          "ComboBox1 lists both queues with the chosen one selected (selected \"" + utf8(item) + "\")");
    check(visibleWindow(WTEXT("读出系统设置")) == nullptr && openBoxes().empty(),
          "skipping reads nothing and shows no message (windows shown:" + shownWindows() + ")");
    closeTool(main, process);
    Text secondPort = folderOf(exe) + WTEXT("Ne01.prn");
    check(fileBytes(portFile) == portBefore && fileBytes(secondPort).empty(),
          "no job reached either queue (second port file \"" + printable(fileBytes(secondPort)) + "\")");
  } while (false);
  if (process.hProcess) endTool(process);
  check(removeQueue(kSecondQueueName), "removed the second queue");
  return summary();
}

}  // namespace

std::string ansi(const WCHAR* text) {
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), size, nullptr, nullptr);
  return result;
}

int main() {
  // Coordinates and the screen in pixels, as the DPI-aware tool sees them.
  SetProcessDPIAware();
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 3 && lstrcmpW(argv[1], WTEXT("setup")) == 0) {
    return setup(ansi(argv[2]).c_str());
  }
  if (argc == 6 && lstrcmpW(argv[1], WTEXT("run")) == 0) return run(argv[2], argv[3], argv[4], argv[5]);
  if (argc == 5 && lstrcmpW(argv[1], WTEXT("select")) == 0) return selectRun(ansi(argv[2]).c_str(), argv[3], argv[4]);
  std::fprintf(stderr,
               "usage: kvtool_wine_check setup <port command>\n"
               "       kvtool_wine_check run <kvtool.exe> <port file> <VRDUSBHid.dll> <screenshot.bmp>\n"
               "       kvtool_wine_check select <port command> <kvtool.exe> <screenshot.bmp>\n");
  return 2;
}
