// The label-definition file (one INI section per label in the Windows
// directory) and the process-wide label list built from it.
#pragma once

#include <windows.h>

#include "label_record.h"

namespace driver {

// One section of the label-definition file: the label and the printer's
// offsets for it.
struct LabelDefinition : LabelRecord {
  LONG OffsetTearOff;
  LONG OffsetPeerOff;
  LONG OffsetCutter;
  LONG CutInterval;
};

// One entry of the process-wide label list; an empty name ends the list.
struct LabelListEntry {
  WCHAR name[kLabelNameSlot];
  LONG index;
  LONG width;
  LONG height;
};

inline constexpr int kLabelListCapacity = 22;  // entries before the end entry

// Writes "<windows dir>\<model file name>" into buf (cch code units) and
// returns its length; 0 (buf empty) when the Windows directory is
// unavailable or the path does not fit.
int LabelFilePath(WCHAR* buf, int cch);
// True when index is 256, 257 or one of the model's user slots.
bool labelIndexValid(LONG index);
// Reads LabelName of section index into name (kLabelNameSlot units, cut to
// fit); empty when missing.
void ReadLabelName(LONG index, WCHAR* name);
// Fills def from section index, missing keys taking the defaults. Returns 1
// when the label is defined (valid index and non-empty name), else 0.
int ReadLabelDefinition(LONG index, LabelDefinition* def);
// Writes all 18 keys of def in the file's key order. 0 when def's index is
// invalid for the model or a key cannot be written (the last error says
// why; the keys before it stay written), else 1 (a missing file path skips
// the write).
int WriteLabelDefinition(const LabelDefinition& def);
// The record used when a label has no definition.
void DefaultLabelDefinition(LONG index, LabelDefinition* def);
// Writes every built-in label whose section has no name.
void SeedBuiltinLabels();
// Rebuilds the process-wide label list (seeding first).
void BuildLabelList();
// Position of index in the label list, or -1.
int FindLabel(LONG index);
// Copies the list entry of index; false when the list has none.
bool copyLabel(LONG index, LabelListEntry* entry);
// Copies the label list as last built, with its end entry, into entries
// (kLabelListCapacity + 1 of them) and returns the number of labels.
int copyLabelList(LabelListEntry* entries);
// The label list as last built (terminated by an entry with empty name),
// for inspection while no other device rebuilds it.
const LabelListEntry* LabelList();

}  // namespace driver
