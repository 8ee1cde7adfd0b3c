// The tool's reply readers, HidReadUntilIdle and HidReadUntil, over a link
// whose printer sends any bytes, cut into any chunks with pauses between
// them, read into a buffer of any capacity with any idle limit and
// terminator. The buffer is exactly as large as the readers' contract says
// (capacity + 1 bytes), so a write past it is caught. A reader must return
// -1 only for a closed link or a reply that does not fit; otherwise all
// bytes read, in order and zero-terminated, after pausing no longer than
// its idle limit between chunks; HidReadUntil stops at the chunk that
// completes its terminator, HidReadUntilIdle only when the printer fell
// silent.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "printer_link.h"
#include "scripted_link_library.h"
#include "sim/world.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "link reader: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  sim::reset();
  linkfuzz::registerScriptedLibrary();
  if (!StartHidLink()) fail("the link did not start");
  linkfuzz::ScriptedLibrary& lib = linkfuzz::library();

  const bool untilLine = in.ConsumeBool();
  // As the reader sees it: up to its first zero byte.
  const std::string terminator = (in.ConsumeBool() ? std::string("\r\n") : in.ConsumeRandomLengthString(4)).c_str();
  const int capacity = in.ConsumeIntegralInRange(0, 15) == 0 ? kReplyCapacity : in.ConsumeIntegralInRange(-1, 300);
  const int idleLimitMs = in.ConsumeIntegralInRange(-30, 300);
  const bool opened = in.ConsumeIntegralInRange(0, 15) != 0;
  lib.reply = linkfuzz::answerFrom(in, 64, 80);
  size_t chunks = 0;
  for (const linkfuzz::ReadStep& step : lib.reply) chunks += step.nothing ? 0 : 1;
  if (opened && !EnsureHidOpen()) fail("the link did not open");

  std::vector<char> buffer(size_t(capacity < 0 ? 0 : capacity) + 1, 0);
  const int n = untilLine ? HidReadUntil(buffer.data(), capacity, idleLimitMs, terminator.c_str())
                          : HidReadUntilIdle(buffer.data(), capacity, idleLimitMs);

  const size_t got = lib.delivered.size();
  if (!opened || capacity <= 0) {
    if (n != -1) fail("a closed link or an empty buffer gave a reply");
  } else if (n == -1) {
    if (got < size_t(capacity)) fail("-1 for a reply that fits");
  } else {
    if (n < 0 || n >= capacity) fail("count outside the buffer");
    if (size_t(n) != got) fail("count differs from the bytes read");
    if (std::memcmp(buffer.data(), lib.delivered.data(), got) != 0) fail("bytes differ from what was read");
    if (buffer[size_t(n)] != 0) fail("reply not terminated");
    const bool stopsAtTerminator = untilLine && !terminator.empty();
    const bool completed = stopsAtTerminator && std::strstr(buffer.data(), terminator.c_str()) != nullptr;
    const int silentReads = (idleLimitMs > 0 ? idleLimitMs / 10 : 0) + 1;
    if (completed) {
      // Only the last chunk may complete it, and nothing is read after it.
      std::string before(lib.delivered, 0, lib.beforeLastChunk);
      if (std::strstr(before.c_str(), terminator.c_str())) fail("read on past the terminator");
      if (lib.trailingNothing != 0) fail("waited after the terminator arrived");
    } else if (lib.trailingNothing != silentReads) {
      fail("ended after a pause other than its idle limit");
    }
  }
  // Never longer than the idle limit (in 10 ms sleeps) after each chunk.
  const ULONGLONG limit = ULONGLONG(chunks + 1) * ULONGLONG((idleLimitMs > 0 ? idleLimitMs : 0) + 10);
  if (sim::sleptMs() > limit) fail("waited longer than the idle limit allows");
  StopHidLink();
  return 0;
}
