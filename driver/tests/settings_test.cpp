// Settings: margins, conversion to dots, default and public fields,
// validity and name matching, stored device modes, merging an
// application's device mode, and the spooler queries.
#include "driver_fixture.h"

using namespace driver;

namespace {

class SettingsTest : public DriverTest {
 protected:
  DriverSettings defaults() {
    DriverSettings s;
    DefaultSettings(&s, queueName.c_str());
    s.SettingsSignature = kSettingsSignature;
    return s;
  }
  // Settings a new device gets from the queue and `dm` (`available` bytes).
  DriverSettings loaded(const DEVMODEW* dm = nullptr, DWORD available = 0) {
    DriverSettings settings{};
    EXPECT_EQ(LoadDeviceSettings(&settings, dm, available, printer, queueName.c_str()), 1);
    return settings;
  }
};

struct MarginCase {
  LONG width, height;
  LONG left, top, right, bottom;  // in the definition
  bool named;
  LabelMargins expected;
};

const MarginCase kMarginCases[] = {
    {1100, 530, 20, 0, 20, 0, true, {30, 0, 30, 0}},     // e = 30 not met
    {1100, 530, 30, 5, 30, 5, true, {30, 5, 30, 5}},     // fits exactly
    {1100, 4500, 20, 0, 20, 0, true, {30, 250, 30, 250}},
    {1042, 500, 0, 0, 0, 0, true, {0, 0, 0, 0}},
    {1043, 500, 0, 0, 0, 0, true, {0, 0, 0, 0}},
    {1044, 500, 0, 0, 0, 0, true, {10, 0, 10, 0}},
    {1000, 4500, 0, 0, 0, 0, true, {0, 0, 0, 0}},        // fits: defaults not needed
    {800, 500, -1, 0, 0, 0, true, {0, 0, 0, 0}},         // negative margin
    {800, 500, 400, 0, 400, 0, true, {0, 0, 0, 0}},      // left + right = width
    {800, 500, 10, 250, 10, 250, true, {0, 0, 0, 0}},    // top + bottom = height
    {800, 500, 10, 20, 30, 40, true, {10, 20, 30, 40}},
    {1200, 4010, 10, 20, 30, 40, false, {80, 10, 80, 10}},  // undefined label
};

class MarginTest : public SettingsTest, public ::testing::WithParamInterface<MarginCase> {};

TEST_P(MarginTest, DefinitionMarginsOrTheDefaults) {
  const MarginCase& c = GetParam();
  char text[256];
  std::snprintf(text, sizeof text,
                "[257]\nLabelName=%s\nLabelWidth=%d\nLabelHeight=%d\nLeftMargin=%d\nTopMargin=%d\nRightMargin=%d\n"
                "BottomMargin=%d\n",
                c.named ? "Label" : "", int(c.width), int(c.height), int(c.left), int(c.top), int(c.right),
                int(c.bottom));
  writeLabelFile(text);
  DriverSettings s = defaults();
  LabelMargins m{};
  if (c.named) {
    m = GetLabelMargins(s, 257);
  } else {
    // An undefined label takes the fallback size; use the custom label
    // with no definition margins to reach the same default rule.
    s.Private.CustomWidth = c.width;
    s.Private.CustomHeight = c.height;
    writeLabelFile("[256]\nLabelName=\n");
    m = GetLabelMargins(s, 256);
  }
  EXPECT_EQ(m.left, c.expected.left);
  EXPECT_EQ(m.top, c.expected.top);
  EXPECT_EQ(m.right, c.expected.right);
  EXPECT_EQ(m.bottom, c.expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(Cases, MarginTest, ::testing::ValuesIn(kMarginCases));

TEST_F(SettingsTest, CustomLabelMarginsComeFromItsDefinitionAndTheCustomSize) {
  writeLabelFile("[256]\nLabelName=Custom\nLeftMargin=20\nRightMargin=20\n");
  DriverSettings s = defaults();
  s.Private.CustomWidth = 1100;
  s.Private.CustomHeight = 530;
  LabelMargins m = GetLabelMargins(s, 256);
  EXPECT_EQ(m.left, 30);
  EXPECT_EQ(m.right, 30);
  s.Private.CustomWidth = 1000;
  m = GetLabelMargins(s, 256);
  EXPECT_EQ(m.left, 20);
  EXPECT_EQ(m.right, 20);
}

TEST(DotsFromTenthsMmTest, DropsTenthsThenUsesTheModelFactor) {
  struct Case {
    LONG value;
    Dimension dimension;
    LONG modelA, modelB;
  };
  const Case cases[] = {
      {1100, Dimension::LabelWidth, 880, 1298}, {535, Dimension::Other, 424, 636},
      {1040, Dimension::LabelWidth, 832, 1227}, {500, Dimension::Other, 400, 600},
      {9, Dimension::Other, 0, 0},              {-15, Dimension::LabelWidth, -8, -11},
      {20, Dimension::Other, 16, 24},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DotsFromTenthsMm(c.value, c.dimension), kIsModelA ? c.modelA : c.modelB) << c.value;
}

TEST_F(SettingsTest, DefaultSettingsFillThePublicAndPrivateParts) {
  DriverSettings s;
  DefaultSettings(&s, u"Label Printer, on USB and a name well beyond the field");
  const DEVMODEW& dm = s.Public;
  EXPECT_EQ(text16(dm.dmDeviceName), u"Label Printer");
  EXPECT_EQ(dm.dmSpecVersion, 0x0401);
  EXPECT_EQ(dm.dmDriverVersion, 0x0100);
  EXPECT_EQ(dm.dmSize, 220);
  EXPECT_EQ(dm.dmDriverExtra, 144);
  EXPECT_EQ(dm.dmFields, 0x0200270Fu);
  EXPECT_EQ(dm.dmOrientation, 1);
  EXPECT_EQ(dm.dmPaperSize, 256);
  EXPECT_EQ(dm.dmPaperWidth, kModel.builtinLabels[0].LabelWidth);
  EXPECT_EQ(dm.dmPaperLength, kModel.builtinLabels[0].LabelHeight);
  EXPECT_EQ(dm.dmScale, 100);
  EXPECT_EQ(dm.dmCopies, 1);
  EXPECT_EQ(dm.dmDefaultSource, 14);
  EXPECT_EQ(dm.dmPrintQuality, kModel.resolution.dpiX);
  EXPECT_EQ(dm.dmYResolution, kModel.resolution.dpiY);
  EXPECT_EQ(dm.dmDuplex, 1);
  EXPECT_EQ(dm.dmTTOption, 1);
  EXPECT_EQ(dm.dmCollate, 0);
  EXPECT_EQ(dm.dmNup, DWORD(DMNUP_ONEUP));
  EXPECT_EQ(dm.dmMediaType, 1u);
  EXPECT_EQ(text16(dm.dmFormName), u"用户自定义");
  const PrivateSettings& p = s.Private;
  EXPECT_EQ(p.LabelIndex, 256);
  EXPECT_EQ(p.PaperSource, 14);
  EXPECT_EQ(p.CustomWidth, kModel.builtinLabels[0].LabelWidth);
  EXPECT_EQ(p.CustomHeight, kModel.builtinLabels[0].LabelHeight);
  EXPECT_EQ(p.DitherPattern, 1);
  EXPECT_EQ(p.HalftonePattern, 1);
  EXPECT_EQ(p.ColorAdjust.caSize, 24);
  EXPECT_EQ(p.ColorAdjust.caRedGamma, 10000);
  EXPECT_EQ(p.ColorAdjust.caReferenceWhite, 10000);
  EXPECT_EQ(p.DriverSolidFill, 1);
  EXPECT_EQ(p.TrackDrawnRegion, 1);
  EXPECT_EQ(p.Speed, kIsModelA ? 1 : 2);
  EXPECT_EQ(p.PrintMethod, kIsModelA ? 2 : 1);
  EXPECT_EQ(p.Direction, 1);
  EXPECT_EQ(p.Reserved124, 1);
  EXPECT_EQ(p.GraphicsMode, 1);
  EXPECT_EQ(s.SettingsSignature, 0u);  // the caller sets it
  EXPECT_EQ(s.PrinterData.HalftoneFlags, 2);
  EXPECT_EQ(s.PrinterData.HalftonePatternSize, 7);
  EXPECT_EQ(s.PrinterData.ColorInfo.AlignmentWhite.Y, 10000);
  EXPECT_EQ(s.PrinterData.ColorInfo.MagentaInCyanDye, 1422);
}

TEST_F(SettingsTest, FeatureSelectionsSetNupAndCollateFields) {
  struct Case {
    LONG nup, collate;
    bool nupBit, collateBit;
    DWORD dmNup;
  };
  const Case cases[] = {
      {0, 0, false, false, DMNUP_ONEUP},
      {1, 0, true, false, DMNUP_SYSTEM},
      {0, 1, false, true, DMNUP_ONEUP},
      {7, -2, false, false, DMNUP_ONEUP},  // outside the option lists: first option
  };
  for (const Case& c : cases) {
    DriverSettings s = defaults();
    s.PrinterData.FeatureSelection[kFeatureNup] = c.nup;
    s.PrinterData.FeatureSelection[kFeatureCollate] = c.collate;
    BuildPublicFields(&s, queueName.c_str());
    EXPECT_EQ((s.Public.dmFields & DM_NUP) != 0, c.nupBit) << c.nup;
    EXPECT_EQ((s.Public.dmFields & DM_COLLATE) != 0, c.collateBit) << c.collate;
    EXPECT_EQ(s.Public.dmNup, c.dmNup);
    EXPECT_EQ(s.Public.dmCollate, 0);
  }
}

TEST_F(SettingsTest, DeviceNamesMatchAfterTheLastBackslashAndBeforeTheFirstComma) {
  struct Case {
    const char16_t* printer;
    const char16_t* deviceName;
    bool match;
  };
  const Case cases[] = {
      {u"Label Printer", u"Label Printer", true},
      {u"Label Printer,USB001,extra", u"\\\\server\\Label Printer", true},
      {u"\\\\server\\Label Printer", u"Label Printer,x", true},
      {u"Label Printer", u"Label", true},  // the shorter is the other's start
      {u"Label", u"Label Printer", true},
      {u"Label Printer", u"Other", false},
      {u"Label Printer", u"label printer", false},
      {u"Label Printer", u"", true},
      {u"", u"Anything", true},
      {u"\\\\a\\X,1", u"\\\\b\\Y,1", false},
  };
  for (const Case& c : cases) {
    DriverSettings s = defaults();
    ZeroMemory(s.Public.dmDeviceName, sizeof s.Public.dmDeviceName);
    lstrcpynW(s.Public.dmDeviceName, c.deviceName, CCHDEVICENAME);
    EXPECT_EQ(SettingsValid(s, c.printer), c.match)
        << std::string(std::u16string(c.printer).begin(), std::u16string(c.printer).end());
  }
}

TEST_F(SettingsTest, ValidityNeedsVersionsSizesAndSignature) {
  struct Case {
    const char* what;
    void (*edit)(DriverSettings&);
  };
  const Case cases[] = {
      {"dmSpecVersion", [](DriverSettings& s) { s.Public.dmSpecVersion = 0x0400; }},
      {"driver version", [](DriverSettings& s) { s.Public.dmDriverVersion = 0x0101; }},
      {"size", [](DriverSettings& s) { s.Public.dmSize = 156; }},
      {"driver extra", [](DriverSettings& s) { s.Public.dmDriverExtra = 140; }},
      {"signature", [](DriverSettings& s) { s.SettingsSignature = 0x28116118; }},
  };
  EXPECT_TRUE(SettingsValid(defaults(), queueName.c_str()));
  for (const Case& c : cases) {
    DriverSettings s = defaults();
    c.edit(s);
    EXPECT_FALSE(SettingsValid(s, queueName.c_str())) << c.what;
  }
  // A device name filling its field without a terminator is still read
  // within the field.
  DriverSettings s = defaults();
  for (WCHAR& ch : s.Public.dmDeviceName) ch = u'L';
  EXPECT_FALSE(SettingsValid(s, u"Other"));
  EXPECT_TRUE(SettingsValid(s, u"LLLL"));
}

// Stored defaults stand only when the device mode is this driver's and
// "Private DevMode" has exactly 152 bytes.
TEST_F(SettingsTest, StoredDefaultsStandOnlyWhenValidAndComplete) {
  struct Case {
    const char* what;
    void (*edit)(DriverSettings&);
    size_t devModeBytes;
    size_t privateBytes;
    bool stands;
  };
  const Case cases[] = {
      {"valid", [](DriverSettings&) {}, 364, 152, true},
      {"foreign signature", [](DriverSettings& s) { s.SettingsSignature = 1; }, 364, 152, false},
      {"foreign driver version", [](DriverSettings& s) { s.Public.dmDriverVersion = 0x200; }, 364, 152, false},
      {"another printer's", [](DriverSettings& s) { lstrcpyW(s.Public.dmDeviceName, u"Office Laser"); }, 364, 152,
       false},
      {"public part only", [](DriverSettings& s) { s.Public.dmDriverExtra = 0; }, 220, 152, false},
      {"shorter than it claims", [](DriverSettings&) {}, 300, 152, false},
      {"no private block", [](DriverSettings&) {}, 364, 0, false},
      {"short private block", [](DriverSettings&) {}, 364, 144, false},
      {"long private block", [](DriverSettings&) {}, 364, 160, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DriverSettings stored = defaults();
    stored.Private.LabelIndex = 257;
    stored.Private.Copies = 4;
    stored.Private.Speed = 3;
    stored.PrinterData.HalftonePatternSize = 9;
    c.edit(stored);
    const BYTE* p = reinterpret_cast<const BYTE*>(&stored);
    sim::setQueueDevMode(queueName, std::vector<BYTE>(p, p + c.devModeBytes));
    std::vector<BYTE> block(reinterpret_cast<const BYTE*>(&stored.PrinterData),
                            reinterpret_cast<const BYTE*>(&stored.PrinterData) + sizeof(PrinterDataBlock));
    block.resize(c.privateBytes, 0);
    if (c.privateBytes)
      sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, block);
    else
      sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, {});
    DriverSettings s = loaded();
    EXPECT_EQ(s.Private.LabelIndex, c.stands ? 257 : 256);
    EXPECT_EQ(s.Private.Copies, c.stands ? 4 : 1);
    EXPECT_EQ(s.Private.Speed, c.stands ? 3 : kModel.defaultSpeed);
    EXPECT_EQ(s.PrinterData.HalftonePatternSize, c.stands ? 9 : 7);
    EXPECT_EQ(s.SettingsSignature, kSettingsSignature);
  }
}

DEVMODEW foreignDevMode() {
  DEVMODEW dm{};
  lstrcpyW(dm.dmDeviceName, u"Some Other Driver");
  dm.dmSpecVersion = 0x0401;
  dm.dmDriverVersion = 0x0600;
  dm.dmSize = sizeof dm;
  return dm;
}

TEST_F(SettingsTest, ForeignApplicationModeChangesPublicFieldsOnly) {
  DEVMODEW dm = foreignDevMode();
  dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_DEFAULTSOURCE | DM_PRINTQUALITY | DM_YRESOLUTION |
                DM_MEDIATYPE;
  dm.dmOrientation = 2;
  dm.dmPaperSize = 257;
  dm.dmCopies = 5;
  dm.dmDefaultSource = 14;
  dm.dmPrintQuality = short(kModel.resolution.dpiX);
  dm.dmYResolution = short(kModel.resolution.dpiY);
  dm.dmMediaType = 3;
  DriverSettings s = loaded(&dm, sizeof dm);
  EXPECT_EQ(s.Private.Orientation, 2);
  EXPECT_EQ(s.Private.LabelIndex, 257);
  EXPECT_EQ(s.Private.Copies, 5);
  EXPECT_EQ(s.Private.PaperSource, 14);
  EXPECT_EQ(s.Private.MediaType, 3);
  EXPECT_EQ(s.Private.ResolutionIndex, 0);
  EXPECT_EQ(s.Private.Speed, kModel.defaultSpeed);
  // The public part is rebuilt from the merged private part.
  EXPECT_EQ(s.Public.dmOrientation, 2);
  EXPECT_EQ(s.Public.dmPaperSize, 257);
  EXPECT_EQ(s.Public.dmPaperWidth, kModel.builtinLabels[1].LabelWidth);
  EXPECT_EQ(s.Public.dmCopies, 5);
  EXPECT_EQ(s.Public.dmMediaType, 1u);
  EXPECT_EQ(text16(s.Public.dmDeviceName), queueName);
}

TEST_F(SettingsTest, UnacceptableApplicationFieldsAreIgnored) {
  struct Case {
    const char* what;
    void (*edit)(DEVMODEW&);
    void (*check)(const PrivateSettings&);
  };
  const Case cases[] = {
      {"orientation 3", [](DEVMODEW& d) { d.dmFields = DM_ORIENTATION; d.dmOrientation = 3; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.Orientation, 1); }},
      {"copies 0", [](DEVMODEW& d) { d.dmFields = DM_COPIES; d.dmCopies = 0; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.Copies, 1); }},
      {"copies -4 without the bit", [](DEVMODEW& d) { d.dmFields = 0; d.dmCopies = -4; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.Copies, 1); }},
      {"copies 7 without the bit", [](DEVMODEW& d) { d.dmFields = 0; d.dmCopies = 7; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.Copies, 7); }},
      {"unknown label", [](DEVMODEW& d) { d.dmFields = DM_PAPERSIZE; d.dmPaperSize = 305; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.LabelIndex, kIsModelA ? 305 : 256); }},
      {"custom size", [](DEVMODEW& d) { d.dmFields = DM_PAPERSIZE; d.dmPaperSize = 256; d.dmPaperWidth = 800; d.dmPaperLength = 300; },
       [](const PrivateSettings& p) {
         EXPECT_EQ(p.LabelIndex, 256);
         EXPECT_EQ(p.CustomWidth, 800);
         EXPECT_EQ(p.CustomHeight, 300);
       }},
      {"custom size of zero", [](DEVMODEW& d) { d.dmFields = DM_PAPERSIZE; d.dmPaperSize = 256; d.dmPaperWidth = 0; d.dmPaperLength = 300; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.CustomWidth, kModel.builtinLabels[0].LabelWidth); }},
      {"unknown media", [](DEVMODEW& d) { d.dmFields = DM_MEDIATYPE; d.dmMediaType = 9; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.MediaType, 1); }},
      {"unknown source", [](DEVMODEW& d) { d.dmFields = DM_DEFAULTSOURCE; d.dmDefaultSource = 15; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.PaperSource, 14); }},
      {"other resolution", [](DEVMODEW& d) { d.dmFields = DM_PRINTQUALITY | DM_YRESOLUTION; d.dmPrintQuality = 600; d.dmYResolution = 600; },
       [](const PrivateSettings& p) { EXPECT_EQ(p.ResolutionIndex, 0); }},
      {"fields without their bits", [](DEVMODEW& d) { d.dmFields = 0; d.dmOrientation = 2; d.dmPaperSize = 257; },
       [](const PrivateSettings& p) {
         EXPECT_EQ(p.Orientation, 1);
         EXPECT_EQ(p.LabelIndex, 256);
       }},
  };
  std::string text;
  for (int i = 301; i <= 320; ++i) text += "[" + std::to_string(i) + "]\nLabelName=U" + std::to_string(i) + "\n";
  writeLabelFile(text);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DEVMODEW dm = foreignDevMode();
    c.edit(dm);
    c.check(loaded(&dm, sizeof dm).Private);
  }
}

