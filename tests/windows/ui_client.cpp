// Installs one model's graphics driver with its printer interface DLL in
// the running (Wine) spooler, adds a queue and checks, the way an
// application sees it, the labels DeviceCapabilitiesW lists and the device
// modes DocumentPropertiesW produces and merges. Built once per model;
// prints "N passed, N failed".
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <winddiui.h>
#include <winspool.h>
#include <wtext.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capabilities.h"
#include "document_modes.h"
#include "model_profile.h"
#include "resource.h"
#include "setting_limits.h"
#include "settings.h"
#include "user_labels.h"

using namespace driver;

namespace {

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const char* what) {
  std::printf("%s %s %s\n", ok ? "ok  " : "FAIL", kModel.modelName, what);
  (ok ? g_passed : g_failed)++;
}

std::wstring widen(const char* s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
  return w;
}

struct Label {
  WORD index;
  POINT size;
  std::wstring name;
};

// The labels DeviceCapabilitiesW lists, sized by a first call without a
// buffer as applications do.
std::vector<Label> listedLabels(LPCWSTR queue) {
  int n = DeviceCapabilitiesW(queue, nullptr, DC_PAPERS, nullptr, nullptr);
  if (n <= 0) return {};
  std::vector<WORD> papers(n);
  std::vector<POINT> sizes(n);
  std::vector<WCHAR> names(size_t(n) * kPaperNameChars);
  if (DeviceCapabilitiesW(queue, nullptr, DC_PAPERS, reinterpret_cast<LPWSTR>(papers.data()), nullptr) != n ||
      DeviceCapabilitiesW(queue, nullptr, DC_PAPERSIZE, reinterpret_cast<LPWSTR>(sizes.data()), nullptr) != n ||
      DeviceCapabilitiesW(queue, nullptr, DC_PAPERNAMES, names.data(), nullptr) != n)
    return {};
  std::vector<Label> labels;
  for (int i = 0; i < n; ++i) {
    const WCHAR* name = &names[size_t(i) * kPaperNameChars];
    labels.push_back({papers[i], sizes[i], std::wstring(name, wcsnlen(name, kPaperNameChars))});
  }
  return labels;
}

bool lists(const std::vector<Label>& labels, WORD index, LONG width, LONG height, const std::wstring& name) {
  for (const Label& l : labels)
    if (l.index == index) return l.size.x == width && l.size.y == height && l.name == name;
  return false;
}

// The driver's own default device mode for the queue.
std::vector<BYTE> driverDefault(LPCWSTR queue) {
  DriverSettings s;
  DefaultSettings(&s, queue);
  s.SettingsSignature = kSettingsSignature;
  const BYTE* p = reinterpret_cast<const BYTE*>(&s);
  return std::vector<BYTE>(p, p + kStoredDevModeBytes);
}


// ---- the pages through a recording common property sheet -------------------

// What the interface DLL asked of the common property sheet it was given.
struct Recorded {
  std::vector<PROPSHEETPAGEW> pages;
  std::vector<std::pair<LPARAM, LPARAM>> results;  // CPSFUNC_SET_RESULT page, result
};
Recorded g_recorded;
constexpr LONG_PTR kFirstPageHandle = 0x100;
HANDLE const kSheetHandle = reinterpret_cast<HANDLE>(0x77);

LONG_PTR CALLBACK recordComPropSheet(HANDLE sheet, UINT function, LPARAM lParam1, LPARAM lParam2) {
  if (sheet != kSheetHandle) return 0;
  if (function == CPSFUNC_ADD_PROPSHEETPAGEW) {
    g_recorded.pages.push_back(*reinterpret_cast<const PROPSHEETPAGEW*>(lParam1));
    return kFirstPageHandle + LONG_PTR(g_recorded.pages.size()) - 1;
  }
  if (function == CPSFUNC_SET_RESULT) {
    g_recorded.results.push_back({lParam1, lParam2});
    return 1;
  }
  return 0;
}

