// A job's way to the printer: every byte through PAPPL's device
// connection, confirmed by the printer's answer to a query sent after the
// job on the same connection, and waited for (not reported as printed)
// when the printer does not confirm it.
#pragma once

#include <pappl/pappl.h>
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <string>

namespace printerapp {

// What a printer said to the resolution query asked after a job.
enum class Answer {
  confirmed,  // it answered: it has read every byte before the query
  silent,     // nothing (or nothing it would say) within the wait
  gone,       // the connection is closed or broken
};

// Writes the resolution query on `device` and reads the answer for up to
// `wait`. PAPPL's socket read waits up to 10 s for a first byte and cannot
// be told otherwise, so a printer that says nothing costs the longer of
// `wait` and that one read; one that answers costs its answer's time.
Answer askPrinter(pappl_device_t* device, std::chrono::milliseconds wait);
// The answer to a query already sent, read as askPrinter reads it.
Answer awaitAnswer(pappl_device_t* device, std::chrono::milliseconds wait);

// How long the application waits on a printer: for its answer after a job
// (the driver's language monitor gives it 120 ms; a printer still feeding
// labels may take longer), and between attempts to deliver a job it has
// not confirmed, doubling from the first to the longest.
struct DeliveryTiming {
  std::chrono::milliseconds answerWait{2000};
  std::chrono::milliseconds firstRetry{2000};
  std::chrono::milliseconds longestRetry{30000};
};

// One job on its way. Every byte goes to PAPPL's connection and a copy is
// kept. A job the printer does not confirm stays processing, with the
// printer `offline` and the job's reason and message saying why: a silent
// printer is waited for on the same connection (the job is not sent twice
// while the printer may still be reading it); a dropped connection,
// or one that took only part of the job, is replaced and the job sent
// again whole, until the printer confirms it, the job is canceled or the
// application stops.
class JobDelivery {
 public:
  JobDelivery(pappl_job_t* job, pappl_device_t* device, DeliveryTiming timing = {});
  ~JobDelivery();
  JobDelivery(const JobDelivery&) = delete;
  JobDelivery& operator=(const JobDelivery&) = delete;

  // A driver::ByteWriter, `context` the delivery. It takes every byte: a
  // connection that fails only marks the job for sending again.
  static bool write(void* context, const BYTE* data, DWORD size, DWORD* written);

  // After the job's last byte: true once the printer has confirmed every
  // byte of it; false when the job was canceled or the application stops
  // first (the job's message then says it was not printed).
  bool finish();

 private:
  enum class Stage { opening, sending, asking };
  void noteTrouble(Stage stage, std::chrono::milliseconds delay, int attempt);
  bool pause(std::chrono::milliseconds delay);  // false: stop trying
  bool sendAll();
  void dropConnection();

  pappl_job_t* job_;
  pappl_printer_t* printer_;
  DeliveryTiming timing_;
  pappl_device_t* device_;  // the connection in use
  bool ownDevice_ = false;  // opened here (PAPPL closes its own)
  bool broken_ = false;     // the connection failed a write
  size_t baseline_ = 0;     // bytes the connection had written before the job
  size_t handed_ = 0;       // bytes of the job handed to it
  std::string bytes_;       // the whole job, to send again
};

// PAPPL keeps a job whose printer's device does not open processing, tries
// the device again every few seconds and stops the printer meanwhile, with
// no reason or message that says so. A once-a-second check of the system's
// printers marks such a printer `offline`, says why in the waiting job's
// message, and lifts the mark when the printer goes on.
void watchUnreachablePrinters(pappl_system_t* system);

}  // namespace printerapp
