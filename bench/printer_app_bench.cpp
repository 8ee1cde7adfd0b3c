// The printer application end to end: from submitting a 4 x 6 inch label
// at 300 dpi (a PNG, and a PWG raster) with ipptool to the last byte of its
// job reaching an emulated network printer (model B) in this process.
// Each iteration's time is measured by hand (the submission's start to the
// printer's last byte); the median over repetitions is the figure.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "appsocket_listener.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kWidth = 1200;   // 4 inch at 300 dpi
constexpr int kHeight = 1800;  // 6 inch

// A started program: output to files, stopped (SIGTERM, then SIGKILL) by id.
struct Child {
  pid_t pid = -1;
  bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& log) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, (log + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, (log + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (char** e = environ; *e; ++e) envp.push_back(*e);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    int r = posix_spawn(&pid, args[0], &files, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (r != 0) pid = -1;
    return r == 0;
  }
  // Waits at most `timeout` for the exit; -1 when it did not end.
  int wait(std::chrono::milliseconds timeout) {
    Clock::time_point giveUp = Clock::now() + timeout;
    while (pid > 0) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      if (Clock::now() >= giveUp) return -1;
      std::this_thread::sleep_for(2ms);
    }
    return -1;
  }
  void stop() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (wait(5s) == -1 && pid > 0) {
      kill(pid, SIGKILL);
      wait(5s);
    }
  }
  ~Child() { stop(); }
};

bool portOpen(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool open = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return open;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put32(std::vector<uint8_t>& h, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) h[at + i] = uint8_t(v >> (24 - 8 * i));
}

