// The configuration tool's printer link: spooler jobs and queue
// housekeeping, the loaded HID library, reply readers and the USB mode
// switch (see printer_link.h).
#include "printer_link.h"

#include <winspool.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "printer_commands.h"

namespace {

// ---- process-wide state ------------------------------------------------------

char g_printerName[kPrinterNameSize];
char g_printerPort[kPrinterNameSize];
uint8_t g_settingsImage[kSettingsImageSize];
LinkReporter g_reporter = nullptr;
std::unique_ptr<QorinDllApp> g_link;
// The queue a started setting job holds, from StartSettingJob to
// EndSettingJob.
HANDLE g_jobPrinter = nullptr;
// The last setting job StartDocPrinterA made, and its queue: kept after the
// job ended, so the delivery check can ask for this job when the queue
// cannot be enumerated. 0 when the last start failed.
DWORD g_jobId = 0;
char g_jobQueue[kPrinterNameSize];

void copyBounded(char* to, const char* from) {
  if (!from) from = "";
  lstrcpynA(to, from, int(kPrinterNameSize));
}

void report(LinkStep step, DWORD code = 0) {
  if (g_reporter) g_reporter(step, code);
}

// The current queue, opened with no defaults; closed by the owner.
class Queue {
 public:
  Queue() {
    char name[kPrinterNameSize];
    copyBounded(name, g_printerName);
    if (!OpenPrinterA(name, &handle_, nullptr)) handle_ = nullptr;
  }
  ~Queue() {
    if (handle_) ClosePrinter(handle_);
  }
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;
  HANDLE handle() const { return handle_; }
  // Closes now; false when ClosePrinter fails.
  bool close() {
    HANDLE h = handle_;
    handle_ = nullptr;
    return ClosePrinter(h) != FALSE;
  }

 private:
  HANDLE handle_ = nullptr;
};

inline constexpr DWORD kMaxListedJobs = 127;
inline constexpr DWORD kJobBufferSize = 3120;

// The queue's jobs at level 2, from job 0, at most 127: first the size, then
// a 3120-byte buffer or the size asked for when larger. Jobs that arrive
// between the two calls make the second ask again. False when the
// enumeration fails.
bool listJobs(HANDLE printer, std::vector<BYTE>& buffer, DWORD& count) {
  DWORD needed = 0;
  count = 0;
  EnumJobsA(printer, 0, kMaxListedJobs, 2, nullptr, 0, &needed, &count);
  for (int attempt = 0; attempt < 3; ++attempt) {
    buffer.assign(needed > kJobBufferSize ? needed : kJobBufferSize, 0);
    count = 0;
    if (EnumJobsA(printer, 0, kMaxListedJobs, 2, buffer.data(), DWORD(buffer.size()), &needed, &count)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
  }
  count = 0;
  return false;
}

}  // namespace

// ---- link state -------------------------------------------------------------------

void SetCurrentPrinterName(const char* name) { copyBounded(g_printerName, name); }
const char* CurrentPrinterName() { return g_printerName; }
void SetCurrentPrinterPort(const char* port) { copyBounded(g_printerPort, port); }
const char* CurrentPrinterPort() { return g_printerPort; }
uint8_t* SettingsImage() { return g_settingsImage; }
void SetLinkReporter(LinkReporter reporter) { g_reporter = reporter; }

std::string ProgramFolder() {
  std::vector<char> path(32768, 0);
  DWORD n = GetModuleFileNameA(nullptr, path.data(), DWORD(path.size()));
  std::string p(path.data(), n < path.size() ? n : 0);
  size_t slash = p.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

// ---- spooler path -------------------------------------------------------------

int StartSettingJob(const char* documentName) {
  if (g_jobPrinter) EndSettingJob();  // a job left open is finished first
  char name[kPrinterNameSize];
  copyBounded(name, g_printerName);
  HANDLE printer = nullptr;
  g_jobId = 0;
  copyBounded(g_jobQueue, g_printerName);
  if (!OpenPrinterA(name, &printer, nullptr)) {
    report(LinkStep::OpenQueue, GetLastError());
    return -1;
  }
  char document[kPrinterNameSize];
  copyBounded(document, documentName && *documentName ? documentName : kDefaultJobName);
  char datatype[] = "RAW";
  DOC_INFO_1A info{document, nullptr, datatype};
  g_jobId = StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&info));
  if (g_jobId == 0) {
    DWORD code = GetLastError();
    ClosePrinter(printer);
    report(LinkStep::StartDocument, code);
    return -1;
  }
  StartPagePrinter(printer);
  g_jobPrinter = printer;
  return 1;
}

