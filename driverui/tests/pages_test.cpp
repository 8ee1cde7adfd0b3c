// The property pages' logic through a fake view: what each page shows,
// what it enables, what it refuses and what it stores.
#include "ui_fixture.h"

#include <map>
#include <string>

#include "pages.h"
#include "resource.h"
#include "setting_limits.h"

using namespace driver;

namespace {

// Controls as plain state; refusals are recorded.
class FakeView : public PageView {
 public:
  struct Control {
    std::vector<Choice> choices;
    int selected = -1;
    std::u16string text;
    bool checked = false;
    bool enabled = true;
  };
  struct Refusal {
    int control;
    UINT message;
    LONG min, max;
  };

  void setChoices(int control, const Choice* choices, int count) override {
    controls[control].choices.assign(choices, choices + count);
  }
  void select(int control, int position) override { controls[control].selected = position; }
  int selected(int control) const override { return at(control).selected; }
  void setNumber(int control, LONG value) override {
    controls[control].text = std::u16string(u"") + toText(value);
  }
  bool number(int control, LONG* value) const override {
    const std::u16string& t = at(control).text;
    if (t.empty()) return false;
    long v = 0;
    size_t i = t[0] == u'-' ? 1 : 0;
    if (i == t.size()) return false;
    for (; i < t.size(); ++i) {
      if (t[i] < u'0' || t[i] > u'9') return false;
      v = v * 10 + (t[i] - u'0');
    }
    *value = LONG(t[0] == u'-' ? -v : v);
    return true;
  }
  void setChecked(int control, bool on) override { controls[control].checked = on; }
  bool checked(int control) const override { return at(control).checked; }
  void setText(int control, const WCHAR* text) override { controls[control].text = text16(text); }
  void text(int control, WCHAR* buffer, int chars) const override {
    lstrcpynW(buffer, reinterpret_cast<const WCHAR*>(at(control).text.c_str()), chars);
  }
  void enable(int control, bool on) override { controls[control].enabled = on; }
  void refuse(int control, UINT message, LONG min, LONG max) override {
    refusals.push_back({control, message, min, max});
  }

  // Test helpers.
  void type(int control, const std::u16string& text) { controls[control].text = text; }
  LONG value(int control) const {
    LONG v = 0;
    EXPECT_TRUE(number(control, &v)) << control;
    return v;
  }
  // Selects the entry with `value`; false when there is none.
  bool choose(int control, LONG value) {
    auto& c = controls[control];
    for (size_t i = 0; i < c.choices.size(); ++i)
      if (c.choices[i].value == value) {
        c.selected = int(i);
        return true;
      }
    return false;
  }
  LONG chosen(int control) const {
    const Control& c = at(control);
    return c.selected >= 0 ? c.choices[c.selected].value : -1;
  }

  std::map<int, Control> controls;
  std::vector<Refusal> refusals;

 private:
  const Control& at(int control) const {
    static const Control none;
    auto it = controls.find(control);
    return it == controls.end() ? none : it->second;
  }
  static std::u16string toText(LONG v) {
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
  }
};

class PreferencesTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    DefaultSettings(&settings, name());
    settings.SettingsSignature = kSettingsSignature;
  }
  DriverSettings settings;
  FakeView view;
};

TEST_F(PreferencesTest, ShowsTheSettings) {
  settings.Private.Copies = 7;
  settings.Private.Orientation = DMORIENT_LANDSCAPE;
  PreferencesPage page(view, settings, false);
  page.show();
  EXPECT_EQ(view.chosen(IDC_LABEL), 256);
  EXPECT_EQ(view.value(IDC_COPIES), 7);
  EXPECT_EQ(view.chosen(IDC_ORIENTATION), DMORIENT_LANDSCAPE);
  EXPECT_EQ(view.controls[IDC_SPEED].choices.size(), size_t(kSpeedCount));
  EXPECT_TRUE(view.controls[IDC_CUSTOM_WIDTH].enabled);
  EXPECT_TRUE(view.controls[IDC_ROTATION].enabled);
  EXPECT_EQ(view.controls[IDC_OFFSET_X].enabled, kModel.sendsOffsets);
  // The label file's values are the device settings' business.
  for (int control : {IDC_DENSITY, IDC_PRINT_MODE, IDC_STOP_POSITION, IDC_GAP})
    EXPECT_EQ(view.controls.count(control), 0u) << control;

  ASSERT_TRUE(view.choose(IDC_LABEL, 257));
  page.changed(IDC_LABEL);
  EXPECT_FALSE(view.controls[IDC_CUSTOM_WIDTH].enabled);
  ASSERT_TRUE(view.choose(IDC_ORIENTATION, DMORIENT_PORTRAIT));
  page.changed(IDC_ORIENTATION);
  EXPECT_FALSE(view.controls[IDC_ROTATION].enabled);
}

