// The settings exchanges over PAPPL's own socket device against the
// emulated network printer: a setting sent as one job changes what the
// printer then reports, the queries read its answers, and a printer that
// answers nothing or hangs up ends the reading without hanging it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "appsocket_listener.h"
#include "job_delivery.h"
#include "printer_settings.h"
#include "settings_web.h"

namespace {

using namespace printerapp;
using namespace std::chrono_literals;

// An emulated printer serving on a loopback port for one test.
class Emulator {
 public:
  explicit Emulator(emu::net::FaultPlan fault = {}, emu::PrinterModel model = emu::PrinterModel::KV830) {
    emu::net::ListenerOptions options;
    options.model = model;
    options.fault = fault;
    options.idleTimeout = 2000ms;
    options.stallTime = 1000ms;
    listener_ = std::make_unique<emu::net::AppSocketListener>(options);
    std::string error;
    opened_ = listener_->open(&error);
    EXPECT_TRUE(opened_) << error;
    if (opened_) thread_ = std::thread([this] { listener_->serve(60s, 20); });
  }
  ~Emulator() {
    listener_->stop();
    if (thread_.joinable()) thread_.join();
  }
  std::string uri() const { return "socket://127.0.0.1:" + std::to_string(listener_->port()); }

 private:
  std::unique_ptr<emu::net::AppSocketListener> listener_;
  std::thread thread_;
  bool opened_ = false;
};

void noError(const char* message, void*) { ADD_FAILURE() << message; }

bool sendOne(const std::string& uri, const std::string& bytes) {
  pappl_device_t* device = papplDeviceOpen(uri.c_str(), "test", noError, nullptr);
  if (!device) return false;
  const bool sent = sendJob(device, bytes);
  papplDeviceClose(device);
  return sent;
}

Readings readAll(const std::string& uri) {
  pappl_device_t* device = papplDeviceOpen(uri.c_str(), "test", noError, nullptr);
  EXPECT_NE(device, nullptr);
  if (!device) return {};
  DeviceChannel channel(device);
  Readings r = readPrinter(channel);
  papplDeviceClose(device);
  return r;
}

int definfoField(const Readings& r, int field) {
  printercmd::DefInfo def{};
  EXPECT_EQ(printercmd::parseDefInfo(r.rawOf(Query::DefInfo), &def), printercmd::kDefInfoFields)
      << visibleBytes(r.rawOf(Query::DefInfo));
  return def.fields[field - 1];
}

TEST(SettingsOnTheEmulator, ASentSettingIsWhatThePrinterThenReports) {
  Emulator printer;
  const Readings before = readAll(printer.uri());
  ASSERT_TRUE(before.haveVersion);
  EXPECT_FALSE(before.version.system.empty());
  EXPECT_TRUE(before.haveDistance);
  EXPECT_EQ(before.resolution, printercmd::Resolution::Dots12PerMm);
  EXPECT_FALSE(before.silent);
  EXPECT_FALSE(before.rawOf(Query::Maintenance).empty());
  EXPECT_FALSE(before.rawOf(Query::PageCounter).empty());

  struct Case {
    FormFields form;
    int definfoField, value;  // GETDEF field that holds the setting
  } const cases[] = {
      {{{"action", "buzzer"}, {"buzzer", "1"}}, 2, 1},
      {{{"action", "buzzer"}, {"buzzer", "0"}}, 2, 0},
      {{{"action", "head-check"}, {"head-check", "1"}}, 3, 1},
      {{{"action", "label-stop"}, {"label-stop", "2"}}, 4, 2},
  };
  for (const Case& c : cases) {
    const Request request = requestOf(c.form);
    ASSERT_EQ(request.kind, Request::Kind::Send);
    ASSERT_TRUE(sendOne(printer.uri(), request.bytes)) << visibleBytes(request.bytes);
    EXPECT_EQ(definfoField(readAll(printer.uri()), c.definfoField), c.value) << visibleBytes(request.bytes);
  }
  // The sensor levels are the last two MAINT fields, in hexadecimal.
  ASSERT_TRUE(sendOne(printer.uri(), requestOf({{"action", "gap-level"}, {"gap-level", "30"}}).bytes));
  ASSERT_TRUE(sendOne(printer.uri(), requestOf({{"action", "mark-level"}, {"mark-level", "77"}}).bytes));
  printercmd::Maintenance maint{};
  const Readings after = readAll(printer.uri());
  ASSERT_EQ(printercmd::parseMaintenance(after.rawOf(Query::Maintenance), &maint), printercmd::kMaintenanceFields);
  EXPECT_EQ(maint.hex[2], 30u);
  EXPECT_EQ(maint.hex[3], 77u);
}

TEST(SettingsOnTheEmulator, AModelMismatchIsSeenFromTheResolutionReply) {
  Emulator printer({}, emu::PrinterModel::KV830);
  const Readings r = readAll(printer.uri());
  EXPECT_FALSE(resolutionWarning(Language::English, r.resolution, 203).empty());
  EXPECT_TRUE(resolutionWarning(Language::English, r.resolution, 299).empty());
}

// PAPPL's socket read waits up to 10 s for a reply: the reading stops at
// the first query the printer leaves unanswered instead of waiting once per
// query.
TEST(SettingsOnTheEmulator, SilenceAndHangUpsEndTheReadingAtTheFirstMissingAnswer) {
  struct Case {
    const char* fault;
    bool version;     // the version was answered
    Query lastAsked;  // nothing after it was sent
    bool closed;      // seen as a closed connection rather than no answer
  } const cases[] = {
      // The emulator closes a connection that brings nothing for 2 s.
      {"silent", false, Query::Version, true},
      // Closed with a reset: the read fails like an unanswered one.
      {"drop:12", true, Query::DefInfo, false},
  };
  for (const Case& c : cases) {
    emu::net::FaultPlan plan;
    std::string error;
    ASSERT_TRUE(emu::net::parseFaultPlan(c.fault, &plan, &error)) << error;
    Emulator printer(plan);
    const Readings r = readAll(printer.uri());
    EXPECT_EQ(r.closed, c.closed) << c.fault;
    EXPECT_EQ(r.silent, !c.closed) << c.fault;
    EXPECT_EQ(r.haveVersion, c.version) << c.fault;
    EXPECT_FALSE(r.haveDistance) << c.fault;
    for (const QueryStep& step : querySteps())
      EXPECT_EQ(r.written[size_t(step.query)], step.query <= c.lastAsked) << c.fault << " " << int(step.query);
  }
}

// The answer that confirms a job: the query after the job on the same
// connection, read as the job's delivery reads it.
TEST(AnswerAfterAJob, ConfirmedOnlyByAnAnswerAndAClosedOrResetConnectionIsGone) {
  struct Case {
    const char* fault;
    Answer answer;
  } const cases[] = {
      {"none", Answer::confirmed},
      // Reset within the query: its write or the read fails.
      {"drop:3", Answer::gone},
      // The emulator closes a connection that brings nothing for 2 s.
      {"silent", Answer::gone},
  };
  for (const Case& c : cases) {
    emu::net::FaultPlan plan;
    std::string error;
    ASSERT_TRUE(emu::net::parseFaultPlan(c.fault, &plan, &error)) << error;
    Emulator printer(plan);
    pappl_device_t* device = papplDeviceOpen(printer.uri().c_str(), "test", noError, nullptr);
    ASSERT_NE(device, nullptr) << c.fault;
    EXPECT_EQ(askPrinter(device, 500ms), c.answer) << c.fault;
    papplDeviceClose(device);
  }
}

}  // namespace