int WriteSettingJob(const void* bytes, DWORD count) {
  DWORD written = 0;
  if (!g_jobPrinter) {
    report(LinkStep::WriteJob, ERROR_INVALID_HANDLE);
    return -1;
  }
  if (!WritePrinter(g_jobPrinter, const_cast<void*>(bytes), count, &written)) {
    report(LinkStep::WriteJob, GetLastError());
    return -1;
  }
  return int(written);
}

int EndSettingJob() {
  HANDLE printer = g_jobPrinter;
  g_jobPrinter = nullptr;
  if (!printer) return -1;
  EndPagePrinter(printer);
  if (!EndDocPrinter(printer)) report(LinkStep::EndDocument, GetLastError());
  if (!ClosePrinter(printer)) {
    report(LinkStep::CloseQueue, GetLastError());
    return -1;
  }
  return 1;
}

int AbandonSettingJob() {
  HANDLE printer = g_jobPrinter;
  g_jobPrinter = nullptr;
  if (!printer) return -1;
  SetJobA(printer, g_jobId, 0, nullptr, JOB_CONTROL_CANCEL);
  // The cancelled job may already be gone from under its document: ending
  // it can fail without anything left to report.
  EndPagePrinter(printer);
  EndDocPrinter(printer);
  if (!ClosePrinter(printer)) {
    report(LinkStep::CloseQueue, GetLastError());
    return -1;
  }
  return 1;
}

int SendSettingJob(std::string_view command) {
  if (StartSettingJob(kSettingJobName) == -1) return -1;
  int written = WriteSettingJob(command.data(), DWORD(command.size()));
  int ended = EndSettingJob();
  return written == int(command.size()) ? ended : -1;
}

std::string GetQueueDriverName() {
  Queue queue;
  if (!queue.handle()) return {};
  DWORD needed = 0;
  GetPrinterDriverA(queue.handle(), nullptr, 2, nullptr, 0, &needed);
  std::string name;
  if (needed >= sizeof(DRIVER_INFO_2A)) {
    std::vector<BYTE> buffer(needed, 0);
    if (GetPrinterDriverA(queue.handle(), nullptr, 2, buffer.data(), needed, &needed)) {
      auto* info = reinterpret_cast<DRIVER_INFO_2A*>(buffer.data());
      if (info->pName) name = info->pName;
    }
  }
  if (!queue.close()) return {};
  return name;
}

int CountQueueJobs() {
  Queue queue;
  if (!queue.handle()) return -1;
  std::vector<BYTE> jobs;
  DWORD count = 0;
  listJobs(queue.handle(), jobs, count);
  return int(count);
}

namespace {

// The last setting job, when it was started on the current queue.
DWORD ownSettingJob() { return g_jobId != 0 && lstrcmpiA(g_jobQueue, g_printerName) == 0 ? g_jobId : 0; }

}  // namespace

int CancelQueueJobs() {
  Queue queue;
  if (!queue.handle()) return 0;
  std::vector<BYTE> jobs;
  DWORD count = 0;
  if (listJobs(queue.handle(), jobs, count)) {
    auto* info = reinterpret_cast<JOB_INFO_2A*>(jobs.data());
    for (DWORD i = 0; i < count; ++i)
      SetJobA(queue.handle(), info[i].JobId, 2, reinterpret_cast<LPBYTE>(&info[i]), JOB_CONTROL_CANCEL);
  } else if (DWORD own = ownSettingJob()) {
    // A spooler that cannot list its jobs can still cancel the one this
    // tool queued; an id that already left the queue just fails.
    SetJobA(queue.handle(), own, 0, nullptr, JOB_CONTROL_CANCEL);
  }
  return 1;
}

