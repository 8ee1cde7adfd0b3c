// Scripting interface of the simulated profile (INI) files and the Windows
// directory.
//
// Profile files are real files. Paths handed to the profile functions may
// use backslashes; they are opened with forward slashes. The simulated
// functions write UTF-16LE with a byte-order mark and CR LF line ends, and
// read UTF-16LE (with BOM) or UTF-8 (with or without BOM).
#pragma once

#include "sim/world.h"

#include <string>

#include "win/base.h"

namespace sim {

// What GetWindowsDirectoryW reports. After sim::reset() there is no
// Windows directory: GetWindowsDirectoryW fails with ERROR_PATH_NOT_FOUND.
// "GetWindowsDirectoryW" can also be failed with sim::failNth.
void setWindowsDirectory(const std::u16string& dir);
// Creates a fresh empty directory under the system temp directory, makes
// it the Windows directory and returns it; it is removed, with its files,
// at the next sim::reset().
std::u16string makeTempWindowsDirectory();

// A standard user's process: WritePrivateProfileStringW refuses every file
// in the Windows directory with ERROR_ACCESS_DENIED while set (cleared by
// sim::reset()).
void setWindowsDirectoryReadOnly(bool readOnly);

// Host path of a file in the Windows directory (empty when none is set).
std::string windowsFilePath(const std::u16string& fileName);

// The raw bytes of a file, empty when it does not exist.
std::string readFileBytes(const std::string& path);
// Writes a file as UTF-8 (no BOM), for fixtures.
void writeUtf8File(const std::string& path, const std::string& text);


// The call fails with the scripted error.
namespace api {
inline constexpr Api GetWindowsDirectoryW{"GetWindowsDirectoryW"};
inline constexpr Api GetPrivateProfileStringW{"GetPrivateProfileStringW"};
inline constexpr Api GetPrivateProfileIntW{"GetPrivateProfileIntW"};
inline constexpr Api WritePrivateProfileStringW{"WritePrivateProfileStringW"};
}  // namespace api

}  // namespace sim
