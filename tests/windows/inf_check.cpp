// Reads the staged driver package's INF through SetupAPI, the parser the
// installer uses, and checks what the installer will take from it: from
// [Manufacturer] through the models sections of both architectures to each
// install section, the driver, interface, data and monitor files are copied
// by the section and lie in that architecture's folder as images of that
// architecture; the language monitor is one field, "name,dll".
//
// inf_check PACKAGE_DIR   (the folder holding varodyn.inf, x86\ and amd64\)
// Prints one line per check and "N passed, N failed".
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

int g_passed = 0;
int g_failed = 0;

std::string narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

void check(bool ok, const std::wstring& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", narrow(what).c_str());
  (ok ? g_passed : g_failed)++;
}

std::wstring upper(std::wstring s) {
  for (auto& c : s) c = static_cast<WCHAR>(towupper(c));
  return s;
}

std::wstring field(INFCONTEXT& line, DWORD index) {
  WCHAR text[1024];
  DWORD needed = 0;
  if (!SetupGetStringFieldW(&line, index, text, ARRAYSIZE(text), &needed)) return L"";
  return text;
}

// The fields 1.. of the first line of `key` in `section`; empty when there
// is no such line.
std::vector<std::wstring> values(HINF inf, const std::wstring& section, const std::wstring& key) {
  std::vector<std::wstring> out;
  INFCONTEXT line;
  if (!SetupFindFirstLineW(inf, section.c_str(), key.c_str(), &line)) return out;
  DWORD count = SetupGetFieldCount(&line);
  for (DWORD i = 1; i <= count; ++i) out.push_back(field(line, i));
  return out;
}

std::wstring value(HINF inf, const std::wstring& section, const std::wstring& key) {
  auto v = values(inf, section, key);
  return v.empty() ? L"" : v[0];
}

// Every line of a section, as its fields 0 (the key, or the first value of
// a line without one) and 1...
std::vector<std::vector<std::wstring>> lines(HINF inf, const std::wstring& section) {
  std::vector<std::vector<std::wstring>> out;
  INFCONTEXT line;
  if (!SetupFindFirstLineW(inf, section.c_str(), nullptr, &line)) return out;
  do {
    std::vector<std::wstring> fields;
    DWORD count = SetupGetFieldCount(&line);
    fields.push_back(field(line, 0));
    for (DWORD i = 1; i <= count; ++i) fields.push_back(field(line, i));
    out.push_back(fields);
  } while (SetupFindNextLine(&line, &line));
  return out;
}

struct Architecture {
  const wchar_t* name;        // the package folder's and the section suffix's
  const wchar_t* decoration;  // of the models section
  WORD machine;               // of every image in the folder
};
const Architecture kArchitectures[] = {
    {L"x86", L"NTx86", IMAGE_FILE_MACHINE_I386},
    {L"amd64", L"NTamd64", IMAGE_FILE_MACHINE_AMD64},
};

// The machine field of a PE image's file header; 0 when the file is no PE
// image.
WORD imageMachine(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  BYTE head[4096];
  DWORD got = 0;
  BOOL read = ReadFile(f, head, sizeof head, &got, nullptr);
  CloseHandle(f);
  if (!read || got < 0x40 || head[0] != 'M' || head[1] != 'Z') return 0;
  DWORD pe = *reinterpret_cast<DWORD*>(head + 0x3c);
  if (pe + 6 > got || head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] || head[pe + 3]) return 0;
  return *reinterpret_cast<WORD*>(head + pe + 4);
}