namespace {

enum class Poll { Delivered, Queued, Failed };

// One look at the queue. An empty queue is a delivered setting. When the
// jobs cannot be listed (some spoolers never list them), the setting job
// itself is asked for: GetJob fails with ERROR_INVALID_PARAMETER for a job
// id that is no longer in the printer's list, so that failure means the job
// left the queue. A spooler that fails the call without any error code has
// no such job either. Any other answer cannot tell and waits for the next
// poll.
Poll pollDelivery(DWORD job) {
  Queue queue;
  if (!queue.handle()) return Poll::Failed;
  std::vector<BYTE> jobs;
  DWORD count = 0;
  if (listJobs(queue.handle(), jobs, count)) return count == 0 ? Poll::Delivered : Poll::Queued;
  DWORD needed = 0;
  SetLastError(ERROR_SUCCESS);
  if (!GetJobA(queue.handle(), job, 1, nullptr, 0, &needed)) {
    DWORD error = GetLastError();
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_SUCCESS) return Poll::Delivered;
  }
  return Poll::Queued;
}

}  // namespace

bool WaitForDelivery() {
  // A setting whose job never started was not sent, whatever the queue holds.
  DWORD job = ownSettingJob();
  if (job == 0) return false;
  for (int poll = 0; poll < kDeliveryPolls; ++poll) {
    Sleep(kDeliveryPollMs);
    switch (pollDelivery(job)) {
      case Poll::Delivered:
        return true;
      case Poll::Failed:
        return false;
      case Poll::Queued:
        break;
    }
  }
  return false;
}

// ---- HID library ----------------------------------------------------------------

