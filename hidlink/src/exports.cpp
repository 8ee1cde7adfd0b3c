// The seven exports of VRDUSBHid: argument checks, one call, and a guard
// that keeps every exception inside the library.
#include <VRDUSBHid.h>

#include <cstring>

#include "guard.h"
#include "link.h"

namespace {

constexpr char kVersion[] = "1.0.1.0";
constexpr int kVersionLength = 7;
static_assert(sizeof kVersion == kVersionLength + 1, "version text length");

}  // namespace

extern "C" {

int WINAPI hidusbGetVersion(char* buffer, int size) {
  if (!buffer) return kVersionLength;
  if (size < kVersionLength) return 0;
  std::memset(buffer, 0, size_t(size));
  std::memcpy(buffer, kVersion, kVersionLength);
  return kVersionLength;
}

int WINAPI hidusbOpen(void) {
  return support::guardedCall(0, [] { return hidlink::open(); });
}

int WINAPI hidusbClose(int token) {
  return support::guardedCall(0, [&] { return hidlink::close(token); });
}

int WINAPI hidusbIsOpened(int token) {
  return support::guardedCall(0, [&] { return hidlink::isOpened(token) ? 1 : 0; });
}

int WINAPI hidusbReadData(int token, unsigned char* buffer, int length) {
  return support::guardedCall(0, [&] { return hidlink::read(token, buffer, length); });
}

int WINAPI hidusbWriteData(int token, const unsigned char* data, int length) {
  return support::guardedCall(0, [&] { return hidlink::write(token, data, length); });
}

void* WINAPI hidusbGetHandle(int which) {
  return support::guardedCall(static_cast<void*>(nullptr), [&] { return hidlink::generalHandle(which); });
}

}  // extern "C"
