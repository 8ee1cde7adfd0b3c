// Tests of the monitor's entry, port list and pass-through port functions.
#include <thread>

#include "monitor_fixture.h"

namespace trmon {
namespace {

using Names = std::vector<std::string>;

TEST(MonitorEntry, InitializeRejectsNullArgumentsAndFillsThirteenSlots) {
  sim::reset();
  DllEntryPoint(nullptr, DLL_PROCESS_ATTACH, nullptr);
  CHAR root[] = "Monitors\\TRMON";
  PortFunctionTable table;
  FillMemory(&table, sizeof table, 0xAB);

  SetLastError(kSentinel);
  EXPECT_FALSE(InitializeMonitorEx(nullptr, &table));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  SetLastError(kSentinel);
  EXPECT_FALSE(InitializeMonitorEx(root, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

  std::string overLong(kMaxRegistryRootChars + 1, 'R');
  SetLastError(kSentinel);
  EXPECT_FALSE(InitializeMonitorEx(overLong.data(), &table));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

  // The copy of the registry root cannot be made: nothing is filled.
  sim::failNth(sim::api::HeapAlloc, 1, ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  EXPECT_FALSE(InitializeMonitorEx(root, &table));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(reinterpret_cast<BYTE*>(&table)[0], 0xAB);

  // The caller's buffer is one slot longer; the slot after the 13th stays.
  void* slots[14];
  FillMemory(slots, sizeof slots, 0xAB);
  void* const untouched = slots[13];
  ASSERT_TRUE(InitializeMonitorEx(root, reinterpret_cast<LPPORTFUNCTIONTABLE>(slots)));
  for (int i = 0; i < 13; ++i) {
    bool provided = !(i == 0 || i == 1 || i == 8 || i == 9 || i == 10 || i == 12);
    EXPECT_EQ(slots[i] != nullptr, provided) << "slot " << i;
  }
  EXPECT_EQ(slots[13], untouched);
}

TEST(MonitorEntry, EntryPointAnswersTrueAndStopsThreadNotificationsOnAttach) {
  sim::reset();
  int a = 0, b = 0;
  auto attached = reinterpret_cast<HINSTANCE>(&a), other = reinterpret_cast<HINSTANCE>(&b);
  for (DWORD reason : {DWORD(DLL_PROCESS_DETACH), DWORD(DLL_THREAD_ATTACH), DWORD(DLL_THREAD_DETACH)})
    EXPECT_TRUE(DllEntryPoint(other, reason, nullptr)) << reason;
  EXPECT_FALSE(sim::threadLibraryCallsDisabled(other));
  EXPECT_TRUE(DllEntryPoint(attached, DLL_PROCESS_ATTACH, nullptr));
  EXPECT_TRUE(sim::threadLibraryCallsDisabled(attached));
}

using OpenPortTest = MonitorTest;

TEST_F(OpenPortTest, SuccessLeavesUnknownPortErrorAndCopiesNames) {
  SetLastError(kSentinel);
  HANDLE h = openPort("USB001", "KV830 Queue");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_UNKNOWN_PORT));
  MonitorPort& r = record(h);
  EXPECT_EQ(r.signature, kPortSignature);
  EXPECT_EQ(r.allocationSize, sizeof(MonitorPort) + 7);
  EXPECT_STREQ(r.portName, "USB001");
  EXPECT_EQ(static_cast<void*>(r.portName), static_cast<void*>(&r + 1));
  EXPECT_STREQ(r.printerName, "KV830 Queue");
  EXPECT_EQ(r.flags, 0u);
  EXPECT_EQ(sim::portCallNames(), Names{"OpenPort"});
  EXPECT_EQ(sim::portCalls()[0].port, "USB001");
  EXPECT_EQ(sim::openPorts(), 1u);
}

TEST_F(OpenPortTest, SameNameInOtherLetterCaseIsRefusedAndFirstRecordKept) {
  HANDLE first = openPort("USB001");
  CHAR again[] = "usb001";
  HANDLE second = reinterpret_cast<HANDLE>(1);
  SetLastError(kSentinel);
  EXPECT_FALSE(mon.pfnOpenPortEx(again, nullptr, &second, &pm));
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(listedPorts(), 1u);
  EXPECT_EQ(sim::portCallNames(), Names{"OpenPort"});
  ASSERT_TRUE(startJob(first));
  EXPECT_TRUE(mon.pfnEndDocPort(first));
}

TEST_F(OpenPortTest, BadArgumentsFailWithInvalidParameterAndLeaveNoRecord) {
  std::string longName(kMaxPortNameChars + 1, 'P');
  CHAR empty[] = "";
  CHAR name[] = "USB002";
  struct Case {
    const char* what;
    LPSTR port;
    bool outHandle;
    bool table;
  } cases[] = {
      {"null port name", nullptr, true, true},    {"null out handle", name, false, true},
      {"empty port name", empty, true, true},     {"null port monitor table", name, true, false},
      {"over-long port name", longName.data(), true, true},
  };
  for (const Case& c : cases) {
    HANDLE h = reinterpret_cast<HANDLE>(1);
    SetLastError(kSentinel);
    EXPECT_FALSE(mon.pfnOpenPortEx(c.port, name, c.outHandle ? &h : nullptr, c.table ? &pm : nullptr)) << c.what;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
    if (c.outHandle && c.port) {
      EXPECT_EQ(h, nullptr) << c.what;
    }
    EXPECT_EQ(listedPorts(), 0u) << c.what;
  }
  EXPECT_TRUE(sim::portCalls().empty());
  // The longest name accepted.
  std::string longest(kMaxPortNameChars, 'P');
  EXPECT_NE(openPort(longest.c_str()), nullptr);
}

TEST_F(OpenPortTest, PortMonitorOrAllocationFailureLeavesNoRecord) {
  CHAR name[] = "USB001";
  HANDLE h = reinterpret_cast<HANDLE>(1);
  sim::failNth(sim::api::PortMonitorOpenPort, 1, ERROR_ACCESS_DENIED);
  SetLastError(kSentinel);
  EXPECT_FALSE(mon.pfnOpenPortEx(name, nullptr, &h, &pm));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(listedPorts(), 0u);

  sim::failNth(sim::api::HeapAlloc, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(mon.pfnOpenPortEx(name, nullptr, &h, &pm));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(listedPorts(), 0u);
  // The name is free again afterwards.
  EXPECT_NE(openPort("USB001"), nullptr);
}

TEST_F(OpenPortTest, PrinterNameIsCutToItsField) {
  std::string longPrinter(600, 'Q');
  HANDLE h = openPort("USB001", longPrinter.c_str());
  EXPECT_EQ(lstrlenA(record(h).printerName), int(kPrinterNameChars) - 1);
  EXPECT_EQ(record(h).documentName[0], 0);
}

TEST_F(OpenPortTest, ConcurrentOpensListDistinctPortsAndOneRecordPerName) {
  std::vector<std::thread> threads;
  std::vector<HANDLE> handles(40);
  std::vector<HANDLE> shared(4);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) {
        std::string name = "USB" + std::to_string(t * 10 + i);
        mon.pfnOpenPortEx(name.data(), nullptr, &handles[t * 10 + i], &pm);
        if (i == 5) {
          std::string same = t % 2 ? "SHARED" : "shared";
          mon.pfnOpenPortEx(same.data(), nullptr, &shared[t], &pm);
        }
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(listedPorts(), 41u);
  int winners = 0;
  for (HANDLE h : shared)
    if (h) {
      ++winners;
      EXPECT_TRUE(mon.pfnClosePort(h));
    }
  EXPECT_EQ(winners, 1);
  for (HANDLE h : handles) EXPECT_TRUE(mon.pfnClosePort(h));
  EXPECT_EQ(listedPorts(), 0u);
}

// Every port function rejects a handle that is not an open record.
using ForeignHandleTest = MonitorTest;

TEST_F(ForeignHandleTest, EveryPortFunctionRejectsIt) {
  struct Fake {
    DWORD signature;
    BYTE rest[sizeof(MonitorPort)];
  };
  Fake wrongSignature{0x8950, {}};
  Fake lookalike{kPortSignature, {}};  // right value, but no record of ours
  HANDLE closed = openPort("USB009");
  ASSERT_TRUE(mon.pfnClosePort(closed));
  sim::clearPortCalls();

  HANDLE handles[] = {nullptr, &wrongSignature, &lookalike, closed};
  BYTE buf[8] = {};
  DWORD n = 0;
  CHAR name[] = "GetDriverID";
  CHAR printer[] = "KV830 Queue";
  struct Call {
    const char* api;
    std::function<BOOL(HANDLE)> call;
  } calls[] = {
      {"StartDocPort", [&](HANDLE h) { return mon.pfnStartDocPort(h, printer, 1, 1, nullptr); }},
      {"WritePort", [&](HANDLE h) { return mon.pfnWritePort(h, buf, 8, &n); }},
      {"ReadPort", [&](HANDLE h) { return mon.pfnReadPort(h, buf, 8, &n); }},
      {"EndDocPort", [&](HANDLE h) { return mon.pfnEndDocPort(h); }},
      {"ClosePort", [&](HANDLE h) { return mon.pfnClosePort(h); }},
      {"GetPrinterDataFromPort",
       [&](HANDLE h) { return mon.pfnGetPrinterDataFromPort(h, 0, name, nullptr, 0, (LPSTR)buf, 8, &n); }},
  };
  for (const Call& c : calls) {
    for (HANDLE h : handles) {
      SetLastError(kSentinel);
      EXPECT_FALSE(c.call(h)) << c.api;
      EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.api;
    }
  }
  EXPECT_TRUE(sim::portCalls().empty());
  EXPECT_EQ(wrongSignature.signature, 0x8950u);
}

using DocumentTest = MonitorTest;

TEST_F(DocumentTest, StartDocPortPassesTheCallersArgumentsAndOpensThePrinter) {
  HANDLE h = openPort();
  sim::clearPortCalls();
  SetLastError(kSentinel);
  ASSERT_TRUE(startJob(h, 42, "label.prn"));
  MonitorPort& r = record(h);
  EXPECT_EQ(r.flags, kDocumentOpen);
  EXPECT_EQ(r.jobId, 42u);
  EXPECT_STREQ(r.documentName, "label.prn");
  EXPECT_NE(r.printer, nullptr);
  EXPECT_EQ(sim::openPrinterHandles(), 1u);
  auto calls = sim::portCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].api, "StartDocPort");
  EXPECT_EQ(calls[0].printer, "KV830 Queue");
  EXPECT_EQ(calls[0].jobId, 42u);
  EXPECT_EQ(calls[0].level, 1u);
  EXPECT_EQ(calls[0].document, "label.prn");
  ASSERT_TRUE(mon.pfnEndDocPort(h));
  EXPECT_EQ(sim::openPrinterHandles(), 0u);
  EXPECT_EQ(r.printer, nullptr);
}

TEST_F(DocumentTest, DocumentNamesByLevelAndLength) {
  HANDLE h = openPort();
  std::string longName(300, 'D');
  CHAR printer[] = "KV830 Queue";
  DOC_INFO_2A info2{longName.data(), nullptr, nullptr, 0, 0};
  ASSERT_TRUE(mon.pfnStartDocPort(h, printer, 0, 2, reinterpret_cast<LPBYTE>(&info2)));
  EXPECT_EQ(lstrlenA(record(h).documentName), int(kDocumentNameChars) - 1);  // terminated inside its field
  EXPECT_EQ(record(h).printer, nullptr);  // job id 0 opens no printer handle
  ASSERT_TRUE(mon.pfnEndDocPort(h));

  DOC_INFO_1A info1{longName.data(), nullptr, nullptr};
  ASSERT_TRUE(mon.pfnStartDocPort(h, printer, 0, 3, reinterpret_cast<LPBYTE>(&info1)));
  EXPECT_EQ(record(h).documentName[0], 0);  // other levels store no name
  ASSERT_TRUE(mon.pfnEndDocPort(h));
}

TEST_F(DocumentTest, SecondStartDocPortFailsAndKeepsTheRunningJob) {
  HANDLE h = openPort();
  ASSERT_TRUE(startJob(h, 5, "first"));
  HANDLE printer = record(h).printer;
  SetLastError(kSentinel);
  EXPECT_FALSE(startJob(h, 6, "second"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(record(h).jobId, 5u);
  EXPECT_STREQ(record(h).documentName, "first");
  EXPECT_EQ(record(h).printer, printer);
  EXPECT_EQ(sim::openPrinterHandles(), 1u);
  BYTE data[] = "JOBE\r\n";
  DWORD n = 0;
  EXPECT_TRUE(mon.pfnWritePort(h, data, 6, &n));
  EXPECT_TRUE(mon.pfnEndDocPort(h));
}

TEST_F(DocumentTest, PortMonitorStartFailureLeavesNoDocumentButEndDocPortClosesThePrinter) {
  HANDLE h = openPort();
  sim::failNth(sim::api::PortMonitorStartDocPort, 1, ERROR_NOT_READY);
  SetLastError(kSentinel);
  EXPECT_FALSE(startJob(h, 9));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
  EXPECT_EQ(record(h).flags, 0u);
  EXPECT_EQ(sim::openPrinterHandles(), 1u);
  sim::clearPortCalls();
  SetLastError(kSentinel);
  EXPECT_FALSE(mon.pfnEndDocPort(h));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(sim::openPrinterHandles(), 0u);
  EXPECT_TRUE(sim::portCalls().empty());  // no document: the port monitor is not asked
}

TEST_F(DocumentTest, EndDocPortKeepsTheLastErrorAcrossClosingThePrinter) {
  HANDLE h = openPort();
  ASSERT_TRUE(startJob(h, 3));
  // Close the job's printer handle behind the monitor's back, so its own
  // ClosePrinter fails with ERROR_INVALID_HANDLE.
  ASSERT_TRUE(ClosePrinter(record(h).printer));
  sim::failNth(sim::api::PortMonitorEndDocPort, 1, ERROR_WRITE_FAULT);
  SetLastError(kSentinel);
  EXPECT_TRUE(mon.pfnEndDocPort(h));  // the port monitor's failure is ignored
  EXPECT_EQ(GetLastError(), DWORD(ERROR_WRITE_FAULT));
  EXPECT_EQ(record(h).printer, nullptr);
  EXPECT_EQ(record(h).flags, 0u);
}

using TransferTest = MonitorTest;

TEST_F(TransferTest, WriteAndReadRefuseBadCallsWithoutReachingThePortMonitor) {
  HANDLE h = openPort();
  BYTE buf[16] = "DATA";
  DWORD n = kSentinel;
  struct Case {
    const char* what;
    bool documentOpen;
    LPBYTE buffer;
    DWORD count;
    LPDWORD done;
  } cases[] = {
      {"before StartDocPort", false, buf, 4, &n},
      {"count 0 in a document", true, buf, 0, &n},
      {"null buffer", true, nullptr, 4, &n},
      {"null out count", true, buf, 4, nullptr},
  };
  for (const Case& c : cases) {
    if (c.documentOpen) {
      ASSERT_TRUE(startJob(h));
    }
    sim::clearPortCalls();
    for (auto fn : {mon.pfnWritePort, mon.pfnReadPort}) {
      SetLastError(kSentinel);
      EXPECT_FALSE(fn(h, c.buffer, c.count, c.done)) << c.what;
      EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
    }
    EXPECT_TRUE(sim::portCalls().empty()) << c.what;
    if (c.documentOpen) {
      ASSERT_TRUE(mon.pfnEndDocPort(h));
    }
  }
}

TEST_F(TransferTest, BytesPassUnchangedAndResultsComeBackAsTheyAre) {
  HANDLE h = openPort();
  ASSERT_TRUE(startJob(h));
  sim::queuePortReply("USB001", "OK\r\n");
  sim::clearPortCalls();
  BYTE data[] = {'G', 0, 0x1b, 0xff, '\r', '\n'};
  DWORD n = 0;
  ASSERT_TRUE(mon.pfnWritePort(h, data, sizeof data, &n));
  EXPECT_EQ(n, sizeof data);
  BYTE in[3];
  ASSERT_TRUE(mon.pfnReadPort(h, in, sizeof in, &n));
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::string(in, in + 3), "OK\r");

  sim::failNth(sim::api::PortMonitorWritePort, 1, ERROR_DEVICE_NOT_CONNECTED);
  SetLastError(kSentinel);
  EXPECT_FALSE(mon.pfnWritePort(h, data, sizeof data, &n));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DEVICE_NOT_CONNECTED));
  sim::failNth(sim::api::PortMonitorWritePortShort, 1, 0);
  EXPECT_TRUE(mon.pfnWritePort(h, data, sizeof data, &n));
  EXPECT_EQ(n, sizeof data - 1);  // a short count is the port monitor's to report

