// The AppSocket listener over real loopback connections: one job per
// connection decoded to its labels and files, query replies on the
// connection, settings memory kept between connections, and each scripted
// fault as the host sees it. Every wait is bounded.
#include "appsocket_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace emu::net {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kDef =
    "DEF MK=2,PW=16,PH=4,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n";
// Two rows of 10 dots at (2, 1): 2 dots on the first, 10 on the second.
const std::string kGraph = "GRAPH X=2,Y=1,WD=10,HT=2,MD=2\r\n" + std::string("\x01\x80\x40\x01\xFF\xC0", 6) + "\r\n";
const std::string kJob = kDef + "JOB NM=QX,ID=1\r\nSTART\r\nQTY P=3\r\n" + kGraph + "END\r\nJOBE\r\n";

// The host's end of one connection.
class Host {
 public:
  explicit Host(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~Host() { close(); }
  bool connected() const { return connected_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Sends without blocking for longer than `timeout`; returns the bytes taken.
  size_t send(const std::string& s, std::chrono::milliseconds timeout = 2000ms) {
    size_t sent = 0;
    Clock::time_point giveUp = Clock::now() + timeout;
    while (sent < s.size() && Clock::now() < giveUp) {
      ssize_t n = ::send(fd_, s.data() + sent, s.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += size_t(n);
      } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        break;
      } else {
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 20);
      }
    }
    return sent;
  }
  // Reads until `want` bytes came, the connection ended or `timeout` passed.
  // *ended: the listener closed the connection (end of stream or reset).
  std::string read(size_t want, std::chrono::milliseconds timeout, bool* ended = nullptr) {
    std::string got;
    if (ended) *ended = false;
    Clock::time_point giveUp = Clock::now() + timeout;
    while (got.size() < want && Clock::now() < giveUp) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char buf[512];
      ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
      if (n > 0) {
        got.append(buf, size_t(n));
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        if (ended) *ended = true;
        break;
      }
    }
    return got;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

// A listener serving on its own thread for the length of one test.
class Listening : public testing::Test {
 protected:
  void start(ListenerOptions options) {
    listener_ = std::make_unique<AppSocketListener>(std::move(options));
    std::string why;
    ASSERT_TRUE(listener_->open(&why)) << why;
    thread_ = std::thread([this] { listener_->serve(30s, 100); });
  }
  void TearDown() override {
    if (!listener_) return;
    listener_->stop();
    thread_.join();
  }
  // Sends one job on its own connection and waits for its record.
  JobRecord printJob(const std::string& bytes, size_t jobNumber) {
    Host host(listener_->port());
    EXPECT_TRUE(host.connected());
    EXPECT_EQ(host.send(bytes), bytes.size());
    host.close();
    EXPECT_TRUE(listener_->waitForJobs(jobNumber, 5s));
    std::vector<JobRecord> jobs = listener_->jobs();
    return jobs.size() >= jobNumber ? jobs[jobNumber - 1] : JobRecord{};
  }
  // Sends the bytes, expects the listener to end the connection within
  // `wait`, and returns the job it recorded.
  JobRecord sendUntilClosed(const std::string& bytes, std::chrono::milliseconds wait) {
    Host host(listener_->port());
    host.send(bytes);
    bool ended = false;
    host.read(1, wait, &ended);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(listener_->waitForJobs(1, 5s));
    std::vector<JobRecord> jobs = listener_->jobs();
    return jobs.empty() ? JobRecord{} : jobs[0];
  }
  std::unique_ptr<AppSocketListener> listener_;
  std::thread thread_;
};

std::filesystem::path freshDir(const std::string& name) {
  std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / ("emu-net-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(Listening, BindsTheLoopbackInterfaceOnly) {
  start({});
  ASSERT_NE(listener_->port(), 0);
  EXPECT_EQ(listener_->localAddress(), "127.0.0.1:" + std::to_string(listener_->port()));
}

TEST_F(Listening, EachConnectionIsOneJobDecodedIntoFiles) {
  std::filesystem::path dir = freshDir("files");
  ListenerOptions options;
  options.outDir = dir.string();
  start(options);

  Clock::time_point sending = Clock::now();
  JobRecord first = printJob(kJob, 1);
  EXPECT_EQ(first.end, "closed");
  EXPECT_GE(first.lastByte, sending);
  EXPECT_LE(first.lastByte, Clock::now());
  ASSERT_TRUE(first.decoded) << first.error.describe();
  EXPECT_EQ(std::string(first.data.begin(), first.data.end()), kJob);
  ASSERT_EQ(first.report.labels.size(), 1u);
  EXPECT_EQ(first.report.labels[0].dotCount(), 12u);
  EXPECT_EQ(first.report.labels[0].quantity, 3);

  // The second connection's job starts afresh: nothing of the first in it.
  std::string two = kDef + "START\r\nQTY P=1\r\n" + kGraph + "END\r\nSTART\r\nQTY P=2\r\nEND\r\n";
  JobRecord second = printJob(two, 2);
  ASSERT_TRUE(second.decoded) << second.error.describe();
  EXPECT_EQ(second.number, 2);
  EXPECT_EQ(second.report.labels.size(), 2u);

  EXPECT_EQ(readFile(dir / "job-1.prn"), kJob);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "job-1-1.png"));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "job-2-2.png"));
  std::string summary = readFile(dir / "job-2.json");
  EXPECT_NE(summary.find("\"decoded\": true"), std::string::npos) << summary;
  EXPECT_NE(summary.find("{\"png\": \"job-2-2.png\", \"width\": 16, \"height\": 4, \"dots\": 0, \"quantity\": 2"),
            std::string::npos)
      << summary;
}

