// The emulated printer's AppSocket listener (see appsocket_listener.h).
#include "appsocket_listener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace emu::net {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Longest single wait, so stop() and the deadlines are seen promptly.
constexpr milliseconds kPollStep{100};

struct FaultName {
  const char* name;
  FaultKind kind;
  bool takesBytes;
};

constexpr FaultName kFaultNames[] = {
    {"none", FaultKind::none, false},
    {"drop", FaultKind::dropConnection, true},
    {"stall", FaultKind::stopReading, true},
    {"silent", FaultKind::silent, false},
    {"garbage", FaultKind::garbage, false},
};

bool parseCount(const std::string& s, size_t* value) {
  if (s.empty() || s.size() > 12) return false;
  size_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + size_t(c - '0');
  }
  *value = v;
  return true;
}

int pollFor(int fd, short events, milliseconds wait) {
  pollfd p{fd, events, 0};
  int r = ::poll(&p, 1, int(wait.count()));
  return r > 0 ? p.revents : r;
}

milliseconds until(Clock::time_point t) {
  auto left = std::chrono::duration_cast<milliseconds>(t - Clock::now());
  return left < milliseconds(0) ? milliseconds(0) : left;
}

// Sends every byte or gives up when the host stops taking them for the
// idle timeout (or the connection is gone).
bool sendAll(int fd, const uint8_t* data, size_t size, milliseconds timeout) {
  Clock::time_point giveUp = Clock::now() + timeout;
  while (size) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      data += n;
      size -= size_t(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    if (Clock::now() >= giveUp) return false;
    pollFor(fd, POLLOUT, std::min(kPollStep, until(giveUp)));
  }
  return true;
}

void appendJsonString(std::string& out, const std::string& s) {
  out += '"';
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  out += '"';
}

std::string baseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeWhole(const std::string& path, const void* data, size_t size, std::string* error) {
  std::string partial = path + ".part";
  std::ofstream out(partial, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), std::streamsize(size));
  out.close();
  if (!out || std::rename(partial.c_str(), path.c_str()) != 0) {
    *error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace

bool parseFaultPlan(const std::string& text, FaultPlan* plan, std::string* error) {
  std::string words = text;
  FaultPlan p;
  size_t x = words.find('x');
  if (x != std::string::npos) {
    size_t times = 0;
    if (!parseCount(words.substr(x + 1), &times) || times == 0 || times > 1000000) {
      *error = "bad connection count in fault '" + text + "'";
      return false;
    }
    p.connections = int(times);
    words.resize(x);
  }
  size_t colon = words.find(':');
  std::string name = words.substr(0, colon);
  for (const FaultName& f : kFaultNames) {
    if (name != f.name) continue;
    if (f.takesBytes != (colon != std::string::npos) ||
        (f.takesBytes && !parseCount(words.substr(colon + 1), &p.afterBytes))) {
      *error = std::string("fault '") + f.name + "' " + (f.takesBytes ? "needs :BYTES" : "takes no :BYTES");
      return false;
    }
    p.kind = f.kind;
    *plan = p;
    return true;
  }
  *error = "unknown fault '" + text + "' (none, drop:N, stall:N, silent, garbage; optional xK)";
  return false;
}

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool unescape(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *out += text[i];
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case 'r': *out += '\r'; break;
      case 'n': *out += '\n'; break;
      case 'e': *out += '\x1b'; break;
      case '\\': *out += '\\'; break;
      case 'x': {
        int hi = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        int lo = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) return false;
        *out += char(hi * 16 + lo);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

}  // namespace

bool parseReply(const std::string& text, ReplyScript* script, std::string* error) {
  size_t eq = text.find('=');
  std::string command, reply;
  if (eq == std::string::npos || eq == 0 || !unescape(text.substr(0, eq), &command) ||
      !unescape(text.substr(eq + 1), &reply) || command.find_first_of("\r\n") != std::string::npos) {
    *error = "bad reply '" + text + "' (COMMAND=REPLY, escapes \\r \\n \\e \\\\ \\xHH)";
    return false;
  }
  (*script)[command] = reply;
  return true;
}

AppSocketListener::AppSocketListener(ListenerOptions options) : options_(std::move(options)) {}

AppSocketListener::~AppSocketListener() {
  if (listenFd_ >= 0) ::close(listenFd_);
}

bool AppSocketListener::open(std::string* error) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (options_.receiveBuffer > 0)  // inherited by every accepted connection
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &options_.receiveBuffer, sizeof options_.receiveBuffer);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(options_.port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    *error = "cannot listen on 127.0.0.1:" + std::to_string(options_.port) + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  listenFd_ = fd;
  port_ = ntohs(a.sin_port);
  return true;
}

