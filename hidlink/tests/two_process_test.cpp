// Two processes compete for the printer through the named mutex and the
// shared owner record.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <VRDUSBHid.h>
#include <VRDUSBHid_sim.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "fake_printer.h"
#include "sim/sync.h"
#include "sim/world.h"

extern char** environ;

namespace {

// The peer program, started in this process's object namespace.
class Peer {
 public:
  Peer() {
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
    if (posix_spawn(&pid_, path, &actions, nullptr, argv, environ) != 0) pid_ = 0;
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
    sim::addHidDevice(hidtest::printerSetup(std::make_shared<hidtest::FakePrinter>()));
    ASSERT_TRUE(hidlink::registerSimModule());
    module = LoadLibraryA("VRDUSBHid.dll");
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
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

}  // namespace
