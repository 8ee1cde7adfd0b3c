// Model A (TR7208, 203 dpi) profile; included by model_profile.h only.
#pragma once

inline constexpr ModelProfile kModelProfile{
    "TR7208",
    0x8950,
    WTEXT("_QX72_2.lbx"),
    {WTEXT("200 dpi"), 203, 203, 287, 64035},
    {{256, WTEXT("用户自定义"), 1100, 530, 20, 1, 130, 8, 2, 1, 0, 0, 0, 0},
     {257, WTEXT("55X40mm label"), 550, 400, 20, 1, 234, 8, 2, 0, 10, 10, 10, 10}},
    301,
    20,
    1100,
    530,
    130,
    1,
    2,
    80,
    80,
    1180,
    3200,
    true,
    {WTEXT("150mm/sec"), WTEXT("125mm/sec"), WTEXT("100mm/sec"), WTEXT("75mm/sec")},
    {WTEXT("黑标标签纸"), WTEXT("模切标签纸"), WTEXT("连续标签纸")},
    {WTEXT("热敏纸"), WTEXT("碳带")},
};