std::string AppSocketListener::localAddress() const {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  char text[INET_ADDRSTRLEN] = "";
  if (listenFd_ < 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
      !::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text))
    return "";
  return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

void AppSocketListener::setFaultPlan(const FaultPlan& plan) {
  std::lock_guard<std::mutex> lock(mutex_);
  options_.fault = plan;
}

void AppSocketListener::setReplies(const ReplyScript& replies) {
  std::lock_guard<std::mutex> lock(mutex_);
  options_.replies = replies;
}

FaultPlan AppSocketListener::faultPlan() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return options_.fault;
}

FaultPlan AppSocketListener::takeFault() {
  std::lock_guard<std::mutex> lock(mutex_);
  FaultPlan now = options_.fault;
  if (options_.fault.connections > 0 && --options_.fault.connections == 0) options_.fault = FaultPlan{};
  return now;
}

void AppSocketListener::readControlFile() {
  if (options_.controlFile.empty()) return;
  std::ifstream in(options_.controlFile);
  if (!in) return;
  std::vector<std::string> lines;
  for (std::string line; lines.size() < 1000 && std::getline(in, line);) lines.push_back(line);
  in.close();
  ::unlink(options_.controlFile.c_str());
  ReplyScript replies;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    replies = options_.replies;
  }
  for (const std::string& text : lines) {
    FaultPlan plan;
    std::string why;
    if (text == "replies none") {
      replies.clear();
    } else if (text.rfind("reply ", 0) == 0) {
      if (!parseReply(text.substr(6), &replies, &why)) std::fprintf(stderr, "control file: %s\n", why.c_str());
    } else if (parseFaultPlan(text, &plan, &why)) {
      setFaultPlan(plan);
    } else {
      std::fprintf(stderr, "control file: %s\n", why.c_str());
      continue;
    }
    std::printf("control: %s\n", text.c_str());
  }
  setReplies(replies);
  std::fflush(stdout);
}

void AppSocketListener::serve(milliseconds lifetime, int maxConnections) {
  if (listenFd_ < 0) return;
  Clock::time_point deadline = Clock::now() + lifetime;
  for (int served = 0; served < maxConnections && !stop_.load() && Clock::now() < deadline;) {
    readControlFile();
    int ready = pollFor(listenFd_, POLLIN, std::min(kPollStep, until(deadline)));
    if (ready <= 0 || !(ready & POLLIN)) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++served;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++connections_;
    }
    readControlFile();
    serveConnection(fd, deadline);
  }
}

