// The emulator's HID endpoint: report formats in front of an Endpoint, and
// the printer's command replies read through the HID link library.
#include <gtest/gtest.h>
#include <windows.h>

#include <VRDUSBHid.h>
#include "hidlink_module.h"

#include <deque>
#include <string>
#include <vector>

#include "hid_endpoint.h"
#include "emulated_printer.h"
#include "usb_printer.h"
#include "sim/world.h"

namespace {

// Keeps what the host sent and hands out a scripted reply.
class ScriptedEndpoint : public emu::Endpoint {
 public:
  std::string received;
  std::deque<uint8_t> reply;
  void hostWrite(const uint8_t* data, size_t size) override { received.append(data, data + size); }
  size_t hostRead(uint8_t* out, size_t capacity) override {
    size_t n = 0;
    for (; n < capacity && !reply.empty(); ++n) {
      out[n] = reply.front();
      reply.pop_front();
    }
    return n;
  }
  size_t pending() const override { return reply.size(); }
};

std::vector<uint8_t> outputReport(const std::string& payload, int count = -1) {
  std::vector<uint8_t> r(65, 0xAA);
  r[0] = 0;
  r[1] = uint8_t(count < 0 ? payload.size() : size_t(count));
  std::copy(payload.begin(), payload.end(), r.begin() + 2);
  return r;
}

TEST(HidEndpoint, OutputReportsCarryTheirCountOfPayloadBytes) {
  ScriptedEndpoint printer;
  emu::HidEndpoint hid(printer);
  EXPECT_TRUE(hid.outputReport(outputReport("RES").data(), 65));
  EXPECT_TRUE(hid.outputReport(outputReport("OL\r\n").data(), 65));
  EXPECT_TRUE(hid.outputReport(outputReport("").data(), 65));
  EXPECT_EQ(printer.received, "RESOL\r\n");
  EXPECT_EQ(hid.outputReports(), 3);
  EXPECT_EQ(hid.closingReports(), 1);

  auto tooMany = outputReport("x", 64);
  auto wrongId = outputReport("y");
  wrongId[0] = 1;
  EXPECT_FALSE(hid.outputReport(tooMany.data(), 65));
  EXPECT_FALSE(hid.outputReport(wrongId.data(), 65));
  EXPECT_FALSE(hid.outputReport(outputReport("z").data(), 64));
  EXPECT_EQ(hid.rejectedReports(), 3);
  EXPECT_EQ(printer.received, "RESOL\r\n");
}

TEST(HidEndpoint, FeatureReportsCarryFreeSpacePendingCountAndReplyBytes) {
  ScriptedEndpoint printer;
  emu::HidEndpoint hid(printer);
  for (int i = 0; i < 60; ++i) printer.reply.push_back(uint8_t('a' + i % 26));
  hid.setFreeSpace(0x01020304);
  uint8_t r[65];
  std::fill(r, r + 65, 0xEE);
  ASSERT_TRUE(hid.featureReport(r, 65));
  EXPECT_EQ(std::vector<uint8_t>(r, r + 8), (std::vector<uint8_t>{0, 1, 2, 3, 4, 0, 3, 57}));
  EXPECT_EQ(r[8], 'a');
  EXPECT_EQ(r[64], uint8_t('a' + 56 % 26));

  hid.reportFullFor(1);
  ASSERT_TRUE(hid.featureReport(r, 65));
  EXPECT_EQ(std::vector<uint8_t>(r, r + 8), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 3}));
  EXPECT_EQ(r[11], 0);  // nothing stale after the three reply bytes

  ASSERT_TRUE(hid.featureReport(r, 65));
  EXPECT_EQ(r[4], 4);  // free space is back
  EXPECT_EQ(r[7], 0);
  EXPECT_FALSE(hid.featureReport(r, 64));
}

struct ModelCase {
  emu::PrinterModel model;
  const char* resolution;
  friend std::ostream& operator<<(std::ostream& os, const ModelCase& c) { return os << c.resolution; }
};

class OverHid : public ::testing::TestWithParam<ModelCase> {
 protected:
  void SetUp() override {
    sim::reset();
    ASSERT_TRUE(hidlink::registerSimModule());
    usb->enterHidMode();
    module = LoadLibraryA("VRDUSBHid.dll");
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
  std::shared_ptr<emu::UsbPrinter> usb = emu::UsbPrinter::create(GetParam().model);
  emu::EmulatedPrinter& printer = usb->device();
  HMODULE module = nullptr;
};

TEST_P(OverHid, ResolutionQueryIsAnswered) {
  int token = hidusbOpen();
  ASSERT_NE(token, 0);
  const unsigned char query[] = "RESOL\r\n";
  ASSERT_EQ(hidusbWriteData(token, query, 7), 7);
  unsigned char reply[32] = {};
  int n = hidusbReadData(token, reply, sizeof reply);
  EXPECT_EQ(std::string(reply, reply + (n > 0 ? n : 0)), GetParam().resolution);
  EXPECT_EQ(printer.commands(), std::vector<std::string>{"RESOL"});
  EXPECT_EQ(usb->hid().closingReports(), 1);
  EXPECT_EQ(hidusbClose(token), 1);
}

TEST_P(OverHid, LongCommandFileArrivesWholeThroughABusyPrinter) {
  int token = hidusbOpen();
  ASSERT_NE(token, 0);
  std::string job;
  for (int i = 0; i < 40; ++i) job += "JOB LINE " + std::to_string(i) + "\r\n";
  usb->hid().reportFullFor(20);
  usb->hid().setFreeSpace(100);
  ASSERT_EQ(hidusbWriteData(token, reinterpret_cast<const unsigned char*>(job.data()), int(job.size())),
            int(job.size()));
  EXPECT_EQ(std::string(printer.received().begin(), printer.received().end()), job);
  hidusbClose(token);
}

INSTANTIATE_TEST_SUITE_P(Models, OverHid,
                         ::testing::Values(ModelCase{emu::PrinterModel::KV830, "12\r\n"},
                                           ModelCase{emu::PrinterModel::TR7208, "8\r\n"}),
                         [](const auto& info) {
                           return std::string(info.param.model == emu::PrinterModel::KV830 ? "KV830" : "TR7208");
                         });

}  // namespace
