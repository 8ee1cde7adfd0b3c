// The printer selection dialog (TSelectPrintForm): a list of queue names,
// "读取信息" (result 1) and "跳过读取信息" (result 2). A double click on a
// selected entry confirms like "读取信息"; on nothing it does nothing.
//
// Use: SetPrinters, Preselect, Shell::runModal, then the result and
// SelectedIndex (the entry selected when the dialog closed, -1 for none).
#pragma once

#include <vector>

#include "controls.h"
#include "resource.h"

namespace kvui {

class TSelectPrintForm : public Form {
 public:
  explicit TSelectPrintForm(Shell& shell) : Form(shell) {}
  UINT dialogId() const override { return IDD_SELECT; }

  void SetPrinters(std::vector<UiText> names);
  void Preselect(int index) { selected_ = index; }
  int SelectedIndex() const { return selected_; }
  const std::vector<UiText>& Printers() const { return names_; }

  void onCreate() override;
  void onCommand(UINT id, UINT notification) override;
  void onClose() override;

 private:
  void end(int result);

  std::vector<UiText> names_;
  int selected_ = -1;
};

}  // namespace kvui
