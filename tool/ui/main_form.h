// The configuration tool's main window (TUserMainForm): finds the printer's
// queues, restores the user's last choices, reads the printer's settings at
// its first activation and sends the setting, print and query commands of
// its buttons.
#pragma once

#include <string>
#include <vector>

#include "controls.h"
#include "read_printer_form.h"

namespace kvui {

class TSelectPrintForm;

class TUserMainForm : public Form {
 public:
  // The read and selection dialogs live as long as the program and are
  // shown by this window when it needs them.
  TUserMainForm(Shell& shell, TReadPrinterForm& readForm, TSelectPrintForm& selectForm);

  UINT dialogId() const override;
  void onCreate() override;
  void onActivate() override;
  void onCommand(UINT id, UINT notification) override;
  void onTimer(UINT id) override;
  void onClose() override;

  // True when replies can be read over HID from the chosen printer; settled
  // at the first activation.
  bool readBack() const { return readBack_; }

 private:
  // One listed queue: ComboBox1 shows the names in this order.
  struct Queue {
    std::string name;  // ANSI, as the spooler names it
    std::string port;
  };

  // Start-up steps.
  bool listQueues();
  void restoreChoices();
  void failStartup();

  // First activation.
  void firstActivation();
  void retryLoop();
  // Shows the selection dialog listing `names`, first preselected, selects
  // the chosen entry in ComboBox1 and makes it the current printer. Returns
  // the dialog's result.
  int choosePrinter(const std::vector<std::string>& names);
  void selectByName(const std::string& name);
  void selectPrinter();
  void cancelOwnQueue();
  bool selectedPortIsParallel();
  void warnParallelPort();

  // Reading from the printer.
  int runRead(TReadPrinterForm::Mode mode, UINT captionId);
  int readSettings();
  void showSettingsImage();
  void readVersion();
  void readPrintDistance();
  void checkPrintHead();

  // Buttons.
  // Sends the setting of a setting button; false for any other id.
  bool sendSetting(UINT button);
  void sendPrint(UINT button);
  void factoryReset();
  void openSensorWindow();

  int selectedIndex();

  TReadPrinterForm& readForm_;
  TSelectPrintForm& selectForm_;
  std::vector<Queue> queues_;
  std::vector<std::string> parallelQueues_;
  std::vector<std::string> otherQueues_;
  bool readBack_ = false;
  bool firstActivation_ = true;
};

}  // namespace kvui
