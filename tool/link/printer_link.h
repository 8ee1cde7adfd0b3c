// The configuration tool's link to the printer: the spooler path (setting
// jobs on the selected queue, queue housekeeping) and the USB HID path (the
// loaded VRDUSBHid library, reply readers, the switch into HID mode and
// back).
//
// Everything here runs on the tool's window thread. Functions return 1 or a
// count on success and -1 on failure (the queue housekeeping functions as
// documented below); spooler and start-up failures are also reported at
// once, as the failed step and its error code, to the reporter the windows
// register with SetLinkReporter, which words them. HID operations never
// report anything.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <VRDUSBHid.h>

#include "printer_commands.h"

// ---- process-wide link state ----------------------------------------------

inline constexpr size_t kPrinterNameSize = 1024;  // name and its terminator
inline constexpr size_t kSettingsImageSize = printercmd::kSettingsMemorySize;

// The queue every spooler function opens, as an ANSI name. A longer name is
// cut at kPrinterNameSize - 1 bytes.
void SetCurrentPrinterName(const char* name);
const char* CurrentPrinterName();
// The port of the selected queue, as the main window listed it; decides
// between "USBS CLS=2" (port contains "LPT") and "USBS CLS=0" when the
// printer leaves HID mode. Cut at kPrinterNameSize - 1 bytes.
void SetCurrentPrinterPort(const char* port);
const char* CurrentPrinterPort();

// The printer's settings memory as last read (FSET CSET=4), indexed by
// address; zeroed at start. Read by the main window after a settings read.
uint8_t* SettingsImage();

// The steps whose failure the link reports.
enum class LinkStep {
  OpenQueue,       // OpenPrinterA: the queue could not be opened for a job
  StartDocument,   // StartDocPrinterA: the job's document could not be started
  WriteJob,        // WritePrinter: the job's data could not be written
  EndDocument,     // EndDocPrinter: the document could not be ended (the queue is still closed)
  CloseQueue,      // ClosePrinter: the queue could not be closed
  CreateHidLink,   // start-up: the HID link object could not be made
  LoadHidLibrary,  // start-up: the HID library does not answer its version
};
// Called once for each failed step, at once, with the system's last error
// for the spooler steps and 0 for the start-up steps.
using LinkReporter = void (*)(LinkStep step, DWORD code);
// Where the link reports; null (the start) reports nothing.
void SetLinkReporter(LinkReporter reporter);

// The running executable's folder with its trailing separator (ANSI);
// empty when it cannot be found.
std::string ProgramFolder();

// ---- spooler path -------------------------------------------------------------

// Document name every window passes.
inline constexpr const char* kSettingJobName = "KV830 Setting";
// Name a job gets when the caller passes an empty one.
inline constexpr const char* kDefaultJobName = "TR7208 Extra PrintJob";

// Opens the current queue and starts a raw level-1 document named
// `documentName` and its page. 1, or -1 with its message shown.
int StartSettingJob(const char* documentName);
// WritePrinter on the started job: the count written, or -1 (message shown).
int WriteSettingJob(const void* bytes, DWORD count);
// Ends the page and the document and closes the queue: 1, or -1 when the
// queue cannot be closed. A failing EndDocPrinter is shown but the queue is
// still closed.
int EndSettingJob();
// The started job is cancelled, ended and the queue closed; for a job that
// cannot be completed (its data could not be read). Only a failing
// ClosePrinter is shown. 1, or -1 as EndSettingJob.
int AbandonSettingJob();
// StartSettingJob(kSettingJobName), then the whole command and EndSettingJob.
// -1 when the job could not be started (nothing written); otherwise the
// result of EndSettingJob, or -1 when the write was short.
int SendSettingJob(std::string_view command);

// Driver name of the current queue (level-2 driver information); empty when
// the queue cannot be opened or closed.
std::string GetQueueDriverName();
// Jobs in the current queue, at most 127; -1 when it cannot be opened.
int CountQueueJobs();
// Cancels every job of the current queue (at most 127 per call); when the
// jobs cannot be listed, the last setting job started on this queue. 1, or 0
// when the queue cannot be opened.
int CancelQueueJobs();

// The delivery check of the last setting job: up to 20 times, sleep 100 ms
// and count the queue's jobs. True as soon as the queue is empty; false when
// it cannot be opened or still holds jobs after the 20th poll. A poll that
// cannot list the jobs asks the spooler for the setting job itself, which
// counts as delivered once it has left the queue. False at once when the
// last setting job never started. The caller shows its own texts and then
// runs CancelQueueJobs on failure.
inline constexpr int kDeliveryPolls = 20;
inline constexpr DWORD kDeliveryPollMs = 100;
bool WaitForDelivery();

