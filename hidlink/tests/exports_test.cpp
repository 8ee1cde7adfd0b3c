// The seven exports of VRDUSBHid, loaded as a module of the simulated host
// and talking to a scripted printer.
#include <gtest/gtest.h>
#include <windows.h>

#include <VRDUSBHid.h>
#include "hidlink_module.h"

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "link.h"
#include "transfer.h"
#include "usb_printer.h"
#include "sim/file.h"
#include "sim/hid.h"
#include "sim/module.h"
#include "sim/sync.h"
#include "sim/world.h"

namespace {


constexpr char kMutex[] = "Varodyn_USBHID_MUTEX";

struct Owner {
  DWORD processId;
  DWORD reserved;
};

// What another process would see in the shared owner record.
Owner ownerRecord() {
  Owner o{0xFFFFFFFF, 0xFFFFFFFF};
  HANDLE m = OpenFileMappingA(FILE_MAP_READ, FALSE, "Varodyn_USBHID_MEMMAP");
  if (!m) return o;
  if (auto* v = static_cast<const Owner*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, sizeof o))) {
    o = *v;
    UnmapViewOfFile(v);
  }
  CloseHandle(m);
  return o;
}

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    printer = emu::UsbPrinter::create();
    printer->enterHidMode();
    device = printer->hidDevice();
    ASSERT_TRUE(hidlink::registerSimModule());
    module = LoadLibraryA("VRDUSBHid.dll");
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
  int self() const { return int(GetCurrentProcessId()); }

  std::shared_ptr<emu::UsbPrinter> printer;
  sim::HidDeviceId device = 0;
  HMODULE module = nullptr;
};

TEST(Version, SizeRules) {
  char buf[16];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(hidusbGetVersion(nullptr, 0), 7);
  EXPECT_EQ(hidusbGetVersion(nullptr, 100), 7);
  EXPECT_EQ(hidusbGetVersion(buf, 6), 0);
  EXPECT_EQ(hidusbGetVersion(buf, -1), 0);
  EXPECT_EQ(std::string(buf, 16), std::string(16, 'x'));
  EXPECT_EQ(hidusbGetVersion(buf, 7), 7);
  EXPECT_EQ(std::string(buf, 8), "1.0.1.0x");  // exactly seven bytes, no terminator
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(hidusbGetVersion(buf, 12), 7);
  EXPECT_EQ(std::string(buf, 13), std::string("1.0.1.0\0\0\0\0\0x", 13));
}

TEST_F(Library, ModuleExportsTheSevenNames) {
  for (const char* name : {"hidusbGetVersion", "hidusbOpen", "hidusbClose", "hidusbIsOpened", "hidusbReadData",
                           "hidusbWriteData", "hidusbGetHandle"})
    EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
}

TEST_F(Library, OpenClaimsThePrinterAndCloseGivesItBack) {
  EXPECT_EQ(ownerRecord().processId, 0u);
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  EXPECT_NE(hidusbIsOpened(token), 0);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 1);
  EXPECT_EQ(ownerRecord().processId, DWORD(self()));
  EXPECT_EQ(ownerRecord().reserved, 0u);
  EXPECT_EQ(sim::openHidHandles(device), 1);
  EXPECT_EQ(sim::sleptMs(), 300u);  // 200 ms after the device opens, 100 ms after the claim

  EXPECT_EQ(hidusbClose(token), 1);
  EXPECT_EQ(hidusbIsOpened(token), 0);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
  EXPECT_EQ(ownerRecord().processId, 0u);
  EXPECT_EQ(sim::openHidHandles(device), 0);
  EXPECT_EQ(sim::moduleLoadCount("HID.DLL"), 0);
}

TEST_F(Library, OpeningTwiceKeepsOneHoldAndTheSameToken) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  printer->device().queueReply(std::string{'s', 't', 'a', 'l', 'e'});
  uint8_t buf[4];
  ASSERT_EQ(hidusbReadData(token, buf, 2), 2);  // three bytes wait in the ring
  EXPECT_EQ(hidusbOpen(), token);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 1);
  EXPECT_EQ(sim::openHidHandles(device), 1);
  EXPECT_EQ(hidusbReadData(token, buf, 4), 0);  // reopening empties the receive ring
  EXPECT_EQ(hidusbClose(token), 1);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
}