// One black_1 page of PWG raster (set bit = black), rows as literal runs.
void writePwg(const emu::Label& label, const std::string& path) {
  std::vector<uint8_t> h(1796);
  std::memcpy(h.data(), "PwgRaster", 9);
  const uint32_t bpl = uint32_t(label.width + 7) / 8;
  put32(h, 276, 300);
  put32(h, 280, 300);
  put32(h, 340, 1);
  put32(h, 352, uint32_t(label.width * 72 / 300));
  put32(h, 356, uint32_t(label.height * 72 / 300));
  put32(h, 372, uint32_t(label.width));
  put32(h, 376, uint32_t(label.height));
  put32(h, 384, 1);
  put32(h, 388, 1);
  put32(h, 392, bpl);
  put32(h, 400, 3);  // black
  put32(h, 420, 1);
  put32(h, 452, 1);
  put32(h, 456, 1);
  put32(h, 460, 1);
  std::ofstream out(path, std::ios::binary);
  out.write("RaS2", 4);
  out.write(reinterpret_cast<const char*>(h.data()), std::streamsize(h.size()));
  std::vector<uint8_t> line(bpl);
  for (int y = 0; y < label.height; ++y) {
    std::fill(line.begin(), line.end(), 0);
    for (int x = 0; x < label.width; ++x)
      if (label.dot(x, y)) line[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
    out.put(0);  // the line once
    for (size_t i = 0; i < bpl; i += 128) {
      size_t n = std::min<size_t>(128, bpl - i);
      out.put(char(n == 1 ? 0 : 257 - n));
      out.write(reinterpret_cast<const char*>(line.data() + i), std::streamsize(n));
    }
  }
}

// The application with one model B printer on the in-process emulator,
// started once for every benchmark of this program.
class Bench {
 public:
  static Bench& get() {
    static Bench bench;
    return bench;
  }
  const std::string& error() const { return error_; }

  // Submits `document` and returns the time until the printer's last byte,
  // or a negative time with error() set.
  std::chrono::duration<double> printOnce(const std::string& document, const std::string& format) {
    size_t before = listener_->jobs().size();
    Child ipptool;
    Clock::time_point start = Clock::now();
    if (!ipptool.start({"/usr/bin/ipptool", "-4", "-t", "-T", "30", "-d", "format=" + format, "-f", document, uri_,
                        testFile_},
                       {}, dir_ + "/ipptool") ||
        ipptool.wait(30s) != 0) {
      error_ = "ipptool Print-Job failed: " + readFile(dir_ + "/ipptool.out");
      return std::chrono::duration<double>(-1);
    }
    if (!listener_->waitForJobs(before + 1, 30s)) {
      error_ = "the printer got no job within 30 s";
      return std::chrono::duration<double>(-1);
    }
    const emu::net::JobRecord job = listener_->jobs()[before];
    if (!job.decoded || job.report.labels.size() != 1) {
      error_ = "the printer did not get one whole label: " +
               (job.decoded ? std::to_string(job.report.labels.size()) + " labels" : job.error.describe());
      return std::chrono::duration<double>(-1);
    }
    return job.lastByte - start;
  }

 private:
  Bench() {
    const char* app = std::getenv("PRINTER_APP");
    app_ = app ? app : PRINTER_APP_PATH;
    if (access(app_.c_str(), X_OK) != 0) {
      error_ = "the printer application " + app_ + " is missing";
      return;
    }
    char dir[] = "/tmp/printer-app-bench-XXXXXX";
    if (!mkdtemp(dir)) {
      error_ = "no temporary folder";
      return;
    }
    dir_ = dir;
    emu::net::ListenerOptions options;
    options.model = emu::PrinterModel::KV830;
    listener_ = std::make_unique<emu::net::AppSocketListener>(options);
    if (!listener_->open(&error_)) return;
    serving_ = std::thread([this] { listener_->serve(3600s, 1 << 20); });

    int port = 0;
    {
      emu::net::AppSocketListener probe({});
      std::string why;
      if (probe.open(&why)) port = probe.port();
    }
    env_ = {"SNAP_COMMON=" + dir_};
    if (!server_.start({app_, "server", "-o", "listen-hostname=localhost", "-o", "server-port=" + std::to_string(port)},
                       env_, dir_ + "/server")) {
      error_ = "cannot start " + app_;
      return;
    }
    Clock::time_point giveUp = Clock::now() + 30s;
    while (!portOpen(port) && Clock::now() < giveUp) std::this_thread::sleep_for(50ms);
    if (!portOpen(port)) {
      error_ = app_ + " is not listening on port " + std::to_string(port);
      return;
    }
    std::string drivers = run({app_, "drivers"}, "drivers");
    std::string driver;
    for (size_t at = 0; at < drivers.size();) {
      size_t end = drivers.find('\n', at);
      std::string line = drivers.substr(at, end == std::string::npos ? std::string::npos : end - at);
      std::string name = line.substr(0, line.find(' '));
      std::string lower = name;
      for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
      if (lower.find("kv830") != std::string::npos) driver = name;
      if (end == std::string::npos) break;
      at = end + 1;
    }
    if (driver.empty()) {
      error_ = "no KV830 driver in: " + drivers;
      return;
    }
    run({app_, "add", "-d", "KV830", "-m", driver, "-v", "socket://127.0.0.1:" + std::to_string(listener_->port())},
        "add");
    uri_ = "ipp://localhost:" + std::to_string(port) + "/ipp/print/KV830";
    testFile_ = dir_ + "/print.test";
    std::ofstream(testFile_) << "{\n NAME \"print\"\n OPERATION Print-Job\n GROUP operation-attributes-tag\n"
                                " ATTR charset attributes-charset utf-8\n"
                                " ATTR naturalLanguage attributes-natural-language en\n"
                                " ATTR uri printer-uri $uri\n ATTR name requesting-user-name bench\n"
                                " ATTR mimeMediaType document-format $format\n GROUP job-attributes-tag\n"
                                " ATTR collection media-col { MEMBER collection media-size {"
                                " MEMBER integer x-dimension 10160 MEMBER integer y-dimension 15240 } }\n"
                                " FILE $filename\n STATUS successful-ok\n}\n";
    emu::Label label;
    label.width = kWidth;
    label.height = kHeight;
    label.dots.assign(size_t(kWidth) * kHeight, 0);
    for (int y = 0; y < kHeight; ++y)  // bars and a checker: a busy label
      for (int x = 0; x < kWidth; ++x)
        label.dots[size_t(y) * kWidth + x] = (y < kHeight / 2) ? (x / 6) % 2 : ((x / 3 + y / 3) % 2);
    png_ = dir_ + "/label.png";
    pwg_ = dir_ + "/label.pwg";
    if (!emu::writeLabelPng(label, png_, &error_)) return;
    writePwg(label, pwg_);
    ready_ = true;
  }
  ~Bench() {
    server_.stop();
    if (listener_) listener_->stop();
    if (serving_.joinable()) serving_.join();
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }

  std::string run(const std::vector<std::string>& argv, const std::string& name) {
    Child c;
    std::string log = dir_ + "/" + name;
    if (!c.start(argv, env_, log)) return "";
    if (c.wait(60s) == -1) c.stop();
    return readFile(log + ".out");
  }

 public:
  bool ready_ = false;
  std::string png_, pwg_;

 private:
  std::string app_, dir_, uri_, testFile_, error_;
  std::vector<std::string> env_;
  std::unique_ptr<emu::net::AppSocketListener> listener_;
  std::thread serving_;
  Child server_;
};

void printLabel(benchmark::State& state, bool pwg) {
  Bench& b = Bench::get();
  if (!b.ready_) {
    state.SkipWithError(b.error().c_str());
    return;
  }
  for (auto _ : state) {
    std::chrono::duration<double> t = b.printOnce(pwg ? b.pwg_ : b.png_, pwg ? "image/pwg-raster" : "image/png");
    if (t.count() < 0) {
      state.SkipWithError(b.error().c_str());
      break;
    }
    state.SetIterationTime(t.count());
  }
}

void BM_PrintPng4x6At300Dpi(benchmark::State& state) { printLabel(state, false); }
void BM_PrintPwgRaster4x6At300Dpi(benchmark::State& state) { printLabel(state, true); }

BENCHMARK(BM_PrintPng4x6At300Dpi)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5);
BENCHMARK(BM_PrintPwgRaster4x6At300Dpi)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
