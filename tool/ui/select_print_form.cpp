// The printer selection dialog.
#include "select_print_form.h"

namespace kvui {

void TSelectPrintForm::SetPrinters(std::vector<UiText> names) {
  names_ = std::move(names);
  selected_ = -1;
}

void TSelectPrintForm::onCreate() {
  view().setCaption(LoadUiText(IDS_SELECT_CAPTION));
  ItemList& list = view().list(IDC_SELECT_LIST);
  list.clear();
  for (const UiText& name : names_) list.add(name);
  list.select(selected_ >= 0 && selected_ < int(names_.size()) ? selected_ : -1);
}

void TSelectPrintForm::onCommand(UINT id, UINT notification) {
  switch (id) {
    case IDC_SELECT_READ:
    case IDOK:  // Enter: the default button
      if (notification == BN_CLICKED) end(kResultOk);
      break;
    case IDC_SELECT_SKIP:
    case IDCANCEL:  // Esc: the cancel button
      if (notification == BN_CLICKED) end(kResultCancel);
      break;
    case IDC_SELECT_LIST:
      if (notification == LBN_DBLCLK && view().list(IDC_SELECT_LIST).selectedIndex() >= 0) end(kResultOk);
      break;
    default:
      break;
  }
}

void TSelectPrintForm::onClose() { selected_ = view().list(IDC_SELECT_LIST).selectedIndex(); }

void TSelectPrintForm::end(int result) {
  selected_ = view().list(IDC_SELECT_LIST).selectedIndex();
  view().endModal(result);
}

}  // namespace kvui