TEST_F(Library, CallsWithAForeignTokenDoNothing) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  uint8_t buf[8] = {1, 2, 3};
  for (int bad : {0, self() + 1, -self()}) {
    EXPECT_EQ(hidusbIsOpened(bad), 0) << bad;
    EXPECT_EQ(hidusbReadData(bad, buf, 8), 0) << bad;
    EXPECT_EQ(hidusbWriteData(bad, buf, 3), 0) << bad;
    EXPECT_EQ(hidusbClose(bad), 0) << bad;
  }
  EXPECT_TRUE(printer->hid().outputs().empty());
  EXPECT_EQ(printer->hid().featureReports(), 0);
  EXPECT_NE(hidusbIsOpened(token), 0);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 1);
  EXPECT_EQ(ownerRecord().processId, DWORD(self()));
  // Bad buffers and lengths with the right token.
  EXPECT_EQ(hidusbReadData(token, nullptr, 8), 0);
  EXPECT_EQ(hidusbReadData(token, buf, 0), 0);
  EXPECT_EQ(hidusbWriteData(token, nullptr, 3), 0);
  EXPECT_EQ(hidusbWriteData(token, buf, -1), 0);
  EXPECT_TRUE(printer->hid().outputs().empty());
  hidusbClose(token);
}

TEST_F(Library, CloseWithoutAClaimLeavesTheSharedRecordAlone) {
  // The record as another process holding the printer would have left it.
  HANDLE m = OpenFileMappingA(FILE_MAP_WRITE, FALSE, "Varodyn_USBHID_MEMMAP");
  ASSERT_NE(m, nullptr);
  auto* v = static_cast<Owner*>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 8));
  v->processId = 4242;
  EXPECT_EQ(hidusbClose(self()), 1);
  EXPECT_EQ(ownerRecord().processId, 4242u);
  v->processId = 0;
  UnmapViewOfFile(v);
  CloseHandle(m);
}

TEST_F(Library, WritesAreFramedInReportsEndingWithAZeroCountReport) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  std::vector<uint8_t> data(64);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);

  ULONGLONG before = sim::sleptMs();
  EXPECT_EQ(hidusbWriteData(token, data.data(), 63), 63);
  EXPECT_EQ(printer->hid().outputCounts(), (std::vector<int>{63, 0}));
  EXPECT_EQ(sim::sleptMs() - before, 10u);

  printer->hid().clearOutputs();
  EXPECT_EQ(hidusbWriteData(token, data.data(), 64), 64);
  EXPECT_EQ(printer->hid().outputCounts(), (std::vector<int>{63, 1, 0}));
  EXPECT_EQ(printer->hid().outputPayload(), data);
  for (auto& report : printer->hid().outputs()) {
    ASSERT_EQ(report.size(), 65u);
    EXPECT_EQ(report[0], 0);
  }
  hidusbClose(token);
}

TEST_F(Library, ReadWithNothingPendingReturnsAtOnce) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  ULONGLONG before = sim::nowMs();
  uint8_t buf[16];
  EXPECT_EQ(hidusbReadData(token, buf, sizeof buf), 0);
  EXPECT_EQ(sim::nowMs(), before);
  EXPECT_EQ(printer->hid().featureReports(), 1);
  hidusbClose(token);
}

TEST_F(Library, ReadDeliversRepliesAcrossReportsAndKeepsTheRest) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  std::string reply(130, '.');
  for (size_t i = 0; i < reply.size(); ++i) reply[i] = char('A' + i % 26);
  printer->device().queueReply(std::string(reply.begin(), reply.end()));
  uint8_t buf[100];
  ASSERT_EQ(hidusbReadData(token, buf, 100), 100);
  EXPECT_EQ(printer->hid().featureReports(), 3);  // 57 + 57 + 16 bytes
  EXPECT_EQ(std::string(buf, buf + 100), reply.substr(0, 100));
  ASSERT_EQ(hidusbReadData(token, buf, 100), 30);
  EXPECT_EQ(std::string(buf, buf + 30), reply.substr(100));
  hidusbClose(token);
}

TEST_F(Library, APrinterStuckAnnouncingInputDoesNotHoldTheReader) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  printer->hid().setStuckPending(true);
  uint8_t buf[8];
  EXPECT_EQ(hidusbReadData(token, buf, sizeof buf), 0);
  EXPECT_LE(printer->hid().featureReports(), 64);
  hidusbClose(token);
}

