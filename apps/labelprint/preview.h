// How the emulated printer must be set up to read a job labelprint wrote.
#pragma once

#include "job_decoder.h"
#include "options.h"

namespace labelprint {

// The decode options for a job printed with `options`: landscape pages
// with --rotate are turned clockwise, and their GRAPH headers keep the
// unturned band size, so the printer is told that layout and the surface
// depth (--grey). Every other job decodes with the defaults.
inline emu::DecodeOptions decodeOptionsFor(const Options& options) {
  emu::DecodeOptions d;
  d.landscapeRotation = options.landscape && options.rotate;
  d.greySurface = options.grey;
  return d;
}

}  // namespace labelprint
