// The simulated spooler's driver-side calls: GetJobW and GetPrinterDriverW.
#include <windows.h>
#include <winspool.h>

#include <map>

#include "internal.h"
#include "sim/spool_driver.h"
#include "spooler_internal.h"

namespace sim {
namespace {

std::map<std::u16string, std::map<DWORD, JobSetup>>& jobs() {
  static auto* j = new std::map<std::u16string, std::map<DWORD, JobSetup>>;
  return *j;
}

const bool g_registered = [] {
  onReset([] {
    std::lock_guard<std::recursive_mutex> g(spooler().lock);
    jobs().clear();
  });
  return true;
}();

// Strings laid out after the fixed structure, as the spooler does.
class StringPacker {
 public:
  StringPacker(BYTE* buf, DWORD cb, DWORD fixed) : buf_(buf), cb_(cb), used_(fixed) {}
  LPWSTR put(const std::u16string& s) {
    DWORD bytes = DWORD((s.size() + 1) * sizeof(WCHAR));
    LPWSTR at = nullptr;
    if (buf_ && used_ + bytes <= cb_) {
      at = reinterpret_cast<LPWSTR>(buf_ + used_);
      std::memcpy(at, s.data(), s.size() * sizeof(WCHAR));
      at[s.size()] = 0;
    }
    used_ += bytes;
    return at;
  }
  DWORD needed() const { return used_; }

 private:
  BYTE* buf_;
  DWORD cb_;
  DWORD used_;
};

}  // namespace

void addJob(const std::u16string& queue, const JobSetup& job) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  jobs()[fold(queue)][job.id] = job;
}

}  // namespace sim

using namespace sim;

extern "C" {

BOOL WINAPI GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  if (!pcbNeeded) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (faulted("GetJobW")) return FALSE;
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  auto& queueJobs = jobs()[fold(q->setup.name)];
  auto it = queueJobs.find(JobId);
  if (it == queueJobs.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const JobSetup& j = it->second;
  JOB_INFO_1W info{};
  StringPacker p(pJob, cbBuf, sizeof info);
  info.JobId = j.id;
  info.pPrinterName = p.put(q->setup.name);
  info.pMachineName = p.put(u"");
  info.pUserName = p.put(j.user);
  info.pDocument = p.put(j.document);
  info.pDatatype = p.put(j.datatype);
  info.pStatus = nullptr;
  *pcbNeeded = p.needed();
  if (!pJob || cbBuf < p.needed()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(pJob, &info, sizeof info);
  return TRUE;
}

BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                              LPDWORD pcbNeeded) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  if (!pcbNeeded) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (faulted("GetPrinterDriverW")) return FALSE;
  DWORD needed = 0;
  if (Level == 1) {
    DRIVER_INFO_1W info{};
    StringPacker p(pDriverInfo, cbBuf, sizeof info);
    info.pName = p.put(q->setup.driver);
    needed = p.needed();
    if (pDriverInfo && cbBuf >= needed) std::memcpy(pDriverInfo, &info, sizeof info);
  } else if (Level == 2) {
    DRIVER_INFO_2W info{};
    StringPacker p(pDriverInfo, cbBuf, sizeof info);
    info.cVersion = 3;
    info.pName = p.put(q->setup.driver);
    info.pEnvironment = p.put(u"Windows NT x86");
    info.pDriverPath = p.put(u"C:\\Windows\\System32\\spool\\DRIVERS\\W32X86\\3\\driver.dll");
    info.pDataFile = p.put(u"");
    info.pConfigFile = p.put(u"");
    needed = p.needed();
    if (pDriverInfo && cbBuf >= needed) std::memcpy(pDriverInfo, &info, sizeof info);
  } else {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  *pcbNeeded = needed;
  if (!pDriverInfo || cbBuf < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
