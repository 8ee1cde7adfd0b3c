// The simulated port monitor: records its calls, fails scripted ones and
// carries port bytes to and from a connected device.
#include "sim/portmon.h"

#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "internal.h"
#include "sim/world.h"

namespace sim {
namespace {

struct PortObject : KernelObject {
  std::string name;
};

struct Connection {
  PortWrite write;
  PortRead read;
};

struct PortMonitorState {
  std::vector<PortCall> calls;
  std::map<std::string, std::deque<BYTE>> replies;
  std::map<std::string, Connection> connections;
  std::string data;
  BOOL dataResult = TRUE;
  size_t open = 0;
  std::set<HMODULE> quietModules;
};

Service<PortMonitorState, std::mutex>& state() { return service<PortMonitorState, std::mutex>(); }

std::string text(LPCSTR s) { return s ? std::string(s) : std::string("<null>"); }

void record(PortCall call) {
  call.atMs = nowMs();
  std::lock_guard<std::mutex> g(state().lock);
  state().calls.push_back(std::move(call));
}

// The port behind a handle, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<PortObject> portOf(HANDLE h) {
  auto p = handleAs<PortObject>(h);
  if (!p) SetLastError(ERROR_INVALID_HANDLE);
  return p;
}

PortCall makeCall(const char* api, std::string port) {
  PortCall call;
  call.api = api;
  call.port = std::move(port);
  return call;
}

BOOL finish(PortCall& call, BOOL result) {
  call.result = result;
  record(call);
  return result;
}

}  // namespace

std::vector<PortCall> portCalls() {
  std::lock_guard<std::mutex> g(state().lock);
  return state().calls;
}

std::vector<std::string> portCallNames() {
  std::vector<std::string> names;
  for (auto& c : portCalls()) names.push_back(c.api);
  return names;
}

void clearPortCalls() {
  std::lock_guard<std::mutex> g(state().lock);
  state().calls.clear();
}

void queuePortReply(const std::string& port, const std::string& bytes) {
  std::lock_guard<std::mutex> g(state().lock);
  auto& q = state().replies[port];
  q.insert(q.end(), bytes.begin(), bytes.end());
}

void connectPort(const std::string& port, PortWrite write, PortRead read) {
  std::lock_guard<std::mutex> g(state().lock);
  if (!write && !read)
    state().connections.erase(port);
  else
    state().connections[port] = Connection{std::move(write), std::move(read)};
}

void setPortMonitorData(const std::string& bytes, BOOL result) {
  std::lock_guard<std::mutex> g(state().lock);
  state().data = bytes;
  state().dataResult = result;
}

size_t openPorts() {
  std::lock_guard<std::mutex> g(state().lock);
  return state().open;
}

bool threadLibraryCallsDisabled(HMODULE module) {
  std::lock_guard<std::mutex> g(state().lock);
  return state().quietModules.count(module) != 0;
}

namespace {
struct OpenPortObject : PortObject {
  ~OpenPortObject() override {
    std::lock_guard<std::mutex> g(state().lock);
    --state().open;
  }
};
}  // namespace

namespace portmon {

BOOL WINAPI OpenPort(LPSTR pName, PHANDLE pHandle) {
  PortCall call = makeCall("OpenPort", text(pName));
  if (!pName || !pHandle) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return finish(call, FALSE);
  }
  *pHandle = nullptr;
  if (faulted(api::PortMonitorOpenPort)) return finish(call, FALSE);
  auto port = std::make_shared<OpenPortObject>();
  port->name = pName;
  {
    std::lock_guard<std::mutex> g(state().lock);
    ++state().open;
  }
  *pHandle = newHandle(std::move(port));
  return finish(call, TRUE);
}

BOOL WINAPI StartDocPort(HANDLE hPort, LPSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo) {
  auto port = portOf(hPort);
  PortCall call = makeCall("StartDocPort", port ? port->name : "<bad handle>");
  call.printer = text(pPrinterName);
  call.jobId = JobId;
  call.level = Level;
  call.document = call.outputFile = call.datatype = "<null>";
  if (pDocInfo && (Level == 1 || Level == 2)) {
    // DOC_INFO_2A begins with the three members of DOC_INFO_1A.
    auto* info = reinterpret_cast<DOC_INFO_1A*>(pDocInfo);
    call.document = text(info->pDocName);
    call.outputFile = text(info->pOutputFile);
    call.datatype = text(info->pDatatype);
  }
  if (!port) return finish(call, FALSE);
  if (faulted(api::PortMonitorStartDocPort)) return finish(call, FALSE);
  return finish(call, TRUE);
}

BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
  auto port = portOf(hPort);
  PortCall call = makeCall("WritePort", port ? port->name : "<bad handle>");
  call.count = cbBuf;
  if (pBuffer) call.data.assign(pBuffer, pBuffer + cbBuf);
  if (!port) return finish(call, FALSE);
  if (!pcbWritten || (!pBuffer && cbBuf)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return finish(call, FALSE);
  }
  *pcbWritten = 0;
  bool shortWrite = takeFault(api::PortMonitorWritePortShort, nullptr);
  if (faulted(api::PortMonitorWritePort)) return finish(call, FALSE);
  DWORD taken = shortWrite && cbBuf ? cbBuf - 1 : cbBuf;
  PortWrite write;
  {
    std::lock_guard<std::mutex> g(state().lock);
    auto it = state().connections.find(port->name);
    if (it != state().connections.end()) write = it->second.write;
  }
  if (write && taken) write(pBuffer, taken);
  *pcbWritten = taken;
  return finish(call, TRUE);
}

BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
  auto port = portOf(hPort);
  PortCall call = makeCall("ReadPort", port ? port->name : "<bad handle>");
  call.count = cbBuffer;
  if (!port) return finish(call, FALSE);
  if (!pcbRead || (!pBuffer && cbBuffer)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return finish(call, FALSE);
  }
  *pcbRead = 0;
  if (faulted(api::PortMonitorReadPort)) return finish(call, FALSE);
  DWORD n = 0;
  PortRead read;
  {
    std::lock_guard<std::mutex> g(state().lock);
    auto& q = state().replies[port->name];
    while (n < cbBuffer && !q.empty()) {
      pBuffer[n++] = q.front();
      q.pop_front();
    }
    auto it = state().connections.find(port->name);
    if (it != state().connections.end()) read = it->second.read;
  }
  if (read && n < cbBuffer) n += DWORD(read(pBuffer + n, cbBuffer - n));
  *pcbRead = n;
  call.data.assign(pBuffer, pBuffer + n);
  return finish(call, TRUE);
}

BOOL WINAPI EndDocPort(HANDLE hPort) {
  auto port = portOf(hPort);
  PortCall call = makeCall("EndDocPort", port ? port->name : "<bad handle>");
  if (!port) return finish(call, FALSE);
  if (faulted(api::PortMonitorEndDocPort)) return finish(call, FALSE);
  return finish(call, TRUE);
}

BOOL WINAPI ClosePort(HANDLE hPort) {
  auto port = portOf(hPort);
  PortCall call = makeCall("ClosePort", port ? port->name : "<bad handle>");
  if (!port) return finish(call, FALSE);
  port.reset();
  closeHandle(hPort);
  if (faulted(api::PortMonitorClosePort)) return finish(call, FALSE);
  return finish(call, TRUE);
}

BOOL WINAPI GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPSTR pValueName, LPSTR, DWORD, LPSTR lpOutBuffer,
                                   DWORD cbOutBuffer, LPDWORD lpcbReturned) {
  auto port = portOf(hPort);
  PortCall call = makeCall("GetPrinterDataFromPort", port ? port->name : "<bad handle>");
  call.controlId = ControlID;
  call.valueName = text(pValueName);
  call.count = cbOutBuffer;
  if (!port) return finish(call, FALSE);
  if (faulted(api::PortMonitorGetPrinterDataFromPort)) return finish(call, FALSE);
  std::string data;
  BOOL result;
  {
    std::lock_guard<std::mutex> g(state().lock);
    data = state().data;
    result = state().dataResult;
  }
  DWORD n = lpOutBuffer ? DWORD(std::min<size_t>(data.size(), cbOutBuffer)) : 0;
  if (n) std::memcpy(lpOutBuffer, data.data(), n);
  if (lpcbReturned) *lpcbReturned = n;
  if (!result) SetLastError(ERROR_NOT_SUPPORTED);
  return finish(call, result);
}

BOOL WINAPI SetPortTimeOuts(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD) {
  auto port = portOf(hPort);
  PortCall call = makeCall("SetPortTimeOuts", port ? port->name : "<bad handle>");
  if (lpCTO) call.timeouts = *lpCTO;
  if (!port) return finish(call, FALSE);
  if (!lpCTO) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return finish(call, FALSE);
  }
  if (faulted(api::PortMonitorSetPortTimeOuts)) return finish(call, FALSE);
  return finish(call, TRUE);
}

}  // namespace portmon
}  // namespace sim

extern "C" BOOL WINAPI DisableThreadLibraryCalls(HMODULE module) {
  std::lock_guard<std::mutex> g(sim::state().lock);
  sim::state().quietModules.insert(module);
  return TRUE;
}
