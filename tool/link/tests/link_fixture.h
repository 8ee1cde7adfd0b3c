// What the link's tests and the window tests of the link's failure reports
// start from: the simulated host with one queue of this printer selected,
// and a stand-in for the HID link library, loadable as "VRDUSBHid.dll",
// whose link is always open, which takes every write and whose reads return
// what a test queued in g_reads.
#pragma once

#include <cstring>
#include <deque>
#include <string>

#include <windows.h>

#include "printer_link.h"
#include "sim/module.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace linktest {

// A fresh simulated host whose only queue, "KV830 USB" on USB001, is the
// current printer.
inline void selectTestQueue() {
  sim::reset();
  sim::addQueue({.name = u"KV830 USB", .port = u"USB001", .driver = u"Varodyn KV830"});
  SetCurrentPrinterName("KV830 USB");
  SetCurrentPrinterPort("USB001");
}

inline int WINAPI version(char* buffer, int size) {
  if (size < 7) return 0;
  std::memcpy(buffer, "1.0.1.0", 7);
  return 7;
}
inline int WINAPI open() { return 1; }
inline int WINAPI closeLink(int) { return 1; }
inline int WINAPI isOpened(int) { return 1; }
// What the scripted library's reads return, one entry per call: bytes, or
// an empty entry for a call that finds nothing; nothing once they run out.
inline std::deque<std::string> g_reads;
inline int g_readCalls = 0;
inline int WINAPI readData(int, unsigned char* buffer, int size) {
  ++g_readCalls;
  if (g_reads.empty()) return 0;
  std::string next = g_reads.front();
  g_reads.pop_front();
  if (int(next.size()) > size) return -1;
  std::memcpy(buffer, next.data(), next.size());
  return int(next.size());
}
inline int WINAPI writeData(int, const unsigned char*, int n) { return n; }
inline void* WINAPI handle(int) { return nullptr; }

inline sim::ModuleSetup library(bool withGetHandle) {
  sim::ModuleSetup m;
  m.name = "VRDUSBHid.dll";
  m.exports = {{"hidusbGetVersion", sim::asProc(&version)}, {"hidusbOpen", sim::asProc(&open)},
               {"hidusbClose", sim::asProc(&closeLink)},    {"hidusbIsOpened", sim::asProc(&isOpened)},
               {"hidusbReadData", sim::asProc(&readData)},  {"hidusbWriteData", sim::asProc(&writeData)}};
  if (withGetHandle) m.exports["hidusbGetHandle"] = sim::asProc(&handle);
  return m;
}

}  // namespace linktest
