// kvtool.exe: the configuration tool's program entry. Wires the window
// logic to the Win32 layer: one shell, the read and selection dialogs that
// live for the whole run, and the main window, whose closing ends the
// program.
#include <windows.h>
#include <commctrl.h>

#include "guard.h"
#include "main_form.h"
#include "printer_link.h"
#include "read_printer_form.h"
#include "select_print_form.h"
#include "shell_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  return support::guardedCall(1, [&] {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS;
    InitCommonControlsEx(&controls);

    kvui::win32::Win32Shell shell(instance);
    SetLinkShell(&shell);
    kvui::TReadPrinterForm read(shell);
    kvui::TSelectPrintForm select(shell);
    kvui::TUserMainForm main(shell, read, select);
    int exitCode = shell.runMainWindow(main, show);
    StopHidLink();
    SetLinkShell(nullptr);
    return exitCode;
  });
}
