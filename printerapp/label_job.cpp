// The job language of one label job, from the driver's core.
#include "label_job.h"

#include <algorithm>
#include <cstring>

namespace printerapp {

using driver::ModelProfile;

DefSource defValuesFor(const ModelProfile& model, const LabelSpec& label, const PrinterSettings& settings) {
  DefSource v{};
  v.label.LabelType = label.labelType;
  v.label.LabelWidth = label.width;
  v.label.LabelHeight = label.height;
  v.label.LabelGap = label.gap;
  v.label.Density = label.density;
  v.label.StopPosition = label.stopPosition >= 0 ? label.stopPosition : model.defaultStopPosition;
  v.label.OffsetTearOff = label.offsetTearOff;
  v.label.OffsetPeerOff = label.offsetPeelOff;
  v.label.OffsetCutter = label.offsetCutter;
  v.label.CutInterval = label.cutInterval;
  v.label.PrintMode = label.printMode;
  v.settings.direction = settings.direction;
  v.settings.speed = settings.speed > 0 ? settings.speed : model.defaultSpeed;
  v.settings.offsetX = settings.offsetX;
  v.settings.offsetY = settings.offsetY;
  v.settings.graphicsMode = settings.graphicsMode;
  v.settings.printMethod = settings.printMethod > 0 ? settings.printMethod : model.defaultPrintMethod;
  return v;
}

PageDots pageDotsOf(const ModelProfile& model, const LabelSpec& label) {
  // The driver's printable area: the label at the model's resolution, at
  // most 104.0 mm wide and 400.0 mm long.
  const LONG width = std::min<LONG>(label.width, driver::kPrintableWidthLimit);
  const LONG height = std::min<LONG>(label.height, driver::kLongLabelLimit);
  return {LONG((long long)width * model.resolution.dpiX / 254), LONG((long long)height * model.resolution.dpiY / 254)};
}

LabelJobWriter::LabelJobWriter(driver::ByteWriter writer, void* context, const WORD* dither)
    : staging_(new BYTE[driver::kStagingCapacity]), scratch_(new BYTE[driver::kGraphScratchSize]()), dither_(dither) {
  out_.staging = staging_.get();
  out_.capacity = driver::kStagingCapacity;
  out_.writer = &LabelJobWriter::relay;
  out_.context = this;
  writer_ = writer;
  context_ = context;
}

bool LabelJobWriter::relay(void* context, const BYTE* data, DWORD size, DWORD* written) {
  auto* self = static_cast<LabelJobWriter*>(context);
  self->handedAny_ = true;
  return self->writer_(self->context_, data, size, written);
}

bool LabelJobWriter::startJob(const DefSource& def, const driver::DefRules& rules, int graphicsMode) {
  char line[256];
  const int n = driver::formatDefLine(line, sizeof line, def.label, def.settings, rules);
  graphicsMode_ = graphicsMode;
  driver::writeJobHeader(out_, line, n);
  return !failed();
}

bool LabelJobWriter::startPage(PageDots page, int bitDepth, LONG sourceWidth, int copies) {
  page_ = page;
  bitDepth_ = bitDepth;
  sourceWidth_ = sourceWidth;
  bytesPerRow_ = bitDepth == 1 ? (page.width + 7) / 8 : page.width;
  const size_t bytes = page.width > 0 && page.height > 0 ? size_t(bytesPerRow_) * size_t(page.height) : 0;
  rows_.assign(bytes, bitDepth == 1 ? 0x00 : 0xFF);
  driver::writePageStart(out_, copies);
  return !failed();
}

bool LabelJobWriter::writeRow(LONG y, const BYTE* row) {
  if (!row || y < 0 || y >= page_.height || rows_.empty()) return !failed();
  BYTE* dst = rows_.data() + size_t(y) * size_t(bytesPerRow_);
  const LONG dots = std::min(sourceWidth_, page_.width);
  if (dots <= 0) return !failed();
  if (bitDepth_ == 8) {
    std::memcpy(dst, row, size_t(dots));
    return !failed();
  }
  const LONG whole = dots / 8;
  std::memcpy(dst, row, size_t(whole));
  if (dots % 8) dst[whole] = static_cast<BYTE>(row[whole] & (0xFF00u >> (dots % 8)));
  return !failed();
}

bool LabelJobWriter::endPage() {
  if (!rows_.empty()) {
    const driver::RowBand band{bitDepth_, rows_.data(), bytesPerRow_, page_.width, page_.height, 0, 0};
    const driver::RowCoding coding{graphicsMode_, dither_, scratch_.get(), driver::kGraphScratchSize};
    const driver::EncodeResult r = driver::encodeRows(out_, band, coding);
    if (r == driver::EncodeResult::NoMemory || r == driver::EncodeResult::Refused) encodeFailed_ = true;
  }
  driver::writePageEnd(out_);
  return !failed();
}

bool LabelJobWriter::abandon() {
  // Suppressed output drops the staged bytes at the next flush, and every
  // byte after them.
  const bool nothingSent = !handedAny_;
  out_.suppressed = true;
  rows_.clear();
  return nothingSent;
}

bool LabelJobWriter::endJob() {
  const bool encoded = !encodeFailed_;
  const bool written = driver::finishDocument(out_);
  encodeFailed_ = false;
  return encoded && written;
}

}  // namespace printerapp