// String `id` of the module's table in `language`, empty when missing.
std::wstring tableString(HMODULE module, UINT id, WORD language) {
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const WCHAR* p = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (!p) return {};
  for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

// The entries of a combo box of a page.
std::vector<std::wstring> entries(HWND page, int control) {
  std::vector<std::wstring> out;
  LRESULT n = SendDlgItemMessageW(page, control, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    WCHAR text[256] = {};
    SendDlgItemMessageW(page, control, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
    out.push_back(text);
  }
  return out;
}

// Every entry has a name; `count` entries (or any when negative).
bool realChoices(const std::vector<std::wstring>& list, int count) {
  if (list.empty() || (count >= 0 && int(list.size()) != count)) return false;
  for (const std::wstring& e : list)
    if (e.empty()) return false;
  return true;
}

// One page of a sheet function, added through the recording sheet, run as
// a dialog; `drive` looks at the dialog and may apply it. Returns the
// sheet's Result after DESTROY.
template <class Drive>
ULONG_PTR runPage(LONG(WINAPI* sheetFunction)(PPROPSHEETUI_INFO, LPARAM), LPARAM header, UINT titleId,
                  const char* what, Drive drive) {
  g_recorded = {};
  PROPSHEETUI_INFO info{};
  info.cbSize = sizeof info;
  info.Version = PROPSHEETUI_INFO_VERSION;
  info.Flags = PSUIINFO_UNICODE;
  info.Reason = PROPSHEETUI_REASON_INIT;
  info.hComPropSheet = kSheetHandle;
  info.pfnComPropSheet = recordComPropSheet;
  info.lParamInit = header;
  std::string name(what);
  check(sheetFunction(&info, header) > 0 && g_recorded.pages.size() == 1, (name + ": one page added").c_str());
  if (g_recorded.pages.size() != 1) return info.Result;
  const PROPSHEETPAGEW& page = g_recorded.pages[0];
  HMODULE module = page.hInstance;
  // The tab's title comes from the string tables, in both languages.
  check((page.dwFlags & PSP_USETITLE) && page.pszTitle == MAKEINTRESOURCEW(titleId) &&
            !tableString(module, titleId, kEnglish).empty() && !tableString(module, titleId, kChinese).empty() &&
            tableString(module, titleId, kEnglish) != tableString(module, titleId, kChinese),
        (name + ": the tab has its title in English and Chinese").c_str());
  // The page is a child dialog: a plain window stands in for the sheet.
  HWND frame = CreateWindowExW(0, L"STATIC", L"sheet", WS_OVERLAPPEDWINDOW, 0, 0, 600, 700, nullptr, nullptr,
                               nullptr, nullptr);
  HWND dialog = frame ? CreateDialogParamW(module, page.pszTemplate, frame, page.pfnDlgProc,
                                           reinterpret_cast<LPARAM>(&page))
                      : nullptr;
  check(dialog != nullptr, (name + ": the page's dialog is created").c_str());
  if (dialog) drive(dialog);
  if (frame) DestroyWindow(frame);
  info.Reason = PROPSHEETUI_REASON_DESTROY;
  sheetFunction(&info, 0);
  return info.Result;
}

// Presses OK on a page: the property sheet's PSN_APPLY.
LRESULT applyPage(HWND dialog) {
  NMHDR nm{};
  nm.hwndFrom = GetParent(dialog);
  nm.code = UINT(PSN_APPLY);
  SendMessageW(dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
  return GetWindowLongPtrW(dialog, DWLP_MSGRESULT);
}

// labelCount: the labels DeviceCapabilitiesW lists for the queue.
void checkPages(HMODULE ui, LPCWSTR uiFileName, HANDLE printer, std::wstring& queue, int labelCount) {
  using SheetFunction = LONG(WINAPI*)(PPROPSHEETUI_INFO, LPARAM);
  auto documentSheets = reinterpret_cast<SheetFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(ui, "DrvDocumentPropertySheets")));
  auto deviceSheets = reinterpret_cast<SheetFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(ui, "DrvDevicePropertySheets")));
  check(documentSheets && deviceSheets, "the interface DLL exports both sheet functions");
  if (!documentSheets || !deviceSheets) return;

  for (bool ok : {true, false}) {
    std::vector<BYTE> out(kStoredDevModeBytes, 0);
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    header.hPrinter = printer;
    header.pszPrinterName = queue.data();
    header.pdmOut = reinterpret_cast<DEVMODEW*>(out.data());
    header.cbOut = DWORD(out.size());
    header.fMode = DM_OUT_BUFFER | DM_IN_PROMPT;
    const char* what = ok ? "preferences, OK" : "preferences, Cancel";
    ULONG_PTR result = runPage(documentSheets, reinterpret_cast<LPARAM>(&header), IDS_PAGE_PREFERENCES, what,
                               [&](HWND page) {
      if (ok) {
        // What the page lists: real choices, each with its name.
        check(realChoices(entries(page, IDC_LABEL), labelCount), "preferences: the label list holds the listed labels");
        check(realChoices(entries(page, IDC_SPEED), kSpeedCount), "preferences: the speed list holds the model's speeds");
        check(realChoices(entries(page, IDC_ORIENTATION), 2) && realChoices(entries(page, IDC_COLOR_MODE), 2) &&
                  realChoices(entries(page, IDC_DITHER), 4) && realChoices(entries(page, IDC_GRAPHICS_MODE), 2),
              "preferences: orientation, colour, dither and graphics lists are named");
        // In the language the user interface runs in (the test command
        // runs the client in English and in Chinese).
        const WORD language = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? kChinese : kEnglish;
        const std::vector<std::wstring> orientations = entries(page, IDC_ORIENTATION);
        check(!orientations.empty() &&
                  orientations[0] == tableString(GetModuleHandleW(uiFileName), IDS_PORTRAIT, language),
              language == kChinese ? "preferences: the lists are in Chinese" : "preferences: the lists are in English");
        check(GetDlgItem(page, IDC_DENSITY) == nullptr, "preferences: no label-file values on the page");
        SetDlgItemInt(page, IDC_COPIES, 5, FALSE);
        check(applyPage(page) == PSNRET_NOERROR, "preferences: OK is accepted");
      }
    });
    const auto* s = reinterpret_cast<const DriverSettings*>(out.data());
    if (ok) {
      check(g_recorded.results.size() == 1 && g_recorded.results[0].first == kFirstPageHandle &&
                g_recorded.results[0].second == CPSUI_OK,
            "preferences: OK sets CPSUI_OK on the page's handle");
      check(s->Private.Copies == 5 && s->Public.dmCopies == 5, "preferences: the changed copies are in the device mode");
    } else {
      check(g_recorded.results.empty() && result == CPSUI_CANCEL, "preferences: without OK no result is set");
    }
  }

  PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE admin = nullptr;
  check(OpenPrinterW(queue.data(), &admin, &access) != FALSE, "the queue opens for administration");
  DEVICEPROPERTYHEADER device{};
  device.cbSize = sizeof device;
  device.hPrinter = admin;
  device.pszPrinterName = queue.data();
  runPage(deviceSheets, reinterpret_cast<LPARAM>(&device), IDS_PAGE_DEVICE, "device settings", [&](HWND page) {
    check(realChoices(entries(page, IDC_FEATURE_NUP), 2) && realChoices(entries(page, IDC_DEF_LABEL), labelCount) &&
              realChoices(entries(page, IDC_PRINT_MODE), 4),
          "device settings: the feature, label and print-mode lists are named");
    check(applyPage(page) == PSNRET_NOERROR, "device settings: OK is accepted");
  });
  check(g_recorded.results.size() == 1 && g_recorded.results[0].second == CPSUI_OK,
        "device settings: OK sets CPSUI_OK on the page's handle");
  if (admin) ClosePrinter(admin);
}


