// Resource and control identifiers of the printer interface DLL, shared by
// its resource script and its page logic.
#pragma once

// Dialog templates (one page each).
#define IDD_PREFERENCES 100
#define IDD_DEVICE_SETTINGS 101

// Printing-preferences page.
#define IDC_LABEL 1001
#define IDC_CUSTOM_WIDTH 1002
#define IDC_CUSTOM_HEIGHT 1003
#define IDC_ORIENTATION 1004
#define IDC_ROTATION 1005
#define IDC_COPIES 1006
#define IDC_SPEED 1008
#define IDC_OFFSET_X 1012
#define IDC_OFFSET_Y 1013
#define IDC_COLOR_MODE 1014
#define IDC_DITHER 1015
#define IDC_GRAPHICS_MODE 1016

// Device-settings page.
#define IDC_FEATURE_NUP 1101
#define IDC_FEATURE_ORDER 1102
#define IDC_FEATURE_COLLATE 1103
#define IDC_FEATURE_COPIES 1104
#define IDC_SLOT 1110
#define IDC_SLOT_NAME 1111
#define IDC_SLOT_WIDTH 1112
#define IDC_SLOT_HEIGHT 1113
#define IDC_SLOT_GAP 1114
#define IDC_SLOT_LEFT 1115
#define IDC_SLOT_RIGHT 1116
#define IDC_SLOT_TOP 1117
#define IDC_SLOT_BOTTOM 1118
#define IDC_SLOT_SAVE 1119
#define IDC_SLOT_DELETE 1120
#define IDC_SLOT_GROUP 1121
// The selected label's definition in the label file (stored per computer).
#define IDC_DEF_GROUP 1130
#define IDC_DEF_LABEL 1131
#define IDC_DENSITY 1132
#define IDC_PRINT_MODE 1133
#define IDC_STOP_POSITION 1134
#define IDC_GAP 1135
#define IDC_DEF_SAVE 1136

// Choice texts.
#define IDS_PORTRAIT 200
#define IDS_LANDSCAPE 201
#define IDS_ONE_BIT 202
#define IDS_GREY 203
#define IDS_HEX_ROWS 204
#define IDS_BINARY_ROWS 205
#define IDS_BY_DRIVER 206
#define IDS_BY_PROCESSOR 207
#define IDS_PRINT_MODE_1 211
#define IDS_PRINT_MODE_2 212
#define IDS_PRINT_MODE_3 213
#define IDS_PRINT_MODE_4 214

// Messages.
#define IDS_OUT_OF_RANGE 300     // "%s": caption of the field, then minimum and maximum
#define IDS_NOT_A_NUMBER 301
#define IDS_NAME_MISSING 302
#define IDS_MARGINS_INVALID 303
#define IDS_SAVE_FAILED 304
#define IDS_PAGE_PREFERENCES 305
#define IDS_PAGE_DEVICE 306
#define IDS_LABEL_SAVE_FAILED 307

// The threshold-pattern table's display string ids name the pattern
// choices (64041 to 64044).
#define IDS_PATTERN_0 64041
