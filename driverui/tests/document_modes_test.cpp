// The device-mode protocol of DrvDocumentPropertySheets without a sheet,
// DrvConvertDevMode, DevQueryPrintEx and the queue initialisation, checked
// against what the graphics driver reads back.
#include "ui_fixture.h"

#include "setting_limits.h"

using namespace driver;

namespace {

using DocumentModesTest = UiTest;

TEST_F(DocumentModesTest, SizeQueryAnswersTheDriversDeviceModeSize) {
  for (DWORD mode : {DWORD(0), DWORD(DM_OUT_BUFFER)}) {
    DOCUMENTPROPERTYHEADER h{};
    h.cbSize = sizeof h;
    h.pszPrinterName = name();
    h.fMode = mode;  // DM_OUT_BUFFER without a buffer is a size query too
    EXPECT_EQ(DocumentPropertiesDirect(&h), 364);
    EXPECT_EQ(h.cbOut, 364u);
  }
}

TEST_F(DocumentModesTest, DefaultIsTheDriversDefaultAndTheDriverReadsItBack) {
  std::vector<BYTE> dm = documentDevMode();
  DriverSettings expected;
  DefaultSettings(&expected, name());
  expected.SettingsSignature = kSettingsSignature;
  EXPECT_EQ(dm, bytesOf(expected));
  EXPECT_EQ(bytesOf(driverReads(dm)), dm);
}

TEST_F(DocumentModesTest, QueueDefaultsStoredByTheInterfaceAreWhatTheDriverUses) {
  std::vector<BYTE> stored = storedDevMode([](DriverSettings& s) {
    s.Private.Copies = 3;
    s.Private.Speed = 2;
  });
  sim::setQueueDevMode(queueName, stored);
  sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, privateBlock([](PrinterDataBlock& b) {
                        b.FeatureSelection[kFeatureCollate] = 1;
                      }));
  ASSERT_TRUE(InitializeQueue(name()));
  std::vector<BYTE> dm = documentDevMode();
  EXPECT_EQ(asSettings(dm).Private.Copies, 3);
  EXPECT_EQ(asSettings(dm).Private.Speed, 2);
  EXPECT_TRUE(asSettings(dm).Public.dmFields & DM_COLLATE);
  // A device without an application device mode runs on the queue's
  // stored defaults: the same bytes.
  PrinterDevice* device = enable(nullptr);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(bytesOf(device->settings), dm);
  EXPECT_EQ(device->settings.PrinterData.FeatureSelection[kFeatureCollate], 1);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
}

TEST_F(DocumentModesTest, InitializingANewQueueStoresDefaultsAndSeedsTheLabelFile) {
  ASSERT_TRUE(InitializeQueue(name()));
  EXPECT_EQ(sim::queueSetup(queueName).devMode.size(), 364u);
  EXPECT_EQ(sim::printerData(queueName, u"Private DevMode").size(), 152u);
  EXPECT_NE(sim::readFileBytes(labelFile()).size(), 0u);
  EXPECT_EQ(sim::openPrinterHandles(), 1u);  // the fixture's own handle
}

// A store that fails reports FALSE with the spooler's error, and a queue
// left without its stored defaults runs on the built-in ones.
struct StoreFailure {
  const char* name;
  sim::Api api;
};

const StoreFailure kStoreFailures[] = {
    {"DeviceMode", sim::api::SetPrinterW},
    {"PrivateDevMode", sim::api::SetPrinterDataW},
    {"Open", sim::api::OpenPrinter},
};

class StoreFailureTest : public UiTest, public ::testing::WithParamInterface<StoreFailure> {};

