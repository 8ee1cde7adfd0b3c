// A job printed through either model's driver travels through the language monitor
// to the emulated printer unchanged, while a query is answered between
// its pages.
#include "monitor_port.h"
#include "trmon.h"
#include "emulated_printer.h"
#include "roundtrip_session.h"
#include "sim/portmon.h"

namespace {

class PrintThroughMonitor : public PrintSession {
 protected:
  void SetUp() override {
    PrintSession::SetUp();
    DllEntryPoint(nullptr, DLL_PROCESS_ATTACH, nullptr);
    CHAR root[] = "Monitors\\TRMON";
    ASSERT_TRUE(InitializeMonitorEx(root, &mon));
    sim::fillPortMonitorTable(pm);
    sim::connectPortTo("USB001", printerModel);
    CHAR port[] = "USB001";
    ASSERT_TRUE(mon.pfnOpenPortEx(port, printerName.data(), &monitorPort, &pm));
    // The spooler hands every byte the driver writes to the monitor's WritePort.
    sim::setWriteSink(queue, [this](const BYTE* data, DWORD size, DWORD* written) -> BOOL {
      if (size == 0) {
        *written = 0;
        return TRUE;
      }
      return mon.pfnWritePort(monitorPort, const_cast<LPBYTE>(data), size, written);
    });
  }

  void TearDown() override {
    if (trmon::validPort(monitorPort)) mon.pfnClosePort(monitorPort);
    PrintSession::TearDown();
  }

  std::string getPrinterData(const char* valueName) {
    std::string name = valueName;
    CHAR out[256];
    DWORD returned = 0;
    if (!mon.pfnGetPrinterDataFromPort(monitorPort, 0, name.data(), nullptr, 0, out, sizeof out, &returned))
      return "<failed>";
    return std::string(out, returned);
  }

  emu::EmulatedPrinter printerModel{kModelA ? emu::PrinterModel::TR7208 : emu::PrinterModel::KV830};
  std::string printerName = "Label Printer";
  PortFunctionTable mon{};
  PortFunctionTable pm{};
  HANDLE monitorPort = nullptr;
};

TEST_F(PrintThroughMonitor, JobReachesThePrinterByteForByteWithAVersionQueryBetweenPages) {
  ASSERT_TRUE(enable());
  CHAR document[] = "label";
  CHAR datatype[] = "RAW";
  DOC_INFO_1A info{document, nullptr, datatype};
  ASSERT_TRUE(mon.pfnStartDocPort(monitorPort, printerName.data(), 7, 1, reinterpret_cast<LPBYTE>(&info)));

  ASSERT_TRUE(DrvStartDoc(pso, const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(u"label")), 7));
  ASSERT_TRUE(printPage(makePage(pageWidth(), pageHeight(), Content::Stripes, false, 1)));
  const size_t beforeQuery = written().size();

  sim::clearPortCalls();
  std::string version = getPrinterData("GetVersion");
  EXPECT_EQ(version, kModelA ? "TR7208\r\nTR7208 V1.05\r\nIPL 1.02\r\n" : "KV830\r\nKV830 V2.11\r\nIPL 1.02\r\n");
  // Inside the job: no document of its own.
  EXPECT_EQ(sim::portCallNames(), (std::vector<std::string>{"SetPortTimeOuts", "WritePort", "ReadPort"}));

  ASSERT_TRUE(printPage(makePage(pageWidth(), pageHeight(), Content::Random, false, 2)));
  ASSERT_TRUE(DrvEndDoc(pso, 0));
  ASSERT_TRUE(mon.pfnEndDocPort(monitorPort));

  const std::vector<BYTE> job = written();
  ASSERT_GT(beforeQuery, 0u) << "the first page reached the port before the query";
  ASSERT_LT(beforeQuery, job.size()) << "the second page came after it";
  std::string text(job.begin(), job.end());
  EXPECT_EQ(text.rfind("DEF ", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 6), "JOBE\r\n");

  EXPECT_TRUE(printerModel.jobBytes() == std::vector<uint8_t>(job.begin(), job.end()))
      << "the printer received " << printerModel.jobBytes().size() << " job bytes, the driver wrote " << job.size();
  EXPECT_EQ(printerModel.commands(), std::vector<std::string>{"VER"});
  EXPECT_EQ(printerModel.pending(), 0u);
  // Exactly the job plus the query line crossed the port.
  EXPECT_EQ(printerModel.received().size(), job.size() + 5);
}

TEST_F(PrintThroughMonitor, QueriesOnTheIdlePortAnswerBeforeAndAfterAJob) {
  EXPECT_EQ(getPrinterData("GetResolution"), kModelA ? "8\r\n" : "12\r\n");
  EXPECT_EQ(getPrinterData("GetDriverID"), "VarodynDriver");
  ASSERT_TRUE(enable());
  CHAR document[] = "label";
  DOC_INFO_1A info{document, nullptr, nullptr};
  ASSERT_TRUE(mon.pfnStartDocPort(monitorPort, printerName.data(), 8, 1, reinterpret_cast<LPBYTE>(&info)));
  ASSERT_TRUE(printDocument({makePage(pageWidth(), pageHeight(), Content::Corners, false, 3)}, 8));
  ASSERT_TRUE(mon.pfnEndDocPort(monitorPort));
  EXPECT_EQ(getPrinterData("GetPageCounter"), "1\r\n");  // one label ended
  const std::vector<BYTE> job = written();
  ASSERT_FALSE(job.empty());
  EXPECT_TRUE(printerModel.jobBytes() == std::vector<uint8_t>(job.begin(), job.end()));
}

}  // namespace