TEST_F(Listening, AJobThatDoesNotDecodeIsRecordedWithItsFault) {
  std::filesystem::path dir = freshDir("fault");
  ListenerOptions options;
  options.outDir = dir.string();
  start(options);
  JobRecord job = printJob(kDef + "START\r\nGRAPH X=0,Y=0,WD=10,HT=2,MD=2\r\n\x01\x80", 1);
  EXPECT_FALSE(job.decoded);
  EXPECT_FALSE(job.error.reason.empty());
  std::string summary = readFile(dir / "job-1.json");
  EXPECT_NE(summary.find("\"decoded\": false, \"error\": \"offset "), std::string::npos) << summary;
}

struct QueryCase {
  PrinterModel model;
  std::string command;
  std::string reply;
};

class QueryOverTheNetwork : public Listening, public testing::WithParamInterface<QueryCase> {};

TEST_P(QueryOverTheNetwork, IsAnsweredOnTheConnection) {
  ListenerOptions options;
  options.model = GetParam().model;
  start(options);
  Host host(listener_->port());
  ASSERT_TRUE(host.connected());
  host.send(GetParam().command);
  EXPECT_EQ(host.read(GetParam().reply.size(), 2s), GetParam().reply);
  host.close();
  // A connection that only asked questions leaves no job behind.
  Clock::time_point giveUp = Clock::now() + 2s;
  while (listener_->connections() < 1 && Clock::now() < giveUp) std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(listener_->waitForJobs(1, 200ms));
}

INSTANTIATE_TEST_SUITE_P(
    BothModels, QueryOverTheNetwork,
    testing::Values(QueryCase{PrinterModel::TR7208, "RESOL\r\n", "8\r\n"},
                    QueryCase{PrinterModel::KV830, "RESOL\r\n", "12\r\n"},
                    QueryCase{PrinterModel::KV830, "VER\r\n", "KV830\r\nKV830 V2.11\r\nIPL 1.02\r\n"},
                    QueryCase{PrinterModel::TR7208, "GETDEF\r\n", "8,0,1,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"}));

TEST_F(Listening, SettingsMemoryOutlivesTheConnection) {
  start({});
  {
    Host host(listener_->port());
    host.send("DEF BZ=1\r\n");
  }
  Host host(listener_->port());
  host.send("FSET CSET=4,ADD=100,LEN=1\r\n");
  EXPECT_EQ(host.read(4, 2s), "01\r\n");
}

TEST_F(Listening, QueriesInsideAJobAreAnsweredAndLeftOutOfIt) {
  start({});
  Host host(listener_->port());
  host.send("RESOL\r\n" + kJob);
  EXPECT_EQ(host.read(3, 2s), "8\r\n");
  host.close();
  ASSERT_TRUE(listener_->waitForJobs(1, 5s));
  JobRecord job = listener_->jobs()[0];
  EXPECT_EQ(std::string(job.data.begin(), job.data.end()), kJob);
  EXPECT_EQ(job.received, kJob.size() + 7);
  EXPECT_EQ(job.commands, std::vector<std::string>{"RESOL"});
}

