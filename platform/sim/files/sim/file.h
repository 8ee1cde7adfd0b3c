// Scripting interface of the simulated files: the APIs a test can fail.
#pragma once

#include "sim/world.h"

namespace sim {

// The call fails with the scripted error.
namespace api {
inline constexpr Api CreateFileW{"CreateFileW"};
inline constexpr Api ReadFile{"ReadFile"};
inline constexpr Api WriteFile{"WriteFile"};
inline constexpr Api GetFileAttributesA{"GetFileAttributesA"};
inline constexpr Api DeleteFileA{"DeleteFileA"};
}  // namespace api

}  // namespace sim
