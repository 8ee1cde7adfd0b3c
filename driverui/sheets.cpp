// Property sheets: the PFNPROPSHEETUI protocol, a PageView over a dialog,
// and the dialog procedures that drive the page logic.
#include "sheets.h"

#include <commctrl.h>
#include <prsht.h>

#include <new>

#include "document_modes.h"
#include "guard.h"
#include "pages.h"
#include "resource.h"
#include <wtext.h>

namespace driver {

namespace {

HINSTANCE g_module = nullptr;

// PageView over the controls of one dialog.
class DialogView : public PageView {
 public:
  void attach(HWND dialog) { dialog_ = dialog; }

  void setChoices(int control, const Choice* choices, int count) override {
    SendDlgItemMessageW(dialog_, control, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) {
      WCHAR text[128];
      const WCHAR* shown = choices[i].text;
      if (choices[i].textId) {
        if (!LoadStringW(g_module, choices[i].textId, text, 128)) text[0] = 0;
        shown = text;
      }
      SendDlgItemMessageW(dialog_, control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown ? shown : WTEXT("")));
    }
  }
  void select(int control, int position) override {
    SendDlgItemMessageW(dialog_, control, CB_SETCURSEL, WPARAM(position), 0);
  }
  int selected(int control) const override {
    LRESULT at = SendDlgItemMessageW(dialog_, control, CB_GETCURSEL, 0, 0);
    return at == CB_ERR ? -1 : int(at);
  }
  void setNumber(int control, LONG value) override { SetDlgItemInt(dialog_, control, UINT(value), TRUE); }
  bool number(int control, LONG* value) const override {
    BOOL ok = FALSE;
    INT v = INT(GetDlgItemInt(dialog_, control, &ok, TRUE));
    if (ok) *value = v;
    return ok != FALSE;
  }
  void setChecked(int control, bool on) override {
    CheckDlgButton(dialog_, control, on ? BST_CHECKED : BST_UNCHECKED);
  }
  bool checked(int control) const override { return IsDlgButtonChecked(dialog_, control) == BST_CHECKED; }
  void setText(int control, const WCHAR* text) override { SetDlgItemTextW(dialog_, control, text); }
  void text(int control, WCHAR* buffer, int chars) const override {
    if (!GetDlgItemTextW(dialog_, control, buffer, chars) && chars > 0) buffer[0] = 0;
  }
  void enable(int control, bool on) override { EnableWindow(GetDlgItem(dialog_, control), on); }
  void refuse(int control, UINT messageId, LONG min, LONG max) override {
    WCHAR format[160], text[256], title[64];
    if (!LoadStringW(g_module, messageId, format, 160)) format[0] = 0;
    wsprintfW(text, format, int(min), int(max));
    if (!GetWindowTextW(GetParent(dialog_), title, 64)) title[0] = 0;
    MessageBoxW(dialog_, text, title, MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(dialog_, control));
  }

 private:
  HWND dialog_ = nullptr;
};

// The common property sheet a page was added to, and the page's handle
// there.
struct SheetLink {
  PFNCOMPROPSHEET comPropSheet = nullptr;
  HANDLE sheet = nullptr;
  HANDLE page = nullptr;

  // "CPSFUNC_SET_RESULT passes a specified result value to all
  // PFNPROPSHEETUI-typed functions associated with a specified page and
  // its parents": what DocumentProperties returns (IDOK only for
  // CPSUI_OK) is what this sets, so applying the page must set it.
  void setResult(LONG result) const {
    if (comPropSheet && page) comPropSheet(sheet, CPSFUNC_SET_RESULT, reinterpret_cast<LPARAM>(page), result);
  }
};

// One open printing-preferences sheet.
struct DocumentSheet {
  SheetLink link;
  DOCUMENTPROPERTYHEADER* header;
  DriverSettings settings;
  DialogView view;
  PreferencesPage page;
  DocumentSheet(DOCUMENTPROPERTYHEADER* h)
      : header(h), settings(), view(), page(view, settings, (h->fMode & DM_NOPERMISSION) != 0) {}

  // Hands the page's settings back to the caller's output device mode;
  // false when the caller gave no room for them.
  bool commit() {
    if (!(header->fMode & DM_OUT_BUFFER)) return true;
    if (!header->pdmOut || OutputRoom(*header) < kDevModeBytes) return false;
    CopyMemory(header->pdmOut, &settings, kDevModeBytes);
    return true;
  }
};

// One open device-settings sheet.
struct DeviceSheet {
  SheetLink link;
  DriverSettings settings;
  DialogView view;
  DeviceSettingsPage page;
  DeviceSheet(DEVICEPROPERTYHEADER* h)
      : settings(), view(), page(view, h->hPrinter, settings.PrinterData, (h->Flags & DPS_NOPERMISSION) != 0) {}
};

// Page procedure shared by both sheets; Sheet has `view` and `page`.
template <class Sheet>
INT_PTR CALLBACK pageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return support::guardedCall<INT_PTR>(FALSE, [&]() -> INT_PTR {
    Sheet* sheet = reinterpret_cast<Sheet*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
      case WM_INITDIALOG:
        sheet = reinterpret_cast<Sheet*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(sheet));
        sheet->view.attach(dialog);
        sheet->page.show();
        return TRUE;
      case WM_COMMAND: {
        if (!sheet) return FALSE;
        const int control = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        if (code == CBN_SELCHANGE || code == BN_CLICKED) {
          // Compile-time dispatch over the two page types: only the device
          // settings page has buttons (command), and only the preferences
          // sheet hands settings back (commit); the other type has neither
          // member, so its branch is not compiled.
          if constexpr (requires { sheet->page.command(control); }) {
            if (sheet->page.isCommand(control)) sheet->page.command(control);
          }
          sheet->page.changed(control);
        }
        if (code == CBN_SELCHANGE || code == BN_CLICKED || code == EN_CHANGE)
          SendMessageW(GetParent(dialog), PSM_CHANGED, WPARAM(dialog), 0);
        return TRUE;
      }
      case WM_NOTIFY: {
        if (!sheet || reinterpret_cast<NMHDR*>(lParam)->code != UINT(PSN_APPLY)) return FALSE;
        bool ok = sheet->page.apply();
        if constexpr (requires { sheet->commit(); }) {  // see WM_COMMAND above
          ok = ok && sheet->commit();
        }
        if (ok) sheet->link.setResult(CPSUI_OK);
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, ok ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
        return TRUE;
      }
      default:
        return FALSE;
    }
  });
}

