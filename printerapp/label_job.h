// One label job in the printer's job language, page by page and row by row,
// written with the driver's own job-stream and encoder code: DEF and JOB
// once, START and QTY per page (copies in QTY, the page sent once), the
// page's rows as GRAPH, END, and JOBE.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "graph_rows.h"
#include "jobstream.h"
#include "model_profiles.h"

namespace printerapp {

// What a printer is set to, beyond the label: the values DEF takes from the
// driver's settings, with the driver's defaults.
struct PrinterSettings {
  int direction = 1;
  int speed = 0;        // speed code; 0 takes the model's default
  int printMethod = 0;  // 0 takes the model's default
  int graphicsMode = 1;
  int offsetX = 0;
  int offsetY = 0;
};

// The label a job prints on, in tenths of a millimetre, with the label's
// own printer values (what a section of the label-definition file holds).
struct LabelSpec {
  int width = 0;
  int height = 0;
  int gap = driver::kLabelGapRule.fallback;
  int labelType = driver::kLabelTypeRule.fallback;  // 1 black mark, 2 gap (die-cut), 3 continuous
  int printMode = driver::kPrintModeRule.fallback;  // 1 tear-off, 2 continuous, 3 peel-off, 4 cutter
  int stopPosition = -1;  // -1 takes the model's default
  int density = driver::kDensityRule.fallback;
  int offsetTearOff = 0;
  int offsetPeelOff = 0;
  int offsetCutter = 0;
  int cutInterval = 0;
};

// What DEF is built from: the label's definition and the printer's
// settings.
struct DefSource {
  driver::LabelDefinition label;
  driver::DefSettings settings;
};

// The DEF values of a label on a printer of `model`. The page fills the
// label, so every margin is 0.
DefSource defValuesFor(const driver::ModelProfile& model, const LabelSpec& label, const PrinterSettings& settings);

// The page size in dots of a label: its printable area at the model's
// resolution, as the driver lays it out.
struct PageDots {
  LONG width;
  LONG height;
};
PageDots pageDotsOf(const driver::ModelProfile& model, const LabelSpec& label);

class LabelJobWriter {
 public:
  // Every byte goes to `writer` with `context`; `dither` (the encoder's
  // 8-bit dither table) is needed for grey pages only.
  LabelJobWriter(driver::ByteWriter writer, void* context, const WORD* dither = nullptr);
  LabelJobWriter(const LabelJobWriter&) = delete;
  LabelJobWriter& operator=(const LabelJobWriter&) = delete;

  // DEF (from `def` and `rules`) and JOB.
  bool startJob(const DefSource& def, const driver::DefRules& rules, int graphicsMode);
  // START and QTY. The page is `page` dots; rows come `bitDepth` bits per
  // dot (1: set bit printed; 8: grey, 0 black) and `sourceWidth` dots wide;
  // wider rows are cut at the page's width, missing dots and rows stay blank.
  bool startPage(PageDots page, int bitDepth, LONG sourceWidth, int copies);
  // Row `y` of the page; rows beyond the page are dropped.
  bool writeRow(LONG y, const BYTE* row);
  // The page's GRAPH and END.
  bool endPage();
  // JOBE and the last bytes. False when any write of the job failed or a
  // band could not be encoded.
  bool endJob();

  // Gives up the job: the bytes not yet handed to the writer are dropped
  // and nothing more is written. True when none of the job had been
  // handed over, so the printer gets nothing of it.
  bool abandon();

  bool failed() const { return out_.failed() || encodeFailed_; }
  // The error of the first failed write (0 when none failed).
  DWORD writeError() const { return out_.writeError; }

 private:
  driver::OutputStage out_{};
  std::unique_ptr<BYTE[]> staging_;
  std::unique_ptr<BYTE[]> scratch_;
  const WORD* dither_;
  int graphicsMode_ = 1;
  bool encodeFailed_ = false;
  PageDots page_{};
  int bitDepth_ = 1;
  LONG sourceWidth_ = 0;
  LONG bytesPerRow_ = 0;
  std::vector<BYTE> rows_;
  driver::ByteWriter writer_;
  void* context_;
  bool handedAny_ = false;  // some bytes of the job went to the writer
  static bool relay(void* context, const BYTE* data, DWORD size, DWORD* written);
};

}  // namespace printerapp
