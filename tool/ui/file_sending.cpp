// File sending: open-file dialog, confirmations and the 1024-byte copy loop.
#include "file_sending.h"

#include <string>
#include <vector>

#include "form_steps.h"
#include "printer_link.h"
#include "resource.h"

namespace kvui {
namespace {

void tell(Shell& shell, UINT textId) { ShowPlainBox(shell, LoadUiText(textId)); }

}  // namespace

void SendFile(Shell& shell) {
  OpenFileDialog dialog{LoadUiText(IDS_SEND_DIALOG_TITLE), LoadUiText(IDS_SEND_DIALOG_FILTER), ProgramFolder()};
  std::string path;
  if (!shell.chooseFile(dialog, path)) return;
  if (!AskYes(shell, IDS_SEND_CONFIRM, IDS_SEND_CONFIRM_CAPTION) ||
      !AskYes(shell, IDS_SEND_CONFIRM_AGAIN, IDS_SEND_CONFIRM_CAPTION))
    return;
  if (StartSettingJob(path.c_str()) == -1) return;

  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  DWORD high = 0;
  DWORD low = file == INVALID_HANDLE_VALUE ? INVALID_FILE_SIZE : GetFileSize(file, &high);
  if (file == INVALID_HANDLE_VALUE || (low == INVALID_FILE_SIZE && GetLastError() != 0)) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    tell(shell, IDS_SEND_OPEN_ERROR);
    AbandonSettingJob();
    return;
  }
  const unsigned long long size = (static_cast<unsigned long long>(high) << 32) | low;
  unsigned long long sent = 0;
  std::vector<BYTE> chunk(kFileChunkSize);
  bool readFailed = false;
  while (sent < size) {
    DWORD read = 0;
    if (!ReadFile(file, chunk.data(), kFileChunkSize, &read, nullptr)) {
      readFailed = true;
      break;
    }
    int written = WriteSettingJob(chunk.data(), read);
    if (written <= 0 || DWORD(written) < read) break;
    sent += read;
  }
  CloseHandle(file);
  if (readFailed) {
    tell(shell, IDS_SEND_OPEN_ERROR);
    AbandonSettingJob();
    return;
  }
  if (sent != size) tell(shell, IDS_SEND_DATA_ERROR);
  EndSettingJob();
}

}  // namespace kvui
