// The emulated printer on the network: an AppSocket (raw TCP) listener on
// the loopback interface. Each connection is one job, as one open of the
// USB port is: the bytes it brings go to a fresh emulated printer (whose
// settings memory carries over from the connection before), query commands
// are answered on the connection, and when the host closes it the job data
// are decoded and each label is written as a PNG. A fault plan makes the
// printer misbehave on purpose: drop the connection mid-job, stop reading,
// answer nothing or answer garbage; chosen replies replace the printer's
// own answer to a query. Every connection, job or not, is logged with the
// bytes it brought.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "emulated_printer.h"
#include "job_decoder.h"

namespace emu::net {

enum class FaultKind {
  none,
  dropConnection,  // closes the connection (with a reset) once afterBytes have come
  stopReading,     // reads nothing more once afterBytes have come, holding the connection
  silent,          // takes every byte, answers no query
  garbage,         // takes every byte, answers each query with bytes that are no reply
};

// What a printer answering garbage sends for each query it gets.
constexpr char kGarbageReply[] = "\x7f#?\xfe\x01~~\r\n";

struct FaultPlan {
  FaultKind kind = FaultKind::none;
  size_t afterBytes = 0;  // dropConnection, stopReading: bytes of the connection before the fault
  int connections = -1;   // connections the fault strikes before the printer is well again; -1 every one
};

// "none", "drop:N", "stall:N", "silent" or "garbage", each optionally followed by
// "xK" (strike K connections only), e.g. "drop:4096x1". False with a
// one-line reason in *error for anything else.
bool parseFaultPlan(const std::string& text, FaultPlan* plan, std::string* error);

// Chosen replies: command line (without CR LF) -> the bytes sent instead of
// the printer's own answer; an empty reply leaves the query unanswered.
using ReplyScript = std::map<std::string, std::string>;

// "COMMAND=REPLY", both sides with the escapes \r \n \e (ESC) \\ and \xHH,
// e.g. "RESOL=12\r\n" or "\eSTATUS=01\r\n". Adds it to *script; false with a
// one-line reason in *error for anything else.
bool parseReply(const std::string& text, ReplyScript* script, std::string* error);

struct ListenerOptions {
  PrinterModel model = PrinterModel::TR7208;
  uint16_t port = 0;   // 0: the system picks a free one (see port())
  std::string outDir;  // where each job's files go; empty: none are written
  FaultPlan fault;
  ReplyScript replies;
  // A file the host side may create to change the fault plan or the chosen
  // replies while the listener runs: read (and removed) before each
  // connection and while waiting for one. Each line is a fault plan,
  // "reply COMMAND=REPLY" (adds a chosen reply) or "replies none" (drops
  // them all). Empty: not watched. The file is taken whenever it exists, so
  // a writer puts it in place whole, by renaming it there.
  std::string controlFile;
  // A connection that brings nothing for this long is closed.
  std::chrono::milliseconds idleTimeout{30000};
  // How long a connection that stopped reading is held before it is closed.
  std::chrono::milliseconds stallTime{60000};
  // Receive buffer of each connection's socket (0: the system's default).
  // A small one makes a stopped printer push back on the host at once.
  int receiveBuffer = 0;
  // A job larger than this is cut off.
  size_t maxJobBytes = size_t(256) << 20;
};

// One connection as the printer saw it, whether it carried a job or only
// commands.
struct ConnectionRecord {
  int number = 0;          // 1, 2, ... in arrival order
  std::string end;         // as JobRecord::end
  std::vector<uint8_t> received;  // every byte the host sent, in order
  std::vector<std::string> commands;
  int job = 0;             // the JobRecord number it made, 0 for none
};

// What one connection that carried job data left behind.
struct JobRecord {
  int number = 0;                     // 1, 2, ... in arrival order
  std::string end;                    // closed, dropped, stalled, idle, too-large, stopped, error
  size_t received = 0;                // every byte the host sent, commands included
  std::chrono::steady_clock::time_point lastByte;  // when the last of them came
  std::vector<uint8_t> data;          // job data, command lines left out
  std::vector<std::string> commands;  // query and setting lines acted on
  bool decoded = false;
  DecodeError error;  // when not decoded
  JobReport report;
  std::vector<std::string> files;  // written into outDir: the PNGs, the job data, the summary last
};

class AppSocketListener {
 public:
  explicit AppSocketListener(ListenerOptions options);
  ~AppSocketListener();
  AppSocketListener(const AppSocketListener&) = delete;
  AppSocketListener& operator=(const AppSocketListener&) = delete;

  // Binds 127.0.0.1 on the options' port and listens. False with a reason.
  bool open(std::string* error);
  uint16_t port() const { return port_; }
  // "127.0.0.1:PORT", the address actually bound.
  std::string localAddress() const;

  // Serves connections one after another (the printer takes one job at a
  // time; others wait in the backlog) until stop(), until `lifetime` has
  // passed or after `maxConnections`. Every wait inside is bounded.
  void serve(std::chrono::milliseconds lifetime, int maxConnections);
  // Makes serve() return within about 100 ms; safe from a signal handler.
  void stop() { stop_.store(true); }

  void setFaultPlan(const FaultPlan& plan);
  FaultPlan faultPlan() const;
  void setReplies(const ReplyScript& replies);

  // ---- inspection -------------------------------------------------------
  std::vector<JobRecord> jobs() const;
  // Every connection that has ended, in arrival order.
  std::vector<ConnectionRecord> connectionLog() const;
  // Waits until at least `count` jobs are recorded or `timeout` passes.
  bool waitForJobs(size_t count, std::chrono::milliseconds timeout) const;
  int connections() const;

 private:
  void serveConnection(int fd, std::chrono::steady_clock::time_point deadline);
  // The fault this connection gets, counting it against the plan.
  FaultPlan takeFault();
  void readControlFile();
  void record(JobRecord job);
  void logConnection(ConnectionRecord connection);

  ListenerOptions options_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::array<uint8_t, kSettingsMemorySize> settings_{};
  bool haveSettings_ = false;
  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<JobRecord> jobs_;
  std::vector<ConnectionRecord> connectionLog_;
  int connections_ = 0;
};

// Writes a job's files into `dir`: job-N-L.png per label, job-N.prn (the
// job data) and job-N.json (a summary), the summary last and whole, so a
// reader that finds it finds the rest. Fills job.files; false with a reason.
bool writeJobFiles(JobRecord& job, const std::string& dir, std::string* error);

// The summary written as job-N.json.
std::string jobSummaryJson(const JobRecord& job);

// One line of connections.jsonl in the output folder (appended as each
// connection ends): number, end, the bytes received as a JSON string whose
// code points 0..255 are the bytes, commands and job number.
std::string connectionJson(const ConnectionRecord& connection);

}  // namespace emu::net