TEST_F(SettingsTest, ValidApplicationModeBringsItsPrivatePartThenItsPublicFields) {
  DriverSettings app = defaults();
  app.Private.Speed = 3;
  app.Private.LabelIndex = 257;
  app.Private.Copies = 9;
  app.Public.dmFields = DM_COPIES;
  app.Public.dmCopies = 2;
  DriverSettings s = loaded(&app.Public, kStoredDevModeBytes);
  EXPECT_EQ(s.Private.Speed, 3);
  EXPECT_EQ(s.Private.LabelIndex, 257);
  EXPECT_EQ(s.Private.Copies, 2);

  // The same record claiming its private part but cut before it brings
  // only its public fields.
  DriverSettings cut = loaded(&app.Public, sizeof(DEVMODEW));
  EXPECT_EQ(cut.Private.Speed, kModel.defaultSpeed);
  EXPECT_EQ(cut.Private.Copies, 2);
}

// A device mode is never read beyond what it claims or what was supplied.
TEST_F(SettingsTest, ShortApplicationModesAreReadOnlyWithinTheirBytes) {
  DEVMODEW dm = foreignDevMode();
  dm.dmFields = DM_ORIENTATION | DM_MEDIATYPE | DM_COPIES;
  dm.dmOrientation = 2;
  dm.dmCopies = 6;
  dm.dmMediaType = 2;
  struct Case {
    WORD dmSize;
    DWORD available;
    LONG orientation, copies, media;
  };
  const Case cases[] = {
      {220, 220, 2, 6, 2},
      {220, 100, 2, 6, 1},  // dmMediaType lies beyond the bytes supplied
      {90, 220, 2, 6, 1},   // dmCopies (offset 86) still inside dmSize
      {80, 220, 2, 1, 1},   // dmOrientation (76) inside, dmCopies outside
      {60, 220, 1, 1, 1},   // not even dmFields
  };
  for (const Case& c : cases) {
    dm.dmSize = c.dmSize;
    DriverSettings s = loaded(&dm, c.available);
    EXPECT_EQ(s.Private.Orientation, c.orientation) << c.dmSize << "/" << c.available;
    EXPECT_EQ(s.Private.MediaType, c.media) << c.dmSize << "/" << c.available;
    EXPECT_EQ(s.Private.Copies, c.copies) << c.dmSize << "/" << c.available;
  }
}

