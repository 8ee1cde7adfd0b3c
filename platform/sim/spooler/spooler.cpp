// The simulated print spooler: queues, printer handles, printer data and
// WritePrinter.
#include <winspool.h>

#include "internal.h"
#include "spooler_internal.h"

namespace sim {
namespace {

struct OpenPrinter : PrinterHandle {
  ~OpenPrinter() override {
    std::lock_guard<std::recursive_mutex> g(spooler().lock);
    --spooler().openHandles;
  }
};

QueueState* find(const std::u16string& name) {
  auto it = spooler().queues.find(fold(name));
  return it == spooler().queues.end() ? nullptr : &it->second;
}

}  // namespace

void* InfoPacker::bytes(const std::vector<BYTE>& v) {
  if (v.empty()) return nullptr;
  used_ = (used_ + 7) & ~DWORD(7);
  void* at = fits(DWORD(v.size())) ? buf_ + used_ : nullptr;
  if (at) std::memcpy(at, v.data(), v.size());
  used_ += DWORD(v.size());
  return at;
}

BOOL InfoPacker::finish(const void* fixedPart, DWORD fixedSize, LPDWORD pcbNeeded) {
  *pcbNeeded = used_;
  if (used_ > 0 && (!buf_ || cb_ < used_)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (fixedSize) std::memcpy(buf_, fixedPart, fixedSize);
  return TRUE;
}

Service<Spooler>& spooler() { return service<Spooler>(); }

QueueJobs& jobsOf(const std::u16string& queue) { return spooler().jobs[fold(queue)]; }

SpoolJob* findJob(const std::u16string& queue, DWORD id) {
  for (SpoolJob& j : jobsOf(queue).jobs)
    if (j.id == id) return &j;
  return nullptr;
}

DWORD addSpoolJob(const std::u16string& queue, SpoolJob job) {
  Spooler& s = spooler();
  if (job.id == 0) job.id = s.nextJobId;
  if (job.id >= s.nextJobId) s.nextJobId = job.id + 1;
  if (SpoolJob* same = findJob(queue, job.id)) {
    *same = job;
  } else {
    jobsOf(queue).jobs.push_back(job);
  }
  return job.id;
}

void removeJob(const std::u16string& queue, DWORD id) {
  auto& v = jobsOf(queue).jobs;
  for (auto it = v.begin(); it != v.end(); ++it)
    if (it->id == id) {
      v.erase(it);
      return;
    }
}

std::u16string fold(const std::u16string& s) {
  std::u16string out = s;
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  return out;
}

QueueState* queueOf(HANDLE hPrinter) {
  auto h = handleAs<PrinterHandle>(hPrinter);
  QueueState* q = h ? find(h->queue) : nullptr;
  if (!q) SetLastError(ERROR_INVALID_HANDLE);
  return q;
}

bool administers(HANDLE hPrinter) {
  auto h = handleAs<PrinterHandle>(hPrinter);
  return h && (h->access & PRINTER_ACCESS_ADMINISTER) != 0;
}

QueueState* queueForQuery(HANDLE hPrinter, LPDWORD pcbNeeded, Api api) {
  QueueState* q = queueOf(hPrinter);
  if (!q) return nullptr;
  if (!pcbNeeded) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return faulted(api) ? nullptr : q;
}

void addQueue(const QueueSetup& setup) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState& q = spooler().queues[fold(setup.name)];
  q = QueueState{};
  q.setup = setup;
}

void removeQueue(const std::u16string& name) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  spooler().queues.erase(fold(name));
}

bool hasQueue(const std::u16string& name) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  return find(name) != nullptr;
}

QueueSetup queueSetup(const std::u16string& name) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = find(name);
  return q ? q->setup : QueueSetup{};
}

void setQueueDevMode(const std::u16string& name, std::vector<BYTE> devMode) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  if (QueueState* q = find(name)) q->setup.devMode = std::move(devMode);
}

void setPrinterData(const std::u16string& queue, const std::u16string& value, DWORD type, std::vector<BYTE> data) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  if (QueueState* q = find(queue)) q->data[fold(value)] = PrinterValue{type, std::move(data)};
}

bool hasPrinterData(const std::u16string& queue, const std::u16string& value) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = find(queue);
  return q && q->data.count(fold(value));
}

std::vector<BYTE> printerData(const std::u16string& queue, const std::u16string& value, DWORD* type) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = find(queue);
  if (!q) return {};
  auto it = q->data.find(fold(value));
  if (it == q->data.end()) return {};
  if (type) *type = it->second.type;
  return it->second.data;
}

std::vector<BYTE> written(const std::u16string& queue) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  std::vector<BYTE> all;
  if (QueueState* q = find(queue))
    for (auto& w : q->writes) all.insert(all.end(), w.begin(), w.end());
  return all;
}

std::vector<std::vector<BYTE>> writeCalls(const std::u16string& queue) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = find(queue);
  return q ? q->writes : std::vector<std::vector<BYTE>>{};
}

void clearWritten(const std::u16string& queue) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  if (QueueState* q = find(queue)) q->writes.clear();
}

void setWriteSink(const std::u16string& queue, WriteSink sink) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  if (QueueState* q = find(queue)) q->sink = std::move(sink);
}

size_t openPrinterHandles() {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  return spooler().openHandles;
}

}  // namespace sim

using namespace sim;

