// Each call the monitor makes to the port monitor failing in turn, over a
// port's whole life: open, a print job with a query inside it, a query on
// the idle port, close. The monitor call that passed the failing call on
// reports the failure (except where it ignores the port monitor's result:
// ending a document, closing), nothing crashes or stays open, nothing
// leaks, and
// the same life runs cleanly afterwards on the same name.
#include <cstring>
#include <string>
#include <vector>

#include "monitor_fixture.h"

namespace trmon {
namespace {

struct PortApi {
  const char* call;  // as sim::portCallNames() lists it
  sim::Api api;
};

const PortApi kPortApis[] = {
    {"OpenPort", sim::api::PortMonitorOpenPort},
    {"StartDocPort", sim::api::PortMonitorStartDocPort},
    {"WritePort", sim::api::PortMonitorWritePort},
    {"ReadPort", sim::api::PortMonitorReadPort},
    {"EndDocPort", sim::api::PortMonitorEndDocPort},
    {"ClosePort", sim::api::PortMonitorClosePort},
    {"SetPortTimeOuts", sim::api::PortMonitorSetPortTimeOuts},
    {"GetPrinterDataFromPort", sim::api::PortMonitorGetPrinterDataFromPort},
};

const PortApi* apiOf(const std::string& call) {
  for (const PortApi& a : kPortApis)
    if (call == a.call) return &a;
  return nullptr;
}

// The monitor calls of the life, in order; `direct` names the port-monitor
// call each one passes straight on (null for the queries).
struct Step {
  const char* name;
  const char* direct;
};
const Step kLife[] = {{"OpenPortEx", "OpenPort"},   {"StartDocPort", "StartDocPort"}, {"WritePort", "WritePort"},
                      {"GetVersion in the job", nullptr}, {"WritePort", "WritePort"}, {"EndDocPort", "EndDocPort"},
                      {"GetVersion on the idle port", nullptr}, {"ClosePort", "ClosePort"}};

class PortLife : public MonitorTest {
 public:
  void TestBody() override {}

  // Runs the life once; the result of each step, and in *failedStep the
  // step during which the port monitor saw its `failAt`-th call (0: none).
  std::vector<BOOL> live(size_t failAt = 0, size_t* failedStep = nullptr) {
    std::vector<BOOL> results;
    HANDLE port = nullptr;
    CHAR name[] = "USB001";
    CHAR printer[] = "KV830 Queue";
    const size_t callsBefore = sim::portCalls().size();
    for (size_t i = 0; i < std::size(kLife); ++i) {
      BOOL ok = FALSE;
      switch (i) {
        case 0:
          ok = mon.pfnOpenPortEx(name, printer, &port, &pm);
          break;
        case 1:
          ok = startJob(port);
          break;
        case 2:
        case 4: {
          std::string bytes = i == 2 ? "DEF PW=832\r\n" : "JOBE\r\n";
          DWORD written = 0;
          ok = mon.pfnWritePort(port, reinterpret_cast<LPBYTE>(bytes.data()), DWORD(bytes.size()), &written);
          break;
        }
        case 3:
        case 6:
          sim::queuePortReply("USB001", "VER 1.02\r\n");
          ok = query(port, "GetVersion");
          break;
        case 5:
          ok = mon.pfnEndDocPort(port);
          break;
        case 7:
          ok = mon.pfnClosePort(port);
          break;
      }
      results.push_back(ok);
      if (failedStep && failAt && *failedStep == 0 && sim::portCalls().size() - callsBefore >= failAt)
        *failedStep = i + 1;
    }
    return results;
  }

  // The port-monitor calls of a clean life, in order.
  std::vector<std::string> calls() {
    SetUp();
    sim::clearPortCalls();
    live();
    std::vector<std::string> names = sim::portCallNames();
    TearDown();
    sim::reset();
    return names;
  }
};

struct SweepCase {
  size_t position;  // the failing call among all port-monitor calls, from 1
  std::string call;
  int nth;  // the failing call among the calls of its kind
};

std::vector<SweepCase> sweepCases() {
  std::vector<SweepCase> cases;
  const std::vector<std::string> names = PortLife().calls();
  for (size_t i = 0; i < names.size(); ++i) {
    if (!apiOf(names[i])) continue;
    int nth = 0;
    for (size_t j = 0; j <= i; ++j) nth += names[j] == names[i] ? 1 : 0;
    cases.push_back({i + 1, names[i], nth});
  }
  return cases;
}

class PortCallSweep : public PortLife, public ::testing::WithParamInterface<SweepCase> {};

TEST_P(PortCallSweep, FailureIsReportedWhereItHappensAndTheNextLifeIsClean) {
  const SweepCase& c = GetParam();
  sim::clearPortCalls();
  sim::failNth(apiOf(c.call)->api, c.nth, ERROR_GEN_FAILURE);
  size_t failedStep = 0;
  const std::vector<BOOL> results = live(c.position, &failedStep);
  ASSERT_GT(failedStep, 0u);
  const Step& step = kLife[failedStep - 1];
  // Ending the document and closing the port ignore the port monitor's
  // result: the monitor's document ends and its record goes all the same.
  if (step.direct && c.call == step.direct) {
    const bool ignored = c.call == "EndDocPort" || c.call == "ClosePort";
    EXPECT_EQ(results[failedStep - 1] != FALSE, ignored) << step.name;
  }
  EXPECT_EQ(listedPorts(), 0u);
  EXPECT_EQ(sim::openPrinterHandles(), 0u);
  EXPECT_EQ(sim::openPorts(), 0u);

  sim::clearFaults();
  const std::vector<BOOL> again = live();
  for (size_t i = 0; i < again.size(); ++i) EXPECT_TRUE(again[i]) << kLife[i].name;
}

INSTANTIATE_TEST_SUITE_P(EveryCall, PortCallSweep, ::testing::ValuesIn(sweepCases()), [](const auto& info) {
  return info.param.call + std::to_string(info.param.nth) + "AtCall" + std::to_string(info.param.position);
});

}  // namespace
}  // namespace trmon
