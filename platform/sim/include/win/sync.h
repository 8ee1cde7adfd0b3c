// Named kernel objects: mutexes, events, file mappings, waits.
#pragma once

#include "win/base.h"