namespace {

template <class F>
void lookUp(HMODULE library, const char* name, F& entry) {
  entry = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

QorinDllApp::QorinDllApp(const char* libraryFile) {
  library_ = LoadLibraryA(libraryFile);
  if (!library_) return;
  lookUp(library_, "hidusbGetVersion", getVersion_);
  lookUp(library_, "hidusbOpen", open_);
  lookUp(library_, "hidusbClose", close_);
  lookUp(library_, "hidusbIsOpened", isOpened_);
  lookUp(library_, "hidusbReadData", readData_);
  lookUp(library_, "hidusbWriteData", writeData_);
  lookUp(library_, "hidusbGetHandle", getHandle_);
  if (getVersion_ && open_ && close_ && isOpened_ && readData_ && writeData_ && getHandle_) return;
  FreeLibrary(library_);
  library_ = nullptr;
  getVersion_ = nullptr;
  open_ = nullptr;
  close_ = nullptr;
  isOpened_ = nullptr;
  readData_ = nullptr;
  writeData_ = nullptr;
  getHandle_ = nullptr;
}

QorinDllApp::~QorinDllApp() {
  Close();
  if (library_) FreeLibrary(library_);
}

int QorinDllApp::LibraryVersion(char* buffer, int size) { return getVersion_ ? getVersion_(buffer, size) : 0; }

int QorinDllApp::Open() {
  if (!open_) return 0;
  token_ = open_();
  return token_ != 0;
}

void QorinDllApp::Close() {
  if (token_ && close_) close_(token_);
  token_ = 0;
}

int QorinDllApp::IsOpened() { return token_ && isOpened_ && isOpened_(token_) ? 1 : 0; }

int QorinDllApp::ReadData(unsigned char* buffer, int size) {
  return token_ && readData_ ? readData_(token_, buffer, size) : 0;
}

int QorinDllApp::WriteData(const unsigned char* bytes, int count) {
  return token_ && writeData_ ? writeData_(token_, bytes, count) : 0;
}

namespace {

// Writes the embedded library to `path`; a file that could not be written
// whole is removed again, so a later start does not take it for the library.
void writeEmbeddedLibrary(const std::string& path) {
  HRSRC resource = FindResourceA(nullptr, kHidLibraryResource, kHidLibraryResourceType);
  HGLOBAL data = resource ? LoadResource(nullptr, resource) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  DWORD size = resource ? SizeofResource(nullptr, resource) : 0;
  if (!bytes || size == 0) return;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size;
  ok = CloseHandle(file) && ok;
  if (!ok) DeleteFileA(path.c_str());
}

}  // namespace

bool StartHidLink() {
  std::string path = ProgramFolder() + kHidLibraryFile;
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) writeEmbeddedLibrary(path);
  g_link.reset(new (std::nothrow) QorinDllApp(kHidLibraryFile));
  if (!g_link) {
    report(LinkStep::CreateHidLink);
    return false;
  }
  char version[256] = {};
  if (g_link->LibraryVersion(version, sizeof version) == 0) {
    report(LinkStep::LoadHidLibrary);
    return false;
  }
  return true;
}

void StopHidLink() { g_link.reset(); }

QorinDllApp* HidLink() { return g_link.get(); }

// ---- HID path ---------------------------------------------------------------------

bool EnsureHidOpen() {
  if (!g_link) return false;
  return g_link->IsOpened() || g_link->Open();
}

bool HidIsOpen() { return g_link && g_link->IsOpened(); }

int HidSend(const void* bytes, int count) {
  if (!HidIsOpen()) return -1;
  return g_link->WriteData(static_cast<const unsigned char*>(bytes), count);
}

int HidSend(std::string_view text) { return HidSend(text.data(), int(text.size())); }

void HidClose() {
  if (g_link) g_link->Close();
}

namespace {

inline constexpr int kScratchSize = 65536;
inline constexpr DWORD kIdleSleepMs = 10;

int readReply(char* buffer, int capacity, int idleLimitMs, const char* terminator) {
  if (!HidIsOpen() || !buffer || capacity <= 0) return -1;
  std::vector<unsigned char> scratch(kScratchSize);
  const int fullBudget = idleLimitMs / 10;
  int budget = fullBudget;
  int total = 0;
  for (;;) {
    int n = g_link->ReadData(scratch.data(), kScratchSize);
    if (n > 0) {
      if (n >= capacity - total) return -1;  // no room for it and a terminator
      std::memcpy(buffer + total, scratch.data(), size_t(n));
      total += n;
      buffer[total] = 0;
      budget = fullBudget;
      if (terminator && std::strstr(buffer, terminator)) return total;
    } else if (n == 0) {
      Sleep(kIdleSleepMs);
      if (budget <= 0) return total;  // a negative limit waits no longer than 0
      --budget;
    } else {
      return total;
    }
  }
}

}  // namespace

int HidReadUntilIdle(char* buffer, int capacity, int idleLimitMs) {
  return readReply(buffer, capacity, idleLimitMs, nullptr);
}

int HidReadUntil(char* buffer, int capacity, int idleLimitMs, const char* terminator) {
  return readReply(buffer, capacity, idleLimitMs, terminator && *terminator ? terminator : nullptr);
}

// ---- USB mode switch ------------------------------------------------------------

int SendEnterHidMode() {
  CancelQueueJobs();
  if (StartSettingJob(kSettingJobName) == -1) return -1;
  std::string command = printercmd::usbClass(1);
  WriteSettingJob(command.data(), DWORD(command.size()));
  EndSettingJob();
  return 1;
}

std::string LeaveHidModeCommand() { return printercmd::leaveHidMode(g_printerPort); }

bool SendLeaveHidMode(const LinkOpened& opened) {
  if (!EnsureHidOpen()) return false;
  if (opened) opened();
  HidSend(LeaveHidModeCommand());
  HidClose();
  return true;
}

bool LeaveHidMode(const LinkOpened& opened) {
  if (!SendLeaveHidMode(opened)) return false;
  Sleep(kLeaveHidModePauseMs);
  return true;
}
