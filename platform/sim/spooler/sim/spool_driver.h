// Scripting interface for the spooler calls drivers make: jobs on a queue
// (GetJobW) and the queue's driver information (GetPrinterDriverW).
//
// Faults: "GetJobW", "GetPrinterDriverW".
#pragma once

#include <string>

#include <winspool.h>

namespace sim {

struct JobSetup {
  DWORD id = 1;
  std::u16string document;
  std::u16string user = u"user";
  std::u16string datatype = u"NT EMF 1.008";
};

// Adds (or replaces) a finished job of the queue, in the one job list per
// queue that EnumJobsA, SetJobA and the document calls use as well.
void addJob(const std::u16string& queue, const JobSetup& job);

}  // namespace sim
