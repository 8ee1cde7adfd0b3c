// Basic Windows types of the simulated host: the shared declarations.
#pragma once

#include <win_basic_types.h>