TEST_F(Listening, DropsTheConnectionMidJobAndServesTheNextOne) {
  ListenerOptions options;
  ASSERT_TRUE(parseFaultPlan("drop:100x1", &options.fault, nullptr));
  start(options);
  JobRecord dropped = sendUntilClosed(kJob, 2s);
  EXPECT_EQ(dropped.end, "dropped");
  EXPECT_EQ(dropped.received, 100u);
  EXPECT_FALSE(dropped.decoded);

  JobRecord next = printJob(kJob, 2);
  EXPECT_EQ(next.end, "closed");
  EXPECT_TRUE(next.decoded) << next.error.describe();
  EXPECT_EQ(listener_->faultPlan().kind, FaultKind::none);
}

TEST_F(Listening, StopsReadingSoTheHostCannotFinish) {
  ListenerOptions options;
  ASSERT_TRUE(parseFaultPlan("stall:1000x1", &options.fault, nullptr));
  options.stallTime = 1s;
  options.receiveBuffer = 4096;
  start(options);
  Host host(listener_->port());
  // Far more than both sockets' buffers hold.
  std::string big(32u << 20, '\0');
  size_t taken = host.send(big, 500ms);
  EXPECT_LT(taken, big.size());
  host.close();
  ASSERT_TRUE(listener_->waitForJobs(1, 5s));
  JobRecord stalled = listener_->jobs()[0];
  EXPECT_EQ(stalled.end, "stalled");
  EXPECT_EQ(stalled.received, 1000u);
  EXPECT_TRUE(printJob(kJob, 2).decoded);
}

TEST_F(Listening, SilentPrinterTakesTheJobButAnswersNothing) {
  ListenerOptions options;
  ASSERT_TRUE(parseFaultPlan("silentx1", &options.fault, nullptr));
  start(options);
  {
    Host host(listener_->port());
    host.send("RESOL\r\n" + kJob);
    EXPECT_EQ(host.read(1, 300ms), "");
  }
  ASSERT_TRUE(listener_->waitForJobs(1, 5s));
  EXPECT_TRUE(listener_->jobs()[0].decoded);
  // Struck once, the printer answers again.
  Host host(listener_->port());
  host.send("RESOL\r\n");
  EXPECT_EQ(host.read(3, 2s), "8\r\n");
}

TEST_F(Listening, ClosesAConnectionThatBringsNothing) {
  ListenerOptions options;
  options.idleTimeout = 200ms;
  start(options);
  EXPECT_EQ(sendUntilClosed(kDef, 3s).end, "idle");
}

// Written beside it and renamed into place, as the end-to-end harness does:
// the listener may look between the file's creation and its text.
void writeControlFile(const std::string& path, const std::string& text) {
  std::string written = path + ".tmp";
  std::ofstream(written) << text;
  std::filesystem::rename(written, path);
}

TEST_F(Listening, TheControlFileChangesTheFaultPlan) {
  std::filesystem::path dir = freshDir("control");
  ListenerOptions options;
  options.controlFile = (dir / "fault").string();
  start(options);
  writeControlFile(options.controlFile, "drop:10x1\n");
  Clock::time_point giveUp = Clock::now() + 2s;
  while (std::filesystem::exists(options.controlFile) && Clock::now() < giveUp) std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(std::filesystem::exists(options.controlFile));
  EXPECT_EQ(printJob(kJob, 1).end, "dropped");
  EXPECT_EQ(printJob(kJob, 2).end, "closed");
}

TEST(Listener, ServeReturnsAfterItsLifetime) {
  AppSocketListener listener({});
  std::string why;
  ASSERT_TRUE(listener.open(&why)) << why;
  Clock::time_point start = Clock::now();
  listener.serve(300ms, 10);
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_EQ(listener.connections(), 0);
}

struct FaultCase {
  const char* text;
  bool valid;
  FaultKind kind;
  size_t afterBytes;
  int connections;
};

class FaultPlanText : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultPlanText, ParsesOrSaysWhy) {
  const FaultCase& c = GetParam();
  FaultPlan plan;
  plan.afterBytes = 77;
  std::string why;
  ASSERT_EQ(parseFaultPlan(c.text, &plan, &why), c.valid) << c.text;
  if (!c.valid) {
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(plan.afterBytes, 77u) << "a refused plan leaves the old one";
    return;
  }
  EXPECT_EQ(plan.kind, c.kind);
  EXPECT_EQ(plan.afterBytes, c.afterBytes);
  EXPECT_EQ(plan.connections, c.connections);
}