// ---- HID path -----------------------------------------------------------------

// Owner of the loaded VRDUSBHid library and of the open token.
class QorinDllApp {
 public:
  // Loads `libraryFile` (LoadLibraryA) and looks up its seven exports; when
  // the library does not load or any export is missing, the library is
  // freed again and every entry point stays null. Never fails by itself.
  explicit QorinDllApp(const char* libraryFile);
  ~QorinDllApp();
  QorinDllApp(const QorinDllApp&) = delete;
  QorinDllApp& operator=(const QorinDllApp&) = delete;

  bool loaded() const { return library_ != nullptr; }
  int token() const { return token_; }

  // hidusbGetVersion; 0 when the library is not loaded.
  int LibraryVersion(char* buffer, int size);
  // hidusbOpen; keeps the token. Non-zero when a token was obtained.
  int Open();
  // hidusbClose with the held token, if any; the token is 0 afterwards.
  void Close();
  // Non-zero while a token is held and the library says the link is open.
  int IsOpened();
  // 0 unless a token is held; otherwise the export's result.
  int ReadData(unsigned char* buffer, int size);
  int WriteData(const unsigned char* bytes, int count);

 private:
  HMODULE library_ = nullptr;
  int token_ = 0;
  PFN_hidusbGetVersion getVersion_ = nullptr;
  PFN_hidusbOpen open_ = nullptr;
  PFN_hidusbClose close_ = nullptr;
  PFN_hidusbIsOpened isOpened_ = nullptr;
  PFN_hidusbReadData readData_ = nullptr;
  PFN_hidusbWriteData writeData_ = nullptr;
  PFN_hidusbGetHandle getHandle_ = nullptr;  // looked up, never called
};

// File name the library is written to and loaded by.
inline constexpr const char* kHidLibraryFile = "VRDUSBHid.dll";
// The embedded library: resource "rc_VRDUSBHid" of type "dll".
inline constexpr const char* kHidLibraryResource = "rc_VRDUSBHid";
inline constexpr const char* kHidLibraryResourceType = "dll";

// Start-up of the HID path: writes the embedded library beside the
// executable unless a file of that name is already there, creates the link
// object and checks that the library answers its version; reports
// CreateHidLink / LoadHidLibrary otherwise. Returns whether the library is
// usable; the program goes on either way.
bool StartHidLink();
// Drops the link object (closing an open link and freeing the library).
void StopHidLink();
// The link object, or null before StartHidLink / after StopHidLink.
QorinDllApp* HidLink();

// True when the link is open, otherwise the result of Open.
bool EnsureHidOpen();
bool HidIsOpen();
// -1 unless the link is open; otherwise the count WriteData returned.
int HidSend(const void* bytes, int count);
int HidSend(std::string_view text);
void HidClose();

// Reply readers: append what the printer sends to `buffer` until nothing
// has arrived for `idleLimitMs` (in 10 ms sleeps on the window thread);
// HidReadUntil also returns as soon as the text in the buffer contains
// `terminator`. The caller zero-fills the buffer and passes a capacity one
// less than its size. Returns the byte count, or -1 when the link is not
// open or the reply does not fit (n >= capacity - total for any chunk).
inline constexpr int kReplyBufferSize = 10240;
inline constexpr int kReplyCapacity = kReplyBufferSize - 1;
int HidReadUntilIdle(char* buffer, int capacity, int idleLimitMs);
int HidReadUntil(char* buffer, int capacity, int idleLimitMs, const char* terminator);

// ---- USB mode switch ----------------------------------------------------------

// Enter HID mode: cancels the queue's jobs and sends "USBS CLS=1" as a
// setting job (not waiting for delivery). -1 when the job could not be
// started; 1 otherwise.
int SendEnterHidMode();
// "USBS CLS=2\r\n" when the current port contains "LPT", else
// "USBS CLS=0\r\n".
std::string LeaveHidModeCommand();
// Over an open link: "USBS CLS=2" when the current port contains "LPT",
// else "USBS CLS=0". Opens and closes the link itself; false (nothing sent)
// when it does not open. `opened`, when given, runs once the link is open,
// before the command goes (the read dialog shows its status there).
using LinkOpened = std::function<void()>;
bool SendLeaveHidMode(const LinkOpened& opened = {});
// Leaving HID mode on its own: SendLeaveHidMode and, when it was sent, a
// 3000 ms pause so the printer is back in printer mode before the caller
// goes on.
inline constexpr DWORD kLeaveHidModePauseMs = 3000;
bool LeaveHidMode(const LinkOpened& opened = {});
