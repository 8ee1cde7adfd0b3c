// A second process for the two-process test: loads the HID link library
// with a printer of its own and obeys one command per stdin line,
// answering each on stdout:
//   open         -> the token hidusbOpen returned
//   close        -> the result of hidusbClose with the last token
//   die          -> exits at once, without closing or unloading
//   quit         -> unloads the library and exits
#include <windows.h>

#include <VRDUSBHid.h>
#include "hidlink_module.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "usb_printer.h"
#include "sim/world.h"

int main() {
  sim::reset();
  auto printer = emu::UsbPrinter::create();
  printer->enterHidMode();
  if (!hidlink::registerSimModule()) return 2;
  HMODULE module = LoadLibraryA("VRDUSBHid.dll");
  if (!module) return 2;
  int token = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "open") {
      token = hidusbOpen();
      std::cout << token << std::endl;
    } else if (line == "close") {
      std::cout << hidusbClose(token) << std::endl;
    } else if (line == "die") {
      std::_Exit(3);
    } else if (line == "quit") {
      break;
    }
  }
  FreeLibrary(module);
  return 0;
}