// ---- the pages in the system's common property sheet ------------------------

// What the user-side thread saw of the sheet DocumentPropertiesW showed.
struct SheetSeen {
  std::vector<std::wstring> tabs;
  bool edited = false;
};

// A visible property sheet of this process (it answers PSM_GETTABCONTROL).
BOOL CALLBACK matchSheet(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  if (!SendMessageW(window, PSM_GETTABCONTROL, 0, 0)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND findSheet() {
  HWND found = nullptr;
  EnumWindows(matchSheet, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Plays the user: waits for the sheet, reads its tabs, types 8 copies on
// the preferences page and presses OK (Cancel when the page is missing).
DWORD WINAPI playUser(LPVOID p) {
  auto* seen = static_cast<SheetSeen*>(p);
  HWND sheet = nullptr;
  for (int i = 0; i < 200 && !sheet; ++i) {
    Sleep(50);
    sheet = findSheet();
  }
  if (!sheet) return 0;
  Sleep(200);
  HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
  const LRESULT count = SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    WCHAR text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(tabs, TCM_GETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    seen->tabs.push_back(text);
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, WPARAM(i), 0));
    if (!page) {
      SendMessageW(sheet, PSM_SETCURSEL, WPARAM(i), 0);
      page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, WPARAM(i), 0));
    }
    if (page && GetDlgItem(page, IDC_COPIES)) {
      SetDlgItemInt(page, IDC_COPIES, 8, FALSE);
      seen->edited = true;
    }
  }
  PostMessageW(sheet, PSM_PRESSBUTTON, seen->edited ? PSBTN_OK : PSBTN_CANCEL, 0);
  return 0;
}

