// The texts the tool's windows load from the string tables are exactly the
// ones the user must see (literals written here independently of the .rc
// files).
#include <gtest/gtest.h>

#include "controls.h"
#include "fake_ui.h"
#include "resource.h"

namespace kvui {
namespace {

using fake::U8;

struct TextCase {
  UINT id;
  const char* utf8;
};

class UiTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(UiTextTest, LoadsTheExactText) { EXPECT_EQ(U8(LoadUiText(GetParam().id)), GetParam().utf8); }

INSTANTIATE_TEST_SUITE_P(
    Link, UiTextTest,
    ::testing::Values(TextCase{IDS_LINK_OPENPRINTER_FAIL, "OpenPrinter fail! error "},
                      TextCase{IDS_LINK_STARTDOC_FAIL, "StartDocPrinter fail! error "},
                      TextCase{IDS_LINK_WRITEPRINTER_FAIL, "WritePrinter fail! error "},
                      TextCase{IDS_LINK_ENDDOC_FAIL, "EndDocPrinter fail! error "},
                      TextCase{IDS_LINK_CLOSEPRINTER_FAIL, "ClosePrinter fail! error "},
                      TextCase{IDS_LINK_CREATE_FAIL, "Create QornOCX Error!"},
                      TextCase{IDS_LINK_LOAD_FAIL, "Load VRDUSBHid.dll Error!"}));

INSTANTIATE_TEST_SUITE_P(ReadDialog, UiTextTest,
                         ::testing::Values(TextCase{IDS_READ_STATUS_LABEL, "状态"},
                                           TextCase{IDS_READ_TO_HID, "转换打印机为USB HID模式"},
                                           TextCase{IDS_READ_IN_HID, "打印机处于USB HID模式"},
                                           TextCase{IDS_READ_200DPI, "打印机为 200dpi"},
                                           TextCase{IDS_READ_300DPI, "打印机为 300dpi"},
                                           TextCase{IDS_READ_PROCESSING, "处理中..."},
                                           TextCase{IDS_READ_TO_PRINTER, "转换打印机为USB 打印模式"}));

INSTANTIATE_TEST_SUITE_P(
    Selection, UiTextTest,
    ::testing::Values(TextCase{IDS_SELECT_CAPTION, "选择打印机"},
                      TextCase{IDS_SELECT_INFO,
                               "请确认KV830处于联机状态，从下面列表中选择当前使用的打印机\r\n"
                               "如果要读取KV830信息，按下按钮“读取信息”\r\n"
                               "    操作必须选择USB端口的打印机\r\n"
                               "如果不需要读取KV830信息，按下按钮“跳过读取信息”"},
                      TextCase{IDS_SELECT_READ, "读取信息"}, TextCase{IDS_SELECT_SKIP, "跳过读取信息"}));

INSTANTIATE_TEST_SUITE_P(
    FileSending, UiTextTest,
    ::testing::Values(TextCase{IDS_SEND_DIALOG_TITLE, "选择发送文件"},
                      TextCase{IDS_SEND_DIALOG_FILTER,
                               "Varodyn文件(*.txt;*.s;*.crc;*.fls;*.dls)|*.txt;*.s;*.crc;*.fls;*.dls|所有文件(*.*)|*.*"},
                      TextCase{IDS_SEND_CONFIRM, "是否确定发送文件?\r\n可能修改当前打印机设定!  "},
                      TextCase{IDS_SEND_CONFIRM_AGAIN, "请再次确认是否发送文件!"},
                      TextCase{IDS_SEND_CONFIRM_CAPTION, "警告"}, TextCase{IDS_SEND_OPEN_ERROR, "Open files Error"},
                      TextCase{IDS_SEND_DATA_ERROR, "Send file data error!"}));

TEST(UiText, UnknownIdIsEmpty) { EXPECT_TRUE(LoadUiText(99).empty()); }

}  // namespace
}  // namespace kvui
