// Small UTF-16 text helpers for the driver.
#include "text.h"

namespace driver {

int formatDecimal(LONG value, WCHAR* out) {
  WCHAR digits[12];
  int n = 0;
  // Work in unsigned arithmetic so LONG's minimum has a magnitude.
  ULONG magnitude = value < 0 ? 0u - ULONG(value) : ULONG(value);
  do {
    digits[n++] = WCHAR('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  int len = 0;
  if (value < 0) out[len++] = WCHAR('-');
  while (n) out[len++] = digits[--n];
  out[len] = 0;
  return len;
}

void copyText(WCHAR* dst, LPCWSTR src, int maxChars) {
  if (!src) {
    dst[0] = 0;
    return;
  }
  lstrcpynW(dst, src, maxChars + 1);
}

int lengthBefore(LPCWSTR src, WCHAR stop) {
  int n = 0;
  if (src)
    while (src[n] && src[n] != stop) ++n;
  return n;
}

}  // namespace driver
