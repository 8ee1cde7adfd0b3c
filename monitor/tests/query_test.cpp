// Tests of the named printer queries answered through GetPrinterDataFromPort.
#include "monitor_fixture.h"
#include "port_queries.h"
#include "emulated_printer.h"

namespace trmon {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

const std::string kReply = "REPLY\r\n";

// The expected behaviour of each name, written out independently of the
// monitor's own table.
struct QueryCase {
  const char* name;
  std::string command;  // bytes written, empty for none
  ULONGLONG waitMs;
  bool reads;
  BOOL result;  // on an idle port with a reply waiting
};

const QueryCase kCases[] = {
    {"GetVersion", "VER\r\n", 120, true, TRUE},
    {"GetDefInfo", "GETDEF\r\n", 480, true, TRUE},
    {"GetDeviceStatus", "MAINT\r\n", 600, true, TRUE},
    {"GetResolution", "RESOL\r\n", 120, true, TRUE},
    {"GetTime", "GETTM\r\n", 120, true, TRUE},
    {"GetPrinterStatus", "\x1bSTATUS\r\n", 120, true, TRUE},
    {"GetSelfDiagReport", "CHECK\r\n", 16080, true, TRUE},
    {"ReadMsg", "", 0, true, TRUE},
    {"TestMsg", "\r\n", 0, false, TRUE},
    {"GetDeviceID", "", 0, false, FALSE},
    {"GetParaInfo", "", 0, false, FALSE},
    {"GetSerialInfo", "", 0, false, FALSE},
    {"GetPageCounter", "\x1bGETPG\r\n", 120, true, TRUE},
    {"OpenTest", "", 0, false, TRUE},
};

void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class NamedQuery : public MonitorTest, public testing::WithParamInterface<QueryCase> {};

TEST_P(NamedQuery, OnAnIdlePortRunsInsideATemporaryDocument) {
  const QueryCase& c = GetParam();
  HANDLE h = openPort("USB001", "KV830 Queue");
  sim::queuePortReply("USB001", kReply);
  sim::clearPortCalls();
  std::string reply;
  DWORD returned = kSentinel;
  SetLastError(kSentinel);
  EXPECT_EQ(query(h, c.name, &reply, 256, &returned), c.result);
  EXPECT_EQ(returned, c.reads ? kReply.size() : 0u);
  if (c.reads) {
    EXPECT_EQ(reply, kReply);
  }
  if (!c.result) {
    EXPECT_EQ(GetLastError(), kSentinel) << "fails without an error code";
  }
  EXPECT_EQ(sim::sleptMs(), c.waitMs);

  // Names without port traffic (GetDeviceID and the like, OpenTest) open
  // and close the document and do nothing else.
  const bool traffic = c.reads || !c.command.empty();
  Names want = {"StartDocPort"};
  if (traffic) want.push_back("SetPortTimeOuts");
  if (!c.command.empty()) want.push_back("WritePort");
  if (c.reads) want.push_back("ReadPort");
  want.push_back("EndDocPort");
  EXPECT_EQ(sim::portCallNames(), want);

  auto calls = sim::portCalls();
  ASSERT_EQ(calls.size(), want.size());
  const sim::PortCall& start = calls[0];
  EXPECT_EQ(start.document, "GetLbxInfo");
  EXPECT_EQ(start.outputFile, "<null>");
  EXPECT_EQ(start.datatype, "RAW");
  EXPECT_EQ(start.jobId, 0u);
  EXPECT_EQ(start.level, 1u);
  EXPECT_EQ(start.printer, "KV830 Queue");
  size_t next = 1;
  if (traffic) {
    const COMMTIMEOUTS& t = calls[next++].timeouts;
    EXPECT_EQ(std::vector<DWORD>({t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                                  t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant}),
              std::vector<DWORD>({0, 0, 100, 0, 100}));
  }
  if (!c.command.empty()) {
    const sim::PortCall& write = calls[next++];
    EXPECT_EQ(std::string(write.data.begin(), write.data.end()), c.command);
  }
  if (c.reads) {
    const sim::PortCall& read = calls[next++];
    EXPECT_EQ(read.count, 256u);
    EXPECT_EQ(read.atMs - calls[1].atMs, c.waitMs);  // measured from the timeouts call
  }
  EXPECT_EQ(record(h).flags, 0u) << "the port is left as it was found";
}

TEST_P(NamedQuery, InsideARunningJobOpensNoDocumentOfItsOwn) {
  const QueryCase& c = GetParam();
  HANDLE h = openPort();
  ASSERT_TRUE(startJob(h));
  sim::queuePortReply("USB001", kReply);
  sim::clearPortCalls();
  EXPECT_EQ(query(h, c.name), c.result);
  Names want;
  if (c.reads || !c.command.empty()) want.push_back("SetPortTimeOuts");
  if (!c.command.empty()) want.push_back("WritePort");
  if (c.reads) want.push_back("ReadPort");
  EXPECT_EQ(sim::portCallNames(), want);
  EXPECT_EQ(record(h).flags, kDocumentOpen);
  EXPECT_TRUE(mon.pfnEndDocPort(h));
}

TEST_P(NamedQuery, ReadingQueriesRefuseANullOutputBufferBeforeAnyTraffic) {
  const QueryCase& c = GetParam();
  HANDLE h = openPort();
  sim::clearPortCalls();
  std::string name = c.name;
  DWORD returned = kSentinel;
  SetLastError(kSentinel);
  BOOL ok = mon.pfnGetPrinterDataFromPort(h, 0, name.data(), nullptr, 0, nullptr, 64, &returned);
  if (c.reads) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(sim::portCalls().empty());
  } else {
    EXPECT_EQ(ok, c.result);
  }
  EXPECT_EQ(returned, 0u);
}

