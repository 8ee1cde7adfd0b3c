// Scripting interface of the running program's resources and path on the
// simulated host (FindResourceA ... SizeofResource, LoadStringW,
// GetModuleFileNameA).
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "sim/world.h"

namespace sim {

// String-table entries linked into the program (the native build turns the
// program's .rc string tables into calls of this at start-up). They belong
// to the program, so sim::reset() keeps them.
void addProgramString(UINT id, std::u16string text);

// A resource of the executable, under a type and a name (texts compare
// case-insensitively; "#123" stands for MAKEINTRESOURCE(123)). sim::reset()
// forgets these.
void setProgramResource(const std::string& type, const std::string& name, std::vector<BYTE> bytes);
void removeProgramResource(const std::string& type, const std::string& name);

// What GetModuleFileNameA reports for the executable; the test binary's own
// path until set (and again after sim::reset()).
void setProgramPath(const std::string& path);

// Resource lookups: the call fails with the scripted error.
namespace api {
inline constexpr Api FindResourceA{"FindResourceA"};
inline constexpr Api LoadResource{"LoadResource"};
}  // namespace api

}  // namespace sim
