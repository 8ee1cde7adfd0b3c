// The models' IPP description from the driver's profiles.
#include "models.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace printerapp {

namespace {

std::string mm(int tenths) {
  char s[32];
  if (tenths % 10)
    std::snprintf(s, sizeof s, "%d.%d", tenths / 10, tenths % 10);
  else
    std::snprintf(s, sizeof s, "%d", tenths / 10);
  return s;
}

LabelSpec labelOf(const driver::LabelRecord& r) {
  LabelSpec l;
  l.width = r.LabelWidth;
  l.height = r.LabelHeight;
  l.gap = r.LabelGap;
  l.labelType = r.LabelType;
  l.printMode = r.PrintMode;
  l.stopPosition = r.StopPosition;
  l.density = r.Density;
  return l;
}

ModelInfo describe(const driver::ModelProfile& p, const char* driverName, const char* description) {
  ModelInfo m{&p, driverName, description, {}, {}, {}};
  for (const driver::LabelRecord& r : p.builtinLabels) {
    const std::string size = mm(r.LabelWidth) + "x" + mm(r.LabelHeight) + "mm";
    m.media.push_back({"om_label-" + std::to_string(r.LabelIndex) + "_" + size, labelOf(r)});
  }
  // The common shipping label, within both models' width.
  LabelSpec shipping = labelOf(p.builtinLabels[0]);
  shipping.width = 1016;
  shipping.height = 1524;
  m.media.push_back({"na_index-4x6_4x6in", shipping});
  m.customMin = "roll_min_10x10mm";
  m.customMax = "roll_max_" + mm(p.jobWidthLimit) + "x400mm";
  return m;
}

}  // namespace

const std::vector<ModelInfo>& models() {
  static const std::vector<ModelInfo> all{
      describe(driver::kProfileTR7208, "tr7208", "Varodyn TR7208 (203 dpi)"),
      describe(driver::kProfileKV830, "kv830", "Varodyn KV830 (300 dpi)"),
  };
  return all;
}

const ModelInfo* modelByDriver(const std::string& driverName) {
  for (const ModelInfo& m : models())
    if (driverName == m.driverName) return &m;
  return nullptr;
}

const ModelInfo* modelOfDeviceId(const std::string& deviceId) {
  // MDL (or MODEL) field of the id, compared whole and without case.
  auto field = [&](const char* key) -> std::string {
    const size_t n = std::strlen(key);
    size_t at = 0;
    while (at < deviceId.size()) {
      size_t end = deviceId.find(';', at);
      if (end == std::string::npos) end = deviceId.size();
      std::string item = deviceId.substr(at, end - at);
      while (!item.empty() && item.front() == ' ') item.erase(0, 1);
      if (item.size() > n && strncasecmp(item.c_str(), key, n) == 0 && item[n] == ':') return item.substr(n + 1);
      at = end + 1;
    }
    return {};
  };
  std::string model = field("MDL");
  if (model.empty()) model = field("MODEL");
  for (const ModelInfo& m : models())
    if (!model.empty() && strcasecmp(model.c_str(), m.profile->modelName) == 0) return &m;
  return nullptr;
}

LabelSpec labelForSize(const ModelInfo& model, int widthHundredths, int lengthHundredths) {
  const int width = (widthHundredths + 5) / 10, height = (lengthHundredths + 5) / 10;
  for (const MediaEntry& e : model.media)
    if (e.label.width == width && e.label.height == height) return e.label;
  LabelSpec l = labelOf(model.profile->builtinLabels[0]);
  l.width = width;
  l.height = height;
  return l;
}

int densityOf(int configuredDarkness, int jobDarkness) {
  const int d = std::clamp(configuredDarkness + jobDarkness, 0, 100);
  return 1 + (d * 15 + 50) / 100;
}

int darknessOfDensity(int density) { return (std::clamp(density, 1, 16) - 1) * 100 / 15; }

const char* mediaTypeOf(int labelType) {
  switch (labelType) {
    case 1:
      return "labels-mark";
    case 3:
      return "labels-continuous";
    default:
      return "labels";
  }
}

int labelTypeOf(const std::string& mediaType) {
  if (mediaType == "labels-mark") return 1;
  if (mediaType == "labels") return 2;
  if (mediaType == "labels-continuous") return 3;
  return 0;
}

}  // namespace printerapp
