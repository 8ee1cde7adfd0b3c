// The simulated spooler's driver-side calls: GetJobW and GetPrinterDriverW.
#include <windows.h>
#include <winspool.h>

#include "internal.h"
#include "sim/spool_driver.h"
#include "spooler_internal.h"

namespace sim {

void addJob(const std::u16string& queue, const JobSetup& job) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  SpoolJob j;
  j.id = job.id;
  j.document = job.document;
  j.user = job.user;
  j.datatype = job.datatype;
  j.finished = true;
  j.status = JOB_STATUS_PRINTING;
  addSpoolJob(queue, j);
}

}  // namespace sim

using namespace sim;

extern "C" {

BOOL WINAPI GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueForQuery(hPrinter, pcbNeeded, api::GetJobW);
  if (!q) return FALSE;
  if (Level != 1) return failWith(ERROR_INVALID_LEVEL);
  const SpoolJob* found = findJob(q->setup.name, JobId);
  if (!found) return failWith(ERROR_INVALID_PARAMETER);
  const SpoolJob& j = *found;
  JOB_INFO_1W info{};
  InfoPacker p(pJob, cbBuf, sizeof info);
  info.JobId = j.id;
  info.pPrinterName = p.str(q->setup.name);
  info.pMachineName = p.str(u"");
  info.pUserName = p.str(j.user);
  info.pDocument = p.str(j.document);
  info.pDatatype = p.str(j.datatype);
  info.pStatus = nullptr;
  return p.finish(&info, sizeof info, pcbNeeded);
}

BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                              LPDWORD pcbNeeded) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueForQuery(hPrinter, pcbNeeded, api::GetPrinterDriverW);
  if (!q) return FALSE;
  if (Level == 1) {
    DRIVER_INFO_1W info{};
    InfoPacker p(pDriverInfo, cbBuf, sizeof info);
    info.pName = p.str(q->setup.driver);
    return p.finish(&info, sizeof info, pcbNeeded);
  }
  if (Level == 2) {
    DRIVER_INFO_2W info{};
    InfoPacker p(pDriverInfo, cbBuf, sizeof info);
    info.cVersion = 3;
    info.pName = p.str(q->setup.driver);
    info.pEnvironment = p.str(u"Windows NT x86");
    info.pDriverPath = p.str(u"C:\\Windows\\System32\\spool\\DRIVERS\\W32X86\\3\\driver.dll");
    info.pDataFile = p.str(u"");
    info.pConfigFile = p.str(u"");
    return p.finish(&info, sizeof info, pcbNeeded);
  }
  return failWith(ERROR_INVALID_LEVEL);
}

}  // extern "C"