INSTANTIATE_TEST_SUITE_P(Texts, FaultPlanText,
                         testing::Values(FaultCase{"none", true, FaultKind::none, 0, -1},
                                         FaultCase{"drop:4096", true, FaultKind::dropConnection, 4096, -1},
                                         FaultCase{"drop:0x2", true, FaultKind::dropConnection, 0, 2},
                                         FaultCase{"stall:10x1", true, FaultKind::stopReading, 10, 1},
                                         FaultCase{"silent", true, FaultKind::silent, 0, -1},
                                         FaultCase{"silentx3", true, FaultKind::silent, 0, 3},
                                         FaultCase{"drop", false, FaultKind::none, 0, 0},
                                         FaultCase{"drop:", false, FaultKind::none, 0, 0},
                                         FaultCase{"drop:12a", false, FaultKind::none, 0, 0},
                                         FaultCase{"silent:5", false, FaultKind::none, 0, 0},
                                         FaultCase{"stall:5x0", false, FaultKind::none, 0, 0},
                                         FaultCase{"stall:5x", false, FaultKind::none, 0, 0},
                                         FaultCase{"garbagex1", true, FaultKind::garbage, 0, 1},
                                         FaultCase{"garbage:3", false, FaultKind::none, 0, 0},
                                         FaultCase{"hang", false, FaultKind::none, 0, 0}));

TEST_F(Listening, GarbagePrinterGarblesEveryAnswerButNotItsSilence) {
  ListenerOptions options;
  ASSERT_TRUE(parseFaultPlan("garbagex1", &options.fault, nullptr));
  start(options);
  {
    Host host(listener_->port());
    // A setting has no answer, so nothing comes for it; the query's answer is garbled.
    host.send("DEF BZ=1\r\n");
    EXPECT_EQ(host.read(1, 300ms), "");
    host.send("VER\r\n");
    EXPECT_EQ(host.read(sizeof kGarbageReply - 1, 2s), kGarbageReply);
  }
  // Struck once, the printer answers again.
  Host host(listener_->port());
  host.send("RESOL\r\n");
  EXPECT_EQ(host.read(3, 2s), "8\r\n");
}

struct ChosenReplyCase {
  const char* script;   // as --reply takes it
  std::string command;  // what the host sends
  std::string reply;    // what it must get
};

class ChosenReply : public Listening, public testing::WithParamInterface<ChosenReplyCase> {};