// A standard user's process: nothing the page keeps needs the Windows
// directory.
TEST_F(PreferencesTest, ApplyTakesEveryControlIntoTheDeviceModeAndLeavesTheLabelFile) {
  PreferencesPage page(view, settings, false);
  page.show();
  const std::string fileBefore = sim::readFileBytes(labelFile());
  ASSERT_FALSE(fileBefore.empty());
  sim::setWindowsDirectoryReadOnly(true);
  ASSERT_TRUE(view.choose(IDC_LABEL, 257));
  page.changed(IDC_LABEL);
  view.type(IDC_COPIES, u"12");
  ASSERT_TRUE(view.choose(IDC_COLOR_MODE, 1));
  ASSERT_TRUE(view.choose(IDC_DITHER, 3));
  ASSERT_TRUE(view.choose(IDC_SPEED, 2));
  ASSERT_TRUE(view.choose(IDC_ORIENTATION, DMORIENT_LANDSCAPE));
  view.setChecked(IDC_ROTATION, true);
  ASSERT_TRUE(page.apply());
  EXPECT_TRUE(view.refusals.empty());
  EXPECT_EQ(settings.Private.LabelIndex, 257);
  EXPECT_EQ(settings.Private.Copies, 12);
  EXPECT_EQ(settings.Private.ColorMode, 1);
  EXPECT_EQ(settings.Private.DitherPattern, 3);
  EXPECT_EQ(settings.Private.Speed, 2);
  EXPECT_EQ(settings.Private.LandscapeRotation, 1);
  EXPECT_EQ(settings.Public.dmPaperSize, 257);
  EXPECT_EQ(settings.Public.dmCopies, 12);
  EXPECT_EQ(sim::readFileBytes(labelFile()), fileBefore);
}

// What each list of the pages offers: only real choices, each named (a
// string resource or a text), none twice.
struct ListCase {
  bool devicePage;
  int control;
  size_t count;
};

const ListCase kLists[] = {
    {false, IDC_LABEL, 2},
    {false, IDC_ORIENTATION, 2},
    {false, IDC_SPEED, size_t(kSpeedCount)},
    {false, IDC_COLOR_MODE, 2},
    {false, IDC_DITHER, 4},
    {false, IDC_GRAPHICS_MODE, 2},
    {true, IDC_FEATURE_NUP, 2},
    {true, IDC_DEF_LABEL, 2},
    {true, IDC_PRINT_MODE, 4},
};

class ListTest : public PreferencesTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListTest, OnlyNamedChoices) {
  const ListCase& c = GetParam();
  PrinterDataBlock block = settings.PrinterData;
  PreferencesPage preferences(view, settings, false);
  DeviceSettingsPage device(view, openQueue(PRINTER_ALL_ACCESS), block, false);
  if (c.devicePage) {
    device.show();
  } else {
    preferences.show();
  }
  const std::vector<Choice>& choices = view.controls[c.control].choices;
  ASSERT_EQ(choices.size(), c.count);
  for (size_t i = 0; i < choices.size(); ++i) {
    EXPECT_TRUE(choices[i].textId != 0 || (choices[i].text && choices[i].text[0])) << i;
    for (size_t j = 0; j < i; ++j) EXPECT_NE(choices[i].value, choices[j].value) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ListTest, ::testing::ValuesIn(kLists));

struct RefusedCase {
  int control;
  const char16_t* typed;
  UINT message;
  LONG min, max;
};

const RefusedCase kRefused[] = {
    {IDC_COPIES, u"0", IDS_OUT_OF_RANGE, 1, 9999},
    {IDC_COPIES, u"10000", IDS_OUT_OF_RANGE, 1, 9999},
    {IDC_COPIES, u"x", IDS_NOT_A_NUMBER, 1, 9999},
    {IDC_CUSTOM_WIDTH, u"99", IDS_OUT_OF_RANGE, 100, kModel.jobWidthLimit},
    {IDC_CUSTOM_HEIGHT, u"4001", IDS_OUT_OF_RANGE, 100, 4000},
};

class RefusedTest : public PreferencesTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedTest, OutOfRangeValueIsRefusedAndNothingIsTaken) {
  const RefusedCase& c = GetParam();
  const DriverSettings before = settings;
  const std::string fileBefore = sim::readFileBytes(labelFile());
  PreferencesPage page(view, settings, false);
  page.show();
  view.type(IDC_COPIES, u"5");
  view.type(c.control, c.typed);
  EXPECT_FALSE(page.apply());
  ASSERT_EQ(view.refusals.size(), 1u);
  EXPECT_EQ(view.refusals[0].control, c.control);
  EXPECT_EQ(view.refusals[0].message, c.message);
  EXPECT_EQ(view.refusals[0].min, c.min);
  EXPECT_EQ(view.refusals[0].max, c.max);
  EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedTest, ::testing::ValuesIn(kRefused));

