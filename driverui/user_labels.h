// The user label slots of the label-definition file (model A: 301..320):
// checking and storing a label a user defines, and removing one.
#pragma once

#include <windows.h>

#include "label_file.h"
#include "settings.h"
#include "tables.h"

namespace driver {

// What makes a user label unacceptable, the first problem found; or
// NotWritten: acceptable, but the label file refused the write.
enum class UserLabelProblem { None, Slot, Name, Width, Height, Gap, Margins, NotWritten };

// True for the model's user slots (none on model B).
bool UserLabelSlot(LONG index);

// Checks def: a user slot, a non-empty name without control characters
// that fits the name slot, width kMinLabelExtent..model width limit,
// height kMinLabelExtent..400.0 mm, gap 0..8.0 mm, and margins the driver
// would use for that size.
UserLabelProblem CheckUserLabel(const LabelDefinition& def);

// Stores def (all keys, in the file's key order; keys already in the
// section keep their place) when it passes the check, and returns the
// check's answer, or NotWritten when the file refused the write.
UserLabelProblem SaveUserLabel(const LabelDefinition& def);

// Removes a user slot's section. False for other indices or when the file
// cannot be written.
bool DeleteUserLabel(LONG index);

}  // namespace driver