  auto calls = sim::portCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].data, std::vector<BYTE>(data, data + sizeof data));
  EXPECT_EQ(calls[1].count, 3u);
  EXPECT_TRUE(mon.pfnEndDocPort(h));
}

using ClosePortTest = MonitorTest;

TEST_F(ClosePortTest, ClosesThePortMonitorPortAndRemovesTheRecord) {
  HANDLE a = openPort("USB001");
  HANDLE b = openPort("USB002");
  HANDLE c = openPort("USB003");
  ASSERT_TRUE(startJob(b));
  sim::failNth(sim::api::PortMonitorClosePort, 1, ERROR_GEN_FAILURE);
  SetLastError(kSentinel);
  EXPECT_TRUE(mon.pfnClosePort(b));  // the port monitor's failure is ignored
  EXPECT_EQ(listedPorts(), 2u);
  EXPECT_EQ(sim::openPorts(), 2u);
  EXPECT_EQ(sim::openPrinterHandles(), 0u);  // the unfinished job's handle went with it
  EXPECT_EQ(validPort(b), nullptr);
  EXPECT_EQ(validPort(a), a);
  EXPECT_EQ(validPort(c), c);
  // The name can be opened again.
  EXPECT_NE(openPort("USB002"), nullptr);
}

}  // namespace
}  // namespace trmon
