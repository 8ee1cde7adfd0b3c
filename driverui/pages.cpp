// Property-page logic: which control shows which setting, in which range.
#include "pages.h"

#include <winspool.h>

#include <initializer_list>
#include <wtext.h>

#include "model_profile.h"
#include "resource.h"
#include "setting_limits.h"
#include "text.h"
#include "user_labels.h"

namespace driver {

namespace {

// A number control and where its value lives: a private setting of the
// document (preferences) or a field of a label definition (device
// settings).
template <class Record>
struct NumberField {
  int control;
  LONG Record::* field;
  LONG min;
  LONG max;
};

// Printing preferences edit only what travels with the document: the
// device mode's private settings.
const NumberField<PrivateSettings> kPreferenceNumbers[] = {
    {IDC_CUSTOM_WIDTH, &PrivateSettings::CustomWidth, kMinLabelExtent, kMaxLabelWidth},
    {IDC_CUSTOM_HEIGHT, &PrivateSettings::CustomHeight, kMinLabelExtent, kMaxLabelLength},
    {IDC_COPIES, &PrivateSettings::Copies, 1, kMaxCopies},
    {IDC_OFFSET_X, &PrivateSettings::OffsetX, 0, kMaxOffsetX},
    {IDC_OFFSET_Y, &PrivateSettings::OffsetY, 0, kMaxOffsetY},
};

// The label definition's values, edited on the device-settings page: the
// label file is per computer and only an administrator may write it.
const NumberField<LabelDefinition> kDefinitionNumbers[] = {
    {IDC_DENSITY, &LabelDefinition::Density, 1, kMaxDensity},
    {IDC_STOP_POSITION, &LabelDefinition::StopPosition, 0, kModel.stopPositionMax},
    {IDC_GAP, &LabelDefinition::LabelGap, 0, kMaxGap},
};

const Choice kOrientations[] = {{DMORIENT_PORTRAIT, IDS_PORTRAIT, nullptr}, {DMORIENT_LANDSCAPE, IDS_LANDSCAPE, nullptr}};
const Choice kColorModes[] = {{0, IDS_ONE_BIT, nullptr}, {1, IDS_GREY, nullptr}};
const Choice kGraphicsModes[] = {{0, IDS_HEX_ROWS, nullptr}, {1, IDS_BINARY_ROWS, nullptr}};
const Choice kPatterns[] = {{0, IDS_PATTERN_0, nullptr},
                            {1, IDS_PATTERN_0 + 1, nullptr},
                            {2, IDS_PATTERN_0 + 2, nullptr},
                            {3, IDS_PATTERN_0 + 3, nullptr}};
static_assert(sizeof kPatterns / sizeof kPatterns[0] == kThresholdPatternCount, "one choice per pattern");
const Choice kPrintModes[] = {{1, IDS_PRINT_MODE_1, nullptr},
                              {2, IDS_PRINT_MODE_2, nullptr},
                              {3, IDS_PRINT_MODE_3, nullptr},
                              {4, IDS_PRINT_MODE_4, nullptr}};
static_assert(sizeof kPrintModes / sizeof kPrintModes[0] == kPrintModeCount, "one choice per print mode");

// The speeds the model names, in code order.
struct SpeedChoices {
  Choice entries[4];
  constexpr SpeedChoices() : entries{} {
    for (int i = 0; i < kSpeedCount; ++i) entries[i] = {i + 1, 0, kModel.speedNames[i]};
  }
};
constexpr SpeedChoices kSpeeds{};

struct ChoiceField {
  int control;
  LONG PrivateSettings::* setting;
  const Choice* choices;
  int count;
};

const ChoiceField kPreferenceChoices[] = {
    {IDC_ORIENTATION, &PrivateSettings::Orientation, kOrientations, 2},
    {IDC_SPEED, &PrivateSettings::Speed, kSpeeds.entries, kSpeedCount},
    {IDC_COLOR_MODE, &PrivateSettings::ColorMode, kColorModes, 2},
    {IDC_DITHER, &PrivateSettings::DitherPattern, kPatterns, kThresholdPatternCount},
    {IDC_GRAPHICS_MODE, &PrivateSettings::GraphicsMode, kGraphicsModes, 2},
};

int positionOf(const Choice* choices, int count, LONG value) {
  for (int i = 0; i < count; ++i)
    if (choices[i].value == value) return i;
  return -1;
}

// Reads a number control and checks its range; tells the view when not.
bool readNumber(PageView& view, int control, LONG min, LONG max, LONG* value) {
  if (!view.number(control, value)) {
    view.refuse(control, IDS_NOT_A_NUMBER, min, max);
    return false;
  }
  if (*value < min || *value > max) {
    view.refuse(control, IDS_OUT_OF_RANGE, min, max);
    return false;
  }
  return true;
}

// Fills the label list and a choice per label (names from the list).
int showLabels(PageView& view, int control, LabelListEntry* labels, Choice* choices, LONG selectedIndex) {
  BuildLabelList();
  const int count = copyLabelList(labels);
  for (int i = 0; i < count; ++i) choices[i] = {labels[i].index, 0, labels[i].name};
  view.setChoices(control, choices, count);
  view.select(control, positionOf(choices, count, selectedIndex));
  return count;
}

// The four features of "Private DevMode": option 0 leaves the work to the
// driver, option 1 to the print processor.
const int kFeatureControls[kFeatureCount] = {IDC_FEATURE_NUP, IDC_FEATURE_ORDER, IDC_FEATURE_COLLATE,
                                             IDC_FEATURE_COPIES};
const Choice kFeatureOptions[] = {{0, IDS_BY_DRIVER, nullptr}, {1, IDS_BY_PROCESSOR, nullptr}};

struct SlotField {
  int control;
  LONG LabelDefinition::* field;
};
const SlotField kSlotNumbers[] = {
    {IDC_SLOT_WIDTH, &LabelDefinition::LabelWidth}, {IDC_SLOT_HEIGHT, &LabelDefinition::LabelHeight},
    {IDC_SLOT_GAP, &LabelDefinition::LabelGap},     {IDC_SLOT_LEFT, &LabelDefinition::LeftMargin},
    {IDC_SLOT_RIGHT, &LabelDefinition::RightMargin}, {IDC_SLOT_TOP, &LabelDefinition::TopMargin},
    {IDC_SLOT_BOTTOM, &LabelDefinition::BottomMargin},
};
const int kSlotControls[] = {IDC_SLOT,      IDC_SLOT_NAME,  IDC_SLOT_WIDTH, IDC_SLOT_HEIGHT, IDC_SLOT_GAP,
                             IDC_SLOT_LEFT, IDC_SLOT_RIGHT, IDC_SLOT_TOP,   IDC_SLOT_BOTTOM, IDC_SLOT_SAVE,
                             IDC_SLOT_DELETE};

}  // namespace

// ---- printing preferences --------------------------------------------------

PreferencesPage::PreferencesPage(PageView& view, DriverSettings& settings, bool readOnly)
    : view_(view), settings_(settings), readOnly_(readOnly) {
  ZeroMemory(labels_, sizeof labels_);
}

LONG PreferencesPage::selectedLabel() const {
  int at = view_.selected(IDC_LABEL);
  return at >= 0 && at < labelCount_ ? labels_[at].index : settings_.Private.LabelIndex;
}

void PreferencesPage::show() {
  labelCount_ = showLabels(view_, IDC_LABEL, labels_, labelChoices_, settings_.Private.LabelIndex);
  const PrivateSettings& p = settings_.Private;
  for (const ChoiceField& f : kPreferenceChoices) {
    view_.setChoices(f.control, f.choices, f.count);
    view_.select(f.control, positionOf(f.choices, f.count, p.*(f.setting)));
  }
  for (const auto& f : kPreferenceNumbers) view_.setNumber(f.control, p.*(f.field));
  view_.setChecked(IDC_ROTATION, p.LandscapeRotation != 0);
  updateEnabled();
}

void PreferencesPage::updateEnabled() {
  const bool edit = !readOnly_;
  for (const ChoiceField& f : kPreferenceChoices) view_.enable(f.control, edit);
  for (const auto& f : kPreferenceNumbers) view_.enable(f.control, edit);
  view_.enable(IDC_LABEL, edit);
  const bool custom = selectedLabel() == kCustomLabelIndex;
  view_.enable(IDC_CUSTOM_WIDTH, edit && custom);
  view_.enable(IDC_CUSTOM_HEIGHT, edit && custom);
  const int orientation = view_.selected(IDC_ORIENTATION);
  view_.enable(IDC_ROTATION, edit && orientation >= 0 && kOrientations[orientation].value == DMORIENT_LANDSCAPE);
  // The job carries the offsets on model A only.
  view_.enable(IDC_OFFSET_X, edit && kModel.sendsOffsets);
  view_.enable(IDC_OFFSET_Y, edit && kModel.sendsOffsets);
}

void PreferencesPage::changed(int) { updateEnabled(); }

bool PreferencesPage::apply() {
  if (readOnly_) return true;
  DriverSettings next = settings_;
  const LONG label = selectedLabel();
  PrivateSettings& p = next.Private;
  p.LabelIndex = label;
  for (const auto& f : kPreferenceNumbers) {
    // Disabled fields keep their values: the custom size of another label,
    // the offsets of a model that does not send them.
    if ((f.control == IDC_CUSTOM_WIDTH || f.control == IDC_CUSTOM_HEIGHT) && label != kCustomLabelIndex) continue;
    if ((f.control == IDC_OFFSET_X || f.control == IDC_OFFSET_Y) && !kModel.sendsOffsets) continue;
    if (!readNumber(view_, f.control, f.min, f.max, &(p.*(f.field)))) return false;
  }
  for (const ChoiceField& f : kPreferenceChoices) {
    const int at = view_.selected(f.control);
    if (at >= 0 && at < f.count) p.*(f.setting) = f.choices[at].value;
  }
  p.LandscapeRotation = view_.checked(IDC_ROTATION) ? 1 : 0;
  WCHAR deviceName[CCHDEVICENAME + 1];
  lstrcpynW(deviceName, next.Public.dmDeviceName, CCHDEVICENAME + 1);
  BuildPublicFields(&next, deviceName);
  settings_ = next;
  return true;
}

// ---- device settings ---------------------------------------------------------

DeviceSettingsPage::DeviceSettingsPage(PageView& view, HANDLE printer, PrinterDataBlock& block, bool readOnly)
    : view_(view), printer_(printer), block_(block), readOnly_(readOnly) {
  ZeroMemory(slotTexts_, sizeof slotTexts_);
  ZeroMemory(slotChoices_, sizeof slotChoices_);
  ZeroMemory(labels_, sizeof labels_);
}

bool DeviceSettingsPage::isCommand(int control) {
  return control == IDC_SLOT_SAVE || control == IDC_SLOT_DELETE || control == IDC_DEF_SAVE;
}

void DeviceSettingsPage::showDefinition() {
  const int at = view_.selected(IDC_DEF_LABEL);
  if (at < 0 || at >= labelCount_) return;
  LabelDefinition def;
  if (!ReadLabelDefinition(labels_[at].index, &def)) DefaultLabelDefinition(labels_[at].index, &def);
  view_.select(IDC_PRINT_MODE, positionOf(kPrintModes, kPrintModeCount, def.PrintMode));
  for (const auto& f : kDefinitionNumbers) view_.setNumber(f.control, def.*(f.field));
}

void DeviceSettingsPage::saveDefinition() {
  const int at = view_.selected(IDC_DEF_LABEL);
  if (at < 0 || at >= labelCount_) return;
  LabelDefinition def;
  // Only a label the file defines is listed; one gone meanwhile is not
  // written back.
  if (!ReadLabelDefinition(labels_[at].index, &def)) {
    view_.refuse(IDC_DEF_LABEL, IDS_LABEL_SAVE_FAILED, 0, 0);
    return;
  }
  for (const auto& f : kDefinitionNumbers)
    if (!readNumber(view_, f.control, f.min, f.max, &(def.*(f.field)))) return;
  const int mode = view_.selected(IDC_PRINT_MODE);
  if (mode >= 0 && mode < kPrintModeCount) def.PrintMode = kPrintModes[mode].value;
  if (!WriteLabelDefinition(def)) {
    view_.refuse(IDC_DEF_LABEL, IDS_LABEL_SAVE_FAILED, 0, 0);
    showDefinition();
    return;
  }
  showDefinition();
}

LONG DeviceSettingsPage::selectedSlot() const {
  int at = view_.selected(IDC_SLOT);
  return at >= 0 && at < kModel.userSlotCount ? kModel.firstUserSlot + at : 0;
}

void DeviceSettingsPage::show() {
  for (int f = 0; f < kFeatureCount; ++f) {
    view_.setChoices(kFeatureControls[f], kFeatureOptions, 2);
    LONG index = block_.FeatureSelection[f];
    view_.select(kFeatureControls[f], index == 1 ? 1 : 0);
    view_.enable(kFeatureControls[f], !readOnly_);
  }
  labelCount_ = showLabels(view_, IDC_DEF_LABEL, labels_, labelChoices_, kCustomLabelIndex);
  view_.setChoices(IDC_PRINT_MODE, kPrintModes, kPrintModeCount);
  for (int control : {IDC_DEF_LABEL, IDC_PRINT_MODE, IDC_DEF_SAVE}) view_.enable(control, !readOnly_);
  for (const auto& f : kDefinitionNumbers) view_.enable(f.control, !readOnly_);
  showDefinition();
  const bool slots = kModel.userSlotCount > 0;
  for (int control : kSlotControls) view_.enable(control, slots && !readOnly_);
  view_.enable(IDC_SLOT_GROUP, slots);
  if (slots) showSlots(0);
}

void DeviceSettingsPage::showSlots(int position) {
  for (int i = 0; i < kModel.userSlotCount && i < kMaxSlots; ++i) {
    const LONG index = kModel.firstUserSlot + i;
    WCHAR* text = slotTexts_[i];
    int n = formatDecimal(index, text);
    WCHAR name[kLabelNameSlot];
    ReadLabelName(index, name);
    if (name[0]) {
      text[n++] = ' ';
      lstrcpynW(text + n, name, kLabelNameSlot);
    }
    slotChoices_[i] = {index, 0, text};
  }
  view_.setChoices(IDC_SLOT, slotChoices_, kModel.userSlotCount);
  view_.select(IDC_SLOT, position);
  showSlot();
}

void DeviceSettingsPage::showSlot() {
  const LONG index = selectedSlot();
  if (!index) return;
  LabelDefinition def;
  if (!ReadLabelDefinition(index, &def)) {
    DefaultLabelDefinition(index, &def);
    def.LabelName[0] = 0;
  }
  view_.setText(IDC_SLOT_NAME, def.LabelName);
  for (const SlotField& f : kSlotNumbers) view_.setNumber(f.control, def.*(f.field));
}

void DeviceSettingsPage::changed(int control) {
  if (control == IDC_SLOT) showSlot();
  if (control == IDC_DEF_LABEL) showDefinition();
}

void DeviceSettingsPage::command(int control) {
  if (readOnly_) return;
  if (control == IDC_DEF_SAVE) {
    saveDefinition();
    return;
  }
  const LONG index = selectedSlot();
  if (!index) return;
  const int position = view_.selected(IDC_SLOT);
  if (control == IDC_SLOT_DELETE) {
    if (!DeleteUserLabel(index)) view_.refuse(IDC_SLOT, IDS_LABEL_SAVE_FAILED, 0, 0);
    showSlots(position);
    return;
  }
  if (control != IDC_SLOT_SAVE) return;
  LabelDefinition def;
  if (!ReadLabelDefinition(index, &def)) DefaultLabelDefinition(index, &def);
  // One unit more than the slot holds, so a longer name is refused rather
  // than cut.
  WCHAR name[kLabelNameSlot + 1];
  view_.text(IDC_SLOT_NAME, name, kLabelNameSlot + 1);
  if (lstrlenW(name) >= kLabelNameSlot) {
    view_.refuse(IDC_SLOT_NAME, IDS_NAME_MISSING, 1, kLabelNameSlot - 1);
    return;
  }
  lstrcpynW(def.LabelName, name, kLabelNameSlot);
  for (const SlotField& f : kSlotNumbers) {
    if (!view_.number(f.control, &(def.*(f.field)))) {
      view_.refuse(f.control, IDS_NOT_A_NUMBER, 0, 0);
      return;
    }
  }
  struct Refusal {
    UserLabelProblem problem;
    int control;
    UINT message;
    LONG min;
    LONG max;
  };
  static const Refusal kRefusals[] = {
      {UserLabelProblem::Slot, IDC_SLOT, IDS_SAVE_FAILED, 0, 0},
      {UserLabelProblem::NotWritten, IDC_SLOT, IDS_LABEL_SAVE_FAILED, 0, 0},
      {UserLabelProblem::Name, IDC_SLOT_NAME, IDS_NAME_MISSING, 1, kLabelNameSlot - 1},
      {UserLabelProblem::Width, IDC_SLOT_WIDTH, IDS_OUT_OF_RANGE, kMinLabelExtent, kMaxLabelWidth},
      {UserLabelProblem::Height, IDC_SLOT_HEIGHT, IDS_OUT_OF_RANGE, kMinLabelExtent, kMaxLabelLength},
      {UserLabelProblem::Gap, IDC_SLOT_GAP, IDS_OUT_OF_RANGE, 0, kMaxGap},
      {UserLabelProblem::Margins, IDC_SLOT_LEFT, IDS_MARGINS_INVALID, 0, 0},
  };
  const UserLabelProblem problem = SaveUserLabel(def);
  for (const Refusal& r : kRefusals)
    if (r.problem == problem) {
      view_.refuse(r.control, r.message, r.min, r.max);
      return;
    }
  showSlots(position);
}

bool DeviceSettingsPage::apply() {
  if (readOnly_) return true;
  PrinterDataBlock next = block_;
  for (int f = 0; f < kFeatureCount; ++f) next.FeatureSelection[f] = view_.selected(kFeatureControls[f]) == 1 ? 1 : 0;
  DWORD rc = SetPrinterDataW(printer_, const_cast<LPWSTR>(WTEXT("Private DevMode")), REG_BINARY,
                             reinterpret_cast<LPBYTE>(&next), sizeof next);
  if (rc != ERROR_SUCCESS) {
    view_.refuse(kFeatureControls[0], IDS_SAVE_FAILED, 0, 0);
    return false;
  }
  block_ = next;
  return true;
}

}  // namespace driver
