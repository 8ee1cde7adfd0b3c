// Scripting interface of the simulated spooler's document and job calls
// (StartDocPrinterA ... EndDocPrinter, EnumJobsA, SetJobA).
//
// A document started on a queue is a job of that queue until it is
// finished: EndDocPrinter finishes it at once (the job leaves the queue)
// unless the queue holds its jobs, in which case it stays queued until
// cancelled with SetJobA or released with releaseJobs. A queue has one
// list of jobs: the jobs of sim::addJob (GetJobW) are in it too.
//
// Faults: "StartDocPrinter", "StartPagePrinter", "EndPagePrinter",
// "EndDocPrinter", "EnumJobsA", "GetJobA", "SetJobA", "GetPrinterDriverA".
#pragma once

#include <string>
#include <vector>

#include <winspool.h>

namespace sim {

struct QueuedJob {
  DWORD id = 0;
  std::string document;  // ANSI, as the document information gave it
  std::string datatype;
  DWORD pages = 0;
  bool finished = false;  // EndDocPrinter was called
};

// Jobs currently in the queue, in submission order.
std::vector<QueuedJob> queuedJobs(const std::u16string& queue);
// Adds a finished job (for instance another program's) to the queue.
DWORD addQueuedJob(const std::u16string& queue, const std::string& document);
// While held, finished jobs stay in the queue.
void holdJobs(const std::u16string& queue, bool hold);
// Removes every finished job of a held queue, as if the printer took them.
void releaseJobs(const std::u16string& queue);
// The same, handing over each job's data (what WritePrinter accepted for
// it) in queue order: a printer that comes back takes what waited for it.
std::vector<std::vector<BYTE>> takeFinishedJobs(const std::u16string& queue);

}  // namespace sim
