// The simulated spooler's document and job calls: StartDocPrinterA to
// EndDocPrinter, EnumJobsA, GetJobA, SetJobA and GetPrinterDriverA.
#include <map>

#include <winspool.h>

#include "internal.h"
#include "sim/spool_client.h"
#include "spooler_internal.h"

namespace sim {
namespace {

// Documents open on printer handles; guarded by the spooler lock. The jobs
// themselves are the queue's job list (spooler_internal.h).
struct ClientState {
  std::map<HANDLE, DWORD> openDocument;  // printer handle -> job id
  std::map<HANDLE, bool> pageOpen;
};

ClientState& client() { return service<ClientState>(); }

QueuedJob publicView(const SpoolJob& j) {
  QueuedJob q;
  q.id = j.id;
  q.document = toAnsi(j.document);
  q.datatype = toAnsi(j.datatype);
  q.pages = j.pages;
  q.finished = j.finished;
  return q;
}

}  // namespace

std::vector<QueuedJob> queuedJobs(const std::u16string& queue) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  std::vector<QueuedJob> out;
  for (const SpoolJob& j : jobsOf(queue).jobs) out.push_back(publicView(j));
  return out;
}

DWORD addQueuedJob(const std::u16string& queue, const std::string& document) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  SpoolJob j;
  j.document = fromAnsi(document.c_str());
  j.datatype = u"RAW";
  j.finished = true;
  j.status = JOB_STATUS_PRINTING;
  return addSpoolJob(queue, j);
}

SpoolJob* openJobOf(HANDLE printer) {
  auto doc = client().openDocument.find(printer);
  auto q = handleAs<PrinterHandle>(printer);
  return doc == client().openDocument.end() || !q ? nullptr : findJob(q->queue, doc->second);
}

std::vector<std::vector<BYTE>> takeFinishedJobs(const std::u16string& queue) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  std::vector<std::vector<BYTE>> taken;
  auto& v = jobsOf(queue).jobs;
  std::vector<SpoolJob> kept;
  for (auto& j : v) {
    if (j.finished)
      taken.push_back(std::move(j.data));
    else
      kept.push_back(std::move(j));
  }
  v = std::move(kept);
  return taken;
}

void holdJobs(const std::u16string& queue, bool hold) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  jobsOf(queue).hold = hold;
}

void releaseJobs(const std::u16string& queue) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  auto& v = jobsOf(queue).jobs;
  std::vector<SpoolJob> kept;
  for (auto& j : v)
    if (!j.finished) kept.push_back(j);
  v = kept;
}

}  // namespace sim

using namespace sim;

extern "C" {

DWORD WINAPI StartDocPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return 0;
  if (Level != 1) return failWith(ERROR_INVALID_LEVEL);
  if (!pDocInfo) return failWith(ERROR_INVALID_PARAMETER);
  if (client().openDocument.count(hPrinter)) return failWith(ERROR_INVALID_PRINTER_COMMAND);
  if (faulted(api::StartDocPrinter)) return 0;
  auto* info = reinterpret_cast<DOC_INFO_1A*>(pDocInfo);
  SpoolJob j;
  j.document = fromAnsi(info->pDocName ? info->pDocName : "");
  j.datatype = fromAnsi(info->pDatatype ? info->pDatatype : "");
  DWORD id = addSpoolJob(q->setup.name, j);
  client().openDocument[hPrinter] = id;
  return id;
}

BOOL WINAPI StartPagePrinter(HANDLE hPrinter) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  auto doc = client().openDocument.find(hPrinter);
  if (doc == client().openDocument.end() || client().pageOpen[hPrinter]) return failWith(ERROR_INVALID_PRINTER_COMMAND);
  if (faulted(api::StartPagePrinter)) return FALSE;
  client().pageOpen[hPrinter] = true;
  if (SpoolJob* j = findJob(q->setup.name, doc->second)) ++j->pages;
  return TRUE;
}

BOOL WINAPI EndPagePrinter(HANDLE hPrinter) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  if (!queueOf(hPrinter)) return FALSE;
  if (!client().pageOpen[hPrinter]) return failWith(ERROR_INVALID_PRINTER_COMMAND);
  if (faulted(api::EndPagePrinter)) return FALSE;
  client().pageOpen[hPrinter] = false;
  return TRUE;
}

BOOL WINAPI EndDocPrinter(HANDLE hPrinter) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  auto doc = client().openDocument.find(hPrinter);
  if (doc == client().openDocument.end()) return failWith(ERROR_INVALID_PRINTER_COMMAND);
  if (faulted(api::EndDocPrinter)) return FALSE;
  DWORD id = doc->second;
  client().openDocument.erase(doc);
  client().pageOpen.erase(hPrinter);
  if (jobsOf(q->setup.name).hold) {
    if (SpoolJob* j = findJob(q->setup.name, id)) {
      j->finished = true;
      j->status = JOB_STATUS_PRINTING;
    }
  } else {
    removeJob(q->setup.name, id);
  }
  return TRUE;
}

