// Dynamic loading: LoadLibrary, GetProcAddress, FreeLibrary, resources.
#pragma once

#include "win/base.h"