TEST_P(ChosenReply, ReplacesThePrintersOwnAnswer) {
  ListenerOptions options;
  options.model = PrinterModel::KV830;
  std::string why;
  ASSERT_TRUE(parseReply(GetParam().script, &options.replies, &why)) << why;
  start(options);
  Host host(listener_->port());
  host.send(GetParam().command);
  EXPECT_EQ(host.read(GetParam().reply.size() + 1, 500ms), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, ChosenReply,
    testing::Values(ChosenReplyCase{"VER=KV830\\r\\nV9.87\\r\\nIPL 4.56\\r\\n", "VER\r\n", "KV830\r\nV9.87\r\nIPL 4.56\r\n"},
                    ChosenReplyCase{"RESOL=8\\r\\n", "RESOL\r\n", "8\r\n"},
                    ChosenReplyCase{"\\eSTATUS=\\x30\\x31\\r\\n", "\x1bSTATUS\r\n", "01\r\n"},
                    // An empty reply: the query goes unanswered.
                    ChosenReplyCase{"GETDEF=", "GETDEF\r\n", ""},
                    // Other queries keep the printer's own answer.
                    ChosenReplyCase{"VER=x\\r\\n", "RESOL\r\n", "12\r\n"}));

struct ReplyTextCase {
  const char* text;
  bool valid;
  std::string command;
  std::string reply;
};

class ReplyText : public testing::TestWithParam<ReplyTextCase> {};

TEST_P(ReplyText, ParsesOrSaysWhy) {
  const ReplyTextCase& c = GetParam();
  ReplyScript script;
  std::string why;
  ASSERT_EQ(parseReply(c.text, &script, &why), c.valid) << c.text;
  if (!c.valid) {
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(script.empty());
    return;
  }
  EXPECT_EQ(script, (ReplyScript{{c.command, c.reply}}));
}

INSTANTIATE_TEST_SUITE_P(Texts, ReplyText,
                         testing::Values(ReplyTextCase{"GETDEF=8,1=2\\r\\n", true, "GETDEF", "8,1=2\r\n"},
                                         ReplyTextCase{"MAINT=a\\\\b\\xfF", true, "MAINT", "a\\b\xff"},
                                         ReplyTextCase{"=8", false, "", ""},
                                         ReplyTextCase{"RESOL", false, "", ""},
                                         ReplyTextCase{"RESOL=\\q", false, "", ""},
                                         ReplyTextCase{"RESOL=\\x4", false, "", ""},
                                         ReplyTextCase{"RESOL=8\\", false, "", ""},
                                         ReplyTextCase{"RE\\r\\nSOL=8", false, "", ""}));

TEST_F(Listening, LogsEveryConnectionWithTheBytesItBrought) {
  std::filesystem::path dir = freshDir("log");
  ListenerOptions options;
  options.outDir = dir.string();
  start(options);
  {
    Host host(listener_->port());
    host.send("DEF BZ=1\r\n");
  }
  Clock::time_point giveUp = Clock::now() + 5s;
  while (listener_->connectionLog().empty() && Clock::now() < giveUp) std::this_thread::sleep_for(10ms);
  printJob("RESOL\r\n" + kJob, 1);
  giveUp = Clock::now() + 5s;
  while (listener_->connectionLog().size() < 2 && Clock::now() < giveUp) std::this_thread::sleep_for(10ms);

  std::vector<ConnectionRecord> log = listener_->connectionLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].number, 1);
  EXPECT_EQ(std::string(log[0].received.begin(), log[0].received.end()), "DEF BZ=1\r\n");
  EXPECT_EQ(log[0].commands, std::vector<std::string>{"DEF BZ=1"});
  EXPECT_EQ(log[0].job, 0) << "a setting alone is no job";
  EXPECT_EQ(std::string(log[1].received.begin(), log[1].received.end()), "RESOL\r\n" + kJob);
  EXPECT_EQ(log[1].job, 1);
  EXPECT_EQ(readFile(dir / "connections.jsonl"), connectionJson(log[0]) + connectionJson(log[1]));
}

TEST(ConnectionLine, CarriesEveryByteAsOneCodePoint) {
  ConnectionRecord c;
  c.number = 3;
  c.end = "dropped";
  std::string bytes = "\x1bSTATUS\r\n\xff\"";
  c.received.assign(bytes.begin(), bytes.end());
  c.commands = {"\x1bSTATUS"};
  EXPECT_EQ(connectionJson(c),
            "{\"connection\": 3, \"end\": \"dropped\", \"received\": \"\\u001bSTATUS\\u000d\\u000a\\u00ff\\\"\", "
            "\"commands\": [\"\\u001bSTATUS\"], \"job\": 0}\n");
}

TEST_F(Listening, TheControlFileChangesTheReplies) {
  std::filesystem::path dir = freshDir("control-replies");
  ListenerOptions options;
  options.controlFile = (dir / "fault").string();
  ASSERT_TRUE(parseReply("VER=old\\r\\n", &options.replies, nullptr));
  start(options);
  auto control = [&](const std::string& text) {
    writeControlFile(options.controlFile, text);
    Clock::time_point giveUp = Clock::now() + 2s;
    while (std::filesystem::exists(options.controlFile) && Clock::now() < giveUp)
      std::this_thread::sleep_for(10ms);
  };
  auto ask = [&](const std::string& command) {
    Host host(listener_->port());
    host.send(command);
    return host.read(64, 500ms);
  };
  control("reply RESOL=99\\r\\n\nsilentx1\n");
  EXPECT_EQ(ask("RESOL\r\n"), "") << "the fault plan on the second line is armed too";
  EXPECT_EQ(ask("RESOL\r\n"), "99\r\n");
  EXPECT_EQ(ask("VER\r\n"), "old\r\n") << "a reply line adds to the replies";
  control("replies none\n");
  EXPECT_EQ(ask("RESOL\r\n"), "8\r\n");
  EXPECT_EQ(ask("VER\r\n"), "TR7208\r\nTR7208 V1.05\r\nIPL 1.02\r\n");
}

}  // namespace
}  // namespace emu::net