TEST_F(SettingsTest, QueryPrinterPropertyCopiesCutsAndFails) {
  sim::QueueSetup q = sim::queueSetup(queueName);
  q.printProcessor = u"WinPrint";
  q.attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY;
  sim::addQueue(q);
  sim::addJob(queueName, sim::JobSetup{7, u"Invoice 2026-12"});
  WCHAR name[64];
  ASSERT_EQ(QueryPrinterProperty(printer, PrinterProperty::PrinterName, name, sizeof name), 1);
  EXPECT_EQ(text16(name), queueName);
  ASSERT_EQ(QueryPrinterProperty(printer, PrinterProperty::PrinterName, name, 6 * sizeof(WCHAR)), 1);
  EXPECT_EQ(text16(name), u"Label");
  ASSERT_EQ(QueryPrinterProperty(printer, PrinterProperty::PrintProcessor, name, sizeof name), 1);
  EXPECT_EQ(text16(name), u"WinPrint");
  ASSERT_EQ(QueryPrinterProperty(printer, PrinterProperty::JobDocument, name, sizeof name, 7), 1);
  EXPECT_EQ(text16(name), u"Invoice 2026-12");
  EXPECT_EQ(QueryPrinterProperty(printer, PrinterProperty::JobDocument, name, sizeof name, 8), 0);
  DWORD attributes = 0;
  ASSERT_EQ(QueryPrinterProperty(printer, PrinterProperty::Attributes, &attributes, sizeof attributes), 1);
  EXPECT_EQ(attributes, DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY));
  BYTE tiny[3] = {1, 2, 3};
  EXPECT_EQ(QueryPrinterProperty(printer, PrinterProperty::Attributes, tiny, sizeof tiny), 0);
  EXPECT_EQ(tiny[0] | tiny[1] | tiny[2], 0);
  // No stored device mode.
  BYTE dm[400];
  EXPECT_EQ(QueryPrinterProperty(printer, PrinterProperty::DefaultDevMode, dm, sizeof dm), 0);

  for (sim::Api api : {sim::api::GetPrinterW, sim::api::HeapAlloc}) {
    for (int nth : {1, 2}) {
      if (std::string(api.name) == "HeapAlloc" && nth == 2) continue;
      sim::clearFaults();
      sim::failNth(api, nth, ERROR_GEN_FAILURE);
      FillMemory(name, sizeof name, 0x41);
      EXPECT_EQ(QueryPrinterProperty(printer, PrinterProperty::PrinterName, name, sizeof name), 0) << api.name << nth;
      for (WCHAR c : name) ASSERT_EQ(c, 0);
    }
  }
  sim::clearFaults();
  const size_t baseline = sim::liveAllocations();
  QueryPrinterProperty(printer, PrinterProperty::PrinterName, name, sizeof name);
  EXPECT_EQ(sim::liveAllocations(), baseline);
}

TEST_F(SettingsTest, StoredDevModeIsCopiedUpToItsClaimedSizeAndTheBuffer) {
  DriverSettings stored = defaults();
  const BYTE* p = reinterpret_cast<const BYTE*>(&stored);
  std::vector<BYTE> blob(p, p + kStoredDevModeBytes);
  blob.resize(400, 0xEE);  // bytes beyond dmSize + dmDriverExtra
  sim::setQueueDevMode(queueName, blob);
  BYTE out[400];
  ASSERT_EQ(QueryPrinterProperty(printer, PrinterProperty::DefaultDevMode, out, sizeof out), 1);
  EXPECT_EQ(std::memcmp(out, p, kStoredDevModeBytes), 0);
  EXPECT_EQ(out[kStoredDevModeBytes], 0);
  ASSERT_EQ(QueryPrinterProperty(printer, PrinterProperty::DefaultDevMode, out, 100), 1);
  EXPECT_EQ(std::memcmp(out, p, 100), 0);
}

}  // namespace