extern "C" {

BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
  if (!phPrinter) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phPrinter = nullptr;
  if (faulted(api::OpenPrinter)) return FALSE;
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  std::u16string name = pPrinterName ? std::u16string(pPrinterName) : std::u16string();
  if (!find(name)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  auto h = std::make_shared<OpenPrinter>();
  h->queue = fold(name);
  if (pDefault) h->access = pDefault->DesiredAccess;
  ++spooler().openHandles;
  *phPrinter = newHandle(std::move(h));
  return TRUE;
}

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  PRINTER_DEFAULTSW access{nullptr, nullptr, pDefault ? pDefault->DesiredAccess : DWORD(PRINTER_ACCESS_USE)};
  if (!pPrinterName) return OpenPrinterW(nullptr, phPrinter, &access);
  WCHAR wide[512];
  int n = MultiByteToWideChar(CP_ACP, 0, pPrinterName, -1, wide, 512);
  if (n <= 0) {
    if (phPrinter) *phPrinter = nullptr;
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  return OpenPrinterW(wide, phPrinter, &access);
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  if (!handleAs<PrinterHandle>(hPrinter)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // A scripted failure still releases the handle: nothing can use it again.
  bool failed = faulted(api::ClosePrinter);
  DWORD error = GetLastError();
  closeHandle(hPrinter);
  if (failed) return failWith(error);
  return TRUE;
}

BOOL WINAPI WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
  WriteSink sink;
  {
    std::lock_guard<std::recursive_mutex> g(spooler().lock);
    QueueState* q = queueOf(hPrinter);
    if (!q) return FALSE;
    if (!pcWritten || (!pBuf && cbBuf)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    *pcWritten = 0;
    // Both fault kinds count every call, so "the nth call" means the same
    // call for each of them.
    bool zero = takeFault(api::WritePrinterZero, nullptr);
    if (faulted(api::WritePrinter)) return FALSE;
    if (zero) return TRUE;
    sink = q->sink;
  }
  const BYTE* data = static_cast<const BYTE*>(pBuf);
  DWORD done = cbBuf;
  if (sink && !sink(data, cbBuf, &done)) return FALSE;
  if (done > cbBuf) done = cbBuf;
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  if (QueueState* q = queueOf(hPrinter)) q->writes.emplace_back(data, data + done);
  if (SpoolJob* job = openJobOf(hPrinter)) job->data.insert(job->data.end(), data, data + done);
  *pcWritten = done;
  return TRUE;
}

BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueForQuery(hPrinter, pcbNeeded, api::GetPrinterW);
  if (!q) return FALSE;
  const QueueSetup& s = q->setup;
  if (Level == 2) {
    PRINTER_INFO_2W info{};
    InfoPacker p(pPrinter, cbBuf, sizeof info);
    info.pPrinterName = p.str(s.name);
    info.pShareName = p.str(u"");
    info.pPortName = p.str(s.port);
    info.pDriverName = p.str(s.driver);
    info.pComment = p.str(u"");
    info.pLocation = p.str(u"");
    info.pDevMode = static_cast<LPDEVMODEW>(p.bytes(s.devMode));
    info.pSepFile = p.str(u"");
    info.pPrintProcessor = p.str(s.printProcessor);
    info.pDatatype = p.str(s.datatype);
    info.pParameters = p.str(u"");
    info.Attributes = s.attributes;
    info.cJobs = 0;
    return p.finish(&info, sizeof info, pcbNeeded);
  }
  if (Level == 5) {
    PRINTER_INFO_5W info{};
    InfoPacker p(pPrinter, cbBuf, sizeof info);
    info.pPrinterName = p.str(s.name);
    info.pPortName = p.str(s.port);
    info.Attributes = s.attributes;
    info.DeviceNotSelectedTimeout = 15000;
    info.TransmissionRetryTimeout = 45000;
    return p.finish(&info, sizeof info, pcbNeeded);
  }
  return failWith(ERROR_INVALID_LEVEL);
}

BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return FALSE;
  if (Level != 2 && Level != 8) return failWith(ERROR_INVALID_LEVEL);
  if (!pPrinter || Command != 0) return failWith(ERROR_INVALID_PARAMETER);
  if (!administers(hPrinter)) return failWith(ERROR_ACCESS_DENIED);
  if (faulted(sim::api::SetPrinterW)) return FALSE;
  const DEVMODEW* dm = Level == 2 ? reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter)->pDevMode
                                  : reinterpret_cast<const PRINTER_INFO_8W*>(pPrinter)->pDevMode;
  if (!dm) {
    q->setup.devMode.clear();
  } else {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(dm);
    q->setup.devMode.assign(bytes, bytes + dm->dmSize + dm->dmDriverExtra);
  }
  return TRUE;
}

DWORD WINAPI GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                             LPDWORD pcbNeeded) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return ERROR_INVALID_HANDLE;
  if (!pcbNeeded || !pValueName) return ERROR_INVALID_PARAMETER;
  DWORD err = 0;
  if (takeFault(api::GetPrinterDataW, &err)) return err;
  auto it = q->data.find(fold(pValueName));
  if (it == q->data.end()) return ERROR_FILE_NOT_FOUND;
  const PrinterValue& v = it->second;
  *pcbNeeded = DWORD(v.data.size());
  if (pType) *pType = v.type;
  if (!pData || nSize < v.data.size()) return ERROR_MORE_DATA;
  if (!v.data.empty()) std::memcpy(pData, v.data.data(), v.data.size());
  return ERROR_SUCCESS;
}

DWORD WINAPI SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  QueueState* q = queueOf(hPrinter);
  if (!q) return ERROR_INVALID_HANDLE;
  if (!pValueName || (!pData && cbData)) return ERROR_INVALID_PARAMETER;
  if (!administers(hPrinter)) return ERROR_ACCESS_DENIED;
  DWORD err = 0;
  if (takeFault(api::SetPrinterDataW, &err)) return err;
  q->data[fold(pValueName)] = PrinterValue{Type, std::vector<BYTE>(pData, pData + cbData)};
  return ERROR_SUCCESS;
}

}  // extern "C"
