// The printer selection dialog: its list, the preselected entry, the two
// buttons, the double click with and without a selection, and the close box.
#include "select_print_form.h"

#include <gtest/gtest.h>

#include <functional>

#include "fake_ui.h"
#include "resource.h"

namespace kvui {
namespace {

using fake::FakeView;
using fake::U8;
using fake::W;

struct SelectCase {
  const char* label;
  int preselected;
  // What the user does, in order; the dialog must still be open before
  // each action.
  std::vector<std::function<void(FakeView&)>> actions;
  int result;
  int selected;
};

void pick(FakeView& v, int index) { v.fakeList(IDC_SELECT_LIST).select(index); }
void doubleClick(FakeView& v) { v.command(IDC_SELECT_LIST, LBN_DBLCLK); }

class SelectDialog : public testing::TestWithParam<SelectCase> {};

TEST_P(SelectDialog, EndsWithTheChoiceAndTheSelectedEntry) {
  const SelectCase& c = GetParam();
  fake::FakeShell shell;
  TSelectPrintForm form(shell);
  form.SetPrinters({W("KV830 USB"), W("KV830 LPT"), W("办公室 KV830")});
  form.Preselect(c.preselected);
  size_t done = 0;
  shell.duringModal([&](FakeView& view, int) {
    EXPECT_EQ(U8(view.caption()), "选择打印机");
    std::vector<std::string> listed;
    for (const UiText& item : view.fakeList(IDC_SELECT_LIST).items()) listed.push_back(U8(item));
    EXPECT_EQ(listed, (std::vector<std::string>{"KV830 USB", "KV830 LPT", "办公室 KV830"}));
    EXPECT_EQ(view.fakeList(IDC_SELECT_LIST).selectedIndex(), c.preselected);
    for (const auto& action : c.actions) {
      ASSERT_FALSE(view.result()) << "ended before action " << done;
      action(view);
      ++done;
    }
  });
  EXPECT_EQ(shell.runModal(form), c.result);
  EXPECT_EQ(done, c.actions.size());
  EXPECT_EQ(form.SelectedIndex(), c.selected);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, SelectDialog,
    testing::Values(
        SelectCase{"ReadThePreselectedEntry", 0, {[](FakeView& v) { v.click(IDC_SELECT_READ); }}, kResultOk, 0},
        SelectCase{"ReadAnotherEntry", 0, {[](FakeView& v) { pick(v, 2); }, [](FakeView& v) { v.click(IDC_SELECT_READ); }},
                   kResultOk, 2},
        SelectCase{"SkipKeepsTheSelection", 0,
                   {[](FakeView& v) { pick(v, 1); }, [](FakeView& v) { v.click(IDC_SELECT_SKIP); }}, kResultCancel, 1},
        SelectCase{"EnterIsTheDefaultButton", 1, {[](FakeView& v) { v.click(IDOK); }}, kResultOk, 1},
        SelectCase{"EscIsTheCancelButton", 1, {[](FakeView& v) { v.click(IDCANCEL); }}, kResultCancel, 1},
        SelectCase{"DoubleClickOnAnEntryReads", 0, {[](FakeView& v) { pick(v, 1); }, doubleClick}, kResultOk, 1},
        // With nothing selected a double click leaves the dialog open.
        SelectCase{"DoubleClickOnNothing", -1, {doubleClick, doubleClick, [](FakeView& v) { v.click(IDC_SELECT_SKIP); }},
                   kResultCancel, -1},
        SelectCase{"CloseBox", 2, {[](FakeView& v) { v.userClose(); }}, kResultCancel, 2}),
    [](const testing::TestParamInfo<SelectCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kvui