// The PFNPROPSHEETUI reasons other than INIT, the same for both sheets.
template <class Sheet>
LONG otherReason(PPROPSHEETUI_INFO info, LPARAM lParam, UINT titleId) {
  switch (info->Reason) {
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
      auto* header = reinterpret_cast<PROPSHEETUI_INFO_HEADER*>(lParam);
      if (!header) return ERR_CPSUI_GETLASTERROR;
      static WCHAR title[64];
      if (!LoadStringW(g_module, titleId, title, 64)) title[0] = 0;
      header->pTitle = title;
      header->hInst = g_module;
      header->IconID = IDI_CPSUI_PRINTER2;
      return CPSUI_OK;
    }
    case PROPSHEETUI_REASON_SET_RESULT:
      // "Typically, an application's PFNPROPSHEETUI-typed function sets its
      // PROPSHEETUI_INFO structure's Result member to the value received in
      // the SETRESULT_INFO structure's Result member", and returns 1 or more
      // so that the parents receive it too.
      if (lParam) info->Result = reinterpret_cast<SETRESULT_INFO*>(lParam)->Result;
      return CPSUI_OK;
    case PROPSHEETUI_REASON_DESTROY:
      delete reinterpret_cast<Sheet*>(info->UserData);
      info->UserData = 0;
      return CPSUI_OK;
    default:
      return CPSUI_OK;
  }
}

// Adds the page of a new sheet to the common property sheet; its tab takes
// the title of string titleId.
template <class Sheet>
LONG addPage(PPROPSHEETUI_INFO info, Sheet* sheet, UINT templateId, UINT titleId) {
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof page;
  page.dwFlags = PSP_USETITLE;
  page.hInstance = g_module;
  page.pszTemplate = MAKEINTRESOURCEW(templateId);
  page.pszTitle = MAKEINTRESOURCEW(titleId);
  page.pfnDlgProc = pageProc<Sheet>;
  page.lParam = reinterpret_cast<LPARAM>(sheet);
  // CPSFUNC_ADD_PROPSHEETPAGE returns the page's handle, the one
  // CPSFUNC_SET_RESULT names the page by; zero on failure.
  const LONG_PTR added =
      info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW, reinterpret_cast<LPARAM>(&page), 0);
  if (added <= 0) {
    delete sheet;
    return ERR_CPSUI_GETLASTERROR;
  }
  sheet->link = {info->pfnComPropSheet, info->hComPropSheet, reinterpret_cast<HANDLE>(added)};
  info->UserData = reinterpret_cast<ULONG_PTR>(sheet);
  info->Result = CPSUI_CANCEL;
  return CPSUI_OK;
}

}  // namespace

void SetResourceModule(HINSTANCE module) { g_module = module; }

LONG DocumentPropertySheet(PPROPSHEETUI_INFO info, LPARAM lParam) {
  if (info->Reason != PROPSHEETUI_REASON_INIT) return otherReason<DocumentSheet>(info, lParam, IDS_PAGE_PREFERENCES);
  auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(lParam);
  if (!header || header->cbSize < sizeof(DOCUMENTPROPERTYHEADER)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERR_CPSUI_GETLASTERROR;
  }
  auto* sheet = new DocumentSheet(header);
  const DEVMODEW* in = (header->fMode & DM_IN_BUFFER) ? header->pdmIn : nullptr;
  DocumentSettings(header->hPrinter, header->pszPrinterName, in, DevModeClaimedBytes(in), &sheet->settings);
  return addPage(info, sheet, IDD_PREFERENCES, IDS_PAGE_PREFERENCES);
}

LONG DevicePropertySheet(PPROPSHEETUI_INFO info, LPARAM lParam) {
  if (info->Reason != PROPSHEETUI_REASON_INIT) return otherReason<DeviceSheet>(info, lParam, IDS_PAGE_DEVICE);
  auto* header = reinterpret_cast<DEVICEPROPERTYHEADER*>(lParam);
  if (!header || header->cbSize < sizeof(DEVICEPROPERTYHEADER) || !header->hPrinter) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERR_CPSUI_GETLASTERROR;
  }
  auto* sheet = new DeviceSheet(header);
  loadQueueSettings(&sheet->settings, header->hPrinter, header->pszPrinterName);
  return addPage(info, sheet, IDD_DEVICE_SETTINGS, IDS_PAGE_DEVICE);
}

}  // namespace driver
