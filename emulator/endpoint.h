// The printer emulator's byte-level conversation with a host: bytes the
// host sends in, reply bytes the printer has ready to go out. The port of
// the spooler's monitor and the USB HID link both carry this conversation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace emu {

class Endpoint {
 public:
  virtual ~Endpoint() = default;
  // Bytes from the host (job data or command lines).
  virtual void hostWrite(const uint8_t* data, size_t size) = 0;
  // Copies up to `capacity` reply bytes to `out` and removes them from the
  // printer's output; returns how many were copied (0 when none are ready).
  virtual size_t hostRead(uint8_t* out, size_t capacity) = 0;
  // Reply bytes ready to be read.
  virtual size_t pending() const = 0;
};

}  // namespace emu
