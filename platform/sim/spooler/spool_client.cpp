// The simulated spooler's document and job calls: StartDocPrinterA to
// EndDocPrinter, EnumJobsA, SetJobA and GetPrinterDriverA.
#include <map>

#include <winspool.h>

#include "internal.h"
#include "sim/spool_client.h"
#include "spooler_internal.h"

namespace sim {
namespace {

struct ClientJob {
  QueuedJob job;
  DWORD status = JOB_STATUS_SPOOLING;
};

struct QueueJobs {
  std::vector<ClientJob> jobs;
  bool hold = false;
};

struct ClientState {
  std::map<std::u16string, QueueJobs> queues;  // key: folded queue name
  std::map<HANDLE, DWORD> openDocument;         // printer handle -> job id
  std::map<HANDLE, bool> pageOpen;
  DWORD nextJobId = 1;
};

// Guarded by the spooler lock.
ClientState& client() { return service<ClientState>(); }

QueueJobs& jobsOf(QueueState& q) { return client().queues[fold(q.setup.name)]; }

ClientJob* findJob(QueueState& q, DWORD id) {
  for (ClientJob& j : jobsOf(q).jobs)
    if (j.job.id == id) return &j;
  return nullptr;
}

void removeJob(QueueState& q, DWORD id) {
  auto& v = jobsOf(q).jobs;
  for (auto it = v.begin(); it != v.end(); ++it)
    if (it->job.id == id) {
      v.erase(it);
      return;
    }
}

}  // namespace

std::vector<QueuedJob> queuedJobs(const std::u16string& queue) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  std::vector<QueuedJob> out;
  auto it = client().queues.find(fold(queue));
  if (it != client().queues.end())
    for (auto& j : it->second.jobs) out.push_back(j.job);
  return out;
}

DWORD addQueuedJob(const std::u16string& queue, const std::string& document) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  ClientJob j;
  j.job.id = client().nextJobId++;
  j.job.document = document;
  j.job.datatype = "RAW";
  j.job.finished = true;
  j.status = JOB_STATUS_PRINTING;
  client().queues[fold(queue)].jobs.push_back(j);
  return j.job.id;
}

void holdJobs(const std::u16string& queue, bool hold) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  client().queues[fold(queue)].hold = hold;
}

void releaseJobs(const std::u16string& queue) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  auto& v = client().queues[fold(queue)].jobs;
  std::vector<ClientJob> kept;
  for (auto& j : v)
    if (!j.job.finished) kept.push_back(j);
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
  ClientJob j;
  j.job.id = client().nextJobId++;
  j.job.document = info->pDocName ? info->pDocName : "";
  j.job.datatype = info->pDatatype ? info->pDatatype : "";
  jobsOf(*q).jobs.push_back(j);
  client().openDocument[hPrinter] = j.job.id;
  return j.job.id;
}

BOOL WINAPI StartPagePrinter(HANDLE hPrinter) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  auto doc = client().openDocument.find(hPrinter);
  if (doc == client().openDocument.end() || client().pageOpen[hPrinter]) return failWith(ERROR_INVALID_PRINTER_COMMAND);
  if (faulted(api::StartPagePrinter)) return FALSE;
  client().pageOpen[hPrinter] = true;
  if (ClientJob* j = findJob(*q, doc->second)) ++j->job.pages;
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
  if (jobsOf(*q).hold) {
    if (ClientJob* j = findJob(*q, id)) {
      j->job.finished = true;
      j->status = JOB_STATUS_PRINTING;
    }
  } else {
    removeJob(*q, id);
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
  const auto& all = jobsOf(*q).jobs;
  std::vector<const ClientJob*> picked;
  for (size_t i = FirstJob; i < all.size() && picked.size() < NoJobs; ++i) picked.push_back(&all[i]);
  DWORD fixed = DWORD(picked.size() * sizeof(JOB_INFO_2A));
  InfoPacker p(pJob, cbBuf, fixed);
  std::string printer = toAnsi(q->setup.name), driver = toAnsi(q->setup.driver);
  std::string processor = toAnsi(q->setup.printProcessor);
  std::vector<JOB_INFO_2A> infos(picked.size());
  for (size_t i = 0; i < picked.size(); ++i) {
    JOB_INFO_2A& info = infos[i];
    info.JobId = picked[i]->job.id;
    info.pPrinterName = p.str(printer);
    info.pMachineName = p.str("\\\\SIMHOST");
    info.pUserName = p.str("user");
    info.pDocument = p.str(picked[i]->job.document);
    info.pNotifyName = p.str("user");
    info.pDatatype = p.str(picked[i]->job.datatype);
    info.pPrintProcessor = p.str(processor);
    info.pParameters = p.str("");
    info.pDriverName = p.str(driver);
    info.Status = picked[i]->status;
    info.Position = DWORD(FirstJob + i + 1);
    info.TotalPages = picked[i]->job.pages;
  }
  if (!p.finish(infos.data(), fixed, pcbNeeded)) return FALSE;
  *pcReturned = DWORD(infos.size());
  return TRUE;
}

BOOL WINAPI SetJobA(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  if (Level > 4 || (Level != 0 && !pJob && Command == 0)) return failWith(ERROR_INVALID_PARAMETER);
  if (faulted(api::SetJobA)) return FALSE;
  ClientJob* j = findJob(*q, JobId);
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
      removeJob(*q, JobId);
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
