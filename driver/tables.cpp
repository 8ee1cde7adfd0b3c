// Model tables shared by both builds: paper sources, media types,
// threshold patterns, feature options and the default colour data.
#include <wtext.h>

#include "tables.h"

namespace driver {

const PaperSourceEntry kPaperSources[] = {
    {WTEXT("自动"), 14, 64026},
    {nullptr, 0, 0},
};

const MediaTypeEntry kMediaTypes[] = {
    {WTEXT("Plain paper"), 1},
    {WTEXT("Transparency"), 2},
    {WTEXT("Glossy paper"), 3},
    {nullptr, 0},
};

bool mediaTypeKnown(LONG id) {
  for (const MediaTypeEntry* e = kMediaTypes; e->name; ++e)
    if (e->id == id) return true;
  return false;
}

bool paperSourceKnown(LONG id) {
  for (const PaperSourceEntry* e = kPaperSources; e->name; ++e)
    if (e->id == id) return true;
  return false;
}

namespace {

const BYTE kThreshold0[] = {128};

const BYTE kThreshold1[64] = {
    255, 179, 113, 47,  4,   9,   27,  165,  //
    221, 197, 122, 45,  1,   14,  32,  153,  //
    143, 133, 79,  59,  41,  36,  54,  87,   //
    17,  21,  50,  70,  100, 108, 76,  62,   //
    4,   7,   25,  171, 255, 187, 117, 47,   //
    1,   12,  30,  158, 237, 207, 127, 43,   //
    39,  34,  54,  91,  147, 137, 83,  57,   //
    96,  104, 73,  64,  19,  23,  52,  67,
};

const BYTE kThreshold2[64] = {
    255, 231, 181, 94,  8,   19,  52,  223,  //
    249, 239, 189, 85,  1,   27,  60,  214,  //
    206, 198, 148, 119, 77,  69,  110, 156,  //
    31,  39,  98,  135, 169, 177, 144, 123,  //
    8,   14,  48,  227, 255, 235, 185, 89,   //
    1,   23,  56,  219, 249, 243, 194, 81,   //
    73,  64,  106, 160, 210, 202, 152, 114,  //
    164, 173, 139, 127, 35,  44,  102, 131,
};

// 32 groups of 8 row bytes; group g serves grey levels 8g..8g+7.
const BYTE kThreshold3[256] = {
    0,   0,   0,   0,   0,   0,   0,   0,    //
    0,   2,   0,   0,   0,   32,  0,   0,    //
    0,   64,  0,   4,   0,   64,  0,   4,    //
    0,   138, 0,   84,  0,   138, 0,   84,   //
    0,   109, 0,   85,  0,   214, 0,   170,  //
    0,   109, 0,   119, 0,   214, 0,   221,  //
    0,   109, 0,   221, 0,   107, 0,   221,  //
    0,   119, 0,   221, 0,   119, 0,   221,  //
    51,  140, 51,  200, 51,  140, 51,  200,  //
    0,   111, 0,   255, 0,   246, 0,   255,  //
    0,   255, 0,   255, 0,   255, 0,   255,  //
    128, 255, 0,   255, 8,   255, 0,   255,  //
    136, 255, 0,   255, 34,  255, 0,   255,  //
    136, 255, 16,  255, 34,  255, 1,   255,  //
    85,  119, 85,  221, 85,  119, 85,  221,  //
    42,  255, 162, 255, 138, 255, 168, 255,  //
    203, 249, 47,  229, 188, 159, 242, 94,   //
    42,  255, 162, 255, 138, 255, 168, 255,  //
    42,  255, 170, 255, 162, 255, 170, 255,  //
    187, 119, 221, 238, 187, 119, 221, 238,  //
    170, 255, 170, 255, 170, 255, 170, 255,  //
    243, 126, 203, 249, 63,  231, 108, 159,  //
    249, 63,  231, 252, 159, 243, 126, 207,  //
    249, 63,  247, 252, 159, 243, 127, 207,  //
    239, 253, 175, 119, 254, 223, 250, 119,  //
    239, 253, 191, 231, 254, 223, 251, 126,  //
    239, 253, 191, 247, 254, 223, 251, 127,  //
    191, 223, 251, 253, 191, 223, 251, 253,  //
    247, 255, 127, 239, 253, 255, 223, 254,  //
    191, 255, 251, 255, 191, 255, 251, 255,  //
    255, 239, 223, 255, 255, 254, 253, 255,  //
    255, 255, 223, 255, 255, 255, 253, 255,
};

const BYTE kDeviceDefaultThreshold[64] = {
    248, 242, 200, 32,  12,  8,   72,  160,  //
    224, 232, 192, 40,  16,  24,  64,  168,  //
    176, 184, 144, 96,  48,  56,  104, 136,  //
    92,  84,  116, 132, 220, 212, 156, 124,  //
    12,  8,   76,  164, 248, 242, 204, 36,   //
    20,  28,  68,  172, 228, 236, 196, 44,   //
    52,  60,  108, 140, 180, 188, 148, 100,  //
    216, 208, 152, 120, 88,  80,  112, 128,
};

}  // namespace

const ThresholdPattern kThresholdPatterns[] = {
    {1, kThreshold0, 64041},
    {3, kThreshold1, 64042},
    {3, kThreshold2, 64043},
    {2, kThreshold3, 64044},
    {0, nullptr, 0},
};

const ThresholdPattern kDeviceDefaultPattern = {3, kDeviceDefaultThreshold, 0};

int patternDataLength(LONG kind) {
  switch (kind) {
    case 1: return 1;
    case 2:
    case 4: return 256;
    case 3: return 64;
    default: return 0;
  }
}

const ThresholdPattern* thresholdPattern(LONG index) {
  if (index < 0 || index >= kThresholdPatternCount) return nullptr;
  return &kThresholdPatterns[index];
}

const FeatureOptions kFeatures[kFeatureCount] = {
    {1026, {1, 2}},
    {2009, {1, 2}},
    {2012, {1, 2}},
    {2015, {3, 2}},
};

LONG featureValue(const DriverSettings& settings, Feature feature) {
  if (feature < 0 || feature >= kFeatureCount) return 0;
  LONG index = settings.PrinterData.FeatureSelection[feature];
  // An index outside the option list selects the first option.
  if (index < 0 || index >= LONG(sizeof kFeatures[0].values / sizeof kFeatures[0].values[0])) index = 0;
  return kFeatures[feature].values[index];
}

const COLORADJUSTMENT kDefaultColorAdjust = {sizeof(COLORADJUSTMENT), 0, 0, 10000, 10000, 10000, 0, 10000, 0, 0, 0, 0};

const COLORINFO kDefaultColorInfo = {
    {6810, 3050, 0}, {2260, 6550, 0}, {1810, 500, 0},   {2000, 2450, 65534}, {5210, 2100, 0},
    {4750, 5100, 0}, {3324, 3474, 10000}, 10000, 10000, 10000, 1422, 952, 787, 495, 324, 248,
};

const COLORINFO kBuiltinColorInfo = {
    {6810, 3050, 0}, {2260, 6550, 0}, {1810, 500, 0},   {2000, 2450, 0}, {5210, 2100, 0},
    {4750, 5100, 0}, {3324, 3474, 10000}, 10000, 10000, 10000, 1422, 952, 787, 495, 324, 248,
};

}  // namespace driver