bool fileExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void installSection(HINF inf, const std::wstring& package, const Architecture& arch, const std::wstring& section) {
  const std::wstring where = L"[" + section + L"] (" + arch.name + L")";
  // The files the section copies, upper-cased: each CopyFiles entry names
  // a file section, whose lines name the files.
  std::set<std::wstring> copied;
  for (const auto& list : values(inf, section, L"CopyFiles"))
    for (const auto& l : lines(inf, list)) copied.insert(upper(l[0]));
  check(!copied.empty(), where + L" copies files");

  std::wstring folder;
  auto disk = values(inf, std::wstring(L"SourceDisksNames.") + arch.name, L"1");
  if (disk.size() >= 4) folder = disk[3];
  check(!folder.empty(), where + L" has a source folder");

  auto shipped = [&](const std::wstring& role, const std::wstring& file) {
    check(!file.empty(), where + L" names its " + role);
    if (file.empty()) return;
    check(copied.count(upper(file)) == 1, where + L" copies its " + role + L" " + file);
    std::wstring path = package + L"\\" + folder + L"\\" + file;
    check(fileExists(path), where + L" " + file + L" is in the package's " + folder + L" folder");
    check(imageMachine(path) == arch.machine, where + L" " + folder + L"\\" + file + L" is an " + arch.name +
                                                  L" image");
  };
  shipped(L"DriverFile", value(inf, section, L"DriverFile"));
  shipped(L"ConfigFile", value(inf, section, L"ConfigFile"));
  shipped(L"DataFile", value(inf, section, L"DataFile"));

  // "LanguageMonitor=\"Acme Language Monitor,acmemon.dll\"": one field,
  // the monitor's display name and its DLL.
  auto monitor = values(inf, section, L"LanguageMonitor");
  check(monitor.size() == 1, where + L" LanguageMonitor is one field");
  if (monitor.size() != 1) return;
  const std::wstring& entry = monitor[0];
  size_t comma = entry.find(L',');
  bool split = comma != std::wstring::npos && comma > 0 && entry.find(L',', comma + 1) == std::wstring::npos &&
               comma + 1 < entry.size();
  check(split, where + L" LanguageMonitor \"" + entry + L"\" is a name and a DLL");
  if (split) shipped(L"language monitor", entry.substr(comma + 1));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: inf_check PACKAGE_DIR\n");
    return 2;
  }
  const std::wstring package = argv[1];
  const std::wstring path = package + L"\\varodyn.inf";
  UINT errorLine = 0;
  HINF inf = SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
  check(inf != INVALID_HANDLE_VALUE, L"SetupOpenInfFileW opens " + path);
  if (inf == INVALID_HANDLE_VALUE) {
    std::printf("error %lu at line %u\n", GetLastError(), errorLine);
    return 1;
  }
  check(value(inf, L"Version", L"Class") == L"Printer", L"[Version] Class=Printer");
  check(value(inf, L"Version", L"PnpLockdown") == L"1", L"[Version] PnpLockdown=1");

  auto manufacturers = lines(inf, L"Manufacturer");
  check(!manufacturers.empty(), L"[Manufacturer] lists a manufacturer");
  for (const auto& m : manufacturers) {
    // %Maker%=models,NTx86,NTamd64: field 1 names the models sections,
    // the others their decorations.
    if (m.size() < 2) continue;
    const std::wstring& models = m[1];
    std::set<std::wstring> decorations;
    for (size_t i = 2; i < m.size(); ++i) decorations.insert(upper(m[i]));
    for (const Architecture& arch : kArchitectures) {
      check(decorations.count(upper(arch.decoration)) == 1, models + L" has " + arch.decoration + L" models");
      check(value(inf, std::wstring(L"PrinterPackageInstallation.") + arch.name, L"PackageAware") == L"TRUE",
            std::wstring(L"[PrinterPackageInstallation.") + arch.name + L"] PackageAware=TRUE");
      const std::wstring section = models + L"." + arch.decoration;
      auto entries = lines(inf, section);
      check(!entries.empty(), L"[" + section + L"] lists models");
      for (const auto& e : entries) {
        // "Model name"=install section,hardware id
        check(e.size() >= 3 && !e[2].empty(), L"[" + section + L"] " + e[0] + L" has a hardware id");
        if (e.size() >= 2) installSection(inf, package, arch, e[1]);
      }
    }
  }
  SetupCloseInfFile(inf);
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed ? 1 : 0;
}