void checkSystemSheet(HANDLE printer, std::wstring& queue, const std::wstring& title) {
  std::vector<BYTE> dm(kStoredDevModeBytes, 0);
  reinterpret_cast<DEVMODEW*>(dm.data())->dmSize = WORD(dm.size());
  DocumentPropertiesW(nullptr, printer, queue.data(), reinterpret_cast<DEVMODEW*>(dm.data()), nullptr, DM_OUT_BUFFER);
  SheetSeen seen;
  HANDLE user = CreateThread(nullptr, 0, playUser, &seen, 0, nullptr);
  auto* pub = reinterpret_cast<DEVMODEW*>(dm.data());
  LONG rc = DocumentPropertiesW(nullptr, printer, queue.data(), pub, pub, DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT);
  if (user) {
    WaitForSingleObject(user, 15000);
    CloseHandle(user);
  }
  bool titled = !seen.tabs.empty();
  bool ours = false;
  for (const std::wstring& t : seen.tabs) {
    titled = titled && !t.empty();
    ours = ours || t == title;
  }
  check(titled && ours, "system sheet: every tab has its title, ours among them");
  const auto* s = reinterpret_cast<const DriverSettings*>(dm.data());
  check(seen.edited && rc == IDOK && s->Private.Copies == 8 && s->Public.dmCopies == 8,
        "system sheet: OK returns IDOK with the changed copies in the device mode");
}

}  // namespace

