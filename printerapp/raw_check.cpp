// The raw-file check, by the emulated printer's own job decoder.
#include "raw_check.h"

#include "job_decoder.h"

namespace printerapp {

std::string RawCheck::describe() const {
  return "line " + std::to_string(line) + " (byte " + std::to_string(offset) + "): " + reason;
}

RawCheck checkRawJob(const uint8_t* data, size_t size) {
  RawCheck check;
  if (!data || size == 0) {
    check.reason = "empty file";
    check.line = 1;
    return check;
  }
  emu::JobReport report;
  emu::DecodeError error;
  if (emu::decodeJob(data, size, report, error)) {
    if (report.labels.empty()) {
      check.line = 1;
      check.reason = "no label in the file (no START ... END)";
      return check;
    }
    check.ok = true;
    return check;
  }
  check.offset = error.offset;
  check.reason = error.reason;
  // Lines are counted by the CR LF ends of command lines before the fault;
  // GRAPH data can hold those bytes too, so the byte offset is given as well.
  check.line = 1;
  for (size_t i = 0; i + 1 < size && i < error.offset; ++i)
    if (data[i] == '\r' && data[i + 1] == '\n') ++check.line;
  return check;
}

}  // namespace printerapp