TEST_F(Library, APrinterWithoutRoomForAWhileStillGetsEverything) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  printer->hid().reportFullFor(50);  // half a second of "no free space"
  std::vector<uint8_t> data(300, 'z');
  EXPECT_EQ(hidusbWriteData(token, data.data(), int(data.size())), 300);
  EXPECT_EQ(printer->hid().outputPayload(), data);
  hidusbClose(token);
}

TEST_F(Library, APrinterThatNeverHasRoomGetsAShortCountAfterTheStallLimit) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  printer->hid().setFreeSpace(0);
  ULONGLONG before = sim::nowMs();
  std::vector<uint8_t> data(10, 'z');
  EXPECT_EQ(hidusbWriteData(token, data.data(), 10), 0);
  EXPECT_TRUE(printer->hid().outputs().empty());
  ULONGLONG waited = sim::nowMs() - before;
  EXPECT_GE(waited, 5000u);
  EXPECT_LT(waited, 6000u);
  hidusbClose(token);
}

TEST_F(Library, FailedReportWritesAndFeatureReadsGiveShortCounts) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  std::vector<uint8_t> data(200, 'q');
  sim::failNth(sim::api::WriteFile, 2, ERROR_GEN_FAILURE);
  EXPECT_EQ(hidusbWriteData(token, data.data(), 200), 0);
  EXPECT_EQ(printer->hid().outputCounts(), std::vector<int>{63});  // what was sent stays sent

  printer->hid().clearOutputs();
  printer->hid().setFreeSpace(100);
  sim::failNth(sim::api::HidD_GetFeature, 2, ERROR_GEN_FAILURE);
  EXPECT_EQ(hidusbWriteData(token, data.data(), 200), 100);

  printer->device().queueReply(std::string{'o', 'k'});
  sim::failNth(sim::api::HidD_GetFeature, 1, ERROR_GEN_FAILURE);
  uint8_t buf[8];
  EXPECT_EQ(hidusbReadData(token, buf, 8), 0);
  EXPECT_EQ(hidusbReadData(token, buf, 8), 2);
  hidusbClose(token);
}

TEST_F(Library, UnplugClosesTheLinkAndAReopenFindsThePrinterAgain) {
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  printer->unplug();
  EXPECT_EQ(hidusbIsOpened(token), 0);
  EXPECT_EQ(sim::openHidHandles(device), 0);
  EXPECT_EQ(ownerRecord().processId, DWORD(self()));  // still claimed
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 1);
  uint8_t buf[4] = {'a'};
  EXPECT_EQ(hidusbWriteData(token, buf, 1), 0);
  EXPECT_EQ(hidusbReadData(token, buf, 4), 0);

  // While the printer is away, a reopen fails and gives up the claim.
  EXPECT_EQ(hidusbOpen(), 0);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
  EXPECT_EQ(ownerRecord().processId, 0u);

  printer->replug();
  token = hidusbOpen();
  ASSERT_EQ(token, self());
  EXPECT_EQ(hidusbWriteData(token, buf, 1), 1);
  printer->unplug();
  printer->replug();
  EXPECT_EQ(hidusbIsOpened(token), 0);
  EXPECT_EQ(hidusbOpen(), token);  // the claim is still ours: reopen the device only
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 1);
  EXPECT_NE(hidusbIsOpened(token), 0);
  hidusbClose(token);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
}

