// Shared pieces of the simulated host's waitable objects (not for tests).
#pragma once

#include "sim/world.h"

namespace sim {

// A kernel object WaitForSingleObject can wait on. wait() returns a WAIT_*
// code; timeouts run on the virtual clock.
struct Waitable : KernelObject {
  virtual DWORD wait(DWORD milliseconds) = 0;
};

}  // namespace sim
