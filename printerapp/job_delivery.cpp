#include "job_delivery.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

#include "printer_commands.h"

namespace printerapp {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// PAPPL's socket read gives a quiet printer 10 s; one that fails sooner
// failed on the connection.
constexpr milliseconds kQuickFailure{1000};

size_t bytesWritten(pappl_device_t* device) {
  pappl_devmetrics_t m{};
  papplDeviceGetMetrics(device, &m);
  return m.write_bytes;
}

// PAPPL buffers writes and its flush reports nothing: what reached the
// device is read back from the connection's byte count.
bool writeFlushed(pappl_device_t* device, const void* data, size_t size) {
  const size_t before = bytesWritten(device);
  const ssize_t n = papplDeviceWrite(device, data, size);
  papplDeviceFlush(device);
  return n >= 0 && static_cast<size_t>(n) == size && bytesWritten(device) - before == size;
}

}  // namespace

Answer askPrinter(pappl_device_t* device, milliseconds wait) {
  const std::string_view query = printercmd::kResolution;
  if (!writeFlushed(device, query.data(), query.size())) return Answer::gone;
  return awaitAnswer(device, wait);
}

Answer awaitAnswer(pappl_device_t* device, milliseconds wait) {
  // The printer takes its input in order: an answer means it has read
  // every byte before the query.
  std::string reply;
  const Clock::time_point deadline = Clock::now() + wait;
  do {
    char buffer[64];
    const Clock::time_point start = Clock::now();
    const ssize_t n = papplDeviceRead(device, buffer, sizeof buffer);
    if (n == 0) return Answer::gone;  // the printer closed the connection
    // A read that fails before its own wait is over found the connection
    // broken (reset), not quiet.
    if (n < 0 && Clock::now() - start < kQuickFailure) return Answer::gone;
    if (n > 0) {
      reply.append(buffer, static_cast<size_t>(n));
      if (reply.find("\r\n") != std::string::npos) break;
    }
  } while (Clock::now() < deadline);
  return printercmd::classifyResolution(reply) != printercmd::Resolution::Unknown ? Answer::confirmed
                                                                                 : Answer::silent;
}

namespace {

// The jobs whose device is open and whose bytes go through a delivery: a
// stopped printer with one of them is not waiting for its device.
struct Delivering {
  std::mutex lock;
  std::set<pappl_job_t*> jobs;
};
Delivering& delivering() {
  static Delivering d;
  return d;
}

bool isDelivering(pappl_job_t* job) {
  Delivering& d = delivering();
  std::lock_guard<std::mutex> hold(d.lock);
  return d.jobs.count(job) != 0;
}

}  // namespace

