// Shared pieces of the simulated host's implementation (not for tests).
#pragma once

#include <string>

#include <windows.h>

#include "sim/world.h"
struct _BRUSHOBJ;

namespace sim {

// Sleep's bookkeeping: advances the clock and the slept total.
void noteSleep(ULONGLONG ms);

// Runs `api`'s scripted fault check; on a fault sets the last error and
// returns true, so a simulated API can `if (faulted(api::X)) return FALSE;`.
bool faulted(Api api);

// Sets the last error and returns FALSE, the failure shape of most calls.
inline BOOL failWith(DWORD code) {
  SetLastError(code);
  return FALSE;
}

// Realizes a brush made with sim::makeBrush through the driver's hooks
// (nothing for other brushes).
void realizeRegisteredBrush(_BRUSHOBJ* brush);

// UTF-16 <-> UTF-8 helpers for the simulated services.
std::string toUtf8(const WCHAR* s, int len = -1);
std::u16string fromUtf8(const std::string& s);
// UTF-16 <-> ANSI code page (CP_ACP) helpers, for the simulated A functions.
std::string toAnsi(const std::u16string& s);
std::u16string fromAnsi(const char* s);

}  // namespace sim
