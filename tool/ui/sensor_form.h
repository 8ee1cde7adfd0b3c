// The sensor window (TSensorForm): sets the levels of the gap and the
// black-mark sensor, measured by the printer ("自动设置", over HID through
// the read dialog) or typed ("手动设置", as a setting job), and remembers
// them in the tool settings file.
#pragma once

#include "controls.h"

namespace kvui {

class TReadPrinterForm;

class TSensorForm : public Form {
 public:
  // Created afresh for each opening. Without read-back (a printer that
  // cannot answer over HID) the automatic buttons are disabled and no
  // levels are read at the first activation.
  TSensorForm(Shell& shell, TReadPrinterForm& readForm, bool readBack);

  UINT dialogId() const override;
  void onCreate() override;
  void onActivate() override;
  void onCommand(UINT id, UINT notification) override;
  void onClose() override;

 private:
  enum class Sensor { Gap, Mark };

  void readLevels();
  void setAutomatically(Sensor sensor);
  void setManually(Sensor sensor);
  // The integer in the sensor's level box; nothing, after an error box
  // naming the box, when it holds none.
  bool levelOf(Sensor sensor, int* level);

  TReadPrinterForm& readForm_;
  bool readBack_;
  bool firstActivation_ = true;
};

}  // namespace kvui
