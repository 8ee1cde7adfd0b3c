// Small UTF-16 text helpers for the driver (no libc wide functions).
#pragma once

#include <windows.h>

namespace driver {

// Writes value in decimal ("%d") into out (at least 12 code units) and
// returns the number of code units written, excluding the terminator.
int formatDecimal(LONG value, WCHAR* out);

// Copies at most maxChars code units of src into dst and terminates it
// (dst holds maxChars + 1 units). A null src gives an empty string.
void copyText(WCHAR* dst, LPCWSTR src, int maxChars);

// Length of src up to (not including) the first `stop` unit or the end.
int lengthBefore(LPCWSTR src, WCHAR stop);

}  // namespace driver
