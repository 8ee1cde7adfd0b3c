// The document and page sequence the document, band and escape entry
// points run: the output stage's binding, the job commands of a page, the
// band encoder's input, and the entry points' results.
#pragma once

#include <windows.h>
#include <winddi.h>

#include "device.h"

namespace driver {

// Points the output stage at this record's staging area and printer. A
// staging area that changed (the surface was re-enabled) holds nothing.
void bindOutput(PrinterDevice& device);

// The entry point's result: a failed write of this document is reported
// with WritePrinter's error.
bool outputResult(const PrinterDevice& device);
// The same after encoding a band: a failed write first, then the band's
// own error (0 when it was encoded).
bool outputResult(const PrinterDevice& device, DWORD bandError);

// START and QTY, preceded on the document's first page by DEF and JOB;
// DEF carries the selected label's definition from the label file (or the
// model's default one), with the custom size for the user-defined label.
void openPage(PrinterDevice& device);

// Erases the whole bitmap to white and empties the drawn-region record.
void clearSurface(PrinterDevice& device, SURFOBJ* pso);

// Encodes the band at the cursor from the bits GDI drew into `pso`.
// Returns 0, or the error of a band that could not be encoded (the page
// goes on without it, so the printer stays in step, but the entry point
// reports the loss).
DWORD encodeCurrentBand(PrinterDevice& device, SURFOBJ* pso);

// The origin of the band at the cursor.
void reportBandOrigin(const PrinterDevice& device, POINTL* pptl);

// Closes the record's output before a reset: END when a page is open, JOBE
// when the job header was sent, then flush.
void closeDeviceOutput(PrinterDevice& device);

// DrvEscape's work: QUERYESCSUPPORT, and the copy-count escape, whose new
// count is the input's first 32-bit value when the input holds one, else
// the current count; never below one copy.
ULONG documentEscape(PrinterDevice& device, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);

}  // namespace driver
