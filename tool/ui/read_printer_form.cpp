// The read dialog's step sequence and its per-mode queries.
#include "read_printer_form.h"

#include <cctype>
#include <vector>

#include "form_steps.h"
#include "printer_commands.h"
#include "printer_link.h"

namespace kvui {
namespace {

enum class Reader { UntilIdle, UntilLine };
enum class Post { DecodeSettings, Level, None, Trim };

// One row per mode: the query, how its reply is read and what is done with
// it.
struct ReadMode {
  TReadPrinterForm::Mode mode;
  std::string (*command)();
  Reader reader;
  int idleMs;
  Post post;
};

constexpr ReadMode kModes[] = {
    {TReadPrinterForm::Mode::SystemSettings, [] { return printercmd::readSettingsMemory(0, 512); },
     Reader::UntilIdle, 1000, Post::DecodeSettings},
    {TReadPrinterForm::Mode::GapLevel, [] { return printercmd::calibrateSensor(printercmd::Sensor::Gap); },
     Reader::UntilLine, 5000, Post::Level},
    {TReadPrinterForm::Mode::MarkLevel, [] { return printercmd::calibrateSensor(printercmd::Sensor::Mark); },
     Reader::UntilLine, 5000, Post::Level},
    {TReadPrinterForm::Mode::Version, [] { return std::string(printercmd::kVersion); }, Reader::UntilIdle, 2000,
     Post::None},
    {TReadPrinterForm::Mode::PrintDistance, [] { return std::string(printercmd::kDefInfo); }, Reader::UntilLine,
     5000, Post::Trim},
    {TReadPrinterForm::Mode::HeadCheck, [] { return std::string(printercmd::kHeadCheck); }, Reader::UntilLine,
     100000, Post::Trim},
    {TReadPrinterForm::Mode::SensorValues, [] { return std::string(printercmd::kSensorLevels); },
     Reader::UntilLine, 100000, Post::Trim},
};

const ReadMode& modeRow(TReadPrinterForm::Mode mode) {
  for (const ReadMode& m : kModes)
    if (m.mode == mode) return m;
  return kModes[0];
}

constexpr const char* kLineEnd = "\r\n";

// One read into a zeroed reply buffer; the text up to the first zero byte,
// or nothing when the reader failed (a reply too large is discarded whole).
std::string readReply(Reader reader, int idleMs) {
  std::vector<char> buffer(kReplyBufferSize, 0);
  int n = reader == Reader::UntilLine ? HidReadUntil(buffer.data(), kReplyCapacity, idleMs, kLineEnd)
                                      : HidReadUntilIdle(buffer.data(), kReplyCapacity, idleMs);
  if (n <= 0) return {};
  return std::string(buffer.data());
}

// A settings dump as the printer sends it: hexadecimal digits only, maybe
// followed by one line end. Anything else is not decoded at all, so a
// garbled reply cannot scribble over the image.
bool wellFormedDump(const std::string& reply) {
  size_t digits = reply.size();
  if (digits >= 2 && reply.compare(digits - 2, 2, kLineEnd) == 0) digits -= 2;
  for (size_t i = 0; i < digits; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(reply[i]))) return false;
  return true;
}

}  // namespace

void TReadPrinterForm::BeginRead(Mode mode) {
  mode_ = mode;
  step_ = kStepEnterHid;
  waitTicks_ = 0;
  probes_ = 0;
  reply_.clear();
  reading_ = true;
  if (!attached()) return;  // onCreate starts the timer when the dialog shows
  view().progress(IDC_READ_PROGRESS).setPosition(0);
  view().timer(IDT_READ_STEP).start();
}

void TReadPrinterForm::SetReadCaption(const UiText& caption) {
  caption_ = caption;
  if (attached()) view().setCaption(caption_);
}

void TReadPrinterForm::EndRead() {
  reading_ = false;
  if (attached()) view().timer(IDT_READ_STEP).stop();
  CancelQueueJobs();
}

void TReadPrinterForm::RestorePrintMode() {
  LeaveHidMode([this] { status(IDS_READ_TO_PRINTER); });
}

void TReadPrinterForm::onCreate() {
  view().setCaption(caption_);
  StatusBar& bar = view().statusBar(IDC_READ_STATUS);
  bar.setPanelText(0, LoadUiText(IDS_READ_STATUS_LABEL));
  bar.setPanelText(1, UiText());
  ProgressBar& progress = view().progress(IDC_READ_PROGRESS);
  progress.setRange(0, 100);
  progress.setPosition(0);
  Timer& timer = view().timer(IDT_READ_STEP);
  timer.setInterval(kStepIntervalMs);
  if (reading_)
    timer.start();
  else
    timer.stop();
}

