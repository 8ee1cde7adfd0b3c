// What one label is: the values a built-in label of a model fixes and a
// section of the label-definition file starts with.
#pragma once

#include <windows.h>

namespace driver {

inline constexpr int kLabelNameSlot = 34;  // code units including terminator

struct LabelRecord {
  LONG LabelIndex;
  WCHAR LabelName[kLabelNameSlot];
  LONG LabelWidth;
  LONG LabelHeight;
  LONG LabelGap;
  LONG PrintMode;
  LONG StopPosition;
  LONG Density;
  LONG LabelType;
  LONG AutoMargin;
  LONG LeftMargin;
  LONG RightMargin;
  LONG TopMargin;
  LONG BottomMargin;
};

}  // namespace driver
