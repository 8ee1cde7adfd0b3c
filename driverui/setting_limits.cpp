// Range checks of the private settings against the model's tables.
#include "setting_limits.h"

namespace driver {

void ClampSettings(DriverSettings* settings) {
  PrivateSettings& p = settings->Private;
  for (const SettingRange& r : kSettingRanges) {
    LONG& v = p.*(r.field);
    v = r.rule.orFallback(v);
  }
  if (FindLabel(p.LabelIndex) < 0) p.LabelIndex = kCustomLabelIndex;
  if (!mediaTypeKnown(p.MediaType)) p.MediaType = 1;
  if (!paperSourceKnown(p.PaperSource)) p.PaperSource = kPaperSources[0].id;
  rebuildPublicFields(settings);
}

}  // namespace driver
