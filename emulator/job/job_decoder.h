// The emulated printer's job side: reads a job byte stream (DEF, JOB,
// START, QTY, GRAPH with run-length-coded rows, END, JOBE) and reports each
// label it would print, as the printer prints it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace emu {

struct JobField {
  std::string key;
  long value;
};

// One printed label. Image coordinates are the printer's: x across the
// head (0 = the first dot of a GRAPH row), y in feed direction (row order).
struct Label {
  size_t offset = 0;            // byte offset of its START line
  std::vector<JobField> def;    // the DEF line in force, in its field order
  long quantity = 0;            // QTY P (0 when no QTY came)
  int width = 0;                // PW of the DEF line, widened to cover every GRAPH
  int height = 0;               // PH likewise
  std::vector<uint8_t> dots;    // width * height, row by row; 1 = printed
  int graphs = 0;               // GRAPH commands in the label

  bool dot(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height && dots[size_t(y) * width + x]; }
  size_t dotCount() const;
  // Value of a DEF field; `fallback` when the field was not sent.
  long field(const std::string& key, long fallback) const;
};

struct JobReport {
  std::vector<Label> labels;
  std::string jobName;  // JOB NM
  long jobId = 0;       // JOB ID
  int jobEnds = 0;      // JOBE lines seen
};

struct DecodeError {
  size_t offset = 0;  // where the fault was found
  std::string reason;
  std::string describe() const;  // "offset N: reason"
};

// Limits of the image a GRAPH may address (dots); larger positions or
// sizes are a bad field.
constexpr int kMaxImageWidth = 4096;
constexpr int kMaxImageHeight = 8192;

// How the printer is set up for the job's GRAPH rows. A job printed in
// landscape with rotation on turns each band clockwise, so its rows are
// page columns, yet its GRAPH headers keep the band's unturned width (WD)
// and height (HT): the header alone does not say how long a row is or how
// many rows follow, and the printer must be told the job's layout.
struct DecodeOptions {
  // False (the default): every GRAPH sends HT rows of WD dots, one after
  // another from (X, Y). True: every GRAPH is a clockwise-turned band and
  // sends rows of ceil(HT / 8) bytes, row r printed from (X, Y + r).
  bool landscapeRotation = false;
  // With landscapeRotation, the surface the job was drawn on: false for
  // one bit per dot (8 * ceil(WD / 8) rows, whole bytes of scanlines: each
  // row prints 8 * ceil(HT / 8) dots), true for 8-bit grey (WD rows of HT
  // dots). Ignored without landscapeRotation.
  bool greySurface = false;
};

// Decodes `size` bytes of job data as a printer set up by `options` would.
// Returns true with every label in `report`; false with the first fault in
// `error` (labels finished before it stay in `report`). Never reads
// outside [data, data + size).
bool decodeJob(const uint8_t* data, size_t size, JobReport& report, DecodeError& error,
               const DecodeOptions& options = {});

// Writes the label as an 8-bit grey PNG (printed dots black on white).
// False with a one-line reason in *error when the file cannot be written.
bool writeLabelPng(const Label& label, const std::string& path, std::string* error);

}  // namespace emu
