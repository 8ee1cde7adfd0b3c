// The "settings" sub-command of the printer application.
#pragma once

#include <pappl/pappl.h>

namespace printerapp {

extern const char kSettingsUsage[];
// papplMainloop's sub-command callback.
int settingsCommand(const char* base, int count, cups_option_t* options, int numFiles, char** files, void* data);

}  // namespace printerapp
