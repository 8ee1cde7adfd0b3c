// The emulator's job decoder on any byte stream, in each printer setup:
// it must never read outside the input, and what it reports must hold
// together (labels as large as their dots, faults inside the input).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "job_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the printer setup; the rest is the job.
  emu::DecodeOptions options;
  options.landscapeRotation = data[0] & 1;
  options.greySurface = data[0] & 2;
  ++data;
  --size;

  emu::JobReport report;
  emu::DecodeError error;
  const bool ok = emu::decodeJob(data, size, report, error, options);
  if (!ok && error.offset > size) std::abort();
  for (const emu::Label& label : report.labels) {
    if (label.width < 0 || label.height < 0 || label.width > emu::kMaxImageWidth ||
        label.height > emu::kMaxImageHeight)
      std::abort();
    if (label.dots.size() != size_t(label.width) * size_t(label.height)) std::abort();
    if (label.offset >= size) std::abort();
    if (label.dotCount() > label.dots.size()) std::abort();
  }
  return 0;
}
