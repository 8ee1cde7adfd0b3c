// User label slots of the label-definition file.
#include "user_labels.h"

#include "model_profile.h"
#include "setting_limits.h"
#include "text.h"

namespace driver {

namespace {

bool nameAcceptable(const WCHAR* name) {
  int n = 0;
  for (; n < kLabelNameSlot && name[n]; ++n)
    if (name[n] < 0x20) return false;
  return n > 0 && n < kLabelNameSlot;
}

}  // namespace

bool UserLabelSlot(LONG index) { return index >= kModel.firstUserSlot && labelIndexValid(index); }

UserLabelProblem CheckUserLabel(const LabelDefinition& def) {
  if (!UserLabelSlot(def.LabelIndex)) return UserLabelProblem::Slot;
  if (!nameAcceptable(def.LabelName)) return UserLabelProblem::Name;
  if (def.LabelWidth < kMinLabelExtent || def.LabelWidth > kMaxLabelWidth) return UserLabelProblem::Width;
  if (def.LabelHeight < kMinLabelExtent || def.LabelHeight > kMaxLabelLength) return UserLabelProblem::Height;
  if (def.LabelGap < 0 || def.LabelGap > kMaxGap) return UserLabelProblem::Gap;
  const LabelMargins margins{def.LeftMargin, def.TopMargin, def.RightMargin, def.BottomMargin};
  if (!marginsFit({def.LabelWidth, def.LabelHeight}, margins)) return UserLabelProblem::Margins;
  return UserLabelProblem::None;
}

UserLabelProblem SaveUserLabel(const LabelDefinition& def) {
  UserLabelProblem problem = CheckUserLabel(def);
  if (problem == UserLabelProblem::None && !WriteLabelDefinition(def)) problem = UserLabelProblem::NotWritten;
  return problem;
}

bool DeleteUserLabel(LONG index) {
  if (!UserLabelSlot(index)) return false;
  WCHAR path[MAX_PATH + 32];
  if (!LabelFilePath(path, MAX_PATH + 32)) return false;
  WCHAR section[12];
  formatDecimal(index, section);
  return WritePrivateProfileStringW(section, nullptr, nullptr, path) != FALSE;
}

}  // namespace driver