void AppSocketListener::serveConnection(int fd, Clock::time_point deadline) {
  EmulatedPrinter printer(options_.model);
  if (!haveSettings_) {
    settings_ = printer.settings();
    haveSettings_ = true;
  }
  for (size_t a = 0; a < settings_.size(); ++a) printer.setSetting(a, settings_[a]);
  ConnectionRecord connection;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& r : options_.replies) printer.setReply(r.first, r.second);
    connection.number = connections_;
  }

  // Drop and stall strike when their byte count is reached; silence from
  // the start. A connection is counted against the plan only once struck.
  FaultPlan fault = faultPlan();
  bool struck = false;
  auto strike = [&] {
    if (!struck) takeFault();
    struck = true;
  };
  if (fault.kind == FaultKind::silent) printer.setSilent(true);
  bool byteFault = fault.kind == FaultKind::dropConnection || fault.kind == FaultKind::stopReading;

  JobRecord job;
  job.end = "closed";
  std::vector<uint8_t> buffer(64 * 1024);
  std::vector<uint8_t> reply(4096);
  Clock::time_point lastData = Clock::now();
  for (;;) {
    if (stop_.load() || Clock::now() >= deadline) {
      job.end = "stopped";
      break;
    }
    if (byteFault && job.received >= fault.afterBytes) {
      strike();
      if (fault.kind == FaultKind::dropConnection) {
        linger abrupt{1, 0};  // close with a reset, as a printer losing the link does
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
        job.end = "dropped";
      } else {
        Clock::time_point release = std::min(deadline, Clock::now() + options_.stallTime);
        while (!stop_.load() && Clock::now() < release) pollFor(-1, 0, std::min(kPollStep, until(release)));
        job.end = "stalled";
      }
      break;
    }
    int ready = pollFor(fd, POLLIN, std::min(kPollStep, until(deadline)));
    if (ready < 0 && errno != EINTR) {
      job.end = "error";
      break;
    }
    if (ready <= 0) {
      if (Clock::now() - lastData >= options_.idleTimeout) {
        job.end = "idle";
        break;
      }
      continue;
    }
    size_t want = buffer.size();
    if (byteFault) want = std::min(want, fault.afterBytes - job.received);
    ssize_t n = ::recv(fd, buffer.data(), want, MSG_DONTWAIT);
    if (n == 0) break;  // the host closed: the job is complete
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      job.end = "error";
      break;
    }
    lastData = job.lastByte = Clock::now();
    size_t commandsBefore = printer.commands().size();
    printer.hostWrite(buffer.data(), size_t(n));
    job.received += size_t(n);
    if (fault.kind == FaultKind::silent && printer.commands().size() > commandsBefore) strike();
    if (fault.kind == FaultKind::garbage && printer.pending()) {
      // Whatever the printer had to say comes out as one garbled line.
      strike();
      printer.discardReplies();
      sendAll(fd, reinterpret_cast<const uint8_t*>(kGarbageReply), sizeof kGarbageReply - 1, options_.idleTimeout);
    }
    while (printer.pending()) {
      size_t r = printer.hostRead(reply.data(), reply.size());
      if (!sendAll(fd, reply.data(), r, options_.idleTimeout)) break;
    }
    if (job.received > options_.maxJobBytes) {
      job.end = "too-large";
      break;
    }
  }
  ::close(fd);

  settings_ = printer.settings();
  job.data = printer.jobBytes();
  job.commands = printer.commands();
  connection.end = job.end;
  connection.received = printer.received();
  connection.commands = job.commands;
  // A connection that only asked questions or changed settings is no job.
  if (!job.data.empty()) {
    job.decoded = decodeJob(job.data.data(), job.data.size(), job.report, job.error);
    record(std::move(job));
    std::lock_guard<std::mutex> lock(mutex_);
    connection.job = jobs_.back().number;
  }
  logConnection(std::move(connection));
}

void AppSocketListener::logConnection(ConnectionRecord connection) {
  if (!options_.outDir.empty()) {
    // One write of a whole line, so a reader sees whole lines only.
    std::string line = connectionJson(connection);
    std::string path = options_.outDir + "/connections.jsonl";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, line.data(), line.size()) != ssize_t(line.size()))
      std::fprintf(stderr, "connection %d: cannot write '%s'\n", connection.number, path.c_str());
    if (fd >= 0) ::close(fd);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  connectionLog_.push_back(std::move(connection));
}

std::vector<ConnectionRecord> AppSocketListener::connectionLog() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connectionLog_;
}