TEST_F(PreferencesTest, WithoutPermissionNothingIsEnabledOrTaken) {
  const DriverSettings before = settings;
  PreferencesPage page(view, settings, true);
  page.show();
  for (int control : {IDC_LABEL, IDC_COPIES, IDC_SPEED, IDC_CUSTOM_WIDTH, IDC_COLOR_MODE})
    EXPECT_FALSE(view.controls[control].enabled) << control;
  view.type(IDC_COPIES, u"3");
  EXPECT_TRUE(page.apply());
  EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);
}

class DeviceSettingsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    DriverSettings s;
    DefaultSettings(&s, name());
    block = s.PrinterData;
    admin = openQueue(PRINTER_ALL_ACCESS);
  }
  PrinterDataBlock block;
  HANDLE admin = nullptr;
  FakeView view;
};

TEST_F(DeviceSettingsTest, ApplyStoresTheFeaturesAsPrivateDevMode) {
  block.FeatureSelection[kFeaturePageOrder] = 1;
  DeviceSettingsPage page(view, admin, block, false);
  page.show();
  EXPECT_EQ(view.selected(IDC_FEATURE_ORDER), 1);
  view.select(IDC_FEATURE_NUP, 1);
  ASSERT_TRUE(page.apply());
  std::vector<BYTE> stored = sim::printerData(queueName, u"Private DevMode");
  ASSERT_EQ(stored.size(), 152u);
  const auto* b = reinterpret_cast<const PrinterDataBlock*>(stored.data());
  EXPECT_EQ(b->FeatureSelection[kFeatureNup], 1);
  EXPECT_EQ(b->FeatureSelection[kFeaturePageOrder], 1);
  EXPECT_EQ(b->HalftonePatternSize, 7);
  // The driver's devices take the stored block.
  sim::setQueueDevMode(queueName, storedDevMode([](DriverSettings&) {}));
  PrinterDevice* device = enable(nullptr);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->settings.PrinterData.FeatureSelection[kFeatureNup], 1);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));

  sim::failNth(sim::api::SetPrinterDataW, 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(page.apply());
  EXPECT_EQ(view.refusals.back().message, UINT(IDS_SAVE_FAILED));
}

TEST_F(DeviceSettingsTest, TheLabelDefinitionIsEditedHere) {
  DeviceSettingsPage page(view, admin, block, false);
  page.show();
  EXPECT_EQ(view.chosen(IDC_DEF_LABEL), 256);
  EXPECT_EQ(view.value(IDC_STOP_POSITION), kModel.builtinLabels[0].StopPosition);
  ASSERT_TRUE(view.choose(IDC_DEF_LABEL, 257));
  page.changed(IDC_DEF_LABEL);
  EXPECT_EQ(view.value(IDC_STOP_POSITION), kModel.builtinLabels[1].StopPosition);
  view.type(IDC_DENSITY, u"11");
  view.type(IDC_GAP, u"30");
  ASSERT_TRUE(view.choose(IDC_PRINT_MODE, 3));
  ASSERT_TRUE(DeviceSettingsPage::isCommand(IDC_DEF_SAVE));
  page.command(IDC_DEF_SAVE);
  EXPECT_TRUE(view.refusals.empty());
  LabelDefinition def;
  ASSERT_TRUE(ReadLabelDefinition(257, &def));
  EXPECT_EQ(def.Density, 11);
  EXPECT_EQ(def.LabelGap, 30);
  EXPECT_EQ(def.PrintMode, 3);
  EXPECT_EQ(def.StopPosition, kModel.builtinLabels[1].StopPosition);
}

struct DefinitionRefusal {
  int control;
  const char16_t* typed;
  LONG min, max;
};

