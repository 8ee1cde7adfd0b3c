// User label slots of the label-definition file.
#include "user_labels.h"

#include "model_profile.h"
#include "setting_limits.h"

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
  if (!kRules.labelWidth.admits(def.LabelWidth)) return UserLabelProblem::Width;
  if (!kRules.labelHeight.admits(def.LabelHeight)) return UserLabelProblem::Height;
  if (!kRules.labelGap.admits(def.LabelGap)) return UserLabelProblem::Gap;
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
  return UserLabelSlot(index) && EraseLabelDefinition(index);
}

}  // namespace driver