BOOL WINAPI EnumJobsA(HANDLE hPrinter, DWORD FirstJob, DWORD NoJobs, DWORD Level, LPBYTE pJob, DWORD cbBuf,
                      LPDWORD pcbNeeded, LPDWORD pcReturned) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  if (!pcbNeeded || !pcReturned) return failWith(ERROR_INVALID_PARAMETER);
  *pcbNeeded = 0;
  *pcReturned = 0;
  if (Level != 2) return failWith(ERROR_INVALID_LEVEL);
  if (faulted(api::EnumJobsA)) return FALSE;
  const auto& all = jobsOf(q->setup.name).jobs;
  std::vector<const SpoolJob*> picked;
  for (size_t i = FirstJob; i < all.size() && picked.size() < NoJobs; ++i) picked.push_back(&all[i]);
  DWORD fixed = DWORD(picked.size() * sizeof(JOB_INFO_2A));
  InfoPacker p(pJob, cbBuf, fixed);
  std::string printer = toAnsi(q->setup.name), driver = toAnsi(q->setup.driver);
  std::string processor = toAnsi(q->setup.printProcessor);
  std::vector<JOB_INFO_2A> infos(picked.size());
  for (size_t i = 0; i < picked.size(); ++i) {
    JOB_INFO_2A& info = infos[i];
    info.JobId = picked[i]->id;
    info.pPrinterName = p.str(printer);
    info.pMachineName = p.str("\\\\SIMHOST");
    std::string user = toAnsi(picked[i]->user);
    info.pUserName = p.str(user);
    info.pDocument = p.str(toAnsi(picked[i]->document));
    info.pNotifyName = p.str(user);
    info.pDatatype = p.str(toAnsi(picked[i]->datatype));
    info.pPrintProcessor = p.str(processor);
    info.pParameters = p.str("");
    info.pDriverName = p.str(driver);
    info.Status = picked[i]->status;
    info.Position = DWORD(FirstJob + i + 1);
    info.TotalPages = picked[i]->pages;
  }
  if (!p.finish(infos.data(), fixed, pcbNeeded)) return FALSE;
  *pcReturned = DWORD(infos.size());
  return TRUE;
}

// The print system's job query: a job id that does not name a job in the
// printer's list fails with ERROR_INVALID_PARAMETER ("Verify that the value
// of the JobId parameter corresponds to a job in the list of print jobs. If
// this verification fails, return ERROR_INVALID_PARAMETER."), so a finished
// job that has left the queue is told apart from one still waiting.
BOOL WINAPI GetJobA(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueForQuery(hPrinter, pcbNeeded, api::GetJobA);
  if (!q) return FALSE;
  if (Level != 1) return failWith(ERROR_INVALID_LEVEL);
  const SpoolJob* found = JobId == 0 ? nullptr : findJob(q->setup.name, JobId);
  if (!found) return failWith(ERROR_INVALID_PARAMETER);
  JOB_INFO_1A info{};
  InfoPacker p(pJob, cbBuf, sizeof info);
  std::string printer = toAnsi(q->setup.name), user = toAnsi(found->user);
  info.JobId = found->id;
  info.pPrinterName = p.str(printer);
  info.pMachineName = p.str("");
  info.pUserName = p.str(user);
  info.pDocument = p.str(toAnsi(found->document));
  info.pDatatype = p.str(toAnsi(found->datatype));
  info.Status = found->status;
  info.TotalPages = found->pages;
  return p.finish(&info, sizeof info, pcbNeeded);
}

BOOL WINAPI SetJobA(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  if (Level > 4 || (Level != 0 && !pJob && Command == 0)) return failWith(ERROR_INVALID_PARAMETER);
  if (faulted(api::SetJobA)) return FALSE;
  SpoolJob* j = findJob(q->setup.name, JobId);
  if (!j) return failWith(ERROR_INVALID_PARAMETER);
  switch (Command) {
    case 0:
      break;
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE:
      for (auto it = client().openDocument.begin(); it != client().openDocument.end(); ++it)
        if (it->second == JobId) {
          client().openDocument.erase(it);
          break;
        }
      removeJob(q->setup.name, JobId);
      break;
    case JOB_CONTROL_PAUSE:
      j->status |= JOB_STATUS_PAUSED;
      break;
    case JOB_CONTROL_RESUME:
      j->status &= ~DWORD(JOB_STATUS_PAUSED);
      break;
    default:
      return failWith(ERROR_INVALID_PARAMETER);
  }
  return TRUE;
}

BOOL WINAPI GetPrinterDriverA(HANDLE hPrinter, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                              LPDWORD pcbNeeded) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueForQuery(hPrinter, pcbNeeded, api::GetPrinterDriverA);
  if (!q) return FALSE;
  if (Level != 2) return failWith(ERROR_INVALID_LEVEL);
  DRIVER_INFO_2A info{};
  InfoPacker p(pDriverInfo, cbBuf, sizeof info);
  std::string driver = toAnsi(q->setup.driver);
  info.cVersion = 3;
  info.pName = p.str(driver);
  info.pEnvironment = p.str(pEnvironment ? pEnvironment : "Windows NT x86");
  info.pDriverPath = p.str("C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\" + driver + ".dll");
  info.pDataFile = p.str(driver + ".dat");
  info.pConfigFile = p.str(driver + "UI.dll");
  return p.finish(&info, sizeof info, pcbNeeded);
}

}  // extern "C"
