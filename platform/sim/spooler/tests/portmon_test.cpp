// Tests of the simulated port monitor: call records, scripted faults,
// canned replies and a connected device.
#include <gtest/gtest.h>

#include "sim/portmon.h"
#include "sim/world.h"

namespace {

// A port function table with the member names the fill helper expects.
struct Table {
  BOOL(WINAPI* pfnEnumPorts)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
  BOOL(WINAPI* pfnOpenPort)(LPSTR, PHANDLE);
  void* pfnOpenPortEx;
  BOOL(WINAPI* pfnStartDocPort)(HANDLE, LPSTR, DWORD, DWORD, LPBYTE);
  BOOL(WINAPI* pfnWritePort)(HANDLE, LPBYTE, DWORD, LPDWORD);
  BOOL(WINAPI* pfnReadPort)(HANDLE, LPBYTE, DWORD, LPDWORD);
  BOOL(WINAPI* pfnEndDocPort)(HANDLE);
  BOOL(WINAPI* pfnClosePort)(HANDLE);
  void* pfnAddPort;
  void* pfnConfigurePort;
  void* pfnDeletePort;
  BOOL(WINAPI* pfnGetPrinterDataFromPort)(HANDLE, DWORD, LPSTR, LPSTR, DWORD, LPSTR, DWORD, LPDWORD);
  BOOL(WINAPI* pfnSetPortTimeOuts)(HANDLE, LPCOMMTIMEOUTS, DWORD);
};

// Stands in for a device: keeps what it is sent and answers "ACK".
struct EchoDevice {
  std::string got;
  std::string out = "ACK";
  void hostWrite(const uint8_t* d, size_t n) { got.append(reinterpret_cast<const char*>(d), n); }
  size_t hostRead(uint8_t* o, size_t cap) {
    size_t n = std::min(cap, out.size());
    std::memcpy(o, out.data(), n);
    out.erase(0, n);
    return n;
  }
};

class PortMonitor : public testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    sim::fillPortMonitorTable(t);
    CHAR name[] = "USB001";
    ASSERT_TRUE(t.pfnOpenPort(name, &port));
  }
  Table t{};
  HANDLE port = nullptr;
};

TEST_F(PortMonitor, FillLeavesTheSlotsItDoesNotProvideNull) {
  EXPECT_EQ(t.pfnEnumPorts, nullptr);
  EXPECT_EQ(t.pfnOpenPortEx, nullptr);
  EXPECT_EQ(t.pfnAddPort, nullptr);
  EXPECT_NE(t.pfnSetPortTimeOuts, nullptr);
  sim::PortMonitorOptions o;
  o.setPortTimeOuts = false;
  o.getPrinterDataFromPort = false;
  Table bare{};
  sim::fillPortMonitorTable(bare, o);
  EXPECT_EQ(bare.pfnSetPortTimeOuts, nullptr);
  EXPECT_EQ(bare.pfnGetPrinterDataFromPort, nullptr);
  EXPECT_NE(bare.pfnWritePort, nullptr);
}

TEST_F(PortMonitor, RecordsCallsWithTheirArgumentsAndClock) {
  CHAR printer[] = "Queue";
  CHAR doc[] = "GetLbxInfo";
  CHAR type[] = "RAW";
  DOC_INFO_1A info{doc, nullptr, type};
  ASSERT_TRUE(t.pfnStartDocPort(port, printer, 0, 1, reinterpret_cast<LPBYTE>(&info)));
  COMMTIMEOUTS to{0, 0, 100, 0, 100};
  ASSERT_TRUE(t.pfnSetPortTimeOuts(port, &to, 0));
  BYTE data[] = "VER\r\n";
  DWORD n = 0;
  ASSERT_TRUE(t.pfnWritePort(port, data, 5, &n));
  EXPECT_EQ(n, 5u);
  Sleep(120);
  BYTE in[8];
  ASSERT_TRUE(t.pfnReadPort(port, in, sizeof in, &n));
  EXPECT_EQ(n, 0u);  // nothing connected, nothing queued
  ASSERT_TRUE(t.pfnEndDocPort(port));
  ASSERT_TRUE(t.pfnClosePort(port));
  EXPECT_EQ(sim::portCallNames(), (std::vector<std::string>{"OpenPort", "StartDocPort", "SetPortTimeOuts",
                                                            "WritePort", "ReadPort", "EndDocPort", "ClosePort"}));
  auto calls = sim::portCalls();
  EXPECT_EQ(calls[1].document, "GetLbxInfo");
  EXPECT_EQ(calls[1].outputFile, "<null>");
  EXPECT_EQ(calls[1].datatype, "RAW");
  EXPECT_EQ(calls[2].timeouts.ReadTotalTimeoutConstant, 100u);
  EXPECT_EQ(std::string(calls[3].data.begin(), calls[3].data.end()), "VER\r\n");
  EXPECT_EQ(calls[4].atMs - calls[3].atMs, 120u);
  EXPECT_EQ(sim::openPorts(), 0u);
}

