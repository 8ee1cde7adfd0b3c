// DrvDeviceCapabilities: list sizes and contents, values, and the label
// list from the label-definition file.
#include "ui_fixture.h"

#include <string>

#include "capabilities.h"
#include "setting_limits.h"

using namespace driver;

namespace {

class CapabilitiesTest : public UiTest {
 protected:
  DWORD ask(WORD cap, void* out = nullptr, const DEVMODEW* dm = nullptr) {
    return DeviceCapability(nullptr, name(), cap, out, dm);
  }
  // Asks for the count, then fills a buffer of exactly that many entries.
  template <class T>
  std::vector<T> listOf(WORD cap, int perEntry = 1, const DEVMODEW* dm = nullptr) {
    DWORD n = ask(cap, nullptr, dm);
    EXPECT_NE(n, DWORD(GDI_ERROR));
    std::vector<T> out(n * perEntry);
    EXPECT_EQ(ask(cap, out.data(), dm), n);
    return out;
  }
};

struct ValueCase {
  WORD cap;
  DWORD expected;
};

const ValueCase kValues[] = {
    {DC_SIZE, 220},
    {DC_EXTRA, 144},
    {DC_VERSION, 0x0401},
    {DC_DRIVER, 0x0100},
    {DC_FIELDS, 0x0200270F},
    {DC_MINEXTENT, DWORD(MAKELONG(100, 100))},
    {DC_MAXEXTENT, DWORD(MAKELONG(kModel.jobWidthLimit, 4000))},
    {DC_ORIENTATION, 90},
    {DC_COPIES, 9999},
    {DC_COLORDEVICE, 0},
    {DC_DUPLEX, 0},
    {DC_COLLATE, 0},
    {DC_TRUETYPE, DCTT_BITMAP},
    {DC_BINS, 1},
    {DC_MEDIATYPES, 3},
    {DC_ENUMRESOLUTIONS, 1},
    {DC_NUP, 1},
    {19 /* DC_BINADJUST */, GDI_ERROR},
};

class ValueTest : public CapabilitiesTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ValueTest, Answers) { EXPECT_EQ(ask(GetParam().cap), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, ValueTest, ::testing::ValuesIn(kValues));

TEST_F(CapabilitiesTest, LabelsWithSizesAndNamesFromTheLabelFile) {
  std::string file = "[257]\nLabelName=Shelf\nLabelWidth=600\nLabelHeight=300\n";
  if (kIsModelA) file += "[303]\nLabelName=Parcel\nLabelWidth=1000\nLabelHeight=1500\n";
  writeLabelFile(file);
  std::vector<WORD> papers = listOf<WORD>(DC_PAPERS);
  std::vector<POINT> sizes = listOf<POINT>(DC_PAPERSIZE);
  std::vector<WCHAR> names = listOf<WCHAR>(DC_PAPERNAMES, kPaperNameChars);
  const size_t expected = kIsModelA ? 3 : 2;
  ASSERT_EQ(papers.size(), expected);
  ASSERT_EQ(sizes.size(), expected);
  EXPECT_EQ(papers[0], 256);
  EXPECT_EQ(sizes[0].x, kModel.builtinLabels[0].LabelWidth);  // the custom size of the defaults
  EXPECT_EQ(papers[1], 257);
  EXPECT_EQ(sizes[1].x, 600);
  EXPECT_EQ(sizes[1].y, 300);
  EXPECT_EQ(text16(&names[kPaperNameChars]), u"Shelf");
  if (kIsModelA) {
    EXPECT_EQ(papers[2], 303);
    EXPECT_EQ(sizes[2].y, 1500);
    EXPECT_EQ(text16(&names[2 * kPaperNameChars]), u"Parcel");
  }
}

// A user label stored between an application's sizing call and its
// filling call, before a label already listed: the fill writes the list
// the sizing call counted, and no more.
struct GrowCase {
  const char* name;
  WORD sizedCap;
  WORD filledCap;
  size_t entryBytes;
  WORD resizedCap;  // another label capability sized after the label was added, or 0
};

const GrowCase kGrowCases[] = {
    {"Papers", DC_PAPERS, DC_PAPERS, sizeof(WORD), 0},
    {"PaperNames", DC_PAPERNAMES, DC_PAPERNAMES, kPaperNameChars * sizeof(WCHAR), 0},
    {"PaperSizes", DC_PAPERSIZE, DC_PAPERSIZE, sizeof(POINT), 0},
    // Applications often size the names from the count of DC_PAPERS.
    {"NamesSizedByPapers", DC_PAPERS, DC_PAPERNAMES, kPaperNameChars * sizeof(WCHAR), 0},
    // A sizing call of the names counts the new list; the papers' fill
    // still writes no more than its own sizing call announced.
    {"PapersAfterTheNamesWereSizedAgain", DC_PAPERS, DC_PAPERS, sizeof(WORD), DC_PAPERNAMES},
};

class GrowTest : public CapabilitiesTest, public ::testing::WithParamInterface<GrowCase> {};

TEST_P(GrowTest, FillWritesTheListTheSizingCallCounted) {
  if (!kIsModelA) GTEST_SKIP() << "model B lists only its built-in labels";
  const GrowCase& c = GetParam();
  const std::string listed =
      "[256]\nLabelName=Custom\n[257]\nLabelName=Second\n[303]\nLabelName=Third\nLabelWidth=1000\n";
  writeLabelFile(listed);
  const DWORD n = ask(c.sizedCap);
  ASSERT_EQ(n, 3u);
  writeLabelFile(listed + "[301]\nLabelName=Added\nLabelWidth=700\nLabelHeight=300\n");
  if (c.resizedCap) {
    EXPECT_EQ(ask(c.resizedCap), 4u);
  }
  std::vector<BYTE> buffer(n * c.entryBytes + 256, 0xEE);
  EXPECT_EQ(ask(c.filledCap, buffer.data()), n);
  EXPECT_EQ(std::vector<BYTE>(buffer.begin() + n * c.entryBytes, buffer.end()), std::vector<BYTE>(256, 0xEE));
  // Without a sizing call in between, the third entry is label 303, as
  // counted.
  const BYTE* third = buffer.data() + 2 * c.entryBytes;
  if (!c.resizedCap) {
    switch (c.filledCap) {
      case DC_PAPERS: EXPECT_EQ(*reinterpret_cast<const WORD*>(third), 303); break;
      case DC_PAPERNAMES: EXPECT_EQ(text16(reinterpret_cast<const WCHAR*>(third)), u"Third"); break;
      default: EXPECT_EQ(reinterpret_cast<const POINT*>(third)->x, 1000); break;
    }
  }
  // The next sizing call counts the new label.
  EXPECT_EQ(ask(c.filledCap), 4u);
}

INSTANTIATE_TEST_SUITE_P(Cases, GrowTest, ::testing::ValuesIn(kGrowCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CapabilitiesTest, CustomLabelSizeFollowsTheDeviceMode) {
  DEVMODEW dm{};
  dm.dmSize = sizeof dm;
  dm.dmFields = DM_PAPERSIZE;
  dm.dmPaperSize = 256;
  dm.dmPaperWidth = 800;
  dm.dmPaperLength = 300;
  std::vector<POINT> sizes = listOf<POINT>(DC_PAPERSIZE, 1, &dm);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes[0].x, 800);
  EXPECT_EQ(sizes[0].y, 300);
}

TEST_F(CapabilitiesTest, TablesOfTheModel) {
  std::vector<WORD> bins = listOf<WORD>(DC_BINS);
  std::vector<WCHAR> binNames = listOf<WCHAR>(DC_BINNAMES, kBinNameChars);
  ASSERT_EQ(bins.size(), 1u);
  EXPECT_EQ(bins[0], 14);
  EXPECT_EQ(text16(binNames.data()), u"自动");
  std::vector<DWORD> media = listOf<DWORD>(DC_MEDIATYPES);
  std::vector<WCHAR> mediaNames = listOf<WCHAR>(DC_MEDIATYPENAMES, kMediaTypeNameChars);
  EXPECT_EQ(media, (std::vector<DWORD>{1, 2, 3}));
  EXPECT_EQ(text16(&mediaNames[2 * kMediaTypeNameChars]), u"Glossy paper");
  std::vector<LONG> res = listOf<LONG>(DC_ENUMRESOLUTIONS, 2);
  EXPECT_EQ(res, (std::vector<LONG>{kModel.resolution.dpiX, kModel.resolution.dpiY}));
}

TEST_F(CapabilitiesTest, NupAndCollateFollowTheQueuesFeatures) {
  sim::setQueueDevMode(queueName, storedDevMode([](DriverSettings&) {}));
  sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, privateBlock([](PrinterDataBlock& b) {
                        b.FeatureSelection[kFeatureNup] = 1;
                        b.FeatureSelection[kFeatureCollate] = 1;
                      }));
  EXPECT_EQ(listOf<DWORD>(DC_NUP), (std::vector<DWORD>{1, 2, 4, 6, 9, 16}));
  EXPECT_EQ(ask(DC_COLLATE), 1u);
  EXPECT_TRUE(ask(DC_FIELDS) & DM_NUP);
}

}  // namespace
