// Model B (KV830, 300 dpi) profile; included by model_profile.h only.
#pragma once

inline constexpr ModelProfile kModelProfile{
    "KV830",
    0x8981,
    WTEXT("_KV830.lbx"),
    {WTEXT("300 dpi"), 299, 304, 426, 64035},
    {{256, WTEXT("用户自定义"), 1040, 500, 20, 1, 36, 8, 2, 1, 0, 0, 0, 0},
     {257, WTEXT("55X50mm label"), 550, 500, 20, 1, 36, 8, 2, 1, 0, 0, 0, 0}},
    301,
    0,
    1040,
    500,
    36,
    2,
    1,
    118,
    120,
    1040,
    4800,
    false,
    {WTEXT("高速"), WTEXT("标准"), WTEXT("低速"), nullptr},
    {WTEXT("黑标"), WTEXT("模切"), WTEXT("连续纸")},
    {WTEXT("热敏"), nullptr},
};
