// The simulated spooler's queue database, shared by its source files.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/spooler.h"
#include "sim/world.h"

namespace sim {

struct PrinterValue {
  DWORD type = REG_BINARY;
  std::vector<BYTE> data;
};

struct QueueState {
  QueueSetup setup;
  std::map<std::u16string, PrinterValue> data;  // key: folded value name
  std::vector<std::vector<BYTE>> writes;
  WriteSink sink;
};

struct PrinterHandle : KernelObject {
  std::u16string queue;  // folded queue name
};

// Lower-cases ASCII letters, the folding used for queue and value names.
std::u16string fold(const std::u16string& s);

struct Spooler {
  std::recursive_mutex lock;
  std::map<std::u16string, QueueState> queues;  // key: folded name
  size_t openHandles = 0;
};
Spooler& spooler();

// The queue behind a printer handle, or null (last error set) when the
// handle is not an open printer handle or its queue is gone. Call with the
// spooler lock held.
QueueState* queueOf(HANDLE hPrinter);

}  // namespace sim
