// File sending against the simulated spooler: the open-file dialog, the two
// confirmations, the 1024-byte writes and what a failure leaves queued.
#include "file_sending.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_ui.h"
#include "printer_link.h"
#include "sim/file.h"
#include "sim/spool_client.h"
#include "sim/spooler.h"
#include "sim/world.h"
#include "tool_session.h"

namespace kvui {
namespace {

using fake::U8;

const char kAskFirst[] = "警告|是否确定发送文件?\r\n可能修改当前打印机设定!  ";
const char kAskAgain[] = "警告|请再次确认是否发送文件!";
const char kOpenError[] = "kvtool|Open files Error";
const char kDataError[] = "kvtool|Send file data error!";

// A held queue "KV" (its jobs stay, so the test sees what was sent) as the
// current printer; the files to send are made in the program's folder.
class FileSending : public ToolSession {
 protected:
  void SetUp() override {
    ToolSession::SetUp();
    addQueue("KV", u"USB001", u"Varodyn KV830");
    sim::holdJobs(u"KV", true);
    SetCurrentPrinterName("KV");
    SetLinkShell(&shell);
    // The program's own folder: one per session, gone at the next reset.
    folder_ = ProgramFolder();
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override {
    SetLinkShell(nullptr);
    ToolSession::TearDown();
  }
  // A file of `size` bytes counting up from 0; its path.
  std::string file(size_t size) {
    std::string path = (folder_ / ("f" + std::to_string(size) + ".s")).string();
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(char(i * 7));
    content_.clear();
    for (size_t i = 0; i < size; ++i) content_.push_back(BYTE(i * 7));
    return path;
  }
  std::vector<size_t> writeSizes() const {
    std::vector<size_t> sizes;
    for (const auto& w : sim::writeCalls(u"KV")) sizes.push_back(w.size());
    return sizes;
  }
  std::string title() const { return U8(LoadUiText(IDS_APP_TITLE)); }

  std::filesystem::path folder_;
  std::vector<BYTE> content_;
};

// ---- the whole file, in 1024-byte writes ----------------------------------------------

struct SizeCase {
  size_t size;
  std::vector<size_t> writes;
};

class FileSizes : public FileSending, public testing::WithParamInterface<SizeCase> {};

TEST_P(FileSizes, GoOutAsOneRawJobNamedByThePath) {
  std::string path = file(GetParam().size);
  shell.chooseNext(path);
  shell.answer({IDYES, IDYES});
  SendFile(shell);

  EXPECT_EQ(writeSizes(), GetParam().writes);
  EXPECT_EQ(sim::written(u"KV"), content_);
  auto jobs = sim::queuedJobs(u"KV");
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].document, path);
  EXPECT_EQ(jobs[0].datatype, "RAW");
  EXPECT_TRUE(jobs[0].finished);
  // Only the two questions: no error, and no wait for delivery.
  std::vector<std::string> boxes;
  for (const auto& b : shell.boxes()) boxes.push_back(U8(b.caption) + "|" + U8(b.text));
  EXPECT_EQ(boxes, (std::vector<std::string>{kAskFirst, kAskAgain}));
  for (const auto& b : shell.boxes()) EXPECT_EQ(b.type, UINT(MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_EQ(sim::sleptMs(), 0u);
  EXPECT_EQ(sim::openPrinterHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, FileSizes,
                         testing::Values(SizeCase{0, {}}, SizeCase{1, {1}}, SizeCase{1024, {1024}},
                                         SizeCase{2049, {1024, 1024, 1}}),
                         [](const testing::TestParamInfo<SizeCase>& info) {
                           return "Bytes" + std::to_string(info.param.size);
                         });

TEST_F(FileSending, TheOpenFileDialogStartsInTheProgramFolderWithTheCommandFileFilter) {
  shell.chooseNext(std::nullopt);
  SendFile(shell);
  ASSERT_EQ(shell.fileDialogs().size(), 1u);
  const OpenFileDialog& d = shell.fileDialogs()[0];
  EXPECT_EQ(U8(d.title), "选择发送文件");
  EXPECT_EQ(U8(d.filter),
            "Varodyn文件(*.txt;*.s;*.crc;*.fls;*.dls)|*.txt;*.s;*.crc;*.fls;*.dls|所有文件(*.*)|*.*");
  EXPECT_EQ(d.folder, ProgramFolder());
  EXPECT_FALSE(d.folder.empty());
  EXPECT_TRUE(shell.boxes().empty());
  EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
}

// ---- nothing sent without two Yes answers ----------------------------------------------

TEST_F(FileSending, AnythingButYesTwiceSendsNothingAndOpensNoJob) {
  const std::vector<std::vector<int>> answers = {{IDNO}, {IDCANCEL}, {IDYES, IDNO}, {IDYES, IDCANCEL}, {}};
  std::string path = file(10);
  for (const auto& a : answers) {
    SCOPED_TRACE(testing::PrintToString(a));
    shell.clearBoxes();
    shell.chooseNext(path);
    for (int answer : a) shell.answer({answer});
    SendFile(shell);
    EXPECT_EQ(shell.boxes().size(), a.empty() ? 1u : a.size());  // Enter answers No at once
    EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
    EXPECT_TRUE(sim::writeCalls(u"KV").empty());
  }
}

// ---- failures ---------------------------------------------------------------------------

TEST_F(FileSending, AShortWriteStopsTheLoopAndEndsTheJobWithWhatWasWritten) {
  std::string path = file(3000);
  int call = 0;
  sim::setWriteSink(u"KV", [&](const BYTE*, DWORD size, DWORD* written) {
    *written = ++call == 2 ? size - 24 : size;
    return TRUE;
  });
  shell.chooseNext(path);
  shell.answer({IDYES, IDYES});
  SendFile(shell);
  EXPECT_EQ(writeSizes(), (std::vector<size_t>{1024, 1000}));
  EXPECT_EQ(U8(shell.boxes().back().caption) + "|" + U8(shell.boxes().back().text), kDataError);
  EXPECT_EQ(shell.boxes().size(), 3u);
  auto jobs = sim::queuedJobs(u"KV");
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_TRUE(jobs[0].finished);
}

TEST_F(FileSending, AFailedWriteShowsTheSpoolerErrorAndTheDataError) {
  std::string path = file(2049);
  sim::failNth(sim::api::WritePrinter, 2, ERROR_NOT_ENOUGH_MEMORY);
  shell.chooseNext(path);
  shell.answer({IDYES, IDYES});
  SendFile(shell);
  EXPECT_EQ(writeSizes(), (std::vector<size_t>{1024}));
  ASSERT_EQ(shell.boxes().size(), 4u);
  EXPECT_EQ(U8(shell.boxes()[2].text), "WritePrinter fail! error 8");
  EXPECT_EQ(U8(shell.boxes()[3].caption) + "|" + U8(shell.boxes()[3].text), kDataError);
  EXPECT_EQ(sim::queuedJobs(u"KV").size(), 1u);
}

// A file that cannot be opened or read after its job was started: the job is
// cancelled, so nothing half-sent stays queued, and only "Open files Error"
// is shown.
TEST_F(FileSending, AFileThatCannotBeReadCancelsItsJob) {
  struct Case {
    const char* label;
    std::function<std::string()> prepare;
  };
  const Case cases[] = {
      {"Missing", [this] { return (folder_ / "missing.s").string(); }},
      {"ReadFails",
       [this] {
         std::string path = file(3000);
         sim::failNth(sim::api::ReadFile, 2, ERROR_READ_FAULT);
         return path;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    shell.clearBoxes();
    sim::clearWritten(u"KV");
    shell.chooseNext(c.prepare());
    shell.answer({IDYES, IDYES});
    SendFile(shell);
    ASSERT_EQ(shell.boxes().size(), 3u);
    EXPECT_EQ(U8(shell.boxes()[2].caption) + "|" + U8(shell.boxes()[2].text), kOpenError);
    EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
    EXPECT_EQ(sim::openPrinterHandles(), 0u);
  }
}

TEST_F(FileSending, AJobThatCannotBeStartedReadsNothing) {
  std::string path = file(10);
  sim::failFrom(sim::api::OpenPrinter, 1, ERROR_ACCESS_DENIED);
  shell.chooseNext(path);
  shell.answer({IDYES, IDYES});
  SendFile(shell);
  // The link shows its own spooler message; file sending adds none.
  ASSERT_EQ(shell.boxes().size(), 3u);
  EXPECT_EQ(U8(shell.boxes()[2].text), "OpenPrinter fail! error 5");
  EXPECT_TRUE(sim::writeCalls(u"KV").empty());
}

}  // namespace
}  // namespace kvui
