// The read dialog (TReadPrinterForm): every exchange whose reply the tool
// needs runs through it. A 100 ms step timer switches the printer into HID
// mode with a spooler job, waits for the HID link, probes the resolution,
// sends the mode's query, post-processes the reply and switches the printer
// back, ending the modal dialog with 1 (reply obtained) or 7 (failed); the
// user closing it ends it with 2.
//
// Use: BeginRead(mode), SetReadCaption, Shell::runModal, ReplyText, then
// EndRead whatever the result.
#pragma once

#include <string>

#include "controls.h"
#include "resource.h"

namespace kvui {

class TReadPrinterForm : public Form {
 public:
  // Which query a read performs.
  enum class Mode {
    SystemSettings,  // FSET CSET=4 into the settings-memory image
    GapLevel,        // FSET CSET=9,ADD=2: automatic gap-sensor level
    MarkLevel,       // FSET CSET=9,ADD=0: automatic mark-sensor level
    Version,         // VER
    PrintDistance,   // GETDEF
    HeadCheck,       // FSET CSET=13
    SensorValues,    // FSET CSET=14
  };

  // Steps of the sequence.
  static constexpr int kStepEnterHid = 0;
  static constexpr int kStepWaitForLink = 1;
  static constexpr int kStepProbe = 2;
  static constexpr int kStepQuery = 3;
  static constexpr int kStepFailureExit = 20;
  static constexpr int kStepSuccessExit = 21;

  static constexpr UINT kStepIntervalMs = 100;
  // Failed ticks of step 1 before giving up (the 102nd fails the read).
  static constexpr int kMaxWaitTicks = 100;
  static constexpr int kMaxProbes = 5;
  static constexpr DWORD kProbeIdleMs = 2000;

  explicit TReadPrinterForm(Shell& shell) : Form(shell) {}
  UINT dialogId() const override { return IDD_READ; }

  // Begin read: step 0, counters 0, progress 0, the reply emptied; the step
  // timer starts when the dialog is shown (or at once when it is).
  void BeginRead(Mode mode);
  // The caption the dialog shows for this read.
  void SetReadCaption(const UiText& caption);
  // The box the gap or mark level of a calibration is written to (decimal
  // text), or null; it must stay valid until the dialog has closed.
  void SetLevelBox(EditBox* box) { levelBox_ = box; }
  // The reply after post-processing; empty when no usable reply came.
  const std::string& ReplyText() const { return reply_; }
  // End read: stops the step timer and empties the queue.
  void EndRead();
  // Print-mode restore: when the HID link opens, sends the USBS command that
  // returns the printer to printer mode (status text shown when the dialog
  // is), closes the link and pauses 3000 ms; otherwise nothing happens.
  void RestorePrintMode();

  Mode mode() const { return mode_; }
  int step() const { return step_; }

  void onCreate() override;
  void onTimer(UINT id) override;
  void onClose() override;

 private:
  void runStep();
  void stepEnterHid();
  void stepWaitForLink();
  void stepProbe();
  void stepQuery();
  void stepExit(int result);
  void finish(int result);
  void status(UINT textId);
  void postProcess(const std::string& raw);

  Mode mode_ = Mode::SystemSettings;
  int step_ = kStepEnterHid;
  int waitTicks_ = 0;
  int probes_ = 0;
  bool reading_ = false;  // between BeginRead and the end of the sequence
  UiText caption_;
  EditBox* levelBox_ = nullptr;
  std::string reply_;
};

}  // namespace kvui
