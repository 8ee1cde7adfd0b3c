// Profile (INI) files and the Windows directory.
#pragma once

#include "win/base.h"
