// The sensor window's behaviour.
#include "sensor_form.h"

#include <wtext.h>

#include "form_steps.h"
#include "printer_commands.h"
#include "read_printer_form.h"
#include "resource.h"

namespace kvui {
namespace {

const WCHAR kGapKey[] = WTEXT("SensorLevelGap");
const WCHAR kMarkKey[] = WTEXT("SensorLevelMark");
constexpr int kGapDefault = 27;
constexpr int kMarkDefault = 45;
constexpr int kLowestLevel = 1;
constexpr int kHighestLevel = 100;

}  // namespace

TSensorForm::TSensorForm(Shell& shell, TReadPrinterForm& readForm, bool readBack)
    : Form(shell), readForm_(readForm), readBack_(readBack) {}

UINT TSensorForm::dialogId() const { return IDD_SENSOR; }

void TSensorForm::onCreate() {
  view().setCaption(LoadUiText(IDS_SENSOR_CAPTION));
  EditBox& gap = view().edit(IDC_SENSORLEVELGAP_EDIT);
  EditBox& mark = view().edit(IDC_SENSORLEVELMARK_EDIT);
  gap.setSpinRange(kLowestLevel, kHighestLevel);
  mark.setSpinRange(kLowestLevel, kHighestLevel);
  gap.setText(DecimalText(kGapDefault));
  mark.setText(DecimalText(kMarkDefault));
  if (!readBack_)
    for (UINT id : {IDC_SENSOR_BUTTON13, IDC_SENSOR_BUTTON12}) view().button(id).setEnabled(false);
}

void TSensorForm::onActivate() {
  if (!firstActivation_) return;
  view().edit(IDC_SENSORLEVELGAP_EDIT).setText(DecimalText(ReadSetting(kGapKey, kGapDefault)));
  view().edit(IDC_SENSORLEVELMARK_EDIT).setText(DecimalText(ReadSetting(kMarkKey, kMarkDefault)));
  firstActivation_ = false;
  if (readBack_) readLevels();
}

// The printer's current levels: a reply of exactly three numbers sets both
// boxes; any other reply leaves them as they are.
void TSensorForm::readLevels() {
  readForm_.BeginRead(TReadPrinterForm::Mode::SensorValues);
  readForm_.SetReadCaption(LoadUiText(IDS_SENSOR_VALUES_CAPTION));
  int result = shell().runModal(readForm_);
  printercmd::SensorLevels levels;
  if (result == kResultOk &&
      printercmd::parseSensorLevels(readForm_.ReplyText(), &levels) == printercmd::kSensorLevelFields) {
    view().edit(IDC_SENSORLEVELGAP_EDIT).setText(DecimalText(levels.gap));
    view().edit(IDC_SENSORLEVELMARK_EDIT).setText(DecimalText(levels.mark));
  } else if (result == kResultFailed) {
    ShowCommunicationFailure(shell());
  }
  readForm_.EndRead();
}

void TSensorForm::onCommand(UINT id, UINT notification) {
  if (notification != BN_CLICKED) return;
  switch (id) {
    case IDC_SENSOR_BUTTON13:
      setAutomatically(Sensor::Gap);
      break;
    case IDC_SENSOR_BUTTON12:
      setAutomatically(Sensor::Mark);
      break;
    case IDC_SENSOR_BUTTON1:
      setManually(Sensor::Gap);
      break;
    case IDC_SENSOR_BUTTON2:
      setManually(Sensor::Mark);
      break;
    default:
      break;
  }
}

// The printer measures the level itself; on a usable reply the read dialog
// has put it into the sensor's box.
void TSensorForm::setAutomatically(Sensor sensor) {
  bool gap = sensor == Sensor::Gap;
  readForm_.BeginRead(gap ? TReadPrinterForm::Mode::GapLevel : TReadPrinterForm::Mode::MarkLevel);
  readForm_.SetReadCaption(LoadUiText(gap ? IDS_SENSOR_GAP_AUTO_CAPTION : IDS_SENSOR_MARK_AUTO_CAPTION));
  readForm_.SetLevelBox(&view().edit(gap ? IDC_SENSORLEVELGAP_EDIT : IDC_SENSORLEVELMARK_EDIT));
  int result = shell().runModal(readForm_);
  readForm_.SetLevelBox(nullptr);
  if (result == kResultOk)
    ShowInfoBox(shell(), LoadUiText(readForm_.ReplyText().empty() ? IDS_SENSOR_AUTO_FAILED : IDS_SENSOR_AUTO_DONE),
                MB_ICONINFORMATION);
  else if (result == kResultFailed)
    ShowCommunicationFailure(shell());
  readForm_.EndRead();
}

void TSensorForm::setManually(Sensor sensor) {
  if (!AskYes(shell(), IDS_SENSOR_MANUAL_ASK, IDS_SENSOR_MANUAL_CAPTION)) return;
  int level = 0;
  if (!levelOf(sensor, &level)) return;
  // The printer may still be in HID mode after an automatic setting.
  readForm_.RestorePrintMode();
  SendCommandAndReport(shell(),
                       sensor == Sensor::Gap ? printercmd::gapSensorLevel(level) : printercmd::markSensorLevel(level),
                       DeliveryTexts::Setting);
}

// A level is a whole number from 1 to 100, the range of the up-down arrows
// and of the error box that asks for it; a typed value outside it is
// refused like any other text that is not a level.
bool TSensorForm::levelOf(Sensor sensor, int* level) {
  bool gap = sensor == Sensor::Gap;
  std::optional<int> value = ParseInteger(view().edit(gap ? IDC_SENSORLEVELGAP_EDIT : IDC_SENSORLEVELMARK_EDIT).text());
  if (value && *value >= kLowestLevel && *value <= kHighestLevel) {
    *level = *value;
    return true;
  }
  shell().messageBox(LoadUiText(gap ? IDS_SENSOR_GAP_INVALID : IDS_SENSOR_MARK_INVALID), LoadUiText(IDS_CAPTION_ERROR),
                     MB_OK | MB_ICONERROR);
  return false;
}

// Both levels are saved only when both boxes hold a level; the printer is
// returned to print mode either way.
void TSensorForm::onClose() {
  int gap = 0, mark = 0;
  if (levelOf(Sensor::Gap, &gap) && levelOf(Sensor::Mark, &mark)) {
    WriteSetting(kGapKey, gap);
    WriteSetting(kMarkKey, mark);
  }
  readForm_.RestorePrintMode();
}

}  // namespace kvui