TEST_P(StoreFailureTest, ReportsTheErrorAndTheQueueRunsOnBuiltInDefaults) {
  sim::failNth(GetParam().api, 1, ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_FALSE(InitializeQueue(name()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(sim::openPrinterHandles(), 1u);
  EXPECT_FALSE(sim::hasPrinterData(queueName, u"Private DevMode"));
  DriverSettings expected;
  DefaultSettings(&expected, name());
  expected.SettingsSignature = kSettingsSignature;
  PrinterDevice* device = enable(nullptr);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(bytesOf(device->settings), bytesOf(expected));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
}

INSTANTIATE_TEST_SUITE_P(Cases, StoreFailureTest, ::testing::ValuesIn(kStoreFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DocumentModesTest, ApplicationsLabelAndOrientationAreMergedAndTheDriverAgrees) {
  std::vector<BYTE> dm = documentDevMode();
  DEVMODEW* pub = reinterpret_cast<DEVMODEW*>(dm.data());
  pub->dmFields = DM_PAPERSIZE | DM_ORIENTATION;
  pub->dmPaperSize = 257;
  pub->dmOrientation = DMORIENT_LANDSCAPE;
  std::vector<BYTE> merged = documentDevMode(pub);
  const DriverSettings& s = asSettings(merged);
  EXPECT_EQ(s.Private.LabelIndex, 257);
  EXPECT_EQ(s.Private.Orientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(s.Public.dmPaperSize, 257);
  EXPECT_EQ(s.Public.dmPaperWidth, 550);
  EXPECT_EQ(bytesOf(driverReads(merged)), merged);
}

TEST_F(DocumentModesTest, InPlaceMergeTrustsTheInputsClaimedSize) {
  // Some spoolers pass the output's dmSize (220) as cbOut; the same record
  // as input vouches for its 364 bytes.
  std::vector<BYTE> dm = documentDevMode();
  DEVMODEW* pub = reinterpret_cast<DEVMODEW*>(dm.data());
  pub->dmFields = DM_COPIES;
  pub->dmCopies = 4;
  DOCUMENTPROPERTYHEADER h{};
  h.cbSize = sizeof h;
  h.pszPrinterName = name();
  h.pdmIn = h.pdmOut = pub;
  h.cbOut = pub->dmSize;
  h.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
  EXPECT_EQ(DocumentPropertiesDirect(&h), CPSUI_OK);
  EXPECT_EQ(asSettings(dm).Private.Copies, 4);
}

TEST_F(DocumentModesTest, ShortOutputBufferFailsAndStaysUntouched) {
  std::vector<BYTE> out(kDevModeBytes, 0xCD);
  DOCUMENTPROPERTYHEADER h{};
  h.cbSize = sizeof h;
  h.pszPrinterName = name();
  h.pdmOut = reinterpret_cast<DEVMODEW*>(out.data());
  h.cbOut = kDevModeBytes - 1;
  h.fMode = DM_OUT_BUFFER;
  SetLastError(0xDEADBEEF);
  EXPECT_EQ(DocumentPropertiesDirect(&h), ERR_CPSUI_GETLASTERROR);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(out, std::vector<BYTE>(kDevModeBytes, 0xCD));
}

// Device modes an application may hand in, and what becomes of them.
struct InputCase {
  const char* name;
  DWORD bytes;        // bytes handed in
  WORD driverExtra;   // dmDriverExtra claimed
  bool ours;          // starts from this driver's record
  void (*edit)(DriverSettings&);
  void (*check)(const DriverSettings&);
};

const InputCase kInputs[] = {
    {"ForeignPublicFieldsOnly", 220, 0, false,
     [](DriverSettings& s) {
       s.Public.dmFields = DM_ORIENTATION | DM_COPIES;
       s.Public.dmOrientation = DMORIENT_LANDSCAPE;
       s.Public.dmCopies = 2;
       s.Private.Speed = 3;  // beyond the public part: never read
     },
     [](const DriverSettings& s) {
       EXPECT_EQ(s.Private.Orientation, DMORIENT_LANDSCAPE);
       EXPECT_EQ(s.Private.Copies, 2);
       EXPECT_EQ(s.Private.Speed, kModel.defaultSpeed);
     }},
    {"OlderShorterPrivatePartIsDefaulted", 220 + 100, 100, true,
     [](DriverSettings& s) {
       s.Private.ColorMode = 1;
       s.Public.dmFields = DM_ORIENTATION;
       s.Public.dmOrientation = DMORIENT_LANDSCAPE;
     },
     [](const DriverSettings& s) {
       EXPECT_EQ(s.Private.ColorMode, 0);
       EXPECT_EQ(s.Private.Orientation, DMORIENT_LANDSCAPE);
     }},
    {"OutOfRangePrivateValuesAreDefaulted", 364, 144, true,
     [](DriverSettings& s) {
       s.Public.dmFields = 0;
       s.Private.Copies = 0;
       s.Private.ColorMode = 7;
       s.Private.Speed = 99;
       s.Private.LabelIndex = 999;
       s.Private.CustomWidth = 5000;
       s.Private.DitherPattern = -1;
       s.Private.GraphicsMode = 1;
     },
     [](const DriverSettings& s) {
       EXPECT_EQ(s.Private.Copies, 1);
       EXPECT_EQ(s.Private.ColorMode, 0);
       EXPECT_EQ(s.Private.Speed, kModel.defaultSpeed);
       EXPECT_EQ(s.Private.LabelIndex, 256);
       EXPECT_EQ(s.Private.CustomWidth, kModel.defaultLabelWidth);
       EXPECT_EQ(s.Private.DitherPattern, 1);
       EXPECT_EQ(s.Public.dmPaperSize, 256);
     }},
    {"ValidPrivatePartIsKept", 364, 144, true,
     [](DriverSettings& s) {
       s.Public.dmFields = 0;
       s.Private.ColorMode = 1;
       s.Private.LandscapeRotation = 1;
       s.Private.GraphicsMode = 0;
     },
     [](const DriverSettings& s) {
       EXPECT_EQ(s.Private.ColorMode, 1);
       EXPECT_EQ(s.Private.LandscapeRotation, 1);
       EXPECT_EQ(s.Private.GraphicsMode, 0);
     }},
};

class InputTest : public UiTest, public ::testing::WithParamInterface<InputCase> {};

TEST_P(InputTest, ConvertedOrDefaultedNeverReadPastItsEnd) {
  const InputCase& c = GetParam();
  DriverSettings s;
  DefaultSettings(&s, name());
  s.SettingsSignature = kSettingsSignature;
  if (!c.ours) s.SettingsSignature = 0;
  s.Public.dmDriverExtra = c.driverExtra;
  c.edit(s);
  // Exactly the bytes handed in, so a sanitiser catches any read beyond.
  std::vector<BYTE> in(reinterpret_cast<BYTE*>(&s), reinterpret_cast<BYTE*>(&s) + c.bytes);
  std::vector<BYTE> out = documentDevMode(reinterpret_cast<DEVMODEW*>(in.data()));
  c.check(asSettings(out));
  EXPECT_EQ(asSettings(out).Public.dmDriverExtra, 144);
  EXPECT_EQ(asSettings(out).SettingsSignature, kSettingsSignature);
}

INSTANTIATE_TEST_SUITE_P(Cases, InputTest, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DocumentModesTest, UnreadableInputIsRefused) {
  DEVMODEW tiny{};
  tiny.dmSize = 20;  // not even dmFields
  std::vector<BYTE> out(kDevModeBytes);
  DOCUMENTPROPERTYHEADER h{};
  h.cbSize = sizeof h;
  h.pszPrinterName = name();
  h.pdmIn = &tiny;
  h.pdmOut = reinterpret_cast<DEVMODEW*>(out.data());
  h.cbOut = DWORD(out.size());
  h.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
  SetLastError(0);
  EXPECT_EQ(DocumentPropertiesDirect(&h), ERR_CPSUI_GETLASTERROR);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(DocumentModesTest, ConvertWritesTheDriversLayoutOrAsksForRoom) {
  DEVMODEW foreign{};
  foreign.dmSize = sizeof foreign;
  foreign.dmFields = DM_PAPERSIZE;
  foreign.dmPaperSize = 257;
  std::vector<BYTE> out(kDevModeBytes);
  LONG size = LONG(out.size()) - 1;
  SetLastError(0);
  EXPECT_FALSE(ConvertDevMode(name(), &foreign, reinterpret_cast<DEVMODEW*>(out.data()), &size, CDM_CONVERT));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 364);
  ASSERT_TRUE(ConvertDevMode(name(), &foreign, reinterpret_cast<DEVMODEW*>(out.data()), &size, CDM_CONVERT));
  EXPECT_EQ(asSettings(out).Private.LabelIndex, 257);
  EXPECT_FALSE(ConvertDevMode(name(), &foreign, reinterpret_cast<DEVMODEW*>(out.data()), &size, 0x40));
}

TEST_F(DocumentModesTest, DriverDefaultIsTheBuiltInOneNotTheQueues) {
  sim::setQueueDevMode(queueName, storedDevMode([](DriverSettings& s) {
    s.Private.Copies = 3;
    s.Private.Orientation = DMORIENT_LANDSCAPE;
  }));
  sim::setPrinterData(queueName, u"Private DevMode", REG_BINARY, privateBlock([](PrinterDataBlock&) {}));
  ASSERT_EQ(asSettings(documentDevMode()).Private.Copies, 3);  // the queue's defaults are in use
  std::vector<BYTE> out(kDevModeBytes);
  LONG size = LONG(out.size());
  ASSERT_TRUE(
      ConvertDevMode(name(), nullptr, reinterpret_cast<DEVMODEW*>(out.data()), &size, CDM_DRIVER_DEFAULT));
  EXPECT_EQ(size, 364);
  DriverSettings expected;
  DefaultSettings(&expected, name());
  expected.SettingsSignature = kSettingsSignature;
  EXPECT_EQ(out, bytesOf(expected));
}

// CDM_CONVERT writes the layout the caller's output names: its public size
// and its private size.
struct TargetCase {
  const char* name;
  WORD size;
  WORD driverExtra;
  DWORD mode;
  WORD expectedSize;
  WORD expectedExtra;
};

const TargetCase kTargets[] = {
    {"Current", 220, 144, CDM_CONVERT, 220, 144},
    {"OlderPublicPart", 188, 144, CDM_CONVERT, 188, 144},
    {"PublicOnly", 220, 0, CDM_CONVERT, 220, 0},
    {"ShorterPrivatePart", 220, 100, CDM_CONVERT, 220, 100},
    {"LongerPrivatePart", 220, 160, CDM_CONVERT, 220, 160},
    // No Windows NT 3.51 layout: the current one, whatever the output held.
    {"NT351IsTheCurrentLayout", 188, 0, CDM_CONVERT351, 220, 144},
};

class TargetTest : public UiTest, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(TargetTest, ConvertsToTheLayoutTheOutputNames) {
  const TargetCase& c = GetParam();
  DEVMODEW foreign{};
  foreign.dmSize = sizeof foreign;
  foreign.dmFields = DM_PAPERSIZE | DM_COPIES;
  foreign.dmPaperSize = 257;
  foreign.dmCopies = 6;
  const size_t bytes = size_t(c.expectedSize) + c.expectedExtra;
  // A guard region after the bytes the target layout holds.
  std::vector<BYTE> out(bytes + 64, 0xEE);
  auto* target = reinterpret_cast<DEVMODEW*>(out.data());
  target->dmSize = c.size;
  target->dmDriverExtra = c.driverExtra;
  target->dmSpecVersion = 0x0400;
  LONG size = LONG(bytes) - 1;
  SetLastError(0);
  EXPECT_FALSE(ConvertDevMode(name(), &foreign, target, &size, c.mode));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, LONG(bytes));
  ASSERT_TRUE(ConvertDevMode(name(), &foreign, target, &size, c.mode));
  EXPECT_EQ(size, LONG(bytes));
  EXPECT_EQ(std::vector<BYTE>(out.begin() + bytes, out.end()), std::vector<BYTE>(64, 0xEE));
  EXPECT_EQ(target->dmSize, c.expectedSize);
  EXPECT_EQ(target->dmDriverExtra, c.expectedExtra);
  EXPECT_EQ(target->dmSpecVersion, c.mode == CDM_CONVERT ? 0x0400 : 0x0401);
  EXPECT_EQ(target->dmPaperSize, 257);
  EXPECT_EQ(target->dmCopies, 6);
  // The fields a shorter public part cannot hold are not claimed.
  EXPECT_EQ((target->dmFields & DM_MEDIATYPE) != 0, c.expectedSize == 220);
  // The private part follows the public part the target names.
  std::vector<BYTE> current = documentDevMode(&foreign);
  const size_t privateBytes = c.expectedExtra < 144 ? c.expectedExtra : 144;
  EXPECT_EQ(std::vector<BYTE>(out.begin() + c.expectedSize, out.begin() + c.expectedSize + privateBytes),
            std::vector<BYTE>(current.begin() + 220, current.begin() + 220 + privateBytes));
  EXPECT_EQ(std::vector<BYTE>(out.begin() + c.expectedSize + privateBytes, out.begin() + bytes),
            std::vector<BYTE>(bytes - c.expectedSize - privateBytes, 0));
}

INSTANTIATE_TEST_SUITE_P(Cases, TargetTest, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DocumentModesTest, QueryPrintRefusesALabelTheQueueDoesNotKnow) {
  std::vector<BYTE> dm = documentDevMode();
  DEVQUERYPRINT_INFO info{};
  info.cbSize = sizeof info;
  info.Level = 1;
  info.hPrinter = printer;
  info.pDevMode = reinterpret_cast<DEVMODEW*>(dm.data());
  WCHAR reason[80];
  info.pszErrorStr = reason;
  info.cchErrorStr = 80;
  EXPECT_TRUE(QueryPrint(&info));
  reinterpret_cast<DriverSettings*>(dm.data())->Private.LabelIndex = 305;  // an undefined slot
  EXPECT_FALSE(QueryPrint(&info));
  EXPECT_GT(info.cchNeeded, 1u);
  EXPECT_EQ(lstrlenW(reason) + 1, int(info.cchNeeded));
  info.pDevMode = nullptr;
  EXPECT_TRUE(QueryPrint(&info));
}

}  // namespace