void AppSocketListener::record(JobRecord job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job.number = int(jobs_.size()) + 1;
  }
  std::string why;
  if (!options_.outDir.empty() && !writeJobFiles(job, options_.outDir, &why))
    std::fprintf(stderr, "job %d: %s\n", job.number, why.c_str());
  std::printf("job %d: %zu bytes, %s, %zu labels%s%s\n", job.number, job.received, job.end.c_str(),
              job.report.labels.size(), job.decoded ? "" : ", ", job.decoded ? "" : job.error.describe().c_str());
  std::fflush(stdout);
  std::lock_guard<std::mutex> lock(mutex_);
  jobs_.push_back(std::move(job));
  recorded_.notify_all();
}

std::vector<JobRecord> AppSocketListener::jobs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_;
}

bool AppSocketListener::waitForJobs(size_t count, milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return recorded_.wait_for(lock, timeout, [&] { return jobs_.size() >= count; });
}

int AppSocketListener::connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

bool writeJobFiles(JobRecord& job, const std::string& dir, std::string* error) {
  std::string stem = dir + "/job-" + std::to_string(job.number);
  job.files.clear();
  for (size_t i = 0; i < job.report.labels.size(); ++i) {
    std::string png = stem + "-" + std::to_string(i + 1) + ".png";
    if (!writeLabelPng(job.report.labels[i], png, error)) return false;
    job.files.push_back(png);
  }
  if (!writeWhole(stem + ".prn", job.data.data(), job.data.size(), error)) return false;
  job.files.push_back(stem + ".prn");
  job.files.push_back(stem + ".json");
  std::string summary = jobSummaryJson(job);
  if (!writeWhole(stem + ".json", summary.data(), summary.size(), error)) {
    job.files.pop_back();
    return false;
  }
  return true;
}

std::string jobSummaryJson(const JobRecord& job) {
  std::string j = "{\"job\": " + std::to_string(job.number) + ", \"end\": ";
  appendJsonString(j, job.end);
  j += ", \"received\": " + std::to_string(job.received) + ", \"data\": " + std::to_string(job.data.size());
  j += ", \"decoded\": ";
  j += job.decoded ? "true" : "false";
  j += ", \"error\": ";
  appendJsonString(j, job.decoded ? std::string() : job.error.describe());
  j += ", \"name\": ";
  appendJsonString(j, job.report.jobName);
  j += ", \"jobEnds\": " + std::to_string(job.report.jobEnds) + ", \"commands\": [";
  for (size_t i = 0; i < job.commands.size(); ++i) {
    if (i) j += ", ";
    appendJsonString(j, job.commands[i]);
  }
  j += "], \"labels\": [";
  std::vector<std::string> pngs;
  for (const std::string& f : job.files)
    if (f.size() > 4 && f.compare(f.size() - 4, 4, ".png") == 0) pngs.push_back(baseName(f));
  for (size_t i = 0; i < job.report.labels.size(); ++i) {
    const Label& l = job.report.labels[i];
    if (i) j += ", ";
    j += "{\"png\": ";
    appendJsonString(j, i < pngs.size() ? pngs[i] : std::string());
    j += ", \"width\": " + std::to_string(l.width) + ", \"height\": " + std::to_string(l.height) +
         ", \"dots\": " + std::to_string(l.dotCount()) + ", \"quantity\": " + std::to_string(l.quantity) +
         ", \"graphs\": " + std::to_string(l.graphs) + ", \"def\": {";
    for (size_t k = 0; k < l.def.size(); ++k) {
      if (k) j += ", ";
      appendJsonString(j, l.def[k].key);
      j += ": " + std::to_string(l.def[k].value);
    }
    j += "}}";
  }
  j += "]}\n";
  return j;
}

std::string connectionJson(const ConnectionRecord& connection) {
  std::string j = "{\"connection\": " + std::to_string(connection.number) + ", \"end\": ";
  appendJsonString(j, connection.end);
  j += ", \"received\": ";
  appendJsonString(j, std::string(connection.received.begin(), connection.received.end()));
  j += ", \"commands\": [";
  for (size_t i = 0; i < connection.commands.size(); ++i) {
    if (i) j += ", ";
    appendJsonString(j, connection.commands[i]);
  }
  j += "], \"job\": " + std::to_string(connection.job) + "}\n";
  return j;
}

}  // namespace emu::net
