// The read dialog (TReadPrinterForm) in each of its read modes against a
// printer whose answers to the resolution probe and to the mode's query
// are any bytes, cut into any chunks with pauses between them. The dialog
// must end by itself with "reply obtained" or "failed", hand back a reply
// its mode's post-processing allows, leave the link closed and the printer
// told to leave HID mode.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls.h"
#include "fake_ui.h"
#include "printer_commands.h"
#include "printer_link.h"
#include "read_printer_form.h"
#include "scripted_link_library.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace {

using Mode = kvui::TReadPrinterForm::Mode;

void fail(const char* what, Mode mode) {
  std::fprintf(stderr, "read modes: %s (mode %d)\n", what, int(mode));
  std::abort();
}

constexpr Mode kModes[] = {Mode::SystemSettings, Mode::GapLevel,  Mode::MarkLevel,   Mode::Version,
                           Mode::PrintDistance,  Mode::HeadCheck, Mode::SensorValues};

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  sim::reset();
  linkfuzz::registerScriptedLibrary();
  sim::addQueue({.name = u"KV830 USB", .port = u"USB001", .driver = u"Varodyn KV830"});
  SetCurrentPrinterName("KV830 USB");
  SetCurrentPrinterPort("USB001");
  kvui::fake::FakeShell shell;
  SetLinkShell(&shell);
  if (!StartHidLink()) fail("the link did not start", Mode::SystemSettings);

  const Mode mode = kModes[in.ConsumeIntegralInRange<size_t>(0, std::size(kModes) - 1)];
  linkfuzz::ScriptedLibrary& lib = linkfuzz::library();
  // The probe is mostly answered as a printer does; then any answers.
  const int probeAnswer = in.ConsumeIntegralInRange(0, 3);
  if (probeAnswer < 3) {
    linkfuzz::Answer probe;
    probe.push_back({false, probeAnswer == 0 ? "8\r\n" : probeAnswer == 1 ? "12\r\n" : "12"});
    lib.answers.push_back(std::move(probe));
  }
  for (int answers = in.ConsumeIntegralInRange(1, 3); answers > 0 && in.remaining_bytes() > 0; --answers)
    lib.answers.push_back(linkfuzz::answerFrom(in, 48, 120));

  kvui::TReadPrinterForm form(shell);
  form.BeginRead(mode);
  const int result = shell.runModal(form);
  form.EndRead();

  if (shell.modals().empty() || shell.modals().back().timedOut) fail("the dialog did not end by itself", mode);
  if (result != kvui::kResultOk && result != kvui::kResultFailed) fail("neither reply obtained nor failed", mode);
  const std::string& reply = form.ReplyText();
  if (result == kvui::kResultFailed && !reply.empty()) fail("a failed read handed back a reply", mode);
  if (result == kvui::kResultOk) {
    switch (mode) {
      case Mode::GapLevel:
      case Mode::MarkLevel:
        if (!reply.empty() && (reply.find_first_not_of("0123456789") != std::string::npos || reply == "0" ||
                               reply[0] == '0'))
          fail("a level that is not a positive decimal number", mode);
        break;
      case Mode::PrintDistance:
      case Mode::HeadCheck:
      case Mode::SensorValues:
        if (!reply.empty() && (isBlank(reply.front()) || isBlank(reply.back()))) fail("reply not trimmed", mode);
        break;
      case Mode::SystemSettings:
      case Mode::Version:
        if (reply.empty()) fail("reply obtained but empty", mode);
        break;
    }
  }
  if (lib.open) fail("the link left open", mode);
  const std::string leave = LeaveHidModeCommand();
  if (lib.written.size() < leave.size() || lib.written.compare(lib.written.size() - leave.size(), leave.size(), leave) != 0)
    fail("the printer was not told to leave HID mode", mode);
  StopHidLink();
  SetLinkShell(nullptr);
  return 0;
}
