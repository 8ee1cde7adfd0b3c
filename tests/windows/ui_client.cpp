// Installs one model's graphics driver with its printer interface DLL in
// the running (Wine) spooler, adds a queue and checks, the way an
// application sees it, the labels DeviceCapabilitiesW lists and the device
// modes DocumentPropertiesW produces and merges. Built once per model;
// prints "N passed, N failed".
#include <windows.h>
#include <winspool.h>
#include <wtext.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capabilities.h"
#include "document_modes.h"
#include "model_profile.h"
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

  DeletePrinter(printer);
  ClosePrinter(printer);
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed ? 1 : 0;
}
