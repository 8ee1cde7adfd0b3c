// The models' IPP description: darkness onto DK, device ids, label sizes.
#include "models.h"

#include <gtest/gtest.h>

namespace {

using namespace printerapp;

TEST(Darkness, MapsConfiguredPlusJobDarknessOntoDensity) {
  struct Case {
    int configured, job, density;
  } const cases[] = {
      {0, 0, 1}, {100, 0, 16}, {50, -100, 1}, {50, 100, 16}, {darknessOfDensity(8), 0, 8}, {0, 47, 8}, {100, -50, 9},
  };
  for (const Case& c : cases) EXPECT_EQ(densityOf(c.configured, c.job), c.density) << c.configured << " " << c.job;
  for (int dk = 1; dk <= 16; ++dk) EXPECT_EQ(densityOf(darknessOfDensity(dk), 0), dk) << dk;
}

TEST(DeviceId, MatchesTheModelFieldOnly) {
  struct Case {
    const char* id;
    const char* driver;  // null: no match
  } const cases[] = {
      {"MFG:Varodyn;MDL:TR7208;CMD:DEF;", "tr7208"},
      {"MANUFACTURER:x;MODEL:kv830;", "kv830"},
      {"MFG:Varodyn; MDL:KV830", "kv830"},
      {"MFG:Other;MDL:TR72080;", nullptr},
      {"MFG:TR7208;MDL:LaserJet;", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    const ModelInfo* m = modelOfDeviceId(c.id);
    if (!c.driver) {
      EXPECT_EQ(m, nullptr) << c.id;
      continue;
    }
    ASSERT_NE(m, nullptr) << c.id;
    EXPECT_STREQ(m->driverName, c.driver) << c.id;
  }
}

TEST(Media, BuiltinLabelsAndTheCustomRangeComeFromTheProfiles) {
  const ModelInfo& a = *modelByDriver("tr7208");
  const ModelInfo& b = *modelByDriver("kv830");
  EXPECT_EQ(a.media[1].pwgName, "om_label-257_55x40mm");
  EXPECT_EQ(b.media[1].pwgName, "om_label-257_55x50mm");
  EXPECT_EQ(a.customMax, "roll_max_118x400mm");
  EXPECT_EQ(b.customMax, "roll_max_104x400mm");
  // A built-in size takes that label's own values; any other size the
  // model's default label with that size.
  EXPECT_EQ(labelForSize(a, 5500, 4000).stopPosition, 234);
  const LabelSpec other = labelForSize(a, 5000, 3000);
  EXPECT_EQ(other.stopPosition, 130);
  EXPECT_EQ(other.width, 500);
  EXPECT_EQ(other.height, 300);
}

TEST(MediaType, LabelTypesRoundTrip) {
  for (int t : {1, 2, 3}) EXPECT_EQ(labelTypeOf(mediaTypeOf(t)), t);
  EXPECT_EQ(labelTypeOf("stationery"), 0);
}

}  // namespace
