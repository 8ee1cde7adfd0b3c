// The seven exports of VRDUSBHid: argument checks, one call, and a guard
// that keeps every exception inside the library.
#include <VRDUSBHid.h>

#include <cstring>

#include "link.h"

namespace {

constexpr char kVersion[] = "1.0.1.0";
constexpr int kVersionLength = 7;
static_assert(sizeof kVersion == kVersionLength + 1, "version text length");

template <class F, class R>
R guarded(F&& f, R failure) {
  try {
    return f();
  } catch (...) {
    return failure;
  }
}

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
  return guarded([] { return hidlink::open(); }, 0);
}

int WINAPI hidusbClose(int token) {
  return guarded([&] { return hidlink::close(token); }, 0);
}

int WINAPI hidusbIsOpened(int token) {
  return guarded([&] { return hidlink::isOpened(token) ? 1 : 0; }, 0);
}

int WINAPI hidusbReadData(int token, unsigned char* buffer, int length) {
  return guarded([&] { return hidlink::read(token, buffer, length); }, 0);
}

int WINAPI hidusbWriteData(int token, const unsigned char* data, int length) {
  return guarded([&] { return hidlink::write(token, data, length); }, 0);
}

void* WINAPI hidusbGetHandle(int which) {
  return guarded([&] { return hidlink::generalHandle(which); }, static_cast<void*>(nullptr));
}

}  // extern "C"
