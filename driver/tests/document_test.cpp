// Document, page and band entry points on the simulated host: the exact
// bytes they write, in which call, and what happens when writing fails.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "roundtrip_session.h"

using namespace driver;

namespace {

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

size_t occurrences(const std::string& text, const std::string& word) {
  size_t n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// The default label of this model: DEF line, printable page size (model
// A's 110 mm label gets the default 3 mm side margins), and the codes of a
// blank row and of a row holding only its first dot.
struct ModelDefaults {
  std::string def;
  LONG width, height;
  std::string blankRow;
  std::string topLeftDotRow;
};

ModelDefaults modelDefaults() {
  if (kModelA)
    return {"DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n",
            831, 423, std::string("\x99\x00", 2), std::string("\x01\x80\x00\x9B\x00\x99\x00", 7)};
  return {"DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n", 1224,
          598, std::string("\x81\x00\xE8\x00", 4), std::string("\x01\x80\x00\x81\x00\xEA\x00\x81\x00\xE8\x00", 11)};
}

using DocumentTest = PrintSession;

TEST_F(DocumentTest, OnePageJobWithThreeCopiesIsExact) {
  ASSERT_TRUE(enable([](PrivateSettings& p) { p.Copies = 3; }));
  const ModelDefaults m = modelDefaults();
  ASSERT_EQ(pageWidth(), m.width);
  ASSERT_EQ(pageHeight(), m.height);
  ASSERT_TRUE(printDocument({makePage(m.width, m.height, Content::Blank, false, 0)}));
  EXPECT_EQ(writtenText(), m.def + "JOB NM=QX,ID=1\r\nSTART\r\nQTY P=3\r\nGRAPH X=0,Y=0,WD=" + std::to_string(m.width) +
                               ",HT=" + std::to_string(m.height) + ",MD=2\r\n" + repeat(m.blankRow, m.height) +
                               "\r\nEND\r\nJOBE\r\n");
}

TEST_F(DocumentTest, TopLeftDotCodesTheFirstRow) {
  ASSERT_TRUE(enable());
  const ModelDefaults m = modelDefaults();
  Page page = makePage(m.width, m.height, Content::Blank, false, 0);
  page.grey[0] = 0;
  ASSERT_TRUE(printDocument({page}));
  std::string text = writtenText();
  size_t rows = text.find(",MD=2\r\n") + 7;
  EXPECT_EQ(text.substr(rows, m.topLeftDotRow.size()), m.topLeftDotRow);
}

TEST_F(DocumentTest, HeaderOncePerDocumentAndAgainForTheNext) {
  ASSERT_TRUE(enable());
  const Page blank = makePage(pageWidth(), pageHeight(), Content::Blank, false, 0);
  ASSERT_TRUE(printDocument({blank, blank}));
  std::string first = writtenText();
  EXPECT_EQ(occurrences(first, "DEF "), 1u);
  EXPECT_EQ(occurrences(first, "JOB NM=QX,ID=1\r\n"), 1u);
  EXPECT_EQ(occurrences(first, "START\r\n"), 2u);
  EXPECT_EQ(occurrences(first, "END\r\n"), 2u);
  EXPECT_EQ(occurrences(first, "JOBE\r\n"), 1u);
  EXPECT_EQ(first.substr(first.size() - 11), "END\r\nJOBE\r\n");
  ASSERT_TRUE(printDocument({blank}));
  std::string both = writtenText();
  EXPECT_EQ(both.substr(first.size(), 4), "DEF ");
  EXPECT_EQ(occurrences(both, "JOBE\r\n"), 2u);
}

TEST_F(DocumentTest, DocumentWithoutPagesWritesNothing) {
  ASSERT_TRUE(enable());
  EXPECT_TRUE(printDocument({}));
  EXPECT_TRUE(written().empty());
  EXPECT_EQ(sim::callCount(sim::api::WritePrinter), 0);
}

TEST_F(DocumentTest, AbortedPageGetsNoEndButTheJobIsClosed) {
  ASSERT_TRUE(enable());
  ASSERT_TRUE(DrvStartDoc(pso, nullptr, 1));
  ASSERT_TRUE(DrvStartPage(pso));
  ASSERT_TRUE(DrvEndDoc(pso, 1));  // ED_ABORTDOC
  std::string text = writtenText();
  EXPECT_EQ(occurrences(text, "END\r\n"), 0u);
  EXPECT_EQ(text.substr(text.size() - 22), "START\r\nQTY P=1\r\nJOBE\r\n");
}

struct WriteFault {
  const char* name;
  sim::Api api;
  DWORD error;
};

class DocumentWriteFailure : public PrintSession, public ::testing::WithParamInterface<WriteFault> {};

TEST_P(DocumentWriteFailure, SilencesTheDocumentReportsItAndTheNextDocumentWrites) {
  const WriteFault& f = GetParam();
  ASSERT_TRUE(enable());
  const Page page = makePage(pageWidth(), pageHeight(), Content::Stripes, false, 0);
  sim::failNth(f.api, 1, ERROR_NOT_READY);
  ASSERT_TRUE(DrvStartDoc(pso, nullptr, 1));
  ASSERT_TRUE(DrvStartPage(pso));
  draw(page, POINTL{0, 0});
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(DrvSendPage(pso));  // END's flush is the first write
  EXPECT_EQ(GetLastError(), f.error);
  for (int i = 0; i < 2; ++i) {  // pages 2 and 3
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(DrvStartPage(pso));
    EXPECT_EQ(GetLastError(), f.error);
    EXPECT_FALSE(DrvSendPage(pso));
  }
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(DrvEndDoc(pso, 0));
  EXPECT_EQ(GetLastError(), f.error);
  EXPECT_EQ(sim::callCount(sim::api::WritePrinter), 1);
  EXPECT_TRUE(written().empty());

  ASSERT_TRUE(printDocument({page}));
  std::string text = writtenText();
  EXPECT_EQ(text.substr(0, 4), "DEF ");
  EXPECT_EQ(occurrences(text, "START\r\n"), 1u);
  EXPECT_EQ(text.substr(text.size() - 11), "END\r\nJOBE\r\n");
}

INSTANTIATE_TEST_SUITE_P(Faults, DocumentWriteFailure,
                         ::testing::Values(WriteFault{"WriteFails", sim::api::WritePrinter, ERROR_NOT_READY},
                                           WriteFault{"WriteTakesNothing", sim::api::WritePrinterZero, ERROR_WRITE_FAULT}),
                         [](const auto& info) { return std::string(info.param.name); });

// Three 8-bit bands: the surface is limited to just over a third of the page.
class BandedDocumentTest : public PrintSession {
 protected:
  PrinterDevice* enableThreeBands(LONG orientation, LONG rotation) {
    auto edit = [=](PrivateSettings& p) {
      p.ColorMode = 1;
      p.Orientation = orientation;
      p.LandscapeRotation = rotation;
    };
    if (!enable(edit)) return nullptr;
    const BandEntry whole = device->wholePage;
    disable();
    LONG stride = (whole.exactWidth + 3) / 4 * 4;
    ULONG third = orientation == 1 ? ULONG(stride) * ((whole.exactHeight + 2) / 3)
                                   : ULONG((whole.exactWidth + 2) / 3 + 3) / 4 * 4 * whole.exactHeight;
    sim::setBitmapByteLimit(third + 4 * ULONG(whole.exactHeight > stride ? whole.exactHeight : stride));
    return enable(edit);
  }
};

TEST_F(BandedDocumentTest, EachBandWritesItsGraphAndTheLastClosesThePage) {
  ASSERT_TRUE(enableThreeBands(1, 0));
  ASSERT_TRUE(device->bandingMode);
  ASSERT_EQ(device->bandCount, 3);
  const LONG bandHeight = device->bands[1].y;
  ASSERT_TRUE(DrvStartDoc(pso, nullptr, 1));
  ASSERT_TRUE(DrvStartPage(pso));
  POINTL origin{-5, -5};
  ASSERT_TRUE(DrvStartBanding(pso, &origin));
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
  ASSERT_TRUE(DrvNextBand(pso, &origin));
  EXPECT_EQ(origin.y, bandHeight);
  ASSERT_TRUE(DrvNextBand(pso, &origin));
  EXPECT_EQ(origin.y, 2 * bandHeight);
  EXPECT_TRUE(written().empty());  // staged until the page ends
  ASSERT_TRUE(DrvNextBand(pso, &origin));
  EXPECT_EQ(origin.x, -1);
  EXPECT_EQ(origin.y, -1);
  const std::string page = writtenText();
  ASSERT_TRUE(DrvSendPage(pso));
  EXPECT_EQ(writtenText(), page);  // the bands sent the page already
  ASSERT_TRUE(DrvEndDoc(pso, 0));

  std::string text = writtenText();
  size_t def = text.find("DEF "), job = text.find("JOB NM"), start = text.find("START\r\nQTY P=1\r\n");
  size_t g0 = text.find("GRAPH X=0,Y=0,"), g1 = text.find("GRAPH X=0,Y=" + std::to_string(bandHeight) + ",");
  size_t g2 = text.find("GRAPH X=0,Y=" + std::to_string(2 * bandHeight) + ",");
  size_t end = text.find("END\r\nJOBE\r\n");
  EXPECT_EQ(def, 0u);
  EXPECT_TRUE(def < job && job < start && start < g0 && g0 < g1 && g1 < g2 && g2 < end && end != std::string::npos)
      << text.substr(0, 200);
  EXPECT_EQ(occurrences(text, "GRAPH "), 3u);
}

TEST_F(BandedDocumentTest, UnrotatedLandscapeStartsWithTheRightmostStrip) {
  ASSERT_TRUE(enableThreeBands(2, 0));
  ASSERT_TRUE(device->bandingMode);
  ASSERT_GE(device->bandCount, 2);
  ASSERT_TRUE(DrvStartDoc(pso, nullptr, 1));
  ASSERT_TRUE(DrvStartPage(pso));
  POINTL origin{};
  ASSERT_TRUE(DrvStartBanding(pso, &origin));
  LONG rightmost = 0;
  for (LONG j = 0; j < device->bandCount; ++j) rightmost = device->bands[j].x > rightmost ? device->bands[j].x : rightmost;
  EXPECT_GT(origin.x, 0);
  EXPECT_EQ(origin.x, rightmost);
  EXPECT_EQ(origin.y, 0);
}

TEST_F(DocumentTest, ResetClosesTheOldRecordsPageAndJob) {
  ASSERT_TRUE(enable());
  ASSERT_TRUE(DrvStartDoc(pso, nullptr, 1));
  ASSERT_TRUE(DrvStartPage(pso));
  DHPDEV fresh = enablePdev();
  ASSERT_TRUE(fresh);
  ASSERT_TRUE(DrvResetPDEV(reinterpret_cast<DHPDEV>(device), fresh));
  std::string text = writtenText();
  EXPECT_EQ(text.substr(0, 4), "DEF ");
  EXPECT_EQ(text.substr(text.size() - 27), "START\r\nQTY P=1\r\nEND\r\nJOBE\r\n");
  EXPECT_EQ(device->output.state, 0u);
  DrvDisablePDEV(fresh);
}

// The page is closed without the band, and the loss is reported.
TEST_F(DocumentTest, MissingHexBufferLeavesTheGraphOutAndFailsThePage) {
  ASSERT_TRUE(enable());
  ASSERT_TRUE(DrvStartDoc(pso, nullptr, 1));
  ASSERT_TRUE(DrvStartPage(pso));
  sim::failNth(sim::api::HeapAlloc, 1, ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(0xDEADBEEF);
  EXPECT_FALSE(DrvSendPage(pso));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  ASSERT_TRUE(DrvEndDoc(pso, 0));
  std::string text = writtenText();
  EXPECT_EQ(occurrences(text, "GRAPH"), 0u);
  EXPECT_EQ(text.substr(text.find("START")), "START\r\nQTY P=1\r\nEND\r\nJOBE\r\n");
}

class SuppressedDocumentTest : public PrintSession {
 protected:
  // A raw-only queue that leaves copies to the print processor.
  void queueSetup(sim::QueueSetup& q) override { q.attributes |= PRINTER_ATTRIBUTE_RAW_ONLY; }
};

TEST_F(SuppressedDocumentTest, NothingIsWrittenWhileOutputIsSuppressed) {
  DriverSettings stored;
  DefaultSettings(&stored, name());
  stored.SettingsSignature = kSettingsSignature;
  stored.PrinterData.FeatureSelection[kFeatureCopies] = 1;  // copies by the print processor
  const BYTE* raw = reinterpret_cast<const BYTE*>(&stored);
  sim::setQueueDevMode(queue, std::vector<BYTE>(raw, raw + kStoredDevModeBytes));
  sim::setPrinterData(queue, u"Private DevMode", REG_BINARY,
                      std::vector<BYTE>(raw + kStoredDevModeBytes, raw + sizeof stored));
  ASSERT_TRUE(enable([](PrivateSettings& p) { p.Copies = 2; }));
  ASSERT_TRUE(device->OutputSuppressed);
  const Page page = makePage(pageWidth(), pageHeight(), Content::Random, false, 1);
  EXPECT_TRUE(printDocument({page, page}));
  EXPECT_TRUE(written().empty());
  EXPECT_EQ(sim::callCount(sim::api::WritePrinter), 0);
}

TEST_F(DocumentTest, InvalidDeviceIsRefusedByEveryEntryPoint) {
  std::vector<BYTE> fake(sizeof(PrinterDevice), 0);
  SURFOBJ so{};
  so.dhpdev = reinterpret_cast<DHPDEV>(fake.data());
  POINTL pt{};
  const std::vector<std::pair<const char*, std::function<BOOL(SURFOBJ*)>>> calls = {
      {"DrvStartDoc", [](SURFOBJ* s) { return DrvStartDoc(s, nullptr, 1); }},
      {"DrvStartPage", [](SURFOBJ* s) { return DrvStartPage(s); }},
      {"DrvSendPage", [](SURFOBJ* s) { return DrvSendPage(s); }},
      {"DrvEndDoc", [](SURFOBJ* s) { return DrvEndDoc(s, 0); }},
      {"DrvStartBanding", [&](SURFOBJ* s) { return DrvStartBanding(s, &pt); }},
      {"DrvNextBand", [&](SURFOBJ* s) { return DrvNextBand(s, &pt); }},
  };
  for (const auto& [entry, call] : calls) {
    for (SURFOBJ* s : {static_cast<SURFOBJ*>(nullptr), &so}) {
      SetLastError(ERROR_SUCCESS);
      EXPECT_FALSE(call(s)) << entry;
      EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << entry;
    }
  }
  EXPECT_EQ(fake, std::vector<BYTE>(sizeof(PrinterDevice), 0));
  EXPECT_TRUE(written().empty());
}

}  // namespace
