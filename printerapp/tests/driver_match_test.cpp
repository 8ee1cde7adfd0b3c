// The application's path writes, for a page, the bytes the graphics driver
// writes for the same bitmap and settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "label_job.h"
#include "models.h"
#include "roundtrip_session.h"

using namespace driver;

namespace {

struct Match {
  const char* name;
  bool grey;
  bool hex;
  Content content;
  LONG width;  // 0.1 mm, label 256
  LONG height;
  LONG copies;
};

const Match kCases[] = {
    {"OneBitRandom", false, false, Content::Random, 777, 333, 1},
    {"OneBitStripesCopies", false, false, Content::Stripes, 1040, 300, 3},
    {"OneBitCornersHex", false, true, Content::Corners, 500, 250, 2},
    {"GreyRandom", true, false, Content::Random, 777, 333, 1},
    {"GreyStripesHex", true, true, Content::Stripes, 601, 401, 4},
};

void PrintTo(const Match& c, std::ostream* os) { *os << c.name; }

class DriverMatchTest : public PrintSession, public ::testing::WithParamInterface<Match> {};

struct Sink {
  std::vector<BYTE> bytes;
  static bool write(void* context, const BYTE* data, DWORD size, DWORD* written) {
    auto* self = static_cast<Sink*>(context);
    self->bytes.insert(self->bytes.end(), data, data + size);
    *written = size;
    return TRUE;
  }
};

// The page's rows as PAPPL hands them: one bit per dot with a set bit
// printed (mid grey and darker print), or the grey levels themselves.
std::vector<BYTE> rowsOf(const Page& page, bool grey, LONG* bytesPerRow) {
  *bytesPerRow = grey ? page.width : (page.width + 7) / 8;
  std::vector<BYTE> rows(size_t(*bytesPerRow) * page.height, 0);
  for (LONG y = 0; y < page.height; ++y)
    for (LONG x = 0; x < page.width; ++x) {
      BYTE* row = rows.data() + size_t(y) * *bytesPerRow;
      if (grey)
        row[x] = page.at(x, y);
      else if (page.at(x, y) == 0)
        row[x / 8] |= BYTE(0x80 >> (x % 8));
    }
  return rows;
}

TEST_P(DriverMatchTest, JobBytesEqualTheDriversForTheSamePage) {
  const Match& c = GetParam();
  ASSERT_TRUE(enable([&](PrivateSettings& p) {
    p.LabelIndex = kCustomLabelIndex;
    p.CustomWidth = c.width;
    p.CustomHeight = c.height;
    p.ColorMode = c.grey ? 1 : 0;
    p.GraphicsMode = c.hex ? 0 : 1;
    p.Copies = c.copies;
  }));
  const Page page = makePage(pageWidth(), pageHeight(), c.content, c.grey, 5);
  ASSERT_TRUE(printDocument({page}));
  const std::vector<WORD> table = ditherTable();

  const printerapp::ModelInfo& model = printerapp::models()[kModelA ? 0 : 1];
  ASSERT_EQ(model.profile, &kModel);
  printerapp::LabelSpec label = printerapp::labelForSize(model, c.width * 10, c.height * 10);
  printerapp::PrinterSettings settings;
  settings.graphicsMode = c.hex ? 0 : 1;
  const printerapp::PageDots dots = printerapp::pageDotsOf(*model.profile, label);
  ASSERT_EQ(dots.width, page.width);
  ASSERT_EQ(dots.height, page.height);

  Sink sink;
  printerapp::LabelJobWriter job(&Sink::write, &sink, table.data());
  LONG bytesPerRow = 0;
  const std::vector<BYTE> rows = rowsOf(page, c.grey, &bytesPerRow);
  ASSERT_TRUE(job.startJob(printerapp::defValuesFor(*model.profile, label, settings), defRulesOf(*model.profile),
                           settings.graphicsMode));
  ASSERT_TRUE(job.startPage(dots, c.grey ? 8 : 1, page.width, c.copies));
  for (LONG y = 0; y < page.height; ++y) ASSERT_TRUE(job.writeRow(y, rows.data() + size_t(y) * bytesPerRow));
  ASSERT_TRUE(job.endPage());
  ASSERT_TRUE(job.endJob());

  const std::vector<BYTE> driverBytes = written();
  ASSERT_FALSE(driverBytes.empty());
  if (sink.bytes != driverBytes) {
    size_t at = 0;
    while (at < sink.bytes.size() && at < driverBytes.size() && sink.bytes[at] == driverBytes[at]) ++at;
    ADD_FAILURE() << "first difference at byte " << at << " of " << driverBytes.size() << " (application wrote "
                  << sink.bytes.size() << "); driver starts "
                  << std::string(driverBytes.begin(), driverBytes.begin() + std::min<size_t>(120, driverBytes.size()))
                  << "\napplication starts "
                  << std::string(sink.bytes.begin(), sink.bytes.begin() + std::min<size_t>(120, sink.bytes.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DriverMatchTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Match>& info) { return std::string(info.param.name); });

}  // namespace