INSTANTIATE_TEST_SUITE_P(AllPortQueries, NamedQuery, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<QueryCase>& i) { return std::string(i.param.name); });

TEST(QueryTable, HoldsTheFifteenNamesInCheckingOrder) {
  size_t count = 0;
  const Query* table = queryTable(&count);
  ASSERT_EQ(count, 15u);
  EXPECT_STREQ(table[0].name, "GetDriverID");
  EXPECT_FALSE(table[0].usesPort);
  for (size_t i = 1; i < count; ++i) {
    const QueryCase& c = kCases[i - 1];
    EXPECT_STREQ(table[i].name, c.name);
    EXPECT_EQ(std::string(table[i].command), c.command) << c.name;
    EXPECT_EQ(table[i].waitMs, c.waitMs) << c.name;
    EXPECT_EQ(table[i].readsReply, c.reads) << c.name;
    EXPECT_TRUE(table[i].usesPort) << c.name;
  }
}

using DriverIdTest = MonitorTest;

TEST_F(DriverIdTest, AnswersItselfWithoutPortTraffic) {
  HANDLE h = openPort();
  sim::clearPortCalls();
  std::string reply;
  DWORD returned = 0;
  SetLastError(kSentinel);
  EXPECT_TRUE(query(h, "GetDriverID", &reply, 64, &returned));
  EXPECT_EQ(returned, 13u);
  EXPECT_EQ(reply, "VarodynDriver");
  EXPECT_TRUE(sim::portCalls().empty());
  EXPECT_EQ(sim::sleptMs(), 0u);
}

TEST_F(DriverIdTest, BufferProbesAroundTextAndTerminator) {
  HANDLE h = openPort();
  CHAR name[] = "GetDriverID";
  struct {
    DWORD size;
    bool nullBuffer;
    BOOL ok;
    DWORD returned;
  } cases[] = {{13, false, FALSE, 14}, {14, false, TRUE, 13}, {15, false, TRUE, 13}, {0, false, FALSE, 14},
               {64, true, FALSE, 14}};
  for (auto& c : cases) {
    CHAR out[32];
    FillMemory(out, sizeof out, 'x');
    DWORD returned = kSentinel;
    SetLastError(kSentinel);
    BOOL ok = mon.pfnGetPrinterDataFromPort(h, 0, name, nullptr, 0, c.nullBuffer ? nullptr : out, c.size, &returned);
    EXPECT_EQ(ok, c.ok) << c.size;
    EXPECT_EQ(returned, c.returned) << c.size;
    if (ok) {
      EXPECT_EQ(std::string(out, 14), "VarodynDriver"s + '\0');
      EXPECT_EQ(out[14], 'x') << "nothing written past the terminator";
    } else {
      EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER)) << c.size;
      EXPECT_EQ(out[0], 'x') << "nothing copied when it does not fit";
    }
  }
  EXPECT_TRUE(sim::portCallNames() == Names{"OpenPort"});
}

using QueryNameTest = MonitorTest;

