// Tests of the MONITOR2 entry: InitializePrintMonitor2, its wide,
// instance-based port functions over the same port code, and Shutdown.
#include <cstring>

#include "monitor2.h"
#include "monitor_fixture.h"
#include "port_queries.h"

namespace trmon {
namespace {

using Names = std::vector<std::string>;

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string narrow(LPCWSTR s) {
  std::string out;
  for (; s && *s; ++s) out.push_back(char(*s));
  return out;
}

// The simulated port monitor behind a MONITOR2 table: its wide entries
// hand ANSI copies to the 13-slot ones. Its OpenPort knows only its own
// instance handle, as a real port monitor would.
int g_portMonitorInstance = 0;
HANDLE portMonitorInstance() { return &g_portMonitorInstance; }

BOOL WINAPI wideOpenPort(HANDLE hMonitor, LPWSTR pName, PHANDLE pHandle) {
  if (hMonitor != portMonitorInstance()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::string name = narrow(pName);
  return sim::portmon::OpenPort(pName ? name.data() : nullptr, pHandle);
}

BOOL WINAPI wideStartDocPort(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo) {
  std::string printer = narrow(pPrinterName), document, output, datatype;
  DOC_INFO_1A info{};
  if (pDocInfo && Level == 1) {
    auto* w = reinterpret_cast<DOC_INFO_1W*>(pDocInfo);
    document = narrow(w->pDocName);
    output = narrow(w->pOutputFile);
    datatype = narrow(w->pDatatype);
    info = {w->pDocName ? document.data() : nullptr, w->pOutputFile ? output.data() : nullptr,
            w->pDatatype ? datatype.data() : nullptr};
  }
  return sim::portmon::StartDocPort(hPort, pPrinterName ? printer.data() : nullptr, JobId, Level,
                                    pDocInfo ? reinterpret_cast<LPBYTE>(&info) : nullptr);
}

BOOL WINAPI wideGetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR, DWORD,
                                       LPWSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned) {
  std::string name = narrow(pValueName);
  return sim::portmon::GetPrinterDataFromPort(hPort, ControlID, name.data(), nullptr, 0,
                                              reinterpret_cast<LPSTR>(lpOutBuffer), cbOutBuffer, lpcbReturned);
}

// The port monitor's bidi entry: keeps what it was asked and answers with
// a code of its own.
struct BidiCall {
  HANDLE port = nullptr;
  DWORD access = 0;
  std::string action;
} g_bidi;
DWORD WINAPI wideSendRecvBidi(HANDLE hPort, DWORD dwAccessBit, LPCWSTR pAction, PBIDI_REQUEST_CONTAINER,
                              PBIDI_RESPONSE_CONTAINER*) {
  g_bidi = {hPort, dwAccessBit, narrow(pAction)};
  return ERROR_MORE_DATA;
}

MONITOR2 portMonitor2() {
  MONITOR2 t{};
  t.cbSize = sizeof t;
  t.pfnOpenPort = wideOpenPort;
  t.pfnStartDocPort = wideStartDocPort;
  t.pfnWritePort = sim::portmon::WritePort;
  t.pfnReadPort = sim::portmon::ReadPort;
  t.pfnEndDocPort = sim::portmon::EndDocPort;
  t.pfnClosePort = sim::portmon::ClosePort;
  t.pfnGetPrinterDataFromPort = wideGetPrinterDataFromPort;
  t.pfnSetPortTimeOuts = sim::portmon::SetPortTimeOuts;
  t.pfnSendRecvBidiDataFromPort = wideSendRecvBidi;
  return t;
}

MONITORINIT monitorInit() {
  MONITORINIT init{};
  init.cbSize = sizeof init;
  init.bLocal = TRUE;
  return init;
}

TEST(Monitor2Entry, InitializeRefusesMissingOrShortArguments) {
  sim::reset();
  DllEntryPoint(nullptr, DLL_PROCESS_ATTACH, nullptr);
  MONITORINIT init = monitorInit();
  MONITORINIT shortInit = monitorInit();
  shortInit.cbSize = sizeof shortInit - 1;
  HANDLE h = nullptr;
  struct Case {
    const char* what;
    PMONITORINIT init;
    PHANDLE handle;
  } cases[] = {
      {"no MONITORINIT", nullptr, &h},
      {"no handle to fill", &init, nullptr},
      {"MONITORINIT shorter than its type", &shortInit, &h},
  };
  for (const Case& c : cases) {
    SetLastError(kSentinel);
    EXPECT_EQ(InitializePrintMonitor2(c.init, c.handle), nullptr) << c.what;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
  }

  sim::failNth(sim::api::HeapAlloc, 1, ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  h = reinterpret_cast<HANDLE>(1);
  EXPECT_EQ(InitializePrintMonitor2(&init, &h), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(h, nullptr);
}

TEST(Monitor2Entry, TableHasTheLanguageMonitorEntriesOnly) {
  sim::reset();
  DllEntryPoint(nullptr, DLL_PROCESS_ATTACH, nullptr);
  PortFunctionTable same{};
  CHAR root[] = "Monitors\\TRMON";
  ASSERT_TRUE(InitializeMonitorEx(root, &same));
  const size_t before = sim::liveAllocations();
  MONITORINIT init = monitorInit();
  HANDLE h = nullptr;
  LPMONITOR2 t = InitializePrintMonitor2(&init, &h);
  ASSERT_NE(t, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(t->cbSize, sizeof(MONITOR2));
  for (bool provided : {t->pfnOpenPortEx != nullptr, t->pfnStartDocPort != nullptr, t->pfnWritePort != nullptr,
                        t->pfnReadPort != nullptr, t->pfnEndDocPort != nullptr, t->pfnClosePort != nullptr,
                        t->pfnGetPrinterDataFromPort != nullptr, t->pfnShutdown != nullptr,
                        t->pfnSendRecvBidiDataFromPort != nullptr})
    EXPECT_TRUE(provided);
  // The port monitor's own business.
  for (bool absent : {t->pfnEnumPorts == nullptr, t->pfnOpenPort == nullptr, t->pfnAddPort == nullptr,
                      t->pfnAddPortEx == nullptr, t->pfnConfigurePort == nullptr, t->pfnDeletePort == nullptr,
                      t->pfnXcvOpenPort == nullptr, t->pfnXcvDataPort == nullptr, t->pfnXcvClosePort == nullptr})
    EXPECT_TRUE(absent);
  // The data entries are the 13-slot table's own.
  EXPECT_EQ(t->pfnWritePort, same.pfnWritePort);
  EXPECT_EQ(t->pfnReadPort, same.pfnReadPort);
  EXPECT_EQ(t->pfnEndDocPort, same.pfnEndDocPort);
  EXPECT_EQ(t->pfnClosePort, same.pfnClosePort);
  t->pfnShutdown(h);
  EXPECT_EQ(sim::liveAllocations(), before) << "Shutdown frees the instance";
}

// An instance made through InitializePrintMonitor2 and shut down at the
// end, before the base fixture counts what is left.
class Monitor2Test : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    MONITORINIT init = monitorInit();
    m2 = InitializePrintMonitor2(&init, &instance);
    ASSERT_NE(m2, nullptr);
    pm2 = portMonitor2();
  }
  void TearDown() override {
    if (instance) m2->pfnShutdown(instance);
    MonitorTest::TearDown();
  }

  HANDLE openPort2(const std::string& name = "USB001", const char* printer = "KV830 Queue") {
    std::u16string n = wide(name), p = wide(printer ? printer : "");
    HANDLE h = nullptr;
    EXPECT_TRUE(m2->pfnOpenPortEx(instance, portMonitorInstance(), n.data(), printer ? p.data() : nullptr, &h, &pm2))
        << name;
    return h;
  }

  BOOL startJob2(HANDLE port, DWORD jobId, const std::string& document) {
    std::u16string printer = u"KV830 Queue", doc = wide(document), datatype = u"RAW";
    DOC_INFO_1W info{doc.data(), nullptr, datatype.data()};
    return m2->pfnStartDocPort(port, printer.data(), jobId, 1, reinterpret_cast<LPBYTE>(&info));
  }

  BOOL query2(HANDLE port, const std::string& name, std::string* reply) {
    std::u16string n = wide(name);
    CHAR out[256];
    DWORD returned = kSentinel;
    BOOL ok = m2->pfnGetPrinterDataFromPort(port, 0, n.data(), nullptr, 0, reinterpret_cast<LPWSTR>(out),
                                            sizeof out, &returned);
    if (reply) *reply = returned <= sizeof out ? std::string(out, returned) : std::string();
    return ok;
  }

  LPMONITOR2 m2 = nullptr;
  HANDLE instance = nullptr;
  MONITOR2 pm2{};
};

TEST_F(Monitor2Test, AJobPassesThroughTheWideTableUnchanged) {
  HANDLE h = openPort2("USB001", "KV830 Queue");
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(record(h).portName, "USB001");
  EXPECT_STREQ(record(h).printerName, "KV830 Queue");
  ASSERT_TRUE(startJob2(h, 7, "label.prn"));
  EXPECT_STREQ(record(h).documentName, "label.prn");
  EXPECT_EQ(record(h).jobId, 7u);
  EXPECT_NE(record(h).printer, nullptr) << "the job's printer handle, opened by the ANSI name";
  BYTE job[] = "JOB NM=QX,ID=1\r\nJOBE\r\n";
  DWORD written = 0;
  ASSERT_TRUE(m2->pfnWritePort(h, job, sizeof job - 1, &written));
  EXPECT_EQ(written, sizeof job - 1);
  ASSERT_TRUE(m2->pfnEndDocPort(h));
  ASSERT_TRUE(m2->pfnClosePort(h));

  EXPECT_EQ(sim::portCallNames(), (Names{"OpenPort", "StartDocPort", "WritePort", "EndDocPort", "ClosePort"}));
  auto calls = sim::portCalls();
  EXPECT_EQ(calls[0].port, "USB001");
  EXPECT_EQ(calls[1].printer, "KV830 Queue");
  EXPECT_EQ(calls[1].document, "label.prn");
  EXPECT_EQ(calls[1].jobId, 7u);
  EXPECT_EQ(std::string(calls[2].data.begin(), calls[2].data.end()), "JOB NM=QX,ID=1\r\nJOBE\r\n");
}

TEST_F(Monitor2Test, GetVersionIsAskedInsideAWideTemporaryDocument) {
  HANDLE h = openPort2();
  sim::queuePortReply("USB001", "V1.02\r\n");
  sim::clearPortCalls();
  std::string reply;
  ASSERT_TRUE(query2(h, "GetVersion", &reply));
  EXPECT_EQ(reply, "V1.02\r\n");
  EXPECT_EQ(sim::portCallNames(), (Names{"StartDocPort", "SetPortTimeOuts", "WritePort", "ReadPort", "EndDocPort"}));
  auto calls = sim::portCalls();
  EXPECT_EQ(calls[0].printer, "KV830 Queue");
  EXPECT_EQ(calls[0].document, "GetLbxInfo");
  EXPECT_EQ(calls[0].datatype, "RAW");
  EXPECT_EQ(std::string(calls[2].data.begin(), calls[2].data.end()), "VER\r\n");

  // Names are compared as through the 13-slot table, a longer one unknown.
  SetLastError(kSentinel);
  EXPECT_FALSE(query2(h, "GetVersion" + std::string(kMaxQueryNameChars, 'x'), nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(query2(h, "GetDriverID", &reply));
  EXPECT_EQ(reply, "VarodynDriver");
}

TEST_F(Monitor2Test, NonZeroControlIdGoesToThePortMonitorsWideEntry) {
  HANDLE h = openPort2();
  sim::setPortMonitorData("PMDATA", TRUE);
  sim::clearPortCalls();
  std::u16string name = u"GetVersion";
  CHAR out[4];
  DWORD returned = kSentinel;
  EXPECT_TRUE(m2->pfnGetPrinterDataFromPort(h, 1, name.data(), nullptr, 0, reinterpret_cast<LPWSTR>(out),
                                            sizeof out, &returned));
  EXPECT_EQ(std::string(out, 4), "PMDA");
  ASSERT_EQ(sim::portCalls().size(), 1u);
  EXPECT_EQ(sim::portCalls()[0].controlId, 1u);
  EXPECT_EQ(sim::portCalls()[0].valueName, "GetVersion");
}

TEST_F(Monitor2Test, BidiRequestsGoToThePortMonitorOrAreNotSupported) {
  HANDLE h = openPort2("USB001");
  std::u16string action = u"Get";
  g_bidi = {};
  EXPECT_EQ(m2->pfnSendRecvBidiDataFromPort(h, PRINTER_ACCESS_USE, action.data(), nullptr, nullptr),
            DWORD(ERROR_MORE_DATA));
  EXPECT_EQ(g_bidi.port, record(h).portMonitorHandle);
  EXPECT_EQ(g_bidi.access, DWORD(PRINTER_ACCESS_USE));
  EXPECT_EQ(g_bidi.action, "Get");

  // A port monitor without the entry, or whose cbSize ends before it.
  pm2.cbSize = MONITOR2_SIZE_WIN2K;
  HANDLE older = openPort2("USB004");
  pm2.cbSize = sizeof pm2;
  pm2.pfnSendRecvBidiDataFromPort = nullptr;
  HANDLE without = openPort2("USB002");
  for (HANDLE h2 : {older, without})
    EXPECT_EQ(m2->pfnSendRecvBidiDataFromPort(h2, PRINTER_ACCESS_USE, action.data(), nullptr, nullptr),
              DWORD(ERROR_NOT_SUPPORTED));
  HANDLE ansi = openPort("USB003");
  int foreign = 0;
  for (HANDLE bad : {ansi, static_cast<HANDLE>(&foreign), static_cast<HANDLE>(nullptr)})
    EXPECT_EQ(m2->pfnSendRecvBidiDataFromPort(bad, PRINTER_ACCESS_USE, action.data(), nullptr, nullptr),
              DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Monitor2Test, OpenRefusesForeignInstancesAndMissingArguments) {
  std::u16string port = u"USB001";
  int other = 0;
  struct Case {
    const char* what;
    HANDLE monitor;
    bool table;
    DWORD error;
  } cases[] = {
      {"null instance", nullptr, true, ERROR_INVALID_PARAMETER},
      {"foreign instance", &other, true, ERROR_INVALID_PARAMETER},
      {"no port monitor table", instance, false, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    HANDLE h = reinterpret_cast<HANDLE>(1);
    SetLastError(kSentinel);
    EXPECT_FALSE(m2->pfnOpenPortEx(c.monitor, portMonitorInstance(), port.data(), nullptr, &h, c.table ? &pm2 : nullptr))
        << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
    EXPECT_EQ(h, nullptr) << c.what;
  }
  // The port monitor is called with the instance handle the spooler gave
  // for it; a wrong one is its own failure, and no record stays.
  HANDLE h = nullptr;
  SetLastError(kSentinel);
  EXPECT_FALSE(m2->pfnOpenPortEx(instance, &other, port.data(), nullptr, &h, &pm2));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(listedPorts(), 0u);
  EXPECT_TRUE(sim::portCallNames().empty()) << "the simulated port monitor saw no OpenPort";
}

TEST_F(Monitor2Test, EachTableRefusesTheOthersPortsWhereSignaturesDiffer) {
  HANDLE wideHandle = openPort2("USB001");
  HANDLE ansiHandle = openPort("USB002");
  sim::clearPortCalls();
  SetLastError(kSentinel);
  EXPECT_FALSE(startJob(wideHandle, 0));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  SetLastError(kSentinel);
  EXPECT_FALSE(startJob2(ansiHandle, 0, "label.prn"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  SetLastError(kSentinel);
  EXPECT_FALSE(query2(ansiHandle, "GetVersion", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(sim::portCalls().empty());
  EXPECT_TRUE(m2->pfnClosePort(wideHandle));
}

TEST_F(Monitor2Test, ShutdownClosesTheInstancesPortsAndEndsTheInstance) {
  MONITORINIT init = monitorInit();
  HANDLE second = nullptr;
  ASSERT_NE(InitializePrintMonitor2(&init, &second), nullptr);
  openPort2("USB001");
  HANDLE kept = nullptr;
  std::u16string other = u"USB002";
  ASSERT_TRUE(m2->pfnOpenPortEx(second, portMonitorInstance(), other.data(), nullptr, &kept, &pm2));
  HANDLE held = openPort2("USB003");
  ASSERT_TRUE(startJob2(held, 9, "open.prn"));
  sim::clearPortCalls();

  m2->pfnShutdown(instance);
  EXPECT_EQ(sim::portCallNames(), (Names{"ClosePort", "ClosePort"}));
  EXPECT_EQ(listedPorts(), 1u);
  EXPECT_NE(validPort(kept), nullptr) << "the other instance's port stays open";
  EXPECT_EQ(sim::openPrinterHandles(), 0u) << "the open job's printer handle is closed";

  // The ended instance opens nothing more.
  HANDLE h = nullptr;
  std::u16string port = u"USB004";
  SetLastError(kSentinel);
  EXPECT_FALSE(m2->pfnOpenPortEx(instance, portMonitorInstance(), port.data(), nullptr, &h, &pm2));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  m2->pfnShutdown(instance);  // a second Shutdown of the same handle does nothing
  instance = second;          // shut down by the fixture, with its port
}

}  // namespace
}  // namespace trmon