int main(int argc, char** argv) {
  const std::wstring build = widen(argc > 1 ? argv[1] : ".");
  const std::wstring model = widen(kModel.modelName);
  const std::wstring driverFile = model == L"TR7208" ? L"TR722.dll" : L"KV830.dll";
  const std::wstring uiFile = model == L"TR7208" ? L"TR722UI.dll" : L"KV830UI.dll";
  std::wstring driverName = L"Varodyn " + model;
  std::wstring queue = L"Varodyn " + model + L" test";
  std::wstring driverPath = build + L"\\driver\\" + driverFile;
  std::wstring uiPath = build + L"\\driverui\\" + uiFile;

  // A clean start: no queue of an earlier run, no label file.
  HANDLE old = nullptr;
  if (OpenPrinterW(queue.data(), &old, nullptr)) {
    DeletePrinter(old);
    ClosePrinter(old);
  }
  WCHAR labelFile[MAX_PATH + 32];
  if (LabelFilePath(labelFile, MAX_PATH + 32)) DeleteFileW(labelFile);

  // Wine's spooler loads the files from its driver directory's version-3
  // folder and does not copy them there itself: copy them as an installer
  // does.
  WCHAR dir[MAX_PATH];
  DWORD needed = 0;
  bool copied = GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed);
  std::wstring target = std::wstring(dir) + L"\\3\\";
  CreateDirectoryW(target.c_str(), nullptr);
  copied = copied && CopyFileW(driverPath.c_str(), (target + driverFile).c_str(), FALSE) &&
           CopyFileW(uiPath.c_str(), (target + uiFile).c_str(), FALSE);
  check(copied, "driver files copied to the driver directory");
  driverPath = target + driverFile;
  uiPath = target + uiFile;

  DRIVER_INFO_3W di{};
  di.cVersion = 3;
  di.pName = driverName.data();
  di.pDriverPath = driverPath.data();
  di.pDataFile = driverPath.data();
  di.pConfigFile = uiPath.data();
  check(AddPrinterDriverExW(nullptr, 3, reinterpret_cast<LPBYTE>(&di), APD_COPY_ALL_FILES) != FALSE,
        "driver registered with its interface DLL");

  // Adding the queue asks the interface DLL for the default device mode.
  PRINTER_INFO_2W pi{};
  pi.pPrinterName = queue.data();
  std::wstring port = L"FILE:", processor = L"WinPrint", datatype = L"RAW";
  pi.pPortName = port.data();
  pi.pDriverName = driverName.data();
  pi.pPrintProcessor = processor.data();
  pi.pDatatype = datatype.data();
  HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&pi));
  check(printer != nullptr, "queue added");
  if (!printer) {
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return 1;
  }

  std::vector<Label> labels = listedLabels(queue.c_str());
  check(labels.size() == 2, "DeviceCapabilitiesW lists the two built-in labels");
  const LabelRecord& custom = kModel.builtinLabels[0];
  const LabelRecord& second = kModel.builtinLabels[1];
  check(lists(labels, 256, custom.LabelWidth, custom.LabelHeight, custom.LabelName), "label 256 size and name");
  check(lists(labels, 257, second.LabelWidth, second.LabelHeight, second.LabelName), "label 257 size and name");
  check(DeviceCapabilitiesW(queue.c_str(), nullptr, DC_SIZE, nullptr, nullptr) == 220 &&
            DeviceCapabilitiesW(queue.c_str(), nullptr, DC_EXTRA, nullptr, nullptr) == 144,
        "DeviceCapabilitiesW device-mode sizes");

  LONG size = DocumentPropertiesW(nullptr, printer, queue.data(), nullptr, nullptr, 0);
  check(size == 364, "DocumentPropertiesW size is 364");
  std::vector<BYTE> dm(364);
  // Wine takes the output buffer's size from its dmSize.
  reinterpret_cast<DEVMODEW*>(dm.data())->dmSize = WORD(dm.size());
  LONG rc = DocumentPropertiesW(nullptr, printer, queue.data(), reinterpret_cast<DEVMODEW*>(dm.data()), nullptr,
                                DM_OUT_BUFFER);
  check(rc == IDOK && dm == driverDefault(queue.c_str()), "DocumentPropertiesW gives the driver's default");

  auto* pub = reinterpret_cast<DEVMODEW*>(dm.data());
  pub->dmFields = DM_PAPERSIZE | DM_ORIENTATION;
  pub->dmPaperSize = 257;
  pub->dmOrientation = DMORIENT_LANDSCAPE;
  rc = DocumentPropertiesW(nullptr, printer, queue.data(), pub, pub, DM_IN_BUFFER | DM_OUT_BUFFER);
  const auto* merged = reinterpret_cast<const DriverSettings*>(dm.data());
  check(rc == IDOK && merged->Private.LabelIndex == 257 && merged->Private.Orientation == DMORIENT_LANDSCAPE &&
            merged->Public.dmPaperWidth == second.LabelWidth,
        "DocumentPropertiesW merges an application's label and orientation");
  DriverSettings copy;
  CopyMemory(&copy, dm.data(), 364);
  check(SettingsValid(copy, queue.c_str()), "the merged device mode is one the graphics driver accepts");

  // A user label stored through the device-settings code.
  LabelDefinition def;
  DefaultLabelDefinition(301, &def);
  lstrcpynW(def.LabelName, L"Wine label", kLabelNameSlot);
  def.LabelWidth = 600;
  def.LabelHeight = 400;
  UserLabelProblem saved = SaveUserLabel(def);
  labels = listedLabels(queue.c_str());
  if (kModel.model == ModelId::ModelA) {
    check(saved == UserLabelProblem::None && labels.size() == 3 && lists(labels, 301, 600, 400, L"Wine label"),
          "a user label saved through the device settings is listed");
  } else {
    check(saved == UserLabelProblem::Slot && labels.size() == 2, "model B has no user label slots");
  }

  HMODULE ui = LoadLibraryW(uiPath.c_str());
  check(ui != nullptr, "the interface DLL loads");
  if (ui) {
    checkPages(ui, uiFile.c_str(), printer, queue, int(labels.size()));
    const WORD language = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? kChinese : kEnglish;
    checkSystemSheet(printer, queue, tableString(ui, IDS_PAGE_PREFERENCES, language));
    FreeLibrary(ui);
  }

  DeletePrinter(printer);
  ClosePrinter(printer);
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed ? 1 : 0;
}