JobDelivery::JobDelivery(pappl_job_t* job, pappl_device_t* device, DeliveryTiming timing)
    : job_(job), printer_(papplJobGetPrinter(job)), timing_(timing), device_(device) {
  if (device_) baseline_ = bytesWritten(device_);
  // A job that waited for its device to open goes on.
  if (papplJobGetReasons(job_) & PAPPL_JREASON_PRINTER_STOPPED) {
    papplJobSetReasons(job_, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
    papplJobSetMessage(job_, "The printer can be reached again; the job is being sent.");
  }
  Delivering& d = delivering();
  std::lock_guard<std::mutex> hold(d.lock);
  d.jobs.insert(job_);
}

JobDelivery::~JobDelivery() {
  dropConnection();
  Delivering& d = delivering();
  std::lock_guard<std::mutex> hold(d.lock);
  d.jobs.erase(job_);
}

bool JobDelivery::write(void* context, const BYTE* data, DWORD size, DWORD* written) {
  auto* self = static_cast<JobDelivery*>(context);
  self->bytes_.append(reinterpret_cast<const char*>(data), size);
  if (self->device_ && !self->broken_) {
    const ssize_t n = papplDeviceWrite(self->device_, data, size);
    if (n < 0 || static_cast<size_t>(n) != size)
      self->broken_ = true;
    else
      self->handed_ += size;
  }
  *written = size;
  return true;
}

void JobDelivery::dropConnection() {
  if (device_ && ownDevice_) papplDeviceClose(device_);
  device_ = nullptr;
  ownDevice_ = false;
}

bool JobDelivery::sendAll() {
  baseline_ = bytesWritten(device_);
  handed_ = 0;
  broken_ = false;
  constexpr size_t kChunk = 65536;
  for (size_t at = 0; at < bytes_.size() && !broken_; at += kChunk) {
    const size_t n = std::min(kChunk, bytes_.size() - at);
    if (papplDeviceWrite(device_, bytes_.data() + at, n) != static_cast<ssize_t>(n))
      broken_ = true;
    else
      handed_ += n;
  }
  return !broken_;
}

void JobDelivery::noteTrouble(Stage stage, milliseconds delay, int attempt) {
  papplPrinterSetReasons(printer_, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
  papplJobSetReasons(job_, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
  const long seconds = static_cast<long>((delay.count() + 999) / 1000);
  switch (stage) {
    case Stage::opening:
      papplJobSetMessage(job_, "The printer cannot be reached; the job is not printed yet and is sent again in %ld s.",
                         seconds);
      break;
    case Stage::sending:
      papplJobSetMessage(job_,
                         "The printer dropped the connection or stopped taking data; the job is not printed yet and "
                         "is sent again whole in %ld s.",
                         seconds);
      break;
    case Stage::asking:
      papplJobSetMessage(job_,
                         "The printer does not answer after the job; it is not known to have printed. Waiting for its "
                         "answer another %ld s.",
                         seconds);
      break;
  }
  papplLogJob(job_, PAPPL_LOGLEVEL_WARN, "Attempt %d: %s", attempt, papplJobGetMessage(job_));
}

bool JobDelivery::pause(milliseconds delay) {
  pappl_system_t* system = papplPrinterGetSystem(printer_);
  const Clock::time_point until = Clock::now() + delay;
  for (;;) {
    if (papplJobIsCanceled(job_) || papplPrinterIsDeleted(printer_) || !papplSystemIsRunning(system)) return false;
    const Clock::time_point now = Clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(std::min<Clock::duration>(milliseconds(100), until - now));
  }
}

bool JobDelivery::finish() {
  int attempt = 1;
  bool troubled = false;
  bool asked = false;  // the query went on this connection
  milliseconds delay = timing_.firstRetry;
  for (;;) {
    Stage stage = Stage::opening;
    if (device_) {
      papplDeviceFlush(device_);
      if (broken_ || bytesWritten(device_) - baseline_ != handed_ || handed_ != bytes_.size()) {
        stage = Stage::sending;
      } else {
        // The query goes once per connection: a printer that has not
        // answered yet is waited for, so that one that is only slow (or
        // gone quiet and closing the connection) is not sent the job twice.
        const Answer answer =
            asked ? awaitAnswer(device_, timing_.answerWait) : askPrinter(device_, timing_.answerWait);
        asked = true;
        if (answer == Answer::confirmed) break;
        stage = answer == Answer::gone ? Stage::sending : Stage::asking;
      }
      // A connection that lost part of the job is of no more use to it.
      if (stage == Stage::sending) {
        dropConnection();
        asked = false;
      }
    }
    troubled = true;
    noteTrouble(stage, delay, attempt);
    if (!pause(delay)) {
      const char* why = papplJobIsCanceled(job_)         ? "Canceled while waiting for the printer."
                        : papplPrinterIsDeleted(printer_) ? "The printer was deleted before it took the job; it was "
                                                            "not printed."
                                                          : "The application stopped before the printer took the "
                                                            "job; it was not printed.";
      papplJobSetMessage(job_, "%s", why);
      papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "%s", papplJobGetMessage(job_));
      return false;
    }
    delay = std::min(delay * 2, timing_.longestRetry);
    if (!device_) {
      device_ = papplDeviceOpen(papplPrinterGetDeviceURI(printer_), papplJobGetName(job_), papplLogDevice,
                                papplPrinterGetSystem(printer_));
      if (device_) {
        ownDevice_ = true;
        ++attempt;
        sendAll();
      }
    }
  }
  papplPrinterSetReasons(printer_, PAPPL_PREASON_NONE, PAPPL_PREASON_OFFLINE);
  if (troubled) {
    papplJobSetReasons(job_, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
    papplJobSetMessage(job_, "Printed once the printer took the job (attempt %d).", attempt);
    papplLogJob(job_, PAPPL_LOGLEVEL_INFO, "%s", papplJobGetMessage(job_));
  }
  return true;
}

namespace {

// Printers marked offline by the check (by id): only the timer's thread
// touches it.
std::set<int>& markedUnreachable() {
  static std::set<int> ids;
  return ids;
}

// The printer's processing job that has not reached a delivery yet.
pappl_job_t* processingJob(pappl_printer_t* printer) {
  pappl_job_t* found = nullptr;
  papplPrinterIterateActiveJobs(
      printer,
      [](pappl_job_t* job, void* data) {
        if (papplJobGetState(job) == IPP_JSTATE_PROCESSING && !isDelivering(job))
          *static_cast<pappl_job_t**>(data) = job;
      },
      &found, 1, papplPrinterGetNumberOfActiveJobs(printer));
  return found;
}

void checkReachable(pappl_printer_t* printer, void*) {
  std::set<int>& marked = markedUnreachable();
  const int id = papplPrinterGetID(printer);
  pappl_job_t* job = papplPrinterGetState(printer) == IPP_PSTATE_STOPPED ? processingJob(printer) : nullptr;
  if (job) {
    if (!(papplPrinterGetReasons(printer) & PAPPL_PREASON_OFFLINE))
      papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
    if (marked.insert(id).second) {
      papplJobSetReasons(job, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
      papplJobSetMessage(job, "The printer cannot be reached at %s; the job waits and is sent once it answers.",
                         papplPrinterGetDeviceURI(printer));
      papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "%s", papplJobGetMessage(job));
    }
  } else if (marked.erase(id)) {
    // Going on: the job that waited now prints, and its delivery says how
    // it went.
    papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_OFFLINE);
  }
}

bool checkPrinters(pappl_system_t* system, void*) {
  papplSystemIteratePrinters(system, checkReachable, nullptr);
  return true;  // keep the timer
}

}  // namespace

void watchUnreachablePrinters(pappl_system_t* system) {
  papplSystemAddTimerCallback(system, 0, 1, checkPrinters, nullptr);
}

}  // namespace printerapp
