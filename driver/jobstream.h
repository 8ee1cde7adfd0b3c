// The printer's job language as the driver writes it, and the output stage
// that stages it and hands it to a writer.
#pragma once

#include <windows.h>

#include "label_file.h"
#include "model_profiles.h"
#include "setting_rules.h"

namespace driver {

// Command words and fixed lines of the job language. Every line ends in
// CR LF; values are plain signed decimals.
namespace jobcmd {
constexpr char kDef[] = "DEF ";
constexpr char kJobLine[] = "JOB NM=QX,ID=1\r\n";
constexpr char kStart[] = "START\r\n";
constexpr char kQtyFormat[] = "QTY P=%d\r\n";
constexpr char kGraphFormat[] = "GRAPH X=%d,Y=%d,WD=%d,HT=%d,MD=%d\r\n";
constexpr char kEnd[] = "END\r\n";
constexpr char kJobEnd[] = "JOBE\r\n";
constexpr char kLineEnd[] = "\r\n";
// GRAPH rows are always run-length coded (packRow).
constexpr int kGraphRunLength = 2;
}  // namespace jobcmd

// Job-state flags of one device record.
enum JobStateFlags : DWORD {
  HeaderSent = 0x01,   // DEF and JOB were written; cleared by JOBE
  PageOpen = 0x02,     // START and QTY were written; cleared by END
  WriteFailed = 0x08,  // a write to the spooler failed; cleared at the end of the document
};

// Bytes of the staging area (a work area of the device).
constexpr DWORD kStagingCapacity = 0xF800;

// Where staged bytes go: WritePrinter on the device's printer handle in the
// driver (spooler_output.h), the device connection in the printer
// application, a capture buffer in tests. Returns false on failure (with the
// last error set) and the count actually taken in *written.
typedef bool (*ByteWriter)(void* context, const BYTE* data, DWORD size, DWORD* written);

// Output stage of one device record. All fields are plain so the record can
// live zero-filled inside the device; `staging` must hold `capacity` bytes.
struct OutputStage {
  BYTE* staging;
  DWORD capacity;
  DWORD fill;
  DWORD state;       // JobStateFlags
  DWORD writeError;  // last error of the first failed write of the document
  // OutputSuppressed: every byte is dropped, nothing is written. Left a
  // BOOL: as a bool it cost the band encoder one more instruction a row
  // (callgrind, encodeBand on a one-bit portrait page).
  BOOL suppressed;
  ByteWriter writer;
  void* context;

  // Stages `n` bytes, flushing first when they would fill the staging area;
  // data longer than the capacity is written directly after a flush.
  // Returns true unless WriteFailed is set afterwards.
  bool put(const void* bytes, DWORD n);
  // Writes the staged bytes (dropping them without a write while
  // WriteFailed is set). Returns true unless WriteFailed is set afterwards.
  bool flush();
  bool failed() const { return (state & WriteFailed) != 0; }

 private:
  void writeAll(const BYTE* data, DWORD n);
};

// The document's settings the DEF line carries, as the device mode's
// private part holds them (this core is built without the device-mode
// records, so it takes the six values it reads).
struct DefSettings {
  LONG direction;
  LONG speed;
  LONG offsetX;
  LONG offsetY;
  LONG graphicsMode;
  LONG printMethod;
};

// The DEF line's rules of a model.
struct DefRules {
  int widthFactor;     // 0.1 mm -> dots for PW: (v / 10) * factor / 10
  int lengthFactor;    // the same for every other length
  bool sendOffsets;    // XO and YO are sent (when in range)
  SettingRules rules;  // ranges, defaults and keywords
};
inline constexpr DefRules defRulesOf(const ModelProfile& m) {
  return DefRules{static_cast<int>(m.widthDotFactor), static_cast<int>(m.lengthDotFactor), m.sendsOffsets,
                  settingRulesOf(m)};
}

// Whole millimetres of `tenths` times `factor` / 10, truncating; results
// beyond the int range are held at INT_MIN or INT_MAX.
int tenthsToDots(int tenths, int factor);

// Formats the complete DEF line, CR LF included, into `out` from the
// label's definition (lengths in 0.1 mm, as stored) and the document's
// private settings. Returns its length, or 0 when `out` is null or
// `capacity` cannot hold it with its terminator. 256 bytes always suffice.
int formatDefLine(char* out, int capacity, const LabelDefinition& label, const DefSettings& settings,
                  const DefRules& rules);

// Command writers. Each stages its lines and updates the job-state flags
// even when the output is suppressed or has failed, so the document's
// sequence stays the same whatever reaches the spooler.
void writeJobHeader(OutputStage& out, const char* defLine, int defLength);  // DEF, JOB; sets HeaderSent
void writePageStart(OutputStage& out, int copies);                          // START, QTY; sets PageOpen
void writePageEnd(OutputStage& out);                                        // END; clears PageOpen; flushes
void writeJobEnd(OutputStage& out);                                         // JOBE; clears HeaderSent
// End of a document: JOBE when the header was sent, flush, then every
// job-state flag is cleared (WriteFailed too) so the next document writes
// again. Returns false when a write of this document failed; writeError
// then holds that failure's error code.
bool finishDocument(OutputStage& out);

}  // namespace driver
