// Shared fixture of the monitor tests: an initialised monitor, the
// simulated port monitor's table and helpers that open ports.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor_port.h"
#include "trmon.h"
#include "sim/portmon.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace trmon {

inline constexpr DWORD kSentinel = 0xdeadbeef;

class MonitorTest : public testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    DllEntryPoint(reinterpret_cast<HINSTANCE>(&instance_), DLL_PROCESS_ATTACH, nullptr);
    CHAR root[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\TRMON";
    ASSERT_TRUE(InitializeMonitorEx(root, &mon));
    sim::fillPortMonitorTable(pm);
    sim::QueueSetup queue;
    queue.name = u"KV830 Queue";
    queue.driver = u"Varodyn KV830";
    sim::addQueue(queue);
    baselineAllocations_ = sim::liveAllocations();
  }

  void TearDown() override {
    for (HANDLE h : open_)
      if (validPort(h)) mon.pfnClosePort(h);
    EXPECT_EQ(listedPorts(), 0u) << "a test left a port record behind";
    EXPECT_EQ(sim::liveAllocations(), baselineAllocations_) << "port records leaked";
    EXPECT_EQ(sim::openPrinterHandles(), 0u) << "printer handles leaked";
  }

  // Opens a port through the monitor; the fixture closes it at the end.
  HANDLE openPort(const char* name = "USB001", const char* printer = "KV830 Queue") {
    std::string n = name, p = printer ? printer : "";
    HANDLE h = nullptr;
    EXPECT_TRUE(mon.pfnOpenPortEx(n.data(), printer ? p.data() : nullptr, &h, &pm)) << name;
    if (h) open_.push_back(h);
    return h;
  }

  BOOL startJob(HANDLE port, DWORD jobId = 7, const char* document = "label.prn") {
    CHAR printer[] = "KV830 Queue";
    std::string doc = document;
    CHAR datatype[] = "RAW";
    DOC_INFO_1A info{doc.data(), nullptr, datatype};
    return mon.pfnStartDocPort(port, printer, jobId, 1, reinterpret_cast<LPBYTE>(&info));
  }

  BOOL query(HANDLE port, const char* name, std::string* reply = nullptr, DWORD outSize = 256,
             DWORD* returned = nullptr) {
    std::string n = name;
    std::vector<CHAR> out(outSize + 1, '\x5a');
    DWORD count = kSentinel;
    BOOL ok = mon.pfnGetPrinterDataFromPort(port, 0, n.data(), nullptr, 0, out.data(), outSize, &count);
    if (returned) *returned = count;
    if (reply) *reply = count <= outSize ? std::string(out.data(), count) : std::string();
    return ok;
  }

  static MonitorPort& record(HANDLE h) { return *static_cast<MonitorPort*>(h); }

  PortFunctionTable mon{};
  PortFunctionTable pm{};

 private:
  int instance_ = 0;
  size_t baselineAllocations_ = 0;
  std::vector<HANDLE> open_;
};

}  // namespace trmon
