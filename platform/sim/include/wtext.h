// WTEXT("...") of the simulated host: WCHAR is char16_t, as in the core.
#pragma once

#include "../../shared/core/wtext.h"
