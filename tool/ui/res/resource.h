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

// ---- main window (TUserMainForm) --------------------------------------------
// Caption "KV830设定工具(V1.1)" (IDS_MAIN_CAPTION), client 457 x 304,
// 8-point "MS Sans Serif", menu IDM_MAIN_MENU.
#define IDD_MAIN 2000
#define IDM_MAIN_MENU 2001

// Top row: label "打印机名:    " and the read-only, disabled ComboBox1.
#define IDC_MAIN_PRINTER_LABEL 2010
#define IDC_MAIN_COMBOBOX1 2011

// Group boxes.
#define IDC_MAIN_BUZZER_GROUP 2020      // "打印机响铃设置"
#define IDC_MAIN_HEADCHECK_GROUP 2021   // "打印头自动检测"
#define IDC_MAIN_STOPPOS_GROUP 2022     // "测纸功能(仅对模切纸有效)"
#define IDC_MAIN_FEED_GROUP 2023        // "自动送纸"

// Choices. Radio groups: {2030, 2031}, {2032, 2033}, {2034, 2035, 2036}.
#define IDC_BUZZER_RADIOBUTTON 2030             // "响铃  "
#define IDC_NOBUZZER_RADIOBUTTON 2031           // "不响铃"
#define IDC_AUTOHEADCHECK_ON_RADIOBUTTON 2032   // "打开"
#define IDC_AUTOHEADCHECK_OFF_RADIOBUTTON 2033  // "关闭"
#define IDC_AUTOSTOPPOS_OFF_RADIOBUTTON 2034    // "关闭" (top)
#define IDC_AUTOSTOPPOS_FEED_RADIOBUTTON 2035   // "手动(长按送纸键)" (middle)
#define IDC_AUTOSTOPPOS_ON_RADIOBUTTON 2036     // "自动" (bottom)
#define IDC_AUTOFEED_CHECKBOX 2037              // "开机送纸"
#define IDC_CLOSEACTION_CHECKBOX 2038           // "关闭打印头送纸   "

// Buttons, named ButtonN as in the window's design (2040 + N).
#define IDC_MAIN_BUTTON1 2041   // "设置" in the buzzer group
#define IDC_MAIN_BUTTON2 2042   // "设置" in the label-stop group
#define IDC_MAIN_BUTTON3 2043   // "设置" in the feeding group
#define IDC_MAIN_BUTTON4 2044   // "设置" in the head-check group
#define IDC_MAIN_BUTTON5 2045   // "获取版本号"      (left column)
#define IDC_MAIN_BUTTON6 2046   // "获取打印距离"    (right column)
#define IDC_MAIN_BUTTON7 2047   // "检测打印头"      (left)
#define IDC_MAIN_BUTTON8 2048   // "打印所有设置"    (right)
#define IDC_MAIN_BUTTON10 2050  // "打印识别标签"    (left)
#define IDC_MAIN_BUTTON11 2051  // "打印测试标签"    (right)
#define IDC_MAIN_BUTTON14 2054  // "恢复出厂设置"    (left)
#define IDC_MAIN_BUTTON15 2055  // "传感器设置"      (right)
// Hidden button "发送文件": the same action as the menu item.
#define IDC_MAIN_SENDFILE_BUTTON 2056

// Edit box outside the client area that takes the focus at the first
// activation, so that no button starts focused.
#define IDC_MAIN_FOCUSEDIT 2060

// SystemTimer: 3000 ms, runs the print-mode restore once.
#define IDT_MAIN_SYSTEMTIMER 2070

// Menu "文件": "发送文件", "退出".
#define IDM_FILE_SENDFILE 2080
#define IDM_FILE_EXIT 2081

// Strings of the main window.
#define IDS_MAIN_CAPTION 2100
#define IDS_CAPTION_INFO 2110      // "系统提示"
#define IDS_CAPTION_WARNING 2111   // "警告"
#define IDS_CAPTION_ERROR 2112     // "错误"
#define IDS_NO_PRINTER 2120
#define IDS_SETTING_SENT 2121
#define IDS_SETTING_NOT_SENT 2122
#define IDS_PRINT_SENT 2123
#define IDS_PRINT_NOT_SENT 2124
#define IDS_COMM_FAILURE 2125
#define IDS_PARALLEL_PORT_WARNING 2126
#define IDS_READ_INFO_FAILED 2127
#define IDS_READ_SETTINGS_CAPTION 2130
#define IDS_FACTORY_RESET_CAPTION 2131
#define IDS_FACTORY_RESET_ASK 2132
#define IDS_FACTORY_RESET_ASK_AGAIN 2133
#define IDS_VERSION_CAPTION 2140
#define IDS_VERSION_SYSTEM 2141
#define IDS_VERSION_IPL 2142
#define IDS_DISTANCE_CAPTION 2143
#define IDS_DISTANCE_PREFIX 2144
#define IDS_DISTANCE_SUFFIX 2145
#define IDS_HEADCHECK_CAPTION 2146
#define IDS_HEADCHECK_NORMAL 2147
#define IDS_HEADCHECK_DRIVER 2148
#define IDS_HEADCHECK_BROKEN 2149
#define IDS_HEADCHECK_BROKEN_AT 2150

// ---- sensor window (TSensorForm) --------------------------------------------
// Caption "传感器设置" (IDS_SENSOR_CAPTION), client 256 x 168, two stacked
// groups of the same form.
#define IDD_SENSOR 3000

#define IDC_SENSOR_GAP_GROUP 3010       // "透光传感器  "
#define IDC_SENSORLEVELGAP_EDIT 3011    // initial "27"
#define IDC_SENSORLEVELGAP_UPDOWN 3012  // 1 - 100, bound to 3011
#define IDC_SENSOR_GAP_RANGE 3013       // "1 - 100"
#define IDC_SENSOR_BUTTON13 3014        // "自动设置" (gap, above)
#define IDC_SENSOR_BUTTON1 3015         // "手动设置" (gap, below)

#define IDC_SENSOR_MARK_GROUP 3020       // "黑标传感器 "
#define IDC_SENSORLEVELMARK_EDIT 3021    // initial "45"
#define IDC_SENSORLEVELMARK_UPDOWN 3022  // 1 - 100, bound to 3021
#define IDC_SENSOR_MARK_RANGE 3023       // "1 - 100"
#define IDC_SENSOR_BUTTON12 3024         // "自动设置" (mark, above)
#define IDC_SENSOR_BUTTON2 3025          // "手动设置" (mark, below)

// Strings of the sensor window.
#define IDS_SENSOR_CAPTION 3100
#define IDS_SENSOR_VALUES_CAPTION 3101
#define IDS_SENSOR_GAP_AUTO_CAPTION 3102
#define IDS_SENSOR_MARK_AUTO_CAPTION 3103
#define IDS_SENSOR_AUTO_DONE 3104
#define IDS_SENSOR_AUTO_FAILED 3105
#define IDS_SENSOR_MANUAL_CAPTION 3106
#define IDS_SENSOR_MANUAL_ASK 3107
#define IDS_SENSOR_GAP_INVALID 3108
#define IDS_SENSOR_MARK_INVALID 3109
