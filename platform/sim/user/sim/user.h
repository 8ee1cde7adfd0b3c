// Scripting interface of the simulated windows and device notifications:
// the APIs a test can fail.
#pragma once

#include "sim/world.h"

namespace sim {

// The call fails with the scripted error.
namespace api {
inline constexpr Api RegisterClassW{"RegisterClassW"};
inline constexpr Api CreateWindowExW{"CreateWindowExW"};
inline constexpr Api RegisterDeviceNotificationW{"RegisterDeviceNotificationW"};
}  // namespace api

}  // namespace sim
