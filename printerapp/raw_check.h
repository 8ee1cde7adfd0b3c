// Checks a file in the printer's own job language before any of it is
// sent: every line a command of the job language, every GRAPH block
// decoding to its declared size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace printerapp {

struct RawCheck {
  bool ok = false;
  size_t line = 0;    // 1-based line of the fault (lines counted outside GRAPH data)
  size_t offset = 0;  // byte offset of the fault
  std::string reason;
  // "line N (byte O): reason"
  std::string describe() const;
};

RawCheck checkRawJob(const uint8_t* data, size_t size);

}  // namespace printerapp