TEST_F(QueryNameTest, UnknownNamesFailWithoutTraffic) {
  HANDLE h = openPort();
  sim::clearPortCalls();
  std::string unterminated(200, 'G');  // no terminator within the bound
  for (std::string name : {"getversion"s, "GETVERSION"s, "GetVersion "s, " GetVersion"s, "GetVersio"s, ""s,
                           "GetDriverId"s, unterminated}) {
    std::vector<CHAR> buf(name.begin(), name.end());
    if (name != unterminated) buf.push_back(0);
    CHAR out[16];
    DWORD returned = kSentinel;
    SetLastError(kSentinel);
    EXPECT_FALSE(mon.pfnGetPrinterDataFromPort(h, 0, buf.data(), nullptr, 0, out, sizeof out, &returned)) << name;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << name;
    EXPECT_EQ(returned, 0u) << name;
  }
  SetLastError(kSentinel);
  DWORD returned = kSentinel;
  CHAR out[16];
  EXPECT_FALSE(mon.pfnGetPrinterDataFromPort(h, 0, nullptr, nullptr, 0, out, sizeof out, &returned));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  CHAR name[] = "GetVersion";
  SetLastError(kSentinel);
  EXPECT_FALSE(mon.pfnGetPrinterDataFromPort(h, 0, name, nullptr, 0, out, sizeof out, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(sim::portCalls().empty());
}

using ControlIdTest = MonitorTest;

TEST_F(ControlIdTest, NonZeroIdGoesToThePortMonitorUnchanged) {
  HANDLE h = openPort();
  sim::setPortMonitorData("PMDATA", TRUE);
  sim::clearPortCalls();
  CHAR name[] = "GetVersion";
  CHAR in[] = "in";
  CHAR out[4];
  DWORD returned = kSentinel;
  EXPECT_TRUE(mon.pfnGetPrinterDataFromPort(h, 1, name, in, 2, out, sizeof out, &returned));
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(std::string(out, 4), "PMDA");
  auto calls = sim::portCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].api, "GetPrinterDataFromPort");
  EXPECT_EQ(calls[0].controlId, 1u);
  EXPECT_EQ(calls[0].valueName, "GetVersion");
  EXPECT_EQ(calls[0].count, 4u);

  sim::setPortMonitorData("", FALSE);
  SetLastError(kSentinel);
  EXPECT_FALSE(mon.pfnGetPrinterDataFromPort(h, 1, name, in, 2, out, sizeof out, &returned));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));  // the port monitor's own error
}

TEST_F(ControlIdTest, WithoutThePortMonitorEntryItIsInvalid) {
  sim::PortMonitorOptions options;
  options.getPrinterDataFromPort = false;
  sim::fillPortMonitorTable(pm, options);
  HANDLE h = openPort();
  sim::clearPortCalls();
  CHAR name[] = "GetVersion";
  CHAR out[4];
  DWORD returned = kSentinel;
  SetLastError(kSentinel);
  EXPECT_FALSE(mon.pfnGetPrinterDataFromPort(h, 1, name, nullptr, 0, out, sizeof out, &returned));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(sim::portCalls().empty());
}

using QueryFailureTest = MonitorTest;

TEST_F(QueryFailureTest, OpenTestReportsWhetherADocumentCouldBeOpened) {
  HANDLE h = openPort();
  SetLastError(kSentinel);
  EXPECT_TRUE(query(h, "OpenTest"));
  sim::failNth(sim::api::PortMonitorStartDocPort, 1, ERROR_NOT_READY);
  sim::clearPortCalls();
  SetLastError(kSentinel);
  DWORD returned = kSentinel;
  EXPECT_FALSE(query(h, "OpenTest", nullptr, 16, &returned));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(sim::portCallNames(), Names{"StartDocPort"});
}