void TReadPrinterForm::onTimer(UINT id) {
  if (id != IDT_READ_STEP) return;
  Timer& timer = view().timer(IDT_READ_STEP);
  timer.stop();
  if (!reading_) return;
  view().progress(IDC_READ_PROGRESS).setPosition(step_ * 20 + 20 < 100 ? step_ * 20 + 20 : 100);
  runStep();
  if (reading_ && attached()) timer.start();
}

void TReadPrinterForm::onClose() {
  // Closing is always allowed; the printer may be left in HID mode, which
  // the callers' print-mode restore undoes.
  if (reading_) finish(kResultCancel);
}

void TReadPrinterForm::runStep() {
  switch (step_) {
    case kStepEnterHid:
      return stepEnterHid();
    case kStepWaitForLink:
      return stepWaitForLink();
    case kStepProbe:
      return stepProbe();
    case kStepQuery:
      return stepQuery();
    case kStepFailureExit:
      return stepExit(kResultFailed);
    case kStepSuccessExit:
      return stepExit(kResultOk);
    default:
      return finish(kResultFailed);
  }
}

void TReadPrinterForm::stepEnterHid() {
  status(IDS_READ_TO_HID);
  if (SendEnterHidMode() == -1) return finish(kResultFailed);
  step_ = kStepWaitForLink;
}

void TReadPrinterForm::stepWaitForLink() {
  if (EnsureHidOpen()) {
    HidClose();
    waitTicks_ = 0;
    probes_ = 0;
    step_ = kStepProbe;
    return;
  }
  if (waitTicks_++ > kMaxWaitTicks) {
    CancelQueueJobs();
    finish(kResultFailed);
  }
}

void TReadPrinterForm::stepProbe() {
  if (!EnsureHidOpen() || probes_ >= kMaxProbes) {
    step_ = kStepFailureExit;
    return;
  }
  ++probes_;
  status(IDS_READ_IN_HID);
  HidSend(printercmd::kResolution);
  std::string reply = readReply(Reader::UntilIdle, kProbeIdleMs);
  HidClose();
  switch (printercmd::classifyResolution(reply)) {
    case printercmd::Resolution::Dots8PerMm:
      status(IDS_READ_200DPI);
      step_ = kStepQuery;
      break;
    case printercmd::Resolution::Dots12PerMm:
      status(IDS_READ_300DPI);
      step_ = kStepQuery;
      break;
    case printercmd::Resolution::Unknown:
      break;  // probed again on the next tick
  }
}

void TReadPrinterForm::stepQuery() {
  if (!EnsureHidOpen()) return;  // tried again on the next tick
  const ReadMode& m = modeRow(mode_);
  status(IDS_READ_PROCESSING);
  HidSend(m.command());
  std::string raw = readReply(m.reader, m.idleMs);
  HidClose();
  if (raw.empty()) {
    reply_.clear();
    step_ = kStepFailureExit;
    return;
  }
  postProcess(raw);
  step_ = kStepSuccessExit;
}

void TReadPrinterForm::postProcess(const std::string& raw) {
  switch (modeRow(mode_).post) {
    case Post::DecodeSettings:
      // A reply that does not decode (odd length, too long, not a dump)
      // leaves the image as it was.
      if (wellFormedDump(raw)) printercmd::decodeSettingsMemory(raw, SettingsImage(), kSettingsImageSize);
      reply_ = raw;
      break;
    case Post::Level: {
      reply_ = std::string(printercmd::trim(raw));
      int level = 0;
      if (printercmd::parseCalibration(reply_, &level) == 1 && level >= 1) {
        reply_ = std::to_string(level);
        if (levelBox_) levelBox_->setText(DecimalText(level));
      } else {
        reply_.clear();
      }
      break;
    }
    case Post::None:
      reply_ = raw;
      break;
    case Post::Trim:
      reply_ = std::string(printercmd::trim(raw));
      break;
  }
}

void TReadPrinterForm::stepExit(int result) {
  SendLeaveHidMode([this] { status(IDS_READ_TO_PRINTER); });
  finish(result);
}

void TReadPrinterForm::finish(int result) {
  reading_ = false;
  if (!attached()) return;
  view().timer(IDT_READ_STEP).stop();
  view().endModal(result);
}

void TReadPrinterForm::status(UINT textId) {
  if (attached()) view().statusBar(IDC_READ_STATUS).setPanelText(1, LoadUiText(textId));
}

}  // namespace kvui
