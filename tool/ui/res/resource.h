// Ids of the configuration tool's resources: dialogs, controls, timers and
// string-table entries, shared by the window logic and the .rc files.
//
// Each window owns one range; its dialog template takes the range's first
// id, and its controls, timers and strings the ids after it (strings and
// controls may share a range, as they live in different namespaces):
//   100 - 199    printer link and program-wide texts
//   1000 - 1099  read dialog (TReadPrinterForm)
//   1100 - 1199  printer selection dialog (TSelectPrintForm)
//   1200 - 1299  file sending
//   2000 - 2999  main window (TUserMainForm)
//   3000 - 3999  sensor window (TSensorForm)
// Only #define lines: the resource compiler reads this file too.
#pragma once

// ---- printer link and program-wide texts (100 - 199) ----------------------
// Caption of the plain message boxes (the program's title).
#define IDS_APP_TITLE 100
// Spooler failures; the decimal last-error code follows the text.
#define IDS_LINK_OPENPRINTER_FAIL 101
#define IDS_LINK_STARTDOC_FAIL 102
#define IDS_LINK_WRITEPRINTER_FAIL 103
#define IDS_LINK_ENDDOC_FAIL 104
#define IDS_LINK_CLOSEPRINTER_FAIL 105
// Start-up of the HID link library.
#define IDS_LINK_CREATE_FAIL 106
#define IDS_LINK_LOAD_FAIL 107

// ---- read dialog (1000 - 1099) ---------------------------------------------
#define IDD_READ 1000
#define IDC_READ_PROGRESS 1001  // SystemProgressBar
#define IDC_READ_STATUS 1002    // StatusBar1
#define IDT_READ_STEP 1003      // SystemTimer, 100 ms
#define IDS_READ_STATUS_LABEL 1010     // panel 0
#define IDS_READ_TO_HID 1011
#define IDS_READ_IN_HID 1012
#define IDS_READ_200DPI 1013
#define IDS_READ_300DPI 1014
#define IDS_READ_PROCESSING 1015
#define IDS_READ_TO_PRINTER 1016

// ---- printer selection dialog (1100 - 1199) -------------------------------
#define IDD_SELECT 1100
#define IDC_SELECT_INFO 1101  // the four-line information text
#define IDC_SELECT_LIST 1102  // PrinterList_ListBox
#define IDC_SELECT_READ 1103  // "读取信息", the default button: result 1
#define IDC_SELECT_SKIP 1104  // "跳过读取信息", the cancel button: result 2
#define IDS_SELECT_CAPTION 1110
#define IDS_SELECT_INFO 1111
#define IDS_SELECT_READ 1112
#define IDS_SELECT_SKIP 1113

// ---- file sending (1200 - 1299) --------------------------------------------
#define IDS_SEND_DIALOG_TITLE 1200
#define IDS_SEND_DIALOG_FILTER 1201
#define IDS_SEND_CONFIRM 1202
#define IDS_SEND_CONFIRM_AGAIN 1203
#define IDS_SEND_CONFIRM_CAPTION 1204
#define IDS_SEND_OPEN_ERROR 1205
#define IDS_SEND_DATA_ERROR 1206
