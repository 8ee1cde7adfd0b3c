// The simulated spooler's queue database, shared by its source files.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <cstring>
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
  DWORD access = PRINTER_ACCESS_USE;  // DesiredAccess it was opened with
};

// Lays strings and records out after the fixed part of a spooler info
// structure, the way the spooler fills its caller's buffer. Nothing is
// written past `cb`; needed() is the size the caller must supply.
class InfoPacker {
 public:
  InfoPacker(BYTE* buf, DWORD cb, DWORD fixed) : buf_(buf), cb_(cb), used_(fixed) {}
  LPWSTR str(const std::u16string& s) { return place<WCHAR>(s.data(), s.size()); }
  LPSTR str(const std::string& s) { return place<CHAR>(s.data(), s.size()); }
  // Copies a block (8-byte aligned); null for an empty one.
  void* bytes(const std::vector<BYTE>& v);
  DWORD needed() const { return used_; }
  // Sets *pcbNeeded. When everything fits, copies the fixed part to the
  // front of the buffer and returns TRUE; otherwise fails with
  // ERROR_INSUFFICIENT_BUFFER. An empty result (needed() == 0) always fits.
  BOOL finish(const void* fixedPart, DWORD fixedSize, LPDWORD pcbNeeded);

 private:
  // Strings start on their character's alignment, as the spooler lays
  // them out, whatever size the blocks before them had.
  template <class C>
  C* place(const C* s, size_t n) {
    used_ = (used_ + DWORD(alignof(C)) - 1) / DWORD(alignof(C)) * DWORD(alignof(C));
    DWORD bytes = DWORD((n + 1) * sizeof(C));
    C* at = fits(bytes) ? reinterpret_cast<C*>(buf_ + used_) : nullptr;
    if (at) {
      std::memcpy(at, s, n * sizeof(C));
      at[n] = 0;
    }
    used_ += bytes;
    return at;
  }
  bool fits(DWORD n) const { return buf_ && used_ + n <= cb_; }
  BYTE* buf_;
  DWORD cb_;
  DWORD used_;
};

// Lower-cases ASCII letters, the folding used for queue and value names.
std::u16string fold(const std::u16string& s);

// A job of a queue: a document a program started (StartDocPrinterA) or one
// a test put there (addJob, addQueuedJob). Every job call (GetJobW,
// EnumJobsA, SetJobA and the document calls) reads the same list.
struct SpoolJob {
  DWORD id = 0;
  std::u16string document;
  std::u16string user = u"user";
  std::u16string datatype;
  DWORD pages = 0;
  bool finished = false;  // EndDocPrinter was called
  DWORD status = JOB_STATUS_SPOOLING;
  std::vector<BYTE> data;  // what WritePrinter accepted for it
};

struct QueueJobs {
  std::vector<SpoolJob> jobs;  // in submission order
  bool hold = false;           // finished jobs stay queued
};

struct Spooler {
  std::map<std::u16string, QueueState> queues;  // key: folded name
  // Kept apart from the queues, so jobs may be scripted before their queue.
  std::map<std::u16string, QueueJobs> jobs;  // key: folded queue name
  DWORD nextJobId = 1;
  size_t openHandles = 0;
};
Service<Spooler>& spooler();

// The job list of a queue (made on first use), and one of its jobs or null.
// Call with the spooler lock held.
QueueJobs& jobsOf(const std::u16string& queue);
SpoolJob* findJob(const std::u16string& queue, DWORD id);
// Adds a job at the end of the queue's list; an id of 0 takes the next free
// one, an explicit id replaces the queue's job of that id. Returns the id.
DWORD addSpoolJob(const std::u16string& queue, SpoolJob job);
void removeJob(const std::u16string& queue, DWORD id);
// The job of the document open on a printer handle, or null.
SpoolJob* openJobOf(HANDLE printer);

// The queue behind a printer handle, or null (last error set) when the
// handle is not an open printer handle or its queue is gone. Call with the
// spooler lock held.
QueueState* queueOf(HANDLE hPrinter);
// True when the handle was opened with PRINTER_ACCESS_ADMINISTER.
bool administers(HANDLE hPrinter);

// The common start of the "fill a caller's buffer" queries (GetPrinterW,
// GetJobW, GetPrinterDriver*): the queue behind the handle, a size pointer
// to report through, and `api`'s scripted fault. Returns null with the last
// error set when any of them fails. Call with the spooler lock held.
QueueState* queueForQuery(HANDLE hPrinter, LPDWORD pcbNeeded, Api api);

}  // namespace sim