TEST_F(QueryFailureTest, TemporaryDocumentFailureSendsNothing) {
  HANDLE h = openPort();
  sim::failNth(sim::api::PortMonitorStartDocPort, 1, ERROR_DEVICE_NOT_CONNECTED);
  sim::clearPortCalls();
  SetLastError(kSentinel);
  EXPECT_FALSE(query(h, "GetVersion"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(sim::portCallNames(), Names{"StartDocPort"});
  EXPECT_EQ(sim::sleptMs(), 0u);
}

TEST_F(QueryFailureTest, WriteFailureOrShortWriteReadsNothingAndStillClosesTheDocument) {
  HANDLE h = openPort();
  struct {
    sim::Api fault;
    DWORD error;
    DWORD want;
  } cases[] = {{sim::api::PortMonitorWritePort, ERROR_DEVICE_NOT_CONNECTED, ERROR_DEVICE_NOT_CONNECTED},
               {sim::api::PortMonitorWritePortShort, 0, ERROR_WRITE_FAULT}};
  for (auto& c : cases) {
    sim::failNth(c.fault, 1, c.error);
    sim::failNth(sim::api::PortMonitorEndDocPort, 1, ERROR_GEN_FAILURE);
    sim::clearPortCalls();
    SetLastError(kSentinel);
    EXPECT_FALSE(query(h, "GetVersion")) << c.fault.name;
    EXPECT_EQ(GetLastError(), c.want) << c.fault.name << ": the write's error survives closing the document";
    EXPECT_EQ(sim::portCallNames(), (Names{"StartDocPort", "SetPortTimeOuts", "WritePort", "EndDocPort"})) << c.fault.name;
  }
}

TEST_F(QueryFailureTest, MissingOrFailingTimeoutsDoNotStopTheQuery) {
  sim::PortMonitorOptions options;
  options.setPortTimeOuts = false;
  sim::fillPortMonitorTable(pm, options);
  HANDLE h = openPort("USB001");
  sim::queuePortReply("USB001", "8\r\n");
  sim::clearPortCalls();
  std::string reply;
  EXPECT_TRUE(query(h, "GetResolution", &reply));
  EXPECT_EQ(reply, "8\r\n");
  EXPECT_EQ(sim::portCallNames(), (Names{"StartDocPort", "WritePort", "ReadPort", "EndDocPort"}));

  sim::fillPortMonitorTable(pm);
  HANDLE other = openPort("USB002");
  sim::failNth(sim::api::PortMonitorSetPortTimeOuts, 1, ERROR_INVALID_FUNCTION);
  sim::queuePortReply("USB002", "12\r\n");
  EXPECT_TRUE(query(other, "GetResolution", &reply));
  EXPECT_EQ(reply, "12\r\n");
}

TEST_F(QueryFailureTest, ReadFailureAndEmptyReplyComeBackAsThePortMonitorReportsThem) {
  HANDLE h = openPort();
  sim::failNth(sim::api::PortMonitorReadPort, 1, ERROR_READ_FAULT);
  SetLastError(kSentinel);
  DWORD returned = kSentinel;
  EXPECT_FALSE(query(h, "GetTime", nullptr, 32, &returned));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_READ_FAULT));
  EXPECT_EQ(returned, 0u);
  // Nothing waiting: a successful call with no bytes.
  EXPECT_TRUE(query(h, "GetTime", nullptr, 32, &returned));
  EXPECT_EQ(returned, 0u);
}

TEST_F(QueryFailureTest, ReplyIsCutToTheOutputSizeByOneRead) {
  HANDLE h = openPort();
  const std::string reply = "12\r\n";
  for (DWORD size : {DWORD(reply.size() - 1), DWORD(reply.size()), DWORD(reply.size() + 1)}) {
    sim::queuePortReply("USB001", reply);
    std::string got;
    DWORD returned = kSentinel;
    EXPECT_TRUE(query(h, "GetResolution", &got, size, &returned)) << size;
    EXPECT_EQ(got, reply.substr(0, size)) << size;
    std::string rest;
    EXPECT_TRUE(query(h, "ReadMsg", &rest)) << size;  // nothing is collected beyond one read
    EXPECT_EQ(got + rest, reply) << size;
  }
}

// The port connected to the emulated printer: replies are the printer's,
// cut to the caller's buffer by one read.
using EmulatedPrinterTest = MonitorTest;

TEST_F(EmulatedPrinterTest, RepliesComeFromThePrinterAndAreCutToTheBuffer) {
  emu::EmulatedPrinter printer(emu::PrinterModel::KV830);
  sim::connectPortTo("USB001", printer);
  HANDLE h = openPort();
  std::string reply;
  EXPECT_TRUE(query(h, "GetResolution", &reply));
  EXPECT_EQ(reply, "12\r\n");
  EXPECT_TRUE(query(h, "GetVersion", &reply, 7));
  EXPECT_EQ(reply, "KV830\r\n");
  // The rest stays with the printer; ReadMsg picks it up.
  EXPECT_TRUE(query(h, "ReadMsg", &reply));
  EXPECT_EQ(reply, "KV830 V2.11\r\nIPL 1.02\r\n");
  EXPECT_TRUE(query(h, "GetSelfDiagReport", &reply));
  EXPECT_EQ(reply.substr(0, 12), "SELF CHECK\r\n");
  EXPECT_EQ(sim::sleptMs(), 120u + 120u + 16080u);
  EXPECT_TRUE(query(h, "TestMsg"));
  EXPECT_EQ(printer.commands(), (Names{"RESOL", "VER", "CHECK"}));
  EXPECT_TRUE(printer.jobBytes() == std::vector<uint8_t>({'\r', '\n'}));  // an empty line is job data to it
}

}  // namespace
}  // namespace trmon
