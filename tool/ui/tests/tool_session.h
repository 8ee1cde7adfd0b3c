// A test session of the configuration tool on the simulated host: queues,
// the program's path and settings file, the emulated printer, and the
// tool's windows driven through the fake shell.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake_ui.h"
#include "emulated_printer.h"
#include "usb_printer.h"
#include "main_form.h"
#include "printer_link.h"
#include "read_printer_form.h"
#include "select_print_form.h"

namespace kvui {

class ToolSession : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A queue of the simulated spooler (name as UTF-8).
  void addQueue(const std::string& name, const std::u16string& port, const std::u16string& driver);

  // The emulated KV830 on `queue`: the queue's jobs reach it, and it shows
  // up on HID while it is in HID mode.
  emu::UsbPrinter& attachPrinter(const std::string& queue, emu::PrinterModel model = emu::PrinterModel::KV830);
  // The same printer's command side.
  emu::EmulatedPrinter& printerOn(const std::string& queue);

  // ---- the program ------------------------------------------------------
  // Creates the read, selection and main windows afresh and runs the main
  // window's start-up.
  void createMain();
  // Drops the windows (the simulated host keeps its state).
  void resetForms();
  fake::FakeView& mainView() { return *mainView_; }
  TUserMainForm& mainForm() { return *main_; }

  // ---- the settings file beside the program -------------------------------
  void writeSettingsFile(const std::string& utf8);
  // The value of a key of the section "Setting"; nothing when missing.
  std::optional<std::string> settingsKey(const std::string& key);

  // ---- dialogs -----------------------------------------------------------------
 public:
  // How the user answers the selection dialogs, in order: the entry to pick
  // and whether to confirm ("读取信息") or skip ("跳过读取信息").
  struct Selection {
    int index;
    bool confirm;
  };

 protected:
  void answerSelections(std::vector<Selection> answers);
  // The list of every selection dialog shown, as UTF-8.
  std::vector<std::vector<std::string>> selectionLists() const;
  // Captions of the read dialogs run, in order.
  std::vector<std::string> readCaptions() const;
  // Message boxes as "caption|text" (UTF-8), in order.
  std::vector<std::string> boxTexts() const;

  fake::FakeShell shell;

 private:
  std::string dir_;
  std::unique_ptr<TReadPrinterForm> read_;
  std::unique_ptr<TSelectPrintForm> select_;
  std::unique_ptr<TUserMainForm> main_;
  std::unique_ptr<fake::FakeView> mainView_;
  std::vector<std::shared_ptr<emu::UsbPrinter>> printers_;
  std::vector<Selection> selections_;
  size_t nextSelection_ = 0;
};

}  // namespace kvui
