// The raw-file check, by the emulated printer's own job decoder.
#include "raw_check.h"

#include "job_decoder.h"
#include "printer_commands.h"

namespace printerapp {

std::string RawCheck::describe() const {
  return "line " + std::to_string(line) + " (byte " + std::to_string(offset) + "): " + reason;
}

namespace {

// True when `line` (CR LF included) is one of the printer's query or
// setting commands: a fixed command, or the text (or the first line of the
// text) a command with arguments makes from the numbers the line holds.
bool isPrinterCommand(std::string_view line) {
  using namespace printercmd;
  static const std::string_view fixed[] = {kVersion,     kDefInfo,      kMaintenance,         kResolution,
                                           kTime,        kStatus,       kSelfCheck,           kPageCounter,
                                           kEmptyLine,   kHeadCheck,    kSensorLevels,        kPrintSettings,
                                           kPrintIdentification, kPrintTestLabel, kFactoryReset, kLabelStopFollowUp};
  for (std::string_view f : fixed)
    if (line == f) return true;
  int n[3] = {-1, -1, -1};
  int count = 0;
  for (size_t i = 0; i < line.size() && count < 4;) {
    if (line[i] < '0' || line[i] > '9') {
      ++i;
      continue;
    }
    long v = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && v < 100000) v = v * 10 + (line[i++] - '0');
    if (count < 3) n[count] = static_cast<int>(v);
    ++count;
  }
  auto starts = [&](const std::string& text) { return !text.empty() && text.compare(0, line.size(), line) == 0; };
  if (count == 1)
    return line == usbClass(n[0]) || line == buzzer(n[0]) || line == autoHeadCheck(n[0]) || starts(labelStop(n[0])) ||
           line == gapSensorLevel(n[0]) || line == markSensorLevel(n[0]);
  if (count == 2) return line == feed(n[0], n[1]);
  if (count == 3)
    return line == readSettingsMemory(n[1], n[2]) || line == calibrateSensor(Sensor::Mark) ||
           line == calibrateSensor(Sensor::Gap);
  return false;
}

// The line of `data` holding byte `at`, CR LF included (empty when none).
std::string_view lineAt(const std::string& data, size_t at) {
  if (at >= data.size()) return {};
  size_t start = at;
  while (start > 0 && !(data[start - 1] == '\n' && start >= 2 && data[start - 2] == '\r')) --start;
  const size_t end = data.find("\r\n", start);
  if (end == std::string::npos) return {};
  return std::string_view(data).substr(start, end + 2 - start);
}

}  // namespace

RawCheck checkRawJob(const uint8_t* data, size_t size) {
  RawCheck check;
  if (!data || size == 0) {
    check.reason = "empty file";
    check.line = 1;
    return check;
  }
  // The job language is checked by the decoder; the printer's query and
  // setting lines it does not know are taken out one at a time, first
  // fault first, so every line removed lies before the next fault.
  std::string job(reinterpret_cast<const char*>(data), size);
  size_t removed = 0;
  emu::JobReport report;
  emu::DecodeError error;
  for (size_t attempt = 0; attempt <= size; ++attempt) {
    report = emu::JobReport{};
    if (job.empty() || emu::decodeJob(reinterpret_cast<const uint8_t*>(job.data()), job.size(), report, error)) break;
    const std::string_view line = lineAt(job, error.offset);
    if (line.empty() || !isPrinterCommand(line)) break;
    const size_t start = static_cast<size_t>(line.data() - job.data());
    removed += line.size();
    job.erase(start, line.size());
    error = emu::DecodeError{};
  }
  if (job.empty()) {
    // Query and setting commands only.
    check.ok = true;
    return check;
  }
  if (error.reason.empty()) {
    if (report.labels.empty()) {
      check.line = 1;
      check.reason = "no label in the file (no START ... END)";
      return check;
    }
    check.ok = true;
    return check;
  }
  check.offset = error.offset + removed;
  check.reason = error.reason;
  // Lines are counted by the CR LF ends of command lines before the fault;
  // GRAPH data can hold those bytes too, so the byte offset is given as well.
  check.line = 1;
  for (size_t i = 0; i + 1 < size && i < check.offset; ++i)
    if (data[i] == '\r' && data[i + 1] == '\n') ++check.line;
  return check;
}

}  // namespace printerapp
