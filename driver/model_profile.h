// The model profile of this driver build, selected at build time by one
// compile definition (VLP_MODEL_TR7208 or VLP_MODEL_KV830).
#pragma once

#include "model_profiles.h"

namespace driver {

#if defined(VLP_MODEL_TR7208)
inline constexpr const ModelProfile& kModelProfile = kProfileTR7208;
#elif defined(VLP_MODEL_KV830)
inline constexpr const ModelProfile& kModelProfile = kProfileKV830;
#else
#error "define VLP_MODEL_TR7208 or VLP_MODEL_KV830"
#endif

// The profile of this build.
inline constexpr const ModelProfile& kModel = kModelProfile;

}  // namespace driver
