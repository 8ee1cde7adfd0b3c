// File sending (menu "文件" -> "发送文件"): copies a file the user picks,
// byte for byte, to the current printer as one raw spooler job whose
// document name is the file's path.
#pragma once

#include "controls.h"

namespace kvui {

// Transfer unit of one WriteSettingJob.
inline constexpr DWORD kFileChunkSize = 1024;

// Open-file dialog, two confirmations (Yes / No / Cancel, No the default),
// then the job. A job that cannot be started ends it silently; a file that
// cannot be opened or read shows "Open files Error" and cancels the job, so
// nothing half-sent stays queued; a short or failed write shows "Send file
// data error!" and ends the job with what was written. No wait for delivery.
void SendFile(Shell& shell);

}  // namespace kvui