TEST_F(PortMonitor, ScriptedFaultsFailTheNamedCall) {
  for (sim::Api api : {sim::api::PortMonitorStartDocPort, sim::api::PortMonitorWritePort, sim::api::PortMonitorReadPort,
                       sim::api::PortMonitorEndDocPort, sim::api::PortMonitorSetPortTimeOuts}) {
    sim::failNth(api, 1, ERROR_NOT_READY);
  }
  CHAR printer[] = "Queue";
  BYTE b[4] = {};
  DWORD n = 0;
  COMMTIMEOUTS to{};
  SetLastError(0);
  EXPECT_FALSE(t.pfnStartDocPort(port, printer, 0, 1, nullptr));
  EXPECT_FALSE(t.pfnWritePort(port, b, 4, &n));
  EXPECT_FALSE(t.pfnReadPort(port, b, 4, &n));
  EXPECT_FALSE(t.pfnEndDocPort(port));
  EXPECT_FALSE(t.pfnSetPortTimeOuts(port, &to, 0));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
  // Only the first call of each failed.
  EXPECT_TRUE(t.pfnWritePort(port, b, 4, &n));
  sim::failNth(sim::api::PortMonitorWritePortShort, 1, 0);
  EXPECT_TRUE(t.pfnWritePort(port, b, 4, &n));
  EXPECT_EQ(n, 3u);
  EXPECT_FALSE(t.pfnWritePort(reinterpret_cast<HANDLE>(0x77), b, 4, &n));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(PortMonitor, CannedBytesComeFirstThenTheConnectedDevice) {
  EchoDevice device;
  sim::connectPortTo("USB001", device);
  sim::queuePortReply("USB001", "12");
  BYTE data[] = "RESOL\r\n";
  DWORD n = 0;
  ASSERT_TRUE(t.pfnWritePort(port, data, 7, &n));
  EXPECT_EQ(device.got, "RESOL\r\n");
  BYTE in[4];
  ASSERT_TRUE(t.pfnReadPort(port, in, 4, &n));
  EXPECT_EQ(std::string(in, in + n), "12AC");
  ASSERT_TRUE(t.pfnReadPort(port, in, 4, &n));
  EXPECT_EQ(std::string(in, in + n), "K");
  sim::connectPort("USB001", nullptr, nullptr);
  ASSERT_TRUE(t.pfnWritePort(port, data, 7, &n));
  EXPECT_EQ(device.got, "RESOL\r\n");  // disconnected: not delivered
  ASSERT_TRUE(t.pfnClosePort(port));
}

TEST_F(PortMonitor, OwnPrinterDataIsCannedAndCut) {
  sim::setPortMonitorData("ABCDEF", TRUE);
  CHAR name[] = "X";
  CHAR out[4];
  DWORD n = 0;
  EXPECT_TRUE(t.pfnGetPrinterDataFromPort(port, 5, name, nullptr, 0, out, 4, &n));
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(std::string(out, 4), "ABCD");
  EXPECT_EQ(sim::portCalls().back().controlId, 5u);
  ASSERT_TRUE(t.pfnClosePort(port));
}

}  // namespace