const DefinitionRefusal kDefinitionRefusals[] = {
    {IDC_DENSITY, u"17", 1, 16},
    {IDC_DENSITY, u"0", 1, 16},
    {IDC_GAP, u"81", 0, 80},
    {IDC_STOP_POSITION, u"-1", 0, kModel.stopPositionMax},
};

class DefinitionRefusalTest : public DeviceSettingsTest, public ::testing::WithParamInterface<DefinitionRefusal> {};

TEST_P(DefinitionRefusalTest, OutOfRangeIsRefusedAndNotWritten) {
  const DefinitionRefusal& c = GetParam();
  DeviceSettingsPage page(view, admin, block, false);
  page.show();
  const std::string fileBefore = sim::readFileBytes(labelFile());
  view.type(c.control, c.typed);
  page.command(IDC_DEF_SAVE);
  ASSERT_EQ(view.refusals.size(), 1u);
  EXPECT_EQ(view.refusals[0].control, c.control);
  EXPECT_EQ(view.refusals[0].message, UINT(IDS_OUT_OF_RANGE));
  EXPECT_EQ(view.refusals[0].min, c.min);
  EXPECT_EQ(view.refusals[0].max, c.max);
  EXPECT_EQ(sim::readFileBytes(labelFile()), fileBefore);
}

INSTANTIATE_TEST_SUITE_P(Cases, DefinitionRefusalTest, ::testing::ValuesIn(kDefinitionRefusals));

// A write the label file refuses (a standard user's process, or a failing
// profile write) is told with its own message, and the page shows what the
// file holds; nothing says it was saved.
struct RefusedWrite {
  const char* name;
  int button;
  bool readOnlyDirectory;  // else the fifth profile write fails
};

const RefusedWrite kRefusedWrites[] = {
    {"DefinitionByAStandardUser", IDC_DEF_SAVE, true},
    {"DefinitionWriteFails", IDC_DEF_SAVE, false},
    {"UserLabelByAStandardUser", IDC_SLOT_SAVE, true},
    {"UserLabelWriteFails", IDC_SLOT_SAVE, false},
    {"UserLabelDeleteByAStandardUser", IDC_SLOT_DELETE, true},
};

class RefusedWriteTest : public DeviceSettingsTest, public ::testing::WithParamInterface<RefusedWrite> {};

