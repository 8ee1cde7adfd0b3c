// Two processes compete for the printer through the named mutex and the
// shared owner record.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <VRDUSBHid.h>
#include "hidlink_module.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "usb_printer.h"
#include "sim/sync.h"
#include "sim/world.h"

extern char** environ;

namespace {

// The peer program, started in this process's object namespace (or, with
// shareNamespace false, in one of its own).
class Peer {
 public:
  explicit Peer(bool shareNamespace = true) {
    std::signal(SIGPIPE, SIG_IGN);  // a peer that has gone must not take this process with it
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    posix_spawn_file_actions_addclose(&actions, toChild[1]);
    posix_spawn_file_actions_addclose(&actions, fromChild[0]);
    char path[] = HIDLINK_PEER_PATH;
    char* argv[] = {path, nullptr};
    std::vector<char*> env;
    std::string prefix = std::string(sim::kObjectNamespaceVariable) + "=";
    for (char** e = environ; *e; ++e)
      if (shareNamespace || std::strncmp(*e, prefix.c_str(), prefix.size()) != 0) env.push_back(*e);
    env.push_back(nullptr);
    if (posix_spawn(&pid_, path, &actions, nullptr, argv, env.data()) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    in_ = fdopen(toChild[1], "w");
    out_ = fdopen(fromChild[0], "r");
  }
  ~Peer() {
    if (in_) {
      if (pid_ > 0) std::fputs("quit\n", in_);
      std::fclose(in_);
    }
    if (out_) std::fclose(out_);
    wait();
  }
  bool running() const { return pid_ > 0 && in_ && out_; }
  pid_t pid() const { return pid_; }

  // Sends one command and returns the peer's answer (-1 when it has gone).
  long ask(const char* command) {
    std::fprintf(in_, "%s\n", command);
    std::fflush(in_);
    char line[64];
    if (!std::fgets(line, sizeof line, out_)) return -1;
    return std::strtol(line, nullptr, 10);
  }
  // Sends "die" and waits for the process to end; returns its exit status.
  int kill() {
    std::fputs("die\n", in_);
    std::fflush(in_);
    return wait();
  }

 private:
  int wait() {
    int status = -1;
    if (pid_ > 0) waitpid(pid_, &status, 0);
    pid_ = 0;
    return status;
  }
  pid_t pid_ = 0;
  FILE* in_ = nullptr;
  FILE* out_ = nullptr;
};

class TwoProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    sim::objectNamespace();  // exported to the peer through the environment
    printer->enterHidMode();
    ASSERT_TRUE(hidlink::registerSimModule());
    module = LoadLibraryA("VRDUSBHid.dll");
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
  std::shared_ptr<emu::UsbPrinter> printer = emu::UsbPrinter::create();
  HMODULE module = nullptr;
};

TEST_F(TwoProcesses, TheSecondOpenFailsUntilTheFirstProcessCloses) {
  Peer peer;
  ASSERT_TRUE(peer.running());
  EXPECT_EQ(peer.ask("open"), long(peer.pid()));
  EXPECT_EQ(hidusbOpen(), 0);
  EXPECT_EQ(sim::mutexHoldCount("Varodyn_USBHID_MUTEX"), 0);

  EXPECT_EQ(peer.ask("close"), 1);
  int token = hidusbOpen();
  EXPECT_EQ(token, int(GetCurrentProcessId()));
  EXPECT_EQ(peer.ask("open"), 0);  // now the peer is the one kept out

  EXPECT_EQ(hidusbClose(token), 1);
  EXPECT_EQ(peer.ask("open"), long(peer.pid()));
  EXPECT_EQ(peer.ask("close"), 1);
}

TEST_F(TwoProcesses, APrinterHeldByAProcessThatDiedCanBeClaimed) {
  Peer peer;
  ASSERT_TRUE(peer.running());
  ASSERT_EQ(peer.ask("open"), long(peer.pid()));
  EXPECT_EQ(hidusbOpen(), 0);
  int status = peer.kill();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
  int token = hidusbOpen();
  EXPECT_EQ(token, int(GetCurrentProcessId()));
  EXPECT_EQ(hidusbClose(token), 1);
}

TEST_F(TwoProcesses, ANewRunSweepsAwayTheObjectsOfRunsThatDied) {
  // A namespace as a crashed run leaves it: named after a process that is gone.
  pid_t gone = 0;
  char truePath[] = "/bin/true";
  char* argv[] = {truePath, nullptr};
  ASSERT_EQ(posix_spawn(&gone, truePath, nullptr, nullptr, argv, environ), 0);
  waitpid(gone, nullptr, 0);
  std::string ours = sim::objectNamespace();
  std::string root = ours.substr(0, ours.rfind('/'));
  std::string stale = root + "/p" + std::to_string(gone) + "-0";
  ASSERT_EQ(::mkdir(stale.c_str(), 0700), 0);
  std::string leftover = stale + "/mutex-Varodyn_USBHID_MUTEX";
  FILE* f = std::fopen(leftover.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputc(1, f);  // "held" by the dead run
  std::fclose(f);

  int token = hidusbOpen();
  ASSERT_EQ(token, int(GetCurrentProcessId()));
  {
    // A run of its own (as a parallel test process is) neither sees our
    // claim nor the dead run's "held" mutex.
    Peer peer(false);
    ASSERT_TRUE(peer.running());
    EXPECT_EQ(peer.ask("open"), long(peer.pid()));
    EXPECT_EQ(peer.ask("close"), 1);
  }
  EXPECT_EQ(hidusbClose(token), 1);
  struct stat st {};
  EXPECT_NE(::stat(stale.c_str(), &st), 0);
  EXPECT_EQ(::stat(ours.c_str(), &st), 0);  // a live run's namespace stays
}

}  // namespace
