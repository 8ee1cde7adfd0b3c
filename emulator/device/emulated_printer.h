// The emulated printer's command side: answers query commands, applies
// setting commands to its settings memory and keeps the job data it gets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "endpoint.h"
#include "printer_commands.h"

namespace emu {

enum class PrinterModel { TR7208, KV830 };

// Settings-memory addresses the printer keeps its stored settings at: the
// printer's own (printer_commands.h) and two the emulator chose for the
// sensor levels, which no dump reader looks at.
namespace addr {
using namespace printercmd::settingsAddress;
constexpr size_t kGapSensorLevel = 140;  // FSET SG
constexpr size_t kMarkSensorLevel = 141; // FSET SM
}  // namespace addr

using printercmd::kSettingsMemorySize;

// What the print head check (FSET CSET=13) reports.
struct HeadCondition {
  int status = 0;      // 0 normal, 1 drive circuit damaged, 2 broken heating dot
  int brokenDot = 0;   // position of the broken dot, in dots
};

class EmulatedPrinter : public Endpoint {
 public:
  explicit EmulatedPrinter(PrinterModel model);

  // Endpoint: bytes from the host are split into CR LF lines. A line that is
  // exactly a query or setting command is acted on; every other byte is job
  // data and is kept in order. A reply is queued for hostRead.
  void hostWrite(const uint8_t* data, size_t size) override;
  size_t hostRead(uint8_t* out, size_t capacity) override;
  size_t pending() const override;

  PrinterModel model() const { return model_; }
  // Dots per millimetre: 8 for TR7208, 12 for KV830.
  int dotsPerMm() const;

  // ---- inspection -------------------------------------------------------
  // Job data received so far, byte for byte (an unfinished last line
  // included), with every recognised command line left out.
  std::vector<uint8_t> jobBytes() const;
  // Every byte the host sent, commands included.
  const std::vector<uint8_t>& received() const { return received_; }
  // Recognised command lines in arrival order, without CR LF (an ESC
  // prefix is kept).
  const std::vector<std::string>& commands() const { return commands_; }
  const std::array<uint8_t, kSettingsMemorySize>& settings() const { return settings_; }
  // USB interface class last set by "USBS CLS=n" (0 printer, 1 HID, 2 parallel).
  int usbClass() const { return usbClass_; }
  // Labels the printer printed on its own (FSET CSET=6, 8, 11), by CSET number.
  const std::vector<int>& selfPrints() const { return selfPrints_; }

  // ---- scripting ----------------------------------------------------------
  void setSetting(size_t address, uint8_t value);
  // The USB interface class, as "USBS CLS=n" sets it (for a printer that
  // starts out in HID mode).
  void setUsbClass(int cls) { usbClass_ = cls; }
  void setHeadCondition(HeadCondition h) { head_ = h; }
  void setPrintDistanceMm(int mm) { printDistanceMm_ = mm; }
  void setPageCounter(int n) { pageCounter_ = n; }
  // Level that automatic sensor calibration finds (a value below 1 means
  // the calibration fails); ADD=2 gap sensor, ADD=0 mark sensor.
  void setCalibrationResult(int gap, int mark) {
    calibrateGap_ = gap;
    calibrateMark_ = mark;
  }
  // Replaces the reply to one command line (given without CR LF); an empty
  // reply makes the printer stay silent for it.
  void setReply(const std::string& commandLine, std::string reply);
  // Bytes the printer has ready for the host, as if a command had asked
  // for them.
  void queueReply(const std::string& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  // Drops whatever the printer still has ready for the host.
  void discardReplies() { out_.clear(); }
  // A silent printer takes every command but answers none.
  void setSilent(bool silent) { silent_ = silent; }
  // Firmware text lines of the VER reply (line 2 system, line 3 IPL).
  void setVersion(std::string system, std::string ipl);

 private:
  bool handleLine(const std::string& line);
  bool handleDef(const std::string& args);
  bool handleFset(const std::string& args);
  void reply(std::string text);
  void factoryReset();

  PrinterModel model_;
  std::array<uint8_t, kSettingsMemorySize> settings_{};
  std::vector<uint8_t> received_;
  std::vector<uint8_t> job_;
  std::vector<uint8_t> partial_;
  std::vector<uint8_t> out_;
  std::vector<std::string> commands_;
  std::vector<int> selfPrints_;
  std::map<std::string, std::string> replyOverride_;
  std::string systemVersion_;
  std::string iplVersion_ = "IPL 1.02";
  HeadCondition head_;
  int usbClass_ = 0;
  bool silent_ = false;
  int printDistanceMm_ = 0;
  int pageCounter_ = 0;
  int calibrateGap_ = 30;
  int calibrateMark_ = 45;
};

}  // namespace emu