TEST_P(RefusedWriteTest, IsToldAndThePageShowsTheFile) {
  const RefusedWrite& c = GetParam();
  if (c.button != IDC_DEF_SAVE && !kIsModelA) GTEST_SKIP() << "model B has no user labels";
  if (c.button == IDC_SLOT_DELETE) {
    writeLabelFile("[302]\nLabelName=Kept\nLabelWidth=600\nLabelHeight=400\n");
  }
  DeviceSettingsPage page(view, admin, block, false);
  page.show();
  if (c.button == IDC_DEF_SAVE) {
    view.type(IDC_DENSITY, u"12");
  } else {
    ASSERT_TRUE(view.choose(IDC_SLOT, 302));
    page.changed(IDC_SLOT);
    view.type(IDC_SLOT_NAME, u"Box");
    view.type(IDC_SLOT_WIDTH, u"600");
    view.type(IDC_SLOT_HEIGHT, u"400");
  }
  const std::string fileBefore = sim::readFileBytes(labelFile());
  if (c.readOnlyDirectory) {
    sim::setWindowsDirectoryReadOnly(true);
  } else {
    sim::failNth(sim::api::WritePrivateProfileStringW, 5, ERROR_ACCESS_DENIED);
  }
  page.command(c.button);
  ASSERT_EQ(view.refusals.size(), 1u);
  EXPECT_EQ(view.refusals[0].message, UINT(IDS_LABEL_SAVE_FAILED));
  if (c.readOnlyDirectory) {
    EXPECT_EQ(sim::readFileBytes(labelFile()), fileBefore);
  }
  LabelDefinition def;
  if (c.button == IDC_DEF_SAVE) {
    ASSERT_TRUE(ReadLabelDefinition(256, &def));
    EXPECT_EQ(view.value(IDC_DENSITY), def.Density);
    EXPECT_NE(def.Density, 12);
  } else if (c.button == IDC_SLOT_DELETE) {
    EXPECT_TRUE(ReadLabelDefinition(302, &def));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedWriteTest, ::testing::ValuesIn(kRefusedWrites),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceSettingsTest, UserLabelsAreEditedOnModelAOnly) {
  DeviceSettingsPage page(view, admin, block, false);
  page.show();
  EXPECT_EQ(view.controls[IDC_SLOT_SAVE].enabled, kIsModelA);
  if (!kIsModelA) {
    EXPECT_TRUE(view.controls[IDC_SLOT].choices.empty());
    return;
  }
  ASSERT_EQ(view.controls[IDC_SLOT].choices.size(), 20u);
  ASSERT_TRUE(view.choose(IDC_SLOT, 302));
  page.changed(IDC_SLOT);
  view.type(IDC_SLOT_NAME, u"Box 60x40");
  view.type(IDC_SLOT_WIDTH, u"600");
  view.type(IDC_SLOT_HEIGHT, u"400");
  page.command(IDC_SLOT_SAVE);
  EXPECT_TRUE(view.refusals.empty());
  LabelDefinition def;
  ASSERT_TRUE(ReadLabelDefinition(302, &def));
  EXPECT_EQ(text16(def.LabelName), u"Box 60x40");
  EXPECT_EQ(def.LabelWidth, 600);
  EXPECT_EQ(text16(reinterpret_cast<const WCHAR*>(view.controls[IDC_SLOT].choices[1].text)), u"302 Box 60x40");
  // Written in the file's key order.
  std::string file = sim::readFileBytes(labelFile());
  std::string ascii;
  for (size_t i = 0; i + 1 < file.size(); i += 2)
    if (file[i + 1] == 0) ascii += file[i];
  const char* keys[] = {"LabelIndex", "LabelName", "LabelWidth", "LabelHeight", "LabelGap", "PrintMode",
                        "StopPosition", "Density", "OffsetTearOff", "OffsetPeerOff", "OffsetCutter",
                        "CutInterval", "LabelType", "AutoMargin", "LeftMargin", "RightMargin", "TopMargin",
                        "BottomMargin"};
  size_t from = ascii.find("[302]");
  ASSERT_NE(from, std::string::npos);
  for (const char* key : keys) {
    size_t at = ascii.find(std::string(key) + "=", from);
    ASSERT_NE(at, std::string::npos) << key;
    from = at;
  }
  BuildLabelList();
  EXPECT_GE(FindLabel(302), 0);

  page.command(IDC_SLOT_DELETE);
  EXPECT_FALSE(ReadLabelDefinition(302, &def));
}

struct SlotRefusal {
  const char* name;
  const char16_t* labelName;
  const char16_t* width;
  const char16_t* left;
  int control;
  UINT message;
};

const SlotRefusal kSlotRefusals[] = {
    {"EmptyName", u"", u"600", u"0", IDC_SLOT_NAME, IDS_NAME_MISSING},
    {"NameLongerThanItsSlot", u"0123456789012345678901234567890123", u"600", u"0", IDC_SLOT_NAME, IDS_NAME_MISSING},
    {"TooWide", u"Wide", u"1181", u"0", IDC_SLOT_WIDTH, IDS_OUT_OF_RANGE},
    {"MarginsNotCentredOnAWideLabel", u"Wide", u"1100", u"0", IDC_SLOT_LEFT, IDS_MARGINS_INVALID},
    {"NotANumber", u"Label", u"6x", u"0", IDC_SLOT_WIDTH, IDS_NOT_A_NUMBER},
};

class SlotRefusalTest : public DeviceSettingsTest, public ::testing::WithParamInterface<SlotRefusal> {};

TEST_P(SlotRefusalTest, RefusedAndNotWritten) {
  if (!kIsModelA) GTEST_SKIP() << "model B has no user labels";
  const SlotRefusal& c = GetParam();
  DeviceSettingsPage page(view, admin, block, false);
  page.show();
  ASSERT_TRUE(view.choose(IDC_SLOT, 310));
  page.changed(IDC_SLOT);
  view.type(IDC_SLOT_NAME, c.labelName);
  view.type(IDC_SLOT_WIDTH, c.width);
  view.type(IDC_SLOT_LEFT, c.left);
  page.command(IDC_SLOT_SAVE);
  ASSERT_EQ(view.refusals.size(), 1u);
  EXPECT_EQ(view.refusals[0].control, c.control);
  EXPECT_EQ(view.refusals[0].message, c.message);
  LabelDefinition def;
  EXPECT_FALSE(ReadLabelDefinition(310, &def));
}

INSTANTIATE_TEST_SUITE_P(Cases, SlotRefusalTest, ::testing::ValuesIn(kSlotRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
