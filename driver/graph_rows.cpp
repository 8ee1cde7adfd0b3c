// Rows in the printer's sense handed to the band encoder.
#include "graph_rows.h"

namespace driver {

namespace {

void invertRows(const RowBand& band) {
  const size_t total = static_cast<size_t>(band.bytesPerRow) * static_cast<size_t>(band.height);
  for (size_t i = 0; i < total; ++i) band.rows[i] = static_cast<BYTE>(~band.rows[i]);
}

}  // namespace

EncodeResult encodeRows(OutputStage& out, const RowBand& band, const RowCoding& coding) {
  if (band.bitDepth != 1 && band.bitDepth != 8) return EncodeResult::Refused;
  if (!band.rows || band.bytesPerRow <= 0 || band.height <= 0) return EncodeResult::Refused;
  RasterJob job{};
  job.surface = {band.bitDepth, band.rows, band.width, band.height, band.bytesPerRow};
  job.band = BandEntry{band.x, band.y, band.width, band.height, band.width, band.height, band.bytesPerRow, kBandEncode};
  job.printableWidth = band.x + band.width;
  job.layout = PageLayout::Portrait;
  job.colorMode = band.bitDepth == 1 ? 0 : 1;
  job.graphicsMode = coding.graphicsMode;
  job.dither = coding.dither;
  job.scratch = coding.scratch;
  job.scratchSize = coding.scratchSize;
  // The encoder takes one-bit bands as GDI draws them (set bit = white) and
  // turns them in place into printed dots: the rows are turned the other
  // way first, and back again when the encoder left them alone.
  if (band.bitDepth == 1) invertRows(band);
  const EncodeResult result = encodeBand(out, job);
  if (band.bitDepth == 1 && result != EncodeResult::Written) invertRows(band);
  return result;
}

}  // namespace driver