TEST_F(Library, OnlyTheRightVendorAndProductIsThePrinter) {
  FreeLibrary(module);
  sim::reset();
  ASSERT_TRUE(hidlink::registerSimModule());
  auto other = emu::UsbPrinter::create(emu::PrinterModel::KV830, 0x046d, 0x0710);
  auto wrongProduct = emu::UsbPrinter::create(emu::PrinterModel::KV830, 0x0471, 0x0711);
  other->enterHidMode();
  wrongProduct->enterHidMode();
  sim::HidDeviceId a = other->hidDevice();
  sim::HidDeviceId b = wrongProduct->hidDevice();
  module = LoadLibraryA("VRDUSBHid.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(hidusbOpen(), 0);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
  EXPECT_EQ(sim::openHidHandles(a) + sim::openHidHandles(b), 0);

  auto real = emu::UsbPrinter::create();
  real->enterHidMode();
  int token = hidusbOpen();
  ASSERT_EQ(token, self());
  uint8_t byte = '!';
  EXPECT_EQ(hidusbWriteData(token, &byte, 1), 1);
  EXPECT_EQ(real->hid().outputPayload(), std::vector<uint8_t>{'!'});
  EXPECT_TRUE(other->hid().outputs().empty() && wrongProduct->hid().outputs().empty());
  EXPECT_EQ(sim::openHidHandles(a) + sim::openHidHandles(b), 0);
  hidusbClose(token);
}

struct OpenFault {
  sim::Api api;
  int nth;
  friend std::ostream& operator<<(std::ostream& os, const OpenFault& f) { return os << f.api.name << " call " << f.nth; }
};

class OpenFailure : public Library, public ::testing::WithParamInterface<OpenFault> {};

TEST_P(OpenFailure, LeavesNothingHeld) {
  sim::failNth(GetParam().api, GetParam().nth, ERROR_GEN_FAILURE);
  EXPECT_EQ(hidusbOpen(), 0);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
  EXPECT_EQ(ownerRecord().processId, 0u);
  EXPECT_EQ(sim::openHidHandles(device), 0);
  EXPECT_EQ(sim::moduleLoadCount("HID.DLL"), 0);
  // The fault was a one-off: the next open works.
  int token = hidusbOpen();
  EXPECT_EQ(token, self());
  hidusbClose(token);
}

INSTANTIATE_TEST_SUITE_P(Faults, OpenFailure,
                         ::testing::Values(OpenFault{sim::api::LoadLibraryA, 1}, OpenFault{sim::api::GetProcAddress, 3},
                                           OpenFault{sim::api::SetupDiGetClassDevsW, 1},
                                           OpenFault{sim::api::SetupDiGetDeviceInterfaceDetailW, 2},
                                           OpenFault{sim::api::CreateFileW, 1}, OpenFault{sim::api::HidD_GetAttributes, 1}),
                         [](const auto& info) { return std::string(info.param.api.name); });

TEST_F(Library, AHidDllWithoutOneServiceIsRefused) {
  HMODULE hid = LoadLibraryA("HID.DLL");
  sim::ModuleSetup partial{"HID.DLL", {}, nullptr};
  for (const char* name : {"HidD_GetHidGuid", "HidD_GetAttributes", "HidD_GetFeature", "HidD_SetFeature"})
    partial.exports[name] = GetProcAddress(hid, name);
  FreeLibrary(hid);
  ASSERT_TRUE(sim::registerModule(partial));  // no HidD_GetProductString
  EXPECT_EQ(hidusbOpen(), 0);
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
  EXPECT_EQ(sim::moduleLoadCount("HID.DLL"), 0);
}

TEST_F(Library, UnloadingWhileOpenGivesUpTheClaim) {
  ASSERT_EQ(hidusbOpen(), self());
  FreeLibrary(module);
  module = nullptr;
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
  EXPECT_EQ(ownerRecord().processId, 0u);
  EXPECT_EQ(sim::openHidHandles(device), 0);
  EXPECT_EQ(hidusbOpen(), 0);  // nothing is loaded any more
}

TEST_F(Library, AResetWhileOpenGivesUpTheClaim) {
  ASSERT_EQ(hidusbOpen(), self());
  sim::reset();
  module = nullptr;
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
  EXPECT_EQ(ownerRecord().processId, 0u);
  EXPECT_EQ(hidusbOpen(), 0);
}

TEST_F(Library, GeneralHandleSelectors) {
  auto* buffer = static_cast<const uint8_t*>(hidusbGetHandle(0));
  ASSERT_NE(buffer, nullptr);
  for (size_t i = 0; i < 0x100000; i += 4096) ASSERT_EQ(buffer[i], 0) << i;
  EXPECT_EQ(buffer[0xFFFFF], 0);
  EXPECT_EQ(hidusbGetHandle(1), nullptr);
  EXPECT_EQ(hidusbGetHandle(2), nullptr);
  EXPECT_EQ(hidusbGetHandle(-1), nullptr);
}

// ---- the printer unplugged at each step --------------------------------------
// A step is each call the library makes towards the device (enumeration,
// opening its file, reading its attributes, each feature report, each
// report written or read). At the chosen step the printer is unplugged
// before the call goes through.

const sim::Api kDeviceCalls[] = {sim::api::SetupDiGetClassDevsW,
                                 sim::api::SetupDiGetDeviceInterfaceDetailW,
                                 sim::api::CreateFileW,
                                 sim::api::HidD_GetAttributes,
                                 sim::api::HidD_GetProductString,
                                 sim::api::HidD_GetFeature,
                                 sim::api::HidD_SetFeature,
                                 sim::api::WriteFile,
                                 sim::api::ReadFile};

bool isDeviceCall(sim::Api api) {
  for (const sim::Api& a : kDeviceCalls)
    if (std::strcmp(a.name, api.name) == 0) return true;
  return false;
}

enum class Operation { Open, Write, Read };
const char* nameOf(Operation op) { return op == Operation::Open ? "Open" : op == Operation::Write ? "Write" : "Read"; }

constexpr size_t kPayload = 150;  // three reports' worth either way

class UnplugRun : public Library {
 public:
  void TestBody() override {}

  // Readies the operation: the link open for a write or a read, a reply
  // waiting for a read.
  void prepare(Operation op) {
    if (op == Operation::Open) return;
    token = hidusbOpen();
    if (op == Operation::Read) printer->device().queueReply(std::string(kPayload, 'r'));
  }

  // Runs it; the count (open: the token) it returned.
  int run(Operation op) {
    if (op == Operation::Open) return token = hidusbOpen();
    if (op == Operation::Write) {
      std::vector<uint8_t> bytes(kPayload, 'w');
      return hidusbWriteData(token, bytes.data(), int(bytes.size()));
    }
    got.assign(kPayload, 0);
    return hidusbReadData(token, got.data(), int(got.size()));
  }

  // The device calls the operation makes with the printer staying.
  int countSteps(Operation op) {
    SetUp();
    prepare(op);
    int steps = 0;
    sim::observeCalls([&](sim::Api api) { steps += isDeviceCall(api) ? 1 : 0; });
    run(op);
    sim::observeCalls(nullptr);
    hidusbClose(self());
    TearDown();
    sim::reset();
    return steps;
  }

  int token = 0;
  std::vector<uint8_t> got;
};

struct UnplugCase {
  Operation op;
  int step;
};

std::vector<UnplugCase> unplugCases() {
  std::vector<UnplugCase> cases;
  for (Operation op : {Operation::Open, Operation::Write, Operation::Read}) {
    const int steps = UnplugRun().countSteps(op);
    for (int step = 1; step <= steps; ++step) cases.push_back({op, step});
  }
  return cases;
}

class UnplugSweep : public UnplugRun, public ::testing::WithParamInterface<UnplugCase> {};

TEST_P(UnplugSweep, FailsWithinItsLimitsGivesTheClaimBackAndALaterOpenWorks) {
  const UnplugCase& c = GetParam();
  prepare(c.op);
  int steps = 0;
  sim::observeCalls([&](sim::Api api) {
    if (isDeviceCall(api) && ++steps == c.step) sim::unplugHid(device);
  });
  const ULONGLONG before = sim::sleptMs();
  const int result = run(c.op);
  sim::observeCalls(nullptr);
  ASSERT_GE(steps, c.step) << "the unplug step was never reached";
  EXPECT_LE(sim::sleptMs() - before, ULONGLONG(hidlink::kStalledWriteLimitMs + 2 * hidlink::kClaimSettleMs +
                                               hidlink::kDeviceSettleMs + 10 * hidlink::kChunkPauseMs));
  switch (c.op) {
    case Operation::Open:
      EXPECT_TRUE(result == 0 || result == self()) << result;
      break;
    case Operation::Write:
      EXPECT_GE(result, 0);
      EXPECT_LE(result, int(kPayload));
      break;
    case Operation::Read:
      ASSERT_GE(result, 0);
      ASSERT_LE(result, int(kPayload));
      EXPECT_EQ(std::string(got.begin(), got.begin() + result), std::string(size_t(result), 'r'));
      break;
  }
  EXPECT_EQ(hidusbIsOpened(self()), 0) << "the link still counts as open with the printer gone";

  hidusbClose(self());
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
  EXPECT_EQ(ownerRecord().processId, 0u);
  EXPECT_EQ(sim::openHidHandles(device), 0);

  sim::replugHid(device);
  printer->device().discardReplies();
  ASSERT_EQ(hidusbOpen(), self());
  const uint8_t byte = '!';
  EXPECT_EQ(hidusbWriteData(self(), &byte, 1), 1);
  hidusbClose(self());
  EXPECT_EQ(sim::mutexHoldCount(kMutex), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, UnplugSweep, ::testing::ValuesIn(unplugCases()), [](const auto& info) {
  return std::string(nameOf(info.param.op)) + "UnpluggedAtStep" + std::to_string(info.param.step);
});

}  // namespace
