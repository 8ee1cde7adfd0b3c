// The application's job writer: command order, copies in QTY, rows cut or
// filled to the page, and failed writes reported.
#include "label_job.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job_decoder.h"
#include "models.h"

namespace {

using namespace printerapp;

struct Sink {
  std::vector<BYTE> bytes;
  int failAfter = -1;  // calls that succeed before every call fails
  static bool write(void* context, const BYTE* data, DWORD size, DWORD* written) {
    auto* self = static_cast<Sink*>(context);
    if (self->failAfter == 0) {
      *written = 0;
      SetLastError(ERROR_WRITE_FAULT);
      return FALSE;
    }
    if (self->failAfter > 0) --self->failAfter;
    self->bytes.insert(self->bytes.end(), data, data + size);
    *written = size;
    return TRUE;
  }
};

struct JobFixture : ::testing::Test {
  const ModelInfo& model = *modelByDriver("tr7208");
  LabelSpec label = labelForSize(model, 2000, 1000);  // 20 x 10 mm: 159 x 79 dots
  Sink sink;

  bool print(LabelJobWriter& job, int pages, int copies, LONG sourceWidth, const std::vector<BYTE>& row) {
    PrinterSettings settings;
    bool ok = job.startJob(defValuesFor(*model.profile, label, settings), driver::defRulesOf(*model.profile), 1);
    const PageDots dots = pageDotsOf(*model.profile, label);
    for (int p = 0; p < pages; ++p) {
      ok = job.startPage(dots, 1, sourceWidth, copies) && ok;
      for (LONG y = 0; y < dots.height + 5; ++y) ok = job.writeRow(y, row.data()) && ok;
      ok = job.endPage() && ok;
    }
    return job.endJob() && ok;
  }
};

TEST_F(JobFixture, HeaderOnceCopiesInQtyAndEveryRowPrinted) {
  LabelJobWriter job(&Sink::write, &sink);
  // Rows wider than the page (all dots printed): cut at the page's width.
  ASSERT_TRUE(print(job, 2, 3, 200, std::vector<BYTE>(25, 0xFF)));
  emu::JobReport report;
  emu::DecodeError error;
  ASSERT_TRUE(emu::decodeJob(sink.bytes.data(), sink.bytes.size(), report, error)) << error.describe();
  ASSERT_EQ(report.labels.size(), 2u);
  EXPECT_EQ(report.jobEnds, 1);
  const PageDots dots = pageDotsOf(*model.profile, label);
  for (const emu::Label& l : report.labels) {
    EXPECT_EQ(l.quantity, 3);
    EXPECT_EQ(l.graphs, 1);
    EXPECT_EQ(l.dotCount(), size_t(dots.width) * size_t(dots.height));
  }
  const std::string text(sink.bytes.begin(), sink.bytes.end());
  EXPECT_EQ(text.find("DEF "), 0u);
  EXPECT_EQ(text.find("DEF ", 1), std::string::npos);
}

TEST_F(JobFixture, NarrowRowsLeaveTheRestOfThePageBlank) {
  LabelJobWriter job(&Sink::write, &sink);
  ASSERT_TRUE(print(job, 1, 1, 12, std::vector<BYTE>(25, 0xFF)));
  emu::JobReport report;
  emu::DecodeError error;
  ASSERT_TRUE(emu::decodeJob(sink.bytes.data(), sink.bytes.size(), report, error)) << error.describe();
  const emu::Label& l = report.labels.at(0);
  EXPECT_TRUE(l.dot(11, 0));
  EXPECT_FALSE(l.dot(12, 0));
  EXPECT_EQ(l.dotCount(), size_t(12) * size_t(pageDotsOf(*model.profile, label).height));
}

TEST_F(JobFixture, AFailedWriteFailsTheJob) {
  sink.failAfter = 1;
  LabelJobWriter job(&Sink::write, &sink);
  EXPECT_FALSE(print(job, 1, 1, 159, std::vector<BYTE>(25, 0xAA)));
  EXPECT_EQ(job.writeError(), DWORD(ERROR_WRITE_FAULT));
}

}  // namespace

// A job given up on its last page: while every byte is still staged the
// printer gets nothing at all; once a full page went out, what follows is
// dropped and the caller is told the printer got part of the job.
TEST_F(JobFixture, AbandonSendsNothingOnlyWhileNothingWasHandedOver) {
  label = labelForSize(model, 10000, 30000);  // 100 x 300 mm: more than the staging area once encoded
  const PageDots dots = pageDotsOf(*model.profile, label);
  std::vector<BYTE> row(size_t(dots.width + 7) / 8);
  unsigned seed = 7;
  const struct {
    int wholePages;
    bool nothingSent;
  } cases[] = {{0, true}, {1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wholePages);
    sink.bytes.clear();
    LabelJobWriter job(&Sink::write, &sink);
    PrinterSettings settings;
    ASSERT_TRUE(job.startJob(defValuesFor(*model.profile, label, settings), driver::defRulesOf(*model.profile), 1));
    for (int p = 0; p <= c.wholePages; ++p) {
      ASSERT_TRUE(job.startPage(dots, 1, dots.width, 1));
      for (LONG y = 0; y < dots.height / 2; ++y) {
        for (BYTE& b : row) b = static_cast<BYTE>((seed = seed * 1103515245u + 12345u) >> 16);
        job.writeRow(y, row.data());
      }
      if (p < c.wholePages) ASSERT_TRUE(job.endPage());
    }
    const size_t before = sink.bytes.size();
    EXPECT_EQ(job.abandon(), c.nothingSent);
    job.endPage();
    job.endJob();
    EXPECT_EQ(sink.bytes.size(), before) << "bytes written after the job was given up";
    EXPECT_EQ(sink.bytes.empty(), c.nothingSent);
  }
}
